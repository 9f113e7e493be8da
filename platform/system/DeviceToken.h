// The stand-in for the token the push service gives this device: 32 random bytes made once per
// device and kept in the device folder, so that it outlives a reinstall as the real one does.
// The application object hands it to its delegate when remote notifications are registered.
// Safe from any thread.
#pragma once

#include "platform/base/Forward.h"

namespace dv {

// The device's token, made and stored on first use; nil with a file error when it cannot be kept.
Ref<NSData> pushDeviceToken(Ref<NSError>* error);

} // namespace dv
