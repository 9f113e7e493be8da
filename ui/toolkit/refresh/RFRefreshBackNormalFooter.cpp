#include "ui/toolkit/refresh/RFRefreshBackNormalFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

DV_DEFINE_CLASS(RFRefreshBackNormalFooter)

using dv::internal::hasLayoutConstraints;

namespace {

// The arrow image points down: turned, it points up, the way to pull.
const CGAffineTransform kArrowUp = CGAffineTransformMakeRotation(dv::internal::kRefreshArrowTurn);
// Arrow and spinner stand this far left of the middle, beside the text.
constexpr CGFloat kBesideText = 100;

} // namespace

Ref<UIImageView> RFRefreshBackNormalFooter::arrowView()
{
    return dv::internal::subviewMadeOnce(m_arrowView, *this, [] { return alloc<UIImageView>()->initWithImage(dv::internal::refreshArrowImage()); });
}

Ref<UIActivityIndicatorView> RFRefreshBackNormalFooter::loadingView()
{
    return dv::internal::subviewMadeOnce(m_loadingView, *this, [this] { return dv::internal::makeRefreshSpinner(m_activityIndicatorViewStyle); });
}

void RFRefreshBackNormalFooter::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    m_activityIndicatorViewStyle = style;
    dv::internal::dropSpinner(m_loadingView);
    setNeedsLayout();
}

void RFRefreshBackNormalFooter::prepare()
{
    RFRefreshBackStateFooter::prepare();
    setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleGray);
}

void RFRefreshBackNormalFooter::placeSubviews()
{
    RFRefreshBackStateFooter::placeSubviews();
    CGFloat centerX = rf_w(this) * 0.5;
    if (!stateLabel()->isHidden())
        centerX -= kBesideText;
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

void RFRefreshBackNormalFooter::setState(RefreshState state)
{
    const RefreshState oldState = this->state();
    if (state == oldState)
        return;
    RFRefreshBackStateFooter::setState(state);

    auto arrow = arrowView();
    auto loading = loadingView();
    switch (state) {
    case RefreshStateIdle:
        if (oldState == RefreshStateRefreshing) {
            arrow->setTransform(kArrowUp);
            Weak<RFRefreshBackNormalFooter> weak = self<RFRefreshBackNormalFooter>();
            Weak<UIActivityIndicatorView> weakLoading = loading;
            UIView::animateWithDuration(RFRefreshSlowAnimationDuration, [loading] { loading->setAlpha(0.0); },
                [weak, weakLoading](bool) {
                    auto footer = weak.lock();
                    // A refresh that began again meanwhile keeps its spinner.
                    if (!footer || footer->state() != RefreshStateIdle)
                        return;
                    if (auto spinner = weakLoading.lock()) {
                        spinner->setAlpha(1.0);
                        spinner->stopAnimating();
                    }
                    footer->arrowView()->setHidden(false);
                });
        } else {
            arrow->setHidden(false);
            loading->stopAnimating();
            UIView::animateWithDuration(RFRefreshFastAnimationDuration, [arrow] { arrow->setTransform(kArrowUp); });
        }
        break;
    case RefreshStatePulling:
        arrow->setHidden(false);
        loading->stopAnimating();
        UIView::animateWithDuration(RFRefreshFastAnimationDuration, [arrow] { arrow->setTransform(CGAffineTransformIdentity); });
        break;
    case RefreshStateRefreshing:
        arrow->setHidden(true);
        loading->setAlpha(1.0);
        loading->startAnimating();
        break;
    case RefreshStateNoMoreData:
        arrow->setHidden(true);
        loading->stopAnimating();
        break;
    default:
        break;
    }
}
