#include "platform/ui/UIWebView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/StringEncodings.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLResponse.h"
#include "platform/net/NSURLSession.h"
#include "platform/ui/JSContext.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/internal/HtmlDocument.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

constexpr std::size_t kMaxPageBytes = 4 * 1024 * 1024;
constexpr CGFloat kMargin = 8;
// The text laid out and drawn is at most this many characters (a page of text is far less).
constexpr NSUInteger kMaxShownCharacters = 20000;

std::mutex s_recordsMutex;
std::vector<dv::WebLoadRecord> s_records;

Ref<UIFont> pageFont() { return UIFont::systemFontOfSize(16); }

// The bytes as UTF-8, with each invalid sequence replaced by U+FFFD and NUL bytes dropped.
std::string repairUTF8(const std::uint8_t* bytes, std::size_t length)
{
    std::string out;
    out.reserve(length);
    std::size_t i = 0;
    while (i < length) {
        const std::uint8_t c = bytes[i];
        if (c == 0) {
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        bool valid = extra > 0 && i + static_cast<std::size_t>(extra) < length;
        for (int k = 1; valid && k <= extra; ++k)
            valid = (bytes[i + k] & 0xC0) == 0x80;
        if (valid && extra == 2 && ((c == 0xE0 && bytes[i + 1] < 0xA0) || (c == 0xED && bytes[i + 1] >= 0xA0)))
            valid = false;
        if (valid && extra == 3 && ((c == 0xF0 && bytes[i + 1] < 0x90) || (c == 0xF4 && bytes[i + 1] >= 0x90)))
            valid = false;
        if (!valid) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(reinterpret_cast<const char*>(bytes + i), static_cast<std::size_t>(extra) + 1);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

// The body as UTF-8 text, decoded by the charset the response or the page names.
std::string decode(const Ref<NSData>& data, const Ref<NSString>& encodingName)
{
    if (!data || data->length() == 0)
        return {};
    std::string charset = encodingName ? encodingName->UTF8String() : "";
    if (charset.empty())
        charset = dv::internal::HtmlDocument::sniffCharset(std::string_view(reinterpret_cast<const char*>(data->bytes()), data->length()));
    std::transform(charset.begin(), charset.end(), charset.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!charset.empty() && charset != "utf-8" && charset != "utf8") {
        const auto encoding = CFStringConvertEncodingToNSStringEncoding(
            CFStringConvertIANACharSetNameToEncoding(NSString::stringWithUTF8String(charset.c_str())));
        if (encoding != 0 && encoding != NSUTF8StringEncoding)
            if (auto text = alloc<NSString>()->initWithBytes(data->bytes(), data->length(), encoding))
                return text->UTF8String();
    }
    return repairUTF8(data->bytes(), data->length());
}

bool isTextType(const std::string& mime)
{
    return mime.empty() || mime.starts_with("text/") || mime == "application/xhtml+xml" || mime == "application/xml"
        || mime == "application/javascript" || mime == "application/json";
}

} // namespace

// The page's text, drawn inside the web view's scroll view.
class UIWebDocumentView : public UIView {
    DV_CLASS(UIWebDocumentView, UIView)

    UIWebDocumentView() = default;
    Ref<NSString> text;

    void drawRect(CGRect) override
    {
        if (!text || text->length() == 0)
            return;
        dv::drawText(text, CGRectInset(bounds(), kMargin, kMargin), pageFont(), UIColor::blackColor(), { .wrap = true });
    }

protected:
    bool isUserInteractionEnabledByDefault() const override { return true; }
};

DV_DEFINE_CLASS(UIWebDocumentView)
DV_DEFINE_CLASS(UIWebView)

namespace dv {

std::vector<WebLoadRecord> webLoadRecords()
{
    std::lock_guard lock(s_recordsMutex);
    return s_records;
}

void clearWebLoadRecords()
{
    std::lock_guard lock(s_recordsMutex);
    s_records.clear();
}

} // namespace dv

// Fetches the pages of one web view through its own URL session, on the main queue; keeps at
// most kMaxPageBytes of a body.
class UIWebViewLoader : public NSObject, public NSURLSessionDataDelegate {
    DV_CLASS(UIWebViewLoader, NSObject)

    UIWebViewLoader() = default;

    void start(const Ref<UIWebView>& view, const Ref<NSURLRequest>& request)
    {
        m_view = view;
        if (!m_session)
            m_session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::defaultSessionConfiguration(), self(),
                NSOperationQueue::mainQueue());
        cancel();
        m_body.clear();
        m_cut = false;
        m_response = nil;
        m_task = m_session->dataTaskWithRequest(request);
        m_task->resume();
    }

    // Ends the running fetch without a word to the view.
    void cancel()
    {
        if (auto task = std::exchange(m_task, nil))
            task->cancel();
    }

    void invalidate()
    {
        cancel();
        if (auto session = std::exchange(m_session, nil))
            session->invalidateAndCancel();
    }

    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>& task, const Ref<NSURLResponse>& response,
        std::function<void(NSURLSessionResponseDisposition)> completion) override
    {
        if (task == m_task)
            m_response = response;
        completion(NSURLSessionResponseAllow);
        return true;
    }

    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>& task, const Ref<NSData>& data) override
    {
        if (task != m_task || !data)
            return true;
        const std::size_t room = kMaxPageBytes - std::min(kMaxPageBytes, m_body.size());
        const std::size_t take = std::min<std::size_t>(room, data->length());
        m_body.insert(m_body.end(), data->bytes(), data->bytes() + take);
        if (take < data->length()) {
            // Too big: what came shows; the rest is not fetched.
            m_cut = true;
            auto finished = std::exchange(m_task, nil);
            finished->cancel();
            deliver(nil);
        }
        return true;
    }

    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>& task, const Ref<NSError>& error) override
    {
        if (task != m_task)
            return true;
        m_task = nil;
        deliver(error);
        return true;
    }
    using NSURLSessionDataDelegate::URLSession;

private:
    void deliver(const Ref<NSError>& error)
    {
        auto view = m_view.lock();
        if (!view)
            return;
        if (error) {
            view->handleFail(error, "failed");
            return;
        }
        auto data = NSData::dataWithBytes(m_body.data(), m_body.size());
        m_body.clear();
        view->handleShow(data, m_response ? m_response->MIMEType() : nil, m_response ? m_response->textEncodingName() : nil, m_cut);
    }

    Weak<UIWebView> m_view;
    Ref<NSURLSession> m_session;
    Ref<NSURLSessionDataTask> m_task;
    Ref<NSURLResponse> m_response;
    std::vector<std::uint8_t> m_body;
    bool m_cut = false;
};

DV_DEFINE_CLASS(UIWebViewLoader)

UIWebView::UIWebView() = default;

UIWebView::~UIWebView()
{
    if (m_loader)
        m_loader->invalidate();
}

Ref<UIWebView> UIWebView::init() { return initWithFrame(CGRectZero); }

Ref<UIWebView> UIWebView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    setBackgroundColor(UIColor::whiteColor());
    m_scrollView = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, frame.size.width, frame.size.height));
    m_scrollView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(m_scrollView);
    m_documentView = alloc<UIWebDocumentView>();
    m_documentView->initWithFrame(CGRectMake(0, 0, frame.size.width, frame.size.height));
    m_scrollView->addSubview(m_documentView);
    m_context = alloc<JSContext>()->init();
    m_context->setName("UIWebView"_ns);
    m_title = ""_ns;
    m_text = ""_ns;
    return self<UIWebView>();
}

Ref<UIScrollView> UIWebView::scrollView() const { return m_scrollView; }

Ref<JSContext> UIWebView::javaScriptContext() { return m_context; }

id UIWebView::valueForKey(const Ref<NSString>& key) const
{
    if (key && (key->isEqualToString("documentView") || key->isEqualToString("webView") || key->isEqualToString("mainFrame")))
        return std::const_pointer_cast<UIWebView>(self<UIWebView>());
    if (key && key->isEqualToString("javaScriptContext"))
        return m_context;
    return UIView::valueForKey(key);
}

void UIWebView::layoutSubviews()
{
    UIView::layoutSubviews();
    const CGFloat width = bounds().size.width;
    CGFloat height = bounds().size.height;
    auto shown = static_cast<UIWebDocumentView&>(*m_documentView).text;
    if (shown && shown->length())
        height = std::max(height, std::ceil(dv::measureText(shown, pageFont(), std::max<CGFloat>(1, width - 2 * kMargin), 0).height + 2 * kMargin));
    m_documentView->setFrame(CGRectMake(0, 0, width, height));
    m_scrollView->setContentSize(CGSizeMake(width, height));
}

// Loading

void UIWebView::loadRequest(const Ref<NSURLRequest>& request)
{
    if (!request || !request->URL())
        return;
    handleBegin(request, true);
}

void UIWebView::loadHTMLStringBaseURL(const Ref<NSString>& html, const Ref<NSURL>& baseURL)
{
    auto bytes = html ? html : ""_ns;
    loadDataMIMETypeTextEncodingNameBaseURL(NSData::dataWithBytes(bytes->UTF8String(), std::strlen(bytes->UTF8String())), "text/html"_ns,
        "utf-8"_ns, baseURL);
}

void UIWebView::loadDataMIMETypeTextEncodingNameBaseURL(const Ref<NSData>& data, const Ref<NSString>& MIMEType,
    const Ref<NSString>& textEncodingName, const Ref<NSURL>& baseURL)
{
    auto request = baseURL ? NSURLRequest::requestWithURL(baseURL) : NSURLRequest::requestWithURL(NSURL::URLWithString("about:blank"_ns));
    handleBegin(request, false);
    if (!m_loading)
        return;
    // The data shows on the next turn, as a fetched page would.
    Weak<UIWebView> weak = self<UIWebView>();
    const auto record = m_record;
    dispatch_async(dispatch_get_main_queue(), [weak, record, data, MIMEType, textEncodingName] {
        auto view = weak.lock();
        if (view && view->m_loading && view->m_record == record)
            view->handleShow(data ? data : NSData::data(), MIMEType, textEncodingName, false);
    });
}

void UIWebView::reload()
{
    if (m_request && m_request->URL() && !m_request->URL()->absoluteString()->isEqualToString("about:blank"))
        handleBegin(m_request, true);
}

void UIWebView::stopLoading()
{
    if (!m_loading)
        return;
    if (m_loader)
        m_loader->cancel();
    handleFail(NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorCancelled, nil), "stopped");
}

void UIWebView::handleBegin(const Ref<NSURLRequest>& request, bool fetch)
{
    auto me = self<UIWebView>();
    if (auto delegate = this->delegate();
        delegate && !delegate->webViewShouldStartLoadWithRequestNavigationType(me, request, UIWebViewNavigationTypeOther).value_or(true)) {
        std::lock_guard lock(s_recordsMutex);
        s_records.push_back({ request->URL() ? request->URL()->absoluteString()->UTF8String() : "", "refused", 0, "" });
        return;
    }
    if (m_loading)
        stopLoading();
    m_request = request;
    m_loading = true;
    {
        std::lock_guard lock(s_recordsMutex);
        s_records.push_back({ request->URL() ? request->URL()->absoluteString()->UTF8String() : "", "loading", 0, "" });
        m_record = s_records.size();
    }
    if (fetch) {
        if (!m_loader)
            m_loader = alloc<UIWebViewLoader>();
        m_loader->start(me, request);
    }
    if (auto delegate = this->delegate())
        delegate->webViewDidStartLoad(me);
}

void UIWebView::handleEndRunning(const char* outcome)
{
    m_loading = false;
    std::lock_guard lock(s_recordsMutex);
    if (m_record > 0 && m_record <= s_records.size()) {
        s_records[m_record - 1].outcome = outcome;
        s_records[m_record - 1].title = m_title->UTF8String();
    }
}

void UIWebView::handleShow(const Ref<NSData>& data, const Ref<NSString>& MIMEType, const Ref<NSString>& encoding, bool cut)
{
    std::string mime = MIMEType ? MIMEType->UTF8String() : "";
    std::transform(mime.begin(), mime.end(), mime.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!isTextType(mime)) {
        // Pictures, archives and other bytes are no page this view can show.
        auto info = NSDictionary::of({ { NSLocalizedDescriptionKey, "Frame load interrupted"_ns } });
        handleFail(NSError::errorWithDomain("WebKitErrorDomain"_ns, 102, info), "failed");
        return;
    }
    const std::string text = decode(data, encoding);
    std::vector<std::string> scripts;
    if (mime == "text/plain") {
        m_title = ""_ns;
        m_text = NSString::stringWithUTF8String(text.c_str());
    } else {
        auto document = dv::internal::HtmlDocument::parse(text);
        m_title = NSString::stringWithUTF8String(document.title.c_str());
        m_text = NSString::stringWithUTF8String(document.text.c_str());
        scripts = std::move(document.scripts);
        cut = cut || document.truncated;
    }
    if (cut)
        NSLog("UIWebView: page %@ cut to what it can show", m_request ? m_request->URL() : nil);
    m_scrollView->setContentOffset(CGPointZero);
    setNeedsLayout();
    m_documentView->setNeedsDisplay();
    auto shown = m_text;
    if (shown->length() > kMaxShownCharacters) {
        NSUInteger cutAt = kMaxShownCharacters;
        const unichar last = shown->characterAtIndex(cutAt - 1);
        if (last >= 0xD800 && last <= 0xDBFF)
            --cutAt; // not half a surrogate pair
        shown = shown->substringToIndex(cutAt);
    }
    static_cast<UIWebDocumentView&>(*m_documentView).text = shown;
    // The page's own scripts, in order; one that throws or runs too long does not stop the next.
    for (const auto& script : scripts) {
        m_context->evaluateScript(NSString::stringWithUTF8String(script.c_str()), m_request ? m_request->URL() : nil);
        if (!m_loading)
            return; // a script loaded something else
    }
    handleFinish();
}

void UIWebView::handleFinish()
{
    handleEndRunning("finished");
    if (auto delegate = this->delegate())
        delegate->webViewDidFinishLoad(self<UIWebView>());
}

void UIWebView::handleFail(const Ref<NSError>& error, const char* outcome)
{
    handleEndRunning(outcome);
    {
        std::lock_guard lock(s_recordsMutex);
        if (m_record > 0 && m_record <= s_records.size())
            s_records[m_record - 1].errorCode = static_cast<long>(error ? error->code() : 0);
    }
    if (auto delegate = this->delegate())
        delegate->webViewDidFailLoadWithError(self<UIWebView>(), error);
}

Ref<NSString> UIWebView::stringByEvaluatingJavaScriptFromString(const Ref<NSString>& script)
{
    auto value = m_context->evaluateScript(script);
    if (!value || value->isUndefined() || value->isNull())
        return ""_ns;
    return value->toString();
}

void UIWebView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (m_title->length())
        fields.emplace_back("title", m_title->UTF8String());
    if (m_text->length()) {
        std::string text = m_text->UTF8String();
        if (text.size() > 80) {
            std::size_t cut = 80;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text = text.substr(0, cut) + "…";
        }
        fields.emplace_back("text", text);
    }
    UIView::appendDescriptionFields(fields);
    if (m_loading)
        fields.emplace_back("loading", "");
}
