#include "ui/toolkit/keyboard/UIViewKBHierarchy.h"

#include "platform/base/Associations.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UITextView.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/UIWindow.h"
#include "ui/toolkit/keyboard/NSArrayKBSort.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kAskingKey = 0;

// Platform classes that exist on some systems only, looked up by name once. A class the platform
// does not have stays Nil, and the checks that use it never match.
struct PrivateClasses {
    Class alertSheetTextField = NSClassFromString("UIAlertSheetTextField"_ns);
    Class alertControllerTextField = NSClassFromString("_UIAlertControllerTextField"_ns);
    Class tableViewCellScrollView = NSClassFromString("UITableViewCellScrollView"_ns);
    Class tableViewWrapperView = NSClassFromString("UITableViewWrapperView"_ns);
    Class queuingScrollView = NSClassFromString("_UIQueuingScrollView"_ns);
    Class searchBarTextField = NSClassFromString("UISearchBarTextField"_ns);
    // A public class, but one this platform may lack as well.
    Class searchBar = NSClassFromString("UISearchBar"_ns);
};

const PrivateClasses& privateClasses()
{
    static const PrivateClasses classes;
    return classes;
}

bool isKind(const UIView& view, Class cls)
{
    return cls != Nil && view.isKindOfClass(cls);
}

} // namespace

void _setIsAskingCanBecomeFirstResponder(const Ref<UIView>& view, bool asking)
{
    objc_setAssociatedObject(view, &kAskingKey, NSNumber::numberWithBool(asking), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

bool isAskingCanBecomeFirstResponder(const Ref<UIView>& view)
{
    auto number = dv::as<NSNumber>(objc_getAssociatedObject(view, &kAskingKey));
    return number && number->boolValue();
}

Ref<UIViewController> viewController(const Ref<UIView>& view)
{
    if (!view)
        return nil;
    for (auto responder = view->nextResponder(); responder; responder = responder->nextResponder())
        if (auto controller = dv::as<UIViewController>(responder))
            return controller;
    return nil;
}

Ref<UIViewController> topMostController(const Ref<UIView>& view)
{
    if (auto window = dv::as<UIWindow>(view))
        return topMostController(window);
    if (!view)
        return nil;
    std::vector<Ref<UIViewController>> chain;
    if (auto window = view->window()) {
        for (auto controller = window->rootViewController(); controller;
             controller = controller->presentedViewController())
            chain.push_back(controller);
    }
    auto inChain = [&](const Ref<UIViewController>& controller) {
        return std::find(chain.begin(), chain.end(), controller) != chain.end();
    };
    auto controller = viewController(view);
    if (!controller)
        return nil;
    if (inChain(controller))
        return controller;
    for (auto responder = controller->nextResponder(); responder; responder = responder->nextResponder())
        if (auto next = dv::as<UIViewController>(responder); next && inChain(next))
            return next;
    return nil;
}

Ref<UIView> superviewOfClassType(const Ref<UIView>& view, Class cls)
{
    if (!view)
        return nil;
    const auto& hidden = privateClasses();
    for (auto superview = view->superview(); superview; superview = superview->superview()) {
        if (!superview->isKindOfClass(cls))
            continue;
        if (isKind(*superview, hidden.tableViewCellScrollView) || isKind(*superview, hidden.tableViewWrapperView)
            || isKind(*superview, hidden.queuingScrollView))
            continue;
        return superview;
    }
    return nil;
}

bool _KBcanBecomeFirstResponder(const Ref<UIView>& view)
{
    if (!view)
        return false;
    _setIsAskingCanBecomeFirstResponder(view, true);
    bool answer = view->canBecomeFirstResponder() && view->isUserInteractionEnabled() && !view->isHidden()
        && view->alpha() != 0 && !isAlertViewTextField(view) && !isSearchBarTextField(view);
    if (answer) {
        if (auto field = dv::as<UITextField>(view))
            answer = field->isEnabled();
        else if (auto textView = dv::as<UITextView>(view))
            answer = textView->isEditable();
    }
    _setIsAskingCanBecomeFirstResponder(view, false);
    return answer;
}

Ref<NSArray> responderSiblings(const Ref<UIView>& view)
{
    auto siblings = NSMutableArray::array();
    auto superview = view ? view->superview() : nil;
    if (!superview)
        return siblings;
    const auto subviews = superview->subviews();
    for (auto& item : subviews->items())
        if (auto sibling = dv::as<UIView>(item); _KBcanBecomeFirstResponder(sibling))
            siblings->addObject(sibling);
    return siblings;
}

Ref<NSArray> deepResponderViews(const Ref<UIView>& view)
{
    auto found = NSMutableArray::array();
    if (!view)
        return found;
    const auto sorted = sortedArrayByPosition(view->subviews());
    for (auto& item : sorted->items()) {
        auto subview = dv::as<UIView>(item);
        if (_KBcanBecomeFirstResponder(subview))
            found->addObject(subview);
        else if (subview->subviews()->count() > 0)
            found->addObjectsFromArray(deepResponderViews(subview));
    }
    return found;
}

CGAffineTransform convertTransformToView(const Ref<UIView>& view, const Ref<UIView>& toView)
{
    if (!view)
        return CGAffineTransform {};
    auto target = toView ? toView : Ref<UIView>(view->window());
    auto superview = view->superview();
    const CGAffineTransform mine = superview
        ? CGAffineTransformConcat(view->transform(), convertTransformToView(superview, nil))
        : view->transform();
    CGAffineTransform theirs = CGAffineTransformIdentity;
    if (target) {
        auto targetSuperview = target->superview();
        theirs = targetSuperview
            ? CGAffineTransformConcat(target->transform(), convertTransformToView(targetSuperview, nil))
            : target->transform();
    }
    return CGAffineTransformConcat(mine, CGAffineTransformInvert(theirs));
}

NSInteger depth(const Ref<UIView>& view)
{
    NSInteger levels = 0;
    for (auto superview = view ? view->superview() : nil; superview; superview = superview->superview())
        ++levels;
    return levels;
}

namespace {

std::string indent(NSInteger levels)
{
    std::string text;
    for (NSInteger i = 0; i < levels; ++i)
        text += "|  ";
    return text;
}

} // namespace

Ref<NSString> subHierarchy(const Ref<UIView>& view)
{
    if (!view)
        return nil;
    std::string text = "\n" + indent(depth(view)) + debugHierarchy(view)->utf8();
    const auto subviews = view->subviews();
    for (auto& item : subviews->items())
        text += subHierarchy(dv::as<UIView>(item))->utf8();
    return NSString::fromUTF8(text);
}

Ref<NSString> superHierarchy(const Ref<UIView>& view)
{
    if (!view)
        return nil;
    auto superview = view->superview();
    std::string text = superview ? superHierarchy(superview)->utf8() : std::string("\n");
    text += indent(depth(view)) + debugHierarchy(view)->utf8() + "\n";
    return NSString::fromUTF8(text);
}

Ref<NSString> debugHierarchy(const Ref<UIView>& view)
{
    if (!view)
        return nil;
    const CGRect frame = view->frame();
    std::string text = NSString::stringWithFormat("%@: ( %.0f, %.0f, %.0f, %.0f )", view->className(),
        CGRectGetMinX(frame), CGRectGetMinY(frame), frame.size.width, frame.size.height)
                           ->utf8();
    if (auto scrollView = dv::as<UIScrollView>(view)) {
        const CGSize size = scrollView->contentSize();
        text += NSString::stringWithFormat("%@: ( %.0f, %.0f )", "contentSize"_ns, size.width, size.height)->utf8();
    }
    if (!CGAffineTransformIsIdentity(view->transform()))
        text += NSString::stringWithFormat("%@: %@", "transform"_ns, NSStringFromCGAffineTransform(view->transform()))
                    ->utf8();
    return NSString::fromUTF8(text);
}

bool isSearchBarTextField(const Ref<UIView>& view)
{
    const auto& classes = privateClasses();
    return view && (isKind(*view, classes.searchBarTextField) || isKind(*view, classes.searchBar));
}

bool isAlertViewTextField(const Ref<UIView>& view)
{
    const auto& classes = privateClasses();
    return view && (isKind(*view, classes.alertSheetTextField) || isKind(*view, classes.alertControllerTextField));
}

Ref<UIViewController> topMostController(const Ref<UIWindow>& window)
{
    return dv::topPresentedViewController(window);
}

Ref<UIViewController> currentViewController(const Ref<UIWindow>& window)
{
    auto controller = topMostController(window);
    while (auto navigation = dv::as<UINavigationController>(controller)) {
        auto top = navigation->topViewController();
        if (!top)
            break;
        controller = top;
    }
    return controller;
}

Ref<NSString> _KBDescription(const id& object)
{
    if (!object)
        return nil;
    return NSString::stringWithFormat("<%@ %p>", object->className(), static_cast<const void*>(object.get()));
}
