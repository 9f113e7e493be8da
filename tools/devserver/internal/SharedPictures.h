// One copy of each stored picture that answers are sending, shared by all of them: a picture that
// many clients ask for at once is read once and counted once in the memory budget, however many
// answers carry it. Nothing is kept for later: once no answer holds a picture's bytes they are
// gone, with their room, and the next answer reads them again.
//
// Pictures are known by their code and revision, so that an answer never gets the bytes of another
// revision than the one it asked for: a refreshed picture is another picture.
//
//   auto taken = pictures.take({ id, revision }, [&] { return readAndCount(id, revision); });
//   if (taken && taken->outcome == SharedPictures::Outcome::Found) answerWith(taken->bytes);
//
// Every member may be called from any thread.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Result.h"
#include "tools/devserver/internal/MemoryBudget.h"

#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace dv::internal::devserver {

class SharedPictures {
public:
    struct Key {
        std::int64_t id = 0;
        std::int64_t revision = 0;
        auto operator<=>(const Key&) const = default;
    };
    enum class Outcome {
        Found,   // `bytes` hold the picture
        Missing, // the store has no such picture (any more)
        NoRoom,  // the budget has no room for a copy now
    };
    struct Taken {
        Outcome outcome = Outcome::Missing;
        std::shared_ptr<const SharedBytes> bytes {};
    };
    // Reads a picture, counting the copy it makes into the copy's own share.
    using Read = std::function<Result<Taken>()>;

    // The bytes of `key` that answers hold now, or else those `read` gives, which are shared from
    // then on. One read at a time for a picture: whoever asks for it meanwhile waits for that read
    // and shares what it found (or, when it found nothing, reads again itself).
    Result<Taken> take(Key key, const Read& read);

    // Pictures whose bytes some answer holds now.
    std::size_t held();

private:
    struct Entry {
        std::weak_ptr<const SharedBytes> bytes;
        bool reading = false;
    };

    dv::Mutex m_mutex;
    dv::ConditionVariable m_readDone;
    std::map<Key, Entry> m_entries DV_GUARDED_BY(m_mutex);
};

} // namespace dv::internal::devserver
