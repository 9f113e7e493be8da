// What is known about the view animations running now: one entry per animated property of a
// view, from the moment its animation block changed it until its completion ran. Tests and the
// driver read it to see what would be moving on a screen. Main thread only.
#pragma once

#include "platform/ui/UIView.h"

#include <string>
#include <vector>

namespace dv {

struct ViewAnimation {
    Weak<UIView> view;
    std::string keyPath;                 // "position", "bounds", "opacity", "transform", "backgroundColor"
    NSTimeInterval duration = 0;
    NSTimeInterval delay = 0;
    UIViewAnimationOptions options = 0;
    NSInteger curve = UIViewAnimationCurveEaseInOut; // the options' curve bits (7 for the keyboard's)
    bool spring = false;
    CGFloat dampingRatio = 0;
    CGFloat initialVelocity = 0;
    NSTimeInterval beginTime = 0;        // clock time of the block
};

// The running animations of `view`, or of every view for nil, oldest first.
std::vector<ViewAnimation> runningAnimations(const Ref<UIView>& view = nil);

} // namespace dv
