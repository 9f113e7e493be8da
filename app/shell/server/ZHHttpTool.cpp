#include "app/shell/server/ZHHttpTool.h"

#include "app/shell/server/ServerSettings.h"
#include "app/shell/server/ZHFormData.h"
#include "foundation/http/PNHTTPSessionManager.h"
#include "foundation/http/PNJSONResponseSerializer.h"
#include "foundation/http/PNMultipartFormData.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSString.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIWindow.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

DV_DEFINE_CLASS(ZHHttpTool)

namespace {

// What a failure does beyond calling the caller's failure block.
enum class FailureNotice { NetworkMessage, None };

// The window that hosts the application's overlays: the application delegate's.
Ref<UIWindow> overlayWindow()
{
    auto app = UIApplication::sharedApplication();
    auto delegate = app ? app->delegate() : nil;
    return delegate ? delegate->window() : nil;
}

Ref<NSString> networkMessage(NSInteger code)
{
    switch (code) {
    case NSURLErrorTimedOut:
        return "当前网络不稳定 请稍后重试"_ns;
    case NSURLErrorNotConnectedToInternet:
        return "您似乎已经断开与互联网的连接"_ns;
    case NSURLErrorCannotConnectToHost:
        return "网络连接失败 获取数据异常"_ns;
    default:
        return nil;
    }
}

Ref<NSError> notAnObjectError(const Ref<NSURLSessionDataTask>& task)
{
    auto request = task ? task->originalRequest() : nil;
    auto error = dv::makeURLError(NSURLErrorCannotParseResponse, request ? request->URL() : nil);
    auto userInfo = NSMutableDictionary::dictionaryWithDictionary(error->userInfo());
    userInfo->setObjectForKey("The server's reply is not a JSON object."_ns, NSLocalizedDescriptionKey);
    return NSError::errorWithDomain(error->domain(), error->code(), userInfo);
}

void fail(const Ref<NSError>& error, const ZHHttpTool::FailureBlock& failure, FailureNotice notice)
{
    if (!failure)
        return;
    failure(error);
    if (notice == FailureNotice::None)
        return;
    // The failure block may have put up overlays of its own; they go too, as every loading
    // overlay on the window does, before the network message shows.
    auto window = overlayWindow();
    PHProgressHUD::hideAllHUDsForView(window, true);
    if (auto text = networkMessage(error ? error->code() : 0))
        PHProgressHUD::showError(text, window);
}

// The manager's task has ended (its blocks are running): its session finishes and is invalidated,
// which cancels nothing, so that the session, its queue and its connections go with the call.
void endCall(const Ref<PNHTTPSessionManager>& manager) { manager->invalidateSessionCancelingTasks(false); }

// The blocks the HTTP layer calls. They hold the manager until the task has ended, on purpose.
PNHTTPSessionManager::SuccessBlock onSuccess(const Ref<PNHTTPSessionManager>& manager, ZHHttpTool::SuccessBlock success,
    ZHHttpTool::FailureBlock failure, FailureNotice notice)
{
    return [manager, success = std::move(success), failure = std::move(failure), notice](
               const Ref<NSURLSessionDataTask>& task, const id& responseObject) {
        endCall(manager);
        if (!dv::as<NSDictionary>(responseObject)) {
            fail(notAnObjectError(task), failure, notice);
            return;
        }
        if (success)
            success(responseObject);
    };
}

PNHTTPSessionManager::FailureBlock onFailure(const Ref<PNHTTPSessionManager>& manager, ZHHttpTool::FailureBlock failure,
    FailureNotice notice)
{
    return [manager, failure = std::move(failure), notice](const Ref<NSURLSessionDataTask>&, const Ref<NSError>& error) {
        endCall(manager);
        fail(error, failure, notice);
    };
}

} // namespace

void ZHHttpTool::postWithURL(const Ref<NSString>& url, const Ref<NSDictionary>& params, SuccessBlock success, FailureBlock failure)
{
    auto manager = PNHTTPSessionManager::manager();
    manager->requestSerializer()->setTimeoutInterval(dv::app::serverRequestTimeout());
    auto failed = onFailure(manager, failure, FailureNotice::NetworkMessage);
    manager->POST(url, params, PNHTTPSessionManager::ProgressBlock {},
        onSuccess(manager, std::move(success), std::move(failure), FailureNotice::NetworkMessage), std::move(failed));
}

void ZHHttpTool::postWithURL(const Ref<NSString>& url, const Ref<NSDictionary>& params, const Ref<NSArray>& formDataArray,
    SuccessBlock success, FailureBlock failure)
{
    auto manager = PNHTTPSessionManager::manager();
    auto parts = formDataArray;
    auto body = [parts](PNMultipartFormData& formData) {
        if (!parts)
            return;
        for (const id& element : *parts)
            if (auto part = dv::as<ZHFormData>(element))
                formData.appendPartWithFileData(part->data(), part->name(), part->filename(), part->mimeType());
    };
    auto failed = onFailure(manager, failure, FailureNotice::None);
    manager->POST(url, params, body, PNHTTPSessionManager::ProgressBlock {},
        onSuccess(manager, std::move(success), std::move(failure), FailureNotice::None), std::move(failed));
}

void ZHHttpTool::getWithURL(const Ref<NSString>& url, const Ref<NSDictionary>& params, SuccessBlock success, FailureBlock failure)
{
    auto manager = PNHTTPSessionManager::manager();
    manager->setResponseSerializer(
        PNJSONResponseSerializer::serializerWithReadingOptions(NSJSONReadingMutableContainers | NSJSONReadingMutableLeaves));
    auto failed = onFailure(manager, failure, FailureNotice::None);
    manager->GET(url, params, PNHTTPSessionManager::ProgressBlock {},
        onSuccess(manager, std::move(success), std::move(failure), FailureNotice::None), std::move(failed));
}
