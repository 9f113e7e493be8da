// The process entry itself (applicationMain, over the platform's UIApplicationMain) in an
// executable that has installed the directory's screens: the home screen it shows opens a
// directory screen from its tile, as in the application.
#include "DirectoryTestSupport.h"

#include "app/directory/prospects/VQCategoryResourcesNewVC.h"
#include "app/shell/ApplicationEntry.h"
#include "app/shell/home/VQMainButton.h"
#include "app/shell/start/AppDelegate.h"
#include "platform/base/Scope.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UICollectionView.h"

using namespace dv::test;

namespace {

class ApplicationEntryTest : public DirectoryTest {
protected:
    Ref<VQMainButton> tile(const std::string& title) const
    {
        for (const auto& candidate : m_ui.findAll<VQMainButton>())
            if (m_ui.textOf(candidate->titleLabel()) == title)
                return candidate;
        return nil;
    }
};

TEST_F(ApplicationEntryTest, TheProcessEntryOpensADirectoryScreenFromItsHomeTile)
{
    // The process starts anew, through its entry: the earlier start leaves nothing behind.
    m_ui.runUntilIdle();
    m_navigation = nil;
    m_window = nil;
    m_app = nil;
    UIApplication::resetSharedApplication();

    bool opened = false;
    // The steps run inside the entry's own run loop, which they stop once done. (A run-loop block
    // rather than one of the main queue: that queue is serial, and the replies the steps wait for
    // come through it.)
    NSRunLoop::mainRunLoop()->performBlock([&] {
        dv::ScopeExit stop([] { NSRunLoop::mainRunLoop()->stop(); });
        // As a person would: once the home screen has its tiles and its loading overlay is gone.
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return tile("行业客源") != nil && !hasOverlay("正在加载", Fading::No); }));
        m_ui.advance(1);
        auto delegate = UIApplication::sharedApplication()->delegate();
        ASSERT_TRUE(delegate && delegate->window());
        EXPECT_TRUE(dv::as<AppDelegate>(std::dynamic_pointer_cast<NSObject>(delegate))) << "made from its class name";
        ASSERT_TRUE(m_ui.tap(tile("行业客源")));
        m_ui.advance(0.4);
        auto grid = dv::as<VQCategoryResourcesNewVC>(m_ui.topViewController());
        ASSERT_TRUE(grid);
        EXPECT_EQ(m_ui.navigationTitle(), "行业客源");
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return grid->collView()->numberOfItemsInSection(0) > 0; }));
        opened = true;
    });
    EXPECT_EQ(dv::app::applicationMain(0, nullptr), 0);
    EXPECT_TRUE(opened);
}

} // namespace
