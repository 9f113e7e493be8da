#include "InformationTestSupport.h"

#include "app/shell/about/VQAboutvqViewController.h"
#include "app/shell/home/VQMainButton.h"
#include "platform/base/NSIndexPath.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIWebView.h"

namespace dv::test {

void InformationTest::SetUp()
{
    ApplicationTest::SetUp();
    m_ui.recordWebLoads();
}

std::string InformationTest::base() const
{
    return m_server->baseURL();
}

Ref<UIViewController> InformationTest::tapTile(std::string_view title)
{
    for (const auto& tile : tiles()) {
        if (dv::str(tile->titleLabel()->text()) != title)
            continue;
        EXPECT_TRUE(m_ui.tap(tile->btn())) << title;
        m_ui.advance(0.5);
        return m_ui.topViewController();
    }
    ADD_FAILURE() << "no tile " << title;
    return nil;
}

Ref<VQAboutvqViewController> InformationTest::openAbout()
{
    if (!m_server->setHomeCategories({ { 801, "信聊加粉", "1" }, { 802, "行业客源", "12" } }) || !launch())
        return nil;
    auto about = dv::as<VQAboutvqViewController>(tapTile("行业客源"));
    if (!about || !dv::testing::runMainLoopUntil([&] { return aboutTable() != nil; }))
        return nil;
    // The loading overlay fades out on the clock.
    m_ui.advance(1);
    return about;
}

Ref<UITableView> InformationTest::aboutTable() const
{
    auto about = dv::as<VQAboutvqViewController>(m_ui.topViewController());
    if (!about)
        return nil;
    for (const auto& table : m_ui.findAll<UITableView>())
        if (table->isDescendantOfView(about->view()))
            return table;
    return nil;
}

Ref<UIViewController> InformationTest::tapAboutRow(NSInteger section, NSInteger row)
{
    auto table = aboutTable();
    EXPECT_TRUE(table);
    if (!table)
        return nil;
    EXPECT_TRUE(m_ui.tapRow(table, NSIndexPath::indexPathForRow(row, section)));
    m_ui.advance(0.5);
    return m_ui.topViewController();
}

void InformationTest::push(const Ref<UIViewController>& screen)
{
    m_ui.navigationController()->pushViewController(screen, true);
    m_ui.advance(0.5);
}

bool InformationTest::goBack()
{
    auto top = m_ui.topViewController();
    auto item = top ? top->navigationItem()->leftBarButtonItem() : nil;
    if (!item || !m_ui.tap(item))
        return false;
    m_ui.advance(0.5);
    return true;
}

Ref<UIWebView> InformationTest::loadedWebView()
{
    auto top = m_ui.topViewController();
    if (!top)
        return nil;
    for (const auto& web : m_ui.findAll<UIWebView>(true)) {
        if (!web->isDescendantOfView(top->view()))
            continue;
        EXPECT_TRUE(m_ui.waitForWebView(web));
        m_ui.runUntilIdle();
        return web;
    }
    return nil;
}

dv::testing::UIDriver::WebLoad InformationTest::lastLoad() const
{
    auto loads = m_ui.webLoads();
    return loads.empty() ? dv::testing::UIDriver::WebLoad {} : loads.back();
}

} // namespace dv::test
