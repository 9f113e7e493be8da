#include "app/shell/navigation/ScreenFactory.h"

#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/Runtime.h"
#include "platform/ui/UIViewController.h"

#include <string>

namespace dv::app {

Ref<UIViewController> makeScreen(std::string_view className)
{
    auto name = NSString::fromUTF8(className);
    Class cls = NSClassFromString(name);
    if (!cls || !cls->canCreateInstances()) {
        NSLog("%@ is not available in this build", name);
        return nil;
    }
    auto screen = dv::as<UIViewController>(cls->createInstance());
    if (!screen) {
        NSLog("%@ is not a screen", name);
        return nil;
    }
    // A class's own init, when it registers one, runs in place of the platform's (and calls it).
    if (cls->instancesRespondToSelector(SEL("init")))
        screen->performSelector(SEL("init"));
    else
        screen->init();
    return screen;
}

bool setScreenValue(const Ref<UIViewController>& screen, const id& value, std::string_view key)
{
    if (!screen)
        return false;
    const auto* property = screen->getClass()->findProperty(key);
    if (!property || !property->setter) {
        NSLog("%@ has no property %@", screen->className(), NSString::fromUTF8(key));
        return false;
    }
    property->setter(*screen, value);
    return true;
}

} // namespace dv::app
