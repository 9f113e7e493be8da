#include "platform/ui/UILabel.h"

#include "platform/ui/internal/ViewFormat.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/system/UIScreen.h"

#include <cmath>

DV_DEFINE_CLASS_WITH(UILabel, b)
{
    b.property<Ref<NSString>>("text", "T@\"NSString\",C,N", [](const UILabel& l) { return l.text(); },
        [](UILabel& l, Ref<NSString> text) { l.setText(text); });
}

namespace {

Ref<UIFont> defaultFont()
{
    static const Ref<UIFont> s_font = dv::keepingForever([] { return UIFont::systemFontOfSize(17); });
    return s_font;
}

// Up to the next whole pixel of the main screen.
CGFloat ceilToPixel(CGFloat value)
{
    const CGFloat scale = std::max<CGFloat>(UIScreen::mainScreen()->scale(), 1);
    return std::ceil(value * scale - 1e-6) / scale;
}

bool isEmpty(const Ref<NSString>& text) { return !text || text->utf8().empty(); }

} // namespace

Ref<UILabel> UILabel::init() { return initWithFrame(CGRectZero); }

Ref<UILabel> UILabel::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    m_font = defaultFont();
    m_textColor = UIColor::blackColor();
    setUserInteractionEnabled(false);
    setOpaque(false);
    // Its text is drawn again at a new size (sizeToFit after the text was shown), not its last
    // picture stretched.
    setContentMode(UIViewContentModeRedraw);
    return self<UILabel>();
}

void UILabel::handleTextChanged()
{
    m_measurement = {};
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

void UILabel::setText(const Ref<NSString>& text)
{
    if (dv::equal(text, m_text))
        return;
    m_text = dv::copyAs<NSString>(text);
    handleTextChanged();
}

Ref<NSAttributedString> UILabel::attributedText() const
{
    if (!m_text)
        return nil;
    auto attributes = NSDictionary::of({{NSFontAttributeName, m_font}, {NSForegroundColorAttributeName, m_textColor}});
    return alloc<NSAttributedString>()->initWithString(m_text, attributes);
}

void UILabel::setAttributedText(const Ref<NSAttributedString>& text)
{
    if (!text) {
        setText(nil);
        return;
    }
    if (text->length() > 0) {
        auto attributes = text->attributesAtIndex(0, nullptr);
        if (auto font = dv::as<UIFont>(attributes->objectForKey(NSFontAttributeName)))
            setFont(font);
        if (auto color = dv::as<UIColor>(attributes->objectForKey(NSForegroundColorAttributeName)))
            setTextColor(color);
    }
    setText(text->string());
}

void UILabel::setFont(const Ref<UIFont>& font)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UILabel>("font", [font](UILabel& label) { label.setFont(font); });
        return;
    }
    noteAppearanceSetterCalled("font");
    const Ref<UIFont> chosen = font ? font : defaultFont();
    if (dv::equal(chosen, m_font))
        return;
    m_font = chosen;
    handleTextChanged();
}

void UILabel::setTextColor(const Ref<UIColor>& color)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UILabel>("textColor", [color](UILabel& label) { label.setTextColor(color); });
        return;
    }
    noteAppearanceSetterCalled("textColor");
    m_textColor = color ? color : UIColor::blackColor();
    setNeedsDisplay();
}

void UILabel::setHighlightedTextColor(const Ref<UIColor>& color)
{
    m_highlightedTextColor = color;
    if (m_highlighted)
        setNeedsDisplay();
}

void UILabel::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    setNeedsDisplay();
}

void UILabel::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment)
{
    m_alignment = alignment;
    setNeedsDisplay();
}

void UILabel::setNumberOfLines(NSInteger lines)
{
    m_numberOfLines = std::max<NSInteger>(lines, 0);
    handleTextChanged();
}

void UILabel::setLineBreakMode(NSLineBreakMode mode)
{
    m_lineBreakMode = mode;
    setNeedsDisplay();
}

void UILabel::setAdjustsFontSizeToFitWidth(bool adjusts)
{
    m_adjustsFontSize = adjusts;
    setNeedsDisplay();
}

void UILabel::setMinimumFontSize(CGFloat size)
{
    m_minimumFontSize = std::max<CGFloat>(size, 0);
    setNeedsDisplay();
}

void UILabel::setMinimumScaleFactor(CGFloat factor)
{
    m_minimumScaleFactor = std::clamp<CGFloat>(factor, 0, 1);
    setNeedsDisplay();
}

void UILabel::setPreferredMaxLayoutWidth(CGFloat width)
{
    m_preferredMaxLayoutWidth = std::max<CGFloat>(width, 0);
    invalidateIntrinsicContentSize();
}

CGSize UILabel::handleMeasure(CGFloat width, NSInteger lines) const
{
    if (isEmpty(m_text))
        return CGSizeZero;
    if (m_measurement.width == width && m_measurement.lines == lines)
        return m_measurement.size;
    m_measurement = {width, lines, dv::measureText(m_text, m_font, width, lines)};
    return m_measurement.size;
}

CGSize UILabel::sizeThatFits(CGSize size) const
{
    const CGFloat width = m_numberOfLines == 1 || size.width <= 0 ? 0 : size.width;
    const CGSize measured = handleMeasure(width, m_numberOfLines);
    return CGSizeMake(ceilToPixel(measured.width), ceilToPixel(measured.height));
}

CGSize UILabel::intrinsicContentSize() const
{
    return sizeThatFits(CGSizeMake(m_numberOfLines == 1 ? 0 : m_preferredMaxLayoutWidth, 0));
}

CGRect UILabel::textRectForBounds(CGRect bounds, NSInteger lines) const
{
    CGSize size = handleMeasure(lines == 1 ? 0 : bounds.size.width, lines);
    size.width = std::min(size.width, bounds.size.width);
    size.height = std::min(size.height, bounds.size.height);
    return CGRectMake(bounds.origin.x, bounds.origin.y + (bounds.size.height - size.height) / 2, size.width, size.height);
}

Ref<UIFont> UILabel::handleFittingFont(CGFloat width) const
{
    const CGFloat size = m_font->pointSize();
    const CGFloat smallest = m_minimumFontSize > 0 ? m_minimumFontSize : size * m_minimumScaleFactor;
    if (!m_adjustsFontSize || m_numberOfLines != 1 || smallest <= 0 || smallest >= size || width <= 0)
        return m_font;
    const CGFloat full = handleMeasure(0, 1).width;
    if (full <= width)
        return m_font;
    // Text width grows with the size; start from the proportional size and step down to a fit.
    CGFloat candidate = std::max(smallest, std::floor(size * width / full * 2) / 2);
    auto font = m_font->fontWithSize(candidate);
    for (int step = 0; step < 8 && candidate > smallest && dv::measureText(m_text, font, 0, 1).width > width; ++step) {
        candidate = std::max(smallest, candidate - 0.5);
        font = m_font->fontWithSize(candidate);
    }
    return font;
}

void UILabel::drawTextInRect(CGRect rect)
{
    Ref<UIColor> color = m_textColor;
    if (m_highlighted && m_highlightedTextColor)
        color = m_highlightedTextColor;
    if (!m_enabled)
        color = UIColor::lightGrayColor();
    dv::TextDrawingOptions options;
    options.alignment = m_alignment;
    options.wrap = m_numberOfLines != 1;
    options.numberOfLines = m_numberOfLines;
    options.truncation = m_lineBreakMode;
    options.centreVertically = true;
    dv::drawText(m_text, rect, handleFittingFont(rect.size.width), color, options);
}

void UILabel::drawRect(CGRect)
{
    if (isEmpty(m_text))
        return;
    drawTextInRect(bounds());
}

Ref<NSString> UILabel::accessibilityLabel() const
{
    auto label = UIView::accessibilityLabel();
    return label ? label : m_text;
}

UIAccessibilityTraits UILabel::accessibilityTraits() const
{
    return UIView::accessibilityTraits() | UIAccessibilityTraitStaticText | (m_enabled ? 0 : UIAccessibilityTraitNotEnabled);
}

void UILabel::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (m_text)
        fields.emplace_back("text", m_text->utf8());
    UIView::appendDescriptionFields(fields);
    if (m_text && m_text->length() > 0)
        dv::internal::uikit::ViewFormat::appendTextLook(fields, m_font, m_textColor);
}
