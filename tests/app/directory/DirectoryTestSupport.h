// Shared set-up of the directory's tests: a private DOVRELTA_HOME, a manual clock, the local
// application server on a free port with the server client pointed at it, the application started
// through its entry (its window, its navigation controller with the home screen at the root, the
// login and the home screen's load done), a driver on that window, the photo album's permission
// not yet asked for, and a record of the form fields of
// every request the screens sent.
#pragma once

#include "app/shell/server/ServerRequests.h"
#include "platform/base/Base.h"
#include "platform/dispatch/Clock.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UIKit.h"
#include "tests/platform/system/TemporaryHome.h"
#include "tools/devserver/Server.h"

#include "tests/platform/dispatch/LiveObjectCheck.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class UITableView;

namespace dv::test {

// One request a screen sent: its path under the server's base and its form fields.
struct SentRequest {
    std::string path;
    std::map<std::string, std::string> fields;
    bool byTest = false; // made by the test itself (serverCodes), not by a screen
    std::string field(const std::string& name) const;
    bool has(const std::string& name) const { return fields.count(name) > 0; }
};

// One code as the server lists it.
struct ServerCode {
    std::string qrcodeId, title, account, position, qrcodeImg, descriptions, areaName;
};

class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the application through its entry and runs until its login and home screen have
    // loaded; relaunch ends the running one first, as a new process would find things.
    void launch();
    void relaunch();
    // Starts the server (again) with or without the seeded codes, in a folder of its own.
    // A new server (on new data); the upload limit on pictures' pixels when one is given.
    void startServer(bool seedCodes, std::optional<std::uint64_t> maxPicturePixels = std::nullopt);

    // The codes of one batch, asked of the server directly.
    std::vector<ServerCode> serverCodes(dv::app::QRCodeKind kind, NSInteger page);

    // Makes the screen by class name (as the home screen does), titles it and pushes it on the
    // application's navigation controller; runs
    // until its first load has ended and the push is over.
    Ref<UIViewController> openScreen(const std::string& className, const std::string& title);
    // How many server calls of the screens (and the test) have ended so far, their blocks run.
    std::size_t callsMade() const;
    // Calls of the HTTP layer started and not yet ended.
    std::size_t callsRunning() const;
    // Runs until a call beyond the first `callsBefore` has ended; then lets the overlays fade
    // and a push or pop end on the clock. Answers whether that happened and no loading overlay
    // is left.
    bool waitUntilLoaded(std::size_t callsBefore);
    // A tap (on a view, a bar button or a row) and the wait for the load it starts.
    bool tapAndWait(const Ref<UIView>& view);
    bool tapAndWait(const Ref<UIBarButtonItem>& item);
    bool tapRowAndWait(const Ref<UITableView>& table, NSInteger row, NSInteger section);
    // The "back" button the navigation controller gives the top screen, tapped; then the pop ends.
    bool goBack();
    // Lets toasts go (they stay 0.7 s on the clock).
    void clearToasts();

    // Whether a view shows the text to a person now.
    bool showsText(std::string_view text) const;
    // Whether an overlay or toast with the text is up, fading in or out included.
    // Whether an overlay showing `text` is on screen; Fading::No leaves out one already fading out.
    enum class Fading { Yes, No };
    bool hasOverlay(std::string_view text, Fading fading = Fading::Yes) const;
    // Runs until an overlay or toast with the text is up.
    bool waitForOverlay(std::string_view text);
    // The texts of the list rows a person sees, top first.
    std::vector<std::string> visibleRowTitles(const Ref<UITableView>& table) const;

    // The screens' requests to `path` that have ended since the start of the test (or since the
    // last clearRequests).
    std::vector<SentRequest> requestsTo(std::string_view path) const;
    void clearRequests();

    // The pictures in the photo album, oldest first.
    std::vector<std::string> albumPictures() const;

    LiveObjectCheck m_liveObjects; // first: it counts once everything else is gone
    TemporaryHome m_home;
    ManualClockScope m_clock;
    Ref<UIApplication> m_app;
    Ref<UIWindow> m_window;
    Ref<UINavigationController> m_navigation;
    dv::testing::UIDriver m_ui;
    std::unique_ptr<dv::devserver::Server> m_server;
    int m_serverGeneration = 0;

private:
    struct Recorder;
    std::shared_ptr<Recorder> m_recorder;
};

// The text of the first QR code zbar finds in the picture; nullopt when it finds none.
std::optional<std::string> readQrCode(const Ref<UIImage>& image);

} // namespace dv::test
