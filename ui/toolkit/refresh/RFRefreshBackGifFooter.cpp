#include "ui/toolkit/refresh/RFRefreshBackGifFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

DV_DEFINE_CLASS(RFRefreshBackGifFooter)

namespace {

// The images stand this far left of the middle, beside the text.
constexpr CGFloat kImagesBesideText = 90;

} // namespace

Ref<UIImageView> RFRefreshBackGifFooter::gifView()
{
    return dv::internal::subviewMadeOnce(m_gifView, *this, [] { return alloc<UIImageView>()->init(); });
}

Ref<NSMutableDictionary> RFRefreshBackGifFooter::stateImages() { return m_images.images(); }

Ref<NSMutableDictionary> RFRefreshBackGifFooter::stateDurations() { return m_images.durations(); }

void RFRefreshBackGifFooter::setImages(const Ref<NSArray>& images, NSTimeInterval duration, RefreshState state)
{
    m_images.set(images, duration, state, *this);
}

void RFRefreshBackGifFooter::setImages(const Ref<NSArray>& images, RefreshState state)
{
    if (!images)
        return;
    setImages(images, NSTimeInterval(images->count()) * dv::internal::StateImages::kSecondsPerImage, state);
}

void RFRefreshBackGifFooter::setPullingPercent(CGFloat pullingPercent)
{
    RFRefreshBackStateFooter::setPullingPercent(pullingPercent);
    auto images = m_images.imagesFor(RefreshStateIdle);
    if (state() != RefreshStateIdle || !images)
        return;
    auto view = gifView();
    view->stopAnimating();
    const NSUInteger index = dv::internal::imageIndexForPullingPercent(images->count(), pullingPercent);
    view->setImage(dv::as<UIImage>(images->objectAtIndex(index)));
}

void RFRefreshBackGifFooter::placeSubviews()
{
    RFRefreshBackStateFooter::placeSubviews();
    auto view = gifView();
    if (dv::internal::hasLayoutConstraints(view))
        return;
    // One frame set: a size that changed on the way would ask for this layout again.
    CGRect frame = bounds();
    if (stateLabel()->isHidden()) {
        view->setContentMode(UIViewContentModeCenter);
    } else {
        view->setContentMode(UIViewContentModeRight);
        frame.size.width = rf_w(this) * 0.5 - kImagesBesideText;
    }
    view->setFrame(frame);
}

void RFRefreshBackGifFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshBackStateFooter::setState(state);
    switch (state) {
    case RefreshStatePulling:
    case RefreshStateRefreshing:
        if (auto images = m_images.imagesFor(state)) {
            auto view = gifView();
            view->setHidden(false);
            dv::internal::playImages(*view, images, m_images.durationFor(state));
        }
        break;
    case RefreshStateNoMoreData:
        gifView()->setHidden(true);
        break;
    case RefreshStateIdle:
        // It keeps the image the pull chose.
        gifView()->setHidden(false);
        break;
    default:
        break;
    }
}
