// NSData(ImageContentType): the MIME type of image bytes, told by their first bytes alone
// ("image/jpeg", "image/png", "image/gif", "image/tiff", "image/webp"); nil for anything else.
// Nothing is decoded, so it is cheap and safe on any bytes and any thread.
#pragma once

#include "platform/base/Forward.h"

Ref<NSString> ri_contentTypeForImageData(const Ref<NSData>& data);
// The older name, kept for callers that still use it.
Ref<NSString> contentTypeForImageData(const Ref<NSData>& data);
