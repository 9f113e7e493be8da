// The task machinery's conversations with the delegate about the connection itself: server
// trust, new body streams, redirections and authentication challenges.
#include "platform/net/internal/TaskDriver.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/SecTrust.h"
#include "platform/net/internal/StreamBody.h"
#include "platform/net/internal/TaskSupport.h"

#include <atomic>

namespace dv::internal {

namespace {

// A chain that fails only on a certificate's dates has codes of its own.
NSInteger trustFailureCode(const Ref<SecTrust>& trust)
{
    switch (trust->failure()) {
    case SecTrust::Failure::Expired: return NSURLErrorServerCertificateHasBadDate;
    case SecTrust::Failure::NotYetValid: return NSURLErrorServerCertificateNotYetValid;
    case SecTrust::Failure::None:
    case SecTrust::Failure::Untrusted: break;
    }
    return NSURLErrorServerCertificateUntrusted;
}

} // namespace

bool TaskDriver::defaultTrustDecision(const Ref<SecTrust>& trust, const std::string&)
{
    SecTrustResultType result = kSecTrustResultInvalid;
    return SecTrustEvaluate(trust, &result) == errSecSuccess && (result == kSecTrustResultUnspecified || result == kSecTrustResultProceed);
}

void TaskDriver::handleTrust(Event& event)
{
    auto task = m_task.lock();
    auto session = m_session;
    auto reply = event.trustReply;
    auto certificates = NSMutableArray::array();
    for (auto& der : event.trust.chain)
        certificates->addObject(alloc<SecCertificate>()->initWithDER(der));
    Ref<SecTrust> trust;
    auto host = NSString::fromUTF8(event.trust.host);
    SecTrustCreateWithCertificates(certificates, SecPolicyCreateSSL(true, host), &trust);
    if (!task || !session || !trust) {
        reply->answer(false);
        return;
    }
    auto space = NSURLProtectionSpace::serverTrustSpace(host, event.trust.port, trust);
    auto challenge = alloc<NSURLAuthenticationChallenge>()->initWithProtectionSpace(space, nil, 0, nil, nil, nullptr);
    auto self = shared_from_this();
    std::string hostName = event.trust.host;
    auto decide = [self, reply, trust, hostName](NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential) {
        bool proceed = false;
        if (disposition == NSURLSessionAuthChallengeUseCredential && credential) {
            proceed = true;
        } else if (disposition == NSURLSessionAuthChallengePerformDefaultHandling || disposition == NSURLSessionAuthChallengeUseCredential) {
            proceed = self->defaultTrustDecision(trust, hostName);
            if (!proceed)
                self->m_trustFailureCode = trustFailureCode(trust);
        } else if (disposition == NSURLSessionAuthChallengeCancelAuthenticationChallenge) {
            self->m_trustFailureCode = NSURLErrorCancelled;
        } else {
            // A delegate that turns the trust down (rejecting the protection space) says no
            // more than that: the error tells what is wrong with the certificates, as it would
            // had the system decided. A delegate that weighed the trust itself left its findings
            // in it; one that did not has them found now.
            if (trust->failure() == SecTrust::Failure::None)
                self->defaultTrustDecision(trust, hostName);
            self->m_trustFailureCode = trustFailureCode(trust);
        }
        if (!proceed)
            self->m_failedTrust = trust;
        reply->answer(proceed);
    };
    auto once = std::make_shared<std::atomic<bool>>(false);
    NSURLSessionChallengeCompletion completion = [self, once, decide](NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential) {
        if (once->exchange(true))
            return;
        self->post({ .type = Event::Type::Invoke, .invoke = [decide, disposition, credential] { decide(disposition, credential); } }, true);
        self->delegateAnswered();
    };
    id delegate = session->delegate();
    auto* sessionDelegate = dynamic_cast<NSURLSessionDelegate*>(delegate.get());
    auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get());
    waitForDelegate();
    if (sessionDelegate && sessionDelegate->URLSession(session, challenge, completion))
        return;
    if (taskDelegate && taskDelegate->URLSession(session, task, challenge, completion))
        return;
    {
        std::lock_guard lock(m_mutex);
        m_waiting = false;
    }
    decide(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
}

void TaskDriver::handleBodyStream()
{
    auto task = m_task.lock();
    auto session = m_session;
    auto self = shared_from_this();
    auto supply = [self](const Ref<NSInputStream>& stream) {
        // Opened before it is handed over: the transport thread reads it as soon as it sees it.
        openBodyStream(stream);
        {
            std::lock_guard lock(self->m_mutex);
            self->m_bodyStream = stream;
            self->m_bodyStreamAnswered = true;
        }
        self->m_changed.notify_all();
    };
    id delegate = session ? session->delegate() : nullptr;
    auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get());
    if (task && taskDelegate && !m_dataCompletion) {
        auto once = std::make_shared<std::atomic<bool>>(false);
        waitForDelegate();
        bool implemented = taskDelegate->URLSession(session, task, std::function<void(const Ref<NSInputStream>&)>(
            [self, once, supply](const Ref<NSInputStream>& stream) {
                if (once->exchange(true))
                    return;
                self->post({ .type = Event::Type::Invoke, .invoke = [supply, stream] { supply(stream); } }, true);
                self->delegateAnswered();
            }));
        if (implemented)
            return;
        std::lock_guard lock(m_mutex);
        m_waiting = false;
    }
    // Without a delegate answer the first attempt of a streamed upload reads the request's own
    // stream; a later attempt has nothing to send and fails.
    bool first = m_transferSerial <= 1;
    supply(first && task && task->originalRequest() ? task->originalRequest()->HTTPBodyStream() : nullptr);
}

void TaskDriver::handleRedirect()
{
    auto task = m_task.lock();
    auto session = m_session;
    if (!task || !session)
        return;
    auto current = task->currentRequest();
    if (++m_redirects > kMaximumRedirects) {
        finish(makeURLError(NSURLErrorHTTPTooManyRedirects, current->URL()));
        return;
    }
    auto location = m_heldResponse->valueForHTTPHeaderField("Location"_ns);
    auto target = location ? NSURL::URLWithString(location, current->URL()) : nullptr;
    if (target)
        target = target->absoluteURL();
    if (!target || !isLoadableURL(target)) {
        deliverHeldResponseAsFinal();
        return;
    }
    auto next = std::static_pointer_cast<NSMutableURLRequest>(current->mutableCopy());
    next->setURL(target);
    NSInteger status = m_heldResponse->statusCode();
    auto method = current->HTTPMethod()->utf8();
    if ((status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST")) {
        next->setHTTPMethod("GET"_ns);
        next->setHTTPBody(nil);
        next->setHTTPBodyStream(nil);
        next->setValueForHTTPHeaderField(nil, "Content-Type"_ns);
        next->setValueForHTTPHeaderField(nil, "Content-Length"_ns);
        m_bodySource = BodySource::None;
    }
    // Credentials for one host never travel to another.
    if (!dv::equal(target->host(), current->URL()->host()))
        next->setValueForHTTPHeaderField(nil, "Authorization"_ns);

    id delegate = session->delegate();
    auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get());
    if (!taskDelegate || m_dataCompletion) {
        followRedirect(next);
        return;
    }
    auto self = shared_from_this();
    auto once = std::make_shared<std::atomic<bool>>(false);
    waitForDelegate();
    bool implemented = taskDelegate->URLSession(session, task, m_heldResponse, next,
        std::function<void(const Ref<NSURLRequest>&)>([self, once](const Ref<NSURLRequest>& answer) {
            if (once->exchange(true))
                return;
            auto request = answer ? dv::copyAs<NSURLRequest>(answer) : nullptr;
            self->post({ .type = Event::Type::Invoke, .invoke = [self, request] {
                if (request)
                    self->followRedirect(request);
                else
                    self->deliverHeldResponseAsFinal();
            } }, true);
            self->delegateAnswered();
        }));
    if (!implemented) {
        {
            std::lock_guard lock(m_mutex);
            m_waiting = false;
        }
        followRedirect(next);
    }
}

void TaskDriver::followRedirect(const Ref<NSURLRequest>& request)
{
    auto task = m_task.lock();
    if (!task)
        return;
    if (!isLoadableURL(request->URL())) {
        finish(makeURLError(NSURLErrorUnsupportedURL, request->URL()));
        return;
    }
    task->setCurrentRequest(request);
    if (m_bodySource == BodySource::Stream) {
        std::lock_guard lock(m_mutex);
        m_bodyStream = nullptr;
        m_bodyStreamAsked = false;
        m_bodyStreamAnswered = false;
    }
    startTransfer(request);
}

void TaskDriver::handleAuthentication()
{
    auto task = m_task.lock();
    auto session = m_session;
    if (!task || !session)
        return;
    auto url = task->currentRequest()->URL();
    bool proxy = m_heldResponse->statusCode() == 407;
    auto header = m_heldResponse->valueForHTTPHeaderField(proxy ? "Proxy-Authenticate"_ns : "WWW-Authenticate"_ns);
    std::string text = header ? header->utf8() : "";
    auto method = NSURLAuthenticationMethodDefault;
    if (lowercased(text).starts_with("basic"))
        method = NSURLAuthenticationMethodHTTPBasic;
    else if (lowercased(text).starts_with("digest"))
        method = NSURLAuthenticationMethodHTTPDigest;
    Ref<NSString> realm;
    if (auto at = lowercased(text).find("realm="); at != std::string::npos) {
        std::string value = text.substr(at + 6);
        if (!value.empty() && value.front() == '"') {
            auto end = value.find('"', 1);
            value = value.substr(1, end == std::string::npos ? std::string::npos : end - 1);
        } else {
            value = value.substr(0, value.find_first_of(", "));
        }
        realm = NSString::fromUTF8(value);
    }
    auto port = url->port();
    NSInteger portNumber = port ? port->integerValue() : (lowercased(url->scheme()->utf8()) == "https" ? 443 : 80);
    auto space = alloc<NSURLProtectionSpace>()->initWithHost(url->host(), portNumber, url->scheme()->lowercaseString(), realm, method);
    auto challenge = alloc<NSURLAuthenticationChallenge>()->initWithProtectionSpace(space, nil, m_authAttempts, m_heldResponse, nil, nullptr);

    id delegate = session->delegate();
    auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get());
    if (!taskDelegate || m_dataCompletion) {
        deliverHeldResponseAsFinal();
        return;
    }
    auto self = shared_from_this();
    auto once = std::make_shared<std::atomic<bool>>(false);
    bool isProxy = proxy;
    waitForDelegate();
    bool implemented = taskDelegate->URLSession(session, task, challenge,
        NSURLSessionChallengeCompletion([self, once, isProxy](NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential) {
            if (once->exchange(true))
                return;
            self->post({ .type = Event::Type::Invoke, .invoke = [self, disposition, credential, isProxy] {
                auto task = self->m_task.lock();
                if (!task)
                    return;
                if (disposition == NSURLSessionAuthChallengeCancelAuthenticationChallenge) {
                    self->finish(makeURLError(NSURLErrorCancelled, task->currentRequest()->URL()));
                    return;
                }
                if (disposition == NSURLSessionAuthChallengeUseCredential && credential && credential->user()) {
                    ++self->m_authAttempts;
                    std::string pair = credential->user()->utf8() + ":" + (credential->password() ? credential->password()->utf8() : "");
                    auto token = NSData::fromString(pair)->base64EncodedStringWithOptions(0);
                    auto retry = std::static_pointer_cast<NSMutableURLRequest>(task->currentRequest()->mutableCopy());
                    retry->setValueForHTTPHeaderField(NSString::stringWithFormat("Basic %@", token),
                        isProxy ? "Proxy-Authorization"_ns : "Authorization"_ns);
                    self->followRedirect(retry);
                    return;
                }
                self->deliverHeldResponseAsFinal();
            } }, true);
            self->delegateAnswered();
        }));
    if (!implemented) {
        {
            std::lock_guard lock(m_mutex);
            m_waiting = false;
        }
        deliverHeldResponseAsFinal();
    }
}

void TaskDriver::deliverHeldResponseAsFinal()
{
    auto self = shared_from_this();
    auto response = m_heldResponse;
    std::string body = std::move(m_heldBody);
    m_heldBody.clear();
    m_phase = Phase::Final;
    // In order, each after the previous one's delegate answer.
    post({ .type = Event::Type::Invoke, .invoke = [self] { self->finishSuccessfully(); } }, true);
    post({ .type = Event::Type::Invoke, .invoke = [self, body] { self->deliverData(body); } }, true);
    post({ .type = Event::Type::Invoke, .invoke = [self, response] { self->deliverResponse(response); } }, true);
}

} // namespace dv::internal
