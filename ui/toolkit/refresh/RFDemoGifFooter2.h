// RFDemoGifFooter2: a back GIF footer that plays the application's three demonstration images
// ("re1" to "re3") while loading, over 0.3 s a round.
#pragma once

#include "ui/toolkit/refresh/RFRefreshBackGifFooter.h"

class RFDemoGifFooter2 : public RFRefreshBackGifFooter {
    DV_CLASS(RFDemoGifFooter2, RFRefreshBackGifFooter)

    static Ref<RFDemoGifFooter2> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFDemoGifFooter2>(std::move(block));
    }
    static Ref<RFDemoGifFooter2> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFDemoGifFooter2>(target, action);
    }

    void prepare() override;
};
