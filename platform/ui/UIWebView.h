// UIWebView: shows a web page. Pages are fetched through the platform's URL loading (so a
// server's answers and faults are real), read with an HTML parser for their title and the text a
// person would see, which the view draws (no layout engine: text only, scrolling when long), and
// their inline scripts run in the view's script context (no document object). Error pages a
// server sends show like any page; a page that cannot be fetched leaves the view as it was and
// reports the error. Limits keep bad pages harmless: bodies past 4 MB are cut (the part that came
// shows), markup nesting too deep is cut, binary content types fail, scripts run at most 2 s each.
//
// Delegate (weak; each method asked only when implemented): webViewShouldStartLoadWithRequest
// (NO: nothing happens), webViewDidStartLoad, then webViewDidFinishLoad or
// webViewDidFailLoadWithError. A request without URL loads nothing. A new load or stopLoading
// ends a running one with didFail (NSURLErrorCancelled).
//
// The script context lives as long as the view: globals the application sets stay visible to
// every page it loads. It is reached as the platform reaches it, through the key path
// "documentView.webView.mainFrame.javaScriptContext", or through javaScriptContext(). Main thread
// only.
//
//   auto web = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 0, W, H - 64));
//   web->setDelegate(self<Screen>());
//   web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(address)));
#pragma once

#include "platform/ui/UIView.h"

#include <optional>
#include <string>
#include <vector>

class JSContext;
class NSData;
class NSError;
class NSURL;
class NSURLRequest;
class UIScrollView;
class UIWebView;

class UIWebViewLoader;

enum UIWebViewNavigationType : NSInteger {
    UIWebViewNavigationTypeLinkClicked = 0,
    UIWebViewNavigationTypeFormSubmitted = 1,
    UIWebViewNavigationTypeBackForward = 2,
    UIWebViewNavigationTypeReload = 3,
    UIWebViewNavigationTypeFormResubmitted = 4,
    UIWebViewNavigationTypeOther = 5,
};

class UIWebViewDelegate {
public:
    virtual ~UIWebViewDelegate() = default;
    virtual std::optional<bool> webViewShouldStartLoadWithRequestNavigationType(const Ref<UIWebView>&, const Ref<NSURLRequest>& request,
        UIWebViewNavigationType type)
    {
        (void)request;
        (void)type;
        return std::nullopt;
    }
    virtual bool webViewDidStartLoad(const Ref<UIWebView>&) { return false; }
    virtual bool webViewDidFinishLoad(const Ref<UIWebView>&) { return false; }
    virtual bool webViewDidFailLoadWithError(const Ref<UIWebView>&, const Ref<NSError>& error)
    {
        (void)error;
        return false;
    }
};

namespace dv {
// What web views began, oldest first (the UI driver reads it).
struct WebLoadRecord {
    std::string url;
    std::string outcome; // "loading", "finished", "failed", "stopped", "refused"
    long errorCode = 0;
    std::string title;
};
std::vector<WebLoadRecord> webLoadRecords();
void clearWebLoadRecords();
} // namespace dv

class UIWebView : public UIView {
    DV_CLASS(UIWebView, UIView)

    UIWebView();
    ~UIWebView() override;
    Ref<UIWebView> init();
    Ref<UIWebView> initWithFrame(CGRect frame);

    void loadRequest(const Ref<NSURLRequest>& request);
    void loadHTMLStringBaseURL(const Ref<NSString>& html, const Ref<NSURL>& baseURL);
    void loadDataMIMETypeTextEncodingNameBaseURL(const Ref<NSData>& data, const Ref<NSString>& MIMEType,
        const Ref<NSString>& textEncodingName, const Ref<NSURL>& baseURL);
    // Loads the current request again (nothing when there is none).
    void reload();
    void stopLoading();
    bool isLoading() const { return m_loading; }
    // The request of the page shown or loading.
    Ref<NSURLRequest> request() const { return m_request; }
    bool canGoBack() const { return false; }
    bool canGoForward() const { return false; }

    Ref<UIWebViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UIWebViewDelegate>& delegate) { m_delegate = delegate; }
    bool scalesPageToFit() const { return m_scalesPageToFit; }
    void setScalesPageToFit(bool scales) { m_scalesPageToFit = scales; }
    Ref<UIScrollView> scrollView() const;

    // The page's script context (made with the view).
    Ref<JSContext> javaScriptContext();
    // Runs a script in the page; the result as text, "" when it threw or gave undefined.
    Ref<NSString> stringByEvaluatingJavaScriptFromString(const Ref<NSString>& script);

    // What the page shows: its title and visible text ("" before a page has loaded).
    Ref<NSString> pageTitle() const { return m_title; }
    Ref<NSString> pageText() const { return m_text; }

    // "documentView", "webView" and "mainFrame" lead to the view itself, "javaScriptContext" to
    // the context, as the platform's key path does.
    id valueForKey(const Ref<NSString>& key) const override;

    void layoutSubviews() override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    friend class UIWebViewLoader;
    void handleBegin(const Ref<NSURLRequest>& request, bool fetch);
    void handleShow(const Ref<NSData>& data, const Ref<NSString>& MIMEType, const Ref<NSString>& encoding, bool cut);
    void handleFinish();
    void handleFail(const Ref<NSError>& error, const char* outcome);
    void handleEndRunning(const char* outcome);

    Weak<UIWebViewDelegate> m_delegate;
    Ref<NSURLRequest> m_request;
    Ref<JSContext> m_context;
    Ref<UIScrollView> m_scrollView;
    Ref<UIView> m_documentView;
    Ref<UIWebViewLoader> m_loader;
    Ref<NSString> m_title;
    Ref<NSString> m_text;
    std::size_t m_record = 0; // index of the running load's record + 1
    bool m_loading = false;
    bool m_scalesPageToFit = false;
};
