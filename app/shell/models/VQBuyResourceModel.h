// VQBuyResourceModel: one prospect of an industry category, from `listItems` of
// data/listIndustry.do: a phone number and the company (`computerName`). See ReplyModel.h.
#pragma once

#include "app/shell/models/ReplyModel.h"

class VQBuyResourceModel : public NSObject {
    DV_CLASS(VQBuyResourceModel, NSObject)

    DV_REPLY_PROPERTY(categoryId, CategoryId)
    DV_REPLY_PROPERTY(computerName, ComputerName)
    DV_REPLY_PROPERTY(createTime, CreateTime)
    DV_REPLY_PROPERTY(industryId, IndustryId)
    DV_REPLY_PROPERTY(phone, Phone)
    DV_REPLY_PROPERTY(seq, Seq)
    DV_REPLY_PROPERTY(status, Status)
};
