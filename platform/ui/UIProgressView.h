// UIProgressView: a thin bar (2 points high) filled from the left by its progress, 0 to 1
// (values outside are clamped). The filled part is progressTintColor (the tint colour unless
// set) or progressImage, the rest trackTintColor (light grey unless set; the bar style shows no
// track) or trackImage. Changes, animated or not, are drawn at once. Main thread only.
//
//   auto bar = alloc<UIProgressView>()->initWithProgressViewStyle(UIProgressViewStyleDefault);
//   bar->setProgress(0.25, true);
#pragma once

#include "platform/ui/UIView.h"

enum UIProgressViewStyle : NSInteger {
    UIProgressViewStyleDefault = 0,
    UIProgressViewStyleBar = 1,
};

class UIProgressView : public UIView {
    DV_CLASS(UIProgressView, UIView)

    UIProgressView() = default;
    Ref<UIProgressView> init();
    Ref<UIProgressView> initWithFrame(CGRect frame);
    // A zero-width bar of the style's height.
    Ref<UIProgressView> initWithProgressViewStyle(UIProgressViewStyle style);

    UIProgressViewStyle progressViewStyle() const { return m_style; }
    void setProgressViewStyle(UIProgressViewStyle style);
    float progress() const { return m_progress; }
    void setProgress(float progress);
    void setProgress(float progress, bool animated);
    Ref<UIColor> progressTintColor() const { return m_progressTintColor; }
    void setProgressTintColor(const Ref<UIColor>& color);
    Ref<UIColor> trackTintColor() const { return m_trackTintColor; }
    void setTrackTintColor(const Ref<UIColor>& color);
    Ref<UIImage> progressImage() const { return m_progressImage; }
    void setProgressImage(const Ref<UIImage>& image);
    Ref<UIImage> trackImage() const { return m_trackImage; }
    void setTrackImage(const Ref<UIImage>& image);

    // The width offered (the current one when none) and a height of 2.
    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    void drawRect(CGRect rect) override;

    Ref<NSString> accessibilityValue() const override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    Ref<UIColor> m_progressTintColor;
    Ref<UIColor> m_trackTintColor;
    Ref<UIImage> m_progressImage;
    Ref<UIImage> m_trackImage;
    UIProgressViewStyle m_style = UIProgressViewStyleDefault;
    float m_progress = 0;
};
