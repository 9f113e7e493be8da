#include "tools/devserver/internal/SharedPictures.h"

#include <algorithm>

namespace dv::internal::devserver {

Result<SharedPictures::Taken> SharedPictures::take(Key key, const Read& read)
{
    {
        dv::MutexLocker lock(m_mutex);
        for (;;) {
            Entry& entry = m_entries[key];
            if (auto bytes = entry.bytes.lock())
                return Taken { Outcome::Found, std::move(bytes) };
            if (!entry.reading) {
                entry.reading = true;
                break;
            }
            m_readDone.wait(lock);
        }
        // Pictures no answer holds any more are forgotten.
        std::erase_if(m_entries, [&](const auto& item) {
            return item.first != key && !item.second.reading && item.second.bytes.expired();
        });
    }
    // Whatever the read gives, or throws, the ones waiting for it look again.
    struct ReadEnds {
        SharedPictures& pictures;
        Key key;
        std::shared_ptr<const SharedBytes> found;
        ~ReadEnds()
        {
            {
                dv::MutexLocker lock(pictures.m_mutex);
                Entry& entry = pictures.m_entries[key];
                entry.reading = false;
                entry.bytes = found;
            }
            pictures.m_readDone.notifyAll();
        }
    } ends { *this, key, nullptr };
    auto taken = read();
    if (taken && taken->outcome == Outcome::Found)
        ends.found = taken->bytes;
    return taken;
}

std::size_t SharedPictures::held()
{
    dv::MutexLocker lock(m_mutex);
    return std::size_t(std::count_if(m_entries.begin(), m_entries.end(), [](const auto& item) { return !item.second.bytes.expired(); }));
}

} // namespace dv::internal::devserver
