#include "ui/toolkit/refresh/internal/RefreshSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIView.h"

Ref<UIImage> dv::internal::refreshArrowImage()
{
    auto bundled = NSString::fromUTF8("RFRefresh.bundle")->stringByAppendingPathComponent("arrow.png"_ns);
    if (auto image = UIImage::imageNamed(bundled))
        return image;
    auto framework = NSString::fromUTF8("Frameworks/RFRefresh.framework/RFRefresh.bundle")->stringByAppendingPathComponent("arrow.png"_ns);
    return UIImage::imageNamed(framework);
}

bool dv::internal::hasLayoutConstraints(const Ref<UIView>& view) { return view && view->constraints()->count() > 0; }

NSUInteger dv::internal::imageIndexForPullingPercent(NSUInteger count, CGFloat percent)
{
    if (count == 0)
        return 0;
    const CGFloat position = CGFloat(count) * percent;
    if (position >= CGFloat(count)) // infinity included
        return count - 1;
    if (position > 0) // a NaN fails this too
        return NSUInteger(position);
    return 0;
}
