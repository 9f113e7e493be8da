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
#include "platform/ui/UILongPressGestureRecognizer.h"
#include "platform/ui/UIMenuController.h"
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
DV_DEFINE_CLASS_WITH(UITextView, b)
{
    dv::internal::uikit::describeEditCommands(b);
    b.method("handleLongPress:", "v24@0:8@16", [](UITextView& view, std::span<const id> args) {
        view.handleLongPress(args.empty() ? nil : dv::as<UIGestureRecognizer>(args[0]));
        return nil;
    });
}

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
    // The press that shows the edit menu.
    auto press = alloc<UILongPressGestureRecognizer>();
    press->initWithTarget(self(), "handleLongPress:");
    addGestureRecognizer(press);
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
    if (m_selectedRange.length && isFirstResponder())
        handleDrawSelection();
    if (m_text->length())
        dv::drawText(m_text, rect, m_font, m_textColor, { .alignment = m_alignment, .wrap = true });
    if (m_editing && m_selectedRange.length == 0) {
        tintColor()->setFill();
        UIBezierPath::bezierPathWithRect(caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location)))->fill();
    }
}

void UITextView::handleDrawSelection()
{
    // A band from the start to the end, across whole lines in between, with a handle at each end.
    const CGRect first = caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location));
    const CGRect last = caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location + m_selectedRange.length));
    const CGFloat left = m_textContainerInset.left + kLinePadding;
    const CGFloat right = left + handleWrapWidth();
    std::vector<CGRect> band;
    if (first.origin.y == last.origin.y) {
        band.push_back(CGRectMake(first.origin.x, first.origin.y, last.origin.x - first.origin.x, first.size.height));
    } else {
        band.push_back(CGRectMake(first.origin.x, first.origin.y, right - first.origin.x, first.size.height));
        if (last.origin.y > CGRectGetMaxY(first))
            band.push_back(CGRectMake(left, CGRectGetMaxY(first), right - left, last.origin.y - CGRectGetMaxY(first)));
        band.push_back(CGRectMake(left, last.origin.y, last.origin.x - left, last.size.height));
    }
    dv::internal::uikit::drawSelection(tintColor(), band, CGRectMake(first.origin.x, first.origin.y, 0, first.size.height),
        CGRectMake(last.origin.x, last.origin.y, 0, last.size.height));
}

// Selection and caret

void UITextView::setSelectedRange(NSRange range)
{
    range = dv::internal::uikit::characterAlignedRange(m_text, range);
    if (range.location == m_selectedRange.location && range.length == m_selectedRange.length)
        return;
    m_selectedRange = range;
    m_container->setNeedsDisplay();
    handleScrollToCaret();
    if (auto delegate = this->delegate())
        delegate->textViewDidChangeSelection(self<UITextView>());
}

void UITextView::handleScrollToCaret()
{
    if (!m_editing || bounds().size.height <= 0)
        return;
    // The caret's line stays in sight with the text's margins above and below it, as when a
    // person types past the bottom.
    CGRect caret = caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location + m_selectedRange.length));
    caret.origin.y -= m_textContainerInset.top;
    caret.size.height += m_textContainerInset.top + m_textContainerInset.bottom;
    const CGFloat visibleBottom = contentOffset().y + bounds().size.height - contentInset().bottom;
    if (CGRectGetMaxY(caret) > visibleBottom || caret.origin.y < contentOffset().y + contentInset().top)
        scrollRectToVisible(caret, false);
}

NSUInteger UITextView::handleIndexAtPoint(CGPoint point) const
{
    // Caret rectangles go down the lines and, on a line, to the right as the offset grows: the
    // boundaries on the touched line by their line, then the one nearest by x.
    const auto boundaries = dv::internal::uikit::characterBoundaries(m_text);
    const CGFloat lineHeight = m_font->lineHeight();
    auto lineOf = [&](std::size_t i) {
        return std::lround((caretRectForPosition(UITextPosition::positionWithOffset(boundaries[i])).origin.y - m_textContainerInset.top) / lineHeight);
    };
    const long target = std::max<long>(0, long(std::floor((point.y - m_textContainerInset.top) / lineHeight)));
    auto firstWith = [&](auto&& holds, std::size_t low) {
        std::size_t high = boundaries.size();
        while (low < high) {
            const std::size_t mid = (low + high) / 2;
            if (holds(mid))
                high = mid;
            else
                low = mid + 1;
        }
        return low;
    };
    const std::size_t first = firstWith([&](std::size_t i) { return lineOf(i) >= target; }, 0);
    if (first == boundaries.size() || lineOf(first) > target)
        return first == 0 ? 0 : boundaries[first - 1];
    const std::size_t end = firstWith([&](std::size_t i) { return lineOf(i) > target; }, first);
    auto xOf = [&](std::size_t i) { return caretRectForPosition(UITextPosition::positionWithOffset(boundaries[i])).origin.x; };
    std::size_t at = firstWith([&](std::size_t i) { return i >= end || xOf(i) >= point.x; }, first);
    if (at == end || (at > first && point.x - xOf(at - 1) <= xOf(at) - point.x))
        --at;
    return boundaries[at];
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
    if (auto menu = UIMenuController::sharedMenuController(); menu->isMenuVisible())
        menu->setMenuVisible(false);
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
    auto touch = touches ? dv::as<UITouch>(touches->anyObject()) : nil;
    if (!m_editable || !touch)
        return;
    const NSUInteger at = handleIndexAtPoint(touch->locationInView(self<UIView>()));
    if (isFirstResponder() || becomeFirstResponder())
        setSelectedRange(NSMakeRange(at, 0));
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
    m_selectedRange = dv::internal::uikit::characterAlignedRange(m_text, NSMakeRange(range.location + replacement->length(), 0));
    if (auto delegate = this->delegate())
        delegate->textViewDidChangeSelection(me);
    if (auto delegate = this->delegate())
        delegate->textViewDidChange(me);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextViewTextDidChangeNotification, me);
    if (m_text->length())
        handleScrollToCaret();
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
    const NSRange range = dv::internal::uikit::deletionRange(m_text, m_selectedRange);
    if (range.length > 0)
        handleReplace(range, ""_ns);
}

void UITextView::moveCaret(dv::CaretMove move)
{
    if (m_editing)
        setSelectedRange(NSMakeRange(dv::internal::uikit::movedCaret(m_text, m_selectedRange, move), 0));
}

// The edit menu

bool UITextView::canPerformAction(SEL action, const id& sender) const
{
    if (auto command = dv::internal::uikit::editCommandFor(action))
        return isFirstResponder()
            && dv::internal::uikit::offersEditCommand(*command,
                { .length = m_text->length(), .selection = m_selectedRange, .editable = m_editable, .secure = isSecureTextEntry() });
    return UIScrollView::canPerformAction(action, sender);
}

void UITextView::cut(const id&) { handleEditCommand(dv::internal::uikit::EditCommand::Cut); }
void UITextView::copy(const id&) { handleEditCommand(dv::internal::uikit::EditCommand::Copy); }
void UITextView::paste(const id&) { handleEditCommand(dv::internal::uikit::EditCommand::Paste); }
void UITextView::select(const id&) { handleEditCommand(dv::internal::uikit::EditCommand::Select); }
void UITextView::selectAll(const id&) { handleEditCommand(dv::internal::uikit::EditCommand::SelectAll); }

void UITextView::handleEditCommand(dv::internal::uikit::EditCommand command)
{
    using namespace dv::internal::uikit;
    if (!canPerformAction(selectorOf(command), nil))
        return;
    const auto outcome = performEditCommand(command, m_text, m_selectedRange, Lines::Many);
    if (outcome.replace)
        handleReplace(*outcome.replace, outcome.replacement);
    if (outcome.select) {
        setSelectedRange(*outcome.select);
        m_container->setNeedsDisplay();
        handleShowMenu();
    }
}

void UITextView::handleShowMenu()
{
    const CGRect first = caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location));
    const CGRect last = caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location + m_selectedRange.length));
    auto menu = UIMenuController::sharedMenuController();
    menu->setTargetRect(CGRectUnion(first, last), self<UIView>());
    menu->setMenuVisible(true, true);
}

void UITextView::handleLongPress(const Ref<UIGestureRecognizer>& press)
{
    if (!press || press->state() != UIGestureRecognizerStateBegan || !canBecomeFirstResponder())
        return;
    const NSUInteger at = handleIndexAtPoint(press->locationInView(self<UIView>()));
    if (!isFirstResponder() && !becomeFirstResponder())
        return;
    setSelectedRange(NSMakeRange(at, 0));
    handleShowMenu();
}

void UITextView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (m_text->length() > 0)
        fields.emplace_back("text", m_text->UTF8String());
    UIScrollView::appendDescriptionFields(fields);
    if (m_editing) {
        fields.emplace_back("editing", "");
        fields.emplace_back("selected", std::to_string(m_selectedRange.location) + "," + std::to_string(m_selectedRange.length));
    }
    if (!m_editable)
        fields.emplace_back("editable", "NO");
    dv::internal::uikit::ViewFormat::appendTextLook(fields, m_font, m_textColor);
    dv::internal::uikit::ViewFormat::appendKeyboardType(fields, keyboardType());
}
