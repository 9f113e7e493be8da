#include "platform/net/internal/ResponseHead.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace dv::internal::net {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool isDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "HTTP/1.1 200 OK": the code is three digits after the first space, followed by a space or the
// end of the line.
std::optional<long> statusCodeOf(std::string_view line)
{
    line = trimmed(line);
    auto space = line.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    auto code = line.substr(space + 1, 3);
    if (code.size() != 3 || !isDigits(code) || (line.size() > space + 4 && line[space + 4] != ' '))
        return std::nullopt;
    long value = std::strtol(std::string(code).c_str(), nullptr, 10);
    if (value < 100)
        return std::nullopt;
    return value;
}

} // namespace

bool headerNameIs(std::string_view name, std::string_view expected)
{
    return name.size() == expected.size() && std::equal(name.begin(), name.end(), expected.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<std::string> TransportResponse::header(std::string_view name) const
{
    for (auto it = headers.rbegin(); it != headers.rend(); ++it) {
        if (headerNameIs(it->first, name))
            return it->second;
    }
    return std::nullopt;
}

std::optional<std::int64_t> contentLengthValue(std::string_view value)
{
    std::optional<std::int64_t> length;
    for (;;) {
        auto comma = value.find(',');
        auto item = trimmed(value.substr(0, comma));
        if (item.size() > 18 || !isDigits(item))
            return std::nullopt;
        std::int64_t number = std::strtoll(std::string(item).c_str(), nullptr, 10);
        if (length && *length != number)
            return std::nullopt;
        length = number;
        if (comma == std::string_view::npos)
            return length;
        value.remove_prefix(comma + 1);
    }
}

Result<ResponseHeadReader::Step> ResponseHeadReader::readLine(std::string_view line)
{
    if (!m_complete) {
        m_headBytes += line.size();
        if (m_headBytes > kMaxHeadBytes)
            return Failure("response head of more than " + std::to_string(kMaxHeadBytes) + " bytes");
    }
    if (line.starts_with("HTTP/")) {
        auto code = statusCodeOf(line);
        if (!code)
            return Failure("status line without a three-digit code: " + std::string(trimmed(line.substr(0, 64))));
        m_response = {};
        m_response.statusCode = *code;
        m_contentLength.reset();
        m_inHead = true;
        m_complete = false;
        return Step::Continue;
    }
    if (line == "\r\n" || line == "\n") {
        if (!m_inHead)
            return Step::Continue;
        // An interim head (100 Continue and the like) is followed by the real one.
        if (m_response.statusCode < 200)
            return Step::Continue;
        m_inHead = false;
        m_complete = true;
        return Step::Complete;
    }
    if (!m_inHead)
        return Step::Continue;
    auto colon = line.find(':');
    if (colon == std::string_view::npos)
        return Step::Continue;
    auto name = trimmed(line.substr(0, colon));
    auto value = trimmed(line.substr(colon + 1));
    // Two different lengths leave the end of the body to guesswork: whichever was believed, the
    // body would take bytes of the next message or leave some of its own behind.
    if (headerNameIs(name, "Content-Length")) {
        auto length = contentLengthValue(value);
        if (!length)
            return Failure("Content-Length that is not one length: " + std::string(value.substr(0, 64)));
        if (m_contentLength && *m_contentLength != *length)
            return Failure("Content-Length fields that differ");
        m_contentLength = length;
    }
    m_response.headers.emplace_back(std::string(name), std::string(value));
    return Step::Continue;
}

} // namespace dv::internal::net
