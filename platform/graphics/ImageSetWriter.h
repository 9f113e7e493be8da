// Writing a drawn picture as an image set of the application's resources: the drawing made at the
// scales 1, 2 and 3 and written as NAME.png, NAME@2x.png and NAME@3x.png into a folder (made when
// missing). For the small programs that draw the application's pictures.
//
//   dv::writeImageSet("resources", "next", CGSizeMake(20, 20), [](const CGContextRef& c) { ... });
#pragma once

#include "platform/graphics/CGContext.h"

#include <functional>
#include <string>

namespace dv {

// Draws in points, UIKit coordinates; the context's scale is the file's.
using ImageSetDrawing = std::function<void(const CGContextRef& context)>;

// Prints each path written on standard output; NO, with the reason on standard error, when the
// folder or a file cannot be written.
bool writeImageSet(const std::string& folder, const std::string& name, CGSize size, const ImageSetDrawing& draw);

} // namespace dv
