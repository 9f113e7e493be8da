// UIActivityIndicatorView: the spinning wheel that says "busy". Its style sets its size and
// colour: white large (37 x 37, white), white (20 x 20, white) and gray (20 x 20, grey); a colour
// set on it replaces the style's. With hidesWhenStopped (the default) it is hidden while it is
// not animating, a new one included. The wheel is drawn at its style's size in the middle of the
// bounds, twelve spokes fading round; it does not turn on screen. Main thread only.
//
//   auto busy = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleGray);
//   busy->startAnimating();
#pragma once

#include "platform/ui/UIView.h"

enum UIActivityIndicatorViewStyle : NSInteger {
    UIActivityIndicatorViewStyleWhiteLarge = 0,
    UIActivityIndicatorViewStyleWhite = 1,
    UIActivityIndicatorViewStyleGray = 2,
};

class UIActivityIndicatorView : public UIView {
    DV_CLASS(UIActivityIndicatorView, UIView)

    UIActivityIndicatorView() = default;
    // The white style.
    Ref<UIActivityIndicatorView> init();
    Ref<UIActivityIndicatorView> initWithFrame(CGRect frame);
    // The frame takes the style's size.
    Ref<UIActivityIndicatorView> initWithActivityIndicatorStyle(UIActivityIndicatorViewStyle style);

    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return m_style; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);
    // The colour set, else the style's.
    Ref<UIColor> color() const;
    void setColor(const Ref<UIColor>& color);
    bool hidesWhenStopped() const { return m_hidesWhenStopped; }
    void setHidesWhenStopped(bool hides);
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return m_animating; }

    // The style's size.
    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    void drawRect(CGRect rect) override;

    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    void handleVisibility();

    Ref<UIColor> m_color;
    UIActivityIndicatorViewStyle m_style = UIActivityIndicatorViewStyleWhite;
    bool m_hidesWhenStopped = true;
    bool m_animating = false;
    bool m_hiddenWhileStopped = false; // hidden by the indicator, not by its owner
};
