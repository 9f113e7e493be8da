// UIImageView: shows an image, placed in its bounds by the content mode (scale to fill by
// default; aspect fit, aspect fill, centre and the edges and corners at the image's size). While
// highlighted it shows highlightedImage when it has one. An image made of frames (an animated
// image), or animationImages started with startAnimating, play on the process clock: each frame
// for animationDuration / count seconds (1/30 second when the duration is 0), animationRepeatCount
// times (0: until stopped); a stopped view shows its image again. Takes no touches unless told.
// Main thread only.
//
//   auto icon = alloc<UIImageView>()->initWithImage(UIImage::imageNamed("next"_ns));
//   icon->setContentMode(UIViewContentModeScaleAspectFit);
#pragma once

#include "platform/ui/UIView.h"

class NSTimer;

class UIImageView : public UIView {
    DV_CLASS(UIImageView, UIView)

    UIImageView() = default;
    ~UIImageView() override;
    Ref<UIImageView> init();
    Ref<UIImageView> initWithFrame(CGRect frame);
    // The frame takes the image's size.
    Ref<UIImageView> initWithImage(const Ref<UIImage>& image);
    Ref<UIImageView> initWithImageHighlightedImage(const Ref<UIImage>& image, const Ref<UIImage>& highlightedImage);

    Ref<UIImage> image() const { return m_image; }
    virtual void setImage(const Ref<UIImage>& image);
    Ref<UIImage> highlightedImage() const { return m_highlightedImage; }
    virtual void setHighlightedImage(const Ref<UIImage>& image);
    bool isHighlighted() const { return m_highlighted; }
    virtual void setHighlighted(bool highlighted);

    Ref<NSArray> animationImages() const { return m_animationImages; }
    void setAnimationImages(const Ref<NSArray>& images);
    NSTimeInterval animationDuration() const { return m_animationDuration; }
    void setAnimationDuration(NSTimeInterval duration) { m_animationDuration = std::max<NSTimeInterval>(duration, 0); }
    NSInteger animationRepeatCount() const { return m_animationRepeatCount; }
    void setAnimationRepeatCount(NSInteger count) { m_animationRepeatCount = std::max<NSInteger>(count, 0); }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const;

    // The image (the shown one) is the size that fits.
    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;

    UIAccessibilityTraits accessibilityTraits() const override { return UIView::accessibilityTraits() | UIAccessibilityTraitImage; }
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

protected:
    bool isUserInteractionEnabledByDefault() const override { return false; }

private:
    Ref<UIImage> handleStillImage() const;
    void handleShow();
    void handleTick();
    void handleStopTimer();

    Ref<UIImage> m_image;
    Ref<UIImage> m_highlightedImage;
    Ref<NSArray> m_animationImages;
    NSTimeInterval m_animationDuration = 0;
    NSInteger m_animationRepeatCount = 0;
    // A running animation: its frames, the time one frame shows, its start and how long it runs.
    Ref<NSTimer> m_timer;
    Ref<NSArray> m_frames;
    NSTimeInterval m_frameTime = 0;
    NSTimeInterval m_startTime = 0;
    NSTimeInterval m_runTime = 0; // 0: until stopped
    bool m_highlighted = false;
    bool m_userAnimating = false; // started with startAnimating
};
