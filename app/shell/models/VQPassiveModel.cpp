#include "app/shell/models/VQPassiveModel.h"

DV_DEFINE_CLASS_WITH(VQPassiveModel, b)
{
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, account, Account);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, addTime, AddTime);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, areaId, AreaId);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, descriptions, Descriptions);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, equipId, EquipId);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, nickName, NickName);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, qrcodeId, QrcodeId);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, qrcodeImg, QrcodeImg);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, status, Status);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, title, Title);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, type, Type);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, position, Position);
    DV_DESCRIBE_REPLY_PROPERTY(VQPassiveModel, b, areaName, AreaName);
}
