// UITextField's editing: the selection, typing at the caret, the caret keys, and the edit menu
// (see UITextField.h).
#include "platform/ui/UITextField.h"

#include "platform/base/NSString.h"
#include "platform/base/Scope.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UIMenuController.h"

#include <algorithm>
#include <utility>

namespace uikit = dv::internal::uikit;

void UITextField::setSelectedRange(NSRange range) { handleSetSelection(range, CaretReveal::Least); }

void UITextField::handleSetSelection(NSRange range, CaretReveal reveal)
{
    range = uikit::characterAlignedRange(m_text, range);
    const bool same = range.location == m_selection.location && range.length == m_selection.length;
    if (same && reveal == CaretReveal::Least)
        return;
    m_selection = range;
    if (m_editing)
        handleScrollToCaret(reveal);
    if (same)
        return;
    setNeedsDisplay();
    setNeedsLayout();
}

bool UITextField::handlePlaceCaretFromTouch(CGPoint point)
{
    // The boundary nearest to the touch in the line as it shows: not yet edited, from the line's
    // beginning (the focus then keeps the line where it is, or moves it the least that shows the
    // caret); a field that empties as editing begins keeps its caret at the start.
    const NSUInteger at = handleIndexAtPoint(point);
    if (m_editing) {
        handleSetSelection(NSMakeRange(at, 0), CaretReveal::NearEdges);
        return true;
    }
    {
        dv::TemporaryChange touched(m_touchedCaret, std::optional<NSUInteger>(at));
        if (!isFirstResponder() && !becomeFirstResponder())
            return false;
    }
    // (Where the delegate changed the text as editing began, the caret still goes there.)
    if (!m_clearsOnBeginEditing)
        handleSetSelection(NSMakeRange(at, 0), CaretReveal::Least);
    return true;
}

bool UITextField::hasText() const { return m_text->length() > 0; }

bool UITextField::handleReplace(NSRange range, const Ref<NSString>& replacement)
{
    auto me = self<UITextField>();
    if (auto delegate = this->delegate();
        delegate && !delegate->textFieldShouldChangeCharactersInRangeReplacementString(me, range, replacement).value_or(true))
        return false;
    // The delegate may have changed the text itself meanwhile.
    range = uikit::clampRange(range, m_text->length());
    m_text = m_text->stringByReplacingCharactersInRange(range, replacement);
    m_selection = uikit::characterAlignedRange(m_text, NSMakeRange(range.location + replacement->length(), 0));
    handleDidChange();
    return true;
}

void UITextField::handleDidChange()
{
    // Typing puts the edit menu away.
    if (auto menu = UIMenuController::sharedMenuController(); m_editing && menu->isMenuVisible())
        menu->setMenuVisible(false);
    if (m_editing)
        handleScrollToCaret();
    setNeedsDisplay();
    setNeedsLayout();
    sendActionsForControlEvents(UIControlEventEditingChanged);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextFieldTextDidChangeNotification, self<UITextField>());
}

void UITextField::insertText(const Ref<NSString>& text)
{
    if (!m_editing || !text || text->length() == 0)
        return;
    // The return key arrives as a line feed; a field keeps one line.
    const auto feed = text->rangeOfString("\n"_ns);
    if (feed.location != NSNotFound) {
        if (feed.location > 0)
            insertText(text->substringToIndex(feed.location));
        handleReturn();
        return;
    }
    handleReplace(m_selection, text);
}

void UITextField::deleteBackward()
{
    if (!m_editing)
        return;
    const NSRange range = uikit::deletionRange(m_text, m_selection);
    if (range.length > 0)
        handleReplace(range, ""_ns);
}

void UITextField::moveCaret(dv::CaretMove move)
{
    if (m_editing)
        setSelectedRange(NSMakeRange(uikit::movedCaret(m_text, m_selection, move), 0));
}

void UITextField::handleReturn()
{
    if (!m_editing)
        return;
    auto me = self<UITextField>();
    if (auto delegate = this->delegate())
        delegate->textFieldShouldReturn(me);
    if (!m_editing)
        return;
    const bool endsOnExit = (allControlEvents() & UIControlEventEditingDidEndOnExit) != 0;
    sendActionsForControlEvents(UIControlEventEditingDidEndOnExit);
    if (endsOnExit && isFirstResponder())
        resignFirstResponder();
}

void UITextField::handleClear()
{
    if (!m_editing)
        return;
    auto me = self<UITextField>();
    if (auto delegate = this->delegate(); delegate && !delegate->textFieldShouldClear(me).value_or(true))
        return;
    if (m_text->length() == 0)
        return;
    m_text = ""_ns;
    m_selection = NSMakeRange(0, 0);
    handleDidChange();
}

// The edit menu

bool UITextField::canPerformAction(SEL action, const id& sender) const
{
    if (auto command = uikit::editCommandFor(action))
        return m_editing
            && uikit::offersEditCommand(*command,
                { .text = m_text, .selection = m_selection, .editable = isEnabled(), .secure = isSecureTextEntry() });
    return UIControl::canPerformAction(action, sender);
}

void UITextField::cut(const id&) { handleEditCommand(uikit::EditCommand::Cut); }
void UITextField::copy(const id&) { handleEditCommand(uikit::EditCommand::Copy); }
void UITextField::paste(const id&) { handleEditCommand(uikit::EditCommand::Paste); }
void UITextField::select(const id&) { handleEditCommand(uikit::EditCommand::Select); }
void UITextField::selectAll(const id&) { handleEditCommand(uikit::EditCommand::SelectAll); }

void UITextField::handleEditCommand(uikit::EditCommand command)
{
    // Sent from elsewhere than the menu, a command is still only done when the menu would offer it.
    if (!canPerformAction(uikit::selectorOf(command), nil))
        return;
    const auto outcome = uikit::performEditCommand(command, m_text, m_selection, uikit::Lines::One);
    if (outcome.replace)
        handleReplace(*outcome.replace, outcome.replacement);
    if (outcome.select) {
        setSelectedRange(*outcome.select);
        handleShowMenu();
    }
}

void UITextField::handleShowMenu()
{
    // At the part of the selection (or the caret) inside the text rectangle: a selection scrolled
    // partly out of the field is pointed at where it shows.
    const auto at = handleSelectionGeometry();
    const CGFloat middle = (at.from + at.to) / 2, half = std::max<CGFloat>((at.to - at.from) / 2, 1); // a caret is 2 points wide
    const CGFloat from = std::clamp(middle - half, at.text.origin.x, CGRectGetMaxX(at.text));
    const CGFloat to = std::clamp(middle + half, at.text.origin.x, CGRectGetMaxX(at.text));
    auto menu = UIMenuController::sharedMenuController();
    menu->setTargetRect(CGRectMake(from, at.line.origin.y, to - from, at.line.size.height), self<UIView>());
    menu->setMenuVisible(true, true);
}

void UITextField::handleLongPress(const Ref<UIGestureRecognizer>& press)
{
    if (!press || !isEnabled())
        return;
    const CGPoint point = press->locationInView(self<UIView>());
    switch (press->state()) {
    case UIGestureRecognizerStateBegan:
        m_draggingCaret = false;
        if (handlePlaceCaretFromTouch(point))
            handleShowMenu();
        return;
    case UIGestureRecognizerStateChanged:
        // The caret follows the finger; the menu waits until it lifts.
        if (!m_editing)
            return;
        m_draggingCaret = true;
        if (auto menu = UIMenuController::sharedMenuController(); menu->isMenuVisible())
            menu->setMenuVisible(false);
        handleSetSelection(NSMakeRange(handleIndexAtPoint(point), 0), CaretReveal::NearEdges);
        return;
    case UIGestureRecognizerStateEnded:
        if (std::exchange(m_draggingCaret, false) && m_editing)
            handleShowMenu();
        return;
    default:
        m_draggingCaret = false;
        return;
    }
}
