#include "ui/toolkit/keyboard/UIViewKBToolbarAddition.h"

#include "platform/base/Associations.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSInvocation.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/ui/UITextInputTraits.h"
#include "platform/ui/UIView.h"
#include "ui/toolkit/keyboard/KBTitleBarButtonItem.h"
#include "ui/toolkit/keyboard/KBToolbar.h"
#include "ui/toolkit/keyboard/internal/KeyboardSupport.h"

#include <vector>

using dv::internal::toolkit::inputTraitsOfView;
using dv::internal::toolkit::placeholderOfView;

namespace {

const char kHideTitleKey = 0;
const char kPreviousInvocationKey = 0;
const char kNextInvocationKey = 0;
const char kDoneInvocationKey = 0;

Ref<NSInvocation> invocationFor(const Ref<UIView>& view, const id& target, SEL action)
{
    // A target that has no method for the action has nothing to be called: no invocation.
    auto invocation = NSInvocation::invocationWithTarget(target, action);
    if (invocation)
        invocation->setArgument(view, 2);
    return invocation;
}

Ref<NSString> placeholderTitle(const Ref<UIView>& view, bool shouldShowPlaceholder)
{
    if (!shouldShowPlaceholder)
        return nil;
    return placeholderOfView(view).value_or(nil);
}

Ref<KBBarButtonItem> systemItem(UIBarButtonSystemItem kind, const id& target, SEL action)
{
    auto item = alloc<KBBarButtonItem>();
    item->initWithBarButtonSystemItem(kind, target, action);
    return item;
}

Ref<KBBarButtonItem> textItem(const Ref<NSString>& text, UIBarButtonItemStyle style, const id& target, SEL action)
{
    auto item = alloc<KBBarButtonItem>();
    item->initWithTitle(text, style, target, action);
    return item;
}

Ref<KBBarButtonItem> imageItem(const char* imageName, const id& target, SEL action)
{
    auto item = alloc<KBBarButtonItem>();
    item->initWithImage(dv::internal::toolkit::keyboardToolbarImage(imageName), UIBarButtonItemStylePlain, target, action);
    return item;
}

Ref<KBBarButtonItem> fixedSpace(CGFloat width)
{
    auto item = systemItem(UIBarButtonSystemItemFixedSpace, nil, SEL());
    item->setWidth(width);
    return item;
}

// Makes a toolbar for the view, lets `build` make its items (given the bar's width once it has
// sized itself) and puts it
// over the view's keyboard. Views that take no input accessory view get nothing.
template <class Build> void install(const Ref<UIView>& view, Build build)
{
    auto* traits = inputTraitsOfView(view);
    if (!traits)
        return;
    auto toolbar = alloc<KBToolbar>()->init();
    toolbar->setBarStyle(
        traits->keyboardAppearance() == UIKeyboardAppearanceDark ? UIBarStyleBlack : UIBarStyleDefault);
    toolbar->setItems(NSArray::fromVector(build(toolbar->frame().size.width)));
    traits->setInputAccessoryView(toolbar);
}

Ref<KBTitleBarButtonItem> titleItem(const Ref<UIView>& view, CGFloat width, const Ref<NSString>& titleText)
{
    return alloc<KBTitleBarButtonItem>()->initWithFrame(
        CGRectMake(0, 0, width, 44), shouldHideTitle(view) ? nil : titleText);
}

} // namespace

// MARK: - Title and invocations

bool shouldHideTitle(const Ref<UIView>& view)
{
    auto number = dv::as<NSNumber>(objc_getAssociatedObject(view, &kHideTitleKey));
    return number && number->boolValue();
}

void setShouldHideTitle(const Ref<UIView>& view, bool hide)
{
    if (!view)
        return;
    objc_setAssociatedObject(view, &kHideTitleKey, NSNumber::numberWithBool(hide), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    auto placeholder = placeholderOfView(view);
    auto toolbar = dv::as<KBToolbar>(view->inputAccessoryView());
    if (placeholder && toolbar)
        toolbar->setTitle(hide ? nil : *placeholder); // a hidden title is no title, not the placeholder
}

void setCustomPreviousTarget(const Ref<UIView>& view, const id& target, SEL action)
{
    setPreviousInvocation(view, invocationFor(view, target, action));
}

void setCustomNextTarget(const Ref<UIView>& view, const id& target, SEL action)
{
    setNextInvocation(view, invocationFor(view, target, action));
}

void setCustomDoneTarget(const Ref<UIView>& view, const id& target, SEL action)
{
    setDoneInvocation(view, invocationFor(view, target, action));
}

Ref<NSInvocation> previousInvocation(const Ref<UIView>& view)
{
    return dv::as<NSInvocation>(objc_getAssociatedObject(view, &kPreviousInvocationKey));
}

void setPreviousInvocation(const Ref<UIView>& view, const Ref<NSInvocation>& invocation)
{
    objc_setAssociatedObject(view, &kPreviousInvocationKey, invocation, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<NSInvocation> nextInvocation(const Ref<UIView>& view)
{
    return dv::as<NSInvocation>(objc_getAssociatedObject(view, &kNextInvocationKey));
}

void setNextInvocation(const Ref<UIView>& view, const Ref<NSInvocation>& invocation)
{
    objc_setAssociatedObject(view, &kNextInvocationKey, invocation, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<NSInvocation> doneInvocation(const Ref<UIView>& view)
{
    return dv::as<NSInvocation>(objc_getAssociatedObject(view, &kDoneInvocationKey));
}

void setDoneInvocation(const Ref<UIView>& view, const Ref<NSInvocation>& invocation)
{
    objc_setAssociatedObject(view, &kDoneInvocationKey, invocation, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

// MARK: - Layouts

void addRightButtonOnKeyboardWithText(
    const Ref<UIView>& view, const Ref<NSString>& text, const id& target, SEL action, const Ref<NSString>& titleText)
{
    install(view, [&](CGFloat width) {
        return std::vector<id> { titleItem(view, width - 50 - 24, titleText),
            systemItem(UIBarButtonSystemItemFlexibleSpace, nil, SEL()),
            textItem(text, UIBarButtonItemStyleDone, target, action) };
    });
}

void addRightButtonOnKeyboardWithText(
    const Ref<UIView>& view, const Ref<NSString>& text, const id& target, SEL action, bool shouldShowPlaceholder)
{
    addRightButtonOnKeyboardWithText(view, text, target, action, placeholderTitle(view, shouldShowPlaceholder));
}

void addRightButtonOnKeyboardWithText(const Ref<UIView>& view, const Ref<NSString>& text, const id& target, SEL action)
{
    addRightButtonOnKeyboardWithText(view, text, target, action, Ref<NSString>());
}

void addDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL action, const Ref<NSString>& titleText)
{
    install(view, [&](CGFloat width) {
        return std::vector<id> { titleItem(view, width - 64 - 12, titleText),
            systemItem(UIBarButtonSystemItemFlexibleSpace, nil, SEL()),
            systemItem(UIBarButtonSystemItemDone, target, action) };
    });
}

void addDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL action, bool shouldShowPlaceholder)
{
    addDoneOnKeyboardWithTarget(view, target, action, placeholderTitle(view, shouldShowPlaceholder));
}

void addDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL action)
{
    addDoneOnKeyboardWithTarget(view, target, action, Ref<NSString>());
}

void addLeftRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, const Ref<NSString>& leftButtonTitle,
    const Ref<NSString>& rightButtonTitle, SEL leftButtonAction, SEL rightButtonAction, const Ref<NSString>& titleText)
{
    install(view, [&](CGFloat width) {
        return std::vector<id> { textItem(leftButtonTitle, UIBarButtonItemStylePlain, target, leftButtonAction),
            titleItem(view, width - 66 - 50 - 16, titleText),
            systemItem(UIBarButtonSystemItemFlexibleSpace, nil, SEL()),
            textItem(rightButtonTitle, UIBarButtonItemStylePlain, target, rightButtonAction) };
    });
}

void addLeftRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, const Ref<NSString>& leftButtonTitle,
    const Ref<NSString>& rightButtonTitle, SEL leftButtonAction, SEL rightButtonAction, bool shouldShowPlaceholder)
{
    addLeftRightOnKeyboardWithTarget(view, target, leftButtonTitle, rightButtonTitle, leftButtonAction,
        rightButtonAction, placeholderTitle(view, shouldShowPlaceholder));
}

void addLeftRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, const Ref<NSString>& leftButtonTitle,
    const Ref<NSString>& rightButtonTitle, SEL leftButtonAction, SEL rightButtonAction)
{
    addLeftRightOnKeyboardWithTarget(
        view, target, leftButtonTitle, rightButtonTitle, leftButtonAction, rightButtonAction, Ref<NSString>());
}

void addCancelDoneOnKeyboardWithTarget(
    const Ref<UIView>& view, const id& target, SEL cancelAction, SEL doneAction, const Ref<NSString>& titleText)
{
    install(view, [&](CGFloat width) {
        return std::vector<id> { systemItem(UIBarButtonSystemItemCancel, target, cancelAction),
            titleItem(view, width - 66 - 50 - 16, titleText),
            systemItem(UIBarButtonSystemItemFlexibleSpace, nil, SEL()),
            systemItem(UIBarButtonSystemItemDone, target, doneAction) };
    });
}

void addCancelDoneOnKeyboardWithTarget(
    const Ref<UIView>& view, const id& target, SEL cancelAction, SEL doneAction, bool shouldShowPlaceholder)
{
    addCancelDoneOnKeyboardWithTarget(
        view, target, cancelAction, doneAction, placeholderTitle(view, shouldShowPlaceholder));
}

void addCancelDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL cancelAction, SEL doneAction)
{
    addCancelDoneOnKeyboardWithTarget(view, target, cancelAction, doneAction, Ref<NSString>());
}

void addPreviousNextDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL previousAction,
    SEL nextAction, SEL doneAction, const Ref<NSString>& titleText)
{
    install(view, [&](CGFloat width) {
        return std::vector<id> { imageItem("KBButtonBarArrowLeft", target, previousAction), fixedSpace(23),
            imageItem("KBButtonBarArrowRight", target, nextAction), titleItem(view, width - 72.5 - 50 - 16, titleText),
            systemItem(UIBarButtonSystemItemFlexibleSpace, nil, SEL()),
            systemItem(UIBarButtonSystemItemDone, target, doneAction) };
    });
}

void addPreviousNextDoneOnKeyboardWithTarget(const Ref<UIView>& view, const id& target, SEL previousAction,
    SEL nextAction, SEL doneAction, bool shouldShowPlaceholder)
{
    addPreviousNextDoneOnKeyboardWithTarget(
        view, target, previousAction, nextAction, doneAction, placeholderTitle(view, shouldShowPlaceholder));
}

void addPreviousNextDoneOnKeyboardWithTarget(
    const Ref<UIView>& view, const id& target, SEL previousAction, SEL nextAction, SEL doneAction)
{
    addPreviousNextDoneOnKeyboardWithTarget(view, target, previousAction, nextAction, doneAction, Ref<NSString>());
}

void addPreviousNextRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target,
    const Ref<NSString>& rightButtonTitle, SEL previousAction, SEL nextAction, SEL rightButtonAction,
    const Ref<NSString>& titleText)
{
    install(view, [&](CGFloat width) {
        return std::vector<id> { imageItem("KBButtonBarArrowLeft", target, previousAction), fixedSpace(23),
            imageItem("KBButtonBarArrowRight", target, nextAction), titleItem(view, width - 72.5 - 50 - 16, titleText),
            systemItem(UIBarButtonSystemItemFlexibleSpace, nil, SEL()),
            textItem(rightButtonTitle, UIBarButtonItemStyleDone, target, rightButtonAction) };
    });
}

void addPreviousNextRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target,
    const Ref<NSString>& rightButtonTitle, SEL previousAction, SEL nextAction, SEL rightButtonAction,
    bool shouldShowPlaceholder)
{
    addPreviousNextRightOnKeyboardWithTarget(view, target, rightButtonTitle, previousAction, nextAction,
        rightButtonAction, placeholderTitle(view, shouldShowPlaceholder));
}

void addPreviousNextRightOnKeyboardWithTarget(const Ref<UIView>& view, const id& target,
    const Ref<NSString>& rightButtonTitle, SEL previousAction, SEL nextAction, SEL rightButtonAction)
{
    addPreviousNextRightOnKeyboardWithTarget(
        view, target, rightButtonTitle, previousAction, nextAction, rightButtonAction, Ref<NSString>());
}

void setEnablePrevious(const Ref<UIView>& view, bool isPreviousEnabled, bool isNextEnabled)
{
    auto toolbar = dv::as<KBToolbar>(view ? view->inputAccessoryView() : nil);
    if (!toolbar)
        return;
    const auto items = toolbar->items();
    if (!items || items->count() < 4)
        return;
    auto previous = dv::as<KBBarButtonItem>(items->objectAtIndex(0));
    auto next = dv::as<KBBarButtonItem>(items->objectAtIndex(2));
    if (!previous || !next)
        return;
    if (previous->isEnabled() != isPreviousEnabled)
        previous->setEnabled(isPreviousEnabled);
    if (next->isEnabled() != isNextEnabled)
        next->setEnabled(isNextEnabled);
}
