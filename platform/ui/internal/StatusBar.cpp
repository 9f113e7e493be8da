#include "platform/ui/internal/StatusBar.h"

#include "platform/base/KeptObjects.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDateFormatter.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIBezierPath.h"

#include <netinet/in.h>

#include <cmath>

namespace dv::internal::uikit {

namespace {

constexpr CGFloat kMargin = 6;

// Five dots of signal strength: all full, or all empty rings without service.
CGFloat drawSignal(CGFloat x, CGFloat middle, bool service, const Ref<UIColor>& ink)
{
    constexpr CGFloat dot = 5.5, gap = 1;
    ink->setStroke();
    for (int i = 0; i < 5; ++i) {
        const CGRect rect = CGRectMake(x + i * (dot + gap), middle - dot / 2, dot, dot);
        if (service) {
            UIBezierPath::bezierPathWithOvalInRect(rect)->fill();
        } else {
            auto ring = UIBezierPath::bezierPathWithOvalInRect(CGRectInset(rect, 0.5, 0.5));
            ring->setLineWidth(1);
            ring->stroke();
        }
    }
    return x + 5 * (dot + gap);
}

// The Wi-Fi fan: three arcs over a point, opening upwards.
CGFloat drawWiFi(CGFloat x, CGFloat middle, const Ref<UIColor>& ink)
{
    constexpr CGFloat width = 14;
    const CGPoint centre = CGPointMake(x + width / 2, middle + 4.5);
    ink->setStroke();
    for (int ring = 1; ring <= 3; ++ring) {
        auto arc = UIBezierPath::bezierPath();
        const CGFloat radius = 2.6 * ring;
        arc->addArcWithCenter(centre, radius, -M_PI * 0.75, -M_PI * 0.25, true);
        arc->setLineWidth(1.6);
        arc->setLineCapStyle(kCGLineCapRound);
        arc->stroke();
    }
    UIBezierPath::bezierPathWithOvalInRect(CGRectMake(centre.x - 1.2, centre.y - 1.2, 2.4, 2.4))->fill();
    return x + width;
}

// The network activity indicator: twelve spokes, fading round the circle (a still picture of
// the turning wheel, so that pictures of the screen stay the same).
void drawActivity(CGFloat x, CGFloat middle, bool light)
{
    const CGPoint centre = CGPointMake(x + 5, middle);
    for (int spoke = 0; spoke < 12; ++spoke) {
        const double angle = spoke * M_PI / 6 - M_PI / 2;
        auto line = UIBezierPath::bezierPath();
        line->moveToPoint(CGPointMake(centre.x + 2.4 * std::cos(angle), centre.y + 2.4 * std::sin(angle)));
        line->addLineToPoint(CGPointMake(centre.x + 5 * std::cos(angle), centre.y + 5 * std::sin(angle)));
        line->setLineWidth(1.4);
        line->setLineCapStyle(kCGLineCapRound);
        UIColor::colorWithWhite(light ? 1 : 0, 0.25 + 0.75 * (12 - spoke) / 12.0)->setStroke();
        line->stroke();
    }
}

// The battery, full, with its level in percent before it.
void drawBattery(CGFloat right, CGFloat middle, const Ref<UIColor>& ink, const Ref<UIFont>& font)
{
    const CGRect body = CGRectMake(right - 2 - 22, middle - 5, 22, 10);
    auto outline = UIBezierPath::bezierPathWithRoundedRect(CGRectInset(body, 0.5, 0.5), 2);
    outline->setLineWidth(1);
    ink->setStroke();
    outline->stroke();
    ink->setFill();
    UIBezierPath::bezierPathWithRect(CGRectInset(body, 2, 2))->fill();
    UIBezierPath::bezierPathWithRoundedRect(CGRectMake(CGRectGetMaxX(body) + 0.5, middle - 2, 1.5, 4), 0.5)->fill();
    dv::drawText("100%"_ns, CGRectMake(body.origin.x - 44, middle - 8, 40, 16), font, ink,
        { .alignment = NSTextAlignmentRight, .wrap = false, .centreVertically = true });
}

std::optional<std::string>& stillTime()
{
    static std::optional<std::string> time;
    return time;
}

// Whether the network can be reached now, as the reachability of the network in general says
// (the offline switch included). The reference is made on first use and kept for the process. It
// is scheduled on the main run loop so that a change comes to the loop as work of its own: the
// callback has nothing to do, but a window draws the screen again after a turn that did work.
bool networkReachable()
{
    static const Ref<SCNetworkReachability> network = dv::keepingForever([] {
        sockaddr_in any {};
        any.sin_family = AF_INET;
        auto reference = SCNetworkReachabilityCreateWithAddress(nil, reinterpret_cast<const sockaddr*>(&any));
        SCNetworkReachabilitySetCallback(reference, [](const Ref<SCNetworkReachability>&, SCNetworkReachabilityFlags, void*) {}, nullptr);
        SCNetworkReachabilityScheduleWithRunLoop(reference, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes);
        return reference;
    });
    SCNetworkReachabilityFlags flags = 0;
    return SCNetworkReachabilityGetFlags(network, &flags) && (flags & kSCNetworkReachabilityFlagsReachable);
}

} // namespace

void setStillStatusBarTime(std::optional<std::string> time) { stillTime() = std::move(time); }

StatusBarLook currentStatusBar(CGFloat groundLuminance)
{
    StatusBarLook look;
    look.lightContent = groundLuminance < 0.5;
    if (stillTime()) {
        // The machine's own interfaces differ from one machine to the next; the offline switch
        // is part of the run.
        look.service = !dv::networkSimulatedOffline();
        look.time = *stillTime();
        return look;
    }
    look.service = networkReachable();
    auto formatter = alloc<NSDateFormatter>()->init();
    formatter->setDateFormat("HH:mm"_ns);
    look.time = dv::str(formatter->stringFromDate(NSDate::dateWithTimeIntervalSinceReferenceDate(Clock::current().now())));
    look.activity = UIApplication::sharedApplication()->isNetworkActivityIndicatorVisible();
    return look;
}

void drawStatusBar(const StatusBarLook& look, CGRect rect)
{
    const Ref<UIColor> ink = look.lightContent ? UIColor::whiteColor() : UIColor::blackColor();
    const Ref<UIFont> font = UIFont::boldSystemFontOfSize(12);
    const CGFloat middle = CGRectGetMidY(rect);
    ink->setFill();
    CGFloat x = drawSignal(rect.origin.x + kMargin, middle, look.service, ink);
    if (look.service)
        x = drawWiFi(x + 4, middle, ink);
    if (look.activity)
        drawActivity(x + 4, middle, look.lightContent);
    dv::drawText(NSString::fromUTF8(look.time), CGRectMake(rect.origin.x, middle - 8, rect.size.width, 16), font, ink,
        { .alignment = NSTextAlignmentCenter, .wrap = false, .centreVertically = true });
    drawBattery(CGRectGetMaxX(rect) - kMargin, middle, ink, font);
}

} // namespace dv::internal::uikit
