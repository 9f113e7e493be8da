#include "tools/sim/RunnerOptions.h"

#include "tools/devserver/Server.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace dv::sim {

namespace {

bool parseNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool parseInteger(const std::string& text, long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return end && *end == '\0' && errno == 0;
}

} // namespace

std::string runnerUsage()
{
    std::string tiles;
    for (const auto& set : dv::devserver::Server::tileSets()) {
        std::string name = set.name;
        name.resize(std::max<std::size_t>(name.size(), 13), ' ');
        tiles += "                     " + name + set.summary + "\n";
    }
    const std::string usage = "usage: dovrelta-sim [--headless | --window] [--script FILE] [--out DIR] [--server URL | --port N]\n"
           "                    [--home DIR] [--tiles NAME] [--scale S] [--screen WxH] [--fault PATH=FAULT]... [--offline]\n"
           "                    [--shots named|all] [--reproducible] [--verbose] [--print-tour]\n"
           "  --headless       no window: run the tour (or --script FILE) and write a PNG and a text dump per step\n"
           "  --window         a desktop window even when no display is announced\n"
           "  --script FILE    driver commands to run instead of the tour (--print-tour shows the language)\n"
           "  --out DIR        where the pictures, dumps and the application's log go (default: a new folder under $TMPDIR)\n"
           "  --server URL     use the server at http://HOST:PORT/DV/ instead of starting the local one\n"
           "  --port N         the local server's port (default: a free one)\n"
           "  --home DIR       DOVRELTA_HOME for this run (the application's files and the local server's data); without it a\n"
           "                   headless run starts from a fresh home of its own, a window from $DOVRELTA_HOME (the tour\n"
           "                   uploads a code, which the server refreshes once a day: a second tour in one home stops there)\n"
           "  --tiles NAME     the home tiles the local server lists; the home screen keeps three tiles by name and opens\n"
           "                   screens by keyword, so each set leads to other screens (in the window F2 switches them):\n"
           "%s"
           "  --scale S        pixels per point (default 2); --screen WxH the screen in points (default 375x667; 320x568 too)\n"
           "  --fault PATH=FAULT  a fault of the local server from the start (see dovrelta-devserver --help)\n"
           "  --offline        the machine looks offline from the start\n"
           "                   (--fault and --offline go with --script or the window: the tour walks the working application)\n"
           "  --shots all      a picture after every command that acts, not only after `screenshot`\n"
           "  --reproducible   the same pictures run after run (the tour's reference pictures are taken so): the status area\n"
           "                   shows 09:41 and no network activity, a fresh home's device has a fixed identifier, and\n"
           "                   `screenshot` waits for the pictures being downloaded too\n"
           "  --verbose        the application's log on standard error too (it always goes to application.log in --out)\n"
           "Window keys: Escape or Alt+Left goes back, Left, Right, Home and End move the caret of the focused field (Home\n"
           "and End in its line, with Ctrl in its whole text), F2 switches the local server's home tiles, F12 or Ctrl+S saves\n"
           "a screenshot, closing the window ends the run; the mouse wheel scrolls what lies under the pointer, 40 points a\n"
           "notch (a fast spin flies on).\n";
    const auto at = usage.find("%s");
    return usage.substr(0, at) + tiles + usage.substr(at + 2);
}

Result<ServerAddress> parseServerURL(const std::string& url)
{
    constexpr std::string_view scheme = "http://";
    if (url.compare(0, scheme.size(), scheme) != 0)
        return Failure("--server " + url + ": only http://HOST:PORT/DV/ addresses are served");
    std::string rest = url.substr(scheme.size());
    std::string path;
    if (auto slash = rest.find('/'); slash != std::string::npos) {
        path = rest.substr(slash);
        rest.resize(slash);
    }
    if (!path.empty() && path != "/" && path != "/DV" && path != "/DV/")
        return Failure("--server " + url + ": the application's paths live under /DV/, not " + path);
    long number = 80;
    if (auto colon = rest.rfind(':'); colon != std::string::npos) {
        if (!parseInteger(rest.substr(colon + 1), number) || number < 1 || number > 65535)
            return Failure("--server " + url + ": the port is not a number from 1 to 65535");
        rest.resize(colon);
    }
    if (rest.empty())
        return Failure("--server " + url + ": no host");
    return ServerAddress { rest, static_cast<int>(number) };
}

Result<RunnerOptions> parseRunnerOptions(const std::vector<std::string>& arguments)
{
    RunnerOptions options;
    auto fail = [](std::string message) { return Failure(std::move(message)); };
    bool portGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        auto value = [&]() -> std::string { return hasValue ? arguments[++i] : std::string(); };
        auto needsValue = [&](const char* what) { return fail(argument + " takes " + what); };

        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--headless") {
            if (options.mode == RunMode::Window)
                return fail("--headless and --window exclude each other");
            options.mode = RunMode::Headless;
        } else if (argument == "--window") {
            if (options.mode == RunMode::Headless)
                return fail("--headless and --window exclude each other");
            options.mode = RunMode::Window;
        } else if (argument == "--script") {
            if (!hasValue)
                return needsValue("a file of driver commands");
            options.scriptPath = value();
            if (options.scriptPath.empty())
                return needsValue("a file of driver commands");
        } else if (argument == "--out") {
            if (!hasValue)
                return needsValue("a folder");
            options.outputFolder = value();
            if (options.outputFolder.empty())
                return needsValue("a folder");
        } else if (argument == "--server") {
            if (!hasValue)
                return needsValue("a URL such as http://127.0.0.1:8092/DV/");
            options.serverURL = value();
            DV_TRY_ASSIGN(auto address, parseServerURL(options.serverURL));
            options.serverHost = address.host;
            options.serverPort = address.port;
        } else if (argument == "--port") {
            long port = 0;
            if (!hasValue || !parseInteger(value(), port) || port < 0 || port > 65535)
                return needsValue("a port number from 0 to 65535");
            options.serverPort = static_cast<int>(port);
            portGiven = true;
        } else if (argument == "--home") {
            if (!hasValue)
                return needsValue("a folder");
            options.home = value();
            if (options.home.empty())
                return needsValue("a folder");
        } else if (argument == "--tiles") {
            if (!hasValue)
                return needsValue("the name of a set of home tiles (prospects, directory, information)");
            options.tiles = value();
            const auto& sets = dv::devserver::Server::tileSets();
            if (std::none_of(sets.begin(), sets.end(), [&](const auto& set) { return set.name == options.tiles; }))
                return fail("--tiles " + options.tiles + ": the sets are prospects, directory and information");
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else if (argument == "--scale") {
            double scale = 0;
            if (!hasValue || !parseNumber(value(), scale) || scale < 0.5 || scale > 4)
                return needsValue("a number from 0.5 to 4");
            options.scale = scale;
        } else if (argument == "--screen") {
            std::string text = hasValue ? value() : std::string();
            auto x = text.find('x');
            double width = 0, height = 0;
            if (x == std::string::npos || !parseNumber(text.substr(0, x), width) || !parseNumber(text.substr(x + 1), height)
                || width < 200 || height < 300 || width > 2000 || height > 3000)
                return needsValue("WIDTHxHEIGHT in points, such as 375x667 (at least 200x300)");
            options.screenWidth = width;
            options.screenHeight = height;
        } else if (argument == "--fault") {
            if (!hasValue)
                return needsValue("PATH=FAULT, such as home/index.do=http:500");
            std::string text = value();
            auto parsed = dv::devserver::parsePathAndFault(text);
            if (!parsed)
                return fail("--fault " + text + ": " + parsed.reason());
            options.faults.push_back(*parsed);
        } else if (argument == "--offline") {
            options.offline = true;
        } else if (argument == "--shots") {
            std::string text = hasValue ? value() : std::string();
            if (text == "named")
                options.shots = ShotPolicy::Named;
            else if (text == "all")
                options.shots = ShotPolicy::All;
            else
                return needsValue("named or all");
        } else if (argument == "--reproducible") {
            options.reproducible = true;
        } else if (argument == "--print-tour") {
            options.printTour = true;
        } else {
            return fail("unknown argument " + argument);
        }
    }
    if (!options.serverURL.empty() && portGiven)
        return fail("--port is the local server's; it does not go with --server");
    if (!options.serverURL.empty() && !options.faults.empty())
        return fail("--fault switches the local server's faults; it does not go with --server");
    if (!options.serverURL.empty() && !options.tiles.empty())
        return fail("--tiles chooses the local server's home tiles; it does not go with --server");
    return options;
}

} // namespace dv::sim
