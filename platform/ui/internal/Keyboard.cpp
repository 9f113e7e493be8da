#include "platform/ui/internal/Keyboard.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/MainThreadCheck.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/system/UIDevice.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UITextInputTraits.h"
#include "platform/ui/UITextView.h"
#include "platform/ui/UIWebView.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/KeyboardKeys.h"

#include <utility>

const Ref<NSString> UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification"_ns;
const Ref<NSString> UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification"_ns;
const Ref<NSString> UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification"_ns;
const Ref<NSString> UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification"_ns;
const Ref<NSString> UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey"_ns;
const Ref<NSString> UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey"_ns;
const Ref<NSString> UIKeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey"_ns;
const Ref<NSString> UIKeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey"_ns;
const Ref<NSString> UIKeyboardIsLocalUserInfoKey = "UIKeyboardIsLocalUserInfoKey"_ns;

// The window above the application's that holds the keyboard: the accessory view on top, the keys
// (or the responder's input view) under it. Touches outside them pass through to nothing.
class UIKeyboardWindow : public UIWindow {
    DV_CLASS(UIKeyboardWindow, UIWindow)

    UIKeyboardWindow() = default;

    Ref<UIView> hitTest(CGPoint point, const Ref<UIEvent>& event) override
    {
        auto hit = UIWindow::hitTest(point, event);
        return hit.get() == this ? nil : hit;
    }

    Ref<UIView> host;
    Ref<UIKeyboardView> keys;
};

DV_DEFINE_CLASS(UIKeyboardWindow)

namespace dv {

bool isKeyboardVisible() { return internal::uikit::Keyboard::shared().isVisible(); }
CGRect keyboardFrame() { return internal::uikit::Keyboard::shared().frame(); }
Ref<UIResponder> keyboardResponder() { return internal::uikit::Keyboard::shared().responder(); }
Ref<UIWindow> keyboardWindow() { return internal::uikit::Keyboard::shared().window(); }
std::size_t inputClickCount() { return internal::uikit::Keyboard::shared().inputClicks(); }

} // namespace dv

namespace dv::internal::uikit {

Keyboard& Keyboard::shared()
{
    static Keyboard keyboard;
    return keyboard;
}

Ref<UIResponder> Keyboard::responder() const { return m_visible ? m_responder.lock() : nil; }

Ref<UIWindow> Keyboard::window() const { return m_visible ? m_window : nil; }

CGRect Keyboard::handleFrameFor(const Ref<UIResponder>& responder) const
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    CGFloat height = keyboardKeysHeight;
    if (auto input = responder->inputView())
        height = input->frame().size.height;
    if (auto accessory = responder->inputAccessoryView())
        height += accessory->frame().size.height;
    return CGRectMake(0, screen.size.height - height, screen.size.width, height);
}

void Keyboard::handleInstallViews(const Ref<UIResponder>& responder, CGRect frame)
{
    if (!m_window) {
        m_window = alloc<UIKeyboardWindow>();
        m_window->initWithFrame(UIScreen::mainScreen()->bounds());
        m_window->host = alloc<UIView>()->initWithFrame(frame);
        m_window->addSubview(m_window->host);
        m_window->keys = alloc<UIKeyboardView>();
        m_window->keys->initWithFrame(CGRectMake(0, 0, frame.size.width, keyboardKeysHeight));
    }
    auto& host = m_window->host;
    host->setFrame(frame);
    const auto old = host->subviews();
    for (auto& sub : old->items())
        std::static_pointer_cast<UIView>(sub)->removeFromSuperview();
    CGFloat y = 0;
    if (auto accessory = responder->inputAccessoryView()) {
        const CGFloat h = accessory->frame().size.height;
        accessory->setFrame(CGRectMake(0, 0, frame.size.width, h));
        host->addSubview(accessory);
        y = h;
    }
    Ref<UIView> body = responder->inputView();
    const bool keys = !body;
    if (keys)
        body = m_window->keys;
    body->setFrame(CGRectMake(0, y, frame.size.width, frame.size.height - y));
    host->addSubview(body);
    if (keys) {
        // The keys the responder asks for, from their first page.
        auto traits = dynamic_cast<UITextInputTraits*>(responder.get());
        m_window->keys->configure(traits ? traits->keyboardType() : UIKeyboardTypeDefault,
            traits ? traits->returnKeyType() : UIReturnKeyDefault, traits && traits->enablesReturnKeyAutomatically());
        m_window->keys->textChanged(hasText(responder));
    }
    m_window->setHidden(false);
}

void Keyboard::handleAnnounce(bool showing, CGRect begin, CGRect end)
{
    auto info = NSDictionary::of({
        { UIKeyboardFrameBeginUserInfoKey, NSValue::valueWithCGRect(begin) },
        { UIKeyboardFrameEndUserInfoKey, NSValue::valueWithCGRect(end) },
        { UIKeyboardAnimationDurationUserInfoKey, NSNumber::numberWithDouble(keyboardAnimationDuration) },
        { UIKeyboardAnimationCurveUserInfoKey, NSNumber::numberWithLong(keyboardAnimationCurve) },
        { UIKeyboardIsLocalUserInfoKey, NSNumber::numberWithBool(true) },
    });
    m_lastInfo = info;
    handleSchedule(showing);
    NSNotificationCenter::defaultCenter()->postNotificationName(
        showing ? UIKeyboardWillShowNotification : UIKeyboardWillHideNotification, nil, info);
}

void Keyboard::handleSchedule(bool didShow)
{
    // The did- notification carries the same frames as its will- one.
    handleCancelPending();
    m_pending = NSTimer::scheduledTimerWithTimeInterval(keyboardAnimationDuration, false, [this, didShow](const Ref<NSTimer>& timer) {
        if (m_pending != timer)
            return;
        m_pending = nil;
        NSNotificationCenter::defaultCenter()->postNotificationName(
            didShow ? UIKeyboardDidShowNotification : UIKeyboardDidHideNotification, nil, m_lastInfo);
        (void)timer;
    });
}

void Keyboard::handleCancelPending()
{
    if (auto pending = std::exchange(m_pending, nil))
        pending->invalidate();
}

void Keyboard::show(const Ref<UIResponder>& responder)
{
    DV_CHECK_MAIN_THREAD();
    if (!responder)
        return;
    if (!m_clickHandlerInstalled) {
        m_clickHandlerInstalled = true;
        UIDevice::setInputClickHandler([] { Keyboard::shared().handleInputClick(); });
    }
    m_hideDeferred = false;
    const CGRect screen = UIScreen::mainScreen()->bounds();
    const CGRect end = handleFrameFor(responder);
    const CGRect begin = m_visible ? m_frame : CGRectMake(0, screen.size.height, end.size.width, end.size.height);
    m_responder = responder;
    m_frame = end;
    m_visible = true;
    handleInstallViews(responder, end);
    handleAnnounce(true, begin, end);
}

void Keyboard::hide(const Ref<UIResponder>& responder)
{
    DV_CHECK_MAIN_THREAD();
    if (!m_visible || m_responder.lock() != responder)
        return;
    if (auto incoming = m_incoming.lock(); incoming && incoming != responder && incoming->showsKeyboard()) {
        // The focus moves to another field: it brings the keyboard up again itself. Should it not
        // get the focus after all, the keyboard goes at the end of this turn.
        m_hideDeferred = true;
        dispatch_async(dispatch_get_main_queue(), [responder] {
            auto& keyboard = Keyboard::shared();
            if (keyboard.m_hideDeferred) {
                keyboard.m_hideDeferred = false;
                keyboard.hide(responder);
            }
        });
        return;
    }
    m_hideDeferred = false;
    const CGRect screen = UIScreen::mainScreen()->bounds();
    const CGRect begin = m_frame;
    const CGRect end = CGRectMake(0, screen.size.height, begin.size.width, begin.size.height);
    m_visible = false;
    m_responder.reset();
    if (m_window) {
        m_window->setHidden(true);
        const auto old = m_window->host->subviews();
        for (auto& sub : old->items())
            std::static_pointer_cast<UIView>(sub)->removeFromSuperview();
    }
    handleAnnounce(false, begin, end);
}

void Keyboard::reload(const Ref<UIResponder>& responder)
{
    DV_CHECK_MAIN_THREAD();
    if (m_visible && m_responder.lock() == responder)
        show(responder);
}

void Keyboard::reset()
{
    DV_CHECK_MAIN_THREAD();
    handleCancelPending();
    m_window = nil;
    m_responder.reset();
    m_incoming.reset();
    m_visible = false;
    m_hideDeferred = false;
    m_frame = {};
    m_lastInfo = nil;
}

void Keyboard::handleInputClick()
{
    if (!m_visible)
        return;
    auto responder = m_responder.lock();
    if (!responder)
        return;
    for (auto& view : { responder->inputView(), responder->inputAccessoryView() }) {
        auto* feedback = dynamic_cast<UIInputViewAudioFeedback*>(view.get());
        if (feedback && feedback->enableInputClicksWhenVisible()) {
            ++m_inputClicks;
            return;
        }
    }
}

// Typing

namespace {

// Does a key's work on a text field, a text view or the focused field of a web page (which takes
// typed text and the return and delete keys as the page's own keys); NO for any other responder.
template <class OnField, class OnTextView, class OnWebView>
bool onTextResponder(const Ref<UIResponder>& responder, OnField onField, OnTextView onTextView, OnWebView onWebView)
{
    if (auto field = dv::as<UITextField>(responder))
        onField(*field);
    else if (auto textView = dv::as<UITextView>(responder))
        onTextView(*textView);
    else if (auto web = dv::as<UIWebView>(responder))
        onWebView(*web);
    else
        return false;
    return true;
}

} // namespace

bool Keyboard::hasText(const Ref<UIResponder>& responder)
{
    bool has = false;
    // What a page's field holds stays in the page: it counts as having text.
    onTextResponder(responder, [&](UITextField& field) { has = field.hasText(); }, [&](UITextView& view) { has = view.hasText(); },
        [&](UIWebView&) { has = true; });
    return has;
}

void Keyboard::handleTextChanged(const Ref<UIResponder>& responder)
{
    auto& keyboard = shared();
    if (keyboard.m_window && keyboard.m_visible && keyboard.m_responder.lock() == responder && !responder->inputView())
        keyboard.m_window->keys->textChanged(hasText(responder));
}

bool Keyboard::insertText(const Ref<UIResponder>& responder, const Ref<NSString>& text)
{
    DV_CHECK_MAIN_THREAD();
    const bool typed = onTextResponder(responder, [&](UITextField& field) { field.insertText(text); },
        [&](UITextView& view) { view.insertText(text); }, [&](UIWebView& web) { web.insertText(text); });
    if (typed)
        handleTextChanged(responder);
    return typed;
}

bool Keyboard::deleteBackward(const Ref<UIResponder>& responder)
{
    DV_CHECK_MAIN_THREAD();
    const bool deleted = onTextResponder(responder, [](UITextField& field) { field.deleteBackward(); },
        [](UITextView& view) { view.deleteBackward(); }, [](UIWebView& web) { web.deleteBackward(); });
    if (deleted)
        handleTextChanged(responder);
    return deleted;
}

bool Keyboard::pressReturn(const Ref<UIResponder>& responder)
{
    DV_CHECK_MAIN_THREAD();
    // A text view takes the return key as a new line.
    const bool pressed = onTextResponder(responder, [](UITextField& field) { field.handleReturn(); },
        [](UITextView& view) { view.insertText("\n"_ns); }, [](UIWebView& web) { web.insertText("\n"_ns); });
    if (pressed)
        handleTextChanged(responder);
    return pressed;
}

bool Keyboard::moveCaret(const Ref<UIResponder>& responder, dv::CaretMove move)
{
    DV_CHECK_MAIN_THREAD();
    bool moved = false;
    onTextResponder(responder, [&](UITextField& field) { field.moveCaret(move), moved = true; },
        [&](UITextView& view) { view.moveCaret(move), moved = true; }, [](UIWebView&) {});
    return moved;
}

Keyboard::Handover::Handover(const Ref<UIResponder>& incoming)
    : m_previous(std::exchange(Keyboard::shared().m_incoming, incoming))
{
}

Keyboard::Handover::~Handover() { Keyboard::shared().m_incoming = m_previous; }

} // namespace dv::internal::uikit
