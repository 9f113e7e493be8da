#include "platform/net/NSHTTPURLResponse.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/internal/HeaderFields.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

DV_DEFINE_CLASS(NSHTTPURLResponse)

namespace {

std::string trimmed(std::string s)
{
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
    s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
    return s;
}

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The value of `name` among the ";"-separated parameters of a header, unquoted.
std::string parameter(const std::string& header, std::string_view name)
{
    size_t pos = 0;
    while ((pos = header.find(';', pos)) != std::string::npos) {
        ++pos;
        auto end = header.find(';', pos);
        std::string part = trimmed(header.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        auto eq = part.find('=');
        if (eq != std::string::npos && dv::internal::net::headerNamesEqual(trimmed(part.substr(0, eq)), name)) {
            std::string value = trimmed(part.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            return value;
        }
    }
    return {};
}

} // namespace

Ref<NSHTTPURLResponse> NSHTTPURLResponse::initWithURL(const Ref<NSURL>& url, NSInteger statusCode, const Ref<NSString>&,
    const Ref<NSDictionary>& headerFields)
{
    std::vector<std::pair<std::string, std::string>> fields;
    if (headerFields) {
        for (auto& [key, value] : headerFields->entries()) {
            auto name = dv::as<NSString>(key);
            auto text = dv::as<NSString>(value);
            if (name && text)
                fields.emplace_back(name->utf8(), text->utf8());
        }
    }
    return initWithURL(url, statusCode, std::move(fields));
}

Ref<NSHTTPURLResponse> NSHTTPURLResponse::initWithURL(const Ref<NSURL>& url, NSInteger statusCode, std::vector<std::pair<std::string, std::string>> fields)
{
    m_url = url;
    m_statusCode = statusCode;
    m_fields = std::move(fields);
    derive();
    return self<NSHTTPURLResponse>();
}

void NSHTTPURLResponse::derive()
{
    // Repeated fields join into one, under the first spelling; the index keeps this linear in
    // the number of lines, however many a server sends.
    dv::internal::net::HeaderFields joined;
    std::unordered_map<std::string, std::size_t> position;
    position.reserve(m_fields.size());
    for (auto& [name, value] : m_fields) {
        auto [at, added] = position.emplace(lowered(name), joined.size());
        if (added)
            joined.emplace_back(name, value);
        else
            joined[at->second].second += ", " + value;
    }
    m_headerDictionary = dv::internal::net::headerDictionary(joined);

    auto contentType = dv::internal::net::findHeader(joined, "Content-Type");
    if (contentType) {
        std::string type = lowered(trimmed(contentType->substr(0, contentType->find(';'))));
        if (!type.empty())
            m_mimeType = NSString::fromUTF8(type);
        std::string charset = parameter(*contentType, "charset");
        if (!charset.empty())
            m_textEncodingName = NSString::fromUTF8(lowered(charset));
    }
    if (!m_mimeType)
        m_mimeType = "text/plain"_ns;

    // A content-encoded body arrives decoded, so its encoded length says nothing useful.
    m_expectedContentLength = -1;
    auto length = dv::internal::net::findHeader(joined, "Content-Length");
    auto encoding = dv::internal::net::findHeader(joined, "Content-Encoding");
    bool encoded = encoding && !encoding->empty() && lowered(trimmed(*encoding)) != "identity";
    if (length && !encoded) {
        char* end = nullptr;
        long long value = std::strtoll(length->c_str(), &end, 10);
        if (end && *end == '\0' && value >= 0)
            m_expectedContentLength = value;
    }
}

Ref<NSString> NSHTTPURLResponse::valueForHTTPHeaderField(const Ref<NSString>& field) const
{
    if (!field || !m_headerDictionary)
        return nullptr;
    for (auto& [key, value] : m_headerDictionary->entries()) {
        auto name = dv::as<NSString>(key);
        if (name && dv::internal::net::headerNamesEqual(name->utf8(), field->utf8()))
            return dv::as<NSString>(value);
    }
    return nullptr;
}

Ref<NSString> NSHTTPURLResponse::suggestedFilename() const
{
    auto disposition = dv::internal::net::findHeader(m_fields, "Content-Disposition");
    if (disposition) {
        std::string name = parameter(*disposition, "filename");
        auto slash = name.find_last_of("/\\");
        if (slash != std::string::npos)
            name = name.substr(slash + 1);
        if (!name.empty() && name != "." && name != "..")
            return NSString::fromUTF8(name);
    }
    return NSURLResponse::suggestedFilename();
}

Ref<NSString> NSHTTPURLResponse::localizedStringForStatusCode(NSInteger statusCode)
{
    switch (statusCode) {
    case 100: return "continue"_ns;
    case 200: return "no error"_ns;
    case 201: return "created"_ns;
    case 202: return "accepted"_ns;
    case 204: return "no content"_ns;
    case 206: return "partial content"_ns;
    case 301: return "moved permanently"_ns;
    case 302: return "found"_ns;
    case 303: return "see other"_ns;
    case 304: return "not modified"_ns;
    case 307: return "temporarily redirected"_ns;
    case 400: return "bad request"_ns;
    case 401: return "unauthorized"_ns;
    case 403: return "forbidden"_ns;
    case 404: return "not found"_ns;
    case 405: return "method not allowed"_ns;
    case 407: return "proxy authentication required"_ns;
    case 408: return "request timed out"_ns;
    case 500: return "internal server error"_ns;
    case 501: return "unimplemented"_ns;
    case 502: return "bad gateway"_ns;
    case 503: return "service unavailable"_ns;
    case 504: return "gateway timed out"_ns;
    default:
        if (statusCode >= 100 && statusCode < 200) return "informational"_ns;
        if (statusCode >= 200 && statusCode < 300) return "success"_ns;
        if (statusCode >= 300 && statusCode < 400) return "redirected"_ns;
        if (statusCode >= 400 && statusCode < 500) return "client error"_ns;
        return "server error"_ns;
    }
}

Ref<NSString> NSHTTPURLResponse::description() const
{
    return NSString::stringWithFormat("<%@: %p> { URL: %@ } { Status Code: %ld, Headers %@ }", className(), this, m_url,
        static_cast<long>(m_statusCode), m_headerDictionary);
}
