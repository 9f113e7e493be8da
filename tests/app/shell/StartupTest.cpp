// Start-up through the application entry, against the local server.
#include "ShellTestSupport.h"

#include "app/shell/ApplicationEntry.h"
#include "app/shell/start/AppDelegate.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UINavigationController.h"

using namespace dv::test;

namespace {

class StartupTest : public ShellTest { };

TEST_F(StartupTest, LaunchBuildsTheWhiteWindowWithANavigationRoot)
{
    auto app = dv::app::startApplication();
    m_ui.runUntilIdle();
    auto delegate = std::dynamic_pointer_cast<AppDelegate>(app->delegate());
    ASSERT_TRUE(delegate);
    auto window = delegate->window();
    ASSERT_TRUE(window);
    EXPECT_EQ(app->keyWindow(), window);
    EXPECT_TRUE(dv::as<UINavigationController>(window->rootViewController()));
    EXPECT_TRUE(window->backgroundColor()->isEqual(UIColor::whiteColor()));
    EXPECT_TRUE(CGRectEqualToRect(window->frame(), UIScreen::mainScreen()->bounds()));
}

} // namespace
