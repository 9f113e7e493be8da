#include "platform/ui/internal/web/PrivateDisplay.h"

#include <cerrno>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace dv::internal::uikit {

namespace {

constexpr const char* kServer = "/usr/bin/Xvfb";
// How long the server may take to announce its display (it is ready in a fraction of a second).
constexpr int kStartMilliseconds = 20000;
// The screen of the server; offscreen windows do not depend on it, pages see it as screen.width
// and screen.height.
constexpr const char* kScreen = "1080x1920x24";

} // namespace

Result<PrivateDisplay::Server> PrivateDisplay::start()
{
    if (::access(kServer, X_OK) != 0)
        return Failure(kServer + std::string(" is not installed"));
    int announce[2];
    if (::pipe2(announce, O_CLOEXEC) != 0)
        return Failure(std::string("no pipe: ") + std::strerror(errno));
    // Everything the child needs is made before the fork: after it, only async-signal-safe calls.
    const int announceFd = 3;
    const std::string fdText = std::to_string(announceFd);
    std::vector<std::string> arguments { "Xvfb", "-displayfd", fdText, "-screen", "0", kScreen, "-nolisten", "tcp", "-noreset" };
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);

    const pid_t child = ::fork();
    if (child < 0) {
        Failure failure(std::string("cannot start ") + kServer + ": " + std::strerror(errno));
        ::close(announce[0]);
        ::close(announce[1]);
        if (devNull >= 0)
            ::close(devNull);
        return failure;
    }
    if (child == 0) {
        // Ends when the thread that started it does; the parent may already be gone.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        // A process group of its own, so that a signal meant for the application's group (an
        // interrupt at the terminal) reaches it only through the application's end.
        ::setpgid(0, 0);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
        }
        ::dup2(announce[1], announceFd);
        ::close_range(announceFd + 1, ~0U, 0);
        ::execv(kServer, argv.data());
        ::_exit(127);
    }
    ::close(announce[1]);
    if (devNull >= 0)
        ::close(devNull);

    std::string number;
    pollfd poller { announce[0], POLLIN, 0 };
    bool complete = false;
    while (!complete && ::poll(&poller, 1, kStartMilliseconds) > 0) {
        char c;
        const auto got = ::read(announce[0], &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != 1)
            break;
        if (c == '\n')
            complete = true;
        else
            number += c;
    }
    ::close(announce[0]);
    if (!complete || number.empty()) {
        ::kill(child, SIGTERM);
        return Failure(kServer + std::string(" announced no display"));
    }
    return Server { .display = ":" + number, .process = child };
}

void PrivateDisplay::loadGraphics(const std::string& display)
{
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection)
        return;
    int errorBase = 0, eventBase = 0;
    if (glXQueryExtension(connection, &errorBase, &eventBase)) {
        int count = 0;
        if (GLXFBConfig* configs = glXGetFBConfigs(connection, DefaultScreen(connection), &count))
            XFree(configs);
    }
    // Never closed: closing it would unload the driver again.
}

void PrivateDisplay::keepUntilEnd(pid_t server)
{
    while (::waitpid(server, nullptr, 0) < 0 && errno == EINTR) { }
}

} // namespace dv::internal::uikit
