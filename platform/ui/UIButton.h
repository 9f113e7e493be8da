// UIButton: a control that shows a title, an image and a background image, each chosen per
// control state (normal, highlighted, disabled, selected, or a combination); a state without its
// own value shows the normal state's. The background image fills the bounds; the image and the
// title stand side by side (image first) in the bounds less contentEdgeInsets, placed by the
// content alignments (centred by default), each then inset by its own edge insets. A custom
// button's title is white unless set; a system button's takes the tint colour. With
// adjustsImageWhenHighlighted (the default) the image darkens while highlighted when the
// highlighted state has no image of its own. A single tap of a recogniser on an ancestor does not
// take the button's touch up inside (see UIControl.h). Main thread only.
//
//   auto back = UIButton::buttonWithType(UIButtonTypeCustom);
//   back->setImage(UIImage::imageNamed("back"_ns), UIControlStateNormal);
//   back->setTitleColor(UIColor::redColor(), UIControlStateHighlighted);
//   back->addTarget(self(), "back", UIControlEventTouchUpInside);
#pragma once

#include "platform/ui/UIControl.h"

#include <vector>

class UIImageView;
class UILabel;

enum UIButtonType : NSInteger {
    UIButtonTypeCustom = 0,
    UIButtonTypeSystem = 1,
    UIButtonTypeDetailDisclosure = 2,
    UIButtonTypeInfoLight = 3,
    UIButtonTypeInfoDark = 4,
    UIButtonTypeContactAdd = 5,
    UIButtonTypeRoundedRect = UIButtonTypeSystem,
};

class UIButton : public UIControl {
    DV_CLASS(UIButton, UIControl)
    DV_APPEARANCE(UIButton)

    UIButton() = default;
    // A custom button with a zero frame.
    static Ref<UIButton> buttonWithType(UIButtonType type);
    Ref<UIButton> init();
    Ref<UIButton> initWithFrame(CGRect frame);

    UIButtonType buttonType() const { return m_type; }

    void setTitle(const Ref<NSString>& title, UIControlState state);
    void setTitleColor(const Ref<UIColor>& color, UIControlState state);
    void setImage(const Ref<UIImage>& image, UIControlState state);
    void setBackgroundImage(const Ref<UIImage>& image, UIControlState state);
    // The values set for exactly that state (no fallback), except that the title colour of the
    // normal state is the type's default when none was set.
    Ref<NSString> titleForState(UIControlState state) const;
    Ref<UIColor> titleColorForState(UIControlState state) const;
    Ref<UIImage> imageForState(UIControlState state) const;
    Ref<UIImage> backgroundImageForState(UIControlState state) const;
    // What the button shows in its present state, with the fallback to normal.
    Ref<NSString> currentTitle() const;
    Ref<UIColor> currentTitleColor() const;
    Ref<UIImage> currentImage() const;
    Ref<UIImage> currentBackgroundImage() const;

    // The label and the image view the button shows its title and image in; made on first use.
    Ref<UILabel> titleLabel() const;
    Ref<UIImageView> imageView() const;

    UIEdgeInsets contentEdgeInsets() const { return m_contentEdgeInsets; }
    void setContentEdgeInsets(UIEdgeInsets insets);
    UIEdgeInsets titleEdgeInsets() const { return m_titleEdgeInsets; }
    void setTitleEdgeInsets(UIEdgeInsets insets);
    UIEdgeInsets imageEdgeInsets() const { return m_imageEdgeInsets; }
    void setImageEdgeInsets(UIEdgeInsets insets);
    bool adjustsImageWhenHighlighted() const { return m_adjustsImageWhenHighlighted; }
    void setAdjustsImageWhenHighlighted(bool adjusts);

    // Where the parts go within `bounds` (what layoutSubviews applies).
    virtual CGRect backgroundRectForBounds(CGRect bounds) const;
    virtual CGRect contentRectForBounds(CGRect bounds) const;
    virtual CGRect titleRectForContentRect(CGRect contentRect) const;
    virtual CGRect imageRectForContentRect(CGRect contentRect) const;

    // Image and title side by side, the title 6 points clear above and below, plus the content
    // insets, and at least the background image; an empty button fits 30 x 34.
    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    void layoutSubviews() override;
    Ref<UIColor> tintColor() const override;

    bool isAccessibilityElement() const override { return accessibilityElementSetting().value_or(true); }
    Ref<NSString> accessibilityLabel() const override;
    UIAccessibilityTraits accessibilityTraits() const override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

protected:
    void stateDidChange() override;
    bool defaultActionIsSingleTap() const override { return true; }

private:
    struct StateContent {
        UIControlState state = UIControlStateNormal;
        Ref<NSString> title;
        Ref<UIColor> titleColor;
        Ref<UIImage> image;
        Ref<UIImage> backgroundImage;
    };
    StateContent& handleContent(UIControlState state);
    const StateContent* handleFind(UIControlState state) const;
    template <class V>
    V handleCurrent(V StateContent::*member) const;
    // The parts' sizes as they stand: the image's, and the title's on one line.
    CGSize handleImageSize() const;
    CGSize handleTitleSize() const;
    void handleUpdate();
    Ref<UIImage> handleShownImage();

    // What the parts show, as far as it sets their places.
    struct Shown {
        Ref<NSString> title;
        CGSize image {};
        CGSize background {};
        bool operator==(const Shown& other) const;
    };

    std::vector<StateContent> m_contents;
    Shown m_shown;
    mutable Ref<UILabel> m_titleLabel;
    mutable Ref<UIImageView> m_imageView;
    Ref<UIImageView> m_backgroundView;
    Ref<UIImage> m_darkened;       // the image as shown while highlighted
    Ref<UIImage> m_darkenedSource; // the image it was made from
    UIEdgeInsets m_contentEdgeInsets {};
    UIEdgeInsets m_titleEdgeInsets {};
    UIEdgeInsets m_imageEdgeInsets {};
    UIButtonType m_type = UIButtonTypeCustom;
    bool m_adjustsImageWhenHighlighted = true;
};
