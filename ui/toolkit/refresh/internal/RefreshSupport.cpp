#include "ui/toolkit/refresh/internal/RefreshSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

#include <cstdint>
#include <vector>

Ref<UIImage> dv::internal::toolkit::refreshArrowImage()
{
    auto bundled = NSString::fromUTF8("RFRefresh.bundle")->stringByAppendingPathComponent("arrow.png"_ns);
    if (auto image = UIImage::imageNamed(bundled))
        return image;
    auto framework = NSString::fromUTF8("Frameworks/RFRefresh.framework/RFRefresh.bundle")->stringByAppendingPathComponent("arrow.png"_ns);
    return UIImage::imageNamed(framework);
}

Ref<NSArray> dv::internal::toolkit::demonstrationImages()
{
    std::vector<id> images;
    for (unsigned long i = 1; i <= 3; ++i)
        if (auto image = UIImage::imageNamed(NSString::stringWithFormat("re%lu", i)))
            images.push_back(image);
    return NSArray::fromVector(std::move(images));
}

bool dv::internal::toolkit::hasLayoutConstraints(const Ref<UIView>& view) { return view && view->constraints()->count() > 0; }

NSUInteger dv::internal::toolkit::imageIndexForPullingPercent(NSUInteger count, CGFloat percent)
{
    if (count == 0)
        return 0;
    const CGFloat position = CGFloat(count) * percent;
    if (position >= CGFloat(count)) // infinity included
        return count - 1;
    if (position > 0) // a NaN fails this too
        return NSUInteger(position);
    return 0;
}

Ref<UIActivityIndicatorView> dv::internal::toolkit::makeRefreshSpinner(UIActivityIndicatorViewStyle style)
{
    auto spinner = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(style);
    spinner->setHidesWhenStopped(true);
    return spinner;
}

void dv::internal::toolkit::dropSpinner(Weak<UIActivityIndicatorView>& slot)
{
    if (auto old = slot.lock())
        old->removeFromSuperview();
    slot.reset();
}

void dv::internal::toolkit::dispatchAfterOnMainQueue(NSTimeInterval delay, std::function<void()> block)
{
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, std::int64_t(delay * NSEC_PER_SEC)), dispatch_get_main_queue(), std::move(block));
}

// Titles

Ref<NSMutableDictionary> dv::internal::toolkit::StateTitles::dictionary()
{
    if (!m_titles)
        m_titles = NSMutableDictionary::dictionary();
    return m_titles;
}

bool dv::internal::toolkit::StateTitles::set(const Ref<NSString>& title, RefreshState state)
{
    if (!title)
        return false;
    dictionary()->setObjectForKeyedSubscript(title, NSNumber::numberWithInteger(state));
    return true;
}

Ref<NSString> dv::internal::toolkit::StateTitles::title(RefreshState state)
{
    return dv::as<NSString>(dictionary()->objectForKeyedSubscript(NSNumber::numberWithInteger(state)));
}

// Images

Ref<NSMutableDictionary> dv::internal::toolkit::StateImages::images()
{
    if (!m_images)
        m_images = NSMutableDictionary::dictionary();
    return m_images;
}

Ref<NSMutableDictionary> dv::internal::toolkit::StateImages::durations()
{
    if (!m_durations)
        m_durations = NSMutableDictionary::dictionary();
    return m_durations;
}

bool dv::internal::toolkit::StateImages::set(const Ref<NSArray>& sequence, NSTimeInterval duration, RefreshState state, UIView& owner)
{
    if (!sequence)
        return false;
    images()->setObjectForKeyedSubscript(sequence, NSNumber::numberWithInteger(state));
    durations()->setObjectForKeyedSubscript(NSNumber::numberWithDouble(duration), NSNumber::numberWithInteger(state));
    auto first = sequence->count() > 0 ? dv::as<UIImage>(sequence->firstObject()) : nil;
    if (first && first->size().height > rf_h(&owner))
        setRf_h(&owner, first->size().height);
    return true;
}

Ref<NSArray> dv::internal::toolkit::StateImages::imagesFor(RefreshState state)
{
    auto stored = dv::as<NSArray>(images()->objectForKeyedSubscript(NSNumber::numberWithInteger(state)));
    return stored && stored->count() > 0 ? stored : nil;
}

NSTimeInterval dv::internal::toolkit::StateImages::durationFor(RefreshState state)
{
    auto stored = dv::as<NSNumber>(durations()->objectForKeyedSubscript(NSNumber::numberWithInteger(state)));
    return stored ? stored->doubleValue() : 0;
}

void dv::internal::toolkit::playImages(UIImageView& view, const Ref<NSArray>& images, NSTimeInterval duration)
{
    view.stopAnimating();
    if (images->count() == 1) {
        view.setImage(dv::as<UIImage>(images->lastObject()));
        return;
    }
    view.setAnimationImages(images);
    view.setAnimationDuration(duration);
    view.startAnimating();
}

namespace {
// The Gif images stand this far left of the middle, beside the text.
constexpr CGFloat kImagesBesideText = 90;
} // namespace

Ref<UIImageView> dv::internal::toolkit::GifImages::view(UIView& host)
{
    return subviewMadeOnce(m_view, host, [] { return alloc<UIImageView>()->init(); });
}

void dv::internal::toolkit::GifImages::set(const Ref<NSArray>& sequence, RefreshState state, UIView& host)
{
    if (sequence)
        set(sequence, NSTimeInterval(sequence->count()) * kSecondsPerImage, state, host);
}

void dv::internal::toolkit::GifImages::followPull(UIView& host, RefreshState state, CGFloat pullingPercent)
{
    auto images = imagesFor(RefreshStateIdle);
    if (state != RefreshStateIdle || !images)
        return;
    auto shown = view(host);
    shown->stopAnimating();
    shown->setImage(dv::as<UIImage>(images->objectAtIndex(imageIndexForPullingPercent(images->count(), pullingPercent))));
}

void dv::internal::toolkit::GifImages::place(UIView& host, bool textShown)
{
    auto shown = view(host);
    if (hasLayoutConstraints(shown))
        return;
    // One frame set: a size that changed on the way would ask for this layout again.
    CGRect frame = host.bounds();
    if (!textShown) {
        shown->setContentMode(UIViewContentModeCenter);
    } else {
        shown->setContentMode(UIViewContentModeRight);
        frame.size.width = rf_w(&host) * 0.5 - kImagesBesideText;
    }
    shown->setFrame(frame);
}

bool dv::internal::toolkit::GifImages::play(UIView& host, RefreshState state, View visibility)
{
    auto images = imagesFor(state);
    if (!images)
        return false;
    auto shown = view(host);
    if (visibility == View::Shown)
        shown->setHidden(false);
    playImages(*shown, images, durationFor(state));
    return true;
}
