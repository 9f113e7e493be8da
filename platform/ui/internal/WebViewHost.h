// WebViewHost: the part of a UIWebView that works with the web engine: it makes the engine's page
// when the view first needs one, keeps the state of the running load and tells the view's
// delegate, in the platform's order, about what the engine reports (the navigation question with
// its type, start, finish or failure with the platform's error), bounds a load by its request's
// time-out, and is the page's end of the view's script context. A load counts as finished once
// the page has also been drawn and its title and text read (so that what a screenshot or a dump
// shows is the page), within a bound for pages that never paint.
//
// The first view's engine takes a while to start (see WebEngine.h): meanwhile the view shows blank
// and what is asked of the page (the latest load, scripts) waits, in order, until the engine is up;
// the delegate hears of it as it would of a running engine.
//
// Owned by its UIWebView, which it refers to weakly (the view may go while the host is telling
// its delegate something; each call keeps the view for its duration). Main thread only.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/internal/PageScriptHost.h"
#include "platform/ui/internal/web/EnginePage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class JSContext;
class NSData;
class NSTimer;
class NSURLRequest;
class UIImage;
class UIWebView;

namespace dv::internal::uikit {

class WebViewHost final : public EnginePageClient, public PageScriptHost, public std::enable_shared_from_this<WebViewHost> {
public:
    WebViewHost(const Ref<UIWebView>& view, const Ref<JSContext>& context);
    ~WebViewHost() override;

    // Loads (the delegate is asked first, as for every navigation).
    void loadRequest(const Ref<NSURLRequest>& request);
    void loadData(const Ref<NSData>& data, const std::string& MIMEType, const std::string& encoding, const Ref<NSURLRequest>& base);
    void reload();
    void stopLoading();
    bool isLoading() const { return m_state != LoadState::Idle; }
    Ref<NSURLRequest> request() const { return m_request; }
    bool canGoBack() const;
    bool canGoForward() const;

    // What the page shows, as of its last load or paint ("" before the first).
    const std::string& title() const { return m_title; }
    const std::string& text() const { return m_text; }
    // YES while a text field of the page has the focus.
    bool isEditing() const { return m_editing; }

    void setSize(CGSize size);
    Ref<UIImage> rendering();

    void tap(CGPoint point, double time);
    void drag(CGPoint point, CGSize movement);
    void insertText(const std::string& text);
    void pressReturn(double time);
    void deleteBackward(double time);
    // The application took the focus away from the page's field.
    void endEditing();

    // PageScriptHost
    void runScriptInPage(const std::string& script, std::function<void(const PageAnswer&)> done) override;
    void pageGlobalsChanged() override;
    void pageTimeLimitChanged(double seconds) override;
    bool pageCanAnswer() const override;
    bool pageIsStarting() const override;

    // EnginePageClient
    bool pageShouldNavigate(const PageNavigation& navigation) override;
    void pageDidStartLoad() override;
    void pageDidCommitLoad() override;
    void pageDidFinishLoad() override;
    void pageDidFailLoad(const Ref<NSError>& error) override;
    void pageDidMakeProgress() override;
    void pageDidPaint() override;
    void pageDidChangeTitle() override;
    void pageDidPostMessage(const std::string& json) override;
    void pageProcessDidEnd() override;

private:
    // The course of the running load. The application's own load is given to the engine at once
    // (Asking), unless the engine has not yet asked about a load given before, or is still
    // starting: then it waits (Waiting) and is given once the engine has asked, as the engine
    // would apply a reload to the page before, or lose a load given too soon. The engine asks
    // about every load given, in the order given, also one stopped before it asked: a question of
    // a load since replaced or stopped is refused without a word to the delegate. The delegate's
    // answer lets the running load go (Starting) or ends it; the engine's start begins it
    // (Loading); the engine's finish leaves it waiting for the page to be drawn and read
    // (Finishing). What the engine reports of loads before the running one is passed over. A
    // navigation of the page's own (a link, a form, the history) begins at the engine's start.
    enum class LoadState { Idle, Waiting, Asking, Starting, Loading, Finishing };

    // The page, made when first needed; nil while the engine starts (engineDidStart follows) and
    // when it cannot.
    EnginePage* page();
    void engineDidStart();
    // The load that waits is given to the engine, or fails when there is no engine on this system.
    void giveWaitingLoad();
    void giveWaitingLoadAfterReport();
    void failWithoutEngine();
    bool askDelegate(const PageNavigation& navigation);
    // The delegate's answer about the running load.
    void answerOwnLoad(bool allowed);
    // A load of the application's begins: the running one ends as stopped.
    void beginOwnLoad(const Ref<NSURLRequest>& request, std::function<void(EnginePage&)> load);
    // The engine is told to stop what it loads, and the running load ends with `error`.
    void abandonLoad(const char* outcome, const Ref<NSError>& error);
    void endLoad(const char* outcome, const Ref<NSError>& error);
    void completeFinish();
    void readPage(bool finishing);
    void armTimeout();
    void disarmTimeout();

    Weak<UIWebView> m_view;
    Weak<JSContext> m_context;
    std::unique_ptr<EnginePage> m_page;
    bool m_engineFailed = false;
    bool m_awaitingEngine = false;
    // What waits for the engine's start, in the order asked.
    std::vector<std::function<void()>> m_untilEngine;
    CGSize m_size {};

    LoadState m_state = LoadState::Idle;
    Ref<NSURLRequest> m_request;
    std::string m_navigationURL; // of the navigation the delegate last let go
    std::string m_shownURL;      // of the page the engine shows (its last committed load)
    std::function<void(EnginePage&)> m_waitingLoad; // the application's load while Waiting
    int m_unasked = 0;           // loads given to the engine that it has not asked about yet
    std::uint64_t m_record = 0;  // the running load's record, 0 when none is kept
    Ref<NSTimer> m_timeout;
    std::uint64_t m_generation = 0; // of the main frame's loads the engine began

    // What has become of the page since the engine began its latest load.
    bool m_painted = false; // drawn since its content came
    bool m_read = false;    // its title and text read since the engine finished
    bool m_reading = false; // a read runs
    bool m_readAgain = false; // and another was asked meanwhile

    std::string m_title;
    std::string m_text;
    std::string m_loadedTitle; // read from a page that has loaded, shown with its finish
    std::string m_loadedText;
    bool m_editing = false;
};

} // namespace dv::internal::uikit
