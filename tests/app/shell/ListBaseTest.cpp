// The list base screen and the tap that ends editing, pushed on the application's navigation
// controller and used through the driver: ten empty rows, refresh and load-more hooks reached by
// real drags of a subclass's refresh controls, and the keyboard closed by a tap on the view.
#include "InformationTestSupport.h"

#include "app/shell/list/QPAllController.h"
#include "app/shell/list/UIViewControllerDismissKeyboard.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSLog.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UITextField.h"
#include "ui/toolkit/keyboard/KBKeyboardManager.h"
#include "ui/toolkit/refresh/RFRefreshAutoNormalFooter.h"
#include "ui/toolkit/refresh/RFRefreshNormalHeader.h"
#include "ui/toolkit/refresh/UIScrollViewRFRefresh.h"

using namespace dv::test;

// A list as a subclass makes one: refresh controls that call the base's hooks, which note the load
// and end it.
class RefreshingList : public QPAllController {
    DV_CLASS(RefreshingList, QPAllController)

    RefreshingList() = default;
    int refreshes = 0;
    int loads = 0;

    void viewDidLoad() override
    {
        QPAllController::viewDidLoad();
        setRf_header(mytableView(), RFRefreshNormalHeader::headerWithRefreshingTarget(self(), "xiaLaSuaXin"));
        setRf_footer(mytableView(), RFRefreshAutoNormalFooter::footerWithRefreshingTarget(self(), "shangLaSuaXin"));
    }
    void xiaLaSuaXin() override
    {
        QPAllController::xiaLaSuaXin();
        ++refreshes;
        setToprefresh(true);
        setPage(0);
        rf_header(mytableView())->endRefreshing();
    }
    void shangLaSuaXin() override
    {
        QPAllController::shangLaSuaXin();
        ++loads;
        setToprefresh(false);
        setPage(page() + 1);
        rf_footer(mytableView())->endRefreshing();
    }
};

DV_DEFINE_CLASS(RefreshingList)

// A form that closes its keyboard on a tap anywhere: a field and a button.
class TapToCloseForm : public UIViewController {
    DV_CLASS(TapToCloseForm, UIViewController)

    TapToCloseForm() = default;
    int setUps = 1;
    int submits = 0;
    Ref<UITextField> field;

    void viewDidLoad() override
    {
        UIViewController::viewDidLoad();
        view()->setBackgroundColor(UIColor::whiteColor());
        field = alloc<UITextField>()->initWithFrame(CGRectMake(20, 100, 335, 40));
        field->setPlaceholder("请输入信聊号"_ns);
        view()->addSubview(field);
        auto submit = UIButton::buttonWithType(UIButtonTypeSystem);
        submit->setFrame(CGRectMake(20, 200, 335, 44));
        submit->setTitle("提交"_ns, UIControlStateNormal);
        submit->addTarget(self(), "submit:", UIControlEventTouchUpInside);
        view()->addSubview(submit);
        for (int i = 0; i < setUps; ++i)
            setupForDismissKeyboard(self<TapToCloseForm>());
    }
};

DV_DEFINE_CLASS_WITH(TapToCloseForm, b)
{
    b.method("submit:", "v24@0:8@16", [](TapToCloseForm& form, std::span<const id>) {
        ++form.submits;
        return nil;
    });
}

namespace {

class ListBaseTest : public InformationTest {
protected:
    void SetUp() override
    {
        InformationTest::SetUp();
        ASSERT_TRUE(launch());
        // The application's keyboard manager closes the keyboard on a touch outside as well: keep it
        // out of the way so the tap here is the category's.
        auto keyboard = KBKeyboardManager::sharedManager();
        m_resignedOnTouchOutside = keyboard->shouldResignOnTouchOutside();
        keyboard->setShouldResignOnTouchOutside(false);
    }
    void TearDown() override
    {
        m_ui.resignFocus(true);
        m_ui.advance(0.5);
        KBKeyboardManager::sharedManager()->setShouldResignOnTouchOutside(m_resignedOnTouchOutside);
        InformationTest::TearDown();
    }
    Ref<TapToCloseForm> pushForm(int setUps)
    {
        auto form = alloc<TapToCloseForm>();
        form->init();
        form->setUps = setUps;
        push(form);
        return form;
    }

    // Focuses the form's field, then taps an empty place of the view: YES when the keyboard showed
    // and is gone after the tap.
    bool typeThenTapBeside(const Ref<TapToCloseForm>& form, NSUInteger recognizersWhileTyping)
    {
        if (!m_ui.focus(form->field))
            return false;
        m_ui.advance(0.5);
        const bool shown = m_ui.isKeyboardVisible();
        EXPECT_EQ(recognizerCount(form), recognizersWhileTyping);
        if (!m_ui.tap(CGPointMake(187, 400)))
            return false;
        m_ui.advance(0.5);
        EXPECT_EQ(recognizerCount(form), 0u) << "the recognisers leave with the keyboard";
        return shown && !m_ui.isKeyboardVisible();
    }
    // The recognisers on the form's view (the platform answers nil for none).
    static NSUInteger recognizerCount(const Ref<TapToCloseForm>& form)
    {
        auto recognizers = form->view()->gestureRecognizers();
        return recognizers ? recognizers->count() : 0;
    }

    bool m_resignedOnTouchOutside = false;
};

TEST_F(ListBaseTest, ABareListShowsTenEmptyRowsOf92Points)
{
    auto list = alloc<QPAllController>()->init();
    push(list);
    auto table = list->mytableView();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->style(), UITableViewStylePlain);
    EXPECT_TRUE(CGRectEqualToRect(table->frame(), CGRectMake(0, 0, 375, 667)));
    EXPECT_EQ(table->numberOfSections(), 1);
    EXPECT_EQ(table->numberOfRowsInSection(0), 10);
    for (NSInteger row = 0; row < 10; ++row)
        EXPECT_EQ(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)).size.height, 92) << row;
    EXPECT_EQ(table->contentSize().height, 920) << "an empty footer: no lines below the last row";
    ASSERT_TRUE(table->tableFooterView());
    auto cells = table->visibleCells();
    ASSERT_GT(cells->count(), 0u);
    auto cell = dv::as<UITableViewCell>(cells->objectAtIndex(0));
    EXPECT_EQ(dv::str(cell->reuseIdentifier()), "QKSY1");
    EXPECT_EQ(m_ui.textOf(cell->textLabel()), "");
    ASSERT_TRUE(m_ui.tapRow(table, NSIndexPath::indexPathForRow(9, 0)));
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.topViewController(), std::static_pointer_cast<UIViewController>(list)) << "a row opens nothing";
    EXPECT_FALSE(rf_header(table));
    EXPECT_FALSE(rf_footer(table));
}

TEST_F(ListBaseTest, PullingDownRefreshesAndPullingUpLoadsMore)
{
    dv::LogCapture log;
    auto list = alloc<RefreshingList>();
    list->init();
    push(list);
    auto table = list->mytableView();
    ASSERT_TRUE(table);

    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, -80)));
    m_ui.advance(1);
    EXPECT_EQ(list->refreshes, 1);
    EXPECT_TRUE(list->toprefresh());
    EXPECT_TRUE(log.contains("shang =======la"));
    EXPECT_EQ(list->loads, 0);

    // Down to the last row: the footer comes into view and loads.
    const CGFloat end = table->contentSize().height + table->contentInset().bottom - table->bounds().size.height;
    ASSERT_TRUE(m_ui.dragScrollView(table, CGPointMake(0, end - table->contentOffset().y)));
    m_ui.advance(1);
    EXPECT_EQ(list->loads, 1);
    EXPECT_EQ(list->page(), 1);
    EXPECT_FALSE(list->toprefresh());
    EXPECT_TRUE(log.contains("shang -------la"));
    EXPECT_EQ(list->refreshes, 1);
}

TEST_F(ListBaseTest, ATapOnTheViewEndsEditingWhileTheKeyboardShows)
{
    auto form = pushForm(1);
    ASSERT_TRUE(typeThenTapBeside(form, 1));
    EXPECT_FALSE(form->field->isFirstResponder());

    // Without the keyboard, taps reach the view's controls as usual.
    ASSERT_TRUE(m_ui.tap(m_ui.viewWithTitle("提交")));
    m_ui.runUntilIdle();
    EXPECT_EQ(form->submits, 1);
}

TEST_F(ListBaseTest, SettingUpTwiceWorksTheSameWay)
{
    auto form = pushForm(2);
    ASSERT_TRUE(typeThenTapBeside(form, 2));
}

TEST_F(ListBaseTest, TheObserversDoNotKeepTheScreen)
{
    Weak<TapToCloseForm> weakForm;
    {
        auto form = pushForm(1);
        weakForm = form;
        ASSERT_TRUE(typeThenTapBeside(form, 1));
    }
    ASSERT_TRUE(goBack());
    m_ui.advance(1);
    ASSERT_TRUE(weakForm.expired());

    // The next keyboard, on another screen, finds that screen gone; this one has no tap set up.
    auto other = pushForm(0);
    EXPECT_FALSE(typeThenTapBeside(other, 0));
    EXPECT_TRUE(m_ui.isKeyboardVisible());
}

} // namespace
