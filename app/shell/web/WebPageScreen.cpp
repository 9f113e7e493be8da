#include "app/shell/web/WebPageScreen.h"

#include "app/shell/navigation/ScreenSupport.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSURLRequest.h"
#include "platform/system/UIScreen.h"

namespace dv::app {

DV_DEFINE_CLASS_WITH(WebPageScreen, b)
{
    b.property<Ref<UIWebView>>(
        "registrationStatementWebView", "T@\"UIWebView\",&,N,V_registrationStatementWebView",
        [](const WebPageScreen& object) { return object.registrationStatementWebView(); },
        [](WebPageScreen& object, Ref<UIWebView> value) { object.setRegistrationStatementWebView(value); });
}

Ref<WebPageScreen> WebPageScreen::init()
{
    UIViewController::init();
    return self<WebPageScreen>();
}

void WebPageScreen::viewDidLoad()
{
    UIViewController::viewDidLoad();
    const Look pageLook = look();
    if (pageLook.belowBars)
        layOutBelowBars(*this);
    setTitle(pageTitle());
    if (pageLook.greyBackground)
        view()->setBackgroundColor(pageBackgroundColor());
    createUI();
}

void WebPageScreen::createUI()
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    m_registrationStatementWebView
        = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 0, screen.size.width, screen.size.height - dv::app::kTopBarsHeight));
    m_registrationStatementWebView->setContentMode(look().contentMode);
    view()->addSubview(m_registrationStatementWebView);
    // A text that is no URL gives a request without one, which loads nothing.
    m_registrationStatementWebView->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(pageAddress())));
    m_registrationStatementWebView->setDelegate(self<WebPageScreen>());
}

} // namespace dv::app
