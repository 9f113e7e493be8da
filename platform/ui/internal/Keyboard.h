// The keyboard's state: who types, its frame, its window (the keys of KeyboardKeys.h, or the
// responder's input view) and the notifications it posts (see UIKeyboard.h); and the typing path
// every key press and the UI driver's typing go through. Text fields and text views call show and hide at the points of their editing
// where the platform announces the keyboard; UIResponder::becomeFirstResponder opens a Handover
// while the old first responder resigns, so that a focus change between two fields keeps the
// keyboard up (will-show again, no will-hide). Main thread only.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/Forward.h"
#include "platform/ui/UIKeyboard.h"

#include <cstddef>
#include <cstdint>

class NSString;
class NSTimer;
class UIKeyboardWindow;

namespace dv::internal::uikit {

class Keyboard {
public:
    static Keyboard& shared();

    // Brings the keyboard up for `responder`, or announces it again when it is already up.
    void show(const Ref<UIResponder>& responder);
    // Takes it away when `responder` is the one typing and no handover to a responder that shows
    // the keyboard is under way.
    void hide(const Ref<UIResponder>& responder);
    // reloadInputViews of the typing responder: announces the (new) frame again.
    void reload(const Ref<UIResponder>& responder);
    // Forgets everything without a notification (a new application).
    void reset();

    // What the keys do to the responder that types, and what the UI driver's typing does: text
    // inserted at the caret (a field checks each change with its delegate), the character before
    // the caret (or the selection) deleted, the return key, and a hardware keyboard's caret keys
    // (a page keeps its own caret: NO for a web view). NO when the responder takes no text.
    static bool insertText(const Ref<UIResponder>& responder, const Ref<NSString>& text);
    static bool deleteBackward(const Ref<UIResponder>& responder);
    static bool pressReturn(const Ref<UIResponder>& responder);
    static bool moveCaret(const Ref<UIResponder>& responder, dv::CaretMove move);

    bool isVisible() const { return m_visible; }
    CGRect frame() const { return m_visible ? m_frame : CGRect {}; }
    Ref<UIResponder> responder() const;
    Ref<UIWindow> window() const;
    std::size_t inputClicks() const { return m_inputClicks; }

    class Handover {
    public:
        explicit Handover(const Ref<UIResponder>& incoming);
        ~Handover();
        Handover(const Handover&) = delete;
        Handover& operator=(const Handover&) = delete;

    private:
        Weak<UIResponder> m_previous;
    };

private:
    Keyboard() = default;
    CGRect handleFrameFor(const Ref<UIResponder>& responder) const;
    void handleInstallViews(const Ref<UIResponder>& responder, CGRect frame);
    void handleAnnounce(bool showing, CGRect begin, CGRect end);
    void handleSchedule(bool didShow);
    void handleCancelPending();
    void handleInputClick();
    static bool hasText(const Ref<UIResponder>& responder);
    // The keys follow the text of the responder they type into (the return key waiting for text).
    static void handleTextChanged(const Ref<UIResponder>& responder);

    Weak<UIResponder> m_responder;
    Weak<UIResponder> m_incoming; // the responder taking the focus while the old one resigns
    bool m_hideDeferred = false;
    Ref<UIKeyboardWindow> m_window;
    Ref<NSTimer> m_pending; // did-show or did-hide
    Ref<NSDictionary> m_lastInfo;
    CGRect m_frame {};
    bool m_visible = false;
    bool m_clickHandlerInstalled = false;
    std::size_t m_inputClicks = 0;
};

} // namespace dv::internal::uikit
