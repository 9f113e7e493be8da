#include "tools/devserver/internal/FaultReplies.h"

#include "tools/devserver/internal/WebPages.h"

using dv::devserver::Fault;
using dv::devserver::FaultKind;

namespace dv::internal::devserver {

namespace {

Json swapScalar(const Json& value)
{
    if (value.is_string())
        return Json::array({ value });
    if (value.is_number())
        return Json { { "value", value } };
    if (value.is_boolean())
        return value.get<bool>() ? "yes" : "no";
    if (value.is_null())
        return Json::object();
    // Containers met where a scalar was expected: the opposite container.
    return value.is_array() ? Json::object() : Json::array();
}

Json swapRecord(const Json& record)
{
    Json out = Json::object();
    for (auto it = record.begin(); it != record.end(); ++it)
        out[it.key()] = swapScalar(it.value());
    return out;
}

Json swapRecords(const Json& records)
{
    Json out = Json::array();
    for (const auto& element : records)
        out.push_back(element.is_object() ? swapRecord(element) : swapScalar(element));
    out.push_back("record");
    out.push_back(7);
    out.push_back(nullptr);
    out.push_back(Json::array());
    return out;
}

Json swapMember(const Json& value)
{
    if (value.is_array())
        return swapRecords(value);
    if (value.is_object())
        return swapRecord(value);
    return swapScalar(value);
}

// A refusal with `status` of the same JSON type as the normal reply's.
Json refusal(const Fault& fault, const std::optional<Json>& normal)
{
    bool statusIsText = normal && normal->is_object() && normal->contains("status") && (*normal)["status"].is_string();
    Json out = Json::object();
    if (statusIsText)
        out["status"] = std::to_string(fault.status);
    else
        out["status"] = fault.status;
    out["msg"] = fault.message;
    out["info"] = nullptr;
    return out;
}

void answerWithJson(Reply& reply, const Json& json)
{
    reply.httpStatus = 200;
    reply.contentType = "application/json;charset=UTF-8";
    reply.json.reset();
    reply.body = serialise(json);
}

} // namespace

Json withWrongTypes(const Json& reply, bool includeStatus)
{
    if (!reply.is_object())
        return swapMember(reply);
    Json out = Json::object();
    for (auto it = reply.begin(); it != reply.end(); ++it) {
        const std::string& key = it.key();
        if (key == "status" && !includeStatus)
            out[key] = it.value();
        else if (key == "info" && it.value().is_object()) {
            Json info = Json::object();
            for (auto member = it.value().begin(); member != it.value().end(); ++member)
                info[member.key()] = swapMember(member.value());
            out[key] = std::move(info);
        } else
            out[key] = swapMember(it.value());
    }
    return out;
}

bool reshapesReply(const Fault& fault)
{
    switch (fault.kind) {
    case FaultKind::Delay:
    case FaultKind::Hold:
    case FaultKind::CloseConnection:
    case FaultKind::CutConnection:
        return false;
    case FaultKind::HttpError:
    case FaultKind::Html:
    case FaultKind::MalformedJson:
    case FaultKind::JsonArray:
    case FaultKind::JsonNull:
    case FaultKind::WrongTypes:
    case FaultKind::Refusal:
        return true;
    }
    return true;
}

void applyFault(const Fault& fault, Reply& reply)
{
    bool isJson = reply.kind == Reply::Kind::Json && reply.json;
    switch (fault.kind) {
    case FaultKind::Delay:
    case FaultKind::Hold:
    case FaultKind::CloseConnection:
    case FaultKind::CutConnection:
        return;
    case FaultKind::HttpError:
        reply = Reply::page(errorPage(fault.httpStatus), fault.httpStatus);
        return;
    case FaultKind::Html:
        reply = Reply::page(maintenancePage());
        return;
    case FaultKind::MalformedJson: {
        std::string body = isJson ? serialise(*reply.json) : reply.body;
        // Half of an object is never a whole JSON value; keep at least the opening brace.
        body.resize(std::max<std::size_t>(1, body.size() / 2));
        reply.body = std::move(body);
        reply.json.reset();
        reply.httpStatus = 200;
        return;
    }
    case FaultKind::JsonArray:
        // The reply object wrapped in an array: right content, wrong shape.
        answerWithJson(reply, isJson ? Json::array({ *reply.json }) : Json::array());
        return;
    case FaultKind::JsonNull:
        answerWithJson(reply, nullptr);
        return;
    case FaultKind::WrongTypes:
        if (isJson) {
            reply.json = withWrongTypes(*reply.json, fault.wrongStatus);
            return;
        }
        answerWithJson(reply, refusal(fault, std::nullopt));
        return;
    case FaultKind::Refusal:
        answerWithJson(reply, refusal(fault, reply.json));
        return;
    }
}

} // namespace dv::internal::devserver
