// The task machinery's conversations with the delegate about the connection itself: server
// trust, new body streams, redirections and authentication challenges. Each hands the delegate a
// completion handler (answerOnce) and holds the task's events until it answers; a delegate that
// does not implement the call gets the platform's default.
#include "platform/net/internal/TaskDriver.h"

#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/SecTrust.h"
#include "platform/net/internal/RequestBody.h"
#include "platform/net/internal/TaskSupport.h"

namespace dv::internal::net {

void TaskDriver::handleTrust(TaskEvent& event)
{
    auto task = m_task.lock();
    auto session = this->session();
    auto reply = event.trustReply;
    auto trust = ServerTrustDecision::trustFor(event.trust);
    if (!task || !session || !trust) {
        reply->answer(false);
        return;
    }
    auto challenge = ServerTrustDecision::challengeFor(event.trust, trust);
    auto self = shared_from_this();
    auto decide = [self, reply, trust](NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential) {
        reply->answer(self->m_trust.decide(disposition, credential, trust));
    };
    auto completion = answerOnce<NSURLSessionAuthChallengeDisposition, const Ref<NSURLCredential>&>(decide);
    id delegate = session->delegate();
    auto* sessionDelegate = dynamic_cast<NSURLSessionDelegate*>(delegate.get());
    auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get());
    m_pump.waitForDelegate();
    if (sessionDelegate && sessionDelegate->URLSession(session, challenge, completion))
        return;
    if (taskDelegate && taskDelegate->URLSession(session, task, challenge, completion))
        return;
    m_pump.delegateDeclined();
    decide(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
}

void TaskDriver::handleBodyStream()
{
    auto task = m_task.lock();
    auto session = this->session();
    auto body = m_body;
    id delegate = session ? session->delegate() : nullptr;
    auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get());
    if (task && taskDelegate && !m_dataCompletion) {
        m_pump.waitForDelegate();
        bool implemented = taskDelegate->URLSession(session, task,
            answerOnce<const Ref<NSInputStream>&>([body](const Ref<NSInputStream>& stream) { body->supplyStream(stream); }));
        if (implemented)
            return;
        m_pump.delegateDeclined();
    }
    // Without a delegate answer the first attempt of a streamed upload reads the request's own
    // stream; a later attempt has nothing to send and fails.
    bool first = false;
    {
        dv::MutexLocker lock(m_mutex);
        first = m_transferSerial <= 1;
    }
    body->supplyStream(first && task && task->originalRequest() ? task->originalRequest()->HTTPBodyStream() : nullptr);
}

void TaskDriver::handleRedirect()
{
    auto task = m_task.lock();
    auto session = this->session();
    if (!task || !session)
        return;
    auto current = task->currentRequest();
    auto next = m_redirects.follow(current, m_heldResponse);
    switch (next.step) {
    case RedirectPolicy::Step::TooMany:
        finish(makeURLError(NSURLErrorHTTPTooManyRedirects, current->URL()));
        return;
    case RedirectPolicy::Step::Final:
        deliverHeldResponseAsFinal();
        return;
    case RedirectPolicy::Step::Follow:
        break;
    }
    if (next.dropsBody)
        m_body->drop();

    id delegate = session->delegate();
    auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get());
    if (!taskDelegate || m_dataCompletion) {
        followRedirect(next.request);
        return;
    }
    auto self = shared_from_this();
    m_pump.waitForDelegate();
    auto answered = answerOnce<const Ref<NSURLRequest>&>([self](const Ref<NSURLRequest>& request) {
        if (request)
            self->followRedirect(request);
        else
            self->deliverHeldResponseAsFinal();
    });
    // The answer is copied when it is given: the delegate may go on changing its own request.
    bool implemented = taskDelegate->URLSession(session, task, m_heldResponse, next.request,
        std::function<void(const Ref<NSURLRequest>&)>([answered](const Ref<NSURLRequest>& answer) {
            answered(answer ? dv::copyAs<NSURLRequest>(answer) : nullptr);
        }));
    if (!implemented) {
        m_pump.delegateDeclined();
        followRedirect(next.request);
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
    if (m_body->source() == RequestBody::Source::Stream)
        m_body->forgetStream();
    startTransfer(request);
}

void TaskDriver::handleAuthentication()
{
    auto task = m_task.lock();
    auto session = this->session();
    if (!task || !session)
        return;
    auto refusal = m_heldResponse;
    auto challenge = m_authentication.challenge(task->currentRequest()->URL(), refusal);

    id delegate = session->delegate();
    auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get());
    if (!taskDelegate || m_dataCompletion) {
        deliverHeldResponseAsFinal();
        return;
    }
    auto self = shared_from_this();
    m_pump.waitForDelegate();
    bool implemented = taskDelegate->URLSession(session, task, challenge,
        answerOnce<NSURLSessionAuthChallengeDisposition, const Ref<NSURLCredential>&>(
            [self, refusal](NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential) {
                auto task = self->m_task.lock();
                if (!task)
                    return;
                if (disposition == NSURLSessionAuthChallengeCancelAuthenticationChallenge) {
                    self->finish(makeURLError(NSURLErrorCancelled, task->currentRequest()->URL()));
                    return;
                }
                if (disposition == NSURLSessionAuthChallengeUseCredential) {
                    if (auto retry = self->m_authentication.retry(task->currentRequest(), credential, refusal)) {
                        self->followRedirect(retry);
                        return;
                    }
                }
                self->deliverHeldResponseAsFinal();
            }));
    if (!implemented) {
        m_pump.delegateDeclined();
        deliverHeldResponseAsFinal();
    }
}

void TaskDriver::deliverHeldResponseAsFinal()
{
    auto self = shared_from_this();
    auto response = m_heldResponse;
    std::string body = std::exchange(m_heldBody, {});
    m_phase = Phase::Final;
    // In order, each after the previous one's delegate answer.
    using Position = TaskEventPump::Position;
    m_pump.post({ .type = TaskEvent::Type::Invoke, .invoke = [self] { self->finishSuccessfully(); } }, Position::Front);
    m_pump.post({ .type = TaskEvent::Type::Invoke, .invoke = [self, body] { self->deliverData(body); } }, Position::Front);
    m_pump.post({ .type = TaskEvent::Type::Invoke, .invoke = [self, response] { self->deliverResponse(response); } }, Position::Front);
}

} // namespace dv::internal::net
