#include "platform/net/NSURLAuthenticationChallenge.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSError.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/NSURLResponse.h"

DV_DEFINE_CLASS(NSURLAuthenticationChallenge)

Ref<NSURLAuthenticationChallenge> NSURLAuthenticationChallenge::initWithProtectionSpace(const Ref<NSURLProtectionSpace>& space,
    const Ref<NSURLCredential>& proposedCredential, NSInteger previousFailureCount, const Ref<NSURLResponse>& failureResponse,
    const Ref<NSError>& error, std::shared_ptr<NSURLAuthenticationChallengeSender> sender)
{
    m_space = space;
    m_proposed = proposedCredential;
    m_failures = previousFailureCount;
    m_failureResponse = failureResponse;
    m_error = error;
    m_sender = std::move(sender);
    return self<NSURLAuthenticationChallenge>();
}
