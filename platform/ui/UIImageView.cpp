#include "platform/ui/UIImageView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/internal/ViewFormat.h"

#include <cmath>

DV_DEFINE_CLASS_WITH(UIImageView, b)
{
    b.property<Ref<UIImage>>("image", "T@\"UIImage\",&,N", [](const UIImageView& v) { return v.image(); },
        [](UIImageView& v, Ref<UIImage> image) { v.setImage(image); });
}

namespace {

// Frames of an animation without a duration show this long each.
constexpr NSTimeInterval kDefaultFrameTime = 1.0 / 30;

} // namespace

UIImageView::~UIImageView() { handleStopTimer(); }

Ref<UIImageView> UIImageView::init() { return initWithFrame(CGRectZero); }

Ref<UIImageView> UIImageView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    setUserInteractionEnabled(false);
    setOpaque(false);
    return self<UIImageView>();
}

Ref<UIImageView> UIImageView::initWithImage(const Ref<UIImage>& image)
{
    initWithFrame(image ? CGRect {CGPointZero, image->size()} : CGRectZero);
    setImage(image);
    return self<UIImageView>();
}

Ref<UIImageView> UIImageView::initWithImageHighlightedImage(const Ref<UIImage>& image, const Ref<UIImage>& highlightedImage)
{
    initWithImage(image);
    setHighlightedImage(highlightedImage);
    return self<UIImageView>();
}

void UIImageView::setImage(const Ref<UIImage>& image)
{
    if (image == m_image)
        return;
    m_image = image;
    handleShow();
    invalidateIntrinsicContentSize();
}

void UIImageView::setHighlightedImage(const Ref<UIImage>& image)
{
    if (image == m_highlightedImage)
        return;
    m_highlightedImage = image;
    if (m_highlighted)
        handleShow();
}

void UIImageView::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    handleShow();
}

void UIImageView::setAnimationImages(const Ref<NSArray>& images)
{
    m_animationImages = images && images->count() ? images : nil;
    if (!m_animationImages)
        m_userAnimating = false;
    if (m_userAnimating)
        startAnimating();
}

Ref<UIImage> UIImageView::handleStillImage() const { return m_highlighted && m_highlightedImage ? m_highlightedImage : m_image; }

void UIImageView::startAnimating()
{
    if (!m_animationImages)
        return;
    m_userAnimating = true;
    handleStopTimer(); // starts again from the first frame
    handleShow();
}

void UIImageView::stopAnimating()
{
    if (!m_userAnimating)
        return;
    m_userAnimating = false;
    handleStopTimer();
    handleShow();
}

bool UIImageView::isAnimating() const { return m_timer != nil; }

void UIImageView::handleStopTimer()
{
    if (m_timer)
        m_timer->invalidate();
    m_timer = nil;
    m_frames = nil;
}

void UIImageView::handleShow()
{
    Ref<NSArray> frames;
    NSTimeInterval duration = 0;
    NSInteger repeats = 0;
    auto still = handleStillImage();
    if (m_userAnimating) {
        frames = m_animationImages;
        duration = m_animationDuration;
        repeats = m_animationRepeatCount;
    } else if (still && still->images() && still->images()->count() > 1) {
        frames = still->images();
        duration = still->duration();
    }
    if (!frames) {
        handleStopTimer();
        setContentsImage(still);
        return;
    }
    if (frames == m_frames && m_timer)
        return; // already playing these
    handleStopTimer();
    m_frames = frames;
    const NSUInteger count = frames->count();
    m_frameTime = duration > 0 ? duration / NSTimeInterval(count) : kDefaultFrameTime;
    m_runTime = repeats > 0 ? m_frameTime * NSTimeInterval(count) * NSTimeInterval(repeats) : 0;
    m_startTime = dv::Clock::current().now();
    Weak<UIImageView> weak = self<UIImageView>();
    m_timer = NSTimer::timerWithTimeInterval(m_frameTime, true, [weak](const Ref<NSTimer>&) {
        if (auto me = weak.lock())
            me->handleTick();
    });
    NSRunLoop::mainRunLoop()->addTimer(m_timer, NSRunLoopCommonModes);
    handleTick();
}

void UIImageView::handleTick()
{
    if (!m_frames)
        return;
    const NSTimeInterval elapsed = dv::Clock::current().now() - m_startTime;
    if (m_runTime > 0 && elapsed >= m_runTime - 1e-9) {
        m_userAnimating = false;
        handleStopTimer();
        setContentsImage(handleStillImage());
        return;
    }
    const NSUInteger count = m_frames->count();
    const auto index = NSUInteger(std::floor(elapsed / m_frameTime + 1e-9)) % count;
    setContentsImage(dv::as<UIImage>(m_frames->objectAtIndex(index)));
}

CGSize UIImageView::sizeThatFits(CGSize) const
{
    auto image = handleStillImage();
    if (!image && m_animationImages)
        image = dv::as<UIImage>(m_animationImages->objectAtIndex(0));
    return image ? image->size() : CGSizeZero;
}

CGSize UIImageView::intrinsicContentSize() const
{
    auto size = sizeThatFits(CGSizeZero);
    return handleStillImage() || m_animationImages ? size : CGSizeMake(UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric);
}

void UIImageView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    using dv::internal::uikit::ViewFormat;
    if (auto image = handleStillImage())
        fields.emplace_back("image", ViewFormat::number(image->size().width) + "x" + ViewFormat::number(image->size().height));
    if (isAnimating())
        fields.emplace_back("animating", "");
    UIView::appendDescriptionFields(fields);
    ViewFormat::appendImage(fields, m_image);
    if (m_animationImages && m_animationImages->count() > 0) {
        fields.emplace_back("frames", std::to_string(m_animationImages->count()));
        fields.emplace_back("duration", ViewFormat::number(m_animationDuration));
    }
}
