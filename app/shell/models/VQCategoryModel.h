// VQCategoryModel: one prospect category, from the array `info` of data/listCategory.do; the
// twin of VQMainBtnModel (the same properties). The grids show `name` and send `categoryId` with
// data/listIndustry.do. See ReplyModel.h.
#pragma once

#include "app/shell/models/ReplyModel.h"

class VQCategoryModel : public NSObject {
    DV_CLASS(VQCategoryModel, NSObject)

    DV_REPLY_PROPERTY(categoryId, CategoryId)
    DV_REPLY_PROPERTY(imgurl, Imgurl)
    DV_REPLY_PROPERTY(keyword, Keyword)
    DV_REPLY_PROPERTY(name, Name)
    DV_REPLY_PROPERTY(orderby, Orderby)
    DV_REPLY_PROPERTY(type, Type)
};
