// A request for credentials: the protection space, a proposed credential, how many times the
// answer already failed, and the response that asked (401/407). Sessions answer challenges
// through their delegate's completion handler; URL connections through the challenge's sender.
#pragma once

#include "platform/base/NSObject.h"

class NSURLCredential;
class NSURLProtectionSpace;
class NSURLResponse;
class NSURLAuthenticationChallenge;

enum NSURLSessionAuthChallengeDisposition : NSInteger {
    NSURLSessionAuthChallengeUseCredential = 0,
    NSURLSessionAuthChallengePerformDefaultHandling = 1,
    NSURLSessionAuthChallengeCancelAuthenticationChallenge = 2,
    NSURLSessionAuthChallengeRejectProtectionSpace = 3,
};

// The object a URL connection's delegate answers a challenge through.
class NSURLAuthenticationChallengeSender {
public:
    virtual ~NSURLAuthenticationChallengeSender() = default;
    virtual void useCredential(const Ref<NSURLCredential>& credential, const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void continueWithoutCredentialForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void cancelAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void performDefaultHandlingForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void rejectProtectionSpaceAndContinueWithChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
    // Whether the optional performDefaultHandling answer is offered.
    virtual bool supportsDefaultHandling() const { return true; }
};

class NSURLAuthenticationChallenge : public NSObject {
    DV_CLASS(NSURLAuthenticationChallenge, NSObject)

    NSURLAuthenticationChallenge() = default;
    Ref<NSURLAuthenticationChallenge> initWithProtectionSpace(const Ref<NSURLProtectionSpace>& space,
        const Ref<NSURLCredential>& proposedCredential, NSInteger previousFailureCount, const Ref<NSURLResponse>& failureResponse,
        const Ref<NSError>& error, std::shared_ptr<NSURLAuthenticationChallengeSender> sender);

    Ref<NSURLProtectionSpace> protectionSpace() const { return m_space; }
    Ref<NSURLCredential> proposedCredential() const { return m_proposed; }
    NSInteger previousFailureCount() const { return m_failures; }
    Ref<NSURLResponse> failureResponse() const { return m_failureResponse; }
    Ref<NSError> error() const { return m_error; }
    // nil for challenges handed to session delegates, which answer through a completion handler.
    std::shared_ptr<NSURLAuthenticationChallengeSender> sender() const { return m_sender; }

private:
    Ref<NSURLProtectionSpace> m_space;
    Ref<NSURLCredential> m_proposed;
    NSInteger m_failures = 0;
    Ref<NSURLResponse> m_failureResponse;
    Ref<NSError> m_error;
    std::shared_ptr<NSURLAuthenticationChallengeSender> m_sender;
};
