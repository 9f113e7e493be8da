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
constexpr CGFloat kCaretWidth = 2;

using dv::internal::uikit::Affinity;
using dv::internal::uikit::CaretLayout;

} // namespace

Ref<UITextPosition> UITextPosition::positionWithOffset(NSUInteger offset, Affinity affinity)
{
    auto position = alloc<UITextPosition>();
    position->m_offset = offset;
    position->m_affinity = affinity;
    return position;
}

Ref<UITextRange> UITextRange::rangeWithNSRange(NSRange range, Affinity caretAffinity)
{
    auto textRange = alloc<UITextRange>();
    textRange->m_start = UITextPosition::positionWithOffset(range.location, range.length ? Affinity::Downstream : caretAffinity);
    textRange->m_end = UITextPosition::positionWithOffset(range.location + range.length, range.length ? Affinity::Upstream : caretAffinity);
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
    m_affinity = Affinity::Downstream;
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
    m_layout.reset();
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
    m_layout.reset();
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

const CaretLayout& UITextView::handleLayout() const
{
    const CGFloat width = handleWrapWidth();
    if (!m_layout || m_layoutWidth != width) {
        m_layout.emplace(m_text, m_font, CaretLayout::Shown::Text, width, m_alignment);
        m_layoutWidth = width;
    }
    return *m_layout;
}

CGRect UITextView::handleBoundaryRect(NSUInteger offset, Affinity affinity) const
{
    const auto& layout = handleLayout();
    const auto place = layout.place(std::min<NSUInteger>(offset, m_text->length()), affinity);
    const auto& line = layout.lines()[place.line];
    return CGRectMake(m_textContainerInset.left + kLinePadding + place.x, m_textContainerInset.top + line.top, 0, line.height);
}

std::vector<CGRect> UITextView::handleSelectionBand() const
{
    // From the start (on the line after a wrap there) to the end (on the line before one), across
    // whole lines in between.
    const CGRect first = handleBoundaryRect(m_selectedRange.location, Affinity::Downstream);
    const CGRect last = handleBoundaryRect(m_selectedRange.location + m_selectedRange.length, Affinity::Upstream);
    const CGFloat left = m_textContainerInset.left + kLinePadding;
    const CGFloat right = left + handleWrapWidth();
    if (first.origin.y == last.origin.y)
        return { CGRectMake(first.origin.x, first.origin.y, last.origin.x - first.origin.x, first.size.height) };
    std::vector<CGRect> band { CGRectMake(first.origin.x, first.origin.y, right - first.origin.x, first.size.height) };
    if (last.origin.y > CGRectGetMaxY(first))
        band.push_back(CGRectMake(left, CGRectGetMaxY(first), right - left, last.origin.y - CGRectGetMaxY(first)));
    band.push_back(CGRectMake(left, last.origin.y, last.origin.x - left, last.size.height));
    return band;
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
        UIBezierPath::bezierPathWithRect(caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location, m_affinity)))->fill();
    }
}

void UITextView::handleDrawSelection()
{
    using dv::internal::uikit::HandleEnd;
    dv::internal::uikit::drawSelectionBand(tintColor(), handleSelectionBand());
    dv::internal::uikit::drawSelectionHandle(tintColor(), handleBoundaryRect(m_selectedRange.location, Affinity::Downstream), HandleEnd::Start);
    dv::internal::uikit::drawSelectionHandle(tintColor(),
        handleBoundaryRect(m_selectedRange.location + m_selectedRange.length, Affinity::Upstream), HandleEnd::End);
}

// Selection and caret

void UITextView::setSelectedRange(NSRange range) { handleSelect(range, Affinity::Downstream); }

void UITextView::handleSetCaret(CaretLayout::Position caret) { handleSelect(NSMakeRange(caret.index, 0), caret.affinity); }

void UITextView::handleSelect(NSRange range, Affinity affinity)
{
    range = dv::internal::uikit::characterAlignedRange(m_text, range);
    const bool same = range.location == m_selectedRange.location && range.length == m_selectedRange.length;
    if (same && affinity == m_affinity)
        return;
    m_selectedRange = range;
    m_affinity = affinity;
    m_container->setNeedsDisplay();
    handleScrollToCaret();
    // The same place on the other line of a wrap is told to nobody.
    if (same)
        return;
    if (auto delegate = this->delegate())
        delegate->textViewDidChangeSelection(self<UITextView>());
}

void UITextView::handleScrollToCaret()
{
    if (!m_editing || bounds().size.height <= 0)
        return;
    // The caret's line stays in sight with the text's margins above and below it, as when a
    // person types past the bottom.
    CGRect caret = m_selectedRange.length ? handleBoundaryRect(m_selectedRange.location + m_selectedRange.length, Affinity::Upstream)
                                          : handleBoundaryRect(m_selectedRange.location, m_affinity);
    caret.origin.y -= m_textContainerInset.top;
    caret.size.height += m_textContainerInset.top + m_textContainerInset.bottom;
    caret.size.width = kCaretWidth;
    const CGFloat visibleBottom = contentOffset().y + bounds().size.height - contentInset().bottom;
    if (CGRectGetMaxY(caret) > visibleBottom || caret.origin.y < contentOffset().y + contentInset().top)
        scrollRectToVisible(caret, false);
}

CaretLayout::Position UITextView::handleIndexAtPoint(CGPoint point) const
{
    const auto& layout = handleLayout();
    return layout.nearest(layout.lineAt(point.y - m_textContainerInset.top), point.x - m_textContainerInset.left - kLinePadding);
}

Ref<UITextRange> UITextView::selectedTextRange() const { return UITextRange::rangeWithNSRange(m_selectedRange, m_affinity); }

Ref<UITextPosition> UITextView::beginningOfDocument() const { return UITextPosition::positionWithOffset(0); }

Ref<UITextPosition> UITextView::endOfDocument() const { return UITextPosition::positionWithOffset(m_text->length()); }

CGRect UITextView::caretRectForPosition(const Ref<UITextPosition>& position) const
{
    // Centred on the boundary: the line padding leaves it room at either end of a line.
    const CGRect boundary = handleBoundaryRect(position ? position->offset() : 0, position ? position->affinity() : Affinity::Downstream);
    return CGRectMake(boundary.origin.x - kCaretWidth / 2, boundary.origin.y, kCaretWidth, boundary.size.height);
}

void UITextView::scrollRangeToVisible(NSRange range)
{
    range = dv::internal::uikit::clampRange(range, m_text->length());
    const CGRect first = handleBoundaryRect(range.location, Affinity::Downstream);
    const CGRect last = handleBoundaryRect(range.location + range.length, range.length ? Affinity::Upstream : Affinity::Downstream);
    scrollRectToVisible(CGRectInset(CGRectUnion(first, last), -kCaretWidth / 2, 0), false);
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
    const auto at = handleIndexAtPoint(touch->locationInView(self<UIView>()));
    if (isFirstResponder() || becomeFirstResponder())
        handleSetCaret(at);
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
    // The caret stays after what was typed, on its line where a line now wraps there; where text
    // went, it stands where that text began.
    m_affinity = replacement->length() ? Affinity::Upstream : Affinity::Downstream;
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
    if (!m_editing)
        return;
    if (move != dv::CaretMove::Home && move != dv::CaretMove::End) {
        handleSetCaret({ dv::internal::uikit::movedCaret(m_text, m_selectedRange, move), Affinity::Downstream });
        return;
    }
    // The start or the end of the caret's line (of the selection's start or end); the end of a
    // line that wraps keeps the caret on it.
    const auto& layout = handleLayout();
    const bool home = move == dv::CaretMove::Home;
    const auto place = home ? layout.place(m_selectedRange.location, m_selectedRange.length ? Affinity::Downstream : m_affinity)
                            : layout.place(m_selectedRange.location + m_selectedRange.length, m_selectedRange.length ? Affinity::Upstream : m_affinity);
    const auto& line = layout.lines()[place.line];
    if (home)
        handleSetCaret({ line.range.location, Affinity::Downstream });
    else
        handleSetCaret({ line.range.location + line.range.length, line.wraps ? Affinity::Upstream : Affinity::Downstream });
}

// The edit menu

bool UITextView::canPerformAction(SEL action, const id& sender) const
{
    if (auto command = dv::internal::uikit::editCommandFor(action))
        return isFirstResponder()
            && dv::internal::uikit::offersEditCommand(*command,
                { .text = m_text, .selection = m_selectedRange, .editable = m_editable, .secure = isSecureTextEntry() });
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
    // At the part of the selection in sight (the caret's line, for a caret); all of it when none is.
    const CGRect visible = bounds();
    CGRect aim = CGRectNull, whole = CGRectNull;
    if (m_selectedRange.length == 0) {
        whole = caretRectForPosition(UITextPosition::positionWithOffset(m_selectedRange.location, m_affinity));
    } else {
        for (const CGRect& part : handleSelectionBand()) {
            whole = CGRectUnion(whole, part);
            if (const CGRect shown = CGRectIntersection(part, visible); !CGRectIsNull(shown))
                aim = CGRectUnion(aim, shown);
        }
    }
    if (CGRectIsNull(aim))
        aim = whole;
    auto menu = UIMenuController::sharedMenuController();
    menu->setTargetRect(aim, self<UIView>());
    menu->setMenuVisible(true, true);
}

void UITextView::handleLongPress(const Ref<UIGestureRecognizer>& press)
{
    if (!press || press->state() != UIGestureRecognizerStateBegan || !canBecomeFirstResponder())
        return;
    const auto at = handleIndexAtPoint(press->locationInView(self<UIView>()));
    if (!isFirstResponder() && !becomeFirstResponder())
        return;
    handleSetCaret(at);
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
