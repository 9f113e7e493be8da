#include "app/shell/models/VQMainBtnModel.h"

DV_DEFINE_CLASS_WITH(VQMainBtnModel, b)
{
    DV_DESCRIBE_REPLY_PROPERTY(VQMainBtnModel, b, categoryId, CategoryId);
    DV_DESCRIBE_REPLY_PROPERTY(VQMainBtnModel, b, imgurl, Imgurl);
    DV_DESCRIBE_REPLY_PROPERTY(VQMainBtnModel, b, keyword, Keyword);
    DV_DESCRIBE_REPLY_PROPERTY(VQMainBtnModel, b, name, Name);
    DV_DESCRIBE_REPLY_PROPERTY(VQMainBtnModel, b, orderby, Orderby);
    DV_DESCRIBE_REPLY_PROPERTY(VQMainBtnModel, b, type, Type);
}
