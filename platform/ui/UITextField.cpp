#include "platform/ui/UITextField.h"

#include "platform/ui/internal/ViewFormat.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/ui/UIBezierPath.h"
#include "platform/ui/UILongPressGestureRecognizer.h"
#include "platform/ui/UIMenuController.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/internal/Keyboard.h"
#include "platform/ui/internal/SelectionHandleView.h"
#include "platform/ui/internal/TextEditing.h"

#include <algorithm>
#include <cmath>

const Ref<NSString> UITextFieldTextDidBeginEditingNotification = "UITextFieldTextDidBeginEditingNotification"_ns;
const Ref<NSString> UITextFieldTextDidEndEditingNotification = "UITextFieldTextDidEndEditingNotification"_ns;
const Ref<NSString> UITextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification"_ns;

DV_DEFINE_CLASS_WITH(UITextField, b)
{
    dv::internal::uikit::describeEditCommands(b);
    b.method("handleLongPress:", "v24@0:8@16", [](UITextField& field, std::span<const id> args) {
        field.handleLongPress(args.empty() ? nil : dv::as<UIGestureRecognizer>(args[0]));
        return nil;
    });
}

namespace {

constexpr CGFloat kClearButtonSize = 19;
// The caret: a bar 2 points wide, centred on its boundary.
constexpr CGFloat kCaretWidth = 2;

Ref<UIColor> placeholderGrey() { return UIColor::colorWithWhite(0.7, 1); }

} // namespace

Ref<UITextField> UITextField::init() { return initWithFrame(CGRectZero); }

Ref<UITextField> UITextField::initWithFrame(CGRect frame)
{
    UIControl::initWithFrame(frame);
    m_text = ""_ns;
    m_font = UIFont::systemFontOfSize(17);
    m_textColor = UIColor::blackColor();
    setContentVerticalAlignment(UIControlContentVerticalAlignmentCenter);
    setOpaque(false);
    // The press that shows the edit menu.
    auto press = alloc<UILongPressGestureRecognizer>();
    press->initWithTarget(self(), "handleLongPress:");
    addGestureRecognizer(press);
    return self<UITextField>();
}

void UITextField::setText(const Ref<NSString>& text)
{
    m_text = text ? text : ""_ns;
    m_selection = NSMakeRange(m_text->length(), 0);
    if (m_editing)
        handleScrollToCaret();
    setNeedsDisplay();
    setNeedsLayout();
}

void UITextField::setPlaceholder(const Ref<NSString>& placeholder)
{
    m_placeholder = placeholder;
    m_placeholderColor = nil;
    m_placeholderFont = nil;
    setNeedsDisplay();
}

Ref<NSAttributedString> UITextField::attributedPlaceholder() const
{
    if (!m_placeholder)
        return nil;
    auto attributes = NSDictionary::of({
        { NSForegroundColorAttributeName, m_placeholderColor ? m_placeholderColor : placeholderGrey() },
        { NSFontAttributeName, m_placeholderFont ? m_placeholderFont : m_font },
    });
    return alloc<NSAttributedString>()->initWithString(m_placeholder, attributes);
}

void UITextField::setAttributedPlaceholder(const Ref<NSAttributedString>& placeholder)
{
    setPlaceholder(placeholder ? placeholder->string() : nil);
    if (placeholder && placeholder->length() > 0) {
        m_placeholderColor = dv::as<UIColor>(placeholder->attribute(NSForegroundColorAttributeName, 0, nullptr));
        m_placeholderFont = dv::as<UIFont>(placeholder->attribute(NSFontAttributeName, 0, nullptr));
    }
}

void UITextField::setFont(const Ref<UIFont>& font)
{
    m_font = font ? font : UIFont::systemFontOfSize(17);
    if (m_editing)
        handleScrollToCaret();
    setNeedsDisplay();
}

void UITextField::setTextColor(const Ref<UIColor>& color)
{
    m_textColor = color ? color : UIColor::blackColor();
    setNeedsDisplay();
}

void UITextField::setTextAlignment(NSTextAlignment alignment)
{
    m_alignment = alignment;
    setNeedsDisplay();
}

void UITextField::setBorderStyle(UITextBorderStyle style)
{
    m_borderStyle = style;
    setNeedsDisplay();
    setNeedsLayout();
}

void UITextField::setClearButtonMode(UITextFieldViewMode mode)
{
    m_clearButtonMode = mode;
    setNeedsDisplay();
}

void UITextField::setLeftView(const Ref<UIView>& view)
{
    if (m_leftView)
        m_leftView->removeFromSuperview();
    m_leftView = view;
    setNeedsLayout();
}

void UITextField::setLeftViewMode(UITextFieldViewMode mode)
{
    m_leftViewMode = mode;
    setNeedsLayout();
}

namespace {

bool modeShows(UITextFieldViewMode mode, bool editing)
{
    switch (mode) {
    case UITextFieldViewModeAlways: return true;
    case UITextFieldViewModeWhileEditing: return editing;
    case UITextFieldViewModeUnlessEditing: return !editing;
    case UITextFieldViewModeNever: break;
    }
    return false;
}

} // namespace

bool UITextField::isClearButtonShown() const { return modeShows(m_clearButtonMode, m_editing) && m_text->length() > 0; }

// Geometry

CGRect UITextField::borderRectForBounds(CGRect bounds) const { return bounds; }

CGRect UITextField::leftViewRectForBounds(CGRect bounds) const
{
    if (!m_leftView)
        return CGRectZero;
    const CGSize size = m_leftView->frame().size;
    return CGRectMake(bounds.origin.x, bounds.origin.y + std::round((bounds.size.height - size.height) / 2), size.width, size.height);
}

CGRect UITextField::clearButtonRectForBounds(CGRect bounds) const
{
    return CGRectMake(CGRectGetMaxX(bounds) - kClearButtonSize - 6, bounds.origin.y + std::round((bounds.size.height - kClearButtonSize) / 2),
        kClearButtonSize, kClearButtonSize);
}

CGRect UITextField::textRectForBounds(CGRect bounds) const
{
    CGFloat inset = 0;
    switch (m_borderStyle) {
    case UITextBorderStyleRoundedRect: inset = 7; break;
    case UITextBorderStyleLine:
    case UITextBorderStyleBezel: inset = 3; break;
    case UITextBorderStyleNone: break;
    }
    CGRect rect = CGRectInset(bounds, inset, 0);
    if (m_leftView && modeShows(m_leftViewMode, m_editing)) {
        const CGFloat right = CGRectGetMaxX(leftViewRectForBounds(bounds));
        rect.size.width -= std::max<CGFloat>(0, right - rect.origin.x);
        rect.origin.x = std::max(rect.origin.x, right);
    }
    if (isClearButtonShown())
        rect.size.width = std::max<CGFloat>(0, clearButtonRectForBounds(bounds).origin.x - rect.origin.x - 2);
    rect.size.width = std::max<CGFloat>(0, rect.size.width);
    return rect;
}

CGRect UITextField::placeholderRectForBounds(CGRect bounds) const { return textRectForBounds(bounds); }

CGRect UITextField::editingRectForBounds(CGRect bounds) const { return textRectForBounds(bounds); }

CGSize UITextField::sizeThatFits(CGSize) const
{
    const CGSize text = dv::measureText(m_text->length() ? m_text : "X"_ns, m_font, 0, 1);
    const CGFloat padding = m_borderStyle == UITextBorderStyleNone ? 0 : 14;
    return CGSizeMake(std::ceil(text.width + padding), std::ceil(m_font->lineHeight() + (m_borderStyle == UITextBorderStyleNone ? 0 : 12)));
}

void UITextField::layoutSubviews()
{
    UIControl::layoutSubviews();
    handleLayoutHandles();
    if (!m_leftView)
        return;
    if (modeShows(m_leftViewMode, m_editing)) {
        if (m_leftView->superview().get() != this)
            addSubview(m_leftView);
        m_leftView->setFrame(leftViewRectForBounds(bounds()));
    } else if (m_leftView->superview().get() == this) {
        m_leftView->removeFromSuperview();
    }
}

// Drawing

dv::internal::uikit::CaretLayout UITextField::handleMeasure() const
{
    using dv::internal::uikit::CaretLayout;
    return CaretLayout(m_text, m_font, isSecureTextEntry() ? CaretLayout::Shown::Dots : CaretLayout::Shown::Text);
}

Ref<NSString> UITextField::handleShownText() const
{
    if (!isSecureTextEntry())
        return m_text;
    return handleMeasure().shownText();
}

CGRect UITextField::handleLineRect(CGRect rect, const Ref<UIFont>& font) const
{
    // One line of the font, placed in the rectangle by the content's vertical alignment; a line
    // taller than the rectangle keeps its height (the field clips it) so that glyphs are not
    // squeezed out of their line.
    const CGFloat height = font->lineHeight();
    CGFloat y = rect.origin.y + (rect.size.height - height) / 2;
    switch (contentVerticalAlignment()) {
    case UIControlContentVerticalAlignmentTop: y = rect.origin.y; break;
    case UIControlContentVerticalAlignmentBottom: y = CGRectGetMaxY(rect) - height; break;
    case UIControlContentVerticalAlignmentCenter:
    case UIControlContentVerticalAlignmentFill: break;
    }
    return CGRectMake(rect.origin.x, y, rect.size.width, height);
}

CGFloat UITextField::handleLineStart(CGRect rect, CGFloat width) const
{
    if (!m_editing && width > rect.size.width)
        return rect.origin.x;
    CGFloat x = rect.origin.x;
    if (m_alignment == NSTextAlignmentCenter)
        x = CGRectGetMidX(rect) - width / 2;
    else if (m_alignment == NSTextAlignmentRight)
        x = CGRectGetMaxX(rect) - width;
    if (!m_editing)
        return x;
    // A caret after the line's end stays inside; a line too long for the field lies between its
    // beginning at the left edge and its end at the right, where the scroll puts it.
    x = std::min(x, CGRectGetMaxX(rect) - kCaretWidth / 2 - width);
    if (x >= rect.origin.x)
        return x;
    return std::clamp(rect.origin.x - m_scroll, x, rect.origin.x);
}

void UITextField::handleScrollToCaret(CaretReveal reveal)
{
    const CGRect rect = editingRectForBounds(bounds());
    auto line = handleMeasure();
    const CGFloat width = line.width();
    // The furthest right a boundary shows with the whole caret on it.
    const CGFloat end = CGRectGetMaxX(rect) - kCaretWidth / 2;
    CGFloat x = rect.origin.x;
    if (rect.origin.x + width > end) {
        const CGFloat caret = line.offsetOf(m_selection.location + m_selection.length);
        // A finger that puts the caret near an edge past which text is hidden sees some of it:
        // about two characters, never more than a third of the field.
        const CGFloat margin = reveal == CaretReveal::NearEdges ? std::min(2 * m_font->pointSize(), rect.size.width / 3) : 0;
        x = rect.origin.x - m_scroll;
        x = std::min(x, end - margin - caret);
        x = std::max(x, rect.origin.x + margin - caret);
        x = std::clamp(x, end - width, rect.origin.x);
    }
    if (rect.origin.x - x == m_scroll)
        return;
    m_scroll = rect.origin.x - x;
    setNeedsDisplay();
    setNeedsLayout();
}

UITextField::SelectionGeometry UITextField::handleSelectionGeometry() const
{
    const CGRect rect = m_editing ? editingRectForBounds(bounds()) : textRectForBounds(bounds());
    auto line = handleMeasure();
    const CGFloat start = handleLineStart(rect, m_text->length() ? line.width() : 0);
    return { rect, handleLineRect(rect, m_font), start + line.offsetOf(m_selection.location),
        start + line.offsetOf(m_selection.location + m_selection.length) };
}

void UITextField::handleLayoutHandles()
{
    using dv::internal::uikit::HandleEnd;
    const bool selected = m_editing && m_selection.length > 0;
    const auto at = selected ? handleSelectionGeometry() : SelectionGeometry {};
    for (const HandleEnd end : { HandleEnd::Start, HandleEnd::End }) {
        auto& handle = end == HandleEnd::Start ? m_startHandle : m_endHandle;
        const CGFloat x = end == HandleEnd::Start ? at.from : at.to;
        // An end scrolled out of the field has no handle.
        const bool shows = selected && x >= at.text.origin.x - 0.5 && x <= CGRectGetMaxX(at.text) + 0.5;
        if (!shows) {
            if (handle && handle->superview().get() == this)
                handle->removeFromSuperview();
            continue;
        }
        if (!handle)
            handle = UISelectionHandleView::make(end);
        if (handle->superview().get() != this)
            addSubview(handle);
        handle->placeAt(CGRectMake(x, at.line.origin.y, 0, at.line.size.height));
    }
}

NSUInteger UITextField::handleIndexAtPoint(CGPoint point) const
{
    const CGRect rect = m_editing ? editingRectForBounds(bounds()) : textRectForBounds(bounds());
    auto line = handleMeasure();
    return line.boundaryNearest(point.x - handleLineStart(rect, line.width()));
}

void UITextField::drawTextInRect(CGRect rect)
{
    const auto text = handleShownText();
    const CGRect line = handleLineRect(rect, m_font);
    const CGFloat width = dv::measureText(text, m_font, 0, 1).width;
    if (!m_editing && width > rect.size.width) {
        // Not being edited, a line that does not fit shows its beginning and ends in an ellipsis.
        dv::drawText(text, line, m_font, m_textColor,
            { .alignment = NSTextAlignmentLeft, .wrap = false, .numberOfLines = 1, .truncateTail = true });
        return;
    }
    const CGFloat x = handleLineStart(rect, width);
    auto context = UIGraphicsGetCurrentContext();
    CGContextSaveGState(context);
    CGContextClipToRect(context, line);
    dv::drawText(text, CGRectMake(x, line.origin.y, std::max(CGRectGetMaxX(line), x + width + 1) - x, line.size.height), m_font,
        m_textColor, { .alignment = NSTextAlignmentLeft, .wrap = false, .numberOfLines = 1 });
    CGContextRestoreGState(context);
}

void UITextField::drawPlaceholderInRect(CGRect rect)
{
    const auto font = m_placeholderFont ? m_placeholderFont : m_font;
    dv::drawText(m_placeholder, handleLineRect(rect, font), font, m_placeholderColor ? m_placeholderColor : placeholderGrey(),
        { .alignment = m_alignment, .wrap = false, .numberOfLines = 1, .truncateTail = true });
}

void UITextField::drawRect(CGRect)
{
    const CGRect b = bounds();
    const CGRect border = borderRectForBounds(b);
    switch (m_borderStyle) {
    case UITextBorderStyleRoundedRect: {
        auto path = UIBezierPath::bezierPathWithRoundedRect(CGRectInset(border, 0.5, 0.5), 5);
        if (!backgroundColor()) {
            UIColor::whiteColor()->setFill();
            path->fill();
        }
        UIColor::colorWithWhite(0.8, 1)->setStroke();
        path->setLineWidth(1);
        path->stroke();
        break;
    }
    case UITextBorderStyleLine:
    case UITextBorderStyleBezel: {
        auto path = UIBezierPath::bezierPathWithRect(CGRectInset(border, 0.5, 0.5));
        (m_borderStyle == UITextBorderStyleLine ? UIColor::blackColor() : UIColor::grayColor())->setStroke();
        path->setLineWidth(1);
        path->stroke();
        break;
    }
    case UITextBorderStyleNone: break;
    }
    const CGRect textRect = m_editing ? editingRectForBounds(b) : textRectForBounds(b);
    if (m_text->length() > 0)
        drawTextInRect(textRect);
    else if (m_placeholder && m_placeholder->length() > 0)
        drawPlaceholderInRect(placeholderRectForBounds(b));
    if (m_editing) {
        // The caret at its place, in the tint colour, on the text's line and as tall as it; or the
        // selection's band (its handles are subviews).
        const auto at = handleSelectionGeometry();
        auto context = UIGraphicsGetCurrentContext();
        CGContextSaveGState(context);
        CGContextClipToRect(context, CGRectMake(at.text.origin.x, b.origin.y, at.text.size.width, b.size.height));
        if (m_selection.length == 0) {
            const CGFloat x = std::clamp(at.from - kCaretWidth / 2, at.text.origin.x, std::max(at.text.origin.x, CGRectGetMaxX(at.text) - kCaretWidth));
            tintColor()->setFill();
            UIBezierPath::bezierPathWithRect(CGRectMake(x, at.line.origin.y, kCaretWidth, at.line.size.height))->fill();
        } else {
            dv::internal::uikit::drawSelectionBand(tintColor(), { CGRectMake(at.from, at.line.origin.y, at.to - at.from, at.line.size.height) });
        }
        CGContextRestoreGState(context);
    }
    if (isClearButtonShown()) {
        const CGRect clear = clearButtonRectForBounds(b);
        UIColor::colorWithWhite(0.7, 1)->setFill();
        UIBezierPath::bezierPathWithOvalInRect(clear)->fill();
        auto cross = UIBezierPath::bezierPath();
        const CGRect x = CGRectInset(clear, 6, 6);
        cross->moveToPoint(x.origin);
        cross->addLineToPoint(CGPointMake(CGRectGetMaxX(x), CGRectGetMaxY(x)));
        cross->moveToPoint(CGPointMake(CGRectGetMaxX(x), x.origin.y));
        cross->addLineToPoint(CGPointMake(x.origin.x, CGRectGetMaxY(x)));
        cross->setLineWidth(1.5);
        UIColor::whiteColor()->setStroke();
        cross->stroke();
    }
}

// Focus

bool UITextField::canBecomeFirstResponder() const { return isEnabled(); }

bool UITextField::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder() || !window())
        return false;
    auto me = self<UITextField>();
    if (auto delegate = this->delegate(); delegate && !delegate->textFieldShouldBeginEditing(me).value_or(true))
        return false;
    if (!UIControl::becomeFirstResponder())
        return false;
    m_editing = true;
    if (m_clearsOnBeginEditing && m_text->length() > 0)
        m_text = ""_ns;
    // The caret at the end, or where the touch that gives the focus placed it in the line as it
    // showed (from its beginning): the line moves no more than keeps the caret in sight.
    m_selection = NSMakeRange(m_text->length(), 0);
    if (m_touchedCaret && !m_clearsOnBeginEditing)
        m_selection = dv::internal::uikit::characterAlignedRange(m_text, NSMakeRange(*m_touchedCaret, 0));
    m_scroll = 0;
    handleScrollToCaret();
    setNeedsDisplay();
    setNeedsLayout();
    if (auto delegate = this->delegate())
        delegate->textFieldDidBeginEditing(me);
    sendActionsForControlEvents(UIControlEventEditingDidBegin);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextFieldTextDidBeginEditingNotification, me);
    if (isFirstResponder())
        dv::internal::uikit::Keyboard::shared().show(me);
    return true;
}

bool UITextField::resignFirstResponder()
{
    if (!isFirstResponder())
        return UIControl::resignFirstResponder();
    auto me = self<UITextField>();
    if (!isForcingResign())
        if (auto delegate = this->delegate(); delegate && !delegate->textFieldShouldEndEditing(me).value_or(true))
            return false;
    if (!UIControl::resignFirstResponder())
        return false;
    m_editing = false;
    m_scroll = 0;
    if (auto menu = UIMenuController::sharedMenuController(); menu->isMenuVisible())
        menu->setMenuVisible(false);
    setNeedsDisplay();
    setNeedsLayout();
    if (auto delegate = this->delegate())
        delegate->textFieldDidEndEditing(me);
    sendActionsForControlEvents(UIControlEventEditingDidEnd);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextFieldTextDidEndEditingNotification, me);
    dv::internal::uikit::Keyboard::shared().hide(me);
    return true;
}

void UITextField::setEnabled(bool enabled)
{
    UIControl::setEnabled(enabled);
    if (!enabled && isFirstResponder())
        resignFirstResponder();
}

void UITextField::setSecureTextEntry(bool secure)
{
    UITextInputTraits::setSecureTextEntry(secure);
    setNeedsDisplay();
}

void UITextField::endTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event)
{
    UIControl::endTrackingWithTouch(touch, event);
    if (!touch || !isTouchInside())
        return;
    const CGPoint point = touch->locationInView(self<UIView>());
    if (m_editing && isClearButtonShown() && CGRectContainsPoint(CGRectInset(clearButtonRectForBounds(bounds()), -6, -6), point)) {
        handleClear();
        return;
    }
    handlePlaceCaretFromTouch(point);
}

void UITextField::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (m_text->length() > 0)
        fields.emplace_back("text", handleShownText()->UTF8String());
    if (m_placeholder && m_placeholder->length() > 0)
        fields.emplace_back("placeholder", m_placeholder->UTF8String());
    UIControl::appendDescriptionFields(fields);
    if (m_editing) {
        fields.emplace_back("editing", "");
        fields.emplace_back("selected", std::to_string(m_selection.location) + "," + std::to_string(m_selection.length));
    }
    if (isSecureTextEntry())
        fields.emplace_back("secure", "");
    dv::internal::uikit::ViewFormat::appendTextLook(fields, m_font, m_textColor);
    dv::internal::uikit::ViewFormat::appendKeyboardType(fields, keyboardType());
}
