#include "platform/ui/internal/HtmlDocument.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <utility>

namespace dv::internal {

namespace {

constexpr int kMaxNesting = 3000;

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Where the elements of the markup first nest deeper than the bound (a rough count: start tags
// minus end tags, leaving out elements that never hold others or that close their own kind).
std::size_t depthCut(std::string_view html)
{
    static const char* const flat[] = { "area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param",
        "source", "track", "wbr", "p", "li", "td", "th", "tr", "option", "dt", "dd", "!", "?" };
    int depth = 0;
    for (std::size_t i = 0; i + 1 < html.size(); ++i) {
        if (html[i] != '<')
            continue;
        if (html[i + 1] == '/') {
            depth = std::max(0, depth - 1);
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(html[i + 1])) && html[i + 1] != '!' && html[i + 1] != '?')
            continue;
        std::size_t end = i + 1;
        while (end < html.size() && (std::isalnum(static_cast<unsigned char>(html[end])) || html[end] == '!' || html[end] == '?'))
            ++end;
        const std::string name = lower(html.substr(i + 1, end - i - 1));
        const bool isFlat = std::any_of(std::begin(flat), std::end(flat), [&](const char* f) { return name == f || (name.size() && name[0] == '!' && f[0] == '!'); });
        const std::size_t close = html.find('>', end);
        const bool selfClosing = close != std::string_view::npos && close > 0 && html[close - 1] == '/';
        if (!isFlat && !selfClosing && ++depth > kMaxNesting)
            return i;
    }
    return std::string_view::npos;
}

bool isBlock(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_P: case GUMBO_TAG_DIV: case GUMBO_TAG_BR: case GUMBO_TAG_LI: case GUMBO_TAG_UL: case GUMBO_TAG_OL:
    case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5: case GUMBO_TAG_H6:
    case GUMBO_TAG_TR: case GUMBO_TAG_TABLE: case GUMBO_TAG_SECTION: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER: case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_PRE: case GUMBO_TAG_HR: case GUMBO_TAG_FORM:
    case GUMBO_TAG_DL: case GUMBO_TAG_DT: case GUMBO_TAG_DD: case GUMBO_TAG_NAV: case GUMBO_TAG_BODY:
        return true;
    default:
        return false;
    }
}

bool isHidden(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_HEAD: case GUMBO_TAG_TITLE: case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_IFRAME: case GUMBO_TAG_OBJECT:
        return true;
    default:
        return false;
    }
}

bool isScriptType(const GumboElement& element)
{
    const GumboAttribute* type = gumbo_get_attribute(&element.attributes, "type");
    if (!type || !*type->value)
        return true;
    const std::string value = lower(type->value);
    return value.find("javascript") != std::string::npos || value == "module" || value == "text/ecmascript"
        || value == "application/ecmascript";
}

std::string textOf(const GumboNode* node)
{
    std::string out;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_CDATA || child->type == GUMBO_NODE_WHITESPACE)
            out += child->v.text.text;
    }
    return out;
}

// Appends text with white space collapsed to single spaces.
void appendCollapsed(std::string& out, std::string_view text)
{
    for (char c : text) {
        const bool space = c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f';
        if (space) {
            if (!out.empty() && out.back() != ' ' && out.back() != '\n')
                out += ' ';
        } else {
            out += c;
        }
    }
}

void newLine(std::string& out)
{
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    if (!out.empty() && out.back() != '\n')
        out += '\n';
}

} // namespace

HtmlDocument HtmlDocument::parse(std::string_view utf8)
{
    HtmlDocument document;
    const std::size_t cut = depthCut(utf8);
    if (cut != std::string_view::npos) {
        utf8 = utf8.substr(0, cut);
        document.truncated = true;
    }
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 200;
    GumboOutput* output = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
    if (!output)
        return document;
    // Depth first, without recursion: (node, leaving) pairs.
    struct Step {
        const GumboNode* node;
        bool leaving;
        bool hidden; // inside an element whose text is not shown
    };
    std::vector<Step> stack { { output->root, false, false } };
    while (!stack.empty()) {
        auto [node, leaving, hidden] = stack.back();
        stack.pop_back();
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
            if (!hidden)
                appendCollapsed(document.text, node->v.text.text);
            continue;
        }
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        if (node->type == GUMBO_NODE_DOCUMENT) {
            const GumboVector& children = node->v.document.children;
            for (unsigned i = children.length; i-- > 0;)
                stack.push_back({ static_cast<const GumboNode*>(children.data[i]), false, false });
            continue;
        }
        const GumboElement& element = node->v.element;
        if (leaving) {
            if (!hidden && isBlock(element.tag))
                newLine(document.text);
            continue;
        }
        if (element.tag == GUMBO_TAG_TITLE && document.title.empty()) {
            std::string title;
            appendCollapsed(title, textOf(node));
            while (!title.empty() && title.back() == ' ')
                title.pop_back();
            document.title = title;
        }
        if (element.tag == GUMBO_TAG_SCRIPT && !gumbo_get_attribute(&element.attributes, "src") && isScriptType(element))
            document.scripts.push_back(textOf(node));
        if (element.tag == GUMBO_TAG_META && document.declaredCharset.empty()) {
            if (const GumboAttribute* charset = gumbo_get_attribute(&element.attributes, "charset"))
                document.declaredCharset = lower(charset->value);
        }
        // Hidden elements are still searched for the title, scripts and charset.
        const bool hideChildren = hidden || isHidden(element.tag);
        if (!hideChildren && isBlock(element.tag))
            newLine(document.text);
        stack.push_back({ node, true, hideChildren });
        for (unsigned i = element.children.length; i-- > 0;)
            stack.push_back({ static_cast<const GumboNode*>(element.children.data[i]), false, hideChildren });
    }
    gumbo_destroy_output(&options, output);
    while (!document.text.empty() && (document.text.back() == ' ' || document.text.back() == '\n'))
        document.text.pop_back();
    std::size_t start = 0;
    while (start < document.text.size() && (document.text[start] == ' ' || document.text[start] == '\n'))
        ++start;
    document.text.erase(0, start);
    return document;
}

std::string HtmlDocument::sniffCharset(std::string_view bytes)
{
    const std::string head = lower(bytes.substr(0, std::min<std::size_t>(bytes.size(), 1024)));
    const std::size_t at = head.find("charset=");
    if (at == std::string::npos)
        return {};
    std::size_t begin = at + 8;
    while (begin < head.size() && (head[begin] == '"' || head[begin] == '\'' || head[begin] == ' '))
        ++begin;
    std::size_t end = begin;
    while (end < head.size() && (std::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' || head[end] == '_'))
        ++end;
    return head.substr(begin, end - begin);
}

} // namespace dv::internal
