#include "platform/ui/internal/AlertBase.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIWindow.h"

#include <algorithm>

// The dimmed backdrop that alerts and sheets stand on; it takes every touch that misses them.
class UIAlertBackdropView : public UIView {
    DV_CLASS(UIAlertBackdropView, UIView)
public:
    UIAlertBackdropView() = default;
};

DV_DEFINE_CLASS(UIAlertBackdropView)
DV_DEFINE_CLASS_WITH(UIAlertBase, b)
{
    b.method("alertButtonTapped:", "v24@0:8@16", [](UIAlertBase& alert, std::span<const id> args) {
        if (auto button = args.empty() ? nil : dv::as<UIView>(args[0]))
            alert.buttonTapped(button->tag());
        return nil;
    });
}

namespace {

constexpr NSTimeInterval kShowDuration = 0.2;
constexpr NSTimeInterval kHideDuration = 0.2;

// Where a window's alerts stand. The window keeps its backdrop (a subview) and the backdrop its
// alerts (subviews too), so that they go with the window; this only remembers which they are and
// in what order.
struct Host {
    Weak<UIWindow> window;
    Weak<UIView> backdrop;
    std::vector<Weak<UIAlertBase>> alerts; // oldest first
};

std::vector<Host>& hosts()
{
    static std::vector<Host> s_hosts;
    return s_hosts;
}

// Forgets the hosts whose window or backdrop has gone (their alerts went with them). Only where
// no Host pointer is held: it moves the others.
void forgetGoneHosts()
{
    std::erase_if(hosts(), [](const Host& host) { return host.window.expired() || host.backdrop.expired(); });
}

Host* hostOf(const UIWindow* window)
{
    for (auto& host : hosts())
        if (host.window.lock().get() == window)
            return &host;
    return nullptr;
}

Host* hostHolding(const UIAlertBase* alert)
{
    for (auto& host : hosts())
        for (auto& a : host.alerts)
            if (a.lock().get() == alert)
                return &host;
    return nullptr;
}

Ref<UIAlertBase> newestOf(const Host& host)
{
    for (auto it = host.alerts.rbegin(); it != host.alerts.rend(); ++it)
        if (auto alert = it->lock())
            return alert;
    return nil;
}

} // namespace

NSInteger UIAlertBase::addButtonWithTitle(const Ref<NSString>& title)
{
    m_titles.push_back(title ? dv::copyAs<NSString>(title) : ""_ns);
    return NSInteger(m_titles.size()) - 1;
}

Ref<NSString> UIAlertBase::buttonTitleAtIndex(NSInteger index) const
{
    return index >= 0 && index < numberOfButtons() ? m_titles[std::size_t(index)] : nil;
}

void UIAlertBase::setCancelButtonIndex(NSInteger index) { m_cancelIndex = index >= 0 && index < numberOfButtons() ? index : -1; }

NSInteger UIAlertBase::firstOtherButtonIndex() const
{
    for (NSInteger i = 0; i < numberOfButtons(); ++i)
        if (isOtherButton(i))
            return i;
    return -1;
}

Ref<UIButton> UIAlertBase::buttonViewAtIndex(NSInteger index) const
{
    if (!m_shown || index < 0 || std::size_t(index) >= m_buttons.size())
        return nil;
    return m_buttons[std::size_t(index)];
}

Ref<UIButton> UIAlertBase::makeButton(NSInteger index)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTag(index);
    button->setTitle(buttonTitleAtIndex(index), UIControlStateNormal);
    button->addTarget(self(), "alertButtonTapped:", UIControlEventTouchUpInside);
    return button;
}

void UIAlertBase::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (m_title && m_title->length() > 0)
        fields.emplace_back("title", dv::str(m_title));
    UIView::appendDescriptionFields(fields);
}

// MARK: - Showing and going

void UIAlertBase::present(Ref<UIWindow> window)
{
    if (m_shown)
        return;
    if (!window)
        window = UIApplication::sharedApplication()->keyWindow();
    if (!window) {
        NSLog("%@ cannot show without a window", self());
        return;
    }
    forgetGoneHosts();
    Host* host = hostOf(window.get());
    Ref<UIView> backdrop = host ? host->backdrop.lock() : nil;
    if (!host) {
        backdrop = alloc<UIAlertBackdropView>();
        backdrop->initWithFrame(window->bounds());
        backdrop->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        backdrop->setBackgroundColor(UIColor::colorWithWhite(0, 0.4));
        hosts().push_back(Host {window, backdrop, {}});
        host = &hosts().back();
    }
    // The backdrop fades in with the first alert (and back in when it was fading out with the
    // last one); it goes on top of whatever the window shows now.
    const bool backdropShown = backdrop->superview() == window && backdrop->alpha() >= 1;
    if (backdrop->superview() != window) {
        backdrop->setFrame(window->bounds());
        window->addSubview(backdrop);
    } else {
        window->bringSubviewToFront(backdrop);
    }
    if (auto previous = newestOf(*host))
        previous->setHidden(true);
    auto me = self<UIAlertBase>();
    host->alerts.push_back(me);
    m_shown = true;
    m_leaving = false;
    setHidden(false);
    layoutInWindow(window->bounds());
    backdrop->addSubview(me);
    notifyWillPresent();
    UIView::performWithoutAnimation([&] {
        setAlpha(0);
        if (!backdropShown)
            backdrop->setAlpha(0);
    });
    UIView::animateWithDuration(kShowDuration, 0, 0, [me, backdrop] {
        me->setAlpha(1);
        backdrop->setAlpha(1);
    }, [me](bool) {
        if (me->m_shown && !me->m_leaving)
            me->notifyDidPresent();
    });
}

void UIAlertBase::buttonTapped(NSInteger index)
{
    if (!isVisible())
        return;
    auto keep = self<UIAlertBase>();
    notifyClicked(index);
    dismissWithClickedButtonIndex(index, true);
}

void UIAlertBase::dismissWithClickedButtonIndex(NSInteger index, bool animated)
{
    if (!m_shown || m_leaving)
        return;
    auto me = self<UIAlertBase>();
    m_leaving = true;
    notifyWillDismiss(index);
    if (!animated || !UIView::areAnimationsEnabled()) {
        handleGone(index);
        return;
    }
    // The last alert to go takes the backdrop with it: nothing stays dimmed once it has faded,
    // and what the application shows meanwhile (a toast) is not dimmed either.
    Ref<UIView> backdrop;
    if (Host* host = hostHolding(this); host && host->alerts.size() == 1)
        backdrop = host->backdrop.lock();
    UIView::animateWithDuration(kHideDuration, 0, 0, [me, backdrop] {
        me->setAlpha(0);
        if (backdrop)
            backdrop->setAlpha(0);
    }, [me, index](bool) { me->handleGone(index); });
}

void UIAlertBase::handleGone(NSInteger index)
{
    if (!m_shown)
        return;
    auto me = self<UIAlertBase>();
    if (Host* host = hostHolding(this)) {
        std::erase_if(host->alerts, [&](const Weak<UIAlertBase>& a) { return a.expired() || a.lock() == me; });
        if (auto next = newestOf(*host)) {
            next->setHidden(false);
        } else {
            if (auto backdrop = host->backdrop.lock()) {
                backdrop->removeFromSuperview();
                UIView::performWithoutAnimation([&] { backdrop->setAlpha(1); });
            }
            std::erase_if(hosts(), [host](const Host& h) { return &h == host; });
        }
    }
    removeFromSuperview();
    UIView::performWithoutAnimation([&] { setAlpha(1); });
    m_shown = false;
    m_leaving = false;
    notifyDidDismiss(index);
}

std::vector<Ref<UIAlertBase>> UIAlertBase::visibleAlerts(const Ref<UIWindow>& window)
{
    forgetGoneHosts();
    std::vector<Ref<UIAlertBase>> shown;
    for (auto& host : hosts()) {
        if (window && host.window.lock() != window)
            continue;
        for (auto& weak : host.alerts)
            if (auto alert = weak.lock(); alert && alert->isVisible())
                shown.push_back(alert);
    }
    return shown;
}

void UIAlertBase::resetAll()
{
    auto all = std::exchange(hosts(), {});
    for (auto& host : all) {
        for (auto& weak : host.alerts) {
            if (auto alert = weak.lock()) {
                alert->m_shown = false;
                alert->m_leaving = false;
            }
        }
        if (auto backdrop = host.backdrop.lock())
            backdrop->removeFromSuperview();
    }
}

void UIAlertBase::windowDidAddSubview(UIWindow& window, const Ref<UIView>& view)
{
    Host* host = hostOf(&window);
    auto backdrop = host ? host->backdrop.lock() : nil;
    // A backdrop fading out with its last alert stays below what comes now.
    if (backdrop && view != backdrop && backdrop->superview().get() == &window && backdrop->alpha() > 0)
        window.bringSubviewToFront(backdrop);
}
