#include "app/shell/models/VQAdModel.h"

DV_DEFINE_CLASS_WITH(VQAdModel, b)
{
    DV_DESCRIBE_REPLY_PROPERTY(VQAdModel, b, adId, AdId);
    DV_DESCRIBE_REPLY_PROPERTY(VQAdModel, b, createTime, CreateTime);
    DV_DESCRIBE_REPLY_PROPERTY(VQAdModel, b, imgurl, Imgurl);
    DV_DESCRIBE_REPLY_PROPERTY(VQAdModel, b, linkId, LinkId);
    DV_DESCRIBE_REPLY_PROPERTY(VQAdModel, b, linkType, LinkType);
    DV_DESCRIBE_REPLY_PROPERTY(VQAdModel, b, modifyTime, ModifyTime);
    DV_DESCRIBE_REPLY_PROPERTY(VQAdModel, b, name, Name);
    DV_DESCRIBE_REPLY_PROPERTY(VQAdModel, b, seq, Seq);
    DV_DESCRIBE_REPLY_PROPERTY(VQAdModel, b, status, Status);
}
