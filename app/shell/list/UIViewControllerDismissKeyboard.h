// UIViewController(DismissKeyboard): after setupForDismissKeyboard, a tap anywhere on the screen's
// view while the keyboard shows ends editing (the first responder resigns, forced), so the
// keyboard goes away. The tap recogniser sits on the view only while the keyboard shows, so at
// other times taps reach the view's controls as usual.
//
// Two observers of the keyboard's will-show and will-hide notifications, on the main operation
// queue, attach and detach the recogniser; they hold the screen weakly and the recogniser
// strongly, and end themselves the first time they find the screen gone. Calling the set-up twice
// adds a second pair and a second recogniser, which work the same way. Main thread only.
//
//   void Screen::viewDidLoad() { UIViewController::viewDidLoad(); setupForDismissKeyboard(self<Screen>()); }
#pragma once

#include "platform/base/Forward.h"

class UIGestureRecognizer;
class UIViewController;

void setupForDismissKeyboard(const Ref<UIViewController>& controller);
// The recogniser's action: the controller's view ends editing, forced.
void tapAnywhereToDismissKeyboard(const Ref<UIViewController>& controller, const Ref<UIGestureRecognizer>& recognizer);
