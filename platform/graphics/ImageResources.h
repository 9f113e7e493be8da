// Where UIImage::imageNamed finds its files. The application bundle belongs to the system layer;
// until it installs its own resolver, graphics looks in one resource directory: $DOVRELTA_RESOURCES
// when set, else the source tree's resources/ folder.
#pragma once

#include "platform/base/Forward.h"

#include <functional>
#include <string>
#include <vector>

namespace dv {

// Maps a resource name ("next", "error.png", "PHProgressHUD.bundle/error") to candidate file
// paths, best first. imageNamed takes the first that decodes and reads its scale from an "@2x" or
// "@3x" before the extension.
using ImageResourceResolver = std::function<std::vector<std::string>(const std::string& name)>;

// An empty resolver restores the default. Changing it empties imageNamed's cache.
void setImageResourceResolver(ImageResourceResolver resolver);
std::vector<std::string> resolveImageResource(const std::string& name);

std::string imageResourceDirectory();
// The default: in imageResourceDirectory(), the @Nx variants from the screen's scale downwards
// (then the larger ones), each as .png, .jpg and .gif unless the name has its own extension.
std::vector<std::string> defaultImageResourceCandidates(const std::string& name);
// The scale encoded in a file name ("a@2x.png" → 2), else 1.
CGFloat scaleFromFileName(const std::string& path);

// Drops the images that imageNamed keeps.
void clearNamedImageCache();

} // namespace dv
