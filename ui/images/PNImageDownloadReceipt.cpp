#include "ui/images/PNImageDownloadReceipt.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSUUID.h"
#include "platform/net/NSURLSessionTask.h"

DV_DEFINE_CLASS(PNImageDownloadReceipt)

Ref<PNImageDownloadReceipt> PNImageDownloadReceipt::initWithReceiptID(const Ref<NSUUID>& receiptID, const Ref<NSURLSessionDataTask>& task)
{
    init();
    m_receiptID = receiptID;
    m_task = task;
    return self<PNImageDownloadReceipt>();
}
