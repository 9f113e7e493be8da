#include "platform/net/NSURLResponse.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"

DV_DEFINE_CLASS(NSURLResponse)

Ref<NSURLResponse> NSURLResponse::initWithURL(const Ref<NSURL>& url, const Ref<NSString>& MIMEType, NSInteger expectedContentLength,
    const Ref<NSString>& textEncodingName)
{
    m_url = url;
    m_mimeType = MIMEType;
    m_expectedContentLength = expectedContentLength;
    m_textEncodingName = textEncodingName;
    return self<NSURLResponse>();
}

Ref<NSString> NSURLResponse::suggestedFilename() const
{
    auto last = m_url ? m_url->lastPathComponent() : nullptr;
    if (last && last->length() && !last->isEqualToString("/"))
        return last;
    return "Unknown"_ns;
}

Ref<NSString> NSURLResponse::description() const
{
    return NSString::stringWithFormat("<%@: %p> { URL: %@ }", className(), this, m_url);
}

id NSURLResponse::copyWithZone(NSZone*) const
{
    return std::const_pointer_cast<NSObject>(shared_from_this());
}
