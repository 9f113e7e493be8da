// The UI driver's typing and keyboard, and its view of web views.
#include "platform/testing/UIDriver.h"

#include "platform/base/NSString.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UITextView.h"
#include "platform/ui/UIWebView.h"
#include "platform/ui/WebLoadRecording.h"
#include "platform/ui/internal/Keyboard.h"
#include "platform/ui/internal/TextEditing.h"

namespace dv::testing {

namespace {

// The user-perceived characters of a UTF-8 text (an emoji with its modifier is one).
std::vector<Ref<NSString>> characters(std::string_view text)
{
    std::vector<Ref<NSString>> out;
    auto string = NSString::fromUTF8(std::string(text));
    const auto boundaries = dv::internal::uikit::characterBoundaries(string);
    for (std::size_t i = 1; i < boundaries.size(); ++i)
        out.push_back(string->substringWithRange(NSMakeRange(boundaries[i - 1], boundaries[i] - boundaries[i - 1])));
    return out;
}

} // namespace

Ref<UIResponder> UIDriver::firstResponder() const
{
    auto root = window();
    return root ? root->firstResponder() : nil;
}

bool UIDriver::focus(const Ref<UIView>& field)
{
    if (!field || !tap(field) || firstResponder() != field)
        return false;
    dv::internal::uikit::Keyboard::moveCaret(field, dv::CaretMove::TextEnd);
    runUntilIdle();
    return true;
}

bool UIDriver::typeText(std::string_view text)
{
    using dv::internal::uikit::Keyboard;
    auto takesText = [](const Ref<UIResponder>& responder) {
        return dv::as<UITextField>(responder) || dv::as<UITextView>(responder) || dv::as<UIWebView>(responder);
    };
    if (!takesText(firstResponder()))
        return false;
    for (const auto& character : characters(text)) {
        // The path a key of the keyboard takes.
        const bool isReturn = character->isEqualToString("\n"_ns);
        if (isReturn)
            Keyboard::pressReturn(firstResponder());
        else
            Keyboard::insertText(firstResponder(), character);
        runUntilIdle();
        // Return may have moved the focus on.
        if (!takesText(firstResponder()))
            return isReturn;
    }
    return true;
}

bool UIDriver::deleteBackward(int times)
{
    for (int i = 0; i < times; ++i) {
        if (!dv::internal::uikit::Keyboard::deleteBackward(firstResponder()))
            return false;
        runUntilIdle();
    }
    return true;
}

bool UIDriver::moveCaret(dv::CaretMove move)
{
    if (!dv::internal::uikit::Keyboard::moveCaret(firstResponder(), move))
        return false;
    runUntilIdle();
    return true;
}

std::optional<NSRange> UIDriver::selectedRange() const
{
    auto responder = firstResponder();
    if (auto field = dv::as<UITextField>(responder))
        return field->selectedRange();
    if (auto view = dv::as<UITextView>(responder))
        return view->selectedRange();
    return std::nullopt;
}

bool UIDriver::pressReturn()
{
    if (!dv::internal::uikit::Keyboard::pressReturn(firstResponder()))
        return false;
    runUntilIdle();
    return true;
}

Ref<UIView> UIDriver::keyboardKey(std::string_view title) const
{
    auto keyboard = keyboardWindow();
    Class key = objc_getClass("UIKeyboardKey");
    if (!keyboard || !key)
        return nil;
    for (const auto& view : findAll(ViewQuery().ofClass(key).withTitle(std::string(title))))
        if (view->window() == keyboard)
            return view;
    return nil;
}

bool UIDriver::tapKey(std::string_view title)
{
    auto key = keyboardKey(title);
    return key && tap(key);
}

bool UIDriver::tapClearButton()
{
    auto field = dv::as<UITextField>(firstResponder());
    if (!field || !field->isClearButtonShown() || !isVisible(field))
        return false;
    const CGRect clear = field->clearButtonRectForBounds(field->bounds());
    const CGPoint point = field->convertPointToView(CGPointMake(CGRectGetMidX(clear), CGRectGetMidY(clear)), nil);
    return tap(point);
}

bool UIDriver::resignFocus(bool force)
{
    auto root = window();
    if (!root)
        return false;
    const bool resigned = root->endEditing(force);
    runUntilIdle();
    return resigned;
}

bool UIDriver::isKeyboardVisible() const { return dv::isKeyboardVisible(); }

CGRect UIDriver::keyboardFrame() const { return dv::keyboardFrame(); }

Ref<UIView> UIDriver::keyboardAccessoryView() const
{
    auto responder = dv::keyboardResponder();
    return responder ? responder->inputAccessoryView() : nil;
}

// Web views

void UIDriver::recordWebLoads() { m_webLoads = std::make_shared<WebLoadRecording>(); }

std::vector<UIDriver::WebLoad> UIDriver::webLoads() const
{
    std::vector<WebLoad> loads;
    if (!m_webLoads)
        return loads;
    for (const auto& record : m_webLoads->records())
        loads.push_back({ record.url, record.outcome, record.errorCode, record.title });
    return loads;
}

bool UIDriver::waitForWebView(const Ref<UIWebView>& webView, double limit)
{
    if (!webView)
        return false;
    const bool stopped = runMainLoopUntil([&] { return !webView->isLoading(); }, limit);
    runUntilIdle();
    return stopped;
}

std::string UIDriver::evaluateScript(const Ref<UIWebView>& webView, std::string_view script)
{
    if (!webView)
        return {};
    auto result = webView->stringByEvaluatingJavaScriptFromString(NSString::stringWithUTF8String(std::string(script).c_str()));
    runUntilIdle();
    return result ? result->UTF8String() : std::string();
}

} // namespace dv::testing
