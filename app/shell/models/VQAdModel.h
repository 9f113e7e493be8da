// VQAdModel: one advertisement, from `listAd` in `info` of home/index.do; `linkId` is where a
// tap on it leads. See ReplyModel.h.
#pragma once

#include "app/shell/models/ReplyModel.h"

class VQAdModel : public NSObject {
    DV_CLASS(VQAdModel, NSObject)

    DV_REPLY_PROPERTY(adId, AdId)
    DV_REPLY_PROPERTY(createTime, CreateTime)
    DV_REPLY_PROPERTY(imgurl, Imgurl)
    DV_REPLY_PROPERTY(linkId, LinkId)
    DV_REPLY_PROPERTY(linkType, LinkType)
    DV_REPLY_PROPERTY(modifyTime, ModifyTime)
    DV_REPLY_PROPERTY(name, Name)
    DV_REPLY_PROPERTY(seq, Seq)
    DV_REPLY_PROPERTY(status, Status)
};
