// Reading a response head the way libcurl hands it over, one line at a time: a status line
// (interim 1xx heads included), header fields, and the blank line that ends the head. A head
// that cannot be trusted is refused: a status line without a three-digit code, lengths that
// contradict each other or are not numbers, or heads of more than kMaxHeadBytes together (however
// they are made: one endless line or many short ones; libcurl gives up on a little more with an
// error that would read as a lost connection). Lines after the final head (trailers) are ignored.
//
// One reader per transfer, used on its transport thread only.
//
//   ResponseHeadReader head;
//   for (auto line : lines) {
//       auto step = head.readLine(line);
//       if (!step) return refuse(step.reason());
//       if (*step == ResponseHeadReader::Step::Complete) deliver(head.response());
//   }
#pragma once

#include "platform/base/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dv::internal::net {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct TransportResponse {
    long statusCode = 0;
    std::string url;
    HeaderList headers; // in arrival order, names as sent
    // The last field of that name, compared without regard to case.
    std::optional<std::string> header(std::string_view name) const;
};

class ResponseHeadReader {
public:
    static constexpr std::size_t kMaxHeadBytes = 256 * 1024;

    enum class Step {
        Continue, // more of the head to come (or a line outside any head)
        Complete, // the blank line ended a final head: response() is ready
    };
    // A failure, saying what is wrong, for a head that is not one to act on.
    Result<Step> readLine(std::string_view line);
    const TransportResponse& response() const { return m_response; }
    TransportResponse& response() { return m_response; }
    bool isComplete() const { return m_complete; }

private:
    TransportResponse m_response;
    bool m_inHead = false;
    bool m_complete = false;
    std::optional<std::int64_t> m_contentLength;
    std::size_t m_headBytes = 0; // of every head of the response, interim ones included
};

bool headerNameIs(std::string_view name, std::string_view expected);
// A Content-Length value: one decimal number, or a list of equal ones ("8, 8"); nullopt for
// anything else, a list of different numbers included.
std::optional<std::int64_t> contentLengthValue(std::string_view value);

} // namespace dv::internal::net
