// A radial gradient whose two circles share their centre, painted over a large area much faster
// than the rasteriser's general two-circle gradient (which solves a quadratic per pixel; a dimmed
// full-screen overlay cost more than the rest of the launch). Each pixel's distance from the
// centre picks its colour from a strip of the same colour stops that the rasteriser draws as a
// linear gradient, so the colours match its own interpolation. Used by CairoCanvas only; main
// thread or whichever thread owns the context.
#pragma once

typedef struct _cairo cairo_t;
typedef struct _cairo_pattern cairo_pattern_t;

namespace dv::internal::graphics {

// What the target's pixels hold before the gradient is painted.
enum class Backdrop {
    Unknown,   // whatever was drawn: looked at where it matters
    Blank,     // transparent everywhere, nothing drawn yet
    Unwritten, // never written: transparent only once cleared, so only a painting of every pixel may go on
};

// Paints `pattern` over the current clip with `alpha`, as cairo_set_source and
// cairo_paint_with_alpha would, and answers true; answers false without touching the context
// for what it does not take: any other pattern, circles that are not concentric, a rotated or
// skewed matrix, a group being drawn, an area small enough for the rasteriser itself, or, over
// unwritten pixels, anything but painting the whole target over nothing.
bool paintConcentricGradient(cairo_t* cr, cairo_pattern_t* pattern, double alpha, Backdrop backdrop = Backdrop::Unknown);

} // namespace dv::internal::graphics
