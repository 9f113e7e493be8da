#include "app/shell/models/VQBuyResourceModel.h"

DV_DEFINE_CLASS_WITH(VQBuyResourceModel, b)
{
    DV_DESCRIBE_REPLY_PROPERTY(VQBuyResourceModel, b, categoryId, CategoryId);
    DV_DESCRIBE_REPLY_PROPERTY(VQBuyResourceModel, b, computerName, ComputerName);
    DV_DESCRIBE_REPLY_PROPERTY(VQBuyResourceModel, b, createTime, CreateTime);
    DV_DESCRIBE_REPLY_PROPERTY(VQBuyResourceModel, b, industryId, IndustryId);
    DV_DESCRIBE_REPLY_PROPERTY(VQBuyResourceModel, b, phone, Phone);
    DV_DESCRIBE_REPLY_PROPERTY(VQBuyResourceModel, b, seq, Seq);
    DV_DESCRIBE_REPLY_PROPERTY(VQBuyResourceModel, b, status, Status);
}
