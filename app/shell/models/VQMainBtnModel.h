// VQMainBtnModel: one category tile of the home screen, from `listCate` in `info` of
// home/index.do. `keyword` is the decimal text of the screen the tile opens; `categoryId` is sent
// to the category's web page. See ReplyModel.h.
#pragma once

#include "app/shell/models/ReplyModel.h"

class VQMainBtnModel : public NSObject {
    DV_CLASS(VQMainBtnModel, NSObject)

    DV_REPLY_PROPERTY(categoryId, CategoryId)
    DV_REPLY_PROPERTY(imgurl, Imgurl)
    DV_REPLY_PROPERTY(keyword, Keyword)
    DV_REPLY_PROPERTY(name, Name)
    DV_REPLY_PROPERTY(orderby, Orderby)
    DV_REPLY_PROPERTY(type, Type)
};
