#include "platform/ui/UIWebView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/Clock.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/NSURLRequest.h"
#include "platform/ui/JSContext.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/internal/Keyboard.h"
#include "platform/ui/internal/WebViewHost.h"

#include <cmath>
#include <cstring>

DV_DEFINE_CLASS(UIWebView)

namespace {

// A touch that moves farther than this from where it went down drags the page; one held longer
// than kLongPress without moving is a long press and clicks nothing.
constexpr CGFloat kDragDistance = 10;
constexpr NSTimeInterval kLongPress = 0.5;
// How much of the page's text the description shows.
constexpr std::size_t kDescribedText = 80;

std::string str(const Ref<NSString>& text) { return text ? text->UTF8String() : ""; }

} // namespace

UIWebView::UIWebView() = default;

UIWebView::~UIWebView()
{
    if (m_context)
        m_context->detachPage();
}

Ref<UIWebView> UIWebView::init() { return initWithFrame(CGRectZero); }

Ref<UIWebView> UIWebView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    setBackgroundColor(UIColor::whiteColor());
    m_context = alloc<JSContext>()->init();
    m_context->setName("UIWebView"_ns);
    auto me = self<UIWebView>();
    m_host = std::make_shared<dv::internal::uikit::WebViewHost>(me, m_context);
    m_host->setSize(frame.size);
    m_context->attachPage(m_host);
    return me;
}

// Loading

void UIWebView::loadRequest(const Ref<NSURLRequest>& request)
{
    if (!request || !request->URL())
        return;
    m_host->loadRequest(request);
}

void UIWebView::loadHTMLStringBaseURL(const Ref<NSString>& html, const Ref<NSURL>& baseURL)
{
    const char* bytes = html ? html->UTF8String() : "";
    loadDataMIMETypeTextEncodingNameBaseURL(NSData::dataWithBytes(bytes, std::strlen(bytes)), "text/html"_ns, "utf-8"_ns, baseURL);
}

void UIWebView::loadDataMIMETypeTextEncodingNameBaseURL(const Ref<NSData>& data, const Ref<NSString>& MIMEType,
    const Ref<NSString>& textEncodingName, const Ref<NSURL>& baseURL)
{
    auto base = NSURLRequest::requestWithURL(baseURL ? baseURL : NSURL::URLWithString("about:blank"_ns));
    m_host->loadData(data, str(MIMEType), str(textEncodingName), base);
}

void UIWebView::reload() { m_host->reload(); }

void UIWebView::stopLoading() { m_host->stopLoading(); }

bool UIWebView::isLoading() const { return m_host->isLoading(); }

Ref<NSURLRequest> UIWebView::request() const { return m_host->request(); }

bool UIWebView::canGoBack() const { return m_host->canGoBack(); }

bool UIWebView::canGoForward() const { return m_host->canGoForward(); }

// Scripts

Ref<JSContext> UIWebView::javaScriptContext() { return m_context; }

Ref<NSString> UIWebView::stringByEvaluatingJavaScriptFromString(const Ref<NSString>& script)
{
    auto value = m_context->evaluateScript(script);
    if (!value || value->isUndefined() || value->isNull())
        return ""_ns;
    return value->toString();
}

id UIWebView::valueForKey(const Ref<NSString>& key) const
{
    if (key && (key->isEqualToString("documentView") || key->isEqualToString("webView") || key->isEqualToString("mainFrame")))
        return std::const_pointer_cast<UIWebView>(self<UIWebView>());
    if (key && key->isEqualToString("javaScriptContext"))
        return m_context;
    return UIView::valueForKey(key);
}

Ref<NSString> UIWebView::pageTitle() const { return NSString::fromUTF8(m_host->title()); }

Ref<NSString> UIWebView::pageText() const { return NSString::fromUTF8(m_host->text()); }

// Drawing

// The page's latest rendering is the view's contents, taken in the layout pass once per turn in
// which the page changed (its pixels are not copied again for the display); nil (after the page's
// process ended) leaves the view blank.
void UIWebView::layoutSubviews()
{
    UIView::layoutSubviews();
    m_host->setSize(bounds().size);
    setContentsImage(m_host->rendering());
}

// Touches

void UIWebView::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    auto touch = touches ? dv::as<UITouch>(touches->anyObject()) : nil;
    if (!touch || m_touching)
        return; // one finger acts on the page at a time
    m_touching = true;
    m_touchStart = m_touchLast = touch->locationInView(self<UIView>());
    m_touchTime = touch->timestamp();
    m_dragging = false;
}

void UIWebView::touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    auto touch = touches ? dv::as<UITouch>(touches->anyObject()) : nil;
    if (!touch || !m_touching)
        return;
    const CGPoint point = touch->locationInView(self<UIView>());
    if (!m_dragging && std::hypot(point.x - m_touchStart.x, point.y - m_touchStart.y) < kDragDistance)
        return;
    m_dragging = true;
    m_host->drag(point, CGSizeMake(point.x - m_touchLast.x, point.y - m_touchLast.y));
    m_touchLast = point;
}

void UIWebView::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    auto touch = touches ? dv::as<UITouch>(touches->anyObject()) : nil;
    if (!touch || !std::exchange(m_touching, false))
        return;
    if (m_dragging || touch->timestamp() - m_touchTime > kLongPress)
        return;
    m_host->tap(m_touchStart, dv::Clock::current().now());
}

void UIWebView::touchesCancelled(const Ref<NSSet>&, const Ref<UIEvent>&) { m_touching = false; }

// Typing

bool UIWebView::canBecomeFirstResponder() const { return m_host->isEditing(); }

bool UIWebView::showsKeyboard() const { return m_host->isEditing(); }

bool UIWebView::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder() || !window() || !UIView::becomeFirstResponder())
        return false;
    dv::internal::uikit::Keyboard::shared().show(self<UIWebView>());
    return true;
}

bool UIWebView::resignFirstResponder()
{
    if (!isFirstResponder())
        return UIView::resignFirstResponder();
    if (!UIView::resignFirstResponder())
        return false;
    // The application took the focus: the page's field lets it go too.
    if (m_host->isEditing())
        m_host->endEditing();
    dv::internal::uikit::Keyboard::shared().hide(self<UIWebView>());
    return true;
}

void UIWebView::handlePageFocus(bool editing)
{
    if (editing)
        becomeFirstResponder();
    else if (isFirstResponder())
        resignFirstResponder();
}

void UIWebView::insertText(const Ref<NSString>& text)
{
    const std::string typed = str(text);
    std::size_t start = 0;
    for (std::size_t end = typed.find('\n'); ; end = typed.find('\n', start)) {
        const auto piece = typed.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!piece.empty())
            m_host->insertText(piece);
        if (end == std::string::npos)
            break;
        m_host->pressReturn(dv::Clock::current().now());
        start = end + 1;
    }
}

void UIWebView::deleteBackward() { m_host->deleteBackward(dv::Clock::current().now()); }

void UIWebView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (!m_host->title().empty())
        fields.emplace_back("title", m_host->title());
    if (!m_host->text().empty()) {
        std::string text = m_host->text();
        if (text.size() > kDescribedText) {
            std::size_t cut = kDescribedText;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text = text.substr(0, cut) + "…";
        }
        fields.emplace_back("text", text);
    }
    UIView::appendDescriptionFields(fields);
    if (isLoading())
        fields.emplace_back("loading", "");
}
