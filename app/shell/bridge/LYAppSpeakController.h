// LYAppSpeakController: a web page, from a full address, with a small busy indicator, that
// publishes itself to the page's scripts as the global "LYAppSpeakController", so a page can call
// clickOnAndroid(value) and clickZiXunAction(); the application answers each call with a line in
// the log and nothing more. The creator sets `urlStr` and `titleName` and pushes it; no screen of
// the application opens it.
//
// The global is published when the view loads and again after every finished load, so a page that
// replaced it, or a new script context, still reaches the screen. The page's scripts refer to the
// screen weakly: the screen owns its web view and the web view its script context, and the
// context does not keep the screen. A script exception is logged as "异常信息：%@" and the page
// goes on. Each appearance of the screen reloads the page. Main thread only.
//
//   auto page = alloc<LYAppSpeakController>()->init();
//   page->setUrlStr(address); page->setTitleName("咨询"_ns);
//   navigationController->pushViewController(page, true);
#pragma once

#include "app/shell/bridge/JSObjcDelegate.h"
#include "app/shell/navigation/DDYPPartentsController.h"
#include "platform/ui/UIWebView.h"

class JSContext;
class UIActivityIndicatorView;

class LYAppSpeakController : public DDYPPartentsController, public UIWebViewDelegate, public JSObjcDelegate {
    DV_CLASS(LYAppSpeakController, DDYPPartentsController)

    LYAppSpeakController() = default;
    Ref<LYAppSpeakController> init();

    Ref<UIWebView> bunessWeb() const { return m_bunessWeb; }
    Ref<NSString> urlStr() const { return m_urlStr; }
    void setUrlStr(const Ref<NSString>& urlStr);
    Ref<NSString> titleName() const { return m_titleName; }
    void setTitleName(const Ref<NSString>& titleName);
    Ref<UIActivityIndicatorView> activity() const { return m_activity; }
    void setActivity(const Ref<UIActivityIndicatorView>& activity) { m_activity = activity; }
    // The page's script context, as last taken from the web view.
    Ref<JSContext> jsContext() const { return m_jsContext; }
    void setJsContext(const Ref<JSContext>& context) { m_jsContext = context; }

    void viewDidLoad() override;
    // Shows the navigation bar and reloads the page.
    void viewWillAppear(bool animated) override;

    // The indicator turns from the start of a load until it has finished.
    bool webViewDidStartLoad(const Ref<UIWebView>& webView) override;
    bool webViewDidFinishLoad(const Ref<UIWebView>& webView) override;

    // For the page's scripts.
    void clickOnAndroid(const id& value) override;
    void clickZiXunAction() override;

private:
    // Takes the web view's script context and sets the global and the exception handler on it.
    void publishBridge();

    Ref<UIWebView> m_bunessWeb;
    Ref<NSString> m_urlStr;
    Ref<NSString> m_titleName;
    Ref<UIActivityIndicatorView> m_activity;
    Ref<JSContext> m_jsContext;
};
