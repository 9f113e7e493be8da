#include "ui/toolkit/refresh/RFDemoGifHeader.h"

#include "platform/base/ClassBuilder.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFDemoGifHeader)

void RFDemoGifHeader::prepare()
{
    RFRefreshGifHeader::prepare();
    auto frames = dv::internal::toolkit::demonstrationImages();
    setImages(frames, RefreshStatePulling);
    setImages(frames, RefreshStateIdle);
    setImages(frames, RefreshStateRefreshing);
}
