// The overlay's looks: its labels and indicator, the layout of the box's contents, the drawing of
// the box and the dimming, the observation of its own properties and the orientation.
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/Scope.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/CGColorSpace.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGGradient.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/overlay/PHBarProgressView.h"
#include "ui/toolkit/overlay/PHRoundProgressView.h"
#include "ui/toolkit/overlay/internal/OverlaySupport.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <string>

namespace {

constexpr CGFloat kPadding = 4;
constexpr CGFloat kPi = std::numbers::pi;

bool isEmpty(const Ref<NSString>& text) { return !text || text->length() == 0; }

// Sets the current progress on a determinate indicator the way the overlay always hands it over:
// by key, when the indicator has a progress to set.
void passProgress(const Ref<UIView>& indicator, float progress)
{
    if (indicator && indicator->respondsToSelector(SEL("setProgress:")))
        indicator->setValueForKey(NSNumber::numberWithFloat(progress), "progress"_ns);
}

} // namespace

// MARK: - Subviews

void PHProgressHUD::setupLabels()
{
    m_label = alloc<UILabel>()->initWithFrame(bounds());
    m_label->setAdjustsFontSizeToFitWidth(false);
    m_label->setTextAlignment(NSTextAlignmentCenter);
    m_label->setOpaque(false);
    m_label->setBackgroundColor(UIColor::clearColor());
    m_label->setTextColor(labelColor());
    m_label->setFont(labelFont());
    m_label->setText(labelText());
    addSubview(m_label);

    m_detailsLabel = alloc<UILabel>()->initWithFrame(bounds());
    m_detailsLabel->setFont(detailsLabelFont());
    m_detailsLabel->setAdjustsFontSizeToFitWidth(false);
    m_detailsLabel->setTextAlignment(NSTextAlignmentCenter);
    m_detailsLabel->setOpaque(false);
    m_detailsLabel->setBackgroundColor(UIColor::clearColor());
    m_detailsLabel->setTextColor(detailsLabelColor());
    m_detailsLabel->setNumberOfLines(0);
    m_detailsLabel->setText(detailsLabelText());
    addSubview(m_detailsLabel);
}

void PHProgressHUD::updateIndicators()
{
    const Ref<UIColor> tint = activityIndicatorColor();
    auto replaceIndicator = [this](const Ref<UIView>& indicator) {
        if (m_indicator)
            m_indicator->removeFromSuperview();
        m_indicator = indicator;
        if (indicator)
            addSubview(indicator);
    };
    switch (mode()) {
    case PHProgressHUDModeIndeterminate: {
        auto spinner = dv::as<UIActivityIndicatorView>(m_indicator);
        if (!spinner) {
            spinner = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleWhiteLarge);
            spinner->startAnimating();
            replaceIndicator(spinner);
        }
        spinner->setColor(tint);
        break;
    }
    case PHProgressHUDModeDeterminate:
    case PHProgressHUDModeAnnularDeterminate: {
        auto round = dv::as<PHRoundProgressView>(m_indicator);
        if (!round) {
            round = alloc<PHRoundProgressView>()->init();
            // A new indicator starts at the overlay's progress, not at nothing.
            round->setProgress(progress());
            replaceIndicator(round);
        }
        // The pie mode keeps the ring look of an indicator it takes over from the annular mode.
        if (mode() == PHProgressHUDModeAnnularDeterminate)
            round->setAnnular(true);
        round->setProgressTintColor(tint);
        round->setBackgroundTintColor(tint ? tint->colorWithAlphaComponent(0.1) : nil);
        break;
    }
    case PHProgressHUDModeDeterminateHorizontalBar: {
        auto bar = alloc<PHBarProgressView>()->init();
        bar->setProgress(progress());
        replaceIndicator(bar);
        break;
    }
    case PHProgressHUDModeCustomView: {
        auto custom = customView();
        if (custom != m_indicator)
            replaceIndicator(custom);
        break;
    }
    case PHProgressHUDModeText:
        replaceIndicator(nil);
        break;
    }
}

// MARK: - Layout and drawing

void PHProgressHUD::layoutSubviews()
{
    UIView::layoutSubviews();
    if (auto parent = superview())
        setFrame(parent->bounds());
    const CGRect all = bounds();
    const CGFloat W = all.size.width, H = all.size.height;
    const CGFloat m = m_margin;
    const CGFloat maxWidth = W - 4 * m;
    CGSize total = CGSizeZero;

    CGRect indicatorFrame = m_indicator ? m_indicator->bounds() : CGRectZero;
    indicatorFrame.size.width = std::min(indicatorFrame.size.width, maxWidth);
    total.width = std::max(total.width, indicatorFrame.size.width);
    total.height += indicatorFrame.size.height;

    CGSize labelSize = CGSizeZero;
    if (!isEmpty(m_label->text()))
        labelSize = sizeWithAttributes(m_label->text(), NSDictionary::of({{NSFontAttributeName, m_label->font()}}));
    labelSize.width = std::min(labelSize.width, maxWidth);
    total.width = std::max(total.width, labelSize.width);
    total.height += labelSize.height;
    if (labelSize.height > 0 && indicatorFrame.size.height > 0)
        total.height += kPadding;

    CGSize detailsSize = CGSizeZero;
    if (!isEmpty(m_detailsLabel->text())) {
        const CGSize limit = CGSizeMake(maxWidth, H - total.height - kPadding - 4 * m);
        detailsSize = boundingRectWithSize(m_detailsLabel->text(), limit, NSStringDrawingUsesLineFragmentOrigin,
            NSDictionary::of({{NSFontAttributeName, m_detailsLabel->font()}}), nil).size;
    }
    total.width = std::max(total.width, detailsSize.width);
    total.height += detailsSize.height;
    if (detailsSize.height > 0 && (indicatorFrame.size.height > 0 || labelSize.height > 0))
        total.height += kPadding;

    total.width += 2 * m;
    total.height += 2 * m;

    // std::round takes halves away from zero.
    CGFloat y = std::round((H - total.height) / 2) + m + m_yOffset;
    indicatorFrame.origin = CGPointMake(std::round((W - indicatorFrame.size.width) / 2) + m_xOffset, y);
    if (m_indicator)
        m_indicator->setFrame(indicatorFrame);
    y += indicatorFrame.size.height;
    if (labelSize.height > 0 && indicatorFrame.size.height > 0)
        y += kPadding;

    m_label->setFrame(CGRectMake(std::round((W - labelSize.width) / 2) + m_xOffset, y, labelSize.width, labelSize.height));
    y += labelSize.height;
    if (detailsSize.height > 0 && (indicatorFrame.size.height > 0 || labelSize.height > 0))
        y += kPadding;
    m_detailsLabel->setFrame(CGRectMake(std::round((W - detailsSize.width) / 2) + m_xOffset, y, detailsSize.width, detailsSize.height));

    if (m_square) {
        const CGFloat side = std::max(total.width, total.height);
        if (side <= W - 2 * m)
            total.width = side;
        if (side <= H - 2 * m)
            total.height = side;
    }
    total.width = std::max(total.width, m_minSize.width);
    total.height = std::max(total.height, m_minSize.height);
    m_size = total;
}

void PHProgressHUD::drawRect(CGRect)
{
    const CGContextRef context = UIGraphicsGetCurrentContext();
    UIGraphicsPushContext(context);
    dv::ScopeExit pop([] { UIGraphicsPopContext(); });
    const CGRect all = bounds();

    if (m_dimBackground) {
        const CGFloat locations[] = {0, 1};
        const CGFloat components[] = {0, 0, 0, 0, 0, 0, 0, 0.75};
        auto gradient = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), components, locations, 2);
        const CGPoint centre = CGPointMake(CGRectGetMidX(all), CGRectGetMidY(all));
        const CGFloat radius = std::min(all.size.width, all.size.height);
        CGContextDrawRadialGradient(context, gradient, centre, 0, centre, radius, kCGGradientDrawsAfterEndLocation);
    }

    if (auto fill = color())
        CGContextSetFillColorWithColor(context, fill->CGColor());
    else
        CGContextSetGrayFillColor(context, 0, m_opacity);

    const CGRect box = CGRectMake(std::round((all.size.width - m_size.width) / 2) + m_xOffset,
        std::round((all.size.height - m_size.height) / 2) + m_yOffset, m_size.width, m_size.height);
    const CGFloat r = m_cornerRadius;
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, CGRectGetMinX(box) + r, CGRectGetMinY(box));
    CGContextAddArc(context, CGRectGetMaxX(box) - r, CGRectGetMinY(box) + r, r, 3 * kPi / 2, 0, 0);
    CGContextAddArc(context, CGRectGetMaxX(box) - r, CGRectGetMaxY(box) - r, r, 0, kPi / 2, 0);
    CGContextAddArc(context, CGRectGetMinX(box) + r, CGRectGetMaxY(box) - r, r, kPi / 2, kPi, 0);
    CGContextAddArc(context, CGRectGetMinX(box) + r, CGRectGetMinY(box) + r, r, kPi, 3 * kPi / 2, 0);
    CGContextClosePath(context);
    CGContextFillPath(context);
}

// MARK: - Observation of its own properties

const std::vector<const char*>& PHProgressHUD::observableKeypaths()
{
    static const std::vector<const char*> keys {"mode", "customView", "labelText", "labelFont", "labelColor",
        "detailsLabelText", "detailsLabelFont", "detailsLabelColor", "progress", "activityIndicatorColor"};
    return keys;
}

void PHProgressHUD::registerForKVO()
{
    if (!m_observations.empty())
        return; // initialised twice
    Weak<UIView> weak = self<UIView>();
    for (const char* key : observableKeypaths()) {
        // A change made on another thread shows on the main thread, without waiting for it.
        m_observations.push_back(observe(key, 0, [weak, key](const id&, const dv::KeyValueChange&) {
            dv::internal::toolkit::updateOnMainThread(weak, [key](UIView& view) { static_cast<PHProgressHUD&>(view).updateUIForKeypath(key); });
        }));
    }
}

void PHProgressHUD::unregisterFromKVO()
{
    for (auto& token : std::exchange(m_observations, {}))
        removeObservation(token);
}

void PHProgressHUD::updateUIForKeypath(std::string_view keyPath)
{
    if (keyPath == "mode" || keyPath == "customView" || keyPath == "activityIndicatorColor") {
        updateIndicators();
    } else if (keyPath == "labelText") {
        m_label->setText(labelText());
    } else if (keyPath == "labelFont") {
        m_label->setFont(labelFont());
    } else if (keyPath == "labelColor") {
        m_label->setTextColor(labelColor());
    } else if (keyPath == "detailsLabelText") {
        m_detailsLabel->setText(detailsLabelText());
    } else if (keyPath == "detailsLabelFont") {
        m_detailsLabel->setFont(detailsLabelFont());
    } else if (keyPath == "detailsLabelColor") {
        m_detailsLabel->setTextColor(detailsLabelColor());
    } else if (keyPath == "progress") {
        // The indicator redraws itself; the box keeps its size.
        if (m_indicator && m_indicator->respondsToSelector(SEL("setProgress:"))) {
            passProgress(m_indicator, progress());
            return;
        }
    }
    setNeedsLayout();
    setNeedsDisplay();
}

// MARK: - Orientation

void PHProgressHUD::registerForNotifications()
{
    NSNotificationCenter::defaultCenter()->addObserver(self<PHProgressHUD>(), &PHProgressHUD::statusBarOrientationDidChange,
        UIApplicationDidChangeStatusBarOrientationNotification, nil);
}

void PHProgressHUD::unregisterFromNotifications() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

void PHProgressHUD::statusBarOrientationDidChange(const Ref<NSNotification>&)
{
    if (superview())
        updateForCurrentOrientationAnimated(true);
}

void PHProgressHUD::didMoveToSuperview() { updateForCurrentOrientationAnimated(false); }

void PHProgressHUD::updateForCurrentOrientationAnimated(bool)
{
    // Only the size is taken: a scrolled host (a bounds origin off zero) must not shift the box.
    if (auto parent = superview()) {
        setBounds(CGRect {CGPointZero, parent->bounds().size});
        setNeedsDisplay();
    }
    // Windows here turn with the interface, as on current systems, so the overlay never turns
    // itself: its rotation transform stays the identity.
}
