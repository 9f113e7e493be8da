// An answer to an authentication challenge: a user name and password, or acceptance of a
// server's trust. Immutable.
#pragma once

#include "platform/base/NSObject.h"

class SecTrust;

enum NSURLCredentialPersistence : NSUInteger {
    NSURLCredentialPersistenceNone = 0,
    NSURLCredentialPersistenceForSession = 1,
    NSURLCredentialPersistencePermanent = 2,
    NSURLCredentialPersistenceSynchronizable = 3,
};

class NSURLCredential : public NSObject, public NSCopying {
    DV_CLASS(NSURLCredential, NSObject)

    NSURLCredential() = default;
    Ref<NSURLCredential> initWithUser(const Ref<NSString>& user, const Ref<NSString>& password, NSURLCredentialPersistence persistence);
    Ref<NSURLCredential> initWithTrust(const Ref<SecTrust>& trust);
    static Ref<NSURLCredential> credentialWithUser(const Ref<NSString>& user, const Ref<NSString>& password, NSURLCredentialPersistence persistence);
    static Ref<NSURLCredential> credentialForTrust(const Ref<SecTrust>& trust);

    Ref<NSString> user() const { return m_user; }
    Ref<NSString> password() const { return m_password; }
    bool hasPassword() const { return m_password != nullptr; }
    NSURLCredentialPersistence persistence() const { return m_persistence; }
    Ref<SecTrust> trust() const { return m_trust; }

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    Ref<NSString> m_user;
    Ref<NSString> m_password;
    NSURLCredentialPersistence m_persistence = NSURLCredentialPersistenceNone;
    Ref<SecTrust> m_trust;
};
