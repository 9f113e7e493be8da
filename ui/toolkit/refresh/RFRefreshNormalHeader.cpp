#include "ui/toolkit/refresh/RFRefreshNormalHeader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFRefreshNormalHeader)

using dv::internal::hasLayoutConstraints;

namespace {

// Pointing up.
const CGAffineTransform kArrowUp = CGAffineTransformMakeRotation(dv::internal::kRefreshArrowTurn);

} // namespace

Ref<UIImageView> RFRefreshNormalHeader::arrowView()
{
    return dv::internal::subviewMadeOnce(m_arrowView, *this, [] { return alloc<UIImageView>()->initWithImage(dv::internal::refreshArrowImage()); });
}

Ref<UIActivityIndicatorView> RFRefreshNormalHeader::loadingView()
{
    return dv::internal::subviewMadeOnce(m_loadingView, *this, [this] { return dv::internal::makeRefreshSpinner(m_activityIndicatorViewStyle); });
}

void RFRefreshNormalHeader::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    m_activityIndicatorViewStyle = style;
    dv::internal::dropSpinner(m_loadingView);
    setNeedsLayout();
}

void RFRefreshNormalHeader::prepare()
{
    RFRefreshStateHeader::prepare();
    setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleGray);
}

void RFRefreshNormalHeader::placeSubviews()
{
    RFRefreshStateHeader::placeSubviews();
    CGFloat centerX = rf_w(this) * 0.5;
    if (!stateLabel()->isHidden())
        centerX -= 100;
    const CGPoint center = CGPointMake(centerX, rf_h(this) * 0.5);
    auto arrow = arrowView();
    if (!hasLayoutConstraints(arrow)) {
        setRf_size(arrow.get(), arrow->image() ? arrow->image()->size() : CGSizeZero);
        arrow->setCenter(center);
    }
    auto loading = loadingView();
    if (!hasLayoutConstraints(loading))
        loading->setCenter(center);
}

void RFRefreshNormalHeader::setState(RefreshState state)
{
    const RefreshState oldState = this->state();
    if (state == oldState)
        return;
    RFRefreshStateHeader::setState(state);

    auto arrow = arrowView();
    auto loading = loadingView();
    if (state == RefreshStateIdle) {
        if (oldState == RefreshStateRefreshing) {
            arrow->setTransform(CGAffineTransformIdentity);
            Weak<RFRefreshNormalHeader> weak = self<RFRefreshNormalHeader>();
            Weak<UIActivityIndicatorView> weakLoading = loading;
            UIView::animateWithDuration(RFRefreshSlowAnimationDuration, [loading] { loading->setAlpha(0.0); },
                [weak, weakLoading](bool) {
                    auto header = weak.lock();
                    // A refresh that began again meanwhile keeps its spinner.
                    if (!header || header->state() != RefreshStateIdle)
                        return;
                    if (auto spinner = weakLoading.lock()) {
                        spinner->setAlpha(1.0);
                        spinner->stopAnimating();
                    }
                    header->arrowView()->setHidden(false);
                });
        } else {
            loading->stopAnimating();
            arrow->setHidden(false);
            UIView::animateWithDuration(RFRefreshFastAnimationDuration, [arrow] { arrow->setTransform(CGAffineTransformIdentity); });
        }
    } else if (state == RefreshStatePulling) {
        loading->stopAnimating();
        arrow->setHidden(false);
        UIView::animateWithDuration(RFRefreshFastAnimationDuration, [arrow] { arrow->setTransform(kArrowUp); });
    } else if (state == RefreshStateRefreshing) {
        loading->setAlpha(1.0);
        loading->startAnimating();
        arrow->setHidden(true);
    }
}
