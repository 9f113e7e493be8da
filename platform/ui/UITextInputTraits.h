// What text fields and text views tell the keyboard about themselves: the kind of keys, the
// return key, the keyboard's look, secure entry, and the input views the keyboard shows for them
// (an accessory view above the keys, an input view in place of the keys). A mixin of UITextField
// and UITextView; code that handles both (toolbars over the keyboard) reaches them through it:
//   if (auto* traits = dynamic_cast<UITextInputTraits*>(view.get()))
//       traits->setInputAccessoryView(toolbar);
// Changing the input views of the field being edited takes effect with reloadInputViews.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

enum UIKeyboardType : NSInteger {
    UIKeyboardTypeDefault = 0,
    UIKeyboardTypeASCIICapable = 1,
    UIKeyboardTypeNumbersAndPunctuation = 2,
    UIKeyboardTypeURL = 3,
    UIKeyboardTypeNumberPad = 4,
    UIKeyboardTypePhonePad = 5,
    UIKeyboardTypeNamePhonePad = 6,
    UIKeyboardTypeEmailAddress = 7,
    UIKeyboardTypeDecimalPad = 8,
    UIKeyboardTypeTwitter = 9,
    UIKeyboardTypeWebSearch = 10,
};

enum UIReturnKeyType : NSInteger {
    UIReturnKeyDefault = 0,
    UIReturnKeyGo = 1,
    UIReturnKeyGoogle = 2,
    UIReturnKeyJoin = 3,
    UIReturnKeyNext = 4,
    UIReturnKeyRoute = 5,
    UIReturnKeySearch = 6,
    UIReturnKeySend = 7,
    UIReturnKeyYahoo = 8,
    UIReturnKeyDone = 9,
    UIReturnKeyEmergencyCall = 10,
    UIReturnKeyContinue = 11,
};

enum UIKeyboardAppearance : NSInteger {
    UIKeyboardAppearanceDefault = 0,
    UIKeyboardAppearanceDark = 1,
    UIKeyboardAppearanceLight = 2,
    UIKeyboardAppearanceAlert = UIKeyboardAppearanceDark,
};

enum UITextAutocapitalizationType : NSInteger {
    UITextAutocapitalizationTypeNone = 0,
    UITextAutocapitalizationTypeWords = 1,
    UITextAutocapitalizationTypeSentences = 2,
    UITextAutocapitalizationTypeAllCharacters = 3,
};

enum UITextAutocorrectionType : NSInteger {
    UITextAutocorrectionTypeDefault = 0,
    UITextAutocorrectionTypeNo = 1,
    UITextAutocorrectionTypeYes = 2,
};

class UITextInputTraits {
public:
    virtual ~UITextInputTraits() = default;

    UIKeyboardType keyboardType() const { return m_keyboardType; }
    void setKeyboardType(UIKeyboardType type) { m_keyboardType = type; }
    UIReturnKeyType returnKeyType() const { return m_returnKeyType; }
    void setReturnKeyType(UIReturnKeyType type) { m_returnKeyType = type; }
    UIKeyboardAppearance keyboardAppearance() const { return m_keyboardAppearance; }
    void setKeyboardAppearance(UIKeyboardAppearance appearance) { m_keyboardAppearance = appearance; }
    UITextAutocapitalizationType autocapitalizationType() const { return m_autocapitalization; }
    void setAutocapitalizationType(UITextAutocapitalizationType type) { m_autocapitalization = type; }
    UITextAutocorrectionType autocorrectionType() const { return m_autocorrection; }
    void setAutocorrectionType(UITextAutocorrectionType type) { m_autocorrection = type; }
    // The return key is disabled while the text is empty.
    bool enablesReturnKeyAutomatically() const { return m_enablesReturnKeyAutomatically; }
    void setEnablesReturnKeyAutomatically(bool enables) { m_enablesReturnKeyAutomatically = enables; }
    // Dots in place of the characters.
    virtual bool isSecureTextEntry() const { return m_secureTextEntry; }
    virtual void setSecureTextEntry(bool secure) { m_secureTextEntry = secure; }

    // Kept strongly; the keyboard lays the accessory view out above its keys at the accessory's
    // own height and the screen's width.
    Ref<UIView> inputAccessoryViewSetting() const { return m_inputAccessoryView; }
    virtual void setInputAccessoryView(const Ref<UIView>& view) { m_inputAccessoryView = view; }
    Ref<UIView> inputViewSetting() const { return m_inputView; }
    virtual void setInputView(const Ref<UIView>& view) { m_inputView = view; }

private:
    Ref<UIView> m_inputAccessoryView;
    Ref<UIView> m_inputView;
    UIKeyboardType m_keyboardType = UIKeyboardTypeDefault;
    UIReturnKeyType m_returnKeyType = UIReturnKeyDefault;
    UIKeyboardAppearance m_keyboardAppearance = UIKeyboardAppearanceDefault;
    UITextAutocapitalizationType m_autocapitalization = UITextAutocapitalizationTypeSentences;
    UITextAutocorrectionType m_autocorrection = UITextAutocorrectionTypeDefault;
    bool m_enablesReturnKeyAutomatically = false;
    bool m_secureTextEntry = false;
};
