// URL parsing, resolution and every accessor on arbitrary bytes. The first byte splits the input
// into a base and a reference.
#include "platform/base/NSArray.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSURLComponents.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void touch(const Ref<NSURL>& url)
{
    if (!url)
        return;
    (void)url->absoluteString();
    (void)url->relativeString();
    (void)url->scheme();
    (void)url->host();
    (void)url->port();
    (void)url->user();
    (void)url->password();
    (void)url->path();
    (void)url->relativePath();
    (void)url->query();
    (void)url->fragment();
    (void)url->parameterString();
    (void)url->resourceSpecifier();
    (void)url->lastPathComponent();
    (void)url->pathExtension();
    (void)url->pathComponents();
    (void)url->hasDirectoryPath();
    (void)url->isFileURL();
    (void)url->description();
    (void)url->hash();
    (void)url->absoluteURL();
    (void)url->URLByAppendingPathComponent("x y"_ns);
    (void)url->URLByAppendingPathExtension("json"_ns);
    (void)url->URLByDeletingLastPathComponent();
    (void)url->URLByDeletingPathExtension();
    (void)url->standardizedURL();
    if (auto components = NSURLComponents::componentsWithURL(url, true)) {
        (void)components->queryItems();
        (void)components->host();
        (void)components->path();
        // Whatever the components hold, putting them back together must give a valid URL or nil,
        // and setting the query items must keep the URL valid.
        auto rebuilt = components->URL();
        components->setQueryItems(components->queryItems());
        auto again = components->URL();
        if (rebuilt && !again)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t split = size ? data[0] % (size + 1) : 0;
    auto whole = NSURL::URLWithString(NSString::fromUTF8(all));
    touch(whole);
    if (whole && whole->absoluteString()->utf8() != all)
        std::abort();

    auto base = NSURL::URLWithString(NSString::fromUTF8(all.substr(0, split)));
    auto reference = NSString::fromUTF8(all.substr(split));
    auto resolved = NSURL::URLWithString(reference, base);
    touch(resolved);
    // Resolved against an absolute base, the target reads back as a URL of its own.
    if (resolved && resolved->baseURL() && base->scheme() && !NSURL::URLWithString(resolved->absoluteString()))
        std::abort();
    touch(NSURL::fileURLWithPath(reference, true));
    (void)NSURLComponents::componentsWithString(reference);
    return 0;
}
