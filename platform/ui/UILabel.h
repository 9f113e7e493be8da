// UILabel: a view that shows a text in one font and colour. The text stands in the middle of the
// label's height, aligned by textAlignment, on at most numberOfLines lines (1 by default, 0 for as
// many as the height holds); lineBreakMode says where lines wrap (words, characters) and where a
// text that does not fit is cut (clipping, or an ellipsis at the head, middle or tail, the tail
// being the default). With adjustsFontSizeToFitWidth, a one-line text that is too wide is drawn
// smaller, down to minimumFontSize (or the font size times minimumScaleFactor), before it is cut.
// An attributed text gives the label its string, font and colour.
// Measured and drawn by the graphics layer's text engine (the pinned face, see UIFont.h). Takes
// no touches unless told. Main thread only.
//
//   auto label = alloc<UILabel>()->initWithFrame(CGRectMake(10, 7.5, 345, 30));
//   label->setFont(UIFont::systemFontOfSize(15));
//   label->setTextAlignment(NSTextAlignmentCenter);
//   label->setText("个人信聊号"_ns);
#pragma once

#include "platform/graphics/NSStringDrawing.h"
#include "platform/ui/UIView.h"

class UILabel : public UIView {
    DV_CLASS(UILabel, UIView)
    DV_APPEARANCE(UILabel)

    UILabel() = default;
    Ref<UILabel> init();
    Ref<UILabel> initWithFrame(CGRect frame);

    Ref<NSString> text() const { return m_text; }
    virtual void setText(const Ref<NSString>& text);
    // The text with the label's font and colour as attributes. Setting one sets the text, and the
    // font and colour its first character carries (a label draws in one font and colour).
    Ref<NSAttributedString> attributedText() const;
    virtual void setAttributedText(const Ref<NSAttributedString>& text);
    // The system font of 17 unless set; nil goes back to it.
    Ref<UIFont> font() const { return m_font; }
    virtual void setFont(const Ref<UIFont>& font);
    // Black unless set; nil goes back to black.
    Ref<UIColor> textColor() const { return m_textColor; }
    virtual void setTextColor(const Ref<UIColor>& color);
    // Used in place of the text colour while highlighted, when set.
    Ref<UIColor> highlightedTextColor() const { return m_highlightedTextColor; }
    void setHighlightedTextColor(const Ref<UIColor>& color);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    // A disabled label draws its text grey.
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    NSTextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(NSTextAlignment alignment);
    NSInteger numberOfLines() const { return m_numberOfLines; }
    void setNumberOfLines(NSInteger lines);
    NSLineBreakMode lineBreakMode() const { return m_lineBreakMode; }
    void setLineBreakMode(NSLineBreakMode mode);
    bool adjustsFontSizeToFitWidth() const { return m_adjustsFontSize; }
    void setAdjustsFontSizeToFitWidth(bool adjusts);
    CGFloat minimumFontSize() const { return m_minimumFontSize; }
    void setMinimumFontSize(CGFloat size);
    CGFloat minimumScaleFactor() const { return m_minimumScaleFactor; }
    void setMinimumScaleFactor(CGFloat factor);
    // The width at which a multi-line label wraps for its intrinsic size (0: none).
    CGFloat preferredMaxLayoutWidth() const { return m_preferredMaxLayoutWidth; }
    void setPreferredMaxLayoutWidth(CGFloat width);

    // Where the text goes within `bounds`: the size of the lines that fit (at most `lines`, 0
    // for all), in the middle of the height.
    virtual CGRect textRectForBounds(CGRect bounds, NSInteger lines) const;
    virtual void drawTextInRect(CGRect rect);
    // The text's size, wrapped at size.width for labels of more than one line and rounded up to
    // whole pixels; an empty label measures zero.
    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    void drawRect(CGRect rect) override;

    bool isAccessibilityElement() const override { return accessibilityElementSetting().value_or(true); }
    Ref<NSString> accessibilityLabel() const override;
    UIAccessibilityTraits accessibilityTraits() const override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

protected:
    bool isUserInteractionEnabledByDefault() const override { return false; }

private:
    // The text measured with the label's font, wrapped at `width` (0: one line per paragraph),
    // at most `lines` lines; the last answer is kept.
    CGSize handleMeasure(CGFloat width, NSInteger lines) const;
    Ref<UIFont> handleFittingFont(CGFloat width) const;
    void handleTextChanged();

    struct Measurement {
        CGFloat width = -1;
        NSInteger lines = 0;
        CGSize size {};
    };

    Ref<NSString> m_text;
    Ref<UIFont> m_font;
    Ref<UIColor> m_textColor;
    Ref<UIColor> m_highlightedTextColor;
    NSTextAlignment m_alignment = NSTextAlignmentLeft;
    NSInteger m_numberOfLines = 1;
    NSLineBreakMode m_lineBreakMode = NSLineBreakByTruncatingTail;
    CGFloat m_minimumFontSize = 0;
    CGFloat m_minimumScaleFactor = 0;
    CGFloat m_preferredMaxLayoutWidth = 0;
    mutable Measurement m_measurement;
    bool m_adjustsFontSize = false;
    bool m_highlighted = false;
    bool m_enabled = true;
};
