// VQFunctionVideoVC: the help page "查看联系方式" (contact information) of the about screen: data/qryLearn.do of
// its type, below the navigation bar on the information pages' grey. Main thread only.
#pragma once

#include "app/shell/web/WebPageScreen.h"

class VQFunctionVideoVC : public dv::app::WebPageScreen {
    DV_CLASS(VQFunctionVideoVC, dv::app::WebPageScreen)

    VQFunctionVideoVC() = default;
    Ref<VQFunctionVideoVC> init();

protected:
    Look look() const override { return { .belowBars = true, .greyBackground = true }; }
    Ref<NSString> pageTitle() const override;
    Ref<NSString> pageAddress() const override;
};
