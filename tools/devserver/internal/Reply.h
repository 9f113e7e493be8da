// One request to the application paths and its reply, as the handlers see them: no HTTP library
// types, so that the handlers and the fault shaping can be tested and reasoned about alone.
#pragma once

#include "tools/devserver/internal/MemoryBudget.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
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
    // The server's memory budget: a stored picture's copy, which the replies that send it share,
    // is counted there (with the store's copy while it is read) before it is made, and the reply is
    // 503 when there is no room. Null: nothing is counted. The caller counts what the rest of the
    // finished reply holds.
    MemoryBudget* budget = nullptr;
};

struct Reply {
    enum class Kind { Json, Page, Picture };
    Kind kind = Kind::Json;
    int httpStatus = 200;
    std::string contentType;
    std::string body;
    std::optional<Json> json; // JSON replies: serialised into `body` once faults have had their say
    // A stored picture's bytes, shared with the other replies that send it now, in place of `body`.
    std::shared_ptr<const SharedBytes> shared {};

    static Reply page(std::string html, int status = 200)
    {
        return { Kind::Page, status, "text/html;charset=UTF-8", std::move(html), std::nullopt };
    }
    static Reply picture(std::string bytes, std::string contentType)
    {
        return { Kind::Picture, 200, std::move(contentType), std::move(bytes), std::nullopt };
    }
    static Reply sharedPicture(std::shared_ptr<const SharedBytes> bytes, std::string contentType)
    {
        return { Kind::Picture, 200, std::move(contentType), {}, std::nullopt, std::move(bytes) };
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
