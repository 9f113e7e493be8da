// Appearance proxies: a class that adopts UIAppearance answers appearance() and
// appearanceWhenContainedIn() with a proxy object of its own type. Setters marked as appearance
// setters record on a proxy instead of applying; a real instance receives the recorded values when
// it first enters a window (views) or when its owner applies them (bar items), except for the
// properties the instance set itself before then. Rules of superclasses apply before those of
// subclasses, plain rules before contained ones, so the most specific rule wins. Main thread only.
//
//   class UIToolbar : public UIView { DV_APPEARANCE(UIToolbar) ... };
//   UIToolbar::appearance()->setBarTintColor(nil);
//   UINavigationBar::appearanceWhenContainedIn({SMNavigationController::class_()})->setTintColor(white);
//
// Inside an appearance setter of class T:
//   if (isAppearanceProxy()) { recordAppearanceSetter<T>("tintColor", [c](T& v) { v.setTintColor(c); }); return; }
//   noteAppearanceSetterCalled("tintColor");
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <string>
#include <vector>

namespace dv::internal::uikit {
struct AppearanceRule;
Ref<NSObject> appearanceProxyFor(Class cls, std::vector<Class> containers, const std::function<Ref<NSObject>()>& make);
} // namespace dv::internal::uikit

namespace dv {
// Forgets every recorded rule (tests start from none). Proxies still held become plain objects.
void removeAllAppearanceRules();
} // namespace dv

class UIAppearance {
public:
    virtual ~UIAppearance() = default;

    bool isAppearanceProxy() const { return m_rule != nullptr; }

protected:
    // Records a setter call on a proxy; `apply` repeats it on a real instance of T.
    template <class T, class F>
    void recordAppearanceSetter(std::string key, F apply)
    {
        recordSetter(std::move(key), [apply = std::move(apply)](NSObject& object) { apply(static_cast<T&>(object)); });
    }
    // Remembers that the instance set `key` itself, so that no rule overrides it later.
    void noteAppearanceSetterCalled(std::string_view key);
    // Applies the matching rules once. `containers` is the chain of objects that contain the
    // instance, nearest first (for a view: its responder chain).
    void applyAppearance(NSObject& self, const std::vector<const NSObject*>& containers);
    bool appearanceApplied() const { return m_appearanceApplied; }

private:
    friend Ref<NSObject> dv::internal::uikit::appearanceProxyFor(Class, std::vector<Class>, const std::function<Ref<NSObject>()>&);
    friend void dv::removeAllAppearanceRules();

    void recordSetter(std::string key, std::function<void(NSObject&)> apply);

    dv::internal::uikit::AppearanceRule* m_rule = nullptr;
    bool m_appearanceApplied = false;
    bool m_applyingAppearance = false;
    std::vector<std::string> m_explicitKeys;
};

namespace dv {

// The proxy of class T for the given containers (nearest first); one proxy per combination.
template <class T>
Ref<T> appearanceProxy(std::vector<Class> containers)
{
    return std::static_pointer_cast<T>(
        internal::uikit::appearanceProxyFor(T::class_(), std::move(containers), [] { return std::static_pointer_cast<NSObject>(alloc<T>()); }));
}

} // namespace dv

// In the class body of a class that adopts UIAppearance.
#define DV_APPEARANCE(Name)                                                                   \
    static Ref<Name> appearance() { return dv::appearanceProxy<Name>({}); }                   \
    static Ref<Name> appearanceWhenContainedIn(std::vector<Class> containers)                 \
    {                                                                                         \
        return dv::appearanceProxy<Name>(std::move(containers));                              \
    }
