// VQPassiveModel: one 信聊 QR code of the directory (a group, a public account or a personal
// account), from `listItems` of qrcode/listCode.do and `info` of qrcode/getDetail.do and
// qrcode/getChangeDetail.do. `type` is "11" public, "2" personal, "3" group; `descriptions` is
// the introduction (the upload form sends it as `description`); `position` is the code's place
// in the server's order, sent back with the detail requests. See ReplyModel.h.
#pragma once

#include "app/shell/models/ReplyModel.h"

class VQPassiveModel : public NSObject {
    DV_CLASS(VQPassiveModel, NSObject)

    DV_REPLY_PROPERTY(account, Account)
    DV_REPLY_PROPERTY(addTime, AddTime)
    DV_REPLY_PROPERTY(areaId, AreaId)
    DV_REPLY_PROPERTY(descriptions, Descriptions)
    DV_REPLY_PROPERTY(equipId, EquipId)
    DV_REPLY_PROPERTY(nickName, NickName)
    DV_REPLY_PROPERTY(qrcodeId, QrcodeId)
    DV_REPLY_PROPERTY(qrcodeImg, QrcodeImg)
    DV_REPLY_PROPERTY(status, Status)
    DV_REPLY_PROPERTY(title, Title)
    DV_REPLY_PROPERTY(type, Type)
    DV_REPLY_PROPERTY(position, Position)
    DV_REPLY_PROPERTY(areaName, AreaName)
};
