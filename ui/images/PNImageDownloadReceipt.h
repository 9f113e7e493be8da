// PNImageDownloadReceipt: what a requester of the network image downloader holds: the identifier
// of its own response handler and the data task serving it (several receipts may share one task).
// Handing it back to cancelTaskForImageDownloadReceipt withdraws this requester alone. Immutable.
#pragma once

#include "platform/base/NSObject.h"

class NSURLSessionDataTask;
class NSUUID;

class PNImageDownloadReceipt : public NSObject {
    DV_CLASS(PNImageDownloadReceipt, NSObject)

    PNImageDownloadReceipt() = default;
    Ref<PNImageDownloadReceipt> initWithReceiptID(const Ref<NSUUID>& receiptID, const Ref<NSURLSessionDataTask>& task);

    Ref<NSUUID> receiptID() const { return m_receiptID; }
    Ref<NSURLSessionDataTask> task() const { return m_task; }

private:
    Ref<NSUUID> m_receiptID;
    Ref<NSURLSessionDataTask> m_task;
};
