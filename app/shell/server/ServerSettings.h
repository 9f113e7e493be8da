// Where the application server is and how long the server client waits for it.
//
// ServerBaseURL() is "http://HOST:PORT/DV/": every request URL is this base followed directly by
// a relative path ("home/index.do"), and the server's web pages hang under it too. HOST:PORT comes
// from, in this order:
//   1. dv::app::setServerAddress(host, port), made in this process (the runner, tests);
//   2. the environment variable DOVRELTA_SERVER ("HOST:PORT", or "HOST" for port 8092), read once,
//      at the first use; a value that is not an address is reported in the log and ignored;
//   3. the local application server, 127.0.0.1:8092.
//
//   dv::app::setServerAddress("127.0.0.1", server->port());
//   ZHHttpTool::postWithURL(NSString::stringWithFormat("%@%@", ServerBaseURL(), "home/index.do"_ns), nil, ...);
//
// Any thread may read or change the settings; a request takes them when it starts.
#pragma once

#include "platform/base/Forward.h"

#include <string>

// "http://HOST:PORT/DV/", always ending in a slash.
Ref<NSString> ServerBaseURL();

namespace dv::app {

inline constexpr const char* kDefaultServerHost = "127.0.0.1";
inline constexpr int kDefaultServerPort = 8092;
// Seconds the server client's form POST waits for the server.
inline constexpr double kServerRequestTimeout = 10.0;

// The server at HOST:PORT from now on. NO (and nothing changes) for an empty host, a host with
// characters that do not belong in an address, or a port outside 1 to 65535.
bool setServerAddress(const std::string& host, int port);
// Back to DOVRELTA_SERVER, or the default.
void resetServerAddress();
std::string serverHost();
int serverPort();

// The time-out of the form POST: kServerRequestTimeout unless changed here. Tests shorten it to
// see a time-out without waiting ten seconds; the runner leaves it alone. Zero or less restores
// the constant.
double serverRequestTimeout();
void setServerRequestTimeout(double seconds);

} // namespace dv::app
