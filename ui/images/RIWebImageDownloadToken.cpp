#include "ui/images/RIWebImageDownloadToken.h"

#include "platform/base/ClassBuilder.h"
#include "ui/images/RIWebImageDownloader.h"
#include "ui/images/internal/DownloadListeners.h"

DV_DEFINE_CLASS(RIWebImageDownloadToken)

RIWebImageDownloadToken::~RIWebImageDownloadToken() = default;

Ref<RIWebImageDownloadToken> RIWebImageDownloadToken::initWithDownload(const Ref<RIWebImageDownloader>& downloader,
    const Ref<NSURL>& url, std::shared_ptr<dv::internal::images::DownloadEntry> entry,
    std::shared_ptr<dv::internal::images::DownloadListener> listener, const Ref<RIWebImageDownloaderOperation>& operation,
    bool startedDownload)
{
    NSObject::init();
    m_downloader = downloader;
    m_url = url;
    m_entry = std::move(entry);
    m_listener = std::move(listener);
    m_operation = operation;
    m_startedDownload = startedDownload;
    return self<RIWebImageDownloadToken>();
}

void RIWebImageDownloadToken::cancel()
{
    // First of all, so that no call to this caller's blocks begins from here on.
    if (!m_listener || m_listener->cancelled.exchange(true))
        return;
    m_listener->release();
    auto downloader = m_downloader.lock();
    if (!downloader)
        return; // it cancelled its downloads when it went
    if (auto orphaned = downloader->removeListener(m_url, m_entry, m_listener))
        orphaned->cancel();
}

bool RIWebImageDownloadToken::isCancelled() const { return m_listener && m_listener->cancelled; }
