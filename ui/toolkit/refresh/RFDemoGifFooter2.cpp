#include "ui/toolkit/refresh/RFDemoGifFooter2.h"

#include "platform/base/ClassBuilder.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFDemoGifFooter2)

void RFDemoGifFooter2::prepare()
{
    RFRefreshBackGifFooter::prepare();
    setImages(dv::internal::toolkit::demonstrationImages(), RefreshStateRefreshing);
}
