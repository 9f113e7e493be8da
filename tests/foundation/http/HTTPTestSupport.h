// Shared set-up of the HTTP layer's tests: the process-wide dictionary behaviour installed, a
// private DOVRELTA_HOME, and small builders of replies and bodies.
#pragma once

#include "platform/base/Base.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "push/PSDictionaryCategories.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace dv::test {

class HTTPTestFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        PSInstallDictionaryCategories();
        if (const char* old = std::getenv("DOVRELTA_HOME"))
            m_previousHome = old;
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-http-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_home = pattern;
        ::setenv("DOVRELTA_HOME", m_home.c_str(), 1);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_home, ec);
        if (m_previousHome.empty())
            ::unsetenv("DOVRELTA_HOME");
        else
            ::setenv("DOVRELTA_HOME", m_previousHome.c_str(), 1);
    }

    std::string pathInHome(const std::string& name) const { return (std::filesystem::path(m_home) / name).string(); }

    static Ref<NSHTTPURLResponse> reply(NSInteger status, const char* contentType, const char* url = "http://127.0.0.1/api")
    {
        auto headers = NSMutableDictionary::dictionary();
        if (contentType)
            headers->setObjectForKeyedSubscript(NSString::stringWithUTF8String(contentType), "Content-Type"_ns);
        return alloc<NSHTTPURLResponse>()->initWithURL(url ? NSURL::URLWithString(url) : nil, status, "HTTP/1.1"_ns, headers);
    }

    static Ref<NSData> bytes(std::string_view text) { return NSData::fromString(text); }
    static std::string text(const Ref<NSData>& data) { return data ? std::string(data->view()) : std::string(); }

private:
    std::string m_home;
    std::string m_previousHome;
};

} // namespace dv::test
