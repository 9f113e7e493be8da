// Everything of platform/ui (and the graphics it draws with) in one include, for application
// code and tests.
#pragma once

#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/NSLayoutConstraint.h"
#include "platform/ui/UIBezierPath.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIEvent.h"
#include "platform/ui/UIGeometry.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UIResponder.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIWindow.h"
