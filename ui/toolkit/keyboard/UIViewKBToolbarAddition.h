// UIView(KBToolbarAddition): toolbars over the keyboard of any view that takes an input
// accessory view (text fields and text views), in six layouts, each with a title in the middle:
//
//   addRightButtonOnKeyboardWithText        title, space, a text button (Done style)
//   addDoneOnKeyboardWithTarget             title, space, Done ("完成")
//   addLeftRightOnKeyboardWithTarget        a text button, title, space, a text button
//   addCancelDoneOnKeyboardWithTarget       Cancel ("取消"), title, space, Done
//   addPreviousNextDoneOnKeyboardWithTarget ◀, ▶, title, space, Done
//   addPreviousNextRightOnKeyboardWithTarget ◀, ▶, title, space, a text button (Done style)
//
// Each comes in three forms: with the title text, with a flag that takes the view's placeholder
// as title, and without a title. Every button sends its action to the one target given (held
// weakly, as bar items hold targets). A view with shouldHideTitle set gets no title. Beside the
// manager's own handling of previous, next and done, a view may name a method to be told after
// it: setCustomPreviousTarget and its kin keep an invocation that gets the view as argument.
// Main thread only.
//
//   addDoneOnKeyboardWithTarget(field, self(), "doneTapped:", true);   // placeholder as title
//   setEnablePrevious(field, false, true);
#pragma once

#include "platform/base/NSObject.h"

class NSInvocation;
class UIView;

bool shouldHideTitle(const Ref<UIView>& view);
// Stores the flag and sets the toolbar's title: none when hidden, else the view's placeholder.
void setShouldHideTitle(const Ref<UIView>& view, bool hide);

// Invocations run after the manager's own previous, next and done (the view is their argument).
// A target without a method for the action stores none.
void setCustomPreviousTarget(const Ref<UIView>& view, const id& target, SEL action);
void setCustomNextTarget(const Ref<UIView>& view, const id& target, SEL action);
void setCustomDoneTarget(const Ref<UIView>& view, const id& target, SEL action);
Ref<NSInvocation> previousInvocation(const Ref<UIView>& view);
void setPreviousInvocation(const Ref<UIView>& view, const Ref<NSInvocation>& invocation);
Ref<NSInvocation> nextInvocation(const Ref<UIView>& view);
void setNextInvocation(const Ref<UIView>& view, const Ref<NSInvocation>& invocation);
Ref<NSInvocation> doneInvocation(const Ref<UIView>& view);
void setDoneInvocation(const Ref<UIView>& view, const Ref<NSInvocation>& invocation);

void addRightButtonOnKeyboardWithText(
    const Ref<UIView>& view, const Ref<NSString>& text, const id& target, SEL action, const Ref<NSString>& titleText);
void addRightButtonOnKeyboardWithText(
    const Ref<UIView>& view, const Ref<NSString>& text, const id& target, SEL action, bool shouldShowPlaceholder);
void addRightButtonOnKeyboardWithText(const Ref<UIView>& view, const Ref<NSString>& text, const id& target, SEL action);

void addDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL action, const Ref<NSString>& titleText);
void addDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL action, bool shouldShowPlaceholder);
void addDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL action);

void addLeftRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, const Ref<NSString>& leftButtonTitle,
    const Ref<NSString>& rightButtonTitle, SEL leftButtonAction, SEL rightButtonAction, const Ref<NSString>& titleText);
void addLeftRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, const Ref<NSString>& leftButtonTitle,
    const Ref<NSString>& rightButtonTitle, SEL leftButtonAction, SEL rightButtonAction, bool shouldShowPlaceholder);
void addLeftRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, const Ref<NSString>& leftButtonTitle,
    const Ref<NSString>& rightButtonTitle, SEL leftButtonAction, SEL rightButtonAction);

void addCancelDoneOnKeyboardWithTarget(
    const Ref<UIView>& view, const id& target, SEL cancelAction, SEL doneAction, const Ref<NSString>& titleText);
void addCancelDoneOnKeyboardWithTarget(
    const Ref<UIView>& view, const id& target, SEL cancelAction, SEL doneAction, bool shouldShowPlaceholder);
void addCancelDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL cancelAction, SEL doneAction);

void addPreviousNextDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL previousAction,
    SEL nextAction, SEL doneAction, const Ref<NSString>& titleText);
void addPreviousNextDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL previousAction,
    SEL nextAction, SEL doneAction, bool shouldShowPlaceholder);
void addPreviousNextDoneOnKeyboardWithTarget(
    const Ref<UIView>& view, const id& target, SEL previousAction, SEL nextAction, SEL doneAction);

void addPreviousNextRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target,
    const Ref<NSString>& rightButtonTitle, SEL previousAction, SEL nextAction, SEL rightButtonAction,
    const Ref<NSString>& titleText);
void addPreviousNextRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target,
    const Ref<NSString>& rightButtonTitle, SEL previousAction, SEL nextAction, SEL rightButtonAction,
    bool shouldShowPlaceholder);
void addPreviousNextRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target,
    const Ref<NSString>& rightButtonTitle, SEL previousAction, SEL nextAction, SEL rightButtonAction);

// Enables the arrows of the view's toolbar (items 0 and 2 of a KBToolbar with at least four).
void setEnablePrevious(const Ref<UIView>& view, bool isPreviousEnabled, bool isNextEnabled);
