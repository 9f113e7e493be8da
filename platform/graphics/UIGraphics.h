// The current graphics context of each thread (a stack, as UIKit keeps it) and image contexts:
// bitmaps in points with a scale and UIKit's coordinates (origin top left, y down) that end as a
// UIImage.
//
//   UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 20), false, 0); // screen scale
//   UIColor::redColor()->setFill();
//   UIRectFill(CGRectMake(0, 0, 10, 10));
//   Ref<UIImage> image = UIGraphicsGetImageFromCurrentImageContext();
//   UIGraphicsEndImageContext();
#pragma once

#include "platform/base/Geometry.h"
#include "platform/graphics/CGContext.h"

class UIImage;

CGContextRef UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(const CGContextRef& context);
void UIGraphicsPopContext();

// Scale 0 means the main screen's scale (dv::mainScreenScale()). An opaque context has no alpha.
// An empty or negative size makes no context, as on the platform (it logs and draws nothing).
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale);
void UIGraphicsBeginImageContext(CGSize size); // opaque NO, scale 1
// The drawing so far as an image of the context's scale; nil when the current context is not an
// image context.
Ref<UIImage> UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();

// UIRectFill replaces the rectangle's pixels with the fill colour (copy blend mode); UIRectFrame
// strokes a one-point frame inside it.
void UIRectFill(CGRect rect);
void UIRectFrame(CGRect rect);
