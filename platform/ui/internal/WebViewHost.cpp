#include "platform/ui/internal/WebViewHost.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/MainThreadCheck.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"
#include "platform/ui/JSContext.h"
#include "platform/ui/UIWebView.h"
#include "platform/ui/WebLoadRecording.h"
#include "platform/ui/internal/Keyboard.h"
#include "platform/ui/internal/web/WebEngine.h"

#include <utility>

namespace dv::internal::uikit {

namespace {

// After the engine has finished a load, how long the host waits at most for the page to be drawn
// and read before it tells the delegate (a page that never paints, a process that stopped
// answering).
constexpr double kFinishWait = 5;
// How much of a page's text is read (for dumps and the driver; the page shows all of it).
constexpr int kTextLimit = 20000;

constexpr const char* kReadScript = "(function () { var body = document.body;"
                                    " return [document.title, body ? body.innerText.slice(0, 20000) : '']; })()";
static_assert(kTextLimit == 20000, "the read script names the same limit");

std::string urlText(const Ref<NSURLRequest>& request)
{
    auto url = request ? request->URL() : nil;
    return url ? url->absoluteString()->UTF8String() : "";
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

WebViewHost::WebViewHost(const Ref<UIWebView>& view, const Ref<JSContext>& context) : m_view(view), m_context(context)
{
    DV_CHECK_MAIN_THREAD();
    // The engine takes a while to start: it begins with the first view, before any page is asked
    // for.
    WebEngine::start();
}

WebViewHost::~WebViewHost()
{
    disarmTimeout();
}

EnginePage* WebViewHost::page()
{
    if (m_page || m_engineFailed)
        return m_page.get();
    switch (WebEngine::state()) {
    case WebEngine::State::Started: {
        // The context's globals and time limit as they are now: those set while the engine
        // started are in.
        auto context = m_context.lock();
        m_page = EnginePage::create(*this, m_size, context ? context->pageBootstrap() : std::string(),
            context ? context->executionTimeLimit() : 0);
        m_engineFailed = !m_page;
        break;
    }
    case WebEngine::State::Failed:
        m_engineFailed = true;
        break;
    case WebEngine::State::NotStarted:
    case WebEngine::State::Starting:
        if (!std::exchange(m_awaitingEngine, true)) {
            std::weak_ptr<WebViewHost> weak = weak_from_this();
            WebEngine::start([weak] {
                if (auto host = weak.lock())
                    host->engineDidStart();
            });
        }
        break;
    }
    return m_page.get();
}

// What was asked of the page while the engine started is done now, in the order asked: the latest
// load, scripts to run. Without an engine the load fails and the scripts answer nothing.
void WebViewHost::engineDidStart()
{
    m_awaitingEngine = false;
    page();
    auto untilEngine = std::exchange(m_untilEngine, {});
    for (auto& step : untilEngine)
        step();
}

void WebViewHost::giveWaitingLoad()
{
    auto load = std::exchange(m_waitingLoad, {});
    if (!load)
        return;
    m_state = LoadState::Asking;
    if (!m_page) {
        failWithoutEngine();
        return;
    }
    ++m_unasked;
    load(*m_page);
}

// After the engine's report is over: a load given inside one of its reports is lost.
void WebViewHost::giveWaitingLoadAfterReport()
{
    std::weak_ptr<WebViewHost> weak = weak_from_this();
    m_page->afterDelay(0, [weak] {
        if (auto host = weak.lock(); host && host->m_state == LoadState::Waiting && host->m_unasked == 0)
            host->giveWaitingLoad();
    });
}

void WebViewHost::failWithoutEngine()
{
    // The load fails as a transfer would, after the question.
    auto view = m_view.lock();
    const bool allowed = askDelegate({ urlText(m_request), UIWebViewNavigationTypeOther });
    if (m_state != LoadState::Asking)
        return; // the delegate ended the load or began another while it answered
    answerOwnLoad(allowed);
    if (!allowed)
        return;
    if (auto delegate = view ? view->delegate() : nil)
        delegate->webViewDidStartLoad(view);
    endLoad("failed", makeURLError(NSURLErrorUnknown, m_request ? m_request->URL() : nil));
}

void WebViewHost::setSize(CGSize size)
{
    DV_CHECK_MAIN_THREAD();
    if (CGSizeEqualToSize(size, m_size))
        return;
    m_size = size;
    if (m_page)
        m_page->setSize(size);
}

Ref<UIImage> WebViewHost::rendering() { return m_page ? m_page->rendering() : nil; }

bool WebViewHost::canGoBack() const { return m_page && m_page->canGoBack(); }

bool WebViewHost::canGoForward() const { return m_page && m_page->canGoForward(); }

// Loading

void WebViewHost::beginOwnLoad(const Ref<NSURLRequest>& request, std::function<void(EnginePage&)> load)
{
    // The engine ends the running load itself when the new one begins (stopping it here first
    // could drop the new one's question). The delegate, told of that end, may begin a load of its
    // own: this one replaces it.
    if (m_state != LoadState::Idle)
        endLoad("stopped", makeURLError(NSURLErrorCancelled, request ? request->URL() : nil));
    m_request = request;
    m_waitingLoad = std::move(load);
    armTimeout();
    if (!page() && !m_engineFailed) {
        m_state = LoadState::Waiting;
        std::weak_ptr<WebViewHost> weak = weak_from_this();
        m_untilEngine.push_back([weak] {
            if (auto host = weak.lock(); host && host->m_state == LoadState::Waiting)
                host->giveWaitingLoad();
        });
        return;
    }
    if (m_unasked > 0)
        m_state = LoadState::Waiting;
    else
        giveWaitingLoad();
}

void WebViewHost::loadRequest(const Ref<NSURLRequest>& request)
{
    DV_CHECK_MAIN_THREAD();
    std::vector<std::pair<std::string, std::string>> headers;
    if (auto fields = request->allHTTPHeaderFields())
        fields->enumerateKeysAndObjectsUsingBlock([&](const id& key, const id& value, bool*) {
            headers.emplace_back(key->description()->UTF8String(), value->description()->UTF8String());
        });
    beginOwnLoad(request, [url = urlText(request), headers](EnginePage& page) { page.loadURL(url, headers); });
}

void WebViewHost::loadData(const Ref<NSData>& data, const std::string& MIMEType, const std::string& encoding, const Ref<NSURLRequest>& base)
{
    DV_CHECK_MAIN_THREAD();
    beginOwnLoad(base, [data, MIMEType, encoding, url = urlText(base)](EnginePage& page) {
        page.loadBytes(data ? data->bytes() : nullptr, data ? data->length() : 0, MIMEType, encoding, url == "about:blank" ? "" : url);
    });
}

void WebViewHost::reload()
{
    DV_CHECK_MAIN_THREAD();
    if (!m_request)
        return;
    if (!m_page || m_state != LoadState::Idle || m_shownURL != urlText(m_request)) {
        // The request has not come to show (still loading, or it failed): it is loaded again.
        loadRequest(m_request);
        return;
    }
    beginOwnLoad(m_request, [](EnginePage& page) { page.reload(); });
}

void WebViewHost::stopLoading()
{
    DV_CHECK_MAIN_THREAD();
    if (m_state == LoadState::Idle)
        return;
    abandonLoad("stopped", makeURLError(NSURLErrorCancelled, m_request ? m_request->URL() : nil));
}

void WebViewHost::abandonLoad(const char* outcome, const Ref<NSError>& error)
{
    // The engine still asks about a load given that it has not asked about yet (the question is
    // refused); what it reports of the load it stops is passed over.
    if (m_page)
        m_page->stopLoading();
    endLoad(outcome, error);
}

void WebViewHost::endLoad(const char* outcome, const Ref<NSError>& error)
{
    auto view = m_view.lock();
    m_state = LoadState::Idle;
    m_waitingLoad = {};
    disarmTimeout();
    WebLoadRecording::end(std::exchange(m_record, 0), outcome, error ? static_cast<long>(error->code()) : 0, m_title);
    if (!view)
        return;
    if (auto delegate = view->delegate()) {
        if (error)
            delegate->webViewDidFailLoadWithError(view, error);
        else
            delegate->webViewDidFinishLoad(view);
    }
}

void WebViewHost::armTimeout()
{
    disarmTimeout();
    const double seconds = m_request ? m_request->timeoutInterval() : 0;
    if (!(seconds > 0))
        return;
    std::weak_ptr<WebViewHost> weak = weak_from_this();
    m_timeout = NSTimer::scheduledTimerWithTimeInterval(seconds, false, [weak](const Ref<NSTimer>&) {
        auto host = weak.lock();
        auto view = host ? host->m_view.lock() : nil;
        if (!host || !view || host->m_state == LoadState::Idle)
            return;
        host->m_timeout = nil;
        host->abandonLoad("failed", makeURLError(NSURLErrorTimedOut, host->m_request ? host->m_request->URL() : nil));
    });
}

void WebViewHost::disarmTimeout()
{
    if (auto timer = std::exchange(m_timeout, nil))
        timer->invalidate();
}

// The engine's reports

bool WebViewHost::askDelegate(const PageNavigation& navigation)
{
    auto view = m_view.lock();
    auto delegate = view ? view->delegate() : nil;
    if (!delegate)
        return true;
    auto url = NSURL::URLWithString(NSString::fromUTF8(navigation.url));
    auto request = url ? NSURLRequest::requestWithURL(url) : m_request;
    return delegate->webViewShouldStartLoadWithRequestNavigationType(view, request, static_cast<UIWebViewNavigationType>(navigation.type))
        .value_or(true);
}

void WebViewHost::answerOwnLoad(bool allowed)
{
    if (allowed) {
        m_state = LoadState::Starting;
        m_record = WebLoadRecording::begin(urlText(m_request), "loading");
        return;
    }
    m_state = LoadState::Idle;
    m_waitingLoad = {};
    disarmTimeout();
    WebLoadRecording::begin(urlText(m_request), "refused");
}

bool WebViewHost::pageShouldNavigate(const PageNavigation& navigation)
{
    // The question of a load given to the engine (the oldest it has not asked about); any other is
    // a navigation of the page's own or of one of its frames.
    const bool given = !navigation.redirect && m_unasked > 0;
    if (given && (m_unasked > 1 || m_state != LoadState::Asking)) {
        // A load given before the running one, since replaced or stopped, goes no further; the
        // running one may wait for this question.
        if (--m_unasked == 0 && m_state == LoadState::Waiting)
            giveWaitingLoadAfterReport();
        return false;
    }
    const bool allowed = askDelegate(navigation); // the delegate may begin or end a load meanwhile
    if (!given) {
        if (allowed && !navigation.redirect)
            m_navigationURL = navigation.url;
        return allowed;
    }
    --m_unasked;
    switch (m_state) {
    case LoadState::Asking:
        if (allowed)
            m_navigationURL = navigation.url;
        answerOwnLoad(allowed);
        return allowed;
    case LoadState::Waiting:
        // The delegate began another load while it answered, which replaces this one.
        giveWaitingLoadAfterReport();
        return false;
    case LoadState::Idle:
    case LoadState::Starting:
    case LoadState::Loading:
    case LoadState::Finishing:
        // The delegate stopped the load while it answered.
        return false;
    }
    return false;
}

void WebViewHost::pageDidStartLoad()
{
    ++m_generation;
    m_painted = false;
    m_read = false;
    switch (m_state) {
    case LoadState::Waiting:
    case LoadState::Asking:
        // A load before the application's.
        return;
    case LoadState::Finishing:
        completeFinish();
        if (m_state != LoadState::Idle)
            return; // the delegate began a load when told of the finish
        [[fallthrough]];
    case LoadState::Idle: {
        // A navigation of the page's own (a link, a form, the history): the one last let go.
        const std::string address = m_navigationURL.empty() && m_page ? m_page->url() : m_navigationURL;
        auto url = NSURL::URLWithString(NSString::fromUTF8(address));
        m_request = url ? NSURLRequest::requestWithURL(url) : nil;
        m_record = WebLoadRecording::begin(address, "loading");
        armTimeout();
        break;
    }
    case LoadState::Starting:
    case LoadState::Loading:
        break;
    }
    m_state = LoadState::Loading;
    auto view = m_view.lock();
    if (auto delegate = view ? view->delegate() : nil)
        delegate->webViewDidStartLoad(view);
}

void WebViewHost::pageDidCommitLoad()
{
    m_painted = false;
    if (m_page)
        m_shownURL = m_page->url();
    if (m_state == LoadState::Loading)
        armTimeout();
}

void WebViewHost::pageDidFinishLoad()
{
    if (m_state != LoadState::Loading)
        return;
    disarmTimeout();
    m_state = LoadState::Finishing;
    m_read = false;
    readPage(true);
    std::weak_ptr<WebViewHost> weak = weak_from_this();
    m_page->afterDelay(kFinishWait, [weak, generation = m_generation] {
        auto host = weak.lock();
        if (host && host->m_state == LoadState::Finishing && host->m_generation == generation)
            host->completeFinish();
    });
}

void WebViewHost::completeFinish()
{
    if (m_state != LoadState::Finishing)
        return;
    if (m_read) {
        m_title = std::move(m_loadedTitle);
        m_text = std::move(m_loadedText);
    } else {
        // The page did not answer in time: its title is the engine's, its text unknown for now.
        m_title = m_page ? trimmed(m_page->title()) : std::string();
        m_text.clear();
    }
    endLoad("finished", nil);
}

void WebViewHost::pageDidFailLoad(const Ref<NSError>& error)
{
    if (m_state == LoadState::Loading || m_state == LoadState::Finishing)
        endLoad("failed", error);
}

void WebViewHost::pageDidMakeProgress()
{
    if (m_state == LoadState::Loading)
        armTimeout();
}

void WebViewHost::pageDidPaint()
{
    auto view = m_view.lock();
    if (!view)
        return;
    view->setNeedsLayout();
    m_painted = true;
    if (m_state == LoadState::Finishing && m_read)
        completeFinish();
    // Scripts change what the page shows after it has loaded, also while its finish waits for its
    // first paint and read (the read may have run before the change this paint shows): it is read
    // again, once the read for the finish has answered.
    if (m_state == LoadState::Idle || m_state == LoadState::Finishing)
        readPage(false);
}

void WebViewHost::pageDidChangeTitle()
{
    // A title that a load brings is read with the rest of the page once it has loaded.
    if (m_state == LoadState::Idle && m_page)
        m_title = trimmed(m_page->title());
}

void WebViewHost::readPage(bool finishing)
{
    if (!m_page)
        return;
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    m_reading = true;
    std::weak_ptr<WebViewHost> weak = weak_from_this();
    const auto generation = m_generation;
    m_page->runScript(kReadScript, [weak, finishing, generation](PageAnswer answer) {
        auto host = weak.lock();
        auto view = host ? host->m_view.lock() : nil;
        if (!host || !view)
            return;
        host->m_reading = false;
        // What a load brings shows with its finish; what scripts change later, at once; a read
        // made for a load that has since been replaced counts for nothing.
        const bool forLoad = finishing && host->m_state == LoadState::Finishing && host->m_generation == generation;
        const bool current = forLoad || (!finishing && host->m_state == LoadState::Idle);
        if (answer.kind == PageAnswer::Kind::Value && current) {
            auto data = NSData::dataWithBytes(answer.json.data(), answer.json.size());
            if (auto pair = dv::as<NSArray>(NSJSONSerialization::JSONObjectWithData(data, 0, nullptr)); pair && pair->count() == 2) {
                auto title = dv::as<NSString>(pair->objectAtIndex(0));
                auto text = dv::as<NSString>(pair->objectAtIndex(1));
                (forLoad ? host->m_loadedTitle : host->m_title) = title ? trimmed(title->UTF8String()) : std::string();
                (forLoad ? host->m_loadedText : host->m_text) = text ? trimmed(text->UTF8String()) : std::string();
            }
        }
        if (forLoad) {
            host->m_read = true;
            if (host->m_painted)
                host->completeFinish();
        }
        if (std::exchange(host->m_readAgain, false))
            host->readPage(host->m_state == LoadState::Finishing && !host->m_read);
    });
}

void WebViewHost::pageDidPostMessage(const std::string& json)
{
    auto view = m_view.lock();
    auto data = NSData::dataWithBytes(json.data(), json.size());
    auto message = dv::as<NSDictionary>(NSJSONSerialization::JSONObjectWithData(data, 0, nullptr));
    if (!view || !message)
        return;
    auto kind = dv::as<NSString>(message->objectForKey("k"_ns));
    if (kind && kind->isEqualToString("focus")) {
        auto editable = dv::as<NSNumber>(message->objectForKey("editable"_ns));
        m_editing = editable && editable->boolValue();
        view->handlePageFocus(m_editing);
        return;
    }
    if (auto context = m_context.lock())
        context->handlePageMessage(message);
}

void WebViewHost::pageProcessDidEnd()
{
    auto view = m_view.lock();
    m_title.clear();
    m_text.clear();
    if (m_editing) {
        m_editing = false;
        if (view)
            view->handlePageFocus(false);
    }
    if (view)
        view->setNeedsLayout();
    // The loads given to the process end with it: the next is given at once.
    m_unasked = 0;
    if (m_state != LoadState::Idle)
        endLoad("failed", makeURLError(NSURLErrorUnknown, m_request ? m_request->URL() : nil));
}

// Scripts

void WebViewHost::runScriptInPage(const std::string& script, std::function<void(const PageAnswer&)> done)
{
    DV_CHECK_MAIN_THREAD();
    auto* engine = page();
    if (!engine && !m_engineFailed) {
        std::weak_ptr<WebViewHost> weak = weak_from_this();
        m_untilEngine.push_back([weak, script, done] {
            auto host = weak.lock();
            if (host && host->m_page)
                host->m_page->runScript(script, [done](PageAnswer answer) { done(answer); });
            else
                done(PageAnswer {});
        });
        return;
    }
    if (!engine) {
        done(PageAnswer {});
        return;
    }
    engine->runScript(script, [done = std::move(done)](PageAnswer answer) { done(answer); });
}

void WebViewHost::pageGlobalsChanged()
{
    auto context = m_context.lock();
    if (!context || !m_page)
        return;
    const auto script = context->pageBootstrap();
    m_page->setBootstrap(script);
    m_page->runScript(script, {});
}

void WebViewHost::pageTimeLimitChanged(double seconds)
{
    if (m_page)
        m_page->setTimeLimit(seconds);
}

bool WebViewHost::pageIsStarting() const { return m_awaitingEngine; }

bool WebViewHost::pageCanAnswer() const
{
    if (m_engineFailed)
        return false;
    return !m_page || m_page->isResponsive();
}

// Input

void WebViewHost::tap(CGPoint point, double time)
{
    DV_CHECK_MAIN_THREAD();
    if (m_page)
        m_page->click(point, time);
}

void WebViewHost::drag(CGPoint point, CGSize movement)
{
    DV_CHECK_MAIN_THREAD();
    if (m_page)
        m_page->scroll(point, movement);
}

void WebViewHost::insertText(const std::string& text)
{
    DV_CHECK_MAIN_THREAD();
    if (m_page)
        m_page->insertText(text);
}

void WebViewHost::pressReturn(double time)
{
    DV_CHECK_MAIN_THREAD();
    if (m_page)
        m_page->pressKey(EnginePage::Key::Return, time);
}

void WebViewHost::deleteBackward(double time)
{
    DV_CHECK_MAIN_THREAD();
    if (m_page)
        m_page->pressKey(EnginePage::Key::Backspace, time);
}

void WebViewHost::endEditing()
{
    DV_CHECK_MAIN_THREAD();
    m_editing = false;
    if (m_page)
        m_page->runScript("if (document.activeElement) document.activeElement.blur();", {});
}

} // namespace dv::internal::uikit
