#include "ui/toolkit/overlay/PHBarProgressView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "ui/toolkit/overlay/internal/OverlaySupport.h"

#include <cmath>
#include <numbers>

DV_DEFINE_CLASS_WITH(PHBarProgressView, b)
{
    b.property<float>("progress", "Tf,N", [](const PHBarProgressView& v) { return v.progress(); },
        [](PHBarProgressView& v, float p) { v.setProgress(p); });
    b.property<Ref<UIColor>>("lineColor", "T@\"UIColor\",&,N", [](const PHBarProgressView& v) { return v.lineColor(); },
        [](PHBarProgressView& v, Ref<UIColor> c) { v.setLineColor(c); });
    b.property<Ref<UIColor>>("progressRemainingColor", "T@\"UIColor\",&,N",
        [](const PHBarProgressView& v) { return v.progressRemainingColor(); },
        [](PHBarProgressView& v, Ref<UIColor> c) { v.setProgressRemainingColor(c); });
    b.property<Ref<UIColor>>("progressColor", "T@\"UIColor\",&,N", [](const PHBarProgressView& v) { return v.progressColor(); },
        [](PHBarProgressView& v, Ref<UIColor> c) { v.setProgressColor(c); });
}

namespace {

constexpr CGFloat kPi = std::numbers::pi;

// The upper or lower half of the inner capsule's left cap: from the middle of the left edge round
// the corner to where the straight part begins (y is 4 for the upper half, h - 4 for the lower).
void addLeftCapHalf(const CGContextRef& c, CGFloat h, CGFloat r, CGFloat y)
{
    CGContextMoveToPoint(c, 4, h / 2);
    CGContextAddArcToPoint(c, 4, y, r + 4, y, r);
}

} // namespace

PHBarProgressView::~PHBarProgressView() { unregisterFromKVO(); }

Ref<PHBarProgressView> PHBarProgressView::init() { return initWithFrame(CGRectMake(0, 0, 120, 20)); }

Ref<PHBarProgressView> PHBarProgressView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    m_progress = 0;
    m_lineColor = UIColor::whiteColor();
    m_progressColor = UIColor::whiteColor();
    m_progressRemainingColor = UIColor::clearColor();
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    registerForKVO();
    return self<PHBarProgressView>();
}

void PHBarProgressView::setProgress(float progress)
{
    changeValueForKey("progress", [&] { m_progress = progress; });
}

void PHBarProgressView::setLineColor(const Ref<UIColor>& color)
{
    changeValueForKey("lineColor", [&] { m_lineColor = color; });
}

void PHBarProgressView::setProgressRemainingColor(const Ref<UIColor>& color)
{
    changeValueForKey("progressRemainingColor", [&] { m_progressRemainingColor = color; });
}

void PHBarProgressView::setProgressColor(const Ref<UIColor>& color)
{
    changeValueForKey("progressColor", [&] { m_progressColor = color; });
}

const std::vector<const char*>& PHBarProgressView::observableKeypaths()
{
    static const std::vector<const char*> keys {"lineColor", "progressRemainingColor", "progressColor", "progress"};
    return keys;
}

void PHBarProgressView::registerForKVO()
{
    if (!m_observations.empty())
        return; // initialised twice
    Weak<PHBarProgressView> weak = self<PHBarProgressView>();
    for (const char* key : observableKeypaths())
        m_observations.push_back(observe(key, 0, [weak](const id&, const dv::KeyValueChange&) {
            dv::internal::toolkit::redrawOnMainThread(weak);
        }));
}

void PHBarProgressView::unregisterFromKVO()
{
    for (auto& token : std::exchange(m_observations, {}))
        removeObservation(token);
}

void PHBarProgressView::drawRect(CGRect rect)
{
    const CGContextRef c = UIGraphicsGetCurrentContext();
    const CGFloat w = rect.size.width, h = rect.size.height;
    auto colour = [](const Ref<UIColor>& color) { return (color ? color : UIColor::clearColor())->CGColor(); };

    // The outline and what is left to do: the outer capsule, 2 points inside the rectangle.
    CGContextSetLineWidth(c, 2);
    CGContextSetStrokeColorWithColor(c, colour(m_lineColor));
    CGContextSetFillColorWithColor(c, colour(m_progressRemainingColor));
    const float R = float(h / 2) - 2;
    auto addOuterCapsule = [&] {
        CGContextMoveToPoint(c, 2, h / 2);
        CGContextAddArcToPoint(c, 2, 2, R + 2, 2, R);
        CGContextAddLineToPoint(c, w - R - 2, 2);
        CGContextAddArcToPoint(c, w - 2, 2, w - 2, h / 2, R);
        CGContextAddArcToPoint(c, w - 2, h - 2, w - R - 2, h - 2, R);
        CGContextAddLineToPoint(c, R + 2, h - 2);
        CGContextAddArcToPoint(c, 2, h - 2, 2, h / 2, R);
    };
    addOuterCapsule();
    CGContextFillPath(c);
    addOuterCapsule();
    CGContextStrokePath(c);

    // The progress: the inner capsule (radius r, 4 points inside) up to a = w · progress.
    CGContextSetFillColorWithColor(c, colour(m_progressColor));
    const CGFloat r = R - 2;
    const CGFloat a = float(w) * m_progress.load();
    const CGFloat rightCapStart = w - r - 4;
    if (a >= r + 4 && a <= rightCapStart) {
        for (CGFloat y : {CGFloat(4), h - 4}) {
            addLeftCapHalf(c, h, r, y);
            CGContextAddLineToPoint(c, a, y);
            CGContextAddLineToPoint(c, a, h / 2);
        }
        CGContextFillPath(c);
    } else if (a > r + 4) {
        // Past the straight part (a > w - r - 4), into the right cap: each half follows the
        // cap's curve to where the progress ends.
        const CGFloat x = a - rightCapStart;
        CGFloat angle = std::acos(x / r);
        if (std::isnan(angle))
            angle = 0;
        addLeftCapHalf(c, h, r, 4);
        CGContextAddLineToPoint(c, rightCapStart, 4);
        CGContextAddArc(c, rightCapStart, h / 2, r, kPi, -angle, 0);
        CGContextAddLineToPoint(c, a, h / 2);
        addLeftCapHalf(c, h, r, h - 4);
        CGContextAddLineToPoint(c, rightCapStart, h - 4);
        CGContextAddArc(c, rightCapStart, h / 2, r, -kPi, angle, 1);
        CGContextAddLineToPoint(c, a, h / 2);
        CGContextFillPath(c);
    } else if (a > 0 && a < r + 4) {
        // Any progress at all shows the whole left cap.
        for (CGFloat y : {CGFloat(4), h - 4}) {
            addLeftCapHalf(c, h, r, y);
            CGContextAddLineToPoint(c, r + 4, h / 2);
        }
        CGContextFillPath(c);
    }
}

void PHBarProgressView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    fields.emplace_back("progress", dv::internal::toolkit::formatNumber(m_progress.load()));
    UIView::appendDescriptionFields(fields);
}
