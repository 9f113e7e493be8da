// UIBarButtonItem(SMExtension): a bar item shown as a picture button. Main thread only.
//
//   item = itemWithImage("share"_ns, "share_highlighted"_ns, self(), "share");
#pragma once

#include "platform/base/Forward.h"

class UIBarButtonItem;

// A bar item whose custom view is a custom-type button with the picture named `image` as its
// background (the one named `highImage` while highlighted), sized to that picture, sending
// `action` to `target` on touch-up-inside.
Ref<UIBarButtonItem> itemWithImage(const Ref<NSString>& image, const Ref<NSString>& highImage, const id& target, SEL action);
