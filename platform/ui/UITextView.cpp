#include "platform/ui/UITextView.h"

#include "platform/ui/internal/ViewFormat.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UIBezierPath.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/internal/Keyboard.h"
#include "platform/ui/internal/TextEditing.h"

#include <algorithm>
#include <cmath>

const Ref<NSString> UITextViewTextDidBeginEditingNotification = "UITextViewTextDidBeginEditingNotification"_ns;
const Ref<NSString> UITextViewTextDidEndEditingNotification = "UITextViewTextDidEndEditingNotification"_ns;
const Ref<NSString> UITextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification"_ns;

// The text view's content: draws the text and the caret; scrolls with the content.
class UITextContainerView : public UIView {
    DV_CLASS(UITextContainerView, UIView)

    UITextContainerView() = default;
    void drawRect(CGRect) override
    {
        if (auto owner = dv::as<UITextView>(superview()))
            owner->handleDrawText();
    }

protected:
    bool isUserInteractionEnabledByDefault() const override { return true; }
};

DV_DEFINE_CLASS(UITextContainerView)
DV_DEFINE_CLASS(UITextPosition)
DV_DEFINE_CLASS(UITextRange)
DV_DEFINE_CLASS(UITextView)

namespace {

constexpr CGFloat kLinePadding = 5;

} // namespace

Ref<UITextPosition> UITextPosition::positionWithOffset(NSUInteger offset)
{
    auto position = alloc<UITextPosition>();
    position->m_offset = offset;
    return position;
}

Ref<UITextRange> UITextRange::rangeWithNSRange(NSRange range)
{
    auto textRange = alloc<UITextRange>();
    textRange->m_start = UITextPosition::positionWithOffset(range.location);
    textRange->m_end = UITextPosition::positionWithOffset(range.location + range.length);
    return textRange;
}

Ref<UITextView> UITextView::init() { return initWithFrame(CGRectZero); }

Ref<UITextView> UITextView::initWithFrame(CGRect frame)
{
    UIScrollView::initWithFrame(frame);
    m_text = ""_ns;
    m_font = UIFont::systemFontOfSize(12);
    m_textColor = UIColor::blackColor();
    setBackgroundColor(UIColor::whiteColor());
    m_container = alloc<UITextContainerView>();
    m_container->initWithFrame(CGRectMake(0, 0, frame.size.width, frame.size.height));
    addSubview(m_container);
    handleUpdateContent();
    return self<UITextView>();
}

Ref<UITextViewDelegate> UITextView::delegate() const { return m_textDelegate.lock(); }

void UITextView::setDelegate(const Ref<UITextViewDelegate>& delegate)
{
    m_textDelegate = delegate;
    UIScrollView::setDelegate(delegate);
}

void UITextView::setText(const Ref<NSString>& text)
{
    m_text = text ? text : ""_ns;
    m_selectedRange = NSMakeRange(m_text->length(), 0);
    handleTextChanged();
}

void UITextView::setFont(const Ref<UIFont>& font)
{
    m_font = font ? font : UIFont::systemFontOfSize(12);
    handleTextChanged();
}

void UITextView::setTextColor(const Ref<UIColor>& color)
{
    m_textColor = color ? color : UIColor::blackColor();
    m_container->setNeedsDisplay();
}

void UITextView::setTextAlignment(NSTextAlignment alignment)
{
    m_alignment = alignment;
    m_container->setNeedsDisplay();
}

void UITextView::setEditable(bool editable)
{
    m_editable = editable;
    if (!editable && isFirstResponder())
        resignFirstResponder();
}

void UITextView::setTextContainerInset(UIEdgeInsets inset)
{
    m_textContainerInset = inset;
    handleTextChanged();
}

void UITextView::handleTextChanged()
{
    handleUpdateContent();
    m_container->setNeedsDisplay();
    setNeedsLayout();
}

CGFloat UITextView::handleWrapWidth() const
{
    return std::max<CGFloat>(1, bounds().size.width - m_textContainerInset.left - m_textContainerInset.right - 2 * kLinePadding);
}

void UITextView::handleUpdateContent()
{
    const CGFloat width = bounds().size.width;
    const CGFloat lineHeight = m_font->lineHeight();
    const CGFloat textHeight = m_text->length() ? std::max(lineHeight, dv::measureText(m_text, m_font, handleWrapWidth(), 0).height) : lineHeight;
    const CGFloat height = std::ceil(textHeight + m_textContainerInset.top + m_textContainerInset.bottom);
    const CGSize size = CGSizeMake(width, height);
    if (!CGSizeEqualToSize(contentSize(), size))
        setContentSize(size);
    const CGRect containerFrame = CGRectMake(0, 0, width, std::max(height, bounds().size.height));
    if (!CGRectEqualToRect(m_container->frame(), containerFrame))
        m_container->setFrame(containerFrame);
}

void UITextView::layoutSubviews()
{
    UIScrollView::layoutSubviews();
    handleUpdateContent();
}

void UITextView::handleDrawText()
{
    const CGRect rect = CGRectMake(m_textContainerInset.left + kLinePadding, m_textContainerInset.top, handleWrapWidth(),
        std::max<CGFloat>(0, m_container->bounds().size.height - m_textContainerInset.top));
    if (m_text->length())
        dv::drawText(m_text, rect, m_font, m_textColor, { .alignment = m_alignment, .wrap = true });
    if (m_editing) {
        tintColor()->setFill();
        UIBezierPath::bezierPathWithRect(caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location)))->fill();
    }
}

// Selection and caret

void UITextView::setSelectedRange(NSRange range)
{
    range = dv::internal::uikit::clampRange(range, m_text->length());
    if (range.location == m_selectedRange.location && range.length == m_selectedRange.length)
        return;
    m_selectedRange = range;
    m_container->setNeedsDisplay();
    if (auto delegate = this->delegate())
        delegate->textViewDidChangeSelection(self<UITextView>());
}

Ref<UITextRange> UITextView::selectedTextRange() const { return UITextRange::rangeWithNSRange(m_selectedRange); }

Ref<UITextPosition> UITextView::beginningOfDocument() const { return UITextPosition::positionWithOffset(0); }

Ref<UITextPosition> UITextView::endOfDocument() const { return UITextPosition::positionWithOffset(m_text->length()); }

CGRect UITextView::caretRectForPosition(const Ref<UITextPosition>& position) const
{
    const NSUInteger offset = std::min<NSUInteger>(position ? position->offset() : 0, m_text->length());
    const CGFloat lineHeight = m_font->lineHeight();
    const CGFloat width = handleWrapWidth();
    auto lines = [&](const Ref<NSString>& text) {
        return std::max<long>(1, std::lround(dv::measureText(text, m_font, width, 0).height / lineHeight));
    };
    // The line a character typed at the caret would stand on, and where it would start.
    const auto prefix = m_text->substringToIndex(offset);
    const long line = lines(prefix->stringByAppendingString("X"_ns)) - 1;
    const auto feed = prefix->rangeOfString("\n"_ns, NSBackwardsSearch);
    const auto paragraph = feed.location == NSNotFound ? prefix : prefix->substringFromIndex(feed.location + 1);
    const long lineInParagraph = lines(paragraph->stringByAppendingString("X"_ns)) - 1;
    NSUInteger lineStart = 0;
    if (lineInParagraph > 0) {
        // The first character of the caret's line: the lines up to a character only grow.
        NSUInteger low = 0, high = paragraph->length();
        while (low < high) {
            const NSUInteger mid = (low + high) / 2;
            if (lines(paragraph->substringToIndex(mid + 1)) - 1 >= lineInParagraph)
                high = mid;
            else
                low = mid + 1;
        }
        lineStart = low;
    }
    const auto lastLine = paragraph->substringFromIndex(std::min(lineStart, paragraph->length()));
    const CGFloat x = std::min(width, lastLine->length() ? dv::measureText(lastLine, m_font, 0, 1).width : 0);
    return CGRectMake(m_textContainerInset.left + kLinePadding + x, m_textContainerInset.top + line * lineHeight, 2, lineHeight);
}

void UITextView::scrollRangeToVisible(NSRange range)
{
    range = dv::internal::uikit::clampRange(range, m_text->length());
    CGRect first = caretRectForPosition(UITextPosition::positionWithOffset(range.location));
    CGRect last = caretRectForPosition(UITextPosition::positionWithOffset(range.location + range.length));
    scrollRectToVisible(CGRectUnion(first, last), false);
}

// Focus

bool UITextView::canBecomeFirstResponder() const { return m_editable || m_selectable; }

bool UITextView::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder() || !window())
        return false;
    auto me = self<UITextView>();
    if (auto delegate = this->delegate(); delegate && !delegate->textViewShouldBeginEditing(me).value_or(true))
        return false;
    if (!UIScrollView::becomeFirstResponder())
        return false;
    m_editing = m_editable;
    m_container->setNeedsDisplay();
    if (!m_editing)
        return true;
    dv::internal::uikit::Keyboard::shared().show(me);
    if (auto delegate = this->delegate())
        delegate->textViewDidBeginEditing(me);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextViewTextDidBeginEditingNotification, me);
    return true;
}

bool UITextView::resignFirstResponder()
{
    if (!isFirstResponder())
        return UIScrollView::resignFirstResponder();
    auto me = self<UITextView>();
    if (m_editing && !isForcingResign())
        if (auto delegate = this->delegate(); delegate && !delegate->textViewShouldEndEditing(me).value_or(true))
            return false;
    if (!UIScrollView::resignFirstResponder())
        return false;
    const bool wasEditing = std::exchange(m_editing, false);
    m_container->setNeedsDisplay();
    if (!wasEditing)
        return true;
    if (auto delegate = this->delegate())
        delegate->textViewDidEndEditing(me);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextViewTextDidEndEditingNotification, me);
    dv::internal::uikit::Keyboard::shared().hide(me);
    return true;
}

void UITextView::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    UIScrollView::touchesEnded(touches, event);
    if (isFirstResponder() || !m_editable)
        return;
    if (becomeFirstResponder())
        setSelectedRange(NSMakeRange(m_text->length(), 0));
}

// Typing

bool UITextView::hasText() const { return m_text->length() > 0; }

bool UITextView::handleReplace(NSRange range, const Ref<NSString>& replacement)
{
    auto me = self<UITextView>();
    if (auto delegate = this->delegate();
        delegate && !delegate->textViewShouldChangeTextInRangeReplacementText(me, range, replacement).value_or(true))
        return false;
    range = dv::internal::uikit::clampRange(range, m_text->length());
    m_text = m_text->stringByReplacingCharactersInRange(range, replacement);
    handleTextChanged();
    layoutIfNeeded();
    m_selectedRange = NSMakeRange(range.location + replacement->length(), 0);
    if (auto delegate = this->delegate())
        delegate->textViewDidChangeSelection(me);
    if (auto delegate = this->delegate())
        delegate->textViewDidChange(me);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextViewTextDidChangeNotification, me);
    if (m_editing && m_text->length() && bounds().size.height > 0) {
        // The caret stays in sight, as when a person types past the bottom.
        const CGRect caret = caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location));
        const CGFloat visibleBottom = contentOffset().y + bounds().size.height - contentInset().bottom;
        if (CGRectGetMaxY(caret) > visibleBottom || caret.origin.y < contentOffset().y + contentInset().top)
            scrollRectToVisible(caret, false);
    }
    return true;
}

void UITextView::insertText(const Ref<NSString>& text)
{
    if (!m_editing || !text || text->length() == 0)
        return;
    handleReplace(m_selectedRange, text);
}

void UITextView::deleteBackward()
{
    if (!m_editing)
        return;
    NSRange range = m_selectedRange;
    if (range.length == 0)
        range = dv::internal::uikit::composedCharacterBefore(m_text, range.location);
    if (range.length == 0)
        return;
    handleReplace(range, ""_ns);
}

void UITextView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (m_text->length() > 0)
        fields.emplace_back("text", m_text->UTF8String());
    UIScrollView::appendDescriptionFields(fields);
    if (m_editing)
        fields.emplace_back("editing", "");
    if (!m_editable)
        fields.emplace_back("editable", "NO");
    dv::internal::uikit::ViewFormat::appendTextLook(fields, m_font, m_textColor);
    dv::internal::uikit::ViewFormat::appendKeyboardType(fields, keyboardType());
}
