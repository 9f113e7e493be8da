// The keyboard: it comes up when a responder that shows it (a text field or text view that can
// edit) becomes first responder, and goes away when it resigns, announcing itself through the
// default notification centre (object nil) with a user info of the frames before and after
// (NSValue rectangles in screen coordinates), the animation duration (0.25 s) and curve (7):
//   - coming up, or the focus moving to another field while it is up, or reloadInputViews:
//     UIKeyboardWillShowNotification at once, UIKeyboardDidShowNotification 0.25 s later;
//   - going away: UIKeyboardWillHideNotification at once, UIKeyboardDidHideNotification 0.25 s
//     later (a new will-show meanwhile cancels the pending did-hide, and the other way round).
// Its frame is (0, H - 216 - a, W, 216 + a) for a screen of W by H points and an accessory view
// of height a, laid out above the keys; a responder's own input view takes the keys' place with
// its own height. The keyboard lives in a window of its own above the application's, so touches
// on it (the accessory's buttons) never reach the application's window. Main thread only.
//
//   NSNotificationCenter::defaultCenter()->addObserver(self(), &Screen::keyboardWillShow,
//       UIKeyboardWillShowNotification, nil);
//   CGRect end = dv::as<NSValue>(n->userInfo()->objectForKey(UIKeyboardFrameEndUserInfoKey))->CGRectValue();
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/Forward.h"

#include <cstddef>

class NSString;

extern const Ref<NSString> UIKeyboardWillShowNotification;
extern const Ref<NSString> UIKeyboardDidShowNotification;
extern const Ref<NSString> UIKeyboardWillHideNotification;
extern const Ref<NSString> UIKeyboardDidHideNotification;
extern const Ref<NSString> UIKeyboardFrameBeginUserInfoKey;       // NSValue, CGRect
extern const Ref<NSString> UIKeyboardFrameEndUserInfoKey;         // NSValue, CGRect
extern const Ref<NSString> UIKeyboardAnimationDurationUserInfoKey; // NSNumber, seconds
extern const Ref<NSString> UIKeyboardAnimationCurveUserInfoKey;    // NSNumber, 7
extern const Ref<NSString> UIKeyboardIsLocalUserInfoKey;           // NSNumber, YES

// Adopted by an input view or accessory view that wants the keyboard's click to sound
// (UIDevice::playInputClick) while it shows.
class UIInputViewAudioFeedback {
public:
    virtual ~UIInputViewAudioFeedback() = default;
    virtual bool enableInputClicksWhenVisible() const { return false; }
};

namespace dv {

inline constexpr CGFloat keyboardKeysHeight = 216;
inline constexpr double keyboardAnimationDuration = 0.25;
inline constexpr long keyboardAnimationCurve = 7;

// From will-show until will-hide.
bool isKeyboardVisible();
// The keyboard's frame in screen coordinates while it shows; the zero rectangle otherwise.
CGRect keyboardFrame();
// The responder the keyboard types into; nil while it is hidden.
Ref<UIResponder> keyboardResponder();
// The window that shows the keyboard (above every application window); nil while hidden.
Ref<UIWindow> keyboardWindow();
// The keys of a hardware keyboard that move the caret of the focused text field or text view:
// one character left or right (a selection collapses to its start or end); Home and End to the
// start and the end of the caret's line (a field's one line is its whole text); with Ctrl, to the
// start and the end of the whole text.
enum class CaretMove { Left, Right, Home, End, TextStart, TextEnd };

// How many input clicks sounded since start (UIDevice::playInputClick while an input view or
// accessory that enables them shows).
std::size_t inputClickCount();

} // namespace dv
