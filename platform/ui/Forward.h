// The classes of the interface layer, for headers that only name them.
#pragma once

#include "platform/base/Forward.h"

class CALayer;
class NSLayoutConstraint;
class UIApplication;
class UIBarButtonItem;
class UIBezierPath;
class UIColor;
class UIEvent;
class UIFont;
class UIGestureRecognizer;
class UIImage;
class UIResponder;
class UITouch;
class UIView;
class UIViewController;
class UIWindow;

namespace dv::internal::uikit {
class AnimationRecorder;
class PassScheduler;
class TouchRouter;
class ViewRenderer;
} // namespace dv::internal::uikit
