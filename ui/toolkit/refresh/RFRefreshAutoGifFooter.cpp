#include "ui/toolkit/refresh/RFRefreshAutoGifFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"

DV_DEFINE_CLASS(RFRefreshAutoGifFooter)

Ref<UIImageView> RFRefreshAutoGifFooter::gifView() { return m_images.view(*this); }

Ref<NSMutableDictionary> RFRefreshAutoGifFooter::stateImages() { return m_images.images(); }

Ref<NSMutableDictionary> RFRefreshAutoGifFooter::stateDurations() { return m_images.durations(); }

void RFRefreshAutoGifFooter::setImages(const Ref<NSArray>& images, NSTimeInterval duration, RefreshState state)
{
    m_images.set(images, duration, state, *this);
}

void RFRefreshAutoGifFooter::setImages(const Ref<NSArray>& images, RefreshState state) { m_images.set(images, state, *this); }

void RFRefreshAutoGifFooter::placeSubviews()
{
    RFRefreshAutoStateFooter::placeSubviews();
    m_images.place(*this, !isRefreshingTitleHidden());
}

void RFRefreshAutoGifFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshAutoStateFooter::setState(state);
    if (state == RefreshStateRefreshing) {
        m_images.play(*this, state, dv::internal::toolkit::GifImages::View::Shown);
    } else if (state == RefreshStateIdle || state == RefreshStateNoMoreData) {
        auto view = gifView();
        view->stopAnimating();
        view->setHidden(true);
    }
}
