#include "app/shell/server/ServerSettings.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <optional>

namespace {

struct Address {
    std::string host;
    int port = 0;
};

// A host name, a dotted address or a bracketed IPv6 address: nothing that would change the URL's
// structure (no "/", "?", "#", "@", spaces or a bare ":").
bool isHost(std::string_view host)
{
    if (host.empty())
        return false;
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']')
            return false;
        for (char c : host.substr(1, host.size() - 2))
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.')
                return false;
        return true;
    }
    for (char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            return false;
    return true;
}

bool isPort(int port) { return port >= 1 && port <= 65535; }

// "HOST:PORT" or "HOST" (the default port); nullopt for anything else.
std::optional<Address> parseAddress(std::string_view text)
{
    Address address { std::string(text), dv::app::kDefaultServerPort };
    const std::size_t bracket = text.rfind(']');
    const std::size_t colon = text.rfind(':');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        std::string_view portText = text.substr(colon + 1);
        int port = 0;
        auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (portText.empty() || error != std::errc() || end != portText.data() + portText.size())
            return std::nullopt;
        address.host = std::string(text.substr(0, colon));
        address.port = port;
    }
    if (!isHost(address.host) || !isPort(address.port))
        return std::nullopt;
    return address;
}

const Address& environmentAddress()
{
    static const Address address = [] {
        Address fallback { dv::app::kDefaultServerHost, dv::app::kDefaultServerPort };
        const char* value = std::getenv("DOVRELTA_SERVER");
        if (!value || !*value)
            return fallback;
        if (auto parsed = parseAddress(value))
            return *parsed;
        NSLog("DOVRELTA_SERVER=%s is not HOST:PORT; using %s:%d", value, fallback.host.c_str(), fallback.port);
        return fallback;
    }();
    return address;
}

struct Settings {
    dv::Mutex mutex;
    std::optional<Address> address DV_GUARDED_BY(mutex);
    double timeout DV_GUARDED_BY(mutex) = 0;
};

Settings& settings()
{
    static Settings s_settings;
    return s_settings;
}

Address currentAddress()
{
    auto& s = settings();
    {
        dv::MutexLocker lock(s.mutex);
        if (s.address)
            return *s.address;
    }
    return environmentAddress();
}

} // namespace

Ref<NSString> ServerBaseURL()
{
    Address address = currentAddress();
    return NSString::fromUTF8("http://" + address.host + ":" + std::to_string(address.port) + "/DV/");
}

namespace dv::app {

bool setServerAddress(const std::string& host, int port)
{
    if (!isHost(host) || !isPort(port))
        return false;
    auto& s = settings();
    dv::MutexLocker lock(s.mutex);
    s.address = Address { host, port };
    return true;
}

void resetServerAddress()
{
    auto& s = settings();
    dv::MutexLocker lock(s.mutex);
    s.address.reset();
}

std::string serverHost() { return currentAddress().host; }

int serverPort() { return currentAddress().port; }

double serverRequestTimeout()
{
    auto& s = settings();
    dv::MutexLocker lock(s.mutex);
    return s.timeout > 0 ? s.timeout : kServerRequestTimeout;
}

void setServerRequestTimeout(double seconds)
{
    auto& s = settings();
    dv::MutexLocker lock(s.mutex);
    s.timeout = seconds > 0 ? seconds : 0;
}

} // namespace dv::app
