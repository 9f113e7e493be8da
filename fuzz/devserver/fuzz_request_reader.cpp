// Any bytes as what clients send the local server, read as its front reads them: in pieces, one
// request after another on the same connection, against limits small enough to be passed and a
// memory budget that may run out. Each request ends complete, with a head that frames its body
// exactly, or refused with one of the front's statuses; nothing is held past its limits or its
// budget, and every byte counted goes back to the budget.
//
// Input: byte 0 chooses the size of the pieces (1 to 64 bytes, or all at once), byte 1 the budget
// (512 bytes, 4 KiB, 64 KiB, or 1 MiB, more than any request here may hold); the rest is what the
// client sends.
#include "tools/devserver/internal/MemoryBudget.h"
#include "tools/devserver/internal/RequestReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

using dv::internal::devserver::MemoryBudget;
using dv::internal::devserver::RequestLimits;
using dv::internal::devserver::RequestReader;

constexpr RequestLimits kLimits { .maxHeadBytes = 2048, .maxBodyBytes = 8192 };

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool knownRefusal(int status)
{
    return status == 400 || status == 413 || status == 415 || status == 431 || status == 501 || status == 503;
}

// A complete request: its head ends with the exact length of its body.
void checkMessage(RequestReader::Message message)
{
    check(message.body.size() <= kLimits.maxBodyBytes);
    const std::string end = "Content-Length: " + std::to_string(message.body.size()) + "\r\n\r\n";
    check(message.head.ends_with(end));
    check(message.head.find("\r\n\r\n") == message.head.size() - 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t piece = data[0] % 65 == 0 ? size : data[0] % 65;
    const std::size_t budgets[] = { 512, 4096, 65536, 1024 * 1024 };
    const std::size_t budgetBytes = budgets[data[1] % 4];
    std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);

    MemoryBudget budget(budgetBytes);
    {
        std::optional<RequestReader> reader(std::in_place, kLimits, budget);
        std::string pending;
        while (!input.empty() || !pending.empty()) {
            // What came after a complete request is read first, as the front does.
            std::string_view bytes = pending.empty() ? input.substr(0, piece) : std::string_view(pending);
            const std::size_t used = reader->feed(bytes);
            check(used <= bytes.size());
            const auto state = reader->state();
            check(used == bytes.size() || state == RequestReader::State::Complete || state == RequestReader::State::Refused);
            check(budget.used() <= budgetBytes);
            std::string rest(bytes.substr(used));
            if (pending.empty())
                input.remove_prefix(bytes.size());
            pending = std::move(rest);
            if (state == RequestReader::State::Refused) {
                check(knownRefusal(reader->refusalStatus()));
                check(reader->bodyBytes() == 0);
                break;
            }
            if (state == RequestReader::State::Complete) {
                checkMessage(reader->takeMessage());
                reader.emplace(kLimits, budget);
            }
        }
    }
    check(budget.used() == 0);
    return 0;
}
