// WebLoadRecording: keeps the loads of the main frames of web views while it lives, for the UI
// driver (a test, or the runner, that asks what its pages did): each load's address and how it
// ended, under an id of its own that follows the order in which the loads began. Only the latest
// kLimit loads are kept; while no recording lives nothing is kept at all. A load that began before
// a recording is not in it, however it ends. Main thread only.
//
//   dv::WebLoadRecording recording;
//   web->loadRequest(request);                 // ... until it has loaded
//   recording.records().back().outcome;        // "finished"
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace dv::internal::uikit {
class WebViewHost;
}

namespace dv {

struct WebLoadRecord {
    std::uint64_t id = 0;
    std::string url;     // "" for data loaded without base address
    std::string outcome; // "loading", "finished", "failed", "stopped", "refused"
    long errorCode = 0;
    std::string title;   // the page's title once finished
};

class WebLoadRecording {
public:
    static constexpr std::size_t kLimit = 128;

    WebLoadRecording();
    ~WebLoadRecording();
    WebLoadRecording(const WebLoadRecording&) = delete;
    WebLoadRecording& operator=(const WebLoadRecording&) = delete;

    // Oldest first.
    std::vector<WebLoadRecord> records() const;

private:
    friend class dv::internal::uikit::WebViewHost;
    // A load began: its record goes into every recording that lives. Its id, 0 when none lives.
    static std::uint64_t begin(const std::string& url, const char* outcome);
    // The load `id` ended: its record says how, in the recordings that still keep it.
    static void end(std::uint64_t id, const char* outcome, long errorCode, const std::string& title);

    std::deque<WebLoadRecord> m_records;
};

} // namespace dv
