// EnginePage: the web engine's view behind one UIWebView, in an offscreen window of its own sized
// to the UIWebView's bounds at the screen's scale; the page is zoomed by that scale, so that it
// lays out in points and draws in pixels. It turns the engine's signals into calls of its client
// (the navigation question, load events, new renderings, messages of the page's scripts), loads,
// runs scripts in the page, hands out its latest rendering, and takes the UIWebView's touches and
// typing as the engine's pointer and key events. No window of it is ever shown: dialogs, menus,
// tooltips and new windows the page asks for are answered here without one.
//
// Owned by its UIWebView, which it never keeps alive; main thread only. The engine's headers stay
// in the .cpp files of this folder.
//
//   auto page = EnginePage::create(client, CGSizeMake(375, 603), bootstrap, 2);
//   page->loadURL("http://127.0.0.1:8092/DV/data/qryLearn.do?type=2", {});
//   // client.pageDidFinishLoad() ... page->rendering()
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Geometry.h"
#include "platform/ui/internal/PageScriptHost.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class NSError;
class UIImage;

namespace dv::internal::uikit {

// A navigation the engine asks about.
struct PageNavigation {
    std::string url;
    NSInteger type = 5; // as UIWebViewNavigationType
    bool redirect = false;
    bool newWindow = false; // the page asked for a window of its own (a target of "_blank", window.open)
};

class EnginePageClient {
public:
    virtual ~EnginePageClient() = default;
    // Asked before each navigation of the page and of its frames; NO stops it.
    virtual bool pageShouldNavigate(const PageNavigation& navigation) = 0;
    // The main frame's load: started, content arriving, done, failed (after started).
    virtual void pageDidStartLoad() = 0;
    virtual void pageDidCommitLoad() = 0;
    virtual void pageDidFinishLoad() = 0;
    virtual void pageDidFailLoad(const Ref<NSError>& error) = 0;
    // Some of the page came (data, a resource).
    virtual void pageDidMakeProgress() = 0;
    // The rendering changed.
    virtual void pageDidPaint() = 0;
    // The document's title changed.
    virtual void pageDidChangeTitle() = 0;
    // A message of the page's scripts to the application (JSON).
    virtual void pageDidPostMessage(const std::string& json) = 0;
    // The web process of the page ended (it crashed or was ended); the page is gone.
    virtual void pageProcessDidEnd() = 0;
};

class EnginePage {
public:
    // nil when the engine cannot start. `bootstrap` runs before the page's own scripts at every
    // load; scripts of the page stop after `timeLimit` seconds (0: never).
    static std::unique_ptr<EnginePage> create(EnginePageClient& client, CGSize size, const std::string& bootstrap, double timeLimit);
    ~EnginePage();
    EnginePage(const EnginePage&) = delete;
    EnginePage& operator=(const EnginePage&) = delete;

    // The size in points; the pixels follow the main screen's scale.
    void setSize(CGSize size);

    void loadURL(const std::string& url, const std::vector<std::pair<std::string, std::string>>& headers);
    void loadBytes(const void* bytes, std::size_t length, const std::string& MIMEType, const std::string& encoding,
        const std::string& baseURL);
    void reload();
    void stopLoading();
    bool canGoBack() const;
    bool canGoForward() const;
    std::string title() const;
    // The address of the page shown or loading ("" before the first load).
    std::string url() const;

    void setBootstrap(const std::string& script);
    // Runs `script` in the page now (without waiting for the answer when `done` is empty).
    void runScript(const std::string& script, std::function<void(PageAnswer)> done);
    void setTimeLimit(double seconds);
    // NO while the page's web process does not answer the engine.
    bool isResponsive() const;

    // The latest rendering, in points of the page's size; nil before the first.
    Ref<UIImage> rendering();

    // Input, in points of the page; `time` is the clock's now (it tells taps from double taps).
    void click(CGPoint point, double time);
    void scroll(CGPoint point, CGSize delta);
    void insertText(const std::string& text);
    enum class Key { Return, Backspace };
    void pressKey(Key key, double time);

    // Calls `block` after `seconds` of real time, unless this page goes first.
    void afterDelay(double seconds, std::function<void()> block);

private:
    friend class EnginePageSignals;
    struct Engine;
    EnginePage(EnginePageClient& client);
    void handleSignals();

    EnginePageClient& m_client;
    std::unique_ptr<Engine> m_engine;
    // Answers and delayed calls of a page that is gone find this expired.
    std::shared_ptr<EnginePage*> m_alive;
    Ref<UIImage> m_rendering;
    bool m_renderingStale = true;
};

} // namespace dv::internal::uikit
