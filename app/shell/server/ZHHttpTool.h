// ZHHttpTool: every call to the application server goes through its class methods, which post a
// form (or a multipart form with files, or send a GET) to a full URL and hand the parsed JSON
// reply, or the error, to the caller's blocks on the main thread. The calling screen shows and
// hides its own loading overlay.
//
// Each call makes its own HTTP session manager (form request serialiser, JSON response
// serialiser), keeps it until its task has ended, then lets its session go (without cancelling
// anything) so that no session or transport thread outlives the call. There is no cancellation
// and no retry; a screen that has gone away still gets its blocks, which keep it alive until then.
//
// What reaches the blocks:
//   success  the reply, always a JSON object (NSDictionary); read it with ServerReply. A reply of
//            any other shape (an array, a bare value) is a failure, with an NSURLErrorDomain
//            error NSURLErrorCannotParseResponse.
//   failure  the error: transport errors with their URL error codes, bad HTTP status (-1011),
//            unacceptable content type (-1016), unparsable JSON, non-object replies.
// After a failed form POST (when the caller gave a failure block) every overlay on the
// application window is hidden and, for a time-out, no connection or an unreachable server, one
// error toast says so:
//   -1001 "当前网络不稳定 请稍后重试"   -1009 "您似乎已经断开与互联网的连接"   -1004 "网络连接失败 获取数据异常"
// Multipart and GET failures reach only the caller's failure block.
//
//   PHProgressHUD::showMessag("正在加载"_ns, window);
//   auto request = dv::app::homeIndexRequest();
//   ZHHttpTool::postWithURL(request.URL, request.fields, [=](const id& json) {
//       PHProgressHUD::hideHUDForView(window, true);
//       auto reply = ServerReply::fromObject(json);
//       ...
//   }, [](const Ref<NSError>& error) { NSLog("error=====%@", error); });
//
// Call from the main thread; either block may be empty.
#pragma once

#include "platform/base/NSObject.h"

#include <functional>

class ZHHttpTool : public NSObject {
    DV_CLASS(ZHHttpTool, NSObject)

    using SuccessBlock = std::function<void(const id& json)>;
    using FailureBlock = std::function<void(const Ref<NSError>& error)>;

    // Form POST: the fields (nil for none) form-encoded in the body; time-out 10 seconds (see
    // dv::app::serverRequestTimeout).
    static void postWithURL(const Ref<NSString>& url, const Ref<NSDictionary>& params, SuccessBlock success, FailureBlock failure);
    // Multipart POST: one text part per field, then one file part per ZHFormData of the array,
    // in order (other elements are skipped); the platform's default time-out.
    static void postWithURL(const Ref<NSString>& url, const Ref<NSDictionary>& params, const Ref<NSArray>& formDataArray,
        SuccessBlock success, FailureBlock failure);
    // GET with the fields in the query string; the reply's containers and texts are mutable.
    static void getWithURL(const Ref<NSString>& url, const Ref<NSDictionary>& params, SuccessBlock success, FailureBlock failure);

private:
    ZHHttpTool() = default;
};
