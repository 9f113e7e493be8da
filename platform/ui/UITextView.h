// UITextView: a scrolling, multi-line text that a person can edit. A tap gives an editable view
// the focus and puts the caret at the character boundary nearest to the touch on the line touched
// (right of a line that wraps, at its end, the caret staying on that line); typing replaces the
// selected range (a line feed is a new line, not the return of a field); the content grows with
// the text and the view scrolls to keep the caret in sight. A long press shows the edit menu as a
// text field's does (see UITextField.h), pointing at the part of the selection in sight. Text
// set in code notifies nobody and puts the caret at the end.
//
// The delegate is read through delegate(), a virtual getter, every time it is consulted (a
// subclass may watch those reads); it is also the scroll view's delegate. In the platform's order:
//   focus:   textViewShouldBeginEditing (NO: no focus), the keyboard's will-show,
//            textViewDidBeginEditing, UITextViewTextDidBeginEditingNotification;
//   typing:  textViewShouldChangeTextInRangeReplacementText (NO: nothing changes), then
//            textViewDidChangeSelection, textViewDidChange and UITextViewTextDidChangeNotification;
//   select:  setSelectedRange with another range tells textViewDidChangeSelection;
//   resign:  textViewShouldEndEditing (NO: keeps the focus unless forced), textViewDidEndEditing,
//            UITextViewTextDidEndEditingNotification, then the keyboard's will-hide.
// The text sits textContainerInset (8 top and bottom) and 5 points of line padding in from the
// edges. Ranges count UTF-16 units and never end inside a character. Main thread only.
//
//   auto view = alloc<UITextView>()->initWithFrame(CGRectMake(10, 80, 355, 120));
//   view->setFont(UIFont::systemFontOfSize(15));
//   view->setDelegate(self<Screen>());
#pragma once

#include "platform/graphics/NSStringDrawing.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UITextInputTraits.h"
#include "platform/ui/internal/TextEditing.h"

#include <optional>

class NSURL;
class UITextView;
class UITextContainerView;

extern const Ref<NSString> UITextViewTextDidBeginEditingNotification;
extern const Ref<NSString> UITextViewTextDidEndEditingNotification;
extern const Ref<NSString> UITextViewTextDidChangeNotification;

// A place in a text view's text (a UTF-16 offset) with the line it belongs to where a line wraps
// (downstream, the start of the next line, unless said otherwise), and a range between two places.
class UITextPosition : public NSObject {
    DV_CLASS(UITextPosition, NSObject)

    UITextPosition() = default;
    static Ref<UITextPosition> positionWithOffset(NSUInteger offset,
        dv::internal::uikit::Affinity affinity = dv::internal::uikit::Affinity::Downstream);
    NSUInteger offset() const { return m_offset; }
    dv::internal::uikit::Affinity affinity() const { return m_affinity; }

private:
    NSUInteger m_offset = 0;
    dv::internal::uikit::Affinity m_affinity = dv::internal::uikit::Affinity::Downstream;
};

class UITextRange : public NSObject {
    DV_CLASS(UITextRange, NSObject)

    UITextRange() = default;
    // A selection's range: it starts on the line after a wrap at its start and ends on the line
    // before one at its end; an empty one (a caret) stands on the line `caretAffinity` names.
    static Ref<UITextRange> rangeWithNSRange(NSRange range,
        dv::internal::uikit::Affinity caretAffinity = dv::internal::uikit::Affinity::Downstream);
    Ref<UITextPosition> start() const { return m_start; }
    Ref<UITextPosition> end() const { return m_end; }
    bool isEmpty() const { return m_start->offset() == m_end->offset(); }

private:
    Ref<UITextPosition> m_start;
    Ref<UITextPosition> m_end;
};

// The delegate protocol; every method is optional (nullopt or false: not implemented; the
// questions then count as YES).
class UITextViewDelegate : public virtual UIScrollViewDelegate {
public:
    virtual std::optional<bool> textViewShouldBeginEditing(const Ref<UITextView>&) { return std::nullopt; }
    virtual std::optional<bool> textViewShouldEndEditing(const Ref<UITextView>&) { return std::nullopt; }
    virtual bool textViewDidBeginEditing(const Ref<UITextView>&) { return false; }
    virtual bool textViewDidEndEditing(const Ref<UITextView>&) { return false; }
    virtual std::optional<bool> textViewShouldChangeTextInRangeReplacementText(const Ref<UITextView>&, NSRange range,
        const Ref<NSString>& text)
    {
        (void)range;
        (void)text;
        return std::nullopt;
    }
    virtual bool textViewDidChange(const Ref<UITextView>&) { return false; }
    virtual bool textViewDidChangeSelection(const Ref<UITextView>&) { return false; }
    // Asked before a link or an attachment in the text is opened.
    virtual std::optional<bool> textViewShouldInteractWithURLInRange(const Ref<UITextView>&, const Ref<NSURL>& url, NSRange range)
    {
        (void)url;
        (void)range;
        return std::nullopt;
    }
    virtual std::optional<bool> textViewShouldInteractWithTextAttachmentInRange(const Ref<UITextView>&, const id& attachment,
        NSRange range)
    {
        (void)attachment;
        (void)range;
        return std::nullopt;
    }
};

class UITextView : public UIScrollView, public UITextInputTraits {
    DV_CLASS(UITextView, UIScrollView)

    UITextView() = default;
    Ref<UITextView> init();
    Ref<UITextView> initWithFrame(CGRect frame);

    // Never nil.
    Ref<NSString> text() const { return m_text; }
    virtual void setText(const Ref<NSString>& text);
    // The system font of 12 unless set.
    Ref<UIFont> font() const { return m_font; }
    virtual void setFont(const Ref<UIFont>& font);
    Ref<UIColor> textColor() const { return m_textColor; }
    virtual void setTextColor(const Ref<UIColor>& color);
    NSTextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(NSTextAlignment alignment);
    bool isEditable() const { return m_editable; }
    void setEditable(bool editable);
    bool isSelectable() const { return m_selectable; }
    void setSelectable(bool selectable) { m_selectable = selectable; }
    UIEdgeInsets textContainerInset() const { return m_textContainerInset; }
    void setTextContainerInset(UIEdgeInsets inset);

    // The selection; a caret is an empty range. Cut to the text and widened to whole characters;
    // while editing, the view scrolls to show the caret. A caret set here where a line wraps
    // stands at the start of the next line; one that a tap, the End key or typing put at the end
    // of a line that wraps stays there (its position's affinity, in selectedTextRange).
    NSRange selectedRange() const { return m_selectedRange; }
    void setSelectedRange(NSRange range);
    Ref<UITextRange> selectedTextRange() const;
    Ref<UITextPosition> beginningOfDocument() const;
    Ref<UITextPosition> endOfDocument() const;
    // The caret's rectangle at `position`, in the view's (content) coordinates: 2 points wide,
    // centred on the boundary, one line high, on the line the position belongs to.
    CGRect caretRectForPosition(const Ref<UITextPosition>& position) const;
    // Scrolls the least distance that shows the lines of `range`.
    void scrollRangeToVisible(NSRange range);

    virtual Ref<UITextViewDelegate> delegate() const;
    void setDelegate(const Ref<UITextViewDelegate>& delegate);

    bool isEditing() const { return m_editing; }

    // What the keyboard does: replace the selection, delete it or the character before the
    // caret, move the caret (a hardware keyboard's arrow keys; Home and End to the start and the
    // end of the caret's line, with Ctrl to those of the text).
    void insertText(const Ref<NSString>& text);
    void deleteBackward();
    bool hasText() const;
    void moveCaret(dv::CaretMove move);

    // The edit menu's commands (the standard edit actions, with the menu controller as sender).
    using UIScrollView::copy;
    void cut(const id& sender);
    void copy(const id& sender);
    void paste(const id& sender);
    void select(const id& sender);
    void selectAll(const id& sender);
    // The action of the long press that shows the menu.
    void handleLongPress(const Ref<UIGestureRecognizer>& press);

    // UIResponder
    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    bool canPerformAction(SEL action, const id& sender) const override;
    Ref<UIView> inputView() const override { return inputViewSetting(); }
    Ref<UIView> inputAccessoryView() const override { return inputAccessoryViewSetting(); }
    bool showsKeyboard() const override { return m_editable; }

    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void layoutSubviews() override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    friend class UITextContainerView;
    bool handleReplace(NSRange range, const Ref<NSString>& replacement);
    void handleTextChanged();
    void handleUpdateContent();
    CGFloat handleWrapWidth() const;
    // The text's lines as drawn, laid out again after a change of the text, its look or the width.
    const dv::internal::uikit::CaretLayout& handleLayout() const;
    // A zero-wide rectangle at the boundary of `offset` on the line that `affinity` names, as
    // tall as the line (content coordinates).
    CGRect handleBoundaryRect(NSUInteger offset, dv::internal::uikit::Affinity affinity) const;
    // The selection's band: its part of each line it covers (content coordinates).
    std::vector<CGRect> handleSelectionBand() const;
    void handleDrawText();
    void handleDrawSelection();
    // The character boundary nearest to `point` (content coordinates) on the line there.
    dv::internal::uikit::CaretLayout::Position handleIndexAtPoint(CGPoint point) const;
    // The caret set by a touch or a key, with the line it belongs to where a line wraps.
    void handleSetCaret(dv::internal::uikit::CaretLayout::Position caret);
    // The selection set (cut to the text and to whole characters) with the caret's line at a
    // wrap; a changed range is told to the delegate.
    void handleSelect(NSRange range, dv::internal::uikit::Affinity affinity);
    // Scrolls the least that shows the caret (the selection's end) while editing.
    void handleScrollToCaret();
    void handleEditCommand(dv::internal::uikit::EditCommand command);
    void handleShowMenu();

    Ref<NSString> m_text;
    Ref<UIFont> m_font;
    Ref<UIColor> m_textColor;
    Ref<UITextContainerView> m_container;
    Weak<UITextViewDelegate> m_textDelegate;
    UIEdgeInsets m_textContainerInset { 8, 0, 8, 0 };
    NSRange m_selectedRange { 0, 0 };
    // Where a line wraps at the caret: which of the two lines it stands on.
    dv::internal::uikit::Affinity m_affinity = dv::internal::uikit::Affinity::Downstream;
    mutable std::optional<dv::internal::uikit::CaretLayout> m_layout;
    mutable CGFloat m_layoutWidth = 0;
    NSTextAlignment m_alignment = NSTextAlignmentLeft;
    bool m_editable = true;
    bool m_selectable = true;
    bool m_editing = false;
};
