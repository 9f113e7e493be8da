// The interface layer's geometry beside platform/base/Geometry.h (which has the rectangles, edge
// insets and affine transforms): edge-inset comparison and offsets, as bar items use them.
#pragma once

#include "platform/base/Geometry.h"

struct UIOffset {
    CGFloat horizontal = 0;
    CGFloat vertical = 0;
    bool operator==(const UIOffset&) const = default;
};

inline constexpr UIOffset UIOffsetZero {};
constexpr UIOffset UIOffsetMake(CGFloat horizontal, CGFloat vertical) { return {horizontal, vertical}; }
constexpr bool UIOffsetEqualToOffset(UIOffset a, UIOffset b) { return a == b; }
constexpr bool UIEdgeInsetsEqualToEdgeInsets(UIEdgeInsets a, UIEdgeInsets b) { return a == b; }
