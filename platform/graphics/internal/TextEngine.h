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
#include <utility>
#include <vector>

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

// Where a caret can stand in text laid out as drawText lays it out, one entry per line. wrapWidth
// <= 0 lays out without wrapping, from x = 0; otherwise the lines wrap at that width and stand by the
// alignment (as DrawOptions::alignment) within it, as drawText places them in a rectangle that wide.
struct CaretLine {
    // The line's text in UTF-8 bytes, without the line feed that ends its paragraph: a line that
    // wraps without one ends where the next begins.
    std::size_t start = 0;
    std::size_t end = 0;
    CGFloat top = 0;
    CGFloat height = 0;
    // The start of every character of the line and the line's end, in order, with the x where a
    // caret there stands, as drawn (kerning and alignment included).
    std::vector<std::pair<std::size_t, CGFloat>> stops;
};
std::vector<CaretLine> caretLines(const std::string& text, const FontRequest& font, CGFloat wrapWidth, int alignment);

// The family name of the pinned face.
const char* pinnedFamily();

} // namespace dv::internal::graphics
