#include "app/shell/bridge/LYAppSpeakController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSURLRequest.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/JSContext.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"

DV_DEFINE_CLASS_WITH(LYAppSpeakController, b)
{
    b.property<Ref<NSString>>(
        "urlStr", "T@\"NSString\",C,N,V_urlStr", [](const LYAppSpeakController& object) { return object.urlStr(); },
        [](LYAppSpeakController& object, Ref<NSString> value) { object.setUrlStr(value); });
    b.property<Ref<NSString>>(
        "titleName", "T@\"NSString\",C,N,V_titleName",
        [](const LYAppSpeakController& object) { return object.titleName(); },
        [](LYAppSpeakController& object, Ref<NSString> value) { object.setTitleName(value); });
    b.method("clickOnAndroid:", "v24@0:8@16", [](LYAppSpeakController& page, std::span<const id> args) {
        page.clickOnAndroid(args.empty() ? nil : args[0]);
        return nil;
    });
    b.method("clickZiXunAction", "v16@0:8", [](LYAppSpeakController& page, std::span<const id>) {
        page.clickZiXunAction();
        return nil;
    });
}

Ref<LYAppSpeakController> LYAppSpeakController::init()
{
    DDYPPartentsController::init();
    return self<LYAppSpeakController>();
}

void LYAppSpeakController::setUrlStr(const Ref<NSString>& urlStr)
{
    m_urlStr = dv::copyAs<NSString>(urlStr);
}
void LYAppSpeakController::setTitleName(const Ref<NSString>& titleName)
{
    m_titleName = dv::copyAs<NSString>(titleName);
}

void LYAppSpeakController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    myTitle()->setText(m_titleName);

    const CGRect screen = UIScreen::mainScreen()->bounds();
    m_bunessWeb
        = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 0, screen.size.width, view()->frame().size.height - 15));
    m_bunessWeb->setContentMode(UIViewContentModeScaleAspectFit);
    m_bunessWeb->setDelegate(self<LYAppSpeakController>());
    view()->addSubview(m_bunessWeb);

    m_activity = alloc<UIActivityIndicatorView>()->initWithFrame(
        CGRectMake(screen.size.width * 0.5, screen.size.height * 0.5, 10, 10));
    m_activity->setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleGray);
    m_bunessWeb->addSubview(m_activity);

    NSLog("%@", m_urlStr);
    // A text that is no URL gives a request without one, which loads nothing.
    m_bunessWeb->loadRequest(NSURLRequest::requestWithURL(m_urlStr ? NSURL::URLWithString(m_urlStr) : nil));
    publishBridge();
}

void LYAppSpeakController::viewWillAppear(bool animated)
{
    DDYPPartentsController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false);
    if (m_bunessWeb)
        m_bunessWeb->reload();
}

bool LYAppSpeakController::webViewDidStartLoad(const Ref<UIWebView>&)
{
    m_activity->startAnimating();
    return true;
}

bool LYAppSpeakController::webViewDidFinishLoad(const Ref<UIWebView>&)
{
    m_activity->stopAnimating();
    publishBridge();
    return true;
}

void LYAppSpeakController::publishBridge()
{
    m_jsContext
        = dv::as<JSContext>(m_bunessWeb->valueForKeyPath("documentView.webView.mainFrame.javaScriptContext"_ns));
    if (!m_jsContext)
        return;
    // Scripts see the screen through a weak reference (see JSValue.h): publishing it makes no cycle.
    m_jsContext->setObjectForKeyedSubscript(self(), "LYAppSpeakController"_ns);
    m_jsContext->setExceptionHandler([](const Ref<JSContext>& context, const Ref<JSValue>& exception) {
        context->setException(exception);
        NSLog("异常信息：%@", exception);
    });
}

void LYAppSpeakController::clickOnAndroid(const id& value)
{
    NSLog("clickOnAndroid:%@", value);
}

void LYAppSpeakController::clickZiXunAction()
{
    NSLog("clickZiXunAction");
}
