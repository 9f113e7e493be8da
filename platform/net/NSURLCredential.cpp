#include "platform/net/NSURLCredential.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/net/SecTrust.h"

DV_DEFINE_CLASS(NSURLCredential)

Ref<NSURLCredential> NSURLCredential::initWithUser(const Ref<NSString>& user, const Ref<NSString>& password, NSURLCredentialPersistence persistence)
{
    m_user = dv::copyAs<NSString>(user);
    m_password = dv::copyAs<NSString>(password);
    m_persistence = persistence;
    return self<NSURLCredential>();
}

Ref<NSURLCredential> NSURLCredential::initWithTrust(const Ref<SecTrust>& trust)
{
    m_trust = trust;
    m_persistence = NSURLCredentialPersistenceForSession;
    return self<NSURLCredential>();
}

Ref<NSURLCredential> NSURLCredential::credentialWithUser(const Ref<NSString>& user, const Ref<NSString>& password, NSURLCredentialPersistence persistence)
{
    return alloc<NSURLCredential>()->initWithUser(user, password, persistence);
}

Ref<NSURLCredential> NSURLCredential::credentialForTrust(const Ref<SecTrust>& trust)
{
    return alloc<NSURLCredential>()->initWithTrust(trust);
}

Ref<NSString> NSURLCredential::description() const
{
    // Never print the password.
    return NSString::stringWithFormat("<%@: %p>: %@", className(), this, m_user);
}

bool NSURLCredential::isEqual(const NSObject* other) const
{
    auto* c = dynamic_cast<const NSURLCredential*>(other);
    return c && dv::equal(m_user, c->m_user) && dv::equal(m_password, c->m_password) && m_trust == c->m_trust;
}

NSUInteger NSURLCredential::hash() const
{
    return m_user ? m_user->hash() : reinterpret_cast<NSUInteger>(m_trust.get());
}

id NSURLCredential::copyWithZone(NSZone*) const
{
    return std::const_pointer_cast<NSObject>(shared_from_this());
}
