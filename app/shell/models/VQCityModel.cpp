#include "app/shell/models/VQCityModel.h"

DV_DEFINE_CLASS_WITH(VQCityModel, b)
{
    DV_DESCRIBE_REPLY_PROPERTY(VQCityModel, b, charindex, Charindex);
    DV_DESCRIBE_REPLY_PROPERTY(VQCityModel, b, id, Id);
    DV_DESCRIBE_REPLY_PROPERTY(VQCityModel, b, level, Level);
    DV_DESCRIBE_REPLY_PROPERTY(VQCityModel, b, name, Name);
    DV_DESCRIBE_REPLY_PROPERTY(VQCityModel, b, namepath, Namepath);
    DV_DESCRIBE_REPLY_PROPERTY(VQCityModel, b, nodepath, Nodepath);
    DV_DESCRIBE_REPLY_PROPERTY(VQCityModel, b, orderby, Orderby);
    DV_DESCRIBE_REPLY_PROPERTY(VQCityModel, b, parentid, Parentid);
}
