// ServerReply: one reply of the application server, read without trusting its shape. Every reply
// is meant to be a JSON object {status, msg, info}: `status` 1 is success, `msg` is the text for
// the user when it is not, `info` the payload (an object, an array or a text); list replies carry
// `pageSize`, `totalCount` and `listItems` in `info`, the login reply `token` at the top level.
// The server (or whatever answers in its place) may send anything, so each reader here is total:
//   status   the integer value of a number, or of a text that holds one number ("1", " 2 ",
//            "1.0"); anything else (missing, null, other text, array, object) is not a status,
//            and the reply counts as a failure;
//   msg      a text as it stands, a number as its decimal text, anything else the empty text;
//   info     an object, an array or a text; anything else is treated as absent (nil).
//
//   auto reply = ServerReply::fromObject(json);
//   if (!reply || !reply->succeeded()) { PHProgressHUD::showError(reply ? reply->msg() : ""_ns, nil); return; }
//   auto codes = dv::app::replyModels<VQPassiveModel>(reply->listItems());
//
// A value type; it keeps the reply dictionary it was read from. Any thread.
#pragma once

#include "platform/base/Forward.h"

#include <optional>

class ServerReply {
public:
    // The reply in a parsed JSON object; nullopt when it is not a dictionary.
    static std::optional<ServerReply> fromObject(const id& object);

    // The status as read, nullopt when the reply has none that can be read.
    std::optional<NSInteger> status() const { return m_status; }
    bool succeeded() const { return m_status == 1; }
    // Never nil.
    Ref<NSString> msg() const { return m_msg; }
    // An NSDictionary, NSArray or NSString, else nil; and each of the three forms alone.
    id info() const { return m_info; }
    Ref<NSDictionary> infoDictionary() const;
    Ref<NSArray> infoArray() const;
    Ref<NSString> infoText() const;

    // A top-level text field (the login's `token`): a text, or a number's decimal text; nil for
    // anything else or when absent.
    Ref<NSString> textForKey(const Ref<NSString>& key) const;

    // In a list reply's `info`: `pageSize` and `totalCount` read as `status` is (nullopt when they
    // cannot be read), and `listItems` (nil unless an array).
    std::optional<NSInteger> pageSize() const;
    std::optional<NSInteger> totalCount() const;
    Ref<NSArray> listItems() const;

    // The whole reply.
    Ref<NSDictionary> dictionary() const { return m_dictionary; }

private:
    ServerReply() = default;

    Ref<NSDictionary> m_dictionary;
    std::optional<NSInteger> m_status;
    Ref<NSString> m_msg;
    id m_info;
};

namespace dv::app {

// The integer value of a JSON number, or of a text holding exactly one decimal number (surrounding
// white space allowed, fraction truncated toward zero); nullopt for anything else, and for values
// outside NSInteger's range.
std::optional<NSInteger> integerValueOfJSON(const id& value);
// A JSON text, or a number's decimal text; nil for anything else.
Ref<NSString> textOfJSON(const id& value);

} // namespace dv::app
