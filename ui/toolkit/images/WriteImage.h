// For the toolkit's image makers (small programs run by hand, whose PNGs are committed under
// resources/): draws a picture at scales 1, 2 and 3 and writes "name.png", "name@2x.png" and
// "name@3x.png" into a folder, naming each file written on standard output.
#pragma once

#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace dv::tools {

using Drawing = std::function<void(const CGContextRef&)>;

// Adds a closed rectangle with corners of `radius` to the context's path, starting at the top
// edge.
inline void addRoundedRect(const CGContextRef& c, CGRect r, CGFloat radius)
{
    const CGFloat minX = CGRectGetMinX(r), maxX = CGRectGetMaxX(r), minY = CGRectGetMinY(r), maxY = CGRectGetMaxY(r);
    CGContextMoveToPoint(c, minX + radius, minY);
    CGContextAddArcToPoint(c, maxX, minY, maxX, maxY, radius);
    CGContextAddArcToPoint(c, maxX, maxY, minX, maxY, radius);
    CGContextAddArcToPoint(c, minX, maxY, minX, minY, radius);
    CGContextAddArcToPoint(c, minX, minY, maxX, minY, radius);
    CGContextClosePath(c);
}

inline bool writeImage(const std::filesystem::path& folder, const std::string& name, CGSize size, const Drawing& draw)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), ec.message().c_str());
        return false;
    }
    for (int scale = 1; scale <= 3; ++scale) {
        UIGraphicsBeginImageContextWithOptions(size, false, scale);
        draw(UIGraphicsGetCurrentContext());
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        const std::string file = name + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".png";
        auto png = UIImagePNGRepresentation(image);
        if (!png || !png->writeToFile(NSString::fromUTF8((folder / file).string()), true)) {
            std::fprintf(stderr, "cannot write %s\n", (folder / file).c_str());
            return false;
        }
        std::printf("%s\n", (folder / file).c_str());
    }
    return true;
}

} // namespace dv::tools
