// UIImage(ForceDecode): a still image without alpha redrawn into a fresh premultiplied bitmap in
// the layout drawing uses as it is, so that showing it later needs no conversion on the main
// thread. Runs on the caller's thread (the cache's IO queue, a download's thread); one bitmap per
// call, freed when the call ends.
#pragma once

#include "platform/graphics/UIImage.h"

// Animated images and images with alpha come back unchanged. So does an image that cannot be
// redrawn (no bitmap, a layout no bitmap context takes, too large): the original is still good
// to show, so it is kept rather than lost. nil for nil.
Ref<UIImage> decodedImageWithImage(const Ref<UIImage>& image);
