#include "ui/toolkit/refresh/RFRefreshGifHeader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFRefreshGifHeader)

namespace {

// The images stand this far left of the middle, beside the text.
constexpr CGFloat kImagesBesideText = 90;

} // namespace

Ref<UIImageView> RFRefreshGifHeader::gifView()
{
    return dv::internal::subviewMadeOnce(m_gifView, *this, [] { return alloc<UIImageView>()->init(); });
}

Ref<NSMutableDictionary> RFRefreshGifHeader::stateImages() { return m_images.images(); }

Ref<NSMutableDictionary> RFRefreshGifHeader::stateDurations() { return m_images.durations(); }

void RFRefreshGifHeader::setImages(const Ref<NSArray>& images, NSTimeInterval duration, RefreshState state)
{
    m_images.set(images, duration, state, *this);
}

void RFRefreshGifHeader::setImages(const Ref<NSArray>& images, RefreshState state)
{
    if (!images)
        return;
    setImages(images, NSTimeInterval(images->count()) * dv::internal::StateImages::kSecondsPerImage, state);
}

void RFRefreshGifHeader::setPullingPercent(CGFloat pullingPercent)
{
    RFRefreshStateHeader::setPullingPercent(pullingPercent);
    auto images = m_images.imagesFor(RefreshStateIdle);
    if (state() != RefreshStateIdle || !images)
        return;
    auto view = gifView();
    view->stopAnimating();
    const NSUInteger index = dv::internal::imageIndexForPullingPercent(images->count(), pullingPercent);
    view->setImage(dv::as<UIImage>(images->objectAtIndex(index)));
}

void RFRefreshGifHeader::placeSubviews()
{
    RFRefreshStateHeader::placeSubviews();
    auto view = gifView();
    if (dv::internal::hasLayoutConstraints(view))
        return;
    // One frame set: a size that changed on the way would ask for this layout again.
    CGRect frame = bounds();
    if (stateLabel()->isHidden() && lastUpdatedTimeLabel()->isHidden()) {
        view->setContentMode(UIViewContentModeCenter);
    } else {
        view->setContentMode(UIViewContentModeRight);
        frame.size.width = rf_w(this) * 0.5 - kImagesBesideText;
    }
    view->setFrame(frame);
}

void RFRefreshGifHeader::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshStateHeader::setState(state);
    if (state == RefreshStatePulling || state == RefreshStateRefreshing) {
        if (auto images = m_images.imagesFor(state))
            dv::internal::playImages(*gifView(), images, m_images.durationFor(state));
    } else if (state == RefreshStateIdle) {
        gifView()->stopAnimating();
    }
}
