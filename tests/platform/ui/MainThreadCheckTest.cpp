// The interface lives on the main thread: a call into it from another thread stops the process,
// and the report names the place that was called.
#include "UITestSupport.h"

#include <thread>

using namespace dv::test;

namespace {

class MainThreadCheckDeathTest : public UITest {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        UITest::SetUp();
    }

    // Runs `call` on a thread of its own and waits for it to end.
    template <class Call>
    static void onAnotherThread(Call call)
    {
        std::thread(std::move(call)).join();
    }
};

} // namespace

TEST_F(MainThreadCheckDeathTest, TreeChangesLayoutAndTheWindowStopWhenCalledFromAnotherThread)
{
    auto view = addView(CGRectMake(0, 0, 100, 100));
    auto child = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 10, 10));

    EXPECT_DEATH(onAnotherThread([&] { view->addSubview(child); }),
        "UIViewHierarchy\\.cpp:[0-9]+: invariant broken: isMainThread\\(\\) \\(called off the main thread: void "
        "UIView::addSubview\\(.*\\)\\)");
    EXPECT_DEATH(onAnotherThread([&] { view->setNeedsLayout(); }), "called off the main thread: virtual void UIView::setNeedsLayout\\(\\)");
    EXPECT_DEATH(onAnotherThread([&] { m_window->makeKeyAndVisible(); }), "called off the main thread: void UIWindow::makeKeyAndVisible\\(\\)");

    // The same calls on the main thread go through.
    view->addSubview(child);
    view->setNeedsLayout();
    m_window->makeKeyAndVisible();
    EXPECT_TRUE(m_ui.runUntilIdle());
    EXPECT_EQ(child->superview(), view);
}

TEST_F(MainThreadCheckDeathTest, TouchesAndTypingStopWhenTheyComeFromAnotherThread)
{
    auto field = alloc<UITextField>()->initWithFrame(CGRectMake(20, 100, 200, 30));
    m_window->addSubview(field);
    ASSERT_TRUE(m_ui.focus(field));

    EXPECT_DEATH(onAnotherThread([&] { m_ui.tap(CGPointMake(50, 300)); }), "called off the main thread: .*TouchRouter::begin");
    EXPECT_DEATH(onAnotherThread([&] { m_ui.typeText("a"); }), "called off the main thread: .*Keyboard::insertText");

    EXPECT_TRUE(m_ui.typeText("a"));
    EXPECT_EQ(m_ui.textOf(field), "a");
}
