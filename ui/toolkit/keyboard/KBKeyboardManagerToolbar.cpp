// The keyboard manager's focus moves and its toolbar over the keyboard: which fields previous and
// next walk through, the done-only toolbar of a lone field (one for the whole process) and the
// previous/next/done toolbar of a group, their look, and the buttons' actions.
#include "ui/toolkit/keyboard/KBKeyboardManager.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSInvocation.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/system/UIDevice.h"
#include "platform/ui/UITextInputTraits.h"
#include "platform/ui/UIViewController.h"
#include "ui/toolkit/keyboard/KBToolbar.h"
#include "ui/toolkit/keyboard/NSArrayKBSort.h"
#include "ui/toolkit/keyboard/UIViewKBHierarchy.h"
#include "ui/toolkit/keyboard/UIViewKBToolbarAddition.h"
#include "ui/toolkit/keyboard/internal/KeyboardSupport.h"

#include <algorithm>

using dv::internal::toolkit::inputTraitsOfView;
using dv::internal::toolkit::placeholderOfView;

namespace {

// The tags that mark the manager's own toolbars; any other accessory view is the application's.
constexpr NSInteger kDoneToolbarTag = -1002;
constexpr NSInteger kPreviousNextToolbarTag = -1005;

// The done-only toolbar every lone field shares. The fields showing it keep it; once none is
// left, the next lone field makes a new one, rather than a toolbar nobody shows holding its
// drawing for good.
Weak<UIView>& sharedDoneToolbar()
{
    static Weak<UIView> toolbar;
    return toolbar;
}

bool isManagedToolbar(const Ref<UIView>& view, NSInteger tag)
{
    return dv::as<KBToolbar>(view) && view->tag() == tag;
}

} // namespace

// MARK: - Focus

Ref<NSArray> KBKeyboardManager::responderViews()
{
    auto field = m_textFieldView.lock();
    for (Class cls : m_toolbarPreviousNextConsideredClass)
        if (auto container = superviewOfClassType(field, cls))
            return deepResponderViews(container);
    auto siblings = responderSiblings(field);
    switch (m_toolbarManageBehaviour) {
    case 0:
        return siblings;
    case 1:
        return sortedArrayByTag(siblings);
    case 2:
        return sortedArrayByPosition(siblings);
    default:
        return nil;
    }
}

bool KBKeyboardManager::canGoPrevious()
{
    auto views = responderViews();
    const NSUInteger index = views ? views->indexOfObject(m_textFieldView.lock()) : NSNotFound;
    return index != NSNotFound && index > 0;
}

bool KBKeyboardManager::canGoNext()
{
    auto views = responderViews();
    const NSUInteger index = views ? views->indexOfObject(m_textFieldView.lock()) : NSNotFound;
    return index != NSNotFound && index + 1 < views->count();
}

namespace {

// Gives the focus to `to`; when it will not take it, `from` keeps (or takes back) the focus.
bool moveFocus(const Ref<UIView>& from, const Ref<UIView>& to)
{
    if (to && to->becomeFirstResponder())
        return true;
    if (from)
        from->becomeFirstResponder();
    return false;
}

} // namespace

bool KBKeyboardManager::goPrevious()
{
    if (!canGoPrevious())
        return false;
    auto field = m_textFieldView.lock();
    auto views = responderViews();
    return moveFocus(field, dv::as<UIView>(views->objectAtIndex(views->indexOfObject(field) - 1)));
}

bool KBKeyboardManager::goNext()
{
    if (!canGoNext())
        return false;
    auto field = m_textFieldView.lock();
    auto views = responderViews();
    return moveFocus(field, dv::as<UIView>(views->objectAtIndex(views->indexOfObject(field) + 1)));
}

bool KBKeyboardManager::resignFirstResponder()
{
    auto field = m_textFieldView.lock();
    if (!field)
        return false;
    if (!field->resignFirstResponder()) {
        field->becomeFirstResponder();
        return false;
    }
    return true;
}

// MARK: - Toolbar buttons

void KBKeyboardManager::previousAction(const id&)
{
    if (m_shouldPlayInputClicks)
        UIDevice::currentDevice()->playInputClick();
    if (!canGoPrevious())
        return;
    auto field = m_textFieldView.lock();
    if (goPrevious())
        if (auto invocation = previousInvocation(field))
            invocation->invoke();
}

void KBKeyboardManager::nextAction(const id&)
{
    if (m_shouldPlayInputClicks)
        UIDevice::currentDevice()->playInputClick();
    if (!canGoNext())
        return;
    auto field = m_textFieldView.lock();
    if (goNext())
        if (auto invocation = nextInvocation(field))
            invocation->invoke();
}

void KBKeyboardManager::doneAction(const id&)
{
    if (m_shouldPlayInputClicks)
        UIDevice::currentDevice()->playInputClick();
    auto field = m_textFieldView.lock();
    if (resignFirstResponder())
        if (auto invocation = doneInvocation(field))
            invocation->invoke();
}

// MARK: - Toolbars

void KBKeyboardManager::addToolbarIfRequired()
{
    auto field = m_textFieldView.lock();
    if (auto controller = viewController(field)) {
        const bool disabled = std::any_of(m_disabledToolbarClasses.begin(), m_disabledToolbarClasses.end(),
            [&](Class cls) { return controller->isKindOfClass(cls); });
        if (disabled) {
            removeToolbarIfRequired();
            return;
        }
    }
    auto views = responderViews();
    if (!views || views->count() == 0)
        return;
    auto me = self<KBKeyboardManager>();
    if (views->count() == 1) {
        auto lone = dv::as<UIView>(views->firstObject());
        auto* traits = inputTraitsOfView(lone);
        if (traits && (!lone->inputAccessoryView() || lone->inputAccessoryView()->tag() == kPreviousNextToolbarTag)) {
            if (auto shared = sharedDoneToolbar().lock()) {
                traits->setInputAccessoryView(shared);
            } else {
                addDoneOnKeyboardWithTarget(lone, me, "doneAction:", m_shouldShowTextFieldPlaceholder);
                shared = lone->inputAccessoryView();
                shared->setTag(kDoneToolbarTag);
                sharedDoneToolbar() = shared;
            }
        }
        if (isManagedToolbar(lone->inputAccessoryView(), kDoneToolbarTag))
            handleStyleToolbar(lone);
        return;
    }
    auto first = views->firstObject();
    auto last = views->items().back();
    for (auto& item : views->items()) {
        auto view = dv::as<UIView>(item);
        if (inputTraitsOfView(view)
            && (!view->inputAccessoryView() || view->inputAccessoryView()->tag() == kDoneToolbarTag)) {
            addPreviousNextDoneOnKeyboardWithTarget(
                view, me, "previousAction:", "nextAction:", "doneAction:", m_shouldShowTextFieldPlaceholder);
            view->inputAccessoryView()->setTag(kPreviousNextToolbarTag);
        }
        if (isManagedToolbar(view->inputAccessoryView(), kPreviousNextToolbarTag)) {
            handleStyleToolbar(view);
            setEnablePrevious(view, item != first, item != last);
        }
    }
}

void KBKeyboardManager::removeToolbarIfRequired()
{
    auto views = responderViews();
    if (!views)
        return;
    for (auto& item : views->items()) {
        auto view = dv::as<UIView>(item);
        auto* traits = inputTraitsOfView(view);
        auto accessory = view->inputAccessoryView();
        if (traits
            && (isManagedToolbar(accessory, kDoneToolbarTag) || isManagedToolbar(accessory, kPreviousNextToolbarTag)))
            traits->setInputAccessoryView(nil);
    }
}

void KBKeyboardManager::handleStyleToolbar(const Ref<UIView>& field)
{
    auto toolbar = dv::as<KBToolbar>(field->inputAccessoryView());
    if (!toolbar)
        return;
    if (auto* traits = inputTraitsOfView(field)) {
        if (traits->keyboardAppearance() == UIKeyboardAppearanceDark) {
            toolbar->setBarStyle(UIBarStyleBlack);
            toolbar->setTintColor(UIColor::whiteColor());
        } else {
            toolbar->setBarStyle(UIBarStyleDefault);
            if (m_shouldToolbarUsesTextFieldTintColor)
                toolbar->setTintColor(field->tintColor());
            else
                toolbar->setTintColor(m_toolbarTintColor ? m_toolbarTintColor : UIColor::blackColor());
        }
    }
    if (!m_shouldShowTextFieldPlaceholder || shouldHideTitle(field)) {
        toolbar->setTitle(nil);
        return;
    }
    if (auto placeholder = placeholderOfView(field)) {
        if (!dv::equal(toolbar->title(), *placeholder))
            toolbar->setTitle(*placeholder);
    } else {
        toolbar->setTitle(nil);
    }
    if (m_placeholderFont)
        toolbar->setTitleFont(m_placeholderFont);
}
