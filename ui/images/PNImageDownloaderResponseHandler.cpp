#include "ui/images/PNImageDownloaderResponseHandler.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/base/NSUUID.h"

DV_DEFINE_CLASS(PNImageDownloaderResponseHandler)

Ref<PNImageDownloaderResponseHandler> PNImageDownloaderResponseHandler::initWithUUID(const Ref<NSUUID>& uuid,
    PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure)
{
    init();
    m_uuid = uuid;
    m_successBlock = std::move(success);
    m_failureBlock = std::move(failure);
    return self<PNImageDownloaderResponseHandler>();
}

Ref<NSString> PNImageDownloaderResponseHandler::description() const
{
    return NSString::stringWithFormat("<PNImageDownloaderResponseHandler>UUID: %@", m_uuid ? m_uuid->UUIDString() : nil);
}
