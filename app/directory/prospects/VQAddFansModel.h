// VQAddFansModel: one prospect of the phone lists by city and by number prefix, from `listItems`
// of data/listPhone.do and data/listAccuratePhone.do. The lists read only `phone`; `proviceId` is
// spelled as the server sends it. See app/shell/models/ReplyModel.h.
#pragma once

#include "app/shell/models/ReplyModel.h"

class VQAddFansModel : public NSObject {
    DV_CLASS(VQAddFansModel, NSObject)

    DV_REPLY_PROPERTY(cityId, CityId)
    DV_REPLY_PROPERTY(createTime, CreateTime)
    DV_REPLY_PROPERTY(phone, Phone)
    DV_REPLY_PROPERTY(phoneId, PhoneId)
    DV_REPLY_PROPERTY(proviceId, ProviceId)
    DV_REPLY_PROPERTY(seq, Seq)
    DV_REPLY_PROPERTY(status, Status)
};
