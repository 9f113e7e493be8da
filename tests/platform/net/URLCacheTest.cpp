#include "platform/base/AtomicFile.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLRequest.h"
#include "platform/testing/InterruptedWrite.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class URLCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "dv-urlcache-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        folder = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    Ref<NSURLCache> open() { return alloc<NSURLCache>()->initWithMemoryCapacity(0, 100 << 20, NSString::fromUTF8(folder)); }
    static Ref<NSURLRequest> request(const char* url) { return NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(url))); }
    static Ref<NSCachedURLResponse> entry(const char* url, std::string body)
    {
        auto response = alloc<NSHTTPURLResponse>()->initWithURL(NSURL::URLWithString(NSString::fromUTF8(url)), 200,
            std::vector<std::pair<std::string, std::string>> { { "Content-Type", "text/plain" } });
        return alloc<NSCachedURLResponse>()->initWithResponse(response, NSData::fromString(body));
    }
    std::size_t temporaries()
    {
        std::size_t count = 0;
        for (auto& item : fs::directory_iterator(folder))
            count += dv::isAtomicWriteTemporary(item.path().filename().string());
        return count;
    }

    std::string folder;
};

TEST_F(URLCacheTest, EntryCutShortByACrashIsGoneWhenTheCacheIsNextOpened)
{
    open()->storeCachedResponse(entry("http://127.0.0.1/a", "alpha"), request("http://127.0.0.1/a"));
    {
        dv::testing::InterruptedWrite child([&] {
            open()->storeCachedResponse(entry("http://127.0.0.1/b", std::string(1 << 20, 'b')), request("http://127.0.0.1/b"));
        });
        ASSERT_TRUE(child.stopped());
        ASSERT_EQ(temporaries(), 1u);
        // Another process opening the cache meanwhile leaves the write in progress alone.
        EXPECT_FALSE(open()->cachedResponseForRequest(request("http://127.0.0.1/b")));
        EXPECT_EQ(temporaries(), 1u);
    }
    auto cache = open();
    EXPECT_EQ(temporaries(), 0u);
    auto kept = cache->cachedResponseForRequest(request("http://127.0.0.1/a"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->data()->view(), "alpha");
    EXPECT_FALSE(cache->cachedResponseForRequest(request("http://127.0.0.1/b")));
}

} // namespace
