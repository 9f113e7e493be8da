// NSError: a failure as the platform reports it: a domain, a code and user information with the
// standard keys. Immutable.
#pragma once

#include "platform/base/NSObject.h"

class NSError : public NSObject, public NSCopying {
    DV_CLASS(NSError, NSObject)

    NSError() = default;
    Ref<NSError> initWithDomain(const Ref<NSString>& domain, NSInteger code, const Ref<NSDictionary>& userInfo);
    static Ref<NSError> errorWithDomain(const Ref<NSString>& domain, NSInteger code, const Ref<NSDictionary>& userInfo);

    Ref<NSString> domain() const { return m_domain; }
    NSInteger code() const { return m_code; }
    Ref<NSDictionary> userInfo() const; // never nil

    // The user info's NSLocalizedDescriptionKey, else a text made from the domain and code:
    // "The operation couldn’t be completed. (domain error code.)"
    Ref<NSString> localizedDescription() const;
    Ref<NSString> localizedFailureReason() const;
    Ref<NSString> localizedRecoverySuggestion() const;
    Ref<NSError> underlyingError() const;

    // "Error Domain=D Code=C \"description\" UserInfo={...}"
    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    Ref<NSString> m_domain;
    NSInteger m_code = 0;
    Ref<NSDictionary> m_userInfo;
};

// Standard user-info keys and common domains.
extern const Ref<NSString> NSLocalizedDescriptionKey;
extern const Ref<NSString> NSLocalizedFailureReasonErrorKey;
extern const Ref<NSString> NSLocalizedRecoverySuggestionErrorKey;
extern const Ref<NSString> NSUnderlyingErrorKey;
extern const Ref<NSString> NSFilePathErrorKey;
extern const Ref<NSString> NSURLErrorKey;
extern const Ref<NSString> NSStringEncodingErrorKey;
extern const Ref<NSString> NSCocoaErrorDomain;
extern const Ref<NSString> NSPOSIXErrorDomain;
extern const Ref<NSString> NSOSStatusErrorDomain;
