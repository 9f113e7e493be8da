// The runner's window on a real X server (Xvfb, started here): the window shows the application
// and says in its title which home tiles show; F2 switches them, so that clicks alone lead from a
// home tile to a QR-code list and on to a code's detail page; clicks on the keyboard's keys type,
// the arrow, Home and End keys move the caret of the field (Left without Alt does not go back), the
// mouse wheel scrolls the page under the pointer (40 points a notch, a spin flying on to its
// end), Escape goes back, F12 saves a picture and closing the window ends the run with status 0.
// On a small display the picture is shrunk with its hairlines kept; with another server F2 says
// why the tiles stay; an address handed to the system is named.
#include "SimTesting.h"

#include "tools/devserver/Server.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace dv::sim::testing {
namespace {

using SteadyClock = std::chrono::steady_clock;

// X errors (a window gone between a look-up and a request) fail the test instead of ending the
// process, as Xlib's own handler would.
int s_xErrors = 0;
int noteXError(Display*, XErrorEvent*)
{
    ++s_xErrors;
    return 0;
}

// Checks `done` every 20 ms until it holds, for at most `limit` seconds; whether it held.
bool waitUntil(const std::function<bool()>& done, double limit)
{
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(static_cast<int>(limit * 1000));
    while (!done()) {
        if (SteadyClock::now() >= deadline)
            return false;
        ::poll(nullptr, 0, 20);
    }
    return true;
}

// The content height of the scroll view on the first dump line that mentions `text`
// ("content=375x3482"), or 0.
CGFloat contentHeightInDump(const std::string& dump, const std::string& text)
{
    const auto line = dump.find(text);
    const auto at = line == std::string::npos ? line : dump.find("content=", dump.rfind('\n', line) + 1);
    const auto by = at == std::string::npos ? at : dump.find('x', at);
    return by == std::string::npos ? 0 : std::strtod(dump.c_str() + by + 1, nullptr);
}

// An X server of its own on a display number it picks itself.
class VirtualDisplay {
public:
    // `size`: the screen's, "WIDTHxHEIGHTxDEPTH".
    bool start(const std::string& size, std::string& error)
    {
        int fds[2];
        if (::pipe(fds) != 0) {
            error = "no pipe";
            return false;
        }
        // The server writes its display number to the pipe once it accepts connections.
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        const bool started = m_server.start("/usr/bin/Xvfb", { "-displayfd", std::to_string(fds[1]), "-screen", "0", size,
            "-nolisten", "tcp", "-noreset" });
        ::close(fds[1]);
        if (!started) {
            ::close(fds[0]);
            error = "Xvfb did not start (scripts/setup-deps installs it)";
            return false;
        }
        std::string number;
        pollfd poller { fds[0], POLLIN, 0 };
        while (::poll(&poller, 1, 20000) > 0) {
            char c;
            if (::read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        ::close(fds[0]);
        if (number.empty()) {
            error = "Xvfb announced no display: " + m_server.standardError();
            return false;
        }
        m_name = ":" + number;
        XSetErrorHandler(noteXError);
        m_display = XOpenDisplay(m_name.c_str());
        if (!m_display) {
            error = "cannot connect to " + m_name;
            return false;
        }
        return true;
    }

    ~VirtualDisplay()
    {
        if (m_display)
            XCloseDisplay(m_display);
        m_server.sendSignal(SIGTERM);
        m_server.waitForExit(10);
    }

    const std::string& name() const { return m_name; }
    Display* display() const { return m_display; }

    // The top-level window whose name starts with `title`, waiting for it up to `limit` seconds.
    Window findWindow(const std::string& title, double limit)
    {
        auto deadline = SteadyClock::now() + std::chrono::milliseconds(static_cast<int>(limit * 1000));
        while (SteadyClock::now() < deadline) {
            if (Window found = search(DefaultRootWindow(m_display), title))
                return found;
            // Wait for the server to tell of anything (or a short while) before looking again.
            pollfd poller { ConnectionNumber(m_display), POLLIN, 0 };
            ::poll(&poller, 1, 50);
            XSync(m_display, False);
        }
        return 0;
    }

    void click(Window window, int x, int y)
    {
        int rootX = 0, rootY = 0;
        Window child;
        XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(m_display, -1, rootX, rootY, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
        XFlush(m_display);
    }

    // Turns of the mouse wheel with the pointer at (x, y): away from the person (`up`) or
    // towards them.
    void turnWheel(Window window, int x, int y, bool up, int notches)
    {
        int rootX = 0, rootY = 0;
        Window child;
        XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(m_display, -1, rootX, rootY, CurrentTime);
        for (int i = 0; i < notches; ++i) {
            XTestFakeButtonEvent(m_display, up ? 4 : 5, True, CurrentTime);
            XTestFakeButtonEvent(m_display, up ? 4 : 5, False, CurrentTime);
        }
        XFlush(m_display);
    }

    void pressKey(Window window, KeySym key)
    {
        XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
        const KeyCode code = XKeysymToKeycode(m_display, key);
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        XFlush(m_display);
    }

    // What a window manager sends when the person closes the window.
    void askToClose(Window window)
    {
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XFlush(m_display);
    }

    // The top-level windows the server shows (its root's viewable children).
    std::vector<Window> viewableWindows()
    {
        std::vector<Window> viewable;
        Window root, up, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &up, &children, &count))
            return viewable;
        for (unsigned i = 0; i < count; ++i)
            if (attributes(children[i]).map_state == IsViewable)
                viewable.push_back(children[i]);
        if (children)
            XFree(children);
        return viewable;
    }

    // The green of each pixel of a row of the window (the pictures here are grey where it counts).
    std::vector<int> greenRow(Window window, int y)
    {
        std::vector<int> row;
        const auto size = attributes(window);
        XImage* image = XGetImage(m_display, window, 0, y, static_cast<unsigned>(size.width), 1, AllPlanes, ZPixmap);
        if (!image)
            return row;
        for (int x = 0; x < size.width; ++x)
            row.push_back(static_cast<int>((XGetPixel(image, x, 0) & image->green_mask) >> 8));
        XDestroyImage(image);
        return row;
    }

    XWindowAttributes attributes(Window window)
    {
        XWindowAttributes result {};
        XGetWindowAttributes(m_display, window, &result);
        return result;
    }

private:
    Window search(Window parent, const std::string& title)
    {
        Window root, up, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, parent, &root, &up, &children, &count))
            return 0;
        Window found = 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(m_display, children[i], &name) && name) {
                if (std::string(name).rfind(title, 0) == 0 && attributes(children[i]).map_state == IsViewable)
                    found = children[i];
                XFree(name);
            }
            if (!found)
                found = search(children[i], title);
        }
        if (children)
            XFree(children);
        return found;
    }

    dv::testing::ChildProcess m_server;
    std::string m_name;
    Display* m_display = nullptr;
};

class SimWindowTest : public SimProgramTest {
protected:
    // A display (of `displaySize`: large enough for the picture at scale 2 by default), and the
    // runner's window on it against the local server it starts, with `options` added to its
    // command line and `environment` to its environment.
    void openWindow(const std::vector<std::string>& options, const std::string& displaySize = "1000x1500x24",
        const std::vector<std::string>& environment = {})
    {
        std::string error;
        ASSERT_TRUE(m_screen.start(displaySize, error)) << error;
        std::vector<std::string> arguments = { "--window", "--home", m_home.string(), "--out", m_out.string() };
        arguments.insert(arguments.end(), options.begin(), options.end());
        // The desktop libraries SDL loads (D-Bus, the X drivers) keep allocations until the process
        // ends; a leak check of the window's run would only see theirs. The headless runs check ours.
        std::vector<std::string> variables = { "DISPLAY=" + m_screen.name(), "WAYLAND_DISPLAY=", "ASAN_OPTIONS=detect_leaks=0" };
        variables.insert(variables.end(), environment.begin(), environment.end());
        ASSERT_TRUE(m_sim.start(DV_SIM_PROGRAM, arguments, variables));
        auto open = m_sim.waitForLine("window open", 60);
        ASSERT_TRUE(open) << m_sim.standardOutput() << m_sim.standardError();
        m_openLine = *open;
        m_window = m_screen.findWindow("Dovrelta", 20);
        ASSERT_NE(m_window, 0u) << "no window named Dovrelta";
    }

    // F12 in the window, and the dump of the picture it saved.
    std::string saveShot(VirtualDisplay& screen, Window window, dv::testing::ChildProcess& sim)
    {
        screen.pressKey(window, XK_F12);
        auto saved = sim.waitForLine("saved ", 20);
        if (!saved)
            return {};
        m_lastShot = saved->substr(saved->find("saved ") + 6);
        std::ifstream file(m_lastShot.substr(0, m_lastShot.size() - 4) + ".txt");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    // Saves pictures until one's dump satisfies `done` (at most `limit` seconds).
    std::string shotUntil(VirtualDisplay& screen, Window window, dv::testing::ChildProcess& sim,
        const std::function<bool(const std::string&)>& done, double limit)
    {
        auto deadline = SteadyClock::now() + std::chrono::milliseconds(static_cast<int>(limit * 1000));
        std::string dump;
        do {
            dump = saveShot(screen, window, sim);
            if (done(dump))
                break;
        } while (SteadyClock::now() < deadline);
        return dump;
    }

    std::string m_lastShot;
    VirtualDisplay m_screen;
    dv::testing::ChildProcess m_sim;
    Window m_window = 0;
    std::string m_openLine;
};

TEST_F(SimWindowTest, SwitchesTheHomeTilesAndReachesACodesPageByClicksAlone)
{
    ASSERT_NO_FATAL_FAILURE(openWindow({}));
    auto& screen = m_screen;
    auto& sim = m_sim;
    const Window window = m_window;
    EXPECT_NE(m_openLine.find("F2 switches the home tiles (now prospects"), std::string::npos) << m_openLine;
    EXPECT_NE(screen.findWindow("Dovrelta - home tiles: prospects (F2 switches)", 20), 0u) << "no window that says its home tiles";
    auto attributes = screen.attributes(window);
    EXPECT_EQ(attributes.width, 750) << "375 points at scale 2";
    EXPECT_EQ(attributes.height, 1334);

    auto homeWith = [](const std::string& tile) {
        return [tile](const std::string& dump) {
            return dumpShows(dump, "screen: VQMainViewController") && dumpShows(dump, "text=\"" + tile + "\"") && !dumpShows(dump, "PHProgressHUD");
        };
    };
    auto home = shotUntil(screen, window, sim, homeWith("加粉"), 30);
    ASSERT_TRUE(homeWith("加粉")(home)) << home << sim.standardError();
    auto homePixels = readPicture(m_lastShot);
    ASSERT_TRUE(homePixels);
    EXPECT_TRUE(dv::testing::near(homePixels->at(5, 450), { 255, 255, 255, 255 })) << "a white tile";

    // F2: the directory's tiles, on the application started again.
    screen.pressKey(window, XK_F2);
    auto switched = sim.waitForLine("home tiles: directory", 30);
    ASSERT_TRUE(switched) << sim.standardOutput() << sim.standardError();
    EXPECT_NE(screen.findWindow("Dovrelta - home tiles: directory", 20), 0u) << "the title says so";
    home = shotUntil(screen, window, sim, homeWith("加粉"), 30);
    ASSERT_TRUE(homeWith("加粉")(home)) << home;

    // A click on the middle of the first tile (375 x 667 points shown at 2 pixels a point): now
    // the group codes.
    screen.click(window, 2 * 46, 2 * 407);
    auto list = shotUntil(screen, window, sim, [](const std::string& dump) {
        return dumpShows(dump, "VQPassiveFansCell") && !dumpShows(dump, "PHProgressHUD");
    }, 30);
    EXPECT_TRUE(dumpShows(list, "screen: VQAddGroupViewController")) << list;
    EXPECT_TRUE(dumpShows(list, "title: \"加粉\"")) << "the tile's name is the list's title";

    // A click on the first row (45 points high under the bar): the code's page with its picture.
    screen.click(window, 2 * 187, 2 * (64 + 22));
    auto detail = shotUntil(screen, window, sim, [](const std::string& dump) {
        return dumpShows(dump, "screen: VQGroupDetailViewController") && dumpShows(dump, "UIImageView (13 13; ") && !dumpShows(dump, "PHProgressHUD");
    }, 30);
    ASSERT_TRUE(dumpShows(detail, "screen: VQGroupDetailViewController")) << detail;
    EXPECT_TRUE(dumpShows(detail, "title: \"详情\""));
    EXPECT_TRUE(dumpShows(detail, "text=\"区域  "));
    screen.pressKey(window, XK_Escape);
    list = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "screen: VQAddGroupViewController"); }, 10);
    ASSERT_TRUE(dumpShows(list, "screen: VQAddGroupViewController")) << list;

    // The list's upload form: a click on a field brings the keyboard up, clicks on its keys type.
    screen.click(window, 2 * 330, 2 * 552);
    auto form = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "placeholder=\"请输入标题\""); }, 20);
    auto field = screenFrameInDump(form, "placeholder=\"请输入标题\"");
    ASSERT_TRUE(field) << form;
    screen.click(window, static_cast<int>(2 * CGRectGetMidX(*field)), static_cast<int>(2 * CGRectGetMidY(*field)));
    auto keyboard = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "UIKeyboardKey"); }, 10);
    for (const char* key : { "title=\"h\"", "title=\"i\"" }) {
        auto frame = screenFrameInDump(keyboard, key);
        ASSERT_TRUE(frame) << keyboard;
        screen.click(window, static_cast<int>(2 * CGRectGetMidX(*frame)), static_cast<int>(2 * CGRectGetMidY(*frame)));
    }
    auto typed = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "text=\"hi\""); }, 10);
    EXPECT_TRUE(dumpShows(typed, "UITextField")) << typed;
    EXPECT_TRUE(dumpShows(typed, "text=\"hi\" placeholder=\"请输入标题\"")) << typed;
    auto keysPicture = readPicture(m_lastShot);
    ASSERT_TRUE(keysPicture);
    auto q = screenFrameInDump(typed, "title=\"q\"");
    ASSERT_TRUE(q);
    EXPECT_GT(keysPicture->count(*q, [](const dv::testing::Pixel& p) { return dv::testing::isInk(p, 100); }), 20u) << "the key shows its letter";

    // Left (without Alt) moves the caret back over the "i", and the next key goes there; Home and
    // End move it to the ends.
    EXPECT_TRUE(dumpShows(typed, "selected=2,0")) << typed;
    screen.pressKey(window, XK_Left);
    shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "selected=1,0"); }, 10);
    screen.click(window, static_cast<int>(2 * CGRectGetMidX(*q)), static_cast<int>(2 * CGRectGetMidY(*q)));
    auto inserted = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "text=\"hqi\""); }, 10);
    EXPECT_TRUE(dumpShows(inserted, "text=\"hqi\" placeholder=\"请输入标题\"")) << inserted;
    EXPECT_TRUE(dumpShows(inserted, "selected=2,0")) << inserted;
    screen.pressKey(window, XK_Home);
    auto atStart = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "selected=0,0"); }, 10);
    EXPECT_TRUE(dumpShows(atStart, "selected=0,0")) << atStart;
    screen.pressKey(window, XK_End);
    auto atEnd = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "selected=3,0"); }, 10);
    EXPECT_TRUE(dumpShows(atEnd, "selected=3,0")) << atEnd;
    EXPECT_FALSE(dumpShows(atEnd, "screen: VQAddGroupViewController")) << "Left without Alt does not go back";

    // Escape goes back: to the list, then home.
    screen.pressKey(window, XK_Escape);
    shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "screen: VQAddGroupViewController"); }, 10);
    screen.pressKey(window, XK_Escape);
    auto back = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "screen: VQMainViewController"); }, 10);
    EXPECT_TRUE(dumpShows(back, "screen: VQMainViewController")) << back;

    // The picture page scrolls under the mouse wheel as under a finger: a notch moves it 40 points
    // and notches add up; a spin of 30 notches flies on with the page's deceleration to its end,
    // which 30 notches alone (1200 points) would not reach, and back to its top.
    screen.click(window, 2 * 328, 2 * 407);
    auto page = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "screen: KYWifiController"); }, 20);
    ASSERT_TRUE(dumpShows(page, "screen: KYWifiController")) << page;
    auto frame = screenFrameInDump(page, "content=375x");
    ASSERT_TRUE(frame) << page;
    const CGFloat end = contentHeightInDump(page, "content=375x") - frame->size.height;
    ASSERT_GT(end, 30 * 40) << page;
    auto offsetReaches = [](std::function<bool(CGFloat)> reached) {
        return [reached](const std::string& dump) {
            auto offset = offsetInDump(dump, "content=375x");
            return offset && reached(offset->y);
        };
    };
    auto offsetOf = [](const std::string& dump) { return offsetInDump(dump, "content=375x").value_or(CGPointMake(-1, -1)); };
    const int x = 2 * 187, y = 2 * 400;
    screen.turnWheel(window, x, y, false, 1);
    EXPECT_EQ(offsetOf(shotUntil(screen, window, sim, offsetReaches([](CGFloat y) { return y >= 40; }), 10)), CGPointMake(0, 40));
    screen.turnWheel(window, x, y, false, 1);
    EXPECT_EQ(offsetOf(shotUntil(screen, window, sim, offsetReaches([](CGFloat y) { return y >= 80; }), 10)), CGPointMake(0, 80));
    auto rested = shotUntil(screen, window, sim, offsetReaches([](CGFloat y) { return y != 80; }), 1);
    EXPECT_EQ(offsetOf(rested).y, 80) << "the finger lifts still after slow notches: no flight";
    screen.turnWheel(window, x, y, true, 2);
    EXPECT_EQ(offsetOf(shotUntil(screen, window, sim, offsetReaches([](CGFloat y) { return y <= 0; }), 10)), CGPointZero)
        << "two notches together are no spin";

    screen.turnWheel(window, x, y, false, 30);
    auto bottom = shotUntil(screen, window, sim, offsetReaches([end](CGFloat y) { return std::abs(y - end) < 0.5; }), 20);
    EXPECT_NEAR(offsetOf(bottom).y, end, 0.5) << "a spin of 30 notches from the top reaches the end";
    screen.turnWheel(window, x, y, true, 30);
    auto top = shotUntil(screen, window, sim, offsetReaches([](CGFloat y) { return std::abs(y) < 0.5; }), 20);
    EXPECT_NEAR(offsetOf(top).y, 0, 0.5) << "and 30 the other way from the end its top";

    screen.askToClose(window);
    EXPECT_EQ(sim.waitForExit(20), 0) << sim.standardError();
    EXPECT_EQ(s_xErrors, 0);
    EXPECT_EQ(sim.standardError().find("Assertion"), std::string::npos);
    EXPECT_EQ(sim.standardError(), "") << "the application's log goes to its file";
}

// On a display too small for the picture at two pixels a point, the window shows it at one pixel a
// point, each pixel the average of the four it covers: the region picker's selection lines, one
// pixel of the picture each, stay in the window (fainter), where taking every other row would drop
// one of them. Run against a server of the test's own (--server), F2 says why it does not switch
// the tiles.
TEST_F(SimWindowTest, OnASmallDisplayHairlinesStayAndF2SaysWhyAnotherServersTilesStay)
{
    auto started = dv::devserver::Server::start({ .dataFolder = (m_root / "server").string(), .tileSet = "prospects" });
    ASSERT_TRUE(started) << started.reason();
    auto server = std::move(started).value();
    ASSERT_NO_FATAL_FAILURE(openWindow({ "--server", server->baseURL() }, "1000x900x24"));
    auto& screen = m_screen;
    auto& sim = m_sim;
    const Window window = m_window;
    auto attributes = screen.attributes(window);
    ASSERT_EQ(attributes.width, 375) << "one pixel a point";
    ASSERT_EQ(attributes.height, 667);

    auto home = shotUntil(screen, window, sim, [](const std::string& dump) {
        return dumpShows(dump, "text=\"加粉\"") && !dumpShows(dump, "PHProgressHUD");
    }, 30);
    ASSERT_TRUE(dumpShows(home, "text=\"加粉\"")) << home << sim.standardError();
    screen.pressKey(window, XK_F2);
    EXPECT_TRUE(sim.waitForLine("F2 switches the home tiles of the local server; this run's tiles are those of " + server->baseURL(), 20))
        << sim.standardOutput();

    // The first tile's search form, and its region picker.
    screen.click(window, 46, 407);
    auto form = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "请选择地区"); }, 30);
    auto region = screenFrameInDump(form, "请选择地区");
    ASSERT_TRUE(region) << form;
    screen.click(window, static_cast<int>(CGRectGetMidX(*region)), static_cast<int>(CGRectGetMidY(*region)));
    auto picker = shotUntil(screen, window, sim, [](const std::string& dump) {
        return dumpShows(dump, "UIPickerView") && !dumpShows(dump, "PHProgressHUD") && !dumpShows(dump, "animating");
    }, 30);
    ASSERT_TRUE(dumpShows(picker, "UIPickerView")) << picker;
    // The hairlines of the picture (two pixels a point): rows of one colour across the screen,
    // darker than the rows above and below them.
    auto picture = readPicture(m_lastShot, 1);
    ASSERT_TRUE(picture);
    auto green = [&](int x, int y) { return picture->at(x, y)[1]; };
    std::vector<int> hairlines;
    for (int y = 2 * 70; y < 2 * 660; ++y) {
        bool line = true;
        for (int x = 60; x < 690 && line; x += 6)
            line = green(x, y) == green(60, y) && green(x, y - 1) >= green(x, y) + 8 && green(x, y + 1) >= green(x, y) + 8;
        if (line)
            hairlines.push_back(y);
    }
    ASSERT_EQ(hairlines.size(), 2u) << "the picker's two selection lines in " << m_lastShot;
    EXPECT_NE(hairlines[0] % 2, hairlines[1] % 2) << "one on an even row, one on an odd one";
    // In the window each shows in the row that holds it, at least a third as dark against the
    // ground (half, averaged with a row of the ground).
    auto shown = [&](int hairline) {
        const auto row = screen.greenRow(window, hairline / 2);
        const int ground = std::min(green(60, hairline - 1), green(60, hairline + 1)), ink = green(60, hairline);
        for (int x = 30; x < 345; x += 3)
            if (x >= static_cast<int>(row.size()) || 3 * (ground - row[x]) < ground - ink)
                return false;
        return true;
    };
    // The window draws what the picture showed a moment after it.
    waitUntil([&] { return std::all_of(hairlines.begin(), hairlines.end(), shown); }, 10);
    for (int hairline : hairlines)
        EXPECT_TRUE(shown(hairline)) << "the picture's hairline at row " << hairline << " in the window's row " << hairline / 2;

    screen.askToClose(window);
    EXPECT_EQ(sim.waitForExit(20), 0) << sim.standardError();
    EXPECT_EQ(s_xErrors, 0);
}

// A link the application hands to the system opens outside the window: the runner names it in a
// line (and hands it to xdg-open, here a stand-in of the test's own that notes it).
TEST_F(SimWindowTest, AWebPageShowsInTheWindowAndOpensNoWindowOfItsOwnAndALinkForTheSystemIsNamed)
{
    const auto bin = m_root / "bin";
    std::filesystem::create_directories(bin);
    const auto handed = m_root / "handed.txt";
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\necho \"$1\" >> '" << handed.string() << "'\n";
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    // The information tiles: the third one (行业客源) opens its category's web page.
    ASSERT_NO_FATAL_FAILURE(openWindow({ "--tiles", "information" }, "1000x1500x24", { "PATH=" + bin.string() + ":" + (path ? path : "/usr/bin:/bin") }));
    auto& screen = m_screen;
    auto& sim = m_sim;
    const Window window = m_window;
    auto home = shotUntil(screen, window, sim, [](const std::string& dump) {
        return dumpShows(dump, "text=\"行业客源\"") && !dumpShows(dump, "PHProgressHUD");
    }, 30);
    ASSERT_TRUE(dumpShows(home, "text=\"行业客源\"")) << home;

    screen.click(window, 2 * (188 + 46), 2 * 407);
    // The page is drawn in the window (its text below the bar; its pixels come in their own time
    // after the load), and the engine showed nothing of its own on the display.
    auto pageTextDrawn = [this] {
        auto pixels = readPicture(m_lastShot);
        return pixels && dv::testing::anyPixelIn(*pixels, CGRectMake(10, 80, 190, 60), [](const dv::testing::Pixel& p) { return p[0] < 120; });
    };
    auto page = shotUntil(screen, window, sim, [&](const std::string& dump) {
        return dumpShows(dump, "UIWebView (0 0; 375 603) title=\"行业客源\"") && !dumpShows(dump, "loading") && pageTextDrawn();
    }, 30);
    EXPECT_TRUE(dumpShows(page, "screen: VQMainWebViewController")) << page;
    EXPECT_TRUE(dumpShows(page, "UIWebView (0 0; 375 603) title=\"行业客源\"")) << page;
    EXPECT_TRUE(pageTextDrawn()) << "the page's text in the window's picture";
    EXPECT_EQ(screen.viewableWindows(), std::vector<Window> { window });

    // The first tile: the about screen, whose web site's address opens in the system browser.
    screen.pressKey(window, XK_Escape);
    shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "screen: VQMainViewController"); }, 10);
    screen.click(window, 2 * 46, 2 * 407);
    auto about = shotUntil(screen, window, sim, [](const std::string& dump) {
        return dumpShows(dump, "http://www.dovrelta.example/") && !dumpShows(dump, "PHProgressHUD");
    }, 30);
    auto link = screenFrameInDump(about, "http://www.dovrelta.example/");
    ASSERT_TRUE(link) << about;
    screen.click(window, static_cast<int>(2 * CGRectGetMidX(*link)), static_cast<int>(2 * CGRectGetMidY(*link)));
    EXPECT_TRUE(sim.waitForLine("dovrelta-sim: handed to the system (xdg-open): http://www.dovrelta.example/", 20)) << sim.standardOutput();
    std::string url;
    waitUntil([&] {
        std::ifstream noted(handed);
        return std::getline(noted, url) && !url.empty();
    }, 10);
    EXPECT_EQ(url, "http://www.dovrelta.example/") << "what xdg-open was given";

    screen.askToClose(window);
    EXPECT_EQ(sim.waitForExit(20), 0) << sim.standardError();
    EXPECT_EQ(s_xErrors, 0);
}

} // namespace
} // namespace dv::sim::testing
