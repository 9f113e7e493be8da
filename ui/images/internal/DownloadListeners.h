// The downloader's bookkeeping for one running download: who listens to it. Shared by the
// downloader, the relays it gives the download operation and the callers' tokens.
#pragma once

#include "platform/base/Mutex.h"
#include "ui/images/RIWebImageDownloaderOperation.h"

#include <atomic>
#include <memory>
#include <vector>

namespace dv::internal::images {

// One caller's blocks. `cancelled` is set by the caller's token before anything else, and read
// just before each call. The blocks are let go once the caller has its result or has left, so
// that a block holding its own token does not keep both alive.
class DownloadListener {
public:
    DownloadListener(RIWebImageDownloaderProgressBlock progress, RIWebImageDownloaderCompletedBlock completed)
        : m_progress(std::move(progress)), m_completed(std::move(completed))
    {
    }

    // Empty once released; called outside the lock, so a block may cancel its own token.
    RIWebImageDownloaderProgressBlock progress() const
    {
        dv::MutexLocker lock(m_lock);
        return m_progress;
    }
    RIWebImageDownloaderCompletedBlock completed() const
    {
        dv::MutexLocker lock(m_lock);
        return m_completed;
    }
    bool hasProgress() const
    {
        dv::MutexLocker lock(m_lock);
        return static_cast<bool>(m_progress);
    }
    void release()
    {
        RIWebImageDownloaderProgressBlock progress;
        RIWebImageDownloaderCompletedBlock completed;
        dv::MutexLocker lock(m_lock);
        progress = std::exchange(m_progress, {});
        completed = std::exchange(m_completed, {});
        // Destroyed after the lock is left (declared before it): they may own their token.
    }

    std::atomic<bool> cancelled { false };

private:
    mutable dv::Mutex m_lock;
    RIWebImageDownloaderProgressBlock m_progress DV_GUARDED_BY(m_lock);
    RIWebImageDownloaderCompletedBlock m_completed DV_GUARDED_BY(m_lock);
};

// The listeners of one download, in the order they came. Touched only inside blocks on the
// downloader's barrier queue. Once closed (the download delivered its result, was cancelled or
// lost its last listener) no one joins it any more; the next caller starts a new download.
struct DownloadEntry {
    std::vector<std::shared_ptr<DownloadListener>> listeners;
    Weak<RIWebImageDownloaderOperation> operation;
    bool closed = false;
};

} // namespace dv::internal::images
