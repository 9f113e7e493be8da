#include "SessionTestSupport.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/net/SecCertificate.h"
#include "platform/net/SecKey.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/SecTrust.h"
#include "platform/testing/TestCertificates.h"

using namespace nettest;
using dv::testing::LoopbackServer;
using dv::testing::ScriptedReply;
using dv::testing::TestCertificates;

namespace {

using Calls = std::vector<std::string>;

Ref<SecCertificate> certificate(const dv::testing::TestCertificate& c)
{
    return SecCertificateCreateWithData(nil, NSData::dataWithVector(c.der));
}

// What a pinning security policy does: trust only chains ending at the given anchor, with the
// host checked.
bool trustedByAnchor(const Ref<SecTrust>& trust, const dv::testing::TestCertificate& anchor, const Ref<NSString>& host)
{
    SecTrustSetPolicies(trust, SecPolicyCreateSSL(true, host));
    SecTrustSetAnchorCertificates(trust, NSArray::of({ certificate(anchor) }));
    SecTrustResultType result = kSecTrustResultInvalid;
    return SecTrustEvaluate(trust, &result) == errSecSuccess && result == kSecTrustResultUnspecified;
}

class SessionTrustTest : public SessionTest {
protected:
    LoopbackServer https { LoopbackServer::Scheme::Https };
    Ref<NSMutableURLRequest> secure(const std::string& path)
    {
        return NSMutableURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(https.url(path))));
    }
};

TEST_F(SessionTrustTest, UnknownAuthorityIsRejectedByDefault)
{
    https.route("/s", ScriptedReply { .body = "secret" });
    makeSession();
    session->dataTaskWithRequest(secure("/s"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorServerCertificateUntrusted);
    EXPECT_TRUE(dv::as<SecTrust>(delegate->recorded().error->userInfo()->objectForKey(NSURLErrorFailingURLPeerTrustErrorKey)));
    EXPECT_EQ(https.requestCount("/s"), 0u);
    EXPECT_EQ(delegate->callOrder(), (Calls { "complete" }));
}

TEST_F(SessionTrustTest, PinnedAuthorityIsAcceptedThroughTheSessionChallenge)
{
    https.route("/s", ScriptedReply { .body = "secret" });
    delegate->onSessionChallenge = [](const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion done) {
        auto space = challenge->protectionSpace();
        if (space->authenticationMethod()->isEqualToString(NSURLAuthenticationMethodServerTrust->utf8())
            && trustedByAnchor(space->serverTrust(), TestCertificates::shared().root, space->host()))
            done(NSURLSessionAuthChallengeUseCredential, NSURLCredential::credentialForTrust(space->serverTrust()));
        else
            done(NSURLSessionAuthChallengeRejectProtectionSpace, nil);
    };
    makeSession();
    session->dataTaskWithRequest(secure("/s"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().body, "secret");
    EXPECT_EQ(delegate->callOrder(), (Calls { "session-challenge", "response", "data", "will-cache", "complete" }));
    auto space = delegate->recorded().challenges.at(0)->protectionSpace();
    EXPECT_EQ(space->host()->utf8(), "127.0.0.1");
    EXPECT_EQ(space->port(), https.port());
    // The trust holds the chain the server presented, leaf first.
    auto trust = space->serverTrust();
    ASSERT_GE(SecTrustGetCertificateCount(trust), 2);
    EXPECT_EQ(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, 0))->vector(), TestCertificates::shared().leaf.der);
    EXPECT_EQ(SecKeyCopyExternalRepresentation(SecTrustCopyPublicKey(trust))->vector(), TestCertificates::shared().leaf.publicKeyDer);
}

TEST_F(SessionTrustTest, RejectedTrustFailsWithoutFallingBack)
{
    https.route("/s", ScriptedReply { .body = "secret" });
    delegate->onSessionChallenge = [](const Ref<NSURLAuthenticationChallenge>&, NSURLSessionChallengeCompletion done) {
        done(NSURLSessionAuthChallengeRejectProtectionSpace, nil);
    };
    makeSession();
    session->dataTaskWithRequest(secure("/s"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorServerCertificateUntrusted);
    EXPECT_EQ(https.requestCount("/s"), 0u);
    EXPECT_EQ(delegate->callOrder(), (Calls { "session-challenge", "complete" }));
}

TEST_F(SessionTrustTest, CancelledTrustChallengeIsACancellation)
{
    https.route("/s", ScriptedReply { .body = "secret" });
    delegate->onSessionChallenge = [](const Ref<NSURLAuthenticationChallenge>&, NSURLSessionChallengeCompletion done) {
        done(NSURLSessionAuthChallengeCancelAuthenticationChallenge, nil);
    };
    makeSession();
    session->dataTaskWithRequest(secure("/s"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
}

TEST_F(SessionTrustTest, RogueServerFailsThePinWhileTheGenuineOnePasses)
{
    auto& certs = TestCertificates::shared();
    LoopbackServer rogue(certs.rogue, {});
    rogue.route("/s", ScriptedReply { .body = "fake" });
    https.route("/s", ScriptedReply { .body = "real" });
    delegate->onTaskChallenge = [](const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion done) {
        auto space = challenge->protectionSpace();
        bool pinned = trustedByAnchor(space->serverTrust(), TestCertificates::shared().root, space->host());
        done(pinned ? NSURLSessionAuthChallengeUseCredential : NSURLSessionAuthChallengeRejectProtectionSpace,
            pinned ? NSURLCredential::credentialForTrust(space->serverTrust()) : nullptr);
    };
    makeSession();
    session->dataTaskWithURL(NSURL::URLWithString(NSString::fromUTF8(rogue.url("/s"))))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorServerCertificateUntrusted);
    EXPECT_EQ(rogue.requestCount("/s"), 0u);

    delegate->forgetCompletions();
    session->dataTaskWithRequest(secure("/s"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().body, "real");
}

TEST_F(SessionTrustTest, DefaultHandlingOfATrustedChainButWrongHostFails)
{
    auto& certs = TestCertificates::shared();
    LoopbackServer other(certs.otherHost, { certs.intermediate });
    other.route("/s", ScriptedReply { .body = "x" });
    delegate->onSessionChallenge = [](const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion done) {
        // Chain valid to the pinned root, but issued for another name.
        auto space = challenge->protectionSpace();
        bool ok = trustedByAnchor(space->serverTrust(), TestCertificates::shared().root, space->host());
        done(ok ? NSURLSessionAuthChallengeUseCredential : NSURLSessionAuthChallengePerformDefaultHandling,
            ok ? NSURLCredential::credentialForTrust(space->serverTrust()) : nullptr);
    };
    makeSession();
    session->dataTaskWithURL(NSURL::URLWithString(NSString::fromUTF8(other.url("/s"))))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorServerCertificateUntrusted);
}

TEST_F(SessionTrustTest, CertificateOutsideItsDatesHasItsOwnCode)
{
    auto& certs = TestCertificates::shared();
    LoopbackServer expired(certs.expired, { certs.intermediate });
    LoopbackServer future(certs.notYetValid, { certs.intermediate });
    expired.route("/s", ScriptedReply { .body = "old" });
    future.route("/s", ScriptedReply { .body = "early" });
    https.route("/s", ScriptedReply { .body = "good" });
    // The application trusts the test authority as well, and leaves the decision to the system.
    delegate->onSessionChallenge = [](const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion done) {
        SecTrustSetAnchorCertificates(challenge->protectionSpace()->serverTrust(),
            NSArray::of({ certificate(TestCertificates::shared().root) }));
        done(NSURLSessionAuthChallengePerformDefaultHandling, nil);
    };
    makeSession();
    auto codeFor = [&](LoopbackServer& server) {
        delegate->forgetCompletions();
        session->dataTaskWithURL(NSURL::URLWithString(NSString::fromUTF8(server.url("/s"))))->resume();
        EXPECT_TRUE(delegate->waitComplete());
        dv::MutexLocker lock(delegate->mutex);
        if (delegate->record.error) {
            EXPECT_TRUE(dv::as<SecTrust>(delegate->record.error->userInfo()->objectForKey(NSURLErrorFailingURLPeerTrustErrorKey)));
        }
        return delegate->record.error ? delegate->record.error->code() : 0;
    };
    EXPECT_EQ(codeFor(expired), NSURLErrorServerCertificateHasBadDate);
    EXPECT_EQ(codeFor(future), NSURLErrorServerCertificateNotYetValid);
    EXPECT_EQ(codeFor(https), 0);
    EXPECT_EQ(expired.requestCount("/s") + future.requestCount("/s"), 0u);
    EXPECT_EQ(https.requestCount("/s"), 1u);
}

TEST_F(SessionTrustTest, CancellingWhileTheDelegateWeighsTheTrust)
{
    https.route("/s", ScriptedReply { .body = "secret" });
    dv::Mutex heldMutex;
    NSURLSessionChallengeCompletion held;
    delegate->onSessionChallenge = [&](const Ref<NSURLAuthenticationChallenge>&, NSURLSessionChallengeCompletion done) {
        dv::MutexLocker lock(heldMutex);
        held = std::move(done);
    };
    makeSession();
    auto task = session->dataTaskWithRequest(secure("/s"));
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(heldMutex); return bool(held); }, 5));
    task->cancel();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
    dv::MutexLocker lock(heldMutex);
    held(NSURLSessionAuthChallengeUseCredential, nil);
    EXPECT_EQ(https.requestCount("/s"), 0u);
}

} // namespace
