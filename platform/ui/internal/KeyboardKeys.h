// The keys of the keyboard, laid out and drawn as the phone's: letters with shift, a key to the
// numbers and punctuation and one on to more symbols (and back), delete, the space bar and the
// return key titled by the field's return key type; a digit pad for number and phone fields.
// Each key is a view of its own (UIKeyboardKey, its "title" the text it shows), so that the UI
// driver finds and taps them like any view. The keys view takes the touches: the key under the
// finger is highlighted while it is down (it follows a sliding finger) and acts when the finger
// lifts on it, typing through the keyboard's typing path (Keyboard::insertText and the others).
// Owned by the keyboard's window; main thread only.
#pragma once

#include "platform/ui/UITextInputTraits.h"
#include "platform/ui/UIView.h"

#include <vector>

class UIKeyboardKey;

class UIKeyboardView : public UIView {
    DV_CLASS(UIKeyboardView, UIView)

    UIKeyboardView() = default;

    // The keys for the responder about to type: the layout its keyboard type calls for (from the
    // first page), the return key's title and whether the key waits for text.
    void configure(UIKeyboardType type, UIReturnKeyType returnKeyType, bool returnNeedsText);
    // After each change of the text: the return key follows whether there is text.
    void textChanged(bool hasText);

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

    // The pages a keyboard turns through.
    enum class Page { letters, numbers, symbols, digits, decimalDigits, phoneDigits, phoneSymbols };

private:
    void handleBuild();
    void handlePress(const Ref<UIKeyboardKey>& key);
    void handleAct(const Ref<UIKeyboardKey>& key);
    Ref<UIKeyboardKey> handleKeyAt(CGPoint point) const;
    Ref<UIKeyboardKey> handleTouchedKey(const Ref<NSSet>& touches) const;

    std::vector<Ref<UIKeyboardKey>> m_keys;
    Ref<UIKeyboardKey> m_pressed;
    Page m_page = Page::letters;
    UIReturnKeyType m_returnKeyType = UIReturnKeyDefault;
    bool m_returnNeedsText = false;
    bool m_hasText = false;
    bool m_shifted = false;
    CGFloat m_builtWidth = -1;
};
