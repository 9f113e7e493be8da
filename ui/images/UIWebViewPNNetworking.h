// UIWebView(PNNetworking): a web view's page fetched through an HTTP session manager (the view's
// own, else one shared by every web view) instead of by the view itself, handed to the view as
// bytes with a MIME type and text encoding. The view has one current task: a new load cancels a
// running one, and completions of a task that is no longer current change nothing. The task is
// kept on the view (UIWebView(_PNNetworking)). Main thread only.
//
//   loadRequest(web, NSURLRequest::requestWithURL(url), nullptr,
//       [](auto& response, auto& html) { return html; }, [](auto& error) { ... });
#pragma once

#include "platform/base/NSObject.h"

#include <functional>

class NSData;
class NSError;
class NSHTTPURLResponse;
class NSProgress;
class NSURLRequest;
class NSURLSessionDataTask;
class PNHTTPResponseSerializer;
class PNHTTPSessionManager;
class UIWebView;

// The response and the page as text; answers the text to show.
using PNWebViewTextSuccessBlock = std::function<Ref<NSString>(const Ref<NSHTTPURLResponse>& response, const Ref<NSString>& HTML)>;
// The response and the body; answers the bytes to show.
using PNWebViewDataSuccessBlock = std::function<Ref<NSData>(const Ref<NSHTTPURLResponse>& response, const Ref<NSData>& data)>;
using PNWebViewFailureBlock = std::function<void(const Ref<NSError>& error)>;

// The view's own session manager, else the shared one: the default configuration, a form request
// serializer and a response serializer that takes any content type and answers the raw body.
Ref<PNHTTPSessionManager> sessionManager(const Ref<UIWebView>& webView);
void setSessionManager(const Ref<UIWebView>& webView, const Ref<PNHTTPSessionManager>& manager);
// The view's own response serializer, else a shared one. Kept only: loads use the session
// manager's serializer.
Ref<PNHTTPResponseSerializer> responseSerializer(const Ref<UIWebView>& webView);
void setResponseSerializer(const Ref<UIWebView>& webView, const Ref<PNHTTPResponseSerializer>& serializer);

// The page decoded as text in the response's encoding (UTF-8 unless it names one the platform
// knows), passed through the block when there is one, and shown encoded again the same way.
void loadRequest(const Ref<UIWebView>& webView, const Ref<NSURLRequest>& request, Ref<NSProgress>* progress,
    PNWebViewTextSuccessBlock success, PNWebViewFailureBlock failure);
// Cancels the current task when it runs or waits, GETs the request's URL (nothing else of the
// request is used) and, when asked, stores the download's progress object in `progress`. The
// delegate hears webViewDidStartLoad at once. On success the bytes (or what the block answers;
// nil shows nothing new) are shown with the MIME type and encoding given and the task's URL as
// base, then the delegate hears webViewDidFinishLoad. On failure only the failure block hears of
// it and the page stays as it was.
void loadRequest(const Ref<UIWebView>& webView, const Ref<NSURLRequest>& request, const Ref<NSString>& MIMEType,
    const Ref<NSString>& textEncodingName, Ref<NSProgress>* progress, PNWebViewDataSuccessBlock success, PNWebViewFailureBlock failure);

// UIWebView(_PNNetworking): the view's current task.
Ref<NSURLSessionDataTask> pn_URLSessionTask(const Ref<UIWebView>& webView);
void pn_setURLSessionTask(const Ref<UIWebView>& webView, const Ref<NSURLSessionDataTask>& task);
