// UIView(CSExtension): one-value accessors over a view's frame, for the carousel and its cells.
// Each getter reads one component of the frame; each setter replaces that one component and
// keeps the other three. A null view reads as 0 and ignores a set. Main thread only.
//
//   setCs_y(pageControl.get(), cs_height(collectionView.get()) - cs_height(pageControl.get()) - 10);
#pragma once

#include "platform/base/Geometry.h"

class UIView;

CGFloat cs_x(const UIView* view);
void setCs_x(UIView* view, CGFloat x);
CGFloat cs_y(const UIView* view);
void setCs_y(UIView* view, CGFloat y);
CGFloat cs_width(const UIView* view);
void setCs_width(UIView* view, CGFloat width);
CGFloat cs_height(const UIView* view);
void setCs_height(UIView* view, CGFloat height);
