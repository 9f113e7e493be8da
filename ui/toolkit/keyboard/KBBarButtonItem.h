// KBBarButtonItem: the items of the keyboard toolbar (buttons and spaces). It adds no state; the
// toolbar's arrow states recognise its own buttons by this class, and load() clears every
// appearance rule of the class so that the application's bar-button looks do not reach the
// toolbar. Main thread only.
#pragma once

#include "platform/ui/UIBarButtonItem.h"

class KBBarButtonItem : public UIBarButtonItem {
    DV_CLASS(KBBarButtonItem, UIBarButtonItem)
    DV_APPEARANCE(KBBarButtonItem)

    KBBarButtonItem() = default;

    // What the class does when it loads (dv::installKeyboardManager): its appearance proxy is set
    // back to nothing — no tint, no title attributes or offsets, no background images.
    static void load();
};
