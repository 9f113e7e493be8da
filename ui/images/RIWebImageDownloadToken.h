// RIWebImageDownloadToken: one caller's handle on a download of the image downloader. Several
// callers asking for one URL share one download, and each gets a token of its own: cancelling a
// token takes only that caller off the download, and the download itself is cancelled when its
// last caller has gone. Made by the downloader; cancel from any thread.
//
//   auto token = RIWebImageDownloader::sharedDownloader()->downloadImageWithURL(url, 0, nil, completed);
//   token->cancel(); // `completed` is not called after this returns, unless it was already running
#pragma once

#include "ui/images/RIWebImageDownloaderOperation.h"
#include "ui/images/RIWebImageOperation.h"

#include <memory>

class RIWebImageDownloader;

namespace dv::internal::images {
struct DownloadEntry;
class DownloadListener;
}

class RIWebImageDownloadToken : public NSObject, public RIWebImageOperation {
    DV_CLASS(RIWebImageDownloadToken, NSObject)

    RIWebImageDownloadToken() = default;
    ~RIWebImageDownloadToken() override;
    Ref<RIWebImageDownloadToken> initWithDownload(const Ref<RIWebImageDownloader>& downloader, const Ref<NSURL>& url,
        std::shared_ptr<dv::internal::images::DownloadEntry> entry, std::shared_ptr<dv::internal::images::DownloadListener> listener,
        const Ref<RIWebImageDownloaderOperation>& operation, bool startedDownload);

    void cancel() override;
    bool isCancelled() const;

    Ref<NSURL> url() const { return m_url; }
    // The download this caller started or joined.
    const Ref<RIWebImageDownloaderOperation>& operation() const { return m_operation; }
    // Whether this call started the download (the others joined one already running).
    bool startedDownload() const { return m_startedDownload; }

private:
    Weak<RIWebImageDownloader> m_downloader;
    Ref<NSURL> m_url;
    std::shared_ptr<dv::internal::images::DownloadEntry> m_entry;
    std::shared_ptr<dv::internal::images::DownloadListener> m_listener;
    Ref<RIWebImageDownloaderOperation> m_operation;
    bool m_startedDownload = false;
};
