// Text layout through pango with the pinned face, configured by the project's own fontconfig file
// (never the machine's), unhinted and with fractional positions so that measurements are the
// same on every machine. What the face lacks comes from two more faces that the engine adds
// itself: emoji (skin tones, flags, joined sequences, keycaps) in colour from the emoji face,
// other symbols from the Latin face; each is measured as it is drawn, at every scale, and every
// line is as tall as a line of the pinned face. One process-wide font map; calls are serialised.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/graphics/CGColor.h"

#include <string>

namespace dv::internal::graphics {

class CairoCanvas;

struct FontRequest {
    CGFloat size = 12;
    bool bold = false;
};

struct FontMetrics {
    CGFloat ascender = 0;
    CGFloat descender = 0; // below the baseline, positive
    CGFloat lineHeight = 0;
};

FontMetrics fontMetrics(const FontRequest& font);

// The size of the laid-out text. wrapWidth <= 0 lays out without wrapping (new lines still break).
// Lines whose bottom would pass maxHeight are left out, except the first; so are lines past
// maxLines when it is above 0.
CGSize measureText(const std::string& text, const FontRequest& font, CGFloat wrapWidth, CGFloat maxHeight, long maxLines = 0);

struct DrawOptions {
    int alignment = 0;      // as NSTextAlignment: 0 left, 1 centre, 2 right, 3 justified, 4 natural (left)
    bool wrap = true;       // wrap at the rectangle's width
    long maxLines = 0;      // 0: as many as fit
    bool truncateTail = false; // end the last line shown with an ellipsis when text is left over
    int truncateAt = 0;     // otherwise where a line that does not fit loses text: 1 head, 2 middle, 3 tail
    bool centreVertically = false; // the lines shown stand in the middle of the rectangle's height
};

void drawText(CairoCanvas& canvas, const std::string& text, const FontRequest& font, CGRect rect, const RGBA& color,
    const DrawOptions& options);

// The family name of the pinned face.
const char* pinnedFamily();

} // namespace dv::internal::graphics
