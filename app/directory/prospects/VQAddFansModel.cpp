#include "app/directory/prospects/VQAddFansModel.h"

DV_DEFINE_CLASS_WITH(VQAddFansModel, b)
{
    DV_DESCRIBE_REPLY_PROPERTY(VQAddFansModel, b, cityId, CityId);
    DV_DESCRIBE_REPLY_PROPERTY(VQAddFansModel, b, createTime, CreateTime);
    DV_DESCRIBE_REPLY_PROPERTY(VQAddFansModel, b, phone, Phone);
    DV_DESCRIBE_REPLY_PROPERTY(VQAddFansModel, b, phoneId, PhoneId);
    DV_DESCRIBE_REPLY_PROPERTY(VQAddFansModel, b, proviceId, ProviceId);
    DV_DESCRIBE_REPLY_PROPERTY(VQAddFansModel, b, seq, Seq);
    DV_DESCRIBE_REPLY_PROPERTY(VQAddFansModel, b, status, Status);
}
