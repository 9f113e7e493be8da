#include "ui/images/RIWebImageOperation.h"

#include "platform/base/NSString.h"

const Ref<NSString> RIWebImageErrorDomain = "RIWebImageErrorDomain"_ns;
