// CSCollectionViewCell: the cell of one picture of the image carousel: an image view filling the
// cell and, over its bottom, a caption strip (titleLabelHeight high, full width) that shows the
// title behind three spaces and hides while there is no title. The carousel styles a cell once
// (hasConfigured); the caption's colours and font apply at once when set. Main thread only.
//
//   cell->setTitle("新品上架"_ns);        // the strip reads "   新品上架"
//   cell->setTitle(nil);                 // the strip hides
#pragma once

#include "platform/ui/UICollectionViewCell.h"

class UIColor;
class UIFont;
class UIImageView;
class UILabel;

class CSCollectionViewCell : public UICollectionViewCell {
    DV_CLASS(CSCollectionViewCell, UICollectionViewCell)

    CSCollectionViewCell() = default;
    ~CSCollectionViewCell() override;
    Ref<CSCollectionViewCell> init();
    Ref<CSCollectionViewCell> initWithFrame(CGRect frame);

    Ref<UIImageView> imageView() const { return m_imageView.lock(); }

    Ref<NSString> title() const { return m_title; }
    // nil clears the caption (and hides its strip).
    void setTitle(const Ref<NSString>& title);
    Ref<UIColor> titleLabelTextColor() const { return m_titleLabelTextColor; }
    void setTitleLabelTextColor(const Ref<UIColor>& color);
    Ref<UIFont> titleLabelTextFont() const { return m_titleLabelTextFont; }
    void setTitleLabelTextFont(const Ref<UIFont>& font);
    Ref<UIColor> titleLabelBackgroundColor() const { return m_titleLabelBackgroundColor; }
    void setTitleLabelBackgroundColor(const Ref<UIColor>& color);
    CGFloat titleLabelHeight() const { return m_titleLabelHeight; }
    void setTitleLabelHeight(CGFloat height);
    bool hasConfigured() const { return m_hasConfigured; }
    void setHasConfigured(bool configured) { m_hasConfigured = configured; }

    void layoutSubviews() override;

private:
    void setupImageView();
    void setupTitleLabel();

    Weak<UIImageView> m_imageView;
    Weak<UILabel> m_titleLabel;
    Ref<NSString> m_title;
    Ref<UIColor> m_titleLabelTextColor;
    Ref<UIFont> m_titleLabelTextFont;
    Ref<UIColor> m_titleLabelBackgroundColor;
    CGFloat m_titleLabelHeight = 0;
    bool m_hasConfigured = false;
};
