// UIView(SMExtension): single-field accessors over a view's frame, used by the application's
// screens. Each setter replaces its one field of the frame and keeps the others. A null view reads
// as 0 (a zero size) and ignores a set. Main thread only.
//
//   setY(label, y(icon) + height(icon) + 5);
#pragma once

#include "platform/base/Geometry.h"

class UIView;

CGFloat x(const UIView* view);
void setX(UIView* view, CGFloat x);
CGFloat y(const UIView* view);
void setY(UIView* view, CGFloat y);
CGFloat width(const UIView* view);
void setWidth(UIView* view, CGFloat width);
CGFloat height(const UIView* view);
void setHeight(UIView* view, CGFloat height);
CGSize size(const UIView* view);
void setSize(UIView* view, CGSize size);
