// KYWifiController: the picture page "图片", opened by the home screen's fixed last tile. Six
// pictures of the application's resources ("750_0" to "750_5"), one below the other in a
// vertically scrolling view: each takes a slot of the view's height less 100 points, with 20
// points above it and 40 points of margin left and right. No network, no state. Main thread only.
#pragma once

#include "app/shell/navigation/DDYPPartentsController.h"

class KYWifiController : public DDYPPartentsController {
    DV_CLASS(KYWifiController, DDYPPartentsController)

    KYWifiController() = default;
    Ref<KYWifiController> init();

    // Lays out the pictures for the view's size as it is when the view has loaded.
    void viewDidLoad() override;
    // Nothing calls it; it does nothing.
    void goDownWifiApp();
};
