#include "app/shell/models/VQCategoryModel.h"

DV_DEFINE_CLASS_WITH(VQCategoryModel, b)
{
    DV_DESCRIBE_REPLY_PROPERTY(VQCategoryModel, b, categoryId, CategoryId);
    DV_DESCRIBE_REPLY_PROPERTY(VQCategoryModel, b, imgurl, Imgurl);
    DV_DESCRIBE_REPLY_PROPERTY(VQCategoryModel, b, keyword, Keyword);
    DV_DESCRIBE_REPLY_PROPERTY(VQCategoryModel, b, name, Name);
    DV_DESCRIBE_REPLY_PROPERTY(VQCategoryModel, b, orderby, Orderby);
    DV_DESCRIBE_REPLY_PROPERTY(VQCategoryModel, b, type, Type);
}
