// WebPageScreen: the common part of the screens that show one page of the application server (or
// one link) in a web view filling the space below the navigation bar: the help pages, the
// category and advertisement pages and the agent's authorisation letter. A member says what its
// title and address are and how it looks; this class builds the web view once the view has
// loaded, loads the address and becomes the web view's delegate, answering none of its messages:
// every navigation inside the page is allowed, and a page that cannot be loaded leaves the view
// blank, without a message. An address that does not form a URL loads nothing.
//
// The screen owns its web view; the web view refers to it weakly as its delegate. Main thread only.
//
//   class VQNewVideoVC : public dv::app::WebPageScreen { ... pageTitle() / pageAddress() ... };
//   navigationController()->pushViewController(alloc<VQNewVideoVC>()->init(), true);
#pragma once

#include "platform/ui/UIView.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/UIWebView.h"

namespace dv::app {

class WebPageScreen : public UIViewController, public UIWebViewDelegate {
    DV_CLASS(WebPageScreen, UIViewController)

    WebPageScreen() = default;
    Ref<WebPageScreen> init();

    Ref<UIWebView> registrationStatementWebView() const { return m_registrationStatementWebView; }
    void setRegistrationStatementWebView(const Ref<UIWebView>& webView) { m_registrationStatementWebView = webView; }

    // The member's look (below the bars, grey background), its title, then createUI.
    void viewDidLoad() override;
    // The web view at (0, 0, screen width, screen height − 64), added to the view, loading the
    // member's address with a plain request; then this screen becomes its delegate.
    void createUI();

protected:
    struct Look {
        bool belowBars = false; // the layout step of dv::app::layOutBelowBars
        bool greyBackground = false; // the information pages' grey behind the page
        UIViewContentMode contentMode = UIViewContentModeScaleToFill;
    };
    virtual Look look() const { return {}; }
    // Read when the view loads.
    virtual Ref<NSString> pageTitle() const = 0;
    // Read when the web view is built.
    virtual Ref<NSString> pageAddress() const = 0;

private:
    Ref<UIWebView> m_registrationStatementWebView;
};

} // namespace dv::app
