#include "ui/toolkit/refresh/RFRefreshGifHeader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"

DV_DEFINE_CLASS(RFRefreshGifHeader)

Ref<UIImageView> RFRefreshGifHeader::gifView() { return m_images.view(*this); }

Ref<NSMutableDictionary> RFRefreshGifHeader::stateImages() { return m_images.images(); }

Ref<NSMutableDictionary> RFRefreshGifHeader::stateDurations() { return m_images.durations(); }

void RFRefreshGifHeader::setImages(const Ref<NSArray>& images, NSTimeInterval duration, RefreshState state)
{
    m_images.set(images, duration, state, *this);
}

void RFRefreshGifHeader::setImages(const Ref<NSArray>& images, RefreshState state) { m_images.set(images, state, *this); }

void RFRefreshGifHeader::setPullingPercent(CGFloat pullingPercent)
{
    RFRefreshStateHeader::setPullingPercent(pullingPercent);
    m_images.followPull(*this, state(), pullingPercent);
}

void RFRefreshGifHeader::placeSubviews()
{
    RFRefreshStateHeader::placeSubviews();
    m_images.place(*this, !(stateLabel()->isHidden() && lastUpdatedTimeLabel()->isHidden()));
}

void RFRefreshGifHeader::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshStateHeader::setState(state);
    if (state == RefreshStatePulling || state == RefreshStateRefreshing)
        m_images.play(*this, state, dv::internal::toolkit::GifImages::View::AsItIs);
    else if (state == RefreshStateIdle)
        gifView()->stopAnimating();
}
