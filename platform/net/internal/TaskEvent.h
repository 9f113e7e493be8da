// What happens to a URL task, as its TaskEventPump queues it for the delegate queue: the
// transport's reports of a transfer (trust question, body stream wanted, bytes sent, response,
// data, end) and steps of the task's own, run in their turn (Invoke). A value, moved from the
// thread that made it to the delegate queue.
#pragma once

#include "platform/base/Forward.h"
#include "platform/net/internal/CurlTransport.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class NSURLResponse;

namespace dv::internal::net {

struct TaskEvent {
    enum class Type { Trust, BodyStream, Sent, Response, Data, Complete, Invoke } type = Type::Invoke;
    TrustQuestion trust {};
    std::shared_ptr<TrustReply> trustReply {};
    std::int64_t sent = 0, totalSent = 0, expectedToSend = 0;
    TransportResponse response {};
    std::string data {};
    TransportFailure failure {};
    NSInteger errorCode = 0; // a failure decided by the task rather than by the transport
    std::function<void()> invoke {};
    std::uint64_t transfer = 0; // which transfer the event belongs to (0: none)
};

} // namespace dv::internal::net
