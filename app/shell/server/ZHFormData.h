// ZHFormData: one file part of a multipart upload: its bytes, the form field's name, the file name
// and the content type sent with it. The upload forms send one part, made by codePicture.
//
//   auto part = ZHFormData::codePicture(UIImageJPEGRepresentation(image, 1));
//   ZHHttpTool::postWithURL(url, fields, NSArray::of({part}), success, failure);
#pragma once

#include "platform/base/NSObject.h"

class ZHFormData : public NSObject {
    DV_CLASS(ZHFormData, NSObject)

    ZHFormData() = default;
    Ref<ZHFormData> init();

    // The picture part of a QR-code upload: field "code", file name "1111.png", type "jpg".
    static Ref<ZHFormData> codePicture(const Ref<NSData>& data);

    Ref<NSData> data() const { return m_data; }
    void setData(const Ref<NSData>& data) { m_data = data; }
    Ref<NSString> name() const { return m_name; }
    void setName(const Ref<NSString>& name);
    Ref<NSString> filename() const { return m_filename; }
    void setFilename(const Ref<NSString>& filename);
    Ref<NSString> mimeType() const { return m_mimeType; }
    void setMimeType(const Ref<NSString>& mimeType);

private:
    Ref<NSData> m_data;
    Ref<NSString> m_name;
    Ref<NSString> m_filename;
    Ref<NSString> m_mimeType;
};
