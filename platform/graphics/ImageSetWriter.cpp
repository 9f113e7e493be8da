#include "platform/graphics/ImageSetWriter.h"

#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"

#include <cstdio>
#include <filesystem>

namespace dv {

bool writeImageSet(const std::string& folder, const std::string& name, CGSize size, const ImageSetDrawing& draw)
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
        const auto path = std::filesystem::path(folder) / (name + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".png");
        auto png = UIImagePNGRepresentation(image);
        if (!png || !png->writeToFile(NSString::fromUTF8(path.string()), true)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return false;
        }
        std::printf("%s\n", path.c_str());
    }
    return true;
}

} // namespace dv
