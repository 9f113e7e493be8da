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

constexpr NSTimeInterval kSecondsPerImage = 0.1;
// The images stand this far left of the middle, beside the text.
constexpr CGFloat kImagesBesideText = 90;

} // namespace

Ref<UIImageView> RFRefreshGifHeader::gifView()
{
    if (auto existing = m_gifView.lock())
        return existing;
    auto made = alloc<UIImageView>()->init();
    addSubview(made);
    m_gifView = made;
    return made;
}

Ref<NSMutableDictionary> RFRefreshGifHeader::stateImages()
{
    if (!m_stateImages)
        m_stateImages = NSMutableDictionary::dictionary();
    return m_stateImages;
}

Ref<NSMutableDictionary> RFRefreshGifHeader::stateDurations()
{
    if (!m_stateDurations)
        m_stateDurations = NSMutableDictionary::dictionary();
    return m_stateDurations;
}

void RFRefreshGifHeader::setImages(const Ref<NSArray>& images, NSTimeInterval duration, RefreshState state)
{
    if (!images)
        return;
    stateImages()->setObjectForKeyedSubscript(images, NSNumber::numberWithInteger(state));
    stateDurations()->setObjectForKeyedSubscript(NSNumber::numberWithDouble(duration), NSNumber::numberWithInteger(state));
    auto first = images->count() > 0 ? dv::as<UIImage>(images->firstObject()) : nil;
    if (first && first->size().height > rf_h(this))
        setMj_h(this, first->size().height);
}

void RFRefreshGifHeader::setImages(const Ref<NSArray>& images, RefreshState state)
{
    if (!images)
        return;
    setImages(images, NSTimeInterval(images->count()) * kSecondsPerImage, state);
}

Ref<NSArray> RFRefreshGifHeader::imagesForState(RefreshState state)
{
    return dv::as<NSArray>(stateImages()->objectForKey(NSNumber::numberWithInteger(state)));
}

void RFRefreshGifHeader::setPullingPercent(CGFloat pullingPercent)
{
    RFRefreshStateHeader::setPullingPercent(pullingPercent);
    auto images = imagesForState(RefreshStateIdle);
    if (state() != RefreshStateIdle || !images || images->count() == 0)
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
        auto images = imagesForState(state);
        if (!images || images->count() == 0)
            return;
        auto view = gifView();
        view->stopAnimating();
        if (images->count() == 1) {
            view->setImage(dv::as<UIImage>(images->lastObject()));
        } else {
            view->setAnimationImages(images);
            auto duration = dv::as<NSNumber>(stateDurations()->objectForKey(NSNumber::numberWithInteger(state)));
            view->setAnimationDuration(duration ? duration->doubleValue() : 0);
            view->startAnimating();
        }
    } else if (state == RefreshStateIdle) {
        gifView()->stopAnimating();
    }
}
