#include "ToolkitTestSupport.h"

#include "platform/system/NSUserDefaults.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIAppearance.h"

namespace dv::test {

void ToolkitTest::SetUp()
{
    UIApplication::resetSharedApplication();
    UIScreen::mainScreen()->reset();
    removeAllAppearanceRules();
    m_app = UIApplication::sharedApplication();
    m_window = alloc<UIWindow>()->init();
    m_window->setBackgroundColor(UIColor::whiteColor());
    m_window->makeKeyAndVisible();
    m_ui.runUntilIdle();
}

void ToolkitTest::TearDown()
{
    m_ui.runUntilIdle();
    m_window = nil;
    m_app = nil;
    UIApplication::resetSharedApplication();
    removeAllAppearanceRules();
    // Read again from its file by the next test, as by a new process.
    NSUserDefaults::resetStandardUserDefaults();
}

Ref<UIView> ToolkitTest::addView(CGRect frame, Ref<UIColor> color, Ref<UIView> parent)
{
    auto view = alloc<UIView>()->initWithFrame(frame);
    view->setBackgroundColor(color);
    (parent ? parent : Ref<UIView>(m_window))->addSubview(view);
    return view;
}

Ref<PHProgressHUD> ToolkitTest::addHUD(const Ref<UIView>& host)
{
    auto hud = alloc<PHProgressHUD>()->initWithView(host);
    host->addSubview(hud);
    hud->setDelegate(m_delegate);
    hud->setCompletionBlock(noteCompletion(hud));
    return hud;
}

bool ToolkitTest::onScreen(const Ref<PHProgressHUD>& hud) const
{
    return hud && hud->window() && m_ui.isVisible(hud);
}

PHProgressHUD::CompletionBlock ToolkitTest::noteCompletion(const Ref<PHProgressHUD>& hud)
{
    Weak<PHProgressHUD> weak = hud;
    return [this, weak] {
        auto strong = weak.lock();
        m_journal.push_back(strong && strong->superview() ? "completion:in view" : "completion");
    };
}

} // namespace dv::test
