#include "platform/ui/UIGestureRecognizer.h"

#include "platform/base/ClassBuilder.h"

DV_DEFINE_CLASS(UIGestureRecognizer)
