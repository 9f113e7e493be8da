#include "platform/graphics/ImageResources.h"

#include "platform/base/Mutex.h"
#include "platform/graphics/ScreenScale.h"

#include <cmath>
#include <cstdlib>

#ifndef DV_RESOURCES_DIR
#define DV_RESOURCES_DIR "resources"
#endif

namespace dv {

namespace {

dv::Mutex s_mutex;
ImageResourceResolver s_resolver DV_GUARDED_BY(s_mutex);

bool hasImageExtension(const std::string& name)
{
    const auto slash = name.find_last_of('/');
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string ext = name.substr(dot + 1);
    for (auto& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "gif" || ext == "webp";
}

} // namespace


void setImageResourceResolver(ImageResourceResolver resolver)
{
    {
        dv::MutexLocker lock(s_mutex);
        s_resolver = std::move(resolver);
    }
    clearNamedImageCache();
}

std::vector<std::string> resolveImageResource(const std::string& name)
{
    ImageResourceResolver resolver;
    {
        dv::MutexLocker lock(s_mutex);
        resolver = s_resolver;
    }
    return resolver ? resolver(name) : defaultImageResourceCandidates(name);
}

std::string imageResourceDirectory()
{
    if (const char* env = std::getenv("DOVRELTA_RESOURCES"); env && *env)
        return env;
    return DV_RESOURCES_DIR;
}

std::vector<std::string> defaultImageResourceCandidates(const std::string& name)
{
    std::vector<std::string> out;
    if (name.empty())
        return out;
    const std::string base = imageResourceDirectory() + "/" + name;
    std::string stem = base, extension;
    std::vector<std::string> extensions;
    if (hasImageExtension(name)) {
        const auto dot = base.find_last_of('.');
        stem = base.substr(0, dot);
        extensions = {base.substr(dot)};
    } else {
        extensions = {".png", ".jpg", ".gif"};
    }
    if (stem.size() > 3 && stem[stem.size() - 3] == '@' && stem.back() == 'x') {
        for (const auto& e : extensions)
            out.push_back(stem + e);
        return out;
    }
    const int screen = std::max(1, int(std::lround(mainScreenScale())));
    std::vector<int> scales;
    for (int s = std::min(screen, 3); s >= 1; --s)
        scales.push_back(s);
    for (int s = std::min(screen, 3) + 1; s <= 3; ++s)
        scales.push_back(s);
    for (int s : scales) {
        for (const auto& e : extensions)
            out.push_back(s == 1 ? stem + e : stem + "@" + std::to_string(s) + "x" + e);
    }
    return out;
}

CGFloat scaleFromFileName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = file.find_last_of('.');
    if (dot != std::string::npos)
        file = file.substr(0, dot);
    if (file.size() > 3 && file[file.size() - 3] == '@' && file.back() == 'x' && std::isdigit(static_cast<unsigned char>(file[file.size() - 2])))
        return CGFloat(file[file.size() - 2] - '0');
    return 1;
}

} // namespace dv
