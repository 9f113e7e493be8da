// The downloader's bookkeeping for one running download: who listens to it. Shared by the
// downloader, the relays it gives the download operation and the callers' tokens.
#pragma once

#include "ui/images/RIWebImageDownloaderOperation.h"

#include <atomic>
#include <memory>
#include <vector>

namespace dv::internal {

// One caller's blocks. `cancelled` is set by the caller's token before anything else, and read
// just before each call to the blocks.
struct DownloadListener {
    RIWebImageDownloaderProgressBlock progress;
    RIWebImageDownloaderCompletedBlock completed;
    std::atomic<bool> cancelled { false };
};

// The listeners of one download, in the order they came. Touched only inside blocks on the
// downloader's barrier queue. Once closed (the download delivered its result, was cancelled or
// lost its last listener) no one joins it any more; the next caller starts a new download.
struct DownloadEntry {
    std::vector<std::shared_ptr<DownloadListener>> listeners;
    Weak<RIWebImageDownloaderOperation> operation;
    bool closed = false;
};

} // namespace dv::internal
