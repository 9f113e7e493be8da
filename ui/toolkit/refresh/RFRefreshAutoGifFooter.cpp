#include "ui/toolkit/refresh/RFRefreshAutoGifFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/ui/UIImageView.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

DV_DEFINE_CLASS(RFRefreshAutoGifFooter)

namespace {

// The images stand this far left of the middle, beside the text.
constexpr CGFloat kImagesBesideText = 90;

} // namespace

Ref<UIImageView> RFRefreshAutoGifFooter::gifView()
{
    return dv::internal::subviewMadeOnce(m_gifView, *this, [] { return alloc<UIImageView>()->init(); });
}

Ref<NSMutableDictionary> RFRefreshAutoGifFooter::stateImages() { return m_images.images(); }

Ref<NSMutableDictionary> RFRefreshAutoGifFooter::stateDurations() { return m_images.durations(); }

void RFRefreshAutoGifFooter::setImages(const Ref<NSArray>& images, NSTimeInterval duration, RefreshState state)
{
    m_images.set(images, duration, state, *this);
}

void RFRefreshAutoGifFooter::setImages(const Ref<NSArray>& images, RefreshState state)
{
    if (!images)
        return;
    setImages(images, NSTimeInterval(images->count()) * dv::internal::StateImages::kSecondsPerImage, state);
}

void RFRefreshAutoGifFooter::placeSubviews()
{
    RFRefreshAutoStateFooter::placeSubviews();
    auto view = gifView();
    if (dv::internal::hasLayoutConstraints(view))
        return;
    // One frame set: a size that changed on the way would ask for this layout again.
    CGRect frame = bounds();
    if (isRefreshingTitleHidden()) {
        view->setContentMode(UIViewContentModeCenter);
    } else {
        view->setContentMode(UIViewContentModeRight);
        frame.size.width = rf_w(this) * 0.5 - kImagesBesideText;
    }
    view->setFrame(frame);
}

void RFRefreshAutoGifFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshAutoStateFooter::setState(state);
    if (state == RefreshStateRefreshing) {
        auto images = m_images.imagesFor(state);
        if (!images)
            return;
        auto view = gifView();
        view->setHidden(false);
        dv::internal::playImages(*view, images, m_images.durationFor(state));
    } else if (state == RefreshStateIdle || state == RefreshStateNoMoreData) {
        auto view = gifView();
        view->stopAnimating();
        view->setHidden(true);
    }
}
