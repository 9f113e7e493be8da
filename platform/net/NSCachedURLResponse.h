// A response and its body as kept by a URL cache, with the storage policy that says where it may
// be kept. Immutable.
#pragma once

#include "platform/base/NSObject.h"

class NSURLResponse;

enum NSURLCacheStoragePolicy : NSUInteger {
    NSURLCacheStorageAllowed = 0,
    NSURLCacheStorageAllowedInMemoryOnly = 1,
    NSURLCacheStorageNotAllowed = 2,
};

class NSCachedURLResponse : public NSObject, public NSCopying {
    DV_CLASS(NSCachedURLResponse, NSObject)

    NSCachedURLResponse() = default;
    Ref<NSCachedURLResponse> initWithResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data);
    Ref<NSCachedURLResponse> initWithResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
        const Ref<NSDictionary>& userInfo, NSURLCacheStoragePolicy storagePolicy);

    Ref<NSURLResponse> response() const { return m_response; }
    Ref<NSData> data() const { return m_data; }
    Ref<NSDictionary> userInfo() const { return m_userInfo; }
    NSURLCacheStoragePolicy storagePolicy() const { return m_policy; }

    id copyWithZone(NSZone* zone) const override;

private:
    Ref<NSURLResponse> m_response;
    Ref<NSData> m_data;
    Ref<NSDictionary> m_userInfo;
    NSURLCacheStoragePolicy m_policy = NSURLCacheStorageAllowed;
};
