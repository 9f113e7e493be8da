// The server client against the local server: what reaches the caller's blocks, the time-outs
// each call uses, the network messages and the hiding of overlays after a failed form POST, what
// multipart and GET failures do, replies that are not objects, every fault the server can be
// told to show, and the per-call session being let go once its task has ended.
#include "ShellTestSupport.h"

#include "app/shell/models/VQAdModel.h"
#include "app/shell/models/VQBuyResourceModel.h"
#include "app/shell/models/VQCategoryModel.h"
#include "app/shell/models/VQCityModel.h"
#include "app/shell/models/VQMainBtnModel.h"
#include "app/shell/models/VQPassiveModel.h"
#include "app/shell/server/ZHFormData.h"
#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSession.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/system/NSUserDefaults.h"
#include "tools/devserver/Fault.h"

#include <functional>

using namespace dv::test;
using dv::devserver::Fault;

namespace {

constexpr const char* kTimedOut = "当前网络不稳定 请稍后重试";
constexpr const char* kOffline = "您似乎已经断开与互联网的连接";
constexpr const char* kCannotConnect = "网络连接失败 获取数据异常";
constexpr const char* kLoading = "正在加载";

// Every task the HTTP layer resumes, with its session (held, so that a test can look at it after
// the manager has gone).
class TaskWatcher {
public:
    TaskWatcher()
    {
        m_token = NSNotificationCenter::defaultCenter()->addObserverForName(PNTaskResumeNotificationName, nil, nil,
            [this](const Ref<NSNotification>& note) {
                auto task = dv::as<NSURLSessionTask>(note->object());
                if (task)
                    m_seen.push_back({ task, task->session() });
            });
    }
    ~TaskWatcher() { NSNotificationCenter::defaultCenter()->removeObserver(m_token); }

    struct Seen {
        Ref<NSURLSessionTask> task;
        Ref<NSURLSession> session;
    };
    // The task whose URL ends in `path`. The resume notification comes through the main queue,
    // so this runs the main loop until it is there.
    std::optional<Seen> forPath(const std::string& path) const
    {
        std::optional<Seen> found;
        dv::testing::runMainLoopUntil([&] { return (found = find(path)).has_value(); }, 5);
        return found;
    }

private:
    std::optional<Seen> find(const std::string& path) const
    {
        for (const auto& seen : m_seen) {
            auto url = seen.task->originalRequest()->URL();
            if (dv::str(url->absoluteString()).find(path) != std::string::npos)
                return seen;
        }
        return std::nullopt;
    }

    id m_token;
    std::vector<Seen> m_seen;
};

struct OfflineScope {
    OfflineScope() { dv::setNetworkSimulatedOffline(true); }
    ~OfflineScope() { dv::setNetworkSimulatedOffline(false); }
};

class ServerClientTest : public ShellTest {
protected:
    // The id of the server's first prospect category.
    Ref<NSString> firstCategoryId()
    {
        auto reply = post(dv::app::listCategoryRequest())->reply();
        auto categories = reply ? dv::app::replyModels<VQCategoryModel>(reply->infoArray()) : nil;
        return categories && categories->count() ? dv::as<VQCategoryModel>(categories->firstObject())->categoryId() : nil;
    }

    // Logs in and keeps the token, as the application does.
    void login()
    {
        auto result = post(dv::app::loginRequest());
        auto reply = result->reply();
        ASSERT_TRUE(reply && reply->succeeded());
        NSUserDefaults::standardUserDefaults()->setObjectForKey(reply->textForKey("token"_ns), NSString::fromUTF8(dv::app::kUserTokenKey));
    }

    // A failed form POST with a loading overlay up: the failure block first, the overlay gone,
    // the message (if any) on the window for its 0.7 s.
    void expectFailedPost(const dv::app::ServerRequest& request, NSInteger code, const char* message)
    {
        SCOPED_TRACE(dv::str(request.URL));
        PHProgressHUD::showMessag(NSString::fromUTF8(kLoading), m_window);
        m_ui.runUntilIdle();
        ASSERT_TRUE(showsText(kLoading));
        std::vector<std::string> order;
        auto result = std::make_shared<CallResult>();
        ZHHttpTool::postWithURL(request.URL, request.fields, noteSuccess(result), [&, result](const Ref<NSError>& error) {
            noteFailure(result)(error);
            order.push_back(showsText(kLoading) ? "failure, overlay up" : "failure");
        });
        ASSERT_TRUE(wait(result));
        EXPECT_EQ(result->successes, 0);
        ASSERT_EQ(result->failures, 1);
        EXPECT_EQ(result->errorCode(), code) << dv::str(result->error->description());
        EXPECT_EQ(order, std::vector<std::string> { "failure, overlay up" });

        m_ui.advance(0.35);
        EXPECT_FALSE(showsText(kLoading));
        if (message) {
            EXPECT_TRUE(showsText(message));
            EXPECT_EQ(visibleOverlays().size(), 1u);
            m_ui.advance(0.3);
            EXPECT_TRUE(showsText(message)) << "shown for 0.7 s";
            m_ui.advance(0.4);
        }
        EXPECT_TRUE(visibleOverlays().empty());
    }
};

} // namespace

TEST_F(ServerClientTest, TheFormPostWaitsTenSecondsTheOtherCallsThePlatformsDefault)
{
    EXPECT_EQ(dv::app::serverRequestTimeout(), 10.0);
    TaskWatcher watcher;
    post(dv::app::loginRequest());
    postMultipart(dv::app::saveCodeRequest({}), NSArray::array());
    get(dv::app::artifactIndexRequest());
    auto login = watcher.forPath(dv::app::kLoginPath);
    auto upload = watcher.forPath(dv::app::kSaveCodePath);
    auto about = watcher.forPath(dv::app::kArtifactIndexPath);
    ASSERT_TRUE(login && upload && about);
    EXPECT_EQ(login->task->originalRequest()->timeoutInterval(), 10.0);
    EXPECT_EQ(upload->task->originalRequest()->timeoutInterval(), kDefaultURLRequestTimeout);
    EXPECT_EQ(about->task->originalRequest()->timeoutInterval(), kDefaultURLRequestTimeout);
    EXPECT_EQ(dv::str(about->task->originalRequest()->HTTPMethod()), "GET");
}

TEST_F(ServerClientTest, ATimeOutHidesTheOverlaysAndSaysTheNetworkIsUnstable)
{
    // The server holds the reply for 5 s; the client gives up after 0.3 s of real time.
    dv::app::setServerRequestTimeout(0.3);
    m_server->setFault(dv::app::kHomeIndexPath, Fault::delay(5));
    expectFailedPost(dv::app::homeIndexRequest(), NSURLErrorTimedOut, kTimedOut);
}

TEST_F(ServerClientTest, NoConnectionHidesTheOverlaysAndSaysSo)
{
    OfflineScope offline;
    expectFailedPost(dv::app::loginRequest(), NSURLErrorNotConnectedToInternet, kOffline);
}

TEST_F(ServerClientTest, AnUnreachableServerHidesTheOverlaysAndSaysTheConnectionFailed)
{
    ASSERT_TRUE(dv::app::setServerAddress("127.0.0.1", dv::devserver::Server::unusedPort()));
    expectFailedPost(dv::app::homeIndexRequest(), NSURLErrorCannotConnectToHost, kCannotConnect);
}

TEST_F(ServerClientTest, OtherFailuresHideTheOverlaysWithoutAMessage)
{
    m_server->setFault(dv::app::kHomeIndexPath, Fault::httpError(500));
    expectFailedPost(dv::app::homeIndexRequest(), NSURLErrorBadServerResponse, nullptr);
    m_server->setFault(dv::app::kHomeIndexPath, Fault::of(dv::devserver::FaultKind::Html));
    expectFailedPost(dv::app::homeIndexRequest(), NSURLErrorCannotDecodeContentData, nullptr);
}

TEST_F(ServerClientTest, AReplyThatIsNotAnObjectIsAFailureWithoutAMessage)
{
    m_server->setFault(dv::app::kHomeIndexPath, Fault::of(dv::devserver::FaultKind::JsonArray));
    expectFailedPost(dv::app::homeIndexRequest(), NSURLErrorCannotParseResponse, nullptr);

    m_server->setFault(dv::app::kArtifactIndexPath, Fault::of(dv::devserver::FaultKind::JsonArray));
    auto viaGet = get(dv::app::artifactIndexRequest());
    EXPECT_EQ(viaGet->successes, 0);
    EXPECT_EQ(viaGet->errorCode(), NSURLErrorCannotParseResponse);

    m_server->setFault(dv::app::kSaveCodePath, Fault::of(dv::devserver::FaultKind::JsonArray));
    auto viaUpload = postMultipart(dv::app::saveCodeRequest({}), NSArray::array());
    EXPECT_EQ(viaUpload->successes, 0);
    EXPECT_EQ(viaUpload->errorCode(), NSURLErrorCannotParseResponse);
}

TEST_F(ServerClientTest, MultipartAndGetFailuresOnlyReachTheirFailureBlock)
{
    ASSERT_TRUE(dv::app::setServerAddress("127.0.0.1", dv::devserver::Server::unusedPort()));
    PHProgressHUD::showMessag(NSString::fromUTF8(kLoading), m_window);
    auto upload = postMultipart(dv::app::saveCodeRequest({}), NSArray::of({ ZHFormData::codePicture(NSData::fromString("x")) }));
    auto page = get(dv::app::artifactIndexRequest());
    EXPECT_EQ(upload->errorCode(), NSURLErrorCannotConnectToHost);
    EXPECT_EQ(page->errorCode(), NSURLErrorCannotConnectToHost);
    m_ui.advance(1.1);
    EXPECT_TRUE(showsText(kLoading)) << "the caller hides its own overlay";
    EXPECT_FALSE(showsText(kCannotConnect));
    EXPECT_EQ(visibleOverlays().size(), 1u);
}

TEST_F(ServerClientTest, AFailureWithoutAFailureBlockIsDroppedQuietly)
{
    ASSERT_TRUE(dv::app::setServerAddress("127.0.0.1", dv::devserver::Server::unusedPort()));
    PHProgressHUD::showMessag(NSString::fromUTF8(kLoading), m_window);
    int completed = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(PNTaskCompleteNotificationName, nil, nil,
        [&](const Ref<NSNotification>&) { ++completed; });
    bool succeeded = false;
    ZHHttpTool::postWithURL(dv::app::loginRequest().URL, dv::app::loginRequest().fields, [&](const id&) { succeeded = true; }, {});
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return completed == 1; }));
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    m_ui.advance(1.1);
    EXPECT_FALSE(succeeded);
    EXPECT_TRUE(showsText(kLoading));
    EXPECT_FALSE(showsText(kCannotConnect));
}

TEST_F(ServerClientTest, SuccessesAndFailuresWorkWithoutBlocks)
{
    int completed = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(PNTaskCompleteNotificationName, nil, nil,
        [&](const Ref<NSNotification>&) { ++completed; });
    ZHHttpTool::postWithURL(dv::app::homeIndexRequest().URL, nil, {}, {});
    ZHHttpTool::postWithURL(dv::app::serverURL(dv::app::kSaveCodePath), nil, nil, {}, {});
    ZHHttpTool::getWithURL(dv::app::serverURL(dv::app::kArtifactIndexPath), nil, {}, {});
    // No URL: the task is still made, and fails as unsupported.
    ZHHttpTool::postWithURL(nil, nil, {}, {});
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return completed >= 4; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(completed, 4);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(ServerClientTest, GetRepliesAreMutableThroughout)
{
    auto result = get(dv::app::artifactIndexRequest());
    ASSERT_EQ(result->successes, 1);
    auto reply = dv::as<NSMutableDictionary>(result->json);
    ASSERT_TRUE(reply);
    auto info = dv::as<NSMutableDictionary>(reply->objectForKey("info"_ns));
    ASSERT_TRUE(info);
    EXPECT_TRUE(dv::as<NSMutableString>(info->objectForKey("qq"_ns)));
}

TEST_F(ServerClientTest, EachCallLetsItsSessionGoOnceItsTaskHasEndedWithoutCancellingIt)
{
    TaskWatcher watcher;
    // The login reply comes after 0.2 s: a session ended early would cancel it.
    m_server->setFault(dv::app::kLoginPath, Fault::delay(0.2));
    auto login = post(dv::app::loginRequest());
    EXPECT_EQ(login->successes, 1);
    auto upload = postMultipart(dv::app::saveCodeRequest({}), NSArray::array());
    EXPECT_EQ(upload->successes, 1);
    auto page = get(dv::app::artifactIndexRequest());
    EXPECT_EQ(page->successes, 1);
    m_server->setFault(dv::app::kHomeIndexPath, Fault::httpError(404));
    auto failed = post(dv::app::homeIndexRequest());
    EXPECT_EQ(failed->failures, 1);

    for (const char* path : { dv::app::kLoginPath, dv::app::kSaveCodePath, dv::app::kArtifactIndexPath, dv::app::kHomeIndexPath }) {
        auto seen = watcher.forPath(path);
        ASSERT_TRUE(seen && seen->session) << path;
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return !seen->session->delegate(); })) << path << ": still valid";
        EXPECT_EQ(seen->task->state(), NSURLSessionTaskStateCompleted);
        EXPECT_FALSE(seen->task->error()) << path;
    }
}

namespace {

// Everything a screen could read from a reply: the reply's own fields, and the records of every
// kind wherever a reply may hold them. Answers how many values were read as texts.
int readEverything(const ServerReply& reply)
{
    int filled = reply.textForKey("token"_ns) ? 1 : 0;
    (void)reply.pageSize();
    (void)reply.totalCount();
    auto count = [&](const Ref<NSArray>& models, const std::vector<std::string>& keys) {
        for (const id& model : *models)
            for (const auto& key : keys)
                if (model->valueForKey(NSString::fromUTF8(key)))
                    ++filled;
    };
    const std::vector<std::string> codeKeys { "qrcodeId", "qrcodeImg", "title", "account", "nickName", "descriptions", "areaId",
        "areaName", "equipId", "type", "status", "addTime", "position" };
    const std::vector<std::string> tileKeys { "categoryId", "name", "imgurl", "keyword", "orderby", "type" };
    count(dv::app::replyModels<VQPassiveModel>(reply.listItems()), codeKeys);
    if (auto info = reply.infoDictionary()) {
        count(dv::app::replyModels<VQMainBtnModel>(info->objectForKey("listCate"_ns)), tileKeys);
        count(dv::app::replyModels<VQAdModel>(info->objectForKey("listAd"_ns)), { "adId", "name", "imgurl", "linkId" });
        if (auto code = mm_modelWithDictionary<VQPassiveModel>(info))
            count(NSArray::of({ code }), codeKeys);
        for (const char* key : { "agentPhone", "buyPhone", "qq", "token" })
            filled += dv::app::textOfJSON(info->objectForKey(key)) ? 1 : 0;
    }
    count(dv::app::replyModels<VQCityModel>(reply.infoArray()), { "id", "name", "parentid" });
    count(dv::app::replyModels<VQBuyResourceModel>(reply.infoArray()), { "phone", "computerName" });
    filled += reply.infoText() ? 1 : 0;
    return filled;
}

} // namespace

// Every fault the server can show, on every path the application posts to: the call ends in an
// error (a failure, or a reply that is not a success, or one with nothing usable in it), never in
// a crash, and a failed form POST leaves no overlay behind.
TEST_F(ServerClientTest, EveryFaultOfTheServerEndsInAnErrorAndNoCrash)
{
    using namespace dv::app;
    login(); // a token for the upload
    const Ref<NSString> categoryId = firstCategoryId();
    ASSERT_TRUE(categoryId);
    const std::vector<ServerRequest> requests { loginRequest(), homeIndexRequest(), artifactIndexRequest(),
        listCodeRequest(QRCodeKind::Group, 0), codeDetailRequest("1"_ns, "0"_ns), changeDetailRequest("1"_ns, "0"_ns, Neighbour::Next),
        subDistrictRequest("0"_ns), listPhoneRequest("440100"_ns, 0), listAccuratePhoneRequest("440000"_ns, 0, "138"_ns),
        listCategoryRequest(), listIndustryRequest(categoryId, 0) };
    // First without faults: every path answers a success with something in it.
    for (const auto& request : requests) {
        auto result = post(request);
        ASSERT_EQ(result->successes, 1) << dv::str(request.URL);
        auto reply = result->reply();
        ASSERT_TRUE(reply && reply->succeeded()) << dv::str(request.URL);
        EXPECT_GT(readEverything(*reply), 0) << dv::str(request.URL);
    }

    for (const char* text : { "http", "http:404", "html", "malformed", "array", "null", "wrongtypes", "wrongtypes:status", "status",
             "status:2:系统维护", "close", "cut", "delay:1" }) {
        auto fault = dv::devserver::parseFault(text);
        ASSERT_TRUE(fault) << text;
        m_server->setFault("*", *fault);
        // Only the delay needs a short wait (the server holds its replies for 1 s); the other
        // faults keep the full time-out, so that a busy machine cannot turn them into time-outs.
        dv::app::setServerRequestTimeout(fault->kind == dv::devserver::FaultKind::Delay ? 0.3 : 0);
        for (const auto& request : requests) {
            SCOPED_TRACE(std::string(text) + " " + dv::str(request.URL));
            PHProgressHUD::showMessag(NSString::fromUTF8(kLoading), m_window);
            auto result = post(request);
            ASSERT_TRUE(result->done());
            if (result->failures) {
                EXPECT_EQ(result->successes, 0);
                ASSERT_TRUE(result->error);
                EXPECT_NE(result->errorCode(), NSURLErrorCancelled);
            } else {
                auto reply = result->reply();
                ASSERT_TRUE(reply) << "a success is always an object";
                if (fault->kind == dv::devserver::FaultKind::WrongTypes && !fault->wrongStatus) {
                    EXPECT_TRUE(reply->succeeded());
                    EXPECT_EQ(dv::str(reply->msg()), "");
                    EXPECT_EQ(readEverything(*reply), 0) << "wrong-typed values read as absent";
                } else {
                    EXPECT_FALSE(reply->succeeded());
                    readEverything(*reply);
                }
                if (fault->kind == dv::devserver::FaultKind::Refusal) {
                    EXPECT_EQ(dv::str(reply->msg()), fault->message);
                }
                PHProgressHUD::hideHUDForView(m_window, true);
            }
            m_ui.advance(1.1);
            EXPECT_TRUE(visibleOverlays().empty());
            if (!result->failures)
                continue;
            // Transport faults fail in their own way; everything else is a reply that is no use.
            switch (fault->kind) {
            case dv::devserver::FaultKind::Delay:
                EXPECT_EQ(result->errorCode(), NSURLErrorTimedOut);
                break;
            case dv::devserver::FaultKind::HttpError:
                EXPECT_EQ(result->errorCode(), NSURLErrorBadServerResponse);
                break;
            case dv::devserver::FaultKind::JsonArray:
                EXPECT_EQ(result->errorCode(), NSURLErrorCannotParseResponse);
                break;
            default:
                break;
            }
        }
        // The upload, for its multipart path.
        auto upload = postMultipart(saveCodeRequest({ .kind = QRCodeKind::Group, .title = "t"_ns, .areaId = "110100"_ns,
                                        .description = "d"_ns, .account = "acc"_ns }),
            NSArray::of({ ZHFormData::codePicture(samplePicture()) }));
        ASSERT_TRUE(upload->done()) << text;
        if (fault->kind == dv::devserver::FaultKind::Delay) {
            // An upload keeps the platform's own time-out, and waits the delay out.
            EXPECT_EQ(upload->successes, 1) << (upload->error ? dv::str(upload->error->description()) : "");
        } else if (upload->successes) {
            auto reply = upload->reply();
            ASSERT_TRUE(reply) << text;
            EXPECT_FALSE(reply->succeeded() && reply->infoText()) << text;
        }
        m_server->clearFaults();
    }
}
