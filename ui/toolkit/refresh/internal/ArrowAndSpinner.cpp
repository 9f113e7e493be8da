#include "ui/toolkit/refresh/internal/ArrowAndSpinner.h"

#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "ui/toolkit/refresh/RFRefreshComponent.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

namespace dv::internal::toolkit {

Ref<UIImageView> ArrowAndSpinner::arrow(UIView& host)
{
    return subviewMadeOnce(m_arrow, host, [] { return alloc<UIImageView>()->initWithImage(refreshArrowImage()); });
}

Ref<UIActivityIndicatorView> ArrowAndSpinner::spinner(UIView& host)
{
    return subviewMadeOnce(m_spinner, host, [this] { return makeRefreshSpinner(m_style); });
}

void ArrowAndSpinner::setStyle(UIActivityIndicatorViewStyle style)
{
    m_style = style;
    dropSpinner(m_spinner);
}

void ArrowAndSpinner::place(UIView& host, CGPoint center)
{
    auto arrowView = arrow(host);
    if (!hasLayoutConstraints(arrowView)) {
        setRf_size(arrowView.get(), arrowView->image() ? arrowView->image()->size() : CGSizeZero);
        arrowView->setCenter(center);
    }
    auto spinnerView = spinner(host);
    if (!hasLayoutConstraints(spinnerView))
        spinnerView->setCenter(center);
}

void ArrowAndSpinner::show(RFRefreshComponent& host, RefreshState state, RefreshState previous)
{
    auto arrowView = arrow(host);
    auto spinnerView = spinner(host);
    auto turnArrow = [&](CGAffineTransform turn) {
        arrowView->setHidden(false);
        spinnerView->stopAnimating();
        UIView::animateWithDuration(RFRefreshFastAnimationDuration, [arrowView, turn] { arrowView->setTransform(turn); });
    };
    switch (state) {
    case RefreshStateIdle:
        if (previous != RefreshStateRefreshing) {
            turnArrow(m_atRest);
            break;
        }
        // The refresh ended: the spinner fades out, then the arrow comes back.
        arrowView->setTransform(m_atRest);
        UIView::animateWithDuration(RFRefreshSlowAnimationDuration, [spinnerView] { spinnerView->setAlpha(0.0); },
            // The parts are the host's: alive as long as it is.
            [this, weakHost = Weak<RFRefreshComponent>(host.self<RFRefreshComponent>()),
                weakSpinner = Weak<UIActivityIndicatorView>(spinnerView)](bool) {
                auto owner = weakHost.lock();
                // A refresh that began again meanwhile keeps its spinner.
                if (!owner || owner->state() != RefreshStateIdle)
                    return;
                if (auto spinning = weakSpinner.lock()) {
                    spinning->setAlpha(1.0);
                    spinning->stopAnimating();
                }
                arrow(*owner)->setHidden(false);
            });
        break;
    case RefreshStatePulling:
        turnArrow(m_pulled);
        break;
    case RefreshStateRefreshing:
        arrowView->setHidden(true);
        spinnerView->setAlpha(1.0);
        spinnerView->startAnimating();
        break;
    case RefreshStateNoMoreData:
        arrowView->setHidden(true);
        spinnerView->stopAnimating();
        break;
    default:
        break;
    }
}

} // namespace dv::internal::toolkit
