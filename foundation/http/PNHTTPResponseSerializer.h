// PNHTTPResponseSerializer: the base response serialiser. It validates a reply's status code and
// MIME type and answers the body data as it is; subclasses parse the body. Configured once, then
// used from the session manager's processing queue for many replies at a time: it holds no state
// between replies.
//
//   auto serializer = PNHTTPResponseSerializer::serializer();
//   Ref<NSError> error;
//   id data = serializer->responseObjectForResponse(response, body, &error);
#pragma once

#include "foundation/http/PNURLResponseSerialization.h"
#include "platform/base/NSString.h"

class NSHTTPURLResponse;

// The error domain of every error the response serialisers make, and the user-info keys that
// carry the failing reply.
extern const Ref<NSString> PNURLResponseSerializationErrorDomain;            // "com.pellucor.error.serialization.response"
extern const Ref<NSString> PNNetworkingOperationFailingURLResponseErrorKey;     // "com.pellucor.serialization.response.error.response"
extern const Ref<NSString> PNNetworkingOperationFailingURLResponseDataErrorKey; // "com.pellucor.serialization.response.error.data"

class PNHTTPResponseSerializer : public NSObject, public PNURLResponseSerialization {
    DV_CLASS(PNHTTPResponseSerializer, NSObject)

    PNHTTPResponseSerializer() = default;
    Ref<PNHTTPResponseSerializer> init();
    static Ref<PNHTTPResponseSerializer> serializer();
    static bool supportsSecureCoding() { return true; }

    // YES when the reply is acceptable. A response that is missing or not an HTTP response is
    // always acceptable.
    virtual bool validateResponse(const Ref<NSHTTPURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error);
    id responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error) override;

    NSStringEncoding stringEncoding() const { return m_stringEncoding; }
    void setStringEncoding(NSStringEncoding encoding) { m_stringEncoding = encoding; }
    // nil means any status, any type.
    Ref<NSIndexSet> acceptableStatusCodes() const { return m_acceptableStatusCodes; }
    void setAcceptableStatusCodes(const Ref<NSIndexSet>& codes);
    Ref<NSSet> acceptableContentTypes() const { return m_acceptableContentTypes; }
    void setAcceptableContentTypes(const Ref<NSSet>& types);

    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    id copyWithZone(NSZone* zone) const override;

protected:
    // The defaults of init, overridden by each subclass (which calls its superclass first).
    // Decoding and copying run it on a bare instance of the receiver's class.
    virtual void applyDefaults();
    // A new instance of the receiver's class with its defaults applied.
    template <class T>
    Ref<T> makeInitialisedInstance() const
    {
        auto copy = std::dynamic_pointer_cast<T>(getClass()->createInstance());
        if (copy)
            static_cast<PNHTTPResponseSerializer&>(*copy).applyDefaults();
        return copy;
    }

    NSStringEncoding m_stringEncoding = NSUTF8StringEncoding;
    Ref<NSIndexSet> m_acceptableStatusCodes;
    Ref<NSSet> m_acceptableContentTypes;
};

// The underlying error attached to an error: no error gives the underlying one; no underlying
// error, or an error that already has one, gives the error itself; otherwise a copy with
// NSUnderlyingErrorKey added.
Ref<NSError> PNAttachUnderlyingError(const Ref<NSError>& error, const Ref<NSError>& underlyingError);
// YES when the error, or one in its chain of underlying errors, is the response-serialisation
// domain's -1016 (unacceptable content type or undecodable text).
bool PNErrorChainHasCode(const Ref<NSError>& error);

namespace dv::internal::http {

// The gate shared by the parsing serialisers: validates, and answers NO when parsing must not be
// attempted (validation failed with no error slot, or with a content-type error in the chain).
bool responseSerializerGate(PNHTTPResponseSerializer& serializer, const Ref<NSURLResponse>& response,
    const Ref<NSData>& data, Ref<NSError>* error);

} // namespace dv::internal::http
