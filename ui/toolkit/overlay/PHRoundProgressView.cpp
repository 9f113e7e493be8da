#include "ui/toolkit/overlay/PHRoundProgressView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/ui/UIBezierPath.h"
#include "ui/toolkit/overlay/internal/OverlaySupport.h"

#include <numbers>

DV_DEFINE_CLASS_WITH(PHRoundProgressView, b)
{
    b.property<float>("progress", "Tf,N", [](const PHRoundProgressView& v) { return v.progress(); },
        [](PHRoundProgressView& v, float p) { v.setProgress(p); });
    b.property<Ref<UIColor>>("progressTintColor", "T@\"UIColor\",&,N", [](const PHRoundProgressView& v) { return v.progressTintColor(); },
        [](PHRoundProgressView& v, Ref<UIColor> c) { v.setProgressTintColor(c); });
    b.property<Ref<UIColor>>("backgroundTintColor", "T@\"UIColor\",&,N",
        [](const PHRoundProgressView& v) { return v.backgroundTintColor(); },
        [](PHRoundProgressView& v, Ref<UIColor> c) { v.setBackgroundTintColor(c); });
    b.property<bool>("annular", "TB,N,GisAnnular", [](const PHRoundProgressView& v) { return v.isAnnular(); },
        [](PHRoundProgressView& v, bool a) { v.setAnnular(a); });
}

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

} // namespace

PHRoundProgressView::~PHRoundProgressView() { unregisterFromKVO(); }

Ref<PHRoundProgressView> PHRoundProgressView::init() { return initWithFrame(CGRectMake(0, 0, 37, 37)); }

Ref<PHRoundProgressView> PHRoundProgressView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    m_progress = 0;
    m_progressTintColor = UIColor::colorWithWhite(1, 1);
    m_backgroundTintColor = UIColor::colorWithWhite(1, 0.1);
    m_annular = false;
    registerForKVO();
    return self<PHRoundProgressView>();
}

void PHRoundProgressView::setProgress(float progress)
{
    changeValueForKey("progress", [&] { m_progress = progress; });
}

void PHRoundProgressView::setProgressTintColor(const Ref<UIColor>& color)
{
    changeValueForKey("progressTintColor", [&] { m_progressTintColor = color; });
}

void PHRoundProgressView::setBackgroundTintColor(const Ref<UIColor>& color)
{
    changeValueForKey("backgroundTintColor", [&] { m_backgroundTintColor = color; });
}

void PHRoundProgressView::setAnnular(bool annular)
{
    changeValueForKey("annular", [&] { m_annular = annular; });
}

const std::vector<const char*>& PHRoundProgressView::observableKeypaths()
{
    static const std::vector<const char*> keys {"progressTintColor", "backgroundTintColor", "progress", "annular"};
    return keys;
}

void PHRoundProgressView::registerForKVO()
{
    if (!m_observations.empty())
        return; // initialised twice
    Weak<PHRoundProgressView> weak = self<PHRoundProgressView>();
    for (const char* key : observableKeypaths())
        m_observations.push_back(observe(key, 0, [weak](const id&, const dv::KeyValueChange&) {
            dv::internal::toolkit::redrawOnMainThread(weak);
        }));
}

void PHRoundProgressView::unregisterFromKVO()
{
    for (auto& token : std::exchange(m_observations, {}))
        removeObservation(token);
}

void PHRoundProgressView::drawRect(CGRect)
{
    const CGRect all = bounds();
    const CGFloat w = all.size.width, h = all.size.height;
    const CGPoint centre = CGPointMake(w / 2, h / 2);
    const Ref<UIColor> tint = m_progressTintColor ? m_progressTintColor : UIColor::clearColor();
    const Ref<UIColor> track = m_backgroundTintColor ? m_backgroundTintColor : UIColor::clearColor();
    // The arc starts at the top and runs clockwise on screen.
    const float start = -kPi / 2;

    if (m_annular) {
        const CGFloat lineWidth = 2;
        const CGFloat radius = (w - lineWidth) / 2;
        auto ring = UIBezierPath::bezierPath();
        ring->setLineWidth(lineWidth);
        ring->setLineCapStyle(kCGLineCapButt);
        ring->addArcWithCenter(centre, radius, start, 3 * kPi / 2, true);
        track->setStroke();
        ring->stroke();

        auto arc = UIBezierPath::bezierPath();
        arc->setLineWidth(lineWidth);
        arc->setLineCapStyle(kCGLineCapSquare);
        const float end = m_progress.load() * 2 * kPi + start;
        arc->addArcWithCenter(centre, radius, start, end, true);
        tint->setStroke();
        arc->stroke();
        return;
    }

    const CGContextRef context = UIGraphicsGetCurrentContext();
    const CGRect circle = CGRectInset(all, 2, 2);
    CGContextSetStrokeColorWithColor(context, tint->CGColor());
    CGContextSetFillColorWithColor(context, track->CGColor());
    CGContextSetLineWidth(context, 2);
    CGContextFillEllipseInRect(context, circle);
    CGContextStrokeEllipseInRect(context, circle);

    CGContextSetFillColorWithColor(context, tint->CGColor());
    const float end = m_progress.load() * 2 * kPi + start;
    CGContextMoveToPoint(context, centre.x, centre.y);
    CGContextAddArc(context, centre.x, centre.y, (w - 4) / 2, start, end, 0);
    CGContextClosePath(context);
    CGContextFillPath(context);
}

void PHRoundProgressView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    fields.emplace_back("progress", dv::internal::toolkit::formatNumber(m_progress.load()));
    if (m_annular)
        fields.emplace_back("annular", "");
    UIView::appendDescriptionFields(fields);
}
