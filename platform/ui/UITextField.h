// UITextField: a one-line field a person types into. A tap gives it the focus (it becomes first
// responder and the keyboard comes up) and puts the caret at the character boundary nearest to
// the touch in the line as it shows; typing goes through insertText and deleteBackward, which the
// keyboard (the UI driver) calls, and acts at the caret or over the selection; the return key
// calls handleReturn; the clear button, shown by clearButtonMode, empties it. A long press (0.5 s)
// shows the edit menu with the caret at the press; moved on, the caret follows the finger and the
// menu shows again where it lifts. The menu offers Paste "粘贴" when the pasteboard holds a string,
// Select "选择" (the word at the caret or the nearest before it) when there is such a word and
// Select All "全选" when there is text; with a selection Cut "剪切", Copy "拷贝" (neither in a
// secure field) and Paste; it points at the part of the selection that shows. Text set in code
// notifies nobody and puts the caret at its end, as becoming first responder does (unless a touch
// gave the focus). The text is one line: the alignment places a line that fits; while the field
// is edited a longer line scrolls sideways the least that keeps the caret in sight (a caret that
// a finger puts near an edge past which text is hidden brings some of it into sight), and
// otherwise it shows its beginning, cut at the end with an ellipsis. The caret is a bar 2 points
// wide centred on its boundary, kept inside the text rectangle; a selection's handles are
// subviews, drawn whole at the field's edges. A secure field shows one dot per character.
//
// The delegate (weak) is asked and told, in the platform's order:
//   focus:   textFieldShouldBeginEditing (NO: no focus), textFieldDidBeginEditing, the
//            EditingDidBegin event, UITextFieldTextDidBeginEditingNotification, then the keyboard's
//            will-show;
//   typing:  textFieldShouldChangeCharactersInRangeReplacementString with the range replaced (the
//            selection, or the character before the caret for a delete) and its replacement (NO:
//            the text and the caret stay), then the EditingChanged event and
//            UITextFieldTextDidChangeNotification; paste and cut ask the same;
//   clear:   textFieldShouldClear (NO: nothing), then the text empties with EditingChanged and the
//            change notification;
//   return:  textFieldShouldReturn, then the EditingDidEndOnExit event (a field with a target for
//            that event resigns);
//   resign:  textFieldShouldEndEditing (NO: keeps the focus, unless the window ends editing with
//            force), textFieldDidEndEditing, the EditingDidEnd event,
//            UITextFieldTextDidEndEditingNotification, then the keyboard's will-hide (not when
//            the focus moves to another field: the keyboard stays and shows again).
// The notifications' object is the field. Ranges count UTF-16 units, as NSString does, and never
// end inside a character (an emoji with its skin tone, a flag, a joined sequence or a letter with
// its combining marks is one). Main thread only.
//
//   auto field = alloc<UITextField>()->initWithFrame(CGRectMake(60, 149, W - 120, 45));
//   field->setPlaceholder("请输入代理商信聊号"_ns);
//   field->setBorderStyle(UITextBorderStyleRoundedRect);
//   field->setDelegate(self<Form>());
#pragma once

#include "platform/graphics/NSStringDrawing.h"
#include "platform/ui/UIControl.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UITextInputTraits.h"
#include "platform/ui/internal/TextEditing.h"

#include <optional>

class NSAttributedString;
class UISelectionHandleView;
class UITextField;

extern const Ref<NSString> UITextFieldTextDidBeginEditingNotification;
extern const Ref<NSString> UITextFieldTextDidEndEditingNotification;
extern const Ref<NSString> UITextFieldTextDidChangeNotification;

enum UITextBorderStyle : NSInteger {
    UITextBorderStyleNone = 0,
    UITextBorderStyleLine = 1,
    UITextBorderStyleBezel = 2,
    UITextBorderStyleRoundedRect = 3,
};

enum UITextFieldViewMode : NSInteger {
    UITextFieldViewModeNever = 0,
    UITextFieldViewModeWhileEditing = 1,
    UITextFieldViewModeUnlessEditing = 2,
    UITextFieldViewModeAlways = 3,
};

// The delegate protocol; every method is optional: nullopt (or false) means not implemented, and
// the field then does what it would do without a delegate (the questions count as YES).
class UITextFieldDelegate {
public:
    virtual ~UITextFieldDelegate() = default;

    virtual std::optional<bool> textFieldShouldBeginEditing(const Ref<UITextField>&) { return std::nullopt; }
    virtual bool textFieldDidBeginEditing(const Ref<UITextField>&) { return false; }
    virtual std::optional<bool> textFieldShouldEndEditing(const Ref<UITextField>&) { return std::nullopt; }
    virtual bool textFieldDidEndEditing(const Ref<UITextField>&) { return false; }
    virtual std::optional<bool> textFieldShouldChangeCharactersInRangeReplacementString(const Ref<UITextField>&, NSRange range,
        const Ref<NSString>& replacement)
    {
        (void)range;
        (void)replacement;
        return std::nullopt;
    }
    virtual std::optional<bool> textFieldShouldClear(const Ref<UITextField>&) { return std::nullopt; }
    virtual std::optional<bool> textFieldShouldReturn(const Ref<UITextField>&) { return std::nullopt; }
};

class UITextField : public UIControl, public UITextInputTraits {
    DV_CLASS(UITextField, UIControl)

    UITextField() = default;
    Ref<UITextField> init();
    Ref<UITextField> initWithFrame(CGRect frame);

    // Never nil: an empty field's text is "".
    Ref<NSString> text() const { return m_text; }
    virtual void setText(const Ref<NSString>& text);
    Ref<NSString> placeholder() const { return m_placeholder; }
    virtual void setPlaceholder(const Ref<NSString>& placeholder);
    // The placeholder with its look: the string, and the colour and font its first character
    // carries (70% grey and the field's font otherwise).
    Ref<NSAttributedString> attributedPlaceholder() const;
    virtual void setAttributedPlaceholder(const Ref<NSAttributedString>& placeholder);
    // The system font of 17 unless set.
    Ref<UIFont> font() const { return m_font; }
    virtual void setFont(const Ref<UIFont>& font);
    // Black unless set.
    Ref<UIColor> textColor() const { return m_textColor; }
    virtual void setTextColor(const Ref<UIColor>& color);
    NSTextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(NSTextAlignment alignment);
    UITextBorderStyle borderStyle() const { return m_borderStyle; }
    void setBorderStyle(UITextBorderStyle style);
    UITextFieldViewMode clearButtonMode() const { return m_clearButtonMode; }
    void setClearButtonMode(UITextFieldViewMode mode);
    bool clearsOnBeginEditing() const { return m_clearsOnBeginEditing; }
    void setClearsOnBeginEditing(bool clears) { m_clearsOnBeginEditing = clears; }
    // A view at the left edge (an icon), shown by its mode.
    Ref<UIView> leftView() const { return m_leftView; }
    void setLeftView(const Ref<UIView>& view);
    UITextFieldViewMode leftViewMode() const { return m_leftViewMode; }
    void setLeftViewMode(UITextFieldViewMode mode);

    Ref<UITextFieldDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UITextFieldDelegate>& delegate) { m_delegate = delegate; }

    // Whether the field has the focus.
    bool isEditing() const { return m_editing; }

    // Where the parts go, in the field's coordinates; overridable.
    virtual CGRect borderRectForBounds(CGRect bounds) const;
    virtual CGRect textRectForBounds(CGRect bounds) const;
    virtual CGRect placeholderRectForBounds(CGRect bounds) const;
    virtual CGRect editingRectForBounds(CGRect bounds) const;
    virtual CGRect clearButtonRectForBounds(CGRect bounds) const;
    virtual CGRect leftViewRectForBounds(CGRect bounds) const;
    // Draws the text's line in the rectangle, scrolled or cut as the field shows it.
    virtual void drawTextInRect(CGRect rect);
    virtual void drawPlaceholderInRect(CGRect rect);
    // Whether the clear button shows now (its mode, the editing state and a non-empty text).
    bool isClearButtonShown() const;

    // The selection while the field is edited, an empty range being the caret (the platform
    // reaches it through UITextInput's selectedTextRange; this is the same range as an NSRange).
    // Setting it cuts it to the text, widens it to whole characters and scrolls the caret into
    // sight; it changes no text and asks nobody.
    NSRange selectedRange() const { return m_selection; }
    void setSelectedRange(NSRange range);

    // What the keyboard does (the UI driver types through these): insert at the caret or over the
    // selection (a line feed is the return key), delete the selection or the character before the
    // caret, move the caret (the arrow, Home and End keys), the return key, and the clear button.
    void insertText(const Ref<NSString>& text);
    void deleteBackward();
    void moveCaret(dv::CaretMove move);
    bool hasText() const;
    void handleReturn();
    void handleClear();

    // The edit menu's commands (the standard edit actions, with the menu controller as sender).
    using UIControl::copy;
    void cut(const id& sender);
    void copy(const id& sender);
    void paste(const id& sender);
    void select(const id& sender);
    void selectAll(const id& sender);
    // The action of the long press that shows the menu.
    void handleLongPress(const Ref<UIGestureRecognizer>& press);

    // UIResponder
    bool canBecomeFirstResponder() const override;
    bool canPerformAction(SEL action, const id& sender) const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    Ref<UIView> inputView() const override { return inputViewSetting(); }
    Ref<UIView> inputAccessoryView() const override { return inputAccessoryViewSetting(); }
    bool showsKeyboard() const override { return isEnabled(); }
    void setEnabled(bool enabled) override;
    void setSecureTextEntry(bool secure) override;

    void endTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    CGSize sizeThatFits(CGSize size) const override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

protected:
    bool defaultActionIsSingleTap() const override { return true; }

private:
    // How far the sideways scroll goes for the caret: the least that shows it, or, for a caret
    // that a finger placed while editing, enough that text hidden past a near edge comes into sight.
    enum class CaretReveal { Least, NearEdges };
    // Where the caret and the selection stand now, in the field's coordinates: the text rectangle,
    // the line's rectangle in it, and the x of the selection's start and end.
    struct SelectionGeometry {
        CGRect text;
        CGRect line;
        CGFloat from;
        CGFloat to;
    };

    // Replaces `range` after asking the delegate and puts the caret after the replacement;
    // answers whether the text changed.
    bool handleReplace(NSRange range, const Ref<NSString>& replacement);
    void handleEditCommand(dv::internal::uikit::EditCommand command);
    // The selection set (cut to the text and to whole characters) and the caret scrolled into sight.
    void handleSetSelection(NSRange range, CaretReveal reveal);
    // A touch that places the caret (a tap, a long press): the focus, then the caret at the
    // boundary nearest to `point` in the line as it showed; NO when the field did not take the focus.
    bool handlePlaceCaretFromTouch(CGPoint point);
    // The edit menu at the part of the caret or the selection that shows.
    void handleShowMenu();
    // The character boundary nearest to `point` (the field's coordinates) in the line as shown.
    NSUInteger handleIndexAtPoint(CGPoint point) const;
    // Moves the sideways scroll for the caret (the selection's end).
    void handleScrollToCaret(CaretReveal reveal = CaretReveal::Least);
    dv::internal::uikit::CaretLayout handleMeasure() const;
    SelectionGeometry handleSelectionGeometry() const;
    // The selection's handles stand at its ends that show, while editing.
    void handleLayoutHandles();
    void handleDidChange();
    Ref<NSString> handleShownText() const;
    // Where a line `width` points long starts in `rect`: by the alignment (while editing far
    // enough left that a caret after it stays inside, and moved by the sideways scroll when it is
    // longer than the rectangle); not being edited, a line too long starts at the left edge.
    CGFloat handleLineStart(CGRect rect, CGFloat width) const;
    // The rectangle of the one line of text in `rect`, by the content's vertical alignment.
    CGRect handleLineRect(CGRect rect, const Ref<UIFont>& font) const;

    Ref<NSString> m_text;
    Ref<NSString> m_placeholder;
    Ref<UIColor> m_placeholderColor;
    Ref<UIFont> m_placeholderFont;
    Ref<UIFont> m_font;
    Ref<UIColor> m_textColor;
    Ref<UIView> m_leftView;
    Weak<UITextFieldDelegate> m_delegate;
    NSTextAlignment m_alignment = NSTextAlignmentLeft;
    UITextBorderStyle m_borderStyle = UITextBorderStyleNone;
    UITextFieldViewMode m_clearButtonMode = UITextFieldViewModeNever;
    UITextFieldViewMode m_leftViewMode = UITextFieldViewModeNever;
    NSRange m_selection { 0, 0 };
    CGFloat m_scroll = 0; // how far a line longer than the text rectangle is moved left
    // While a touch gives the field the focus: where it placed the caret.
    std::optional<NSUInteger> m_touchedCaret;
    Ref<UISelectionHandleView> m_startHandle;
    Ref<UISelectionHandleView> m_endHandle;
    bool m_draggingCaret = false; // a long press moves the caret
    bool m_clearsOnBeginEditing = false;
    bool m_editing = false;
};
