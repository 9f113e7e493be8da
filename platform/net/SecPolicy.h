// A trust policy: a TLS server policy with an optional host name to match, or the basic X.509
// policy (a valid chain to an anchor, no name check). Immutable.
#pragma once

#include "platform/base/NSObject.h"

class SecPolicy : public NSObject {
    DV_CLASS(SecPolicy, NSObject)

    enum class Kind { BasicX509, SSL };
    SecPolicy() = default;
    Ref<SecPolicy> initWithKind(Kind kind, bool server, const Ref<NSString>& hostname);

    Kind kind() const { return m_kind; }
    bool isServer() const { return m_server; }
    Ref<NSString> hostname() const { return m_hostname; }

private:
    Kind m_kind = Kind::BasicX509;
    bool m_server = true;
    Ref<NSString> m_hostname;
};
using SecPolicyRef = Ref<SecPolicy>;

Ref<SecPolicy> SecPolicyCreateSSL(bool server, const Ref<NSString>& hostname);
Ref<SecPolicy> SecPolicyCreateBasicX509();
