// The protocol of request serialisers: a request with its parameters encoded, ready to send.
// Serialisers are archivable (secure coding) and copyable.
#pragma once

#include "platform/base/NSObject.h"

class NSURLRequest;

class PNURLRequestSerialization : public NSCoding, public NSCopying {
public:
    // A new request, or nil with the error set (`error` may be null).
    virtual Ref<NSURLRequest> requestBySerializingRequest(const Ref<NSURLRequest>& request, const id& parameters, Ref<NSError>* error) = 0;
};
