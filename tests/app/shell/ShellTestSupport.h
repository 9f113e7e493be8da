// Shared set-up of the application shell's tests: a private DOVRELTA_HOME, the process-wide
// dictionary behaviour the application installs, a manual clock, a fresh application whose
// delegate keeps one white key window (the overlays' host), a driver on that window, and the
// local application server on a free port with the server client pointed at it.
#pragma once

#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ServerSettings.h"
#include "app/shell/server/ZHHttpTool.h"
#include "platform/base/Base.h"
#include "platform/dispatch/Clock.h"
#include "platform/testing/UIDriver.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIKit.h"
#include "tools/devserver/Server.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class AppDelegate;
class VQMainButton;
class VQMainViewController;

namespace dv::test {

// The application delegate's part the server client relies on: the window.
class WindowDelegate : public UIApplicationDelegate {
public:
    explicit WindowDelegate(Ref<UIWindow> window) : m_window(std::move(window)) { }
    Ref<UIWindow> window() const override { return m_window; }

private:
    Ref<UIWindow> m_window;
};

// What one server call delivered.
struct CallResult {
    int successes = 0;
    int failures = 0;
    id json;
    Ref<NSError> error;
    bool done() const { return successes + failures > 0; }
    std::optional<ServerReply> reply() const { return ServerReply::fromObject(json); }
    NSInteger errorCode() const { return error ? error->code() : 0; }
};

// A small PNG picture, drawn here.
Ref<NSData> samplePicture();

// A private DOVRELTA_HOME for the test (restored afterwards).
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::optional<std::string> m_previous;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Blocks that note what they received in `result` (kept alive by the caller).
    static ZHHttpTool::SuccessBlock noteSuccess(const std::shared_ptr<CallResult>& result);
    static ZHHttpTool::FailureBlock noteFailure(const std::shared_ptr<CallResult>& result);

    // A form POST, multipart POST or GET, run until one of its blocks has been called.
    std::shared_ptr<CallResult> post(const dv::app::ServerRequest& request);
    std::shared_ptr<CallResult> postMultipart(const dv::app::ServerRequest& request, const Ref<NSArray>& parts);
    std::shared_ptr<CallResult> get(const dv::app::ServerRequest& request);
    // Runs the main loop until the call is done.
    bool wait(const std::shared_ptr<CallResult>& result);

    // The overlays and toasts a person sees on the window now, and whether one shows `text`.
    std::vector<Ref<PHProgressHUD>> visibleOverlays() const;
    // Whether an overlay is on screen that has not begun to fade out.
    bool overlayShowing() const;
    bool showsText(std::string_view text) const;

    TemporaryHome m_home;
    ManualClockScope m_clock;
    Ref<UIApplication> m_app;
    Ref<UIWindow> m_window;
    std::shared_ptr<WindowDelegate> m_delegate;
    dv::testing::UIDriver m_ui;
    std::string m_serverFolder;
    std::unique_ptr<dv::devserver::Server> m_server;
};

// The whole application started through its entry (startApplication) against the local server:
// the push service and the permission prompts start afresh; launch() waits until the home screen
// has its tiles.
class ApplicationTest : public ShellTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the application (with the launch options) and runs until the home screen is built:
    // YES when tiles show within the wait.
    bool launch(const Ref<NSDictionary>& launchOptions = nil);
    Ref<AppDelegate> appDelegate() const;
    Ref<VQMainViewController> homeScreen() const;
    // The tiles shown, in the order they were laid out, and their titles.
    std::vector<Ref<VQMainButton>> tiles() const;
    std::vector<std::string> tileTitles() const;
    // Runs until every tile's picture has replaced its placeholder.
    bool waitForTilePictures();
    // The device identifier the application sends as clientId.
    std::string clientId() const;

    Ref<UIApplication> m_started;
};

} // namespace dv::test
