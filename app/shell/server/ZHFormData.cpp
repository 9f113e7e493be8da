#include "app/shell/server/ZHFormData.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(ZHFormData)

Ref<ZHFormData> ZHFormData::init()
{
    NSObject::init();
    return self<ZHFormData>();
}

Ref<ZHFormData> ZHFormData::codePicture(const Ref<NSData>& data)
{
    auto part = alloc<ZHFormData>()->init();
    part->setData(data);
    part->setName("code"_ns);
    part->setFilename("1111.png"_ns);
    part->setMimeType("jpg"_ns);
    return part;
}

void ZHFormData::setName(const Ref<NSString>& name) { m_name = dv::copyAs<NSString>(name); }

void ZHFormData::setFilename(const Ref<NSString>& filename) { m_filename = dv::copyAs<NSString>(filename); }

void ZHFormData::setMimeType(const Ref<NSString>& mimeType) { m_mimeType = dv::copyAs<NSString>(mimeType); }
