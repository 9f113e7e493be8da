// What a web view reads from a page: its title, the text a person would see (block elements on
// lines of their own, white space collapsed), and the inline scripts in document order. Parsed
// with gumbo; any bytes give some document (invalid markup is repaired the way browsers do). Very
// deep nesting costs the parser time out of proportion, so a page is cut where its elements nest
// deeper than a bound (what came before still shows).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dv::internal {

struct HtmlDocument {
    std::string title;
    std::string text;
    std::vector<std::string> scripts;
    bool truncated = false; // cut for depth
    // The encoding a <meta charset> or http-equiv content type names ("" when none).
    std::string declaredCharset;

    static HtmlDocument parse(std::string_view utf8);
    // The charset a page declares in its first bytes, for decoding before parsing.
    static std::string sniffCharset(std::string_view bytes);
};

} // namespace dv::internal
