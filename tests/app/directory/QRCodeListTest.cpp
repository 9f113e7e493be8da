// The three QR-code lists against the local server, through the driver: each list's first batch
// in sections of five rows, the next-batch button paging on and wrapping, the batch remembered
// across a relaunch (also one outside the list), a button that does nothing until a reply gave a
// count that makes sense, refused and failed batches that keep the one shown, empty lists, a
// tapped row opening its code (also a code the server gave without id or position), and the
// floating button opening the upload form registered under its name.
#include "DirectoryTestSupport.h"

#include "app/directory/lists/QRCodeListController.h"
#include "app/directory/details/QRCodeDetailController.h"
#include "app/shell/models/VQPassiveModel.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSLog.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "tools/devserver/Fault.h"

using namespace dv::test;
using dv::app::QRCodeKind;
using dv::app::QRCodeListController;
using dv::devserver::Fault;
using dv::devserver::FaultKind;

namespace {

struct ListCase {
    const char* className;
    QRCodeKind kind;
    const char* type;
    const char* pageKey;
    const char* detailClass;
    const char* uploadForm;
    const char* title;
};

const ListCase kPublic { "VQAddPublicViewController", QRCodeKind::Public, "11", "PublicPage", "VQPublicDetailViewController",
    "VQPublicAddCodeViewController", "公众号" };
const ListCase kPersonal { "VQPassiveFansVC", QRCodeKind::Personal, "2", "FansPage", "VQFunsDetailViewController",
    "VQUploadQRCodeVC", "个人二维码" };
const ListCase kGroup { "VQAddGroupViewController", QRCodeKind::Group, "3", "GroupPage", "VQGroupDetailViewController",
    "VQGroupAddCodeViewController", "群二维码" };

std::vector<std::string> titlesOf(const std::vector<ServerCode>& codes)
{
    std::vector<std::string> titles;
    for (const auto& code : codes)
        titles.push_back(code.title);
    return titles;
}

class QRCodeListTest : public DirectoryTest {
protected:
    Ref<QRCodeListController> openList(const ListCase& list)
    {
        return dv::as<QRCodeListController>(openScreen(list.className, list.title));
    }

    Ref<UIBarButtonItem> nextBatchButton(const Ref<QRCodeListController>& list) const
    {
        return list->navigationItem()->rightBarButtonItem();
    }

    // The remembered batch as stored, "" when none is.
    std::string storedPage(const char* key) const
    {
        auto value = NSUserDefaults::standardUserDefaults()->stringForKey(NSString::fromUTF8(key));
        return value ? dv::str(value) : std::string();
    }

    std::vector<std::string> pagesAsked(const char* type) const
    {
        std::vector<std::string> pages;
        for (const auto& sent : requestsTo(dv::app::kListCodePath))
            if (sent.field("type") == type)
                pages.push_back(sent.field("page"));
        return pages;
    }

    // The row counts of the table's sections.
    std::vector<NSInteger> sectionSizes(const Ref<QRCodeListController>& list) const
    {
        std::vector<NSInteger> sizes;
        auto table = list->tableView();
        for (NSInteger section = 0; section < table->numberOfSections(); ++section)
            sizes.push_back(table->numberOfRowsInSection(section));
        return sizes;
    }

};

TEST_F(QRCodeListTest, EachListShowsTheFirstBatchOfItsKindInSectionsOfFive)
{
    for (const auto& list : { kPublic, kPersonal, kGroup }) {
        SCOPED_TRACE(list.className);
        clearRequests();
        auto screen = openList(list);
        ASSERT_TRUE(screen);
        EXPECT_EQ(m_ui.navigationTitle(), list.title);
        EXPECT_EQ(pagesAsked(list.type), (std::vector<std::string> { "0" }));
        auto sent = requestsTo(dv::app::kListCodePath);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].fields.size(), 2u) << "only type and page go out";

        auto expected = serverCodes(list.kind, 0);
        ASSERT_EQ(expected.size(), 10u);
        EXPECT_EQ(visibleRowTitles(screen->tableView()), titlesOf(expected));
        EXPECT_EQ(sectionSizes(screen), (std::vector<NSInteger> { 5, 5 }));
        EXPECT_EQ(screen->tableView()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).size.height, 45);
        EXPECT_FALSE(showsText("正在加载"));
        EXPECT_EQ(storedPage(list.pageKey), "") << "opening a list stores nothing";
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeListTest, TheNextBatchButtonPagesOnWrapsAfterTheLastAndRemembersEachBatch)
{
    // 23 group codes in batches of 10: batches 0, 1 and 2 (of three codes), then 0 again.
    auto list = openList(kGroup);
    ASSERT_TRUE(list);
    ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
    EXPECT_EQ(visibleRowTitles(list->tableView()), titlesOf(serverCodes(QRCodeKind::Group, 1)));
    EXPECT_EQ(storedPage("GroupPage"), "1");

    ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
    EXPECT_EQ(visibleRowTitles(list->tableView()), titlesOf(serverCodes(QRCodeKind::Group, 2)));
    EXPECT_EQ(sectionSizes(list), (std::vector<NSInteger> { 3 }));
    EXPECT_EQ(storedPage("GroupPage"), "2");

    ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
    EXPECT_EQ(visibleRowTitles(list->tableView()), titlesOf(serverCodes(QRCodeKind::Group, 0)));
    EXPECT_EQ(storedPage("GroupPage"), "0");
    EXPECT_EQ(pagesAsked("3"), (std::vector<std::string> { "0", "1", "2", "0" }));
    EXPECT_EQ(storedPage("FansPage"), "") << "each list keeps its own batch";
}

TEST_F(QRCodeListTest, TheRememberedBatchComesBackAfterARelaunch)
{
    auto list = openList(kPersonal);
    ASSERT_TRUE(list);
    ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
    ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
    ASSERT_EQ(storedPage("FansPage"), "2");
    list = nil;
    relaunch();
    list = openList(kPersonal);
    ASSERT_TRUE(list);
    EXPECT_EQ(pagesAsked("2"), (std::vector<std::string> { "2" }));
    EXPECT_EQ(visibleRowTitles(list->tableView()), titlesOf(serverCodes(QRCodeKind::Personal, 2)));
    // 30 codes: batch 2 is the last, so the next one is the first again.
    ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
    EXPECT_EQ(storedPage("FansPage"), "0");
}

TEST_F(QRCodeListTest, ARememberedBatchOutsideTheListIsAskedForAndTheNextPressComesBack)
{
    for (const char* stored : { "7", "-1" }) {
        SCOPED_TRACE(stored);
        NSUserDefaults::standardUserDefaults()->setObjectForKey(NSString::fromUTF8(stored), "PublicPage"_ns);
        clearRequests();
        auto list = openList(kPublic);
        ASSERT_TRUE(list);
        EXPECT_EQ(pagesAsked("11"), (std::vector<std::string> { stored }));
        EXPECT_TRUE(visibleRowTitles(list->tableView()).empty());
        EXPECT_EQ(list->tableView()->numberOfSections(), 0);
        // Beyond the last batch the next is the first; before the first, the next is one on.
        ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
        EXPECT_EQ(pagesAsked("11").back(), "0");
        EXPECT_EQ(storedPage("PublicPage"), "0");
        EXPECT_EQ(visibleRowTitles(list->tableView()), titlesOf(serverCodes(QRCodeKind::Public, 0)));
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeListTest, TheButtonDoesNothingUntilAReplyGaveACountThatMakesSense)
{
    struct Case {
        const char* name;
        Fault fault;
        const char* toast; // what the list shows, if anything
    };
    const Case cases[] = {
        { "refused", Fault::refusal(0, "系统维护中"), "系统维护中" },
        { "bad status", Fault::httpError(500), nullptr },
        { "unreadable count and size", Fault::of(FaultKind::WrongTypes), nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_server->setFault(dv::app::kListCodePath, c.fault);
        clearRequests();
        auto list = openList(kGroup);
        ASSERT_TRUE(list);
        if (c.toast) {
            EXPECT_TRUE(showsText(c.toast));
        }
        EXPECT_FALSE(hasOverlay("正在加载"));
        clearToasts();
        ASSERT_TRUE(m_ui.tap(nextBatchButton(list)));
        m_ui.runUntilIdle();
        EXPECT_FALSE(hasOverlay("正在加载"));
        EXPECT_EQ(requestsTo(dv::app::kListCodePath).size(), 1u) << "nothing more is asked";
        EXPECT_EQ(storedPage("GroupPage"), "") << "nothing is remembered";
        m_server->clearFaults();
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeListTest, ARefusedOrFailedBatchKeepsTheOneShownButIsRemembered)
{
    auto list = openList(kGroup);
    ASSERT_TRUE(list);
    const auto first = titlesOf(serverCodes(QRCodeKind::Group, 0));
    ASSERT_EQ(visibleRowTitles(list->tableView()), first);

    m_server->setFault(dv::app::kListCodePath, Fault::refusal(0, "服务器繁忙，请稍后再试"));
    ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
    EXPECT_TRUE(showsText("服务器繁忙，请稍后再试"));
    EXPECT_EQ(visibleRowTitles(list->tableView()), first);
    EXPECT_EQ(storedPage("GroupPage"), "1");
    clearToasts();

    m_server->setFault(dv::app::kListCodePath, Fault::httpError(502));
    ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
    EXPECT_FALSE(showsText("正在加载"));
    EXPECT_EQ(visibleRowTitles(list->tableView()), first);
    EXPECT_EQ(storedPage("GroupPage"), "2");

    // The count of the last good reply still pages: after batch 2 comes batch 0.
    m_server->clearFaults();
    ASSERT_TRUE(tapAndWait(nextBatchButton(list)));
    EXPECT_EQ(pagesAsked("3"), (std::vector<std::string> { "0", "1", "2", "0" }));
    EXPECT_EQ(visibleRowTitles(list->tableView()), first);
}

TEST_F(QRCodeListTest, AnEmptyDirectoryShowsNoRowsAndTheButtonAsksForNothing)
{
    startServer(false);
    for (const auto& list : { kPublic, kPersonal, kGroup }) {
        SCOPED_TRACE(list.className);
        clearRequests();
        auto screen = openList(list);
        ASSERT_TRUE(screen);
        EXPECT_EQ(screen->tableView()->numberOfSections(), 0);
        EXPECT_TRUE(screen->tableView()->visibleCells()->count() == 0);
        EXPECT_EQ(screen->totalCount(), 0);
        ASSERT_TRUE(m_ui.tap(nextBatchButton(screen)));
        m_ui.runUntilIdle();
        EXPECT_FALSE(hasOverlay("正在加载"));
        EXPECT_EQ(requestsTo(dv::app::kListCodePath).size(), 1u);
        EXPECT_EQ(storedPage(list.pageKey), "");
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeListTest, ATappedRowOpensTheDetailOfItsCode)
{
    for (const auto& list : { kPublic, kPersonal, kGroup }) {
        SCOPED_TRACE(list.className);
        auto screen = openList(list);
        ASSERT_TRUE(screen);
        const auto codes = serverCodes(list.kind, 0);
        ASSERT_GE(codes.size(), 6u);
        clearRequests();
        // The first row of the second section shows the sixth code.
        ASSERT_TRUE(tapRowAndWait(screen->tableView(), 0, 1));
        auto detail = dv::as<dv::app::QRCodeDetailController>(m_ui.topViewController());
        ASSERT_TRUE(detail);
        EXPECT_EQ(dv::str(detail->className()), list.detailClass);
        auto sent = requestsTo(dv::app::kCodeDetailPath);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].field("id"), codes[5].qrcodeId);
        EXPECT_EQ(sent[0].field("position"), codes[5].position);
        EXPECT_TRUE(showsText(codes[5].title));
        EXPECT_FALSE(screen->tableView()->indexPathForSelectedRow()) << "the row is deselected";
        ASSERT_TRUE(goBack());
        ASSERT_TRUE(goBack());
    }
}

TEST_F(QRCodeListTest, ACodeWithoutIdOrPositionOpensAPageThatAsksWithEmptyFields)
{
    // Every field of every record comes in a type no model property takes, and four entries are
    // not records at all: rows without titles for the records, nothing for the rest.
    m_server->setFault(dv::app::kListCodePath, Fault::of(FaultKind::WrongTypes));
    auto list = openList(kGroup);
    ASSERT_TRUE(list);
    m_server->clearFaults();
    ASSERT_EQ(list->dataArray()->count(), serverCodes(QRCodeKind::Group, 0).size());
    auto code = dv::as<VQPassiveModel>(list->dataArray()->objectAtIndex(0));
    ASSERT_TRUE(code);
    EXPECT_FALSE(code->qrcodeId());
    EXPECT_FALSE(code->position());

    clearRequests();
    ASSERT_TRUE(tapRowAndWait(list->tableView(), 0, 0));
    auto sent = requestsTo(dv::app::kCodeDetailPath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].has("id"));
    EXPECT_EQ(sent[0].field("id"), "");
    EXPECT_TRUE(sent[0].has("position"));
    EXPECT_EQ(sent[0].field("position"), "");
    // The server's answer is shown, and the page stays empty.
    EXPECT_TRUE(showsText("参数错误"));
    auto detail = dv::as<dv::app::QRCodeDetailController>(m_ui.topViewController());
    ASSERT_TRUE(detail);
    EXPECT_FALSE(detail->tableView());
}

TEST_F(QRCodeListTest, TheFloatingButtonOpensTheUploadFormRegisteredUnderItsName)
{
    for (const auto& list : { kPublic, kPersonal, kGroup }) {
        SCOPED_TRACE(list.className);
        auto screen = openList(list);
        ASSERT_TRUE(screen);
        Ref<UIButton> upload;
        const auto subviews = screen->view()->subviews();
        for (const auto& subview : *subviews)
            if (auto button = dv::as<UIButton>(subview))
                upload = button;
        ASSERT_TRUE(upload);
        const CGRect frame = m_ui.frameInWindow(upload);
        EXPECT_EQ(frame.size.width, 70);
        const auto stack = m_ui.navigationStack().size();

        dv::LogCapture log;
        // The button floats over the list: a drag of the list leaves it where it is.
        ASSERT_TRUE(m_ui.dragScrollView(screen->tableView(), CGPointMake(0, 120)));
        EXPECT_EQ(m_ui.frameInWindow(upload).origin.y, frame.origin.y);
        ASSERT_TRUE(m_ui.tap(upload));
        m_ui.advance(0.4);
        Class form = NSClassFromString(NSString::fromUTF8(list.uploadForm));
        if (form) {
            ASSERT_EQ(m_ui.navigationStack().size(), stack + 1);
            EXPECT_TRUE(m_ui.topViewController()->isKindOfClass(form));
            ASSERT_TRUE(goBack());
        } else {
            EXPECT_EQ(m_ui.navigationStack().size(), stack);
            EXPECT_TRUE(log.contains(list.uploadForm));
        }
        ASSERT_TRUE(goBack());
    }
}

} // namespace
