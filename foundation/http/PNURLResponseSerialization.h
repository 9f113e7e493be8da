// The protocol every response serialiser adopts: it checks a reply and turns its body into the
// object handed to the caller. Serialisers are also archivable (secure coding) and copyable, so a
// session manager can be archived or copied with its serialiser.
#pragma once

#include "platform/base/NSObject.h"

class NSURLResponse;

class PNURLResponseSerialization : public NSCoding, public NSCopying {
public:
    // The object for a reply, or nil. `error` may be null; when given it receives the failure
    // (and may receive one beside a non-nil object, as for a bad status with a parsable body).
    virtual id responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error) = 0;
};
