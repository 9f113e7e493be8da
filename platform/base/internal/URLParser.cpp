#include "platform/base/internal/URLParser.h"

#include "platform/base/internal/Hex.h"
#include "platform/base/internal/Utf.h"

#include <arpa/inet.h>

#include <array>
#include <cstring>

namespace dv::internal::base {

namespace {

// Character classes of RFC 3986, one bit each.
enum : std::uint16_t {
    kAlpha = 1,
    kDigit = 2,
    kUnreservedMark = 4, // - . _ ~
    kSubDelim = 8,       // ! $ & ' ( ) * + , ; =
    kColon = 16,
    kAt = 32,
    kSlash = 64,
    kQuestion = 128,
    kHex = 256,
    kSchemeMark = 512, // + - .
};

constexpr std::array<std::uint16_t, 256> makeTable()
{
    std::array<std::uint16_t, 256> t {};
    for (int c = 'a'; c <= 'z'; ++c)
        t[c] |= kAlpha;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] |= kAlpha;
    for (int c = '0'; c <= '9'; ++c)
        t[c] |= kDigit | kHex;
    for (int c = 'a'; c <= 'f'; ++c)
        t[c] |= kHex;
    for (int c = 'A'; c <= 'F'; ++c)
        t[c] |= kHex;
    for (char c : std::string_view("-._~"))
        t[static_cast<unsigned char>(c)] |= kUnreservedMark;
    for (char c : std::string_view("!$&'()*+,;="))
        t[static_cast<unsigned char>(c)] |= kSubDelim;
    for (char c : std::string_view("+-."))
        t[static_cast<unsigned char>(c)] |= kSchemeMark;
    t[':'] |= kColon;
    t['@'] |= kAt;
    t['/'] |= kSlash;
    t['?'] |= kQuestion;
    return t;
}

constexpr std::array<std::uint16_t, 256> kTable = makeTable();

constexpr std::uint16_t kUnreserved = kAlpha | kDigit | kUnreservedMark;
constexpr std::uint16_t kPChar = kUnreserved | kSubDelim | kColon | kAt;
constexpr std::uint16_t kPathChars = kPChar | kSlash;
constexpr std::uint16_t kQueryChars = kPChar | kSlash | kQuestion;
constexpr std::uint16_t kUserInfoChars = kUnreserved | kSubDelim | kColon;
constexpr std::uint16_t kHostChars = kUnreserved | kSubDelim;

bool isHex(char c) { return kTable[static_cast<unsigned char>(c)] & kHex; }

// Every character in `mask`, or a well-formed %XX escape.
bool validate(std::string_view text, std::uint16_t mask)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (kTable[c] & mask)
            continue;
        if (c == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
            i += 2;
            continue;
        }
        return false;
    }
    return true;
}

URLSpan span(std::size_t pos, std::size_t end) { return {static_cast<std::int32_t>(pos), static_cast<std::int32_t>(end - pos)}; }

bool validateIPLiteral(std::string_view inside)
{
    if (inside.empty())
        return false;
    if (inside[0] == 'v' || inside[0] == 'V') {
        std::size_t dot = inside.find('.');
        if (dot == std::string_view::npos || dot < 2 || dot + 1 >= inside.size())
            return false;
        for (std::size_t i = 1; i < dot; ++i)
            if (!isHex(inside[i]))
                return false;
        for (std::size_t i = dot + 1; i < inside.size(); ++i)
            if (!(kTable[static_cast<unsigned char>(inside[i])] & (kUnreserved | kSubDelim | kColon)))
                return false;
        return true;
    }
    char buffer[64];
    if (inside.size() >= sizeof buffer)
        return false;
    std::memcpy(buffer, inside.data(), inside.size());
    buffer[inside.size()] = 0;
    unsigned char address[16];
    return inet_pton(AF_INET6, buffer, address) == 1;
}

bool parseAuthority(std::string_view text, std::size_t begin, std::size_t end, URLParts& parts)
{
    parts.authority = span(begin, end);
    std::string_view authority = text.substr(begin, end - begin);
    std::size_t hostBegin = begin;
    std::size_t at = authority.find('@');
    if (at != std::string_view::npos) {
        std::size_t userEnd = begin + at;
        std::string_view userinfo = authority.substr(0, at);
        if (!validate(userinfo, kUserInfoChars))
            return false;
        std::size_t colon = userinfo.find(':');
        if (colon == std::string_view::npos) {
            parts.user = span(begin, userEnd);
        } else {
            parts.user = span(begin, begin + colon);
            parts.password = span(begin + colon + 1, userEnd);
        }
        hostBegin = userEnd + 1;
    }
    std::size_t portColon = std::string_view::npos;
    if (hostBegin < end && text[hostBegin] == '[') {
        std::size_t close = text.find(']', hostBegin);
        if (close == std::string_view::npos || close >= end)
            return false;
        if (!validateIPLiteral(text.substr(hostBegin + 1, close - hostBegin - 1)))
            return false;
        parts.host = span(hostBegin, close + 1);
        if (close + 1 < end) {
            if (text[close + 1] != ':')
                return false;
            portColon = close + 1;
        }
    } else {
        std::size_t colon = text.find(':', hostBegin);
        std::size_t hostEnd = colon < end ? colon : end;
        if (!validate(text.substr(hostBegin, hostEnd - hostBegin), kHostChars))
            return false;
        parts.host = span(hostBegin, hostEnd);
        if (colon < end)
            portColon = colon;
    }
    if (portColon != std::string_view::npos) {
        parts.port = span(portColon + 1, end);
        std::int32_t value = 0;
        for (std::size_t i = portColon + 1; i < end; ++i) {
            char c = text[i];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
            if (value > 65535)
                return false;
        }
        if (end > portColon + 1)
            parts.portValue = value;
    }
    return true;
}

} // namespace

bool parseURLReference(std::string_view text, URLParts& parts)
{
    parts = URLParts();
    if (text.size() > 0x7fffffffu)
        return false;
    std::size_t i = 0;
    std::size_t delimiter = text.find_first_of(":/?#");
    if (delimiter != std::string_view::npos && text[delimiter] == ':') {
        // A colon before any "/", "?" or "#" can only end a scheme.
        if (delimiter == 0 || !(kTable[static_cast<unsigned char>(text[0])] & kAlpha))
            return false;
        for (std::size_t k = 1; k < delimiter; ++k)
            if (!(kTable[static_cast<unsigned char>(text[k])] & (kAlpha | kDigit | kSchemeMark)))
                return false;
        parts.scheme = span(0, delimiter);
        i = delimiter + 1;
    }
    std::size_t end = text.size();
    std::size_t hash = text.find('#', i);
    if (hash != std::string_view::npos) {
        if (!validate(text.substr(hash + 1), kQueryChars))
            return false;
        parts.fragment = span(hash + 1, text.size());
        end = hash;
    }
    std::size_t question = text.find('?', i);
    if (question < end) {
        if (!validate(text.substr(question + 1, end - question - 1), kQueryChars))
            return false;
        parts.query = span(question + 1, end);
        end = question;
    }
    std::size_t pathBegin = i;
    if (end - i >= 2 && text[i] == '/' && text[i + 1] == '/') {
        std::size_t slash = text.find('/', i + 2);
        std::size_t authorityEnd = slash < end ? slash : end;
        if (!parseAuthority(text, i + 2, authorityEnd, parts))
            return false;
        pathBegin = authorityEnd;
    }
    if (!validate(text.substr(pathBegin, end - pathBegin), kPathChars))
        return false;
    parts.path = span(pathBegin, end);
    return true;
}

std::string removeDotSegments(std::string_view input)
{
    std::string output;
    output.reserve(input.size());
    auto dropLastSegment = [&output] {
        std::size_t slash = output.rfind('/');
        output.resize(slash == std::string::npos ? 0 : slash);
    };
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.remove_prefix(3);
            dropLastSegment();
        } else if (input == "/..") {
            input = "/";
            dropLastSegment();
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            std::size_t next = input.find('/', input[0] == '/' ? 1 : 0);
            if (next == std::string_view::npos)
                next = input.size();
            output.append(input.substr(0, next));
            input.remove_prefix(next);
        }
    }
    return output;
}

std::string resolveURLReference(std::string_view base, const URLParts& b, std::string_view ref, const URLParts& r)
{
    std::string_view scheme, authority, query;
    bool hasAuthority = false, hasQuery = false;
    std::string path;
    if (r.scheme.present()) {
        scheme = r.scheme.in(ref);
        hasAuthority = r.authority.present();
        authority = r.authority.in(ref);
        path = removeDotSegments(r.path.in(ref));
        hasQuery = r.query.present();
        query = r.query.in(ref);
    } else {
        if (r.authority.present()) {
            hasAuthority = true;
            authority = r.authority.in(ref);
            path = removeDotSegments(r.path.in(ref));
            hasQuery = r.query.present();
            query = r.query.in(ref);
        } else {
            std::string_view refPath = r.path.in(ref);
            std::string_view basePath = b.path.in(base);
            if (refPath.empty()) {
                path = basePath;
                hasQuery = r.query.present() || b.query.present();
                query = r.query.present() ? r.query.in(ref) : b.query.in(base);
            } else {
                if (refPath[0] == '/') {
                    path = removeDotSegments(refPath);
                } else {
                    std::string merged;
                    if (b.authority.present() && basePath.empty()) {
                        merged = "/";
                    } else {
                        std::size_t slash = basePath.rfind('/');
                        if (slash != std::string_view::npos)
                            merged = basePath.substr(0, slash + 1);
                    }
                    merged += refPath;
                    path = removeDotSegments(merged);
                }
                hasQuery = r.query.present();
                query = r.query.in(ref);
            }
            hasAuthority = b.authority.present();
            authority = b.authority.in(base);
        }
        scheme = b.scheme.in(base);
    }
    std::string out;
    out.reserve(scheme.size() + authority.size() + path.size() + query.size() + 8
                + static_cast<std::size_t>(r.fragment.len));
    if (!scheme.empty()) {
        out += scheme;
        out += ':';
    }
    if (hasAuthority) {
        out += "//";
        out += authority;
    } else if (path.starts_with("//")) {
        // Keep a path from reading as an authority.
        out += "/.";
    }
    out += path;
    if (hasQuery) {
        out += '?';
        out += query;
    }
    if (r.fragment.present()) {
        out += '#';
        out += r.fragment.in(ref);
    }
    return out;
}

bool percentDecode(std::string_view text, std::string& out)
{
    out.clear();
    std::size_t percent = text.find('%');
    if (percent == std::string_view::npos) {
        out.assign(text);
        return isValidUtf8(out);
    }
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))
            return false;
        out += static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
        i += 2;
    }
    return isValidUtf8(out);
}

void appendPercentEncoded(std::string& out, std::string_view text, URLCharacters allowed)
{
    std::uint16_t mask = 0;
    switch (allowed) {
    case URLCharacters::Path:
        mask = kPathChars;
        break;
    case URLCharacters::Query:
        mask = kQueryChars;
        break;
    case URLCharacters::User:
    case URLCharacters::Password:
    case URLCharacters::Host:
        mask = kUnreserved | kSubDelim;
        break;
    case URLCharacters::QueryItem:
        mask = kQueryChars;
        break;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        bool keep = (kTable[c] & mask) != 0;
        if (keep && c == ';' && allowed == URLCharacters::Path)
            keep = false;
        if (keep && allowed == URLCharacters::QueryItem && (c == '&' || c == '=' || c == '+'))
            keep = false;
        if (keep) {
            out += ch;
        } else {
            out += '%';
            out += kDigits[c >> 4];
            out += kDigits[c & 15];
        }
    }
}

} // namespace dv::internal::base
