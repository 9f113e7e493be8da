// UITableViewCell: one row of a table. Its content goes into contentView (what a subclass adds
// goes there too); the labels and the image view of its style are made when first asked for and
// laid out by the cell: the default style shows the image at the left and the text beside it,
// subtitle a smaller grey text under the text, value 1 a grey text at the right, value 2 a small
// blue text before a detail. An accessory (disclosure chevron, checkmark, detail button, or a view
// of one's own) stands at the right and narrows the content view. While selected or highlighted
// the cell shows its selected background, unless its selection style is none. The table owns the
// cells it shows, and keeps the ones that left the screen for reuse under their reuse identifier
// (see UITableView.h). White by default. Main thread only.
//
//   auto cell = table->dequeueReusableCellWithIdentifier("cellOne"_ns);
//   if (!cell)
//       cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, "cellOne"_ns);
//   cell->textLabel()->setText(code->title());
#pragma once

#include "platform/ui/UIView.h"

class UIImageView;
class UILabel;

enum UITableViewCellStyle : NSInteger {
    UITableViewCellStyleDefault = 0,
    UITableViewCellStyleValue1 = 1,
    UITableViewCellStyleValue2 = 2,
    UITableViewCellStyleSubtitle = 3,
};

enum UITableViewCellSelectionStyle : NSInteger {
    UITableViewCellSelectionStyleNone = 0,
    UITableViewCellSelectionStyleBlue = 1,
    UITableViewCellSelectionStyleGray = 2,
    UITableViewCellSelectionStyleDefault = 3,
};

enum UITableViewCellAccessoryType : NSInteger {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
    UITableViewCellAccessoryDetailButton = 4,
};

enum UITableViewCellSeparatorStyle : NSInteger {
    UITableViewCellSeparatorStyleNone = 0,
    UITableViewCellSeparatorStyleSingleLine = 1,
    UITableViewCellSeparatorStyleSingleLineEtched = 2,
};

class UITableViewCell : public UIView {
    DV_CLASS(UITableViewCell, UIView)

    UITableViewCell();
    ~UITableViewCell() override;
    // The default style without a reuse identifier, 320 × 44.
    Ref<UITableViewCell> init();
    Ref<UITableViewCell> initWithFrame(CGRect frame);
    Ref<UITableViewCell> initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier);

    Ref<NSString> reuseIdentifier() const { return m_reuseIdentifier; }
    Ref<UIView> contentView() const { return m_contentView; }
    // Made on first use; the default style has no detail label (nil).
    Ref<UILabel> textLabel();
    Ref<UILabel> detailTextLabel();
    Ref<UIImageView> imageView();

    UITableViewCellAccessoryType accessoryType() const { return m_accessoryType; }
    void setAccessoryType(UITableViewCellAccessoryType type);
    // Shown in place of the standard accessory when set.
    Ref<UIView> accessoryView() const { return m_accessoryView; }
    void setAccessoryView(const Ref<UIView>& view);

    UITableViewCellSelectionStyle selectionStyle() const { return m_selectionStyle; }
    void setSelectionStyle(UITableViewCellSelectionStyle style) { m_selectionStyle = style; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected) { setSelected(selected, false); }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted) { setHighlighted(highlighted, false); }
    virtual void setHighlighted(bool highlighted, bool animated);

    // Behind the content; the selected one shows while selected or highlighted (a grey one
    // unless set).
    Ref<UIView> backgroundView() const { return m_backgroundView; }
    void setBackgroundView(const Ref<UIView>& view);
    Ref<UIView> selectedBackgroundView() const { return m_selectedBackgroundView; }
    void setSelectedBackgroundView(const Ref<UIView>& view);

    // Called when the table hands the cell out again from its reuse pool.
    virtual void prepareForReuse();

    Ref<UIColor> backgroundColor() const override;
    void layoutSubviews() override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    friend class UITableView;

    void handleSelectionLook();
    void handleSeparator(bool shown, CGFloat inset, const Ref<UIColor>& color);
    Ref<UIView> handleAccessory() const;

    Ref<NSString> m_reuseIdentifier;
    Ref<UIView> m_contentView;
    Ref<UILabel> m_textLabel;
    Ref<UILabel> m_detailTextLabel;
    Ref<UIImageView> m_imageView;
    Ref<UIView> m_accessoryView;
    Ref<UIView> m_standardAccessory;
    Ref<UIView> m_backgroundView;
    Ref<UIView> m_selectedBackgroundView;
    Ref<UIView> m_separator;
    CGFloat m_separatorInset = 15;
    UITableViewCellStyle m_style = UITableViewCellStyleDefault;
    UITableViewCellAccessoryType m_accessoryType = UITableViewCellAccessoryNone;
    UITableViewCellSelectionStyle m_selectionStyle = UITableViewCellSelectionStyleDefault;
    bool m_selected = false;
    bool m_highlighted = false;
};
