#include "platform/net/NSCachedURLResponse.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/net/NSURLResponse.h"

DV_DEFINE_CLASS(NSCachedURLResponse)

Ref<NSCachedURLResponse> NSCachedURLResponse::initWithResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data)
{
    return initWithResponse(response, data, nil, NSURLCacheStorageAllowed);
}

Ref<NSCachedURLResponse> NSCachedURLResponse::initWithResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data,
    const Ref<NSDictionary>& userInfo, NSURLCacheStoragePolicy storagePolicy)
{
    m_response = response;
    m_data = data ? NSData::dataWithData(data) : NSData::data();
    m_userInfo = userInfo;
    m_policy = storagePolicy;
    return self<NSCachedURLResponse>();
}

id NSCachedURLResponse::copyWithZone(NSZone*) const
{
    return std::const_pointer_cast<NSObject>(shared_from_this());
}
