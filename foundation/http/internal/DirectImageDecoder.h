// The image serialiser's direct path: the bitmap of PNG or JPEG bytes decoded straight from the
// data, without going through UIImage. A JPEG whose frame has four components (CMYK or YCCK) is
// refused, so that such images take the general decoder instead.
#pragma once

#include "platform/graphics/CGImage.h"

namespace dv::internal::http {

CGImageRef decodePNGBitmap(const Ref<NSData>& data);
CGImageRef decodeJPEGBitmap(const Ref<NSData>& data);
// The number of colour components of a JPEG's frame header, 0 when none is found.
int jpegFrameComponents(const Ref<NSData>& data);

} // namespace dv::internal::http
