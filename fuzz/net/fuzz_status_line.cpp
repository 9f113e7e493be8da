// The transport's reading of a response head, line by line as libcurl hands it over: a head is
// complete only with a final status and trustworthy lengths, and nothing crashes on the way.
#include "platform/net/internal/ResponseHead.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    dv::internal::net::ResponseHeadReader head;
    std::size_t lines = 0;
    while (!text.empty()) {
        auto end = text.find('\n');
        auto line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        text.remove_prefix(line.size());
        ++lines;
        auto step = head.readLine(line);
        if (!step) {
            if (step.reason().empty())
                std::abort();
            break;
        }
        if (*step == dv::internal::net::ResponseHeadReader::Step::Complete) {
            const auto& response = head.response();
            if (response.statusCode < 200 || response.statusCode > 999 || response.headers.size() > lines)
                std::abort();
            // Whatever lengths made it through agree with each other.
            std::optional<std::int64_t> length;
            for (auto& [name, value] : response.headers) {
                if (!dv::internal::net::headerNameIs(name, "Content-Length"))
                    continue;
                auto parsed = dv::internal::net::contentLengthValue(value);
                if (!parsed || (length && *length != *parsed))
                    std::abort();
                length = parsed;
            }
        }
    }
    return 0;
}
