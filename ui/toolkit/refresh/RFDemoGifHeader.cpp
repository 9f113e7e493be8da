#include "ui/toolkit/refresh/RFDemoGifHeader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"

#include <vector>

DV_DEFINE_CLASS(RFDemoGifHeader)

void RFDemoGifHeader::prepare()
{
    RFRefreshGifHeader::prepare();
    std::vector<id> images;
    for (unsigned long i = 1; i <= 3; ++i)
        if (auto image = UIImage::imageNamed(NSString::stringWithFormat("re%lu", i)))
            images.push_back(image);
    auto frames = NSArray::fromVector(std::move(images));
    setImages(frames, RefreshStatePulling);
    setImages(frames, RefreshStateIdle);
    setImages(frames, RefreshStateRefreshing);
}
