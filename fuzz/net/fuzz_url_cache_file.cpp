// A URL cache must treat whatever it finds in its disk files as a miss or as a response, never
// crash on it.
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLRequest.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string directory = [] {
        auto path = std::filesystem::temp_directory_path() / ("dvfuzzcache-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path.string();
    }();
    auto cache = alloc<NSURLCache>()->initWithMemoryCapacity(0, 1 << 20, NSString::fromUTF8(directory));
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1/x"_ns));
    char name[32];
    std::snprintf(name, sizeof(name), "%016zx", std::hash<std::string>()("http://127.0.0.1/x"));
    {
        std::ofstream file(std::filesystem::path(directory) / name, std::ios::binary | std::ios::trunc);
        // A valid header most of the time, so that the parser past it is reached.
        if (size && data[0] & 1)
            file.write("DVURLCACHE1\0", 12);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    if (auto cached = cache->cachedResponseForRequest(request))
        (void)cached->data();
    return 0;
}
