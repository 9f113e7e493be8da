// The metadata of a loaded resource: final URL, MIME type, expected length (-1 when unknown) and
// text encoding name. NSHTTPURLResponse adds the status and header fields. Immutable; shared
// between threads.
#pragma once

#include "platform/base/NSObject.h"

class NSURLResponse : public NSObject, public NSCopying {
    DV_CLASS(NSURLResponse, NSObject)

    NSURLResponse() = default;
    Ref<NSURLResponse> initWithURL(const Ref<NSURL>& url, const Ref<NSString>& MIMEType, NSInteger expectedContentLength,
        const Ref<NSString>& textEncodingName);

    Ref<NSURL> URL() const { return m_url; }
    Ref<NSString> MIMEType() const { return m_mimeType; }
    std::int64_t expectedContentLength() const { return m_expectedContentLength; }
    Ref<NSString> textEncodingName() const { return m_textEncodingName; }
    virtual Ref<NSString> suggestedFilename() const;

    Ref<NSString> description() const override;
    id copyWithZone(NSZone* zone) const override;

protected:
    Ref<NSURL> m_url;
    Ref<NSString> m_mimeType;
    std::int64_t m_expectedContentLength = -1;
    Ref<NSString> m_textEncodingName;
};
