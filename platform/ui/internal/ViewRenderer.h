// Draws a view tree as the screen would show it, through CGContext: each view in subview order,
// placed by its centre and transform, with its background (rounded by the layer's corner
// radius), the contents its drawRect produced in the display pass (placed by its content mode),
// its subviews clipped to its bounds when it masks, and its border on top. A view with alpha
// below 1 is drawn as one group (transparency layer); hidden views and views with alpha 0 are
// left out. Nothing is laid out or drawn anew here. Main thread only.
#pragma once

#include "platform/graphics/CGContext.h"
#include "platform/ui/Forward.h"

namespace dv::internal::uikit {

class ViewRenderer {
public:
    // Draws `root` and its subviews into `context`, the root's bounds origin at the context's
    // user-space origin; the root's own position and transform are left out.
    static void renderTree(const CGContextRef& context, UIView& root);

private:
    static void renderSubview(const CGContextRef& context, UIView& view);
    static void renderLayer(const CGContextRef& context, UIView& view);
};

// Adds a rectangle with rounded corners to the current path (a plain rectangle for radius 0; the
// radius is at most half the shorter side), as layers' corners are drawn.
void addRoundedRect(const CGContextRef& c, CGRect r, CGFloat radius);

} // namespace dv::internal::uikit
