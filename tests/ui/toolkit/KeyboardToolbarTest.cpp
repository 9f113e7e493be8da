// The toolbar over the keyboard: its items and arrow states for a group of fields and for a lone
// field, previous/next/done moving the focus by subview order, tag and position (and through a
// whole table), fields that refuse, the fields' own follow-up actions, its look and title, the
// application's own accessory views left alone, and the six layouts built on any field.
#include "KeyboardTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSInvocation.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIFont.h"
#include "ui/toolkit/keyboard/KBTextView.h"
#include "ui/toolkit/keyboard/KBTitleBarButtonItem.h"
#include "ui/toolkit/keyboard/KBToolbar.h"
#include "ui/toolkit/keyboard/UIViewKBToolbarAddition.h"

#include <span>
#include <string>
#include <vector>

using namespace dv::test;

// Notes the follow-up actions the fields name, with the placeholder of the field each came with.
class FieldListener : public NSObject {
    DV_CLASS(FieldListener, NSObject)

    FieldListener() = default;
    std::vector<std::string> calls;

    void note(const char* what, const std::span<const id>& args)
    {
        auto field = args.empty() ? nil : dv::as<UITextField>(args[0]);
        calls.push_back(std::string(what) + ":" + (field && field->placeholder() ? field->placeholder()->utf8() : "?"));
    }
};

DV_DEFINE_CLASS_WITH(FieldListener, b)
{
    for (const char* name : { "previous:", "next:", "done:", "left:", "right:", "cancel:" }) {
        b.method(name, "v24@0:8@16", [name](FieldListener& listener, std::span<const id> args) {
            listener.note(name, args);
            return nil;
        });
    }
}

namespace {

// Answers NO to the questions it is set up to refuse.
class RefusingDelegate : public NSObject, public UITextFieldDelegate {
public:
    bool refuseBegin = false;
    bool refuseEnd = false;
    std::optional<bool> textFieldShouldBeginEditing(const Ref<UITextField>&) override { return !refuseBegin; }
    std::optional<bool> textFieldShouldEndEditing(const Ref<UITextField>&) override { return !refuseEnd; }
};

// A table of rows that each hold two fields side by side; the left one is tagged high, the
// right one low, so that tag order and position order differ.
class FormTable : public NSObject, public UITableViewDataSource {
public:
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) override { return 3; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(
        const Ref<UITableView>&, const Ref<NSIndexPath>& indexPath) override
    {
        auto cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, nil);
        const NSInteger row = indexPath->row();
        for (int column = 0; column < 2; ++column) {
            auto field = alloc<UITextField>()->initWithFrame(CGRectMake(10 + 180 * column, 5, 170, 34));
            field->setTag(100 - row * 2 - column);
            field->setPlaceholder(NSString::stringWithFormat("r%ldc%d", long(row), column));
            cell->contentView()->addSubview(field);
        }
        return cell;
    }
};

std::string placeholderOf(const Ref<UIResponder>& responder)
{
    auto field = dv::as<UITextField>(responder);
    return field && field->placeholder() ? field->placeholder()->utf8() : "";
}

class KeyboardToolbarTest : public KeyboardTest {
protected:
    Ref<KBToolbar> toolbar() const { return dv::as<KBToolbar>(m_ui.keyboardAccessoryView()); }
    Ref<UIBarButtonItem> item(NSUInteger index) const
    {
        auto bar = toolbar();
        auto items = bar ? bar->items() : nil;
        return items && index < items->count() ? dv::as<UIBarButtonItem>(items->objectAtIndex(index)) : nil;
    }
    Ref<UIBarButtonItem> previous() const { return item(0); }
    Ref<UIBarButtonItem> next() const { return item(2); }
    Ref<UIBarButtonItem> done() const
    {
        auto bar = toolbar();
        return bar && bar->items() ? dv::as<UIBarButtonItem>(bar->items()->items().back()) : nil;
    }
    bool press(const Ref<UIBarButtonItem>& button)
    {
        const bool tapped = button && m_ui.tap(button);
        settle();
        return tapped;
    }
    std::string focused() const { return placeholderOf(m_ui.firstResponder()); }

    Ref<FieldListener> m_listener = alloc<FieldListener>();
};

} // namespace

TEST_F(KeyboardToolbarTest, GroupOfFieldsGetsPreviousNextDoneWithArrowStates)
{
    auto first = addField(CGRectMake(20, 100, 300, 30), nil, 0, "姓名");
    auto second = addField(CGRectMake(20, 150, 300, 30), nil, 0, "电话");
    auto third = addField(CGRectMake(20, 200, 300, 30), nil, 0, "地址");
    ASSERT_TRUE(focus(first));

    auto bar = toolbar();
    ASSERT_NE(bar, nil);
    EXPECT_EQ(bar->tag(), -1005);
    auto items = bar->items();
    ASSERT_EQ(items->count(), 6u);
    for (auto& each : items->items())
        EXPECT_NE(dv::as<KBBarButtonItem>(each), nil);
    EXPECT_NE(previous()->image(), nil);
    EXPECT_DOUBLE_EQ(item(1)->width(), 23);
    EXPECT_EQ(item(1)->systemItem(), UIBarButtonSystemItemFixedSpace);
    EXPECT_NE(next()->image(), nil);
    auto title = dv::as<KBTitleBarButtonItem>(item(3));
    ASSERT_NE(title, nil);
    EXPECT_EQ(title->title()->utf8(), "姓名");
    EXPECT_FALSE(title->isEnabled());
    EXPECT_DOUBLE_EQ(title->customView()->frame().size.width, 375 - 72.5 - 50 - 16);
    EXPECT_EQ(item(4)->systemItem(), UIBarButtonSystemItemFlexibleSpace);
    EXPECT_EQ(done()->systemItem(), UIBarButtonSystemItemDone);
    EXPECT_NE(m_ui.viewWithTitle("完成"), nil);
    EXPECT_FALSE(previous()->isEnabled());
    EXPECT_TRUE(next()->isEnabled());
    // Every field of the group has its own toolbar already.
    EXPECT_EQ(second->inputAccessoryView()->tag(), -1005);
    EXPECT_NE(second->inputAccessoryView(), first->inputAccessoryView());

    // A disabled arrow does nothing.
    press(previous());
    EXPECT_EQ(focused(), "姓名");
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(focused(), "电话");
    EXPECT_TRUE(previous()->isEnabled());
    EXPECT_TRUE(next()->isEnabled());
    EXPECT_EQ(dv::as<KBTitleBarButtonItem>(item(3))->title()->utf8(), "电话");
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(m_ui.firstResponder(), third);
    EXPECT_TRUE(previous()->isEnabled());
    EXPECT_FALSE(next()->isEnabled());
    ASSERT_TRUE(press(previous()));
    EXPECT_EQ(m_ui.firstResponder(), second);

    ASSERT_TRUE(press(done()));
    EXPECT_EQ(m_ui.firstResponder(), nil);
    EXPECT_FALSE(m_ui.isKeyboardVisible());
}

TEST_F(KeyboardToolbarTest, NextFollowsTagOrPositionWhenAsked)
{
    // Subview order c, a, b; tags 3, 1, 2; positions: b top, then a and c side by side.
    addField(CGRectMake(200, 200, 150, 30), nil, 3, "c");
    auto a = addField(CGRectMake(20, 200, 150, 30), nil, 1, "a");
    addField(CGRectMake(20, 100, 300, 30), nil, 2, "b");

    ASSERT_TRUE(focus(a));
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(focused(), "b");
    EXPECT_FALSE(next()->isEnabled());

    m_manager->setToolbarManageBehaviour(1);
    ASSERT_TRUE(focus(a));
    EXPECT_FALSE(previous()->isEnabled());
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(focused(), "b");
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(focused(), "c");

    m_manager->setToolbarManageBehaviour(2);
    ASSERT_TRUE(press(previous()));
    EXPECT_EQ(focused(), "a");
    ASSERT_TRUE(press(previous()));
    EXPECT_EQ(focused(), "b");
    EXPECT_FALSE(m_manager->canGoPrevious());

    // An order the manager does not know: no group, no moves.
    m_manager->setToolbarManageBehaviour(7);
    EXPECT_EQ(m_manager->responderViews(), nil);
    EXPECT_FALSE(m_manager->goNext());
    EXPECT_EQ(focused(), "b");
}

TEST_F(KeyboardToolbarTest, FieldsOfATableGoByPositionThroughTheWholeTable)
{
    auto table = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, 375, 400), UITableViewStylePlain);
    auto source = std::make_shared<FormTable>();
    table->setDataSource(source);
    m_screen->view()->addSubview(table);
    m_ui.runUntilIdle();
    m_manager->setToolbarManageBehaviour(1); // tags run the other way: not used inside a table

    ASSERT_TRUE(focus(m_ui.viewWithPlaceholder("r0c0")));
    std::vector<std::string> visited { focused() };
    while (next() && next()->isEnabled() && press(next()))
        visited.push_back(focused());
    EXPECT_EQ(visited, (std::vector<std::string> { "r0c0", "r0c1", "r1c0", "r1c1", "r2c0", "r2c1" }));
}

TEST_F(KeyboardToolbarTest, LoneFieldsShareOneDoneToolbar)
{
    auto name = addField(CGRectMake(20, 100, 300, 30), nil, 0, "请输入信聊号");
    ASSERT_TRUE(focus(name));
    auto bar = toolbar();
    ASSERT_NE(bar, nil);
    EXPECT_EQ(bar->tag(), -1002);
    ASSERT_EQ(bar->items()->count(), 3u);
    auto title = dv::as<KBTitleBarButtonItem>(item(0));
    ASSERT_NE(title, nil);
    EXPECT_EQ(title->title()->utf8(), "请输入信聊号");
    EXPECT_DOUBLE_EQ(title->customView()->frame().size.width, 375 - 64 - 12);
    EXPECT_EQ(done()->systemItem(), UIBarButtonSystemItemDone);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();

    // Another screen's lone field gets the very same toolbar, titled for it.
    auto other = alloc<UIViewController>()->init();
    m_window->setRootViewController(other);
    m_screen = other;
    auto city = addField(CGRectMake(20, 100, 300, 30), nil, 0, "城市");
    ASSERT_TRUE(focus(city));
    EXPECT_EQ(toolbar(), bar);
    EXPECT_EQ(bar->title()->utf8(), "城市");

    // Joined by a second field, it trades the done toolbar for previous/next; alone again, back.
    ASSERT_TRUE(m_ui.resignFocus());
    auto second = addField(CGRectMake(20, 150, 300, 30), nil, 0, "区县");
    ASSERT_TRUE(focus(city));
    EXPECT_EQ(toolbar()->tag(), -1005);
    ASSERT_TRUE(m_ui.resignFocus());
    second->removeFromSuperview();
    ASSERT_TRUE(focus(city));
    EXPECT_EQ(toolbar(), bar);
}

TEST_F(KeyboardToolbarTest, ApplicationsOwnAccessoryViewsAreLeftAlone)
{
    auto own = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 375, 30));
    auto first = addField(CGRectMake(20, 100, 300, 30), nil, 0, "一");
    first->setInputAccessoryView(own);
    auto second = addField(CGRectMake(20, 150, 300, 30), nil, 0, "二");
    ASSERT_TRUE(focus(first));
    EXPECT_EQ(m_ui.keyboardAccessoryView(), own);
    EXPECT_EQ(second->inputAccessoryView()->tag(), -1005);

    // Switching the automatic toolbar off takes only the manager's own toolbars away.
    m_manager->setEnableAutoToolbar(false);
    EXPECT_EQ(first->inputAccessoryView(), own);
    EXPECT_EQ(second->inputAccessoryView(), nil);
    m_manager->setEnableAutoToolbar(true);
    EXPECT_EQ(second->inputAccessoryView()->tag(), -1005);

    // Screens of a class without the toolbar lose it when a field begins editing.
    m_manager->disableToolbarInViewControllerClass(UIViewController::class_());
    ASSERT_TRUE(focus(second));
    EXPECT_EQ(second->inputAccessoryView(), nil);
    EXPECT_EQ(first->inputAccessoryView(), own);
}

TEST_F(KeyboardToolbarTest, RefusingFieldsKeepTheFocusAndRunNoFollowUp)
{
    auto first = addField(CGRectMake(20, 100, 300, 30), nil, 0, "一");
    auto second = addField(CGRectMake(20, 150, 300, 30), nil, 0, "二");
    setCustomNextTarget(first, m_listener, "next:");
    setCustomDoneTarget(first, m_listener, "done:");
    setCustomPreviousTarget(second, m_listener, "previous:");
    auto delegate = std::make_shared<RefusingDelegate>();

    // The next field will not take the focus.
    second->setDelegate(delegate);
    delegate->refuseBegin = true;
    ASSERT_TRUE(focus(first));
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(m_ui.firstResponder(), first);
    EXPECT_TRUE(m_listener->calls.empty());

    // The field will not give the focus up: done leaves it where it is.
    second->setDelegate(nil);
    first->setDelegate(delegate);
    delegate->refuseBegin = false;
    delegate->refuseEnd = true;
    ASSERT_TRUE(press(done()));
    EXPECT_EQ(m_ui.firstResponder(), first);
    EXPECT_TRUE(m_ui.isKeyboardVisible());
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(m_ui.firstResponder(), first);
    EXPECT_TRUE(m_listener->calls.empty());

    // Once it lets go, the follow-up actions run after the manager's own step, with the field
    // the step started from.
    delegate->refuseEnd = false;
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(m_ui.firstResponder(), second);
    ASSERT_TRUE(press(previous()));
    EXPECT_EQ(m_ui.firstResponder(), first);
    ASSERT_TRUE(press(done()));
    EXPECT_EQ(m_ui.firstResponder(), nil);
    EXPECT_EQ(m_listener->calls, (std::vector<std::string> { "next::一", "previous::二", "done::一" }));
}

TEST_F(KeyboardToolbarTest, FollowUpNeedsATargetThatCanBeCalled)
{
    auto field = addField(CGRectMake(20, 100, 300, 30), nil, 0, "一");
    setCustomDoneTarget(field, m_listener, "noSuchMethod:");
    EXPECT_EQ(doneInvocation(field), nil);
    setCustomDoneTarget(field, nil, "done:");
    EXPECT_EQ(doneInvocation(field), nil);
    setCustomDoneTarget(field, m_listener, "done:");
    auto invocation = doneInvocation(field);
    ASSERT_NE(invocation, nil);
    EXPECT_EQ(invocation->target(), m_listener);
    EXPECT_EQ(invocation->argumentAtIndex(2), field);
    // It does not keep its target alive.
    Weak<FieldListener> weak = m_listener;
    m_listener = nil;
    EXPECT_EQ(weak.lock(), nil);
    EXPECT_EQ(invocation->invoke(), nil);
}

TEST_F(KeyboardToolbarTest, TitleFollowsPlaceholderSettingsAndHiddenTitle)
{
    auto first = addField(CGRectMake(20, 100, 300, 30), nil, 0, "一");
    auto second = addField(CGRectMake(20, 150, 300, 30), nil, 0, "二");
    setShouldHideTitle(second, true);
    m_manager->setPlaceholderFont(UIFont::systemFontOfSize(15));
    ASSERT_TRUE(focus(first));
    EXPECT_EQ(toolbar()->title()->utf8(), "一");
    EXPECT_EQ(toolbar()->titleFont()->pointSize(), 15);
    EXPECT_EQ(dv::as<KBTitleBarButtonItem>(item(3))->font()->pointSize(), 15);
    // Built with no title, and the manager puts none in.
    auto hidden = dv::as<KBToolbar>(second->inputAccessoryView());
    EXPECT_EQ(hidden->title(), nil);
    EXPECT_EQ(dv::as<KBTitleBarButtonItem>(hidden->items()->objectAtIndex(3))->title(), nil);
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(toolbar()->title(), nil);

    // Hiding the title of a field that has a toolbar empties it; showing it puts the
    // placeholder back.
    setShouldHideTitle(first, true);
    EXPECT_EQ(dv::as<KBToolbar>(first->inputAccessoryView())->title(), nil);
    setShouldHideTitle(first, false);
    EXPECT_EQ(dv::as<KBToolbar>(first->inputAccessoryView())->title()->utf8(), "一");

    m_manager->setShouldShowTextFieldPlaceholder(false);
    ASSERT_TRUE(press(previous()));
    EXPECT_EQ(toolbar()->title(), nil);
}

TEST_F(KeyboardToolbarTest, TintFromTheFieldTheSettingOrBlack)
{
    auto field = addField(CGRectMake(20, 100, 300, 30), nil, 0, "一");
    addField(CGRectMake(20, 150, 300, 30), nil, 0, "二");
    field->setTintColor(UIColor::redColor());
    ASSERT_TRUE(focus(field));
    EXPECT_TRUE(toolbar()->tintColor()->isEqual(UIColor::blackColor()));
    EXPECT_EQ(toolbar()->barStyle(), UIBarStyleDefault);
    EXPECT_TRUE(done()->tintColor()->isEqual(UIColor::blackColor()));
    ASSERT_TRUE(m_ui.resignFocus());

    m_manager->setToolbarTintColor(UIColor::blueColor());
    ASSERT_TRUE(focus(field));
    EXPECT_TRUE(toolbar()->tintColor()->isEqual(UIColor::blueColor()));
    ASSERT_TRUE(m_ui.resignFocus());

    m_manager->setShouldToolbarUsesTextFieldTintColor(true);
    ASSERT_TRUE(focus(field));
    EXPECT_TRUE(toolbar()->tintColor()->isEqual(UIColor::redColor()));
    EXPECT_TRUE(next()->tintColor()->isEqual(UIColor::redColor()));
}

TEST_F(KeyboardToolbarTest, ButtonsClickWhenAsked)
{
    auto first = addField(CGRectMake(20, 100, 300, 30), nil, 0, "一");
    addField(CGRectMake(20, 150, 300, 30), nil, 0, "二");
    ASSERT_TRUE(focus(first));
    const auto before = dv::inputClickCount();
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(dv::inputClickCount(), before);
    m_manager->setShouldPlayInputClicks(true);
    ASSERT_TRUE(press(previous()));
    ASSERT_TRUE(press(done()));
    EXPECT_EQ(dv::inputClickCount(), before + 2);
}

TEST_F(KeyboardToolbarTest, TextViewsAndFieldsFormOneGroup)
{
    auto field = addField(CGRectMake(20, 100, 300, 30), nil, 0, "标题");
    auto textView = addTextView(CGRectMake(20, 150, 300, 100));
    ASSERT_TRUE(focus(field));
    ASSERT_TRUE(press(next()));
    EXPECT_EQ(m_ui.firstResponder(), textView);
    EXPECT_EQ(toolbar()->tag(), -1005);
    EXPECT_FALSE(next()->isEnabled());
    // A text view has no placeholder of its own: no title.
    EXPECT_EQ(toolbar()->title(), nil);
    ASSERT_TRUE(press(previous()));
    EXPECT_EQ(m_ui.firstResponder(), field);
}

TEST_F(KeyboardToolbarTest, APlaceholderTextViewGivesTheToolbarItsPlaceholder)
{
    auto textView = alloc<KBTextView>();
    textView->initWithFrame(CGRectMake(20, 150, 300, 100));
    textView->setPlaceholder("简介"_ns);
    m_screen->view()->addSubview(textView);
    m_ui.runUntilIdle();
    ASSERT_TRUE(focus(textView));
    ASSERT_NE(toolbar(), nil);
    ASSERT_NE(toolbar()->title(), nil);
    EXPECT_EQ(toolbar()->title()->utf8(), "简介");
}

TEST_F(KeyboardToolbarTest, SixLayoutsOnAnyField)
{
    m_manager->setEnableAutoToolbar(false);
    auto field = addField(CGRectMake(20, 100, 300, 30), nil, 0, "提示");
    auto titles = [&]() {
        std::vector<std::string> texts;
        auto bar = dv::as<KBToolbar>(field->inputAccessoryView());
        const auto items = bar->items();
        for (auto& each : items->items()) {
            auto barItem = dv::as<UIBarButtonItem>(each);
            if (dv::as<KBTitleBarButtonItem>(barItem))
                texts.push_back("[" + (barItem->title() ? barItem->title()->utf8() : std::string()) + "]");
            else if (barItem->image())
                texts.push_back("arrow");
            else if (barItem->isSpace())
                texts.push_back("space");
            else
                texts.push_back(barItem->title() ? barItem->title()->utf8() : "system");
        }
        return texts;
    };
    using Texts = std::vector<std::string>;

    addRightButtonOnKeyboardWithText(field, "保存"_ns, m_listener, "right:", "标题"_ns);
    EXPECT_EQ(titles(), (Texts { "[标题]", "space", "保存" }));
    EXPECT_EQ(dv::as<KBToolbar>(field->inputAccessoryView())->items()->count(), 3u);
    addDoneOnKeyboardWithTarget(field, m_listener, "done:", true);
    EXPECT_EQ(titles(), (Texts { "[提示]", "space", "system" }));
    addLeftRightOnKeyboardWithTarget(field, m_listener, "左"_ns, "右"_ns, "left:", "right:");
    EXPECT_EQ(titles(), (Texts { "左", "[]", "space", "右" }));
    addCancelDoneOnKeyboardWithTarget(field, m_listener, "cancel:", "done:", false);
    EXPECT_EQ(titles(), (Texts { "system", "[]", "space", "system" }));
    addPreviousNextRightOnKeyboardWithTarget(field, m_listener, "发送"_ns, "previous:", "next:", "right:", "标题"_ns);
    EXPECT_EQ(titles(), (Texts { "arrow", "space", "arrow", "[标题]", "space", "发送" }));
    addPreviousNextDoneOnKeyboardWithTarget(field, m_listener, "previous:", "next:", "done:", true);
    EXPECT_EQ(titles(), (Texts { "arrow", "space", "arrow", "[提示]", "space", "system" }));

    // The buttons send their actions to the target with the item as sender.
    addLeftRightOnKeyboardWithTarget(field, m_listener, "左"_ns, "右"_ns, "left:", "right:", "标题"_ns);
    ASSERT_TRUE(focus(field));
    ASSERT_TRUE(press(item(3)));
    ASSERT_EQ(m_listener->calls.size(), 1u);
    EXPECT_EQ(m_listener->calls[0].rfind("right:", 0), 0u);

    // A view that takes no accessory view gets none; a dark keyboard gets a black bar.
    auto label = alloc<UILabel>()->initWithFrame(CGRectMake(0, 0, 10, 10));
    addDoneOnKeyboardWithTarget(label, m_listener, "done:");
    EXPECT_EQ(label->inputAccessoryView(), nil);
    field->setKeyboardAppearance(UIKeyboardAppearanceDark);
    addDoneOnKeyboardWithTarget(field, m_listener, "done:");
    EXPECT_EQ(dv::as<KBToolbar>(field->inputAccessoryView())->barStyle(), UIBarStyleBlack);
}
