// The fixture of the identity tests: a fresh DOVRELTA_HOME per test, the keychain, defaults,
// device and shared identifier store back to their start-up state, and helpers that simulate a
// new launch and a reinstall (the application container wiped, the device folder kept).
#pragma once

#include "foundation/identity/DIUUID.h"
#include "foundation/identity/KeychainStore.h"
#include "foundation/identity/internal/HardwareAddress.h"
#include "platform/system/FoundationVersion.h"
#include "platform/system/NSUbiquitousKeyValueStore.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/Security.h"
#include "platform/system/UIDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace dv::test {

class IdentityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("DOVRELTA_HOME"))
            m_previousHome = old;
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-identity-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_home = pattern;
        ::setenv("DOVRELTA_HOME", m_home.c_str(), 1);
        resetProcessState();
    }

    void TearDown() override
    {
        resetProcessState();
        std::error_code ec;
        std::filesystem::remove_all(m_home, ec);
        if (m_previousHome.empty())
            ::unsetenv("DOVRELTA_HOME");
        else
            ::setenv("DOVRELTA_HOME", m_previousHome.c_str(), 1);
    }

    // What a new process would start with; the files stay.
    static void resetProcessState()
    {
        DIUUID::resetSharedInstanceForTesting();
        NSUbiquitousKeyValueStore::uninstallFake();
        NSUserDefaults::resetStandardUserDefaults();
        KeychainStore::setDefaultService(nil);
        dv::KeychainSettings::reset();
        UIDevice::currentDevice()->reset();
        NSFoundationVersionNumber = NSFoundationVersionNumber_iOS_9_0;
        dv::internal::identity::HardwareAddress::setReaderForTesting({});
    }

    void relaunch() { resetProcessState(); }

    void reinstall()
    {
        resetProcessState();
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(m_home) / "app", ec);
    }

    const std::string& home() const { return m_home; }

private:
    std::string m_home;
    std::string m_previousHome;
};

} // namespace dv::test
