// One request to the application paths and its reply, as the handlers see them: no HTTP library
// types, so that the handlers and the fault shaping can be tested and reasoned about alone.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace dv::internal::devserver {

using Json = nlohmann::ordered_json;

struct UploadedFile {
    std::string filename;
    std::string contentType;
    std::string content;
};

struct ApiRequest {
    std::string path;                          // relative to /DV/, e.g. "home/index.do"
    std::map<std::string, std::string> fields; // query and form fields; the first value of a name wins
    std::optional<UploadedFile> code;          // the multipart file part named "code"
    std::string base;                          // "http://HOST:PORT/DV/" as the client addressed us
    // Takes room in the server's memory for that many bytes of the reply (all the copies of it
    // held at once while it is made); false when there is none now. Large replies ask before they
    // are read; the caller counts what the finished reply holds. Empty: always room.
    std::function<bool(std::size_t)> roomForReply {};
};

struct Reply {
    enum class Kind { Json, Page, Picture };
    Kind kind = Kind::Json;
    int httpStatus = 200;
    std::string contentType;
    std::string body;
    std::optional<Json> json; // JSON replies: serialised into `body` once faults have had their say

    static Reply page(std::string html, int status = 200)
    {
        return { Kind::Page, status, "text/html;charset=UTF-8", std::move(html), std::nullopt };
    }
    static Reply picture(std::string bytes, std::string contentType)
    {
        return { Kind::Picture, 200, std::move(contentType), std::move(bytes), std::nullopt };
    }
    static Reply ofJson(Json json) { return { Kind::Json, 200, "application/json;charset=UTF-8", {}, std::move(json) }; }
    // No room for the reply now: 503, to be asked again in a moment.
    static Reply busy() { return { Kind::Page, 503, "text/plain;charset=UTF-8", "服务器繁忙，请稍后再试\n", std::nullopt }; }
};

// The JSON text of a reply. Text that came in as invalid UTF-8 is replaced, never thrown over.
inline std::string serialise(const Json& json)
{
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace dv::internal::devserver
