// VQCityModel: one region (a province or a city), from the array `info` of
// district/listSubDistrict.do. `id` is what the next level's request and the forms send. See
// ReplyModel.h.
#pragma once

#include "app/shell/models/ReplyModel.h"

class VQCityModel : public NSObject {
    DV_CLASS(VQCityModel, NSObject)

    DV_REPLY_PROPERTY(charindex, Charindex)
    DV_REPLY_PROPERTY(id, Id)
    DV_REPLY_PROPERTY(level, Level)
    DV_REPLY_PROPERTY(name, Name)
    DV_REPLY_PROPERTY(namepath, Namepath)
    DV_REPLY_PROPERTY(nodepath, Nodepath)
    DV_REPLY_PROPERTY(orderby, Orderby)
    DV_REPLY_PROPERTY(parentid, Parentid)
};
