// UIScreen: the main screen's size in points and its scale. The defaults are a 375 x 667 point
// screen at scale 2; tests and the runner set others. The scale is the one graphics uses for
// image contexts and named images, so setting it here changes both.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"


class UIScreen : public NSObject {
    DV_CLASS(UIScreen, NSObject)

    UIScreen() = default;
    static Ref<UIScreen> mainScreen();

    CGRect bounds() const;
    CGFloat scale() const;
    CGFloat nativeScale() const { return scale(); }
    CGRect applicationFrame() const; // the bounds less the 20-point status bar

    void setBounds(CGRect bounds);
    void setScale(CGFloat scale);
    void reset();

private:
    mutable dv::Mutex m_mutex;
    CGRect m_bounds DV_GUARDED_BY(m_mutex) = CGRectMake(0, 0, 375, 667);
};
