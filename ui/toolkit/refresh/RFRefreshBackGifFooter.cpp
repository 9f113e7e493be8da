#include "ui/toolkit/refresh/RFRefreshBackGifFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"

DV_DEFINE_CLASS(RFRefreshBackGifFooter)

Ref<UIImageView> RFRefreshBackGifFooter::gifView() { return m_images.view(*this); }

Ref<NSMutableDictionary> RFRefreshBackGifFooter::stateImages() { return m_images.images(); }

Ref<NSMutableDictionary> RFRefreshBackGifFooter::stateDurations() { return m_images.durations(); }

void RFRefreshBackGifFooter::setImages(const Ref<NSArray>& images, NSTimeInterval duration, RefreshState state)
{
    m_images.set(images, duration, state, *this);
}

void RFRefreshBackGifFooter::setImages(const Ref<NSArray>& images, RefreshState state) { m_images.set(images, state, *this); }

void RFRefreshBackGifFooter::setPullingPercent(CGFloat pullingPercent)
{
    RFRefreshBackStateFooter::setPullingPercent(pullingPercent);
    m_images.followPull(*this, state(), pullingPercent);
}

void RFRefreshBackGifFooter::placeSubviews()
{
    RFRefreshBackStateFooter::placeSubviews();
    m_images.place(*this, !stateLabel()->isHidden());
}

void RFRefreshBackGifFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshBackStateFooter::setState(state);
    switch (state) {
    case RefreshStatePulling:
    case RefreshStateRefreshing:
        m_images.play(*this, state, dv::internal::toolkit::GifImages::View::Shown);
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
