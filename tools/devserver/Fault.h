// Faults the local application server can be told to show on a path, so that the application's
// tests can prove that every bad reply ends in the right message and never in a crash.
//
// A fault is set per path (relative to /DV/, e.g. "home/index.do"); "pic/*" covers every path that
// starts with "pic/" and "*" every path. An exact path wins over a prefix, a longer prefix over a
// shorter one. A fault lasts until it is cleared, or for `times` requests when that is positive.
//
// The text form is used by the command line (--fault PATH=FAULT) and the control endpoint:
//   delay[:SECONDS]       wait SECONDS (default 12, past the client's 10-second time-out), then answer normally
//   http[:CODE]           HTTP status CODE (default 500) with an HTML error page
//   html                  status 200, text/html page instead of JSON
//   malformed             status 200, application/json, the reply cut in half (not parseable)
//   array                 status 200, a JSON array instead of the reply object
//   null                  status 200, the JSON literal null
//   wrongtypes[:status]   the reply with its fields of the wrong type (see FaultReplies.h); ":status"
//                         changes `status` as well, otherwise it stays as it was
//   status[:CODE[:MSG]]   a refusal: `status` CODE (default 0) and `msg` MSG
//   close                 the connection is closed before anything is written. A client that sent the
//                         request on a kept-alive connection may retry it once on a new connection
//                         (libcurl does), so a counted close may be used up by the retry: give it
//                         one more use, or use `cut`
//   cut                   the status line, the headers and half the body, then the connection closes
//                         (never retried: part of a reply has arrived)
//   hold                  the request waits until the fault of its path is cleared or replaced, then
//                         is answered as the path's fault says then (normally once cleared); tests
//                         order replies with it. A hold spent by its count ("hold*1") holds its
//                         request all the same
// Any fault may end in "*N" to last N requests ("close*1"). A port that does not listen at all is not
// a fault of a running server: see Server::unusedPort().
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dv::devserver {

enum class FaultKind {
    Delay,
    HttpError,
    Html,
    MalformedJson,
    JsonArray,
    JsonNull,
    WrongTypes,
    Refusal,
    CloseConnection,
    CutConnection,
    Hold,
};

struct Fault {
    FaultKind kind = FaultKind::Refusal;
    double delaySeconds = 12;  // Delay
    int httpStatus = 500;      // HttpError
    bool wrongStatus = false;  // WrongTypes: change `status` too
    int status = 0;            // Refusal
    std::string message = "服务器繁忙，请稍后再试"; // Refusal
    int times = -1;            // requests left; -1 until cleared
    // Hold: set by FaultTable::take, what releases the request (see FaultTable::waitForRelease).
    std::string holdKey {};
    std::uint64_t holdMark = 0;

    static Fault delay(double seconds) { return { .kind = FaultKind::Delay, .delaySeconds = seconds }; }
    static Fault httpError(int status = 500) { return { .kind = FaultKind::HttpError, .httpStatus = status }; }
    static Fault refusal(int status, std::string message)
    {
        return { .kind = FaultKind::Refusal, .status = status, .message = std::move(message) };
    }
    static Fault of(FaultKind kind) { return { .kind = kind }; }
};

// Fails, with the reason, for a text that does not parse.
Result<Fault> parseFault(std::string_view text);
// "PATH=FAULT" as the command lines take it (--fault home/index.do=http:500); fails when the "="
// or the path is missing or the fault does not parse.
Result<std::pair<std::string, Fault>> parsePathAndFault(std::string_view text);
// The text form of a fault; parseFault(formatFault(f)) gives f back.
std::string formatFault(const Fault& fault);
// "home/index.do" from "/DV/home/index.do", "/home/index.do" or "home/index.do".
std::string normalizeFaultPath(std::string_view path);

// The faults of one server; every member may be called from any thread.
class FaultTable {
public:
    void set(std::string_view path, Fault fault);
    void clear(std::string_view path);
    void clearAll();
    // The fault that applies to a request for `path`, counting the request against `times`.
    std::optional<Fault> take(std::string_view path);
    std::vector<std::pair<std::string, Fault>> list() const;

    // For a request whose fault is a hold: waits until the table entry that held it is cleared or
    // replaced. true when released, false when the table was closed (the server is stopping).
    bool waitForRelease(const Fault& hold);
    // Releases every held request for good, with false.
    void close();

private:
    std::uint64_t releasesOf(const std::string& key) const DV_REQUIRES(m_mutex);

    mutable dv::Mutex m_mutex;
    dv::ConditionVariable m_released;
    std::vector<std::pair<std::string, Fault>> m_faults DV_GUARDED_BY(m_mutex);
    // Changes so far, per key and of the whole table: a held request waits for either to grow.
    std::map<std::string, std::uint64_t> m_changes DV_GUARDED_BY(m_mutex);
    std::uint64_t m_allCleared DV_GUARDED_BY(m_mutex) = 0;
    bool m_closed DV_GUARDED_BY(m_mutex) = false;
};

} // namespace dv::devserver
