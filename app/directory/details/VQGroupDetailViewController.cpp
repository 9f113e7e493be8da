#include "app/directory/details/VQGroupDetailViewController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(VQGroupDetailViewController)

Ref<NSString> VQGroupDetailViewController::accountRowLabel() const { return "群主信聊"_ns; }
