// KBKeyboardReturnKeyHandler: makes the return key of a screen's text fields and text views move
// the focus to the next field, and gives the last field the return key of the caller's choice
// (closing the keyboard there). It becomes the delegate of every field it registers, remembering
// the field's delegate and return key from before, forwards every delegate message to its own
// `delegate`, and puts the fields back as they were when they are removed or the handler goes.
// The fields are ordered as the keyboard manager's previous/next arrows walk them.
//
// The fields hold the handler only weakly (as their delegate): whoever creates it (the screen)
// keeps it for as long as the fields are edited. The handler holds the fields, their former
// delegates and its own delegate weakly. Text fields and text views are registered; other
// responders are passed over (but the focus still moves to them). Main thread only.
//
//   m_returnKeyHandler = alloc<KBKeyboardReturnKeyHandler>()->initWithViewController(self<Screen>());
//   m_returnKeyHandler->setLastTextFieldReturnKeyType(UIReturnKeyDone);
//   m_returnKeyHandler->setDelegate(self<Screen>());     // still hears every delegate message
#pragma once

#include "platform/ui/UITextField.h"
#include "platform/ui/UITextView.h"

#include <vector>

class NSDictionary;
class UIViewController;

// Keys of a field's record (textFieldCachedInfo).
extern const Ref<NSString> kKBTextField;
extern const Ref<NSString> kKBTextFieldReturnKeyType;
extern const Ref<NSString> kKBTextFieldDelegate;

class KBKeyboardReturnKeyHandler : public NSObject, public UITextFieldDelegate, public UITextViewDelegate {
    DV_CLASS(KBKeyboardReturnKeyHandler, NSObject)

    KBKeyboardReturnKeyHandler() = default;
    // Puts every registered field that is still there back as it was.
    ~KBKeyboardReturnKeyHandler() override;
    // initWithViewController with nil: no field yet.
    Ref<KBKeyboardReturnKeyHandler> init();
    // Registers every field under the controller's view (addResponderFromView); fields added
    // later are registered by the caller.
    Ref<KBKeyboardReturnKeyHandler> initWithViewController(const Ref<UIViewController>& controller);

    // Hears every text-field and text-view delegate message of the registered fields: an object
    // adopting UITextFieldDelegate, UITextViewDelegate or both. Held weakly.
    id delegate() const { return m_delegate.lock(); }
    void setDelegate(const id& delegate) { m_delegate = delegate; }
    // The last field's return key; UIReturnKeyDefault until set.
    UIReturnKeyType lastTextFieldReturnKeyType() const { return m_lastTextFieldReturnKeyType; }
    void setLastTextFieldReturnKeyType(UIReturnKeyType type) { m_lastTextFieldReturnKeyType = type; }

    // The field's record: kKBTextField (the field), kKBTextFieldReturnKeyType (its return key when
    // registered, a number) and kKBTextFieldDelegate (its delegate then, absent when it had none
    // or that delegate has gone); nil when the field is not registered.
    Ref<NSDictionary> textFieldCachedInfo(const Ref<UIView>& field) const;
    // addTextFieldView (removeTextFieldView) for every field under `view` (deepResponderViews).
    void addResponderFromView(const Ref<UIView>& view);
    void removeResponderFromView(const Ref<UIView>& view);
    // Puts the field's return key and delegate back as they were when it was registered and
    // forgets it; nothing for a field that is not registered.
    void removeTextFieldView(const Ref<UIView>& field);
    // Registers a text field or text view: remembers its return key and delegate and becomes its
    // delegate. A field registered already stays as it is.
    void addTextFieldView(const Ref<UIView>& field);
    // The last field of the field's list gets lastTextFieldReturnKeyType, any other the Next key.
    void updateReturnKeyTypeOnTextField(const Ref<UIView>& field);
    // The next field of the field's list takes the focus; on the last one (or one not in its own
    // list) the field resigns and the keyboard closes.
    void goToNextResponderOrResign(const Ref<UIView>& field);

    // UITextFieldDelegate: forwarded to `delegate`; its answer, or YES when it has none. Beginning
    // to edit sets the return key first; return moves the focus on unless the delegate says NO.
    std::optional<bool> textFieldShouldBeginEditing(const Ref<UITextField>& textField) override;
    bool textFieldDidBeginEditing(const Ref<UITextField>& textField) override;
    std::optional<bool> textFieldShouldEndEditing(const Ref<UITextField>& textField) override;
    bool textFieldDidEndEditing(const Ref<UITextField>& textField) override;
    std::optional<bool> textFieldShouldChangeCharactersInRangeReplacementString(const Ref<UITextField>& textField, NSRange range,
        const Ref<NSString>& replacement) override;
    std::optional<bool> textFieldShouldClear(const Ref<UITextField>& textField) override;
    std::optional<bool> textFieldShouldReturn(const Ref<UITextField>& textField) override;

    // UITextViewDelegate: the same; a line feed moves the focus on (unless the delegate refuses
    // the change) and is still inserted.
    std::optional<bool> textViewShouldBeginEditing(const Ref<UITextView>& textView) override;
    std::optional<bool> textViewShouldEndEditing(const Ref<UITextView>& textView) override;
    bool textViewDidBeginEditing(const Ref<UITextView>& textView) override;
    bool textViewDidEndEditing(const Ref<UITextView>& textView) override;
    std::optional<bool> textViewShouldChangeTextInRangeReplacementText(const Ref<UITextView>& textView, NSRange range,
        const Ref<NSString>& text) override;
    bool textViewDidChange(const Ref<UITextView>& textView) override;
    bool textViewDidChangeSelection(const Ref<UITextView>& textView) override;
    std::optional<bool> textViewShouldInteractWithURLInRange(const Ref<UITextView>& textView, const Ref<NSURL>& url,
        NSRange range) override;
    std::optional<bool> textViewShouldInteractWithTextAttachmentInRange(const Ref<UITextView>& textView, const id& attachment,
        NSRange range) override;

private:
    // What a field was like before the handler took it over.
    struct Record {
        Weak<UIView> field;
        UIReturnKeyType returnKeyType = UIReturnKeyDefault;
        bool hadDelegate = false;
        Weak<UITextFieldDelegate> textFieldDelegate;
        Weak<UITextViewDelegate> textViewDelegate;
    };

    const Record* handleRecord(const Ref<UIView>& field) const;
    static void handleRestore(const Record& record);
    Ref<UITextFieldDelegate> handleTextFieldDelegate() const;
    Ref<UITextViewDelegate> handleTextViewDelegate() const;

    std::vector<Record> m_records;
    Weak<NSObject> m_delegate;
    UIReturnKeyType m_lastTextFieldReturnKeyType = UIReturnKeyDefault;
};
