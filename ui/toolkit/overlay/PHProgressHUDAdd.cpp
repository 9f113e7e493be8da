// The toast helpers every screen uses: icon toasts that go by themselves and the dimmed loading
// overlay. Their icons are image resources of the application: "PHProgressHUD.bundle/error.png"
// and "PHProgressHUD.bundle/success.png" under the resources folder (resources/ in the source
// tree, found both by tests and by the application's main bundle; see NSBundle.h), drawn by
// overlay/images/MakeOverlayImages.cpp.
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIWindow.h"

namespace {

// How long an icon toast stays before it starts to fade.
constexpr NSTimeInterval kToastDuration = 0.7;

Ref<UIView> hostOrKeyWindow(const Ref<UIView>& view)
{
    if (view)
        return view;
    auto app = UIApplication::sharedApplication();
    return app ? app->keyWindow() : nil;
}

} // namespace

void PHProgressHUD::show(const Ref<NSString>& text, const Ref<NSString>& icon, const Ref<UIView>& view)
{
    auto hud = showHUDAddedTo(hostOrKeyWindow(view), true);
    hud->setLabelText(text);
    // A missing icon leaves the image view empty: the toast shows its text alone.
    auto image = UIImage::imageNamed(NSString::stringWithFormat("PHProgressHUD.bundle/%@", icon));
    hud->setCustomView(alloc<UIImageView>()->initWithImage(image));
    hud->setMode(PHProgressHUDModeCustomView);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hide(true, kToastDuration);
}

void PHProgressHUD::showError(const Ref<NSString>& text, const Ref<UIView>& view) { show(text, "error.png"_ns, view); }

void PHProgressHUD::showSuccess(const Ref<NSString>& text, const Ref<UIView>& view) { show(text, "success.png"_ns, view); }

Ref<PHProgressHUD> PHProgressHUD::showMessag(const Ref<NSString>& text, const Ref<UIView>& view)
{
    auto hud = showHUDAddedTo(hostOrKeyWindow(view), true);
    hud->setLabelText(text);
    hud->setRemoveFromSuperViewOnHide(true);
    // Set in the same turn as the show: the first drawing already has the text and the shade.
    hud->setDimBackground(true);
    return hud;
}
