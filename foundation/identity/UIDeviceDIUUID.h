// The device identifier on the platform's device object: `uuid(UIDevice::currentDevice())` is
// `DIUUID::uuidForDevice()`.
#pragma once

#include "platform/base/Forward.h"

class UIDevice;

Ref<NSString> uuid(const Ref<UIDevice>& device);
