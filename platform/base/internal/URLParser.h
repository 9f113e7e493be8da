// Strict URL reference parsing, resolution of relative references and percent coding, shared by
// NSURL and NSURLComponents. Parsing records where each component lies in the text without
// copying it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dv::internal::base {

// A piece of the parsed text; absent pieces have pos < 0.
struct URLSpan {
    std::int32_t pos = -1;
    std::int32_t len = 0;
    bool present() const { return pos >= 0; }
    std::string_view in(std::string_view text) const
    {
        return present() ? text.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(len)) : std::string_view();
    }
};

struct URLParts {
    URLSpan scheme;
    URLSpan authority; // without the leading "//"
    URLSpan user;
    URLSpan password;
    URLSpan host; // IPv6 literals keep their brackets here
    URLSpan port;
    URLSpan path; // always present, possibly empty
    URLSpan query;
    URLSpan fragment;
    std::int32_t portValue = -1;
};

// Parses a URI reference with the rules of RFC 3986. False for anything outside the grammar:
// spaces, control or non-ASCII bytes, a '%' not followed by two hex digits, an invalid scheme,
// a port that is not a number up to 65535, brackets outside a host, and so on.
[[nodiscard]] bool parseURLReference(std::string_view text, URLParts& parts);

// The target of `reference` against the absolute `base` (RFC 3986, section 5.2).
std::string resolveURLReference(std::string_view base, const URLParts& baseParts, std::string_view reference,
                                const URLParts& referenceParts);

// "." and ".." segments removed from a path (RFC 3986, section 5.2.4).
std::string removeDotSegments(std::string_view path);

// Percent decoding; false when the result is not UTF-8 or an escape is malformed.
[[nodiscard]] bool percentDecode(std::string_view text, std::string& out);

enum class URLCharacters : std::uint8_t {
    Path = 1,      // pchar and "/", without ";"
    Query = 2,     // pchar, "/" and "?"
    User = 4,      // unreserved, sub-delims
    Password = 8,  // unreserved, sub-delims
    Host = 16,     // unreserved, sub-delims
    QueryItem = 32 // a query name or value: query characters without "&", "=", "+"
};

// Appends `text` with every byte outside the allowed class written as %XX.
void appendPercentEncoded(std::string& out, std::string_view text, URLCharacters allowed);


} // namespace dv::internal::base
