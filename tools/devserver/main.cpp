// dovrelta-devserver: the local application server as a program.
//
//   dovrelta-devserver [--host 127.0.0.1] [--port 8092] [--data DIR] [--fault PATH=FAULT]... [--tiles NAME]
//                      [--store-limit SIZE] [--keep-alive SECONDS] [--request-deadline SECONDS] [--no-codes]
//                      [--verbose]
//
// --port 0 picks a free port. The first line on standard output names the base URL, so that a
// script can read the port back. --no-codes makes a new data folder without the seeded QR codes.
// --tiles lists a named set of home categories (Server::tileSets) from the start. --store-limit
// bounds the bytes that all uploads together keep (Options::maxStoreBytes; K, M or G for KiB, MiB,
// GiB). --keep-alive and --request-deadline set how long an idle connection stays open and how
// long a request may take to arrive (Options::keepAliveSeconds, requestDeadlineSeconds).
// The server runs until SIGINT or SIGTERM.
#include "tools/devserver/Server.h"

#include <malloc.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

int usage(const char* message)
{
    if (message)
        std::fprintf(stderr, "dovrelta-devserver: %s\n", message);
    std::fprintf(stderr,
        "usage: dovrelta-devserver [--host ADDRESS] [--port N] [--data DIR] [--fault PATH=FAULT]... [--tiles NAME]\n"
        "                          [--store-limit SIZE] [--keep-alive SECONDS] [--request-deadline SECONDS] [--no-codes]\n"
        "                          [--verbose]\n"
        "  --port 0 picks a free port; --data defaults to $DOVRELTA_HOME/server\n"
        "  --store-limit SIZE: bytes all uploads together may keep, with K, M or G for KiB, MiB, GiB (default 1G)\n"
        "  --keep-alive SECONDS: how long an idle connection stays open (default 5)\n"
        "  --request-deadline SECONDS: how long a request may take to arrive (default 10)\n"
        "  FAULT: delay[:S] http[:CODE] html malformed array null wrongtypes[:status] status[:CODE[:MSG]] close cut hold,\n"
        "        optionally *N\n"
        "  --tiles NAME: the home categories the server lists (kept in the data folder; a new one lists the first):\n");
    for (const auto& set : dv::devserver::Server::tileSets())
        std::fprintf(stderr, "    %-12s %s\n", set.name.c_str(), set.summary.c_str());
    return 2;
}

bool parsePort(const char* text, int& port)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!end || *end || value < 0 || value > 65535)
        return false;
    port = static_cast<int>(value);
    return true;
}

// "1073741824", "1048576K", "1024M" or "1G"; at least one byte.
bool parseSize(const char* text, std::int64_t& bytes)
{
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text, &end, 10);
    if (!end || end == text || errno || value <= 0)
        return false;
    int shift = 0;
    if (*end == 'K' || *end == 'M' || *end == 'G')
        shift = *end == 'K' ? 10 : *end == 'M' ? 20 : 30;
    if (shift && *++end)
        return false;
    if (*end || value > (std::numeric_limits<std::int64_t>::max() >> shift))
        return false;
    bytes = std::int64_t(value) << shift;
    return true;
}

// A number of seconds above 0 and at most a day.
bool parseSeconds(const char* text, double& seconds)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (!end || end == text || *end || errno || !(value > 0 && value <= 86400))
        return false;
    seconds = value;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    dv::devserver::Options options;
    options.port = 8092;
    std::vector<std::pair<std::string, dv::devserver::Fault>> faults;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (argument == "--help" || argument == "-h") {
            usage(nullptr);
            return 0;
        } else if (argument == "--verbose") {
            options.logRequests = true;
        } else if (argument == "--tiles") {
            const char* text = value();
            if (!text || !*text)
                return usage("--tiles takes the name of a tile set");
            options.tileSet = text;
        } else if (argument == "--store-limit") {
            const char* text = value();
            if (!text || !parseSize(text, options.maxStoreBytes))
                return usage("--store-limit takes a size in bytes, or with K, M or G");
        } else if (argument == "--keep-alive") {
            const char* text = value();
            if (!text || !parseSeconds(text, options.keepAliveSeconds))
                return usage("--keep-alive takes a number of seconds above 0");
        } else if (argument == "--request-deadline") {
            const char* text = value();
            if (!text || !parseSeconds(text, options.requestDeadlineSeconds))
                return usage("--request-deadline takes a number of seconds above 0");
        } else if (argument == "--no-codes") {
            options.seedCodes = false;
        } else if (argument == "--port") {
            const char* text = value();
            if (!text || !parsePort(text, options.port))
                return usage("--port takes a number from 0 to 65535");
        } else if (argument == "--host") {
            const char* text = value();
            if (!text || !*text)
                return usage("--host takes an address");
            options.host = text;
        } else if (argument == "--data") {
            const char* text = value();
            if (!text || !*text)
                return usage("--data takes a folder");
            options.dataFolder = text;
        } else if (argument == "--fault") {
            const char* text = value();
            std::string pathAndFault = text ? text : "";
            auto parsed = dv::devserver::parsePathAndFault(pathAndFault);
            if (!parsed)
                return usage(("--fault " + pathAndFault + ": " + parsed.reason()).c_str());
            faults.push_back(*parsed);
        } else {
            return usage(("unknown argument " + argument).c_str());
        }
    }

    // Bodies and answers of hundreds of kilobytes come and go on many threads. The allocator's own
    // choice would soon keep such blocks in its per-thread heaps, where memory freed stays with
    // the process; mapped of their own, they go back to the system as soon as they are freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);

    // The signals are waited for on this thread; the server's threads inherit the mask.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    auto started = dv::devserver::Server::start(options);
    if (!started) {
        std::fprintf(stderr, "dovrelta-devserver: %s\n", started.reason().c_str());
        return 1;
    }
    auto server = std::move(started).value();
    for (auto& [path, fault] : faults)
        server->setFault(path, fault);
    const std::string tiles = server->tileSet();
    std::printf("dovrelta-devserver: listening on %s (data: %s; home tiles: %s)\n", server->baseURL().c_str(), server->dataFolder().c_str(),
        tiles.empty() ? "the data folder's own" : tiles.c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    server->stop();
    return 0;
}
