// The protocol of the multipart builder handed to a request's constructing-body block: each call
// appends one part at the end of the body; parts are never removed or reordered.
#pragma once

#include "platform/base/NSObject.h"

class NSInputStream;

class PNMultipartFormData {
public:
    virtual ~PNMultipartFormData() = default;

    // A file part named after the URL's last path component, typed by its extension
    // ("application/octet-stream" when unknown). NO with the error when the file cannot be used.
    virtual bool appendPartWithFileURL(const Ref<NSURL>& fileURL, const Ref<NSString>& name, Ref<NSError>* error) = 0;
    virtual bool appendPartWithFileURL(const Ref<NSURL>& fileURL, const Ref<NSString>& name, const Ref<NSString>& fileName,
        const Ref<NSString>& mimeType, Ref<NSError>* error) = 0;
    // The stream is read when the body is sent; `length` is trusted as its size.
    virtual void appendPartWithInputStream(const Ref<NSInputStream>& inputStream, const Ref<NSString>& name,
        const Ref<NSString>& fileName, std::int64_t length, const Ref<NSString>& mimeType) = 0;
    virtual void appendPartWithFileData(const Ref<NSData>& data, const Ref<NSString>& name, const Ref<NSString>& fileName,
        const Ref<NSString>& mimeType) = 0;
    virtual void appendPartWithFormData(const Ref<NSData>& data, const Ref<NSString>& name) = 0;
    virtual void appendPartWithHeaders(const Ref<NSDictionary>& headers, const Ref<NSData>& body) = 0;
    // At most `numberOfBytes` per read of the body, with a pause of `delay` seconds after each.
    virtual void throttleBandwidthWithPacketSize(NSUInteger numberOfBytes, NSTimeInterval delay) = 0;
};
