#include "platform/net/SecPolicy.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(SecPolicy)

Ref<SecPolicy> SecPolicy::initWithKind(Kind kind, bool server, const Ref<NSString>& hostname)
{
    m_kind = kind;
    m_server = server;
    m_hostname = dv::copyAs<NSString>(hostname);
    return self<SecPolicy>();
}

Ref<SecPolicy> SecPolicyCreateSSL(bool server, const Ref<NSString>& hostname)
{
    return alloc<SecPolicy>()->initWithKind(SecPolicy::Kind::SSL, server, hostname);
}

Ref<SecPolicy> SecPolicyCreateBasicX509()
{
    return alloc<SecPolicy>()->initWithKind(SecPolicy::Kind::BasicX509, true, nullptr);
}
