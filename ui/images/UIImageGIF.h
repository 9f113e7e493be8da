// UIImage(GIF): GIF bytes as an animated image (one frame image per frame of the file, at the
// screen's scale, with the frames' delays added up as the duration), named GIF resources, and
// animated images scaled and cropped to fill a size. Stateless; any thread.
//
//   auto spinner = ri_animatedGIFNamed("loading"_ns);   // loading@2x.gif on a 2x screen
//   auto thumb = ri_animatedImageByScalingAndCroppingToSize(spinner, CGSizeMake(40, 40));
#pragma once

#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"

// nil for nil data. A file of 0 or 1 frames decodes as a still image. A frame that cannot be
// decoded is left out, its delay with it; nil when none can.
Ref<UIImage> ri_animatedGIFWithData(const Ref<NSData>& data);
// The frame's delay in seconds: the delay as recorded when the file gives it, else the displayed
// delay, else 0.1; values below 0.011 (zero and negative ones too) count as 0.1.
float ri_frameDurationAtIndex(NSUInteger index, const CGImageSourceRef& source);
// The main bundle's "<name>@2x.gif" on screens above scale 1, else "<name>.gif", decoded as above;
// without either file, the platform's named image.
Ref<UIImage> ri_animatedGIFNamed(const Ref<NSString>& name);
// Every frame drawn to fill `size` (points) and centred, what overhangs on one axis cut off; the
// duration is kept. The image itself when the size is zero or already the image's. A still image
// is scaled the same way as a single frame and stays still.
Ref<UIImage> ri_animatedImageByScalingAndCroppingToSize(const Ref<UIImage>& image, CGSize size);
