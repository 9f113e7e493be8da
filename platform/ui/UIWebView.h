// UIWebView: shows a web page through a real browser engine (WebKitGTK; the engine, its display
// and its processes are set up the first time a view needs a page). The page is laid out at the
// view's size in points and drawn at the screen's scale, and shown at the view's place in the tree
// like any view's contents (clipped, composited, under overlays), redrawn whenever the page
// changes. Touches reach the page: a tap clicks (links, buttons, fields), a drag scrolls it, a long
// press does nothing; while a text field of the page has the focus the view is first responder and
// typing (insertText, deleteBackward, a line feed for the return key) goes into that field.
//
// Delegate (weak; each method asked only when implemented): webViewShouldStartLoadWithRequest
// before every navigation of the page and of its frames, with its type (a tapped link, a form, the
// history, a reload, anything else); NO stops it. Then webViewDidStartLoad, and
// webViewDidFinishLoad once the page has loaded and been drawn, or webViewDidFailLoadWithError with
// the platform's URL error (-1001 when nothing came for the request's time-out, -1103 for a page
// past 8 MB) or, for what the engine refuses to show (a download, an unknown type),
// "WebKitErrorDomain" 102. A new load, a reload or stopLoading ends a running one with didFail
// (NSURLErrorCancelled). A request without URL loads nothing. A failed page leaves the view as it
// was; a page whose process ended (a crash, or a process that stopped answering for 10 s) leaves
// it blank. What a page would open a window for (its dialogs, menus, new windows) is answered
// without one: alerts are passed over, confirmations refused, links for a new window open here.
//
// The script context (javaScriptContext(), or the platform's key path
// "documentView.webView.mainFrame.javaScriptContext") is the page's and lives as long as the view:
// see JSContext.h. Main thread only.
//
//   auto web = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 0, W, H - 64));
//   web->setDelegate(self<Screen>());
//   web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(address)));
#pragma once

#include "platform/ui/UIView.h"

#include <optional>

class JSContext;
class NSData;
class NSError;
class NSURL;
class NSURLRequest;
class UIWebView;

namespace dv::internal::uikit {
class WebViewHost;
}

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
    bool isLoading() const;
    // The request of the page shown or loading.
    Ref<NSURLRequest> request() const;
    bool canGoBack() const;
    bool canGoForward() const;

    Ref<UIWebViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UIWebViewDelegate>& delegate) { m_delegate = delegate; }

    // The page's script context (made with the view).
    Ref<JSContext> javaScriptContext();
    // Runs a script in the page; the result as text, "" when it threw or gave undefined or null.
    Ref<NSString> stringByEvaluatingJavaScriptFromString(const Ref<NSString>& script);

    // What the page shows: its title and the text a person reads (document.title and the body's
    // inner text, read without waiting after each load and paint; "" before a page has loaded).
    Ref<NSString> pageTitle() const;
    Ref<NSString> pageText() const;

    // Typing into the page's focused field: text, and "\n" for the return key.
    void insertText(const Ref<NSString>& text);
    void deleteBackward();

    // "documentView", "webView" and "mainFrame" lead to the view itself, "javaScriptContext" to
    // the context, as the platform's key path does.
    id valueForKey(const Ref<NSString>& key) const override;

    void layoutSubviews() override;
    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    bool showsKeyboard() const override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    friend class dv::internal::uikit::WebViewHost;
    // A text field of the page took (or lost) the focus.
    void handlePageFocus(bool editing);

    Weak<UIWebViewDelegate> m_delegate;
    Ref<JSContext> m_context;
    std::shared_ptr<dv::internal::uikit::WebViewHost> m_host;
    // The touch being followed: where it went down, when, where it was last, whether it dragged.
    bool m_touching = false;
    CGPoint m_touchStart {};
    CGPoint m_touchLast {};
    NSTimeInterval m_touchTime = 0;
    bool m_dragging = false;
};
