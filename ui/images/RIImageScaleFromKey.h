// The scale a cache key implies for its image: "@2x." in the key means 2, "@3x." means 3 (3 when
// both occur), anything else the main screen's scale. Keys shorter than 8 characters keep the
// screen's scale. Any thread.
#pragma once

#include "platform/graphics/UIImage.h"

// The image over the same bitmap with the key's scale and its own orientation; an animated image
// gets every frame rescaled and keeps its duration. nil for nil.
Ref<UIImage> RIImageScaleFromKey(const Ref<NSString>& key, const Ref<UIImage>& image);
