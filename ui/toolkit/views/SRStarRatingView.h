// SRStarRatingView: a rating shown as a row of stars that the user sets by touching or dragging
// across them. Values are whole stars, half stars (allowsHalfStars) or any fraction
// (accurateHalfStars as well). The stars are drawn as an outlined star filled in the tint colour,
// or from images when both the empty and the filled image are set (the half image is optional:
// without it a half star is the empty image with the left part of the filled one over it). A
// change made by the finger sends the value-changed control event: while the finger moves when
// `continuous` (the default), else once when it lifts. Assistive technology sees an adjustable
// element whose increment and decrement step by a half or a whole star. The control keeps other
// views' gesture recognisers (a surrounding scroll view's pan) from beginning over it unless
// shouldBeginGestureRecognizerBlock lets them. Main thread only.
//
//   auto rating = alloc<SRStarRatingView>()->initWithFrame(CGRectMake(20, 100, 240, 44));
//   rating->setAllowsHalfStars(true);
//   rating->addTarget(self(), "ratingChanged:", UIControlEventValueChanged);
#pragma once

#include "platform/ui/UIControl.h"

#include <functional>

class UIImage;

class SRStarRatingView : public UIControl {
    DV_CLASS(SRStarRatingView, UIControl)

    using ShouldBeginGestureRecognizerBlock = std::function<bool(const Ref<UIGestureRecognizer>& gestureRecognizer)>;

    SRStarRatingView() = default;
    ~SRStarRatingView() override;
    Ref<SRStarRatingView> init();
    Ref<SRStarRatingView> initWithFrame(CGRect frame);

    // Lays the control out and redraws it.
    void setNeedsLayout() override;
    // The colour set, else white for an opaque control and clear for a transparent one. The stars
    // are drawn over it, so a new colour redraws them.
    Ref<UIColor> backgroundColor() const override;
    void setBackgroundColor(const Ref<UIColor>& color) override;

    // 0 by default; read back as no less than 0.
    double minimumValue() const;
    void setMinimumValue(double minimumValue);
    // The number of stars, 5 by default; read back as no less than the minimum.
    NSUInteger maximumValue() const;
    void setMaximumValue(NSUInteger maximumValue);
    // 0 by default; read back within [minimum, maximum].
    double value() const;
    // Sends no control event.
    void setValue(double value);
    // Takes the value only when it differs from the current one and lies within [minimum,
    // maximum] (both included); otherwise nothing happens.
    void setValue(double value, bool sendValueChangedAction);
    // The gap between stars in points, 5 by default; a negative gap is taken as 0.
    double spacing() const { return m_spacing; }
    void setSpacing(double spacing);
    bool allowsHalfStars() const { return m_allowsHalfStars; }
    void setAllowsHalfStars(bool allows);
    // With half stars allowed: any fraction instead of halves.
    bool accurateHalfStars() const { return m_accurateHalfStars; }
    void setAccurateHalfStars(bool accurate);
    // YES by default.
    bool isContinuous() const { return m_continuous; }
    void setContinuous(bool continuous) { m_continuous = continuous; }
    // Asked whether another view's gesture recogniser may begin over the control; without a block
    // none may.
    const ShouldBeginGestureRecognizerBlock& shouldBeginGestureRecognizerBlock() const { return m_shouldBeginGestureRecognizerBlock; }
    void setShouldBeginGestureRecognizerBlock(ShouldBeginGestureRecognizerBlock block) { m_shouldBeginGestureRecognizerBlock = std::move(block); }
    Ref<UIImage> emptyStarImage() const { return m_emptyStarImage; }
    void setEmptyStarImage(const Ref<UIImage>& image);
    Ref<UIImage> halfStarImage() const { return m_halfStarImage; }
    void setHalfStarImage(const Ref<UIImage>& image);
    Ref<UIImage> filledStarImage() const { return m_filledStarImage; }
    void setFilledStarImage(const Ref<UIImage>& image);
    // Both the empty and the filled image are set.
    bool shouldUseImages() const;

    void drawRect(CGRect rect) override;

    bool beginTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    bool continueTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    void endTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    void cancelTrackingWithEvent(const Ref<UIEvent>& event) override;
    bool gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer) override;

    bool canBecomeFirstResponder() const override { return true; }
    // 44 points a star plus the gaps, 44 high.
    CGSize intrinsicContentSize() const override;

    bool isAccessibilityElement() const override { return true; }
    // The label set, else the localised "Rating".
    Ref<NSString> accessibilityLabel() const override;
    UIAccessibilityTraits accessibilityTraits() const override;
    Ref<NSString> accessibilityValue() const override;
    bool accessibilityActivate() override { return true; }
    // A half star up or down with half stars allowed, else a whole one; no control event, and a
    // step out of range does nothing.
    void accessibilityIncrement() override;
    void accessibilityDecrement() override;

    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    void customInit();

    // The image or the shape form, as shouldUseImages says.
    void drawStarWithFrame(CGRect frame, const Ref<UIColor>& tintColor, bool highlighted);
    void drawHalfStarWithFrame(CGRect frame, const Ref<UIColor>& tintColor);
    void drawAccurateStarWithFrame(CGRect frame, const Ref<UIColor>& tintColor, CGFloat progress);
    void drawStarImageWithFrame(CGRect frame, const Ref<UIColor>& tintColor, bool highlighted);
    void drawHalfStarImageWithFrame(CGRect frame, const Ref<UIColor>& tintColor);
    void drawAccurateHalfStarImageWithFrame(CGRect frame, const Ref<UIColor>& tintColor, CGFloat progress);
    void drawImage(const Ref<UIImage>& image, CGRect frame, const Ref<UIColor>& tintColor);
    void drawStarShapeWithFrame(CGRect frame, const Ref<UIColor>& tintColor, bool highlighted);
    void drawHalfStarShapeWithFrame(CGRect frame, const Ref<UIColor>& tintColor);
    void drawAccurateHalfStarShapeWithFrame(CGRect frame, const Ref<UIColor>& tintColor, CGFloat progress);

    void handleTouch(const Ref<UITouch>& touch);

    Ref<UIImage> m_emptyStarImage;
    Ref<UIImage> m_halfStarImage;
    Ref<UIImage> m_filledStarImage;
    ShouldBeginGestureRecognizerBlock m_shouldBeginGestureRecognizerBlock;
    double m_minimumValue = 0;
    NSUInteger m_maximumValue = 5;
    double m_value = 0;
    double m_spacing = 5;
    bool m_allowsHalfStars = false;
    bool m_accurateHalfStars = false;
    bool m_continuous = true;
};
