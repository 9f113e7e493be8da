#include "ui/toolkit/refresh/RFDemoGifFooter.h"

#include "platform/base/ClassBuilder.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFDemoGifFooter)

void RFDemoGifFooter::prepare()
{
    RFRefreshAutoGifFooter::prepare();
    setImages(dv::internal::toolkit::demonstrationImages(), RefreshStateRefreshing);
}
