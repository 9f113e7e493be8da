#include "ui/images/UIWebViewPNNetworking.h"

#include "foundation/http/PNHTTPRequestSerializer.h"
#include "foundation/http/PNHTTPResponseSerializer.h"
#include "foundation/http/PNHTTPSessionManager.h"
#include "platform/base/Associations.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSData.h"
#include "platform/base/NSURL.h"
#include "platform/base/StringEncodings.h"
#include "platform/dispatch/NSProgress.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionConfiguration.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIWebView.h"

namespace {

const char kTaskKey = 0;
const char kSessionManagerKey = 0;
const char kResponseSerializerKey = 0;

// The shared defaults live for the process and are never destroyed: at exit the manager's session
// would otherwise be ended after the threads it reports on are gone.
Ref<PNHTTPSessionManager> sharedSessionManager()
{
    static const auto* manager = new Ref<PNHTTPSessionManager>(dv::keepingForever([] {
        auto made = dv::as<PNHTTPSessionManager>(
            alloc<PNHTTPSessionManager>()->initWithSessionConfiguration(NSURLSessionConfiguration::defaultSessionConfiguration()));
        made->setRequestSerializer(PNHTTPRequestSerializer::serializer());
        made->setResponseSerializer(PNHTTPResponseSerializer::serializer());
        return made;
    }));
    return *manager;
}

Ref<PNHTTPResponseSerializer> sharedResponseSerializer()
{
    static const auto* serializer = new Ref<PNHTTPResponseSerializer>(dv::keepingForever([] { return PNHTTPResponseSerializer::serializer(); }));
    return *serializer;
}

bool isCurrentTask(const Ref<UIWebView>& webView, const Ref<NSURLSessionDataTask>& task) { return pn_URLSessionTask(webView) == task; }

} // namespace

Ref<PNHTTPSessionManager> sessionManager(const Ref<UIWebView>& webView)
{
    if (auto own = dv::as<PNHTTPSessionManager>(objc_getAssociatedObject(webView, &kSessionManagerKey)))
        return own;
    return sharedSessionManager();
}

void setSessionManager(const Ref<UIWebView>& webView, const Ref<PNHTTPSessionManager>& manager)
{
    objc_setAssociatedObject(webView, &kSessionManagerKey, manager, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<PNHTTPResponseSerializer> responseSerializer(const Ref<UIWebView>& webView)
{
    if (auto own = dv::as<PNHTTPResponseSerializer>(objc_getAssociatedObject(webView, &kResponseSerializerKey)))
        return own;
    return sharedResponseSerializer();
}

void setResponseSerializer(const Ref<UIWebView>& webView, const Ref<PNHTTPResponseSerializer>& serializer)
{
    objc_setAssociatedObject(webView, &kResponseSerializerKey, serializer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<NSURLSessionDataTask> pn_URLSessionTask(const Ref<UIWebView>& webView)
{
    return dv::as<NSURLSessionDataTask>(objc_getAssociatedObject(webView, &kTaskKey));
}

void pn_setURLSessionTask(const Ref<UIWebView>& webView, const Ref<NSURLSessionDataTask>& task)
{
    objc_setAssociatedObject(webView, &kTaskKey, task, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void loadRequest(const Ref<UIWebView>& webView, const Ref<NSURLRequest>& request, Ref<NSProgress>* progress,
    PNWebViewTextSuccessBlock success, PNWebViewFailureBlock failure)
{
    auto asText = [success = std::move(success)](const Ref<NSHTTPURLResponse>& response, const Ref<NSData>& data) -> Ref<NSData> {
        NSStringEncoding encoding = NSUTF8StringEncoding;
        if (response && response->textEncodingName()) {
            const auto named = CFStringConvertIANACharSetNameToEncoding(response->textEncodingName());
            if (named != kCFStringEncodingInvalidId)
                encoding = CFStringConvertEncodingToNSStringEncoding(named);
        }
        auto text = data ? alloc<NSString>()->initWithData(data, encoding) : nil;
        if (success)
            text = success(response, text);
        return text ? text->dataUsingEncoding(encoding) : nil;
    };
    loadRequest(webView, request, nil, nil, progress, std::move(asText), std::move(failure));
}

void loadRequest(const Ref<UIWebView>& webView, const Ref<NSURLRequest>& request, const Ref<NSString>& MIMEType,
    const Ref<NSString>& textEncodingName, Ref<NSProgress>* progress, PNWebViewDataSuccessBlock success, PNWebViewFailureBlock failure)
{
    if (!webView)
        return;
    if (auto current = pn_URLSessionTask(webView)) {
        const auto state = current->state();
        if (state == NSURLSessionTaskStateRunning || state == NSURLSessionTaskStateSuspended)
            current->cancel();
    }
    pn_setURLSessionTask(webView, nil);

    auto manager = sessionManager(webView);
    Weak<UIWebView> weak = webView;
    auto url = request ? request->URL() : nil;
    auto task = manager->GET(url ? url->absoluteString() : nil, nil, nullptr,
        [weak, MIMEType, textEncodingName, success = std::move(success)](const Ref<NSURLSessionDataTask>& task, const id& responseObject) {
            auto view = weak.lock();
            if (!view || !isCurrentTask(view, task))
                return;
            auto response = dv::as<NSHTTPURLResponse>(task->response());
            auto data = dv::as<NSData>(responseObject);
            if (success)
                data = success(response, data);
            if (data) {
                auto current = task->currentRequest();
                view->loadDataMIMETypeTextEncodingNameBaseURL(data, MIMEType, textEncodingName, current ? current->URL() : nil);
            }
            if (auto delegate = view->delegate())
                delegate->webViewDidFinishLoad(view);
        },
        [weak, failure = std::move(failure)](const Ref<NSURLSessionDataTask>& task, const Ref<NSError>& error) {
            auto view = weak.lock();
            if (!view || !isCurrentTask(view, task))
                return;
            if (failure)
                failure(error);
        });
    pn_setURLSessionTask(webView, task);
    if (progress && task)
        *progress = manager->downloadProgressForTask(task);
    if (task)
        task->resume();
    if (auto delegate = webView->delegate())
        delegate->webViewDidStartLoad(webView);
}
