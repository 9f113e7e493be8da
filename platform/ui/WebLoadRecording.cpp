#include "platform/ui/WebLoadRecording.h"

#include <algorithm>

namespace dv {

namespace {

// The recordings that live, and the id of the latest load; main thread only.
std::vector<WebLoadRecording*> s_recordings;
std::uint64_t s_lastId = 0;

} // namespace

WebLoadRecording::WebLoadRecording() { s_recordings.push_back(this); }

WebLoadRecording::~WebLoadRecording() { std::erase(s_recordings, this); }

std::vector<WebLoadRecord> WebLoadRecording::records() const { return { m_records.begin(), m_records.end() }; }

std::uint64_t WebLoadRecording::begin(const std::string& url, const char* outcome)
{
    if (s_recordings.empty())
        return 0;
    const std::uint64_t id = ++s_lastId;
    for (auto* recording : s_recordings) {
        auto& records = recording->m_records;
        records.push_back({ id, url, outcome, 0, "" });
        if (records.size() > kLimit)
            records.pop_front();
    }
    return id;
}

void WebLoadRecording::end(std::uint64_t id, const char* outcome, long errorCode, const std::string& title)
{
    if (id == 0)
        return;
    for (auto* recording : s_recordings) {
        auto& records = recording->m_records;
        // Ids grow with the records: the one sought, if still kept, is found by halving.
        auto found = std::lower_bound(records.begin(), records.end(), id, [](const WebLoadRecord& record, std::uint64_t sought) { return record.id < sought; });
        if (found == records.end() || found->id != id)
            continue;
        found->outcome = outcome;
        found->errorCode = errorCode;
        found->title = title;
    }
}

} // namespace dv
