// UIImage(MultiFormat): decodes downloaded or cached bytes of any format the platform reads, with
// the EXIF orientation applied and GIF animations turned into animated images. Stateless; any
// thread. Bytes that do not decode give nil, never a partial or broken image; so do pictures of more
// pixels than a picture from elsewhere may have (platform/graphics/RemoteImageLimit.h), judged from
// their header before anything is decoded.
//
//   auto image = ri_imageWithData(data);   // animated for a GIF of two or more frames
#pragma once

#include "platform/graphics/UIImage.h"

Ref<UIImage> ri_imageWithData(const Ref<NSData>& data);
// The orientation recorded in the first image's properties; up when there is none or the bytes
// are not an image.
UIImageOrientation ri_imageOrientationFromImageData(const Ref<NSData>& data);
// EXIF 1...8 to the image orientation; any other value is up.
UIImageOrientation ri_exifOrientationToiOSOrientation(std::int32_t exifOrientation);
