#include "app/directory/details/VQFunsDetailViewController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(VQFunsDetailViewController)

Ref<NSString> VQFunsDetailViewController::accountRowLabel() const { return "个人信聊号"_ns; }
