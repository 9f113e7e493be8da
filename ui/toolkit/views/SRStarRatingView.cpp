#include "ui/toolkit/views/SRStarRatingView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/NSBundle.h"
#include "platform/ui/UIBezierPath.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UITouch.h"

#include <algorithm>
#include <cmath>

DV_DEFINE_CLASS_WITH(SRStarRatingView, b)
{
    b.property<double>("minimumValue", "Td,N", [](const SRStarRatingView& v) { return v.minimumValue(); },
        [](SRStarRatingView& v, double value) { v.setMinimumValue(value); });
    b.property<NSUInteger>("maximumValue", "TQ,N", [](const SRStarRatingView& v) { return v.maximumValue(); },
        [](SRStarRatingView& v, NSUInteger value) { v.setMaximumValue(value); });
    b.property<double>("value", "Td,N", [](const SRStarRatingView& v) { return v.value(); },
        [](SRStarRatingView& v, double value) { v.setValue(value); });
    b.property<double>("spacing", "Td,N", [](const SRStarRatingView& v) { return v.spacing(); },
        [](SRStarRatingView& v, double value) { v.setSpacing(value); });
    b.property<bool>("allowsHalfStars", "TB,N", [](const SRStarRatingView& v) { return v.allowsHalfStars(); },
        [](SRStarRatingView& v, bool value) { v.setAllowsHalfStars(value); });
    b.property<bool>("accurateHalfStars", "TB,N", [](const SRStarRatingView& v) { return v.accurateHalfStars(); },
        [](SRStarRatingView& v, bool value) { v.setAccurateHalfStars(value); });
    b.property<bool>("continuous", "TB,N,GisContinuous", [](const SRStarRatingView& v) { return v.isContinuous(); },
        [](SRStarRatingView& v, bool value) { v.setContinuous(value); });
}

namespace {

constexpr CGFloat kStarSize = 44;

// The star's outline, as fractions of its square from the top-left corner.
constexpr CGPoint kStarPoints[] = {
    {0.62723, 0.37309},
    {0.5, 0.025},
    {0.37292, 0.37309},
    {0.025, 0.39112},
    {0.30504, 0.62908},
    {0.20642, 0.975},
    {0.5, 0.78265},
    {0.79358, 0.975},
    {0.69501, 0.62908},
    {0.975, 0.39112},
};

// Ceilings are taken in single precision, so a value a hair above a whole number (2.0000001 from
// arithmetic) still counts as that number.
double ceilingOf(double value) { return std::ceil(float(value)); }

} // namespace

SRStarRatingView::~SRStarRatingView() = default;

Ref<SRStarRatingView> SRStarRatingView::init() { return initWithFrame(CGRectZero); }

Ref<SRStarRatingView> SRStarRatingView::initWithFrame(CGRect frame)
{
    UIControl::initWithFrame(frame);
    customInit();
    return self<SRStarRatingView>();
}

void SRStarRatingView::customInit()
{
    setExclusiveTouch(true);
    m_minimumValue = 0;
    m_maximumValue = 5;
    m_value = 0;
    m_spacing = 5;
    m_continuous = true;
}

void SRStarRatingView::setNeedsLayout()
{
    UIControl::setNeedsLayout();
    setNeedsDisplay();
}

Ref<UIColor> SRStarRatingView::backgroundColor() const
{
    if (auto color = UIControl::backgroundColor())
        return color;
    return isOpaque() ? UIColor::whiteColor() : UIColor::clearColor();
}

void SRStarRatingView::setBackgroundColor(const Ref<UIColor>& color)
{
    UIControl::setBackgroundColor(color);
    if (!isAppearanceProxy())
        setNeedsDisplay();
}

// Values

double SRStarRatingView::minimumValue() const { return std::max(m_minimumValue, 0.0); }

void SRStarRatingView::setMinimumValue(double minimumValue)
{
    if (m_minimumValue == minimumValue)
        return;
    m_minimumValue = minimumValue;
    setNeedsDisplay();
}

NSUInteger SRStarRatingView::maximumValue() const
{
    return m_minimumValue > double(m_maximumValue) ? NSUInteger(m_minimumValue) : m_maximumValue;
}

void SRStarRatingView::setMaximumValue(NSUInteger maximumValue)
{
    if (m_maximumValue == maximumValue)
        return;
    m_maximumValue = maximumValue;
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

double SRStarRatingView::value() const { return std::min(std::max(m_value, m_minimumValue), double(m_maximumValue)); }

void SRStarRatingView::setValue(double value) { setValue(value, false); }

void SRStarRatingView::setValue(double value, bool sendValueChangedAction)
{
    if (value == m_value || !(value >= m_minimumValue && value <= double(m_maximumValue)))
        return;
    m_value = value;
    if (sendValueChangedAction)
        sendActionsForControlEvents(UIControlEventValueChanged);
    setNeedsDisplay();
}

void SRStarRatingView::setSpacing(double spacing)
{
    m_spacing = std::max(spacing, 0.0);
    setNeedsDisplay();
}

void SRStarRatingView::setAllowsHalfStars(bool allows)
{
    if (m_allowsHalfStars == allows)
        return;
    m_allowsHalfStars = allows;
    setNeedsDisplay();
}

void SRStarRatingView::setAccurateHalfStars(bool accurate)
{
    if (m_accurateHalfStars == accurate)
        return;
    m_accurateHalfStars = accurate;
    setNeedsDisplay();
}

void SRStarRatingView::setEmptyStarImage(const Ref<UIImage>& image)
{
    if (m_emptyStarImage == image)
        return;
    m_emptyStarImage = image;
    setNeedsDisplay();
}

void SRStarRatingView::setHalfStarImage(const Ref<UIImage>& image)
{
    if (m_halfStarImage == image)
        return;
    m_halfStarImage = image;
    setNeedsDisplay();
}

void SRStarRatingView::setFilledStarImage(const Ref<UIImage>& image)
{
    if (m_filledStarImage == image)
        return;
    m_filledStarImage = image;
    setNeedsDisplay();
}

bool SRStarRatingView::shouldUseImages() const { return m_emptyStarImage && m_filledStarImage; }

CGSize SRStarRatingView::intrinsicContentSize() const
{
    // No stars take no width (rather than a negative one, a gap without stars around it).
    const auto stars = CGFloat(maximumValue());
    return CGSizeMake(stars > 0 ? stars * kStarSize + (stars - 1) * m_spacing : 0, kStarSize);
}

// Drawing

void SRStarRatingView::drawRect(CGRect rect)
{
    auto context = UIGraphicsGetCurrentContext();
    CGContextSetFillColorWithColor(context, backgroundColor()->CGColor());
    CGContextFillRect(context, rect);
    // The stored value and number of stars, as set.
    const NSUInteger stars = m_maximumValue;
    if (stars == 0)
        return;
    const CGFloat width = rect.size.width, height = rect.size.height;
    const CGFloat cellWidth = (width - m_spacing * CGFloat(stars - 1)) / CGFloat(stars);
    const CGFloat side = std::min(cellWidth, height);
    const double ceiling = ceilingOf(m_value);
    const auto tint = tintColor();
    for (NSUInteger i = 0; i < stars; ++i) {
        const CGFloat centreX = cellWidth * CGFloat(i) + cellWidth / 2 + m_spacing * CGFloat(i);
        const CGRect frame = CGRectMake(centreX - side / 2, height / 2 - side / 2, side, side);
        const double ordinal = double(i + 1);
        const bool highlighted = ordinal <= ceiling;
        if (m_allowsHalfStars && ordinal > m_value && highlighted) {
            if (m_accurateHalfStars)
                drawAccurateStarWithFrame(frame, tint, CGFloat(m_value - double(i)));
            else
                drawHalfStarWithFrame(frame, tint);
        } else {
            drawStarWithFrame(frame, tint, highlighted);
        }
    }
}

void SRStarRatingView::drawStarWithFrame(CGRect frame, const Ref<UIColor>& tintColor, bool highlighted)
{
    if (shouldUseImages())
        drawStarImageWithFrame(frame, tintColor, highlighted);
    else
        drawStarShapeWithFrame(frame, tintColor, highlighted);
}

void SRStarRatingView::drawHalfStarWithFrame(CGRect frame, const Ref<UIColor>& tintColor)
{
    if (shouldUseImages())
        drawHalfStarImageWithFrame(frame, tintColor);
    else
        drawHalfStarShapeWithFrame(frame, tintColor);
}

void SRStarRatingView::drawAccurateStarWithFrame(CGRect frame, const Ref<UIColor>& tintColor, CGFloat progress)
{
    if (shouldUseImages())
        drawAccurateHalfStarImageWithFrame(frame, tintColor, progress);
    else
        drawAccurateHalfStarShapeWithFrame(frame, tintColor, progress);
}

void SRStarRatingView::drawStarImageWithFrame(CGRect frame, const Ref<UIColor>& tintColor, bool highlighted)
{
    drawImage(highlighted ? m_filledStarImage : m_emptyStarImage, frame, tintColor);
}

void SRStarRatingView::drawHalfStarImageWithFrame(CGRect frame, const Ref<UIColor>& tintColor)
{
    drawAccurateHalfStarImageWithFrame(frame, tintColor, 0.5);
}

void SRStarRatingView::drawAccurateHalfStarImageWithFrame(CGRect frame, const Ref<UIColor>& tintColor, CGFloat progress)
{
    if (m_halfStarImage) {
        drawImage(m_halfStarImage, frame, tintColor);
        return;
    }
    drawImage(m_emptyStarImage, frame, tintColor);
    // The filled image's left part, cut in pixels and drawn over the same left part of the frame.
    const auto& filled = m_filledStarImage;
    const CGSize size = filled->size();
    const CGRect cut = CGRectMake(0, 0, size.width * filled->scale() * progress, size.height * filled->scale());
    auto part = CGImageCreateWithImageInRect(filled->CGImage(), cut);
    if (!part)
        return; // nothing of it shows (progress 0)
    auto left = UIImage::imageWithCGImage(part, filled->scale(), filled->imageOrientation())->imageWithRenderingMode(filled->renderingMode());
    drawImage(left, CGRectMake(frame.origin.x, frame.origin.y, frame.size.width * progress, frame.size.height), tintColor);
}

void SRStarRatingView::drawImage(const Ref<UIImage>& image, CGRect frame, const Ref<UIColor>& tintColor)
{
    if (!image)
        return;
    if (image->renderingMode() == UIImageRenderingModeAlwaysTemplate)
        tintColor->setFill();
    image->drawInRect(frame);
}

void SRStarRatingView::drawStarShapeWithFrame(CGRect frame, const Ref<UIColor>& tintColor, bool highlighted)
{
    drawAccurateHalfStarShapeWithFrame(frame, tintColor, highlighted ? 1 : 0);
}

void SRStarRatingView::drawHalfStarShapeWithFrame(CGRect frame, const Ref<UIColor>& tintColor)
{
    drawAccurateHalfStarShapeWithFrame(frame, tintColor, 0.5);
}

void SRStarRatingView::drawAccurateHalfStarShapeWithFrame(CGRect frame, const Ref<UIColor>& tintColor, CGFloat progress)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    auto star = UIBezierPath::bezierPath();
    bool first = true;
    for (const CGPoint& p : kStarPoints) {
        const CGPoint point = CGPointMake(frame.origin.x + p.x * frame.size.width, frame.origin.y + p.y * frame.size.height);
        if (std::exchange(first, false))
            star->moveToPoint(point);
        else
            star->addLineToPoint(point);
    }
    star->closePath();
    star->setMiterLimit(4);

    // The fill stops at `progress` of the width: clip to everything but the rest of the frame (a
    // rectangle well around the frame stands for everything; the star lies inside the frame).
    CGContextSaveGState(context);
    auto clip = UIBezierPath::bezierPathWithRect(CGRectInset(frame, -frame.size.width, -frame.size.height));
    const CGFloat filledWidth = frame.size.width * progress;
    clip->appendPath(UIBezierPath::bezierPathWithRect(
        CGRectMake(frame.origin.x + filledWidth, frame.origin.y, frame.size.width - filledWidth, frame.size.height)));
    clip->setUsesEvenOddFillRule(true);
    clip->addClip();
    tintColor->setFill();
    star->fill();
    CGContextRestoreGState(context);

    tintColor->setStroke();
    star->setLineWidth(1);
    star->stroke();
}

// Touches

void SRStarRatingView::handleTouch(const Ref<UITouch>& touch)
{
    // No stars: no cells to touch (and no division by zero).
    if (m_maximumValue == 0)
        return;
    // The gaps between stars are not taken into account: each star owns an equal share of the width.
    const CGFloat cellWidth = bounds().size.width / CGFloat(m_maximumValue);
    const double raw = touch->locationInView(self<SRStarRatingView>()).x / cellWidth;
    double value = ceilingOf(raw);
    if (m_allowsHalfStars) {
        if (m_accurateHalfStars)
            value = raw;
        else if (raw + 0.5 < value)
            value = std::floor(raw) + 0.5;
    }
    setValue(value, m_continuous);
}

bool SRStarRatingView::beginTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event)
{
    UIControl::beginTrackingWithTouch(touch, event);
    if (!isFirstResponder())
        becomeFirstResponder();
    handleTouch(touch);
    return true;
}

bool SRStarRatingView::continueTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event)
{
    UIControl::continueTrackingWithTouch(touch, event);
    handleTouch(touch);
    return true;
}

void SRStarRatingView::endTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event)
{
    UIControl::endTrackingWithTouch(touch, event);
    if (isFirstResponder())
        resignFirstResponder();
    handleTouch(touch);
    if (!m_continuous)
        sendActionsForControlEvents(UIControlEventValueChanged);
}

void SRStarRatingView::cancelTrackingWithEvent(const Ref<UIEvent>& event)
{
    UIControl::cancelTrackingWithEvent(event);
    if (isFirstResponder())
        resignFirstResponder();
}

bool SRStarRatingView::gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer)
{
    if (recognizer && recognizer->view().get() == this)
        return !isUserInteractionEnabled();
    if (m_shouldBeginGestureRecognizerBlock)
        return m_shouldBeginGestureRecognizerBlock(recognizer);
    return false;
}

// Accessibility

Ref<NSString> SRStarRatingView::accessibilityLabel() const
{
    if (auto label = UIControl::accessibilityLabel())
        return label;
    return NSLocalizedString("Rating"_ns, nil);
}

UIAccessibilityTraits SRStarRatingView::accessibilityTraits() const { return UIControl::accessibilityTraits() | UIAccessibilityTraitAdjustable; }

Ref<NSString> SRStarRatingView::accessibilityValue() const { return NSNumber::numberWithDouble(value())->description(); }

void SRStarRatingView::accessibilityIncrement() { setValue(value() + (m_allowsHalfStars ? 0.5 : 1)); }

void SRStarRatingView::accessibilityDecrement() { setValue(value() - (m_allowsHalfStars ? 0.5 : 1)); }

void SRStarRatingView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    UIControl::appendDescriptionFields(fields);
    fields.emplace_back("value", dv::str(accessibilityValue()));
}
