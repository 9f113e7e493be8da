// RFDemoGifHeader: a GIF header with the application's three demonstration images ("re1" to
// "re3") for idle, pulling and refreshing.
#pragma once

#include "ui/toolkit/refresh/RFRefreshGifHeader.h"

class RFDemoGifHeader : public RFRefreshGifHeader {
    DV_CLASS(RFDemoGifHeader, RFRefreshGifHeader)

    static Ref<RFDemoGifHeader> headerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFDemoGifHeader>(std::move(block));
    }
    static Ref<RFDemoGifHeader> headerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFDemoGifHeader>(target, action);
    }

    void prepare() override;
};
