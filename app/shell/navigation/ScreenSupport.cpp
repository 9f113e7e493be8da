#include "app/shell/navigation/ScreenSupport.h"

#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/system/UIDevice.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/UIWindow.h"

namespace dv::app {

Ref<UIWindow> applicationWindow()
{
    auto application = UIApplication::sharedApplication();
    auto delegate = application ? application->delegate() : nil;
    return delegate ? delegate->window() : nil;
}

bool systemVersionAtLeast(const char* version)
{
    auto system = UIDevice::currentDevice()->systemVersion();
    return system && system->compare(NSString::fromUTF8(version), NSNumericSearch) != NSOrderedAscending;
}

void layOutBelowBars(UIViewController& screen)
{
    if (systemVersionAtLeast("7.0")) {
        screen.setEdgesForExtendedLayout(UIRectEdgeLeft | UIRectEdgeBottom | UIRectEdgeRight);
        screen.setExtendedLayoutIncludesOpaqueBars(false);
    }
}

Ref<UIColor> rgb(int red, int green, int blue)
{
    return UIColor::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, 1);
}
Ref<UIColor> pageBackgroundColor()
{
    return rgb(238, 238, 238);
}
Ref<UIColor> bodyTextColor()
{
    return rgb(53, 52, 52);
}

} // namespace dv::app
