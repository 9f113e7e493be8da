// RFDemoGifFooter: an auto-loading GIF footer that plays the application's three demonstration
// images ("re1" to "re3") while loading.
#pragma once

#include "ui/toolkit/refresh/RFRefreshAutoGifFooter.h"

class RFDemoGifFooter : public RFRefreshAutoGifFooter {
    DV_CLASS(RFDemoGifFooter, RFRefreshAutoGifFooter)

    static Ref<RFDemoGifFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFDemoGifFooter>(std::move(block));
    }
    static Ref<RFDemoGifFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFDemoGifFooter>(target, action);
    }

    void prepare() override;
};
