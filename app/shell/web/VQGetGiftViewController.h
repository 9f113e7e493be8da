// VQGetGiftViewController: the help page "常见问题说明" (common questions) of the about screen: data/qryLearn.do of
// its type, below the navigation bar on the information pages' grey. Main thread only.
#pragma once

#include "app/shell/web/WebPageScreen.h"

class VQGetGiftViewController : public dv::app::WebPageScreen {
    DV_CLASS(VQGetGiftViewController, dv::app::WebPageScreen)

    VQGetGiftViewController() = default;
    Ref<VQGetGiftViewController> init();

protected:
    Look look() const override { return { .belowBars = true, .greyBackground = true }; }
    Ref<NSString> pageTitle() const override;
    Ref<NSString> pageAddress() const override;
};
