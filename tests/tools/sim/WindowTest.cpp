// The runner's window on a real X server (Xvfb, started here): the window shows the application
// and says in its title which home tiles show; F2 switches them, so that clicks alone lead from a
// home tile to a QR-code list and on to a code's detail page; clicks on the keyboard's keys type,
// the mouse wheel scrolls the page under the pointer, Escape goes back, F12 saves a picture and
// closing the window ends the run with status 0.
#include "SimTesting.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
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

// An X server of its own on a display number it picks itself.
class VirtualDisplay {
public:
    bool start(std::string& error)
    {
        int fds[2];
        if (::pipe(fds) != 0) {
            error = "no pipe";
            return false;
        }
        // The server writes its display number to the pipe once it accepts connections.
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        const bool started = m_server.start("/usr/bin/Xvfb", { "-displayfd", std::to_string(fds[1]), "-screen", "0", "1000x1500x24",
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
    // A display, and the runner's window on it against the local server it starts, with `options`
    // added to its command line.
    void openWindow(const std::vector<std::string>& options)
    {
        std::string error;
        ASSERT_TRUE(m_screen.start(error)) << error;
        std::vector<std::string> arguments = { "--window", "--home", m_home.string(), "--out", m_out.string() };
        arguments.insert(arguments.end(), options.begin(), options.end());
        // The desktop libraries SDL loads (D-Bus, the X drivers) keep allocations until the process
        // ends; a leak check of the window's run would only see theirs. The headless runs check ours.
        ASSERT_TRUE(m_sim.start(DV_SIM_PROGRAM, arguments, { "DISPLAY=" + m_screen.name(), "WAYLAND_DISPLAY=", "ASAN_OPTIONS=detect_leaks=0" }));
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

    // Escape goes back: to the list, then home.
    screen.pressKey(window, XK_Escape);
    shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "screen: VQAddGroupViewController"); }, 10);
    screen.pressKey(window, XK_Escape);
    auto back = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "screen: VQMainViewController"); }, 10);
    EXPECT_TRUE(dumpShows(back, "screen: VQMainViewController")) << back;

    // The picture page scrolls under the mouse wheel, as under a finger, and back to its top.
    screen.click(window, 2 * 328, 2 * 407);
    auto page = shotUntil(screen, window, sim, [](const std::string& dump) { return dumpShows(dump, "screen: KYWifiController"); }, 20);
    ASSERT_TRUE(dumpShows(page, "screen: KYWifiController")) << page;
    screen.turnWheel(window, 2 * 187, 2 * 400, false, 5);
    auto scrolled = shotUntil(screen, window, sim, [](const std::string& dump) {
        auto offset = offsetInDump(dump, "content=375x");
        return offset && offset->y >= 199;
    }, 10);
    auto down = offsetInDump(scrolled, "content=375x");
    ASSERT_TRUE(down) << scrolled;
    EXPECT_EQ(down->y, 200) << "five notches of 40 points, and no flight once the wheel rests";
    EXPECT_EQ(down->x, 0);
    screen.turnWheel(window, 2 * 187, 2 * 400, true, 5);
    auto top = shotUntil(screen, window, sim, [](const std::string& dump) {
        auto offset = offsetInDump(dump, "content=375x");
        return offset && offset->y == 0;
    }, 10);
    EXPECT_EQ(offsetInDump(top, "content=375x")->y, 0) << top;

    screen.askToClose(window);
    EXPECT_EQ(sim.waitForExit(20), 0) << sim.standardError();
    EXPECT_EQ(s_xErrors, 0);
    EXPECT_EQ(sim.standardError().find("Assertion"), std::string::npos);
    EXPECT_EQ(sim.standardError(), "") << "the application's log goes to its file";
}

TEST_F(SimWindowTest, AWebPageShowsInTheWindowAndOpensNoWindowOfItsOwn)
{
    // The information tiles: the third one (行业客源) opens its category's web page.
    ASSERT_NO_FATAL_FAILURE(openWindow({ "--tiles", "information" }));
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

    screen.askToClose(window);
    EXPECT_EQ(sim.waitForExit(20), 0) << sim.standardError();
    EXPECT_EQ(s_xErrors, 0);
}

} // namespace
} // namespace dv::sim::testing
