#include "ControllerTestSupport.h"

#include "platform/ui/ViewAnimation.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSException.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"

using namespace dv::test;

namespace {

class ViewControllerTest : public ControllerTest {
protected:
    Ref<RecordingController> make(std::string name) { return RecordingController::make(&m_journal, std::move(name)); }
    Journal take() { return std::exchange(m_journal, {}); }
};

} // namespace

TEST_F(ViewControllerTest, TheViewLoadsOnceOnFirstUseAndBelongsToItsController)
{
    auto screen = make("A");
    EXPECT_FALSE(screen->isViewLoaded());
    EXPECT_EQ(screen->loads, 0);
    auto view = screen->view();
    EXPECT_TRUE(screen->isViewLoaded());
    EXPECT_EQ(screen->view(), view);
    EXPECT_EQ(screen->loads, 1);
    EXPECT_EQ(view->frame(), UIScreen::mainScreen()->bounds());
    EXPECT_EQ(view->nextResponder(), screen) << "a controller's view answers its controller";
    screen->setTitle("详情"_ns);
    EXPECT_EQ(dv::str(screen->navigationItem()->title()), "详情");
}

TEST_F(ViewControllerTest, ARootControllerAppearsWithItsWindowAndDisappearsWhenReplaced)
{
    auto first = make("A");
    m_window->setRootViewController(first);
    EXPECT_EQ(take(), (Journal {"A:viewDidLoad", "A:viewWillAppear:NO"}));
    m_ui.runUntilIdle();
    EXPECT_EQ(take(), (Journal {"A:viewDidAppear:NO"}));
    EXPECT_EQ(first->view()->window(), m_window);
    EXPECT_EQ(first->view()->frame(), m_window->bounds());

    auto second = make("B");
    m_window->setRootViewController(second);
    m_ui.runUntilIdle();
    EXPECT_EQ(take(), (Journal {"A:viewWillDisappear:NO", "A:viewDidDisappear:NO", "B:viewDidLoad", "B:viewWillAppear:NO", "B:viewDidAppear:NO"}));
    EXPECT_EQ(first->view()->window(), nil);

    // A hidden window's root waits for the window to show.
    auto hidden = alloc<UIWindow>()->init();
    auto third = make("C");
    hidden->setRootViewController(third);
    m_ui.runUntilIdle();
    EXPECT_EQ(take(), (Journal {"C:viewDidLoad"}));
    hidden->makeKeyAndVisible();
    m_ui.runUntilIdle();
    EXPECT_EQ(take(), (Journal {"C:viewWillAppear:NO", "C:viewDidAppear:NO"}));
}

TEST_F(ViewControllerTest, PresentingAndDismissingCallBackInThePlatformsOrder)
{
    auto base = make("A");
    m_window->setRootViewController(base);
    m_ui.runUntilIdle();
    take();

    auto modal = make("M");
    bool presented = false;
    base->presentViewController(modal, true, [&] { presented = true; });
    EXPECT_EQ(take(), (Journal {"M:viewDidLoad", "A:viewWillDisappear:YES", "M:viewWillAppear:YES"}));
    EXPECT_TRUE(modal->isBeingPresented());
    EXPECT_EQ(base->presentedViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), base);
    EXPECT_FALSE(dv::runningAnimations(modal->view()).empty()) << "it comes up from below";
    m_ui.advance(0.2);
    EXPECT_FALSE(presented) << "the transition takes its time on the clock";
    m_ui.advance(0.3);
    EXPECT_TRUE(presented);
    EXPECT_EQ(take(), (Journal {"M:viewDidAppear:YES", "A:viewDidDisappear:YES"}));
    EXPECT_FALSE(modal->isBeingPresented());
    EXPECT_EQ(modal->view()->frame(), m_window->bounds());
    EXPECT_EQ(base->view()->window(), nil) << "a full-screen presentation takes the presenter's view away";
    EXPECT_EQ(dv::topPresentedViewController(m_window), modal);

    bool dismissed = false;
    modal->dismissViewControllerAnimated(true, [&] { dismissed = true; });
    EXPECT_EQ(take(), (Journal {"M:viewWillDisappear:YES", "A:viewWillAppear:YES"}));
    EXPECT_TRUE(modal->isBeingDismissed());
    EXPECT_EQ(base->view()->window(), m_window);
    m_ui.advance(0.5);
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(take(), (Journal {"A:viewDidAppear:YES", "M:viewDidDisappear:YES"}));
    EXPECT_EQ(base->presentedViewController(), nil);
    EXPECT_EQ(modal->presentingViewController(), nil);
    EXPECT_EQ(modal->view()->window(), nil);

    // Without animation everything happens at once.
    base->presentViewController(modal, false, [&] { presented = false; });
    EXPECT_FALSE(presented);
    EXPECT_EQ(take(), (Journal {"A:viewWillDisappear:NO", "M:viewWillAppear:NO", "M:viewDidAppear:NO", "A:viewDidDisappear:NO"}));
    base->dismissViewControllerAnimated(false);
    EXPECT_EQ(take(), (Journal {"M:viewWillDisappear:NO", "A:viewWillAppear:NO", "A:viewDidAppear:NO", "M:viewDidDisappear:NO"}));
}

TEST_F(ViewControllerTest, OverFullScreenLeavesThePresenterInPlaceAndSilent)
{
    auto base = make("A");
    m_window->setRootViewController(base);
    m_ui.runUntilIdle();
    take();
    auto overlay = make("O");
    overlay->setModalPresentationStyle(UIModalPresentationOverFullScreen);
    overlay->setModalTransitionStyle(UIModalTransitionStyleCrossDissolve);
    base->presentViewController(overlay, true);
    EXPECT_EQ(overlay->view()->alpha(), 1) << "values take their end state at once";
    m_ui.advance(0.5);
    EXPECT_EQ(take(), (Journal {"O:viewDidLoad", "O:viewWillAppear:YES", "O:viewDidAppear:YES"}));
    EXPECT_EQ(base->view()->window(), m_window);
    overlay->dismissViewControllerAnimated(false);
    EXPECT_EQ(take(), (Journal {"O:viewWillDisappear:NO", "O:viewDidDisappear:NO"}));
}

TEST_F(ViewControllerTest, OnePresentationAtATimeAndOnlyFromAShownController)
{
    dv::LogCapture log;
    auto base = make("A");
    auto first = make("B"), second = make("C");
    base->presentViewController(first, false);
    EXPECT_EQ(base->presentedViewController(), nil) << "not in a window";
    EXPECT_TRUE(log.contains("whose view is not in the window hierarchy"));

    m_window->setRootViewController(base);
    m_ui.runUntilIdle();
    base->presentViewController(first, true);
    base->presentViewController(second, false);
    EXPECT_TRUE(log.contains("while a presentation is in progress"));
    m_ui.advance(0.5);
    base->presentViewController(second, false);
    EXPECT_TRUE(log.contains("which is already presenting"));
    EXPECT_EQ(base->presentedViewController(), first);

    // The presented controller presents in turn; dismissing from the bottom takes both away.
    first->presentViewController(second, false);
    EXPECT_EQ(dv::topPresentedViewController(m_window), second);
    take();
    base->dismissViewControllerAnimated(false);
    EXPECT_EQ(take(), (Journal {"C:viewWillDisappear:NO", "A:viewWillAppear:NO", "A:viewDidAppear:NO", "C:viewDidDisappear:NO"}));
    EXPECT_EQ(dv::topPresentedViewController(m_window), base);
    EXPECT_EQ(second->view()->window(), nil);
    EXPECT_EQ(first->view()->window(), nil);

    EXPECT_THROW(base->presentViewController(base, false), dv::RaisedException);
}

TEST_F(ViewControllerTest, ChildrenInsideTheirParentsViewHearItsAppearanceAndMemoryWarningsReachEveryone)
{
    auto parent = make("P");
    auto child = make("C");
    parent->addChildViewController(child);
    parent->view()->addSubview(child->view());
    child->didMoveToParentViewController(parent);
    EXPECT_EQ(child->parentViewController(), parent);
    EXPECT_EQ(parent->childViewControllers()->count(), 1u);
    take();
    m_window->setRootViewController(parent);
    m_ui.runUntilIdle();
    EXPECT_EQ(take(), (Journal {"P:viewWillAppear:NO", "C:viewWillAppear:NO", "P:viewDidAppear:NO", "C:viewDidAppear:NO"}));

    m_app->simulateMemoryWarning();
    EXPECT_EQ(parent->memoryWarnings, 1);
    EXPECT_EQ(child->memoryWarnings, 1);

    child->willMoveToParentViewController(nil);
    child->view()->removeFromSuperview();
    child->removeFromParentViewController();
    EXPECT_EQ(child->parentViewController(), nil);
    EXPECT_EQ(parent->childViewControllers()->count(), 0u);
}

TEST_F(ViewControllerTest, LayoutGuidesMeasureTheBarsAboveTheView)
{
    auto screen = make("A");
    m_window->setRootViewController(screen);
    m_ui.runUntilIdle();
    EXPECT_EQ(screen->topLayoutGuide()->length(), 20) << "the status bar over a full-screen view";
    EXPECT_EQ(screen->bottomLayoutGuide()->length(), 0);
}
