// VQNewVideoVC: the help page "查看使用说明" (instructions for use) of the about screen: data/qryLearn.do of
// its type, below the navigation bar on the information pages' grey. Main thread only.
#pragma once

#include "app/shell/web/WebPageScreen.h"

class VQNewVideoVC : public dv::app::WebPageScreen {
    DV_CLASS(VQNewVideoVC, dv::app::WebPageScreen)

    VQNewVideoVC() = default;
    Ref<VQNewVideoVC> init();

protected:
    Look look() const override { return { .belowBars = true, .greyBackground = true }; }
    Ref<NSString> pageTitle() const override;
    Ref<NSString> pageAddress() const override;
};
