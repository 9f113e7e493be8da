#include "app/directory/details/VQPublicDetailViewController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(VQPublicDetailViewController)

Ref<NSString> VQPublicDetailViewController::accountRowLabel() const { return "公众号"_ns; }
