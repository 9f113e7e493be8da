// The view-tree questions under the keyboard manager: controllers of a view, ancestors by class
// (passing over a table's internal scroll view), which fields can take the focus and in what
// order, the per-view settings and the debugging texts.
#include "ToolkitTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/ui/NSLayoutConstraint.h"
#include "ui/toolkit/keyboard/NSArrayKBSort.h"
#include "ui/toolkit/keyboard/UIViewAdditions.h"
#include "ui/toolkit/keyboard/UIViewKBHierarchy.h"

#include <cfloat>
#include <limits>

using namespace dv::test;

// Stands for the internal scroll view some systems put between a table view and its cells; the
// hierarchy code looks it up by this name.
class UITableViewWrapperView : public UIScrollView {
    DV_CLASS(UITableViewWrapperView, UIScrollView)
    UITableViewWrapperView() = default;
};
DV_DEFINE_CLASS(UITableViewWrapperView)

namespace {

// A view that can take the focus and notes whether it was being asked about it at the time.
class FocusableView : public UIView {
public:
    bool canBecomeFirstResponder() const override
    {
        auto me = std::const_pointer_cast<UIView>(self<UIView>());
        sawAsking = isAskingCanBecomeFirstResponder(me);
        return true;
    }
    mutable bool sawAsking = false;
};

std::vector<Ref<UIView>> views(const Ref<NSArray>& array)
{
    std::vector<Ref<UIView>> result;
    for (auto& item : array->items())
        result.push_back(dv::as<UIView>(item));
    return result;
}

class ResponderNavigationTest : public ToolkitTest {
protected:
    Ref<UITextField> addField(CGRect frame, const Ref<UIView>& parent, NSInteger tag = 0)
    {
        auto field = alloc<UITextField>()->initWithFrame(frame);
        field->setTag(tag);
        parent->addSubview(field);
        return field;
    }
};

} // namespace

TEST_F(ResponderNavigationTest, KeyboardDistanceKeepsSinglePrecisionAndTheNotSetValue)
{
    auto field = addField(CGRectMake(10, 10, 100, 30), m_window);
    EXPECT_EQ(keyboardDistanceFromTextField(field), DBL_MAX);

    setKeyboardDistanceFromTextField(field, -5);
    EXPECT_EQ(keyboardDistanceFromTextField(field), 0.0);
    setKeyboardDistanceFromTextField(field, 10.3);
    EXPECT_EQ(keyboardDistanceFromTextField(field), double(10.3f));
    EXPECT_NE(keyboardDistanceFromTextField(field), 10.3);

    // Giving back the value read from a field that had none must not turn into infinity.
    setKeyboardDistanceFromTextField(field, DBL_MAX);
    EXPECT_EQ(keyboardDistanceFromTextField(field), DBL_MAX);
    setKeyboardDistanceFromTextField(field, 1e39);
    EXPECT_EQ(keyboardDistanceFromTextField(field), DBL_MAX);
    setKeyboardDistanceFromTextField(field, FLT_MAX);
    EXPECT_EQ(keyboardDistanceFromTextField(field), double(FLT_MAX));
}

TEST_F(ResponderNavigationTest, ScrollViewAndControllerSettingsReadBackWhatWasSet)
{
    auto scrollView = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 100, 100));
    EXPECT_FALSE(shouldRestoreScrollViewContentOffset(scrollView));
    setShouldRestoreScrollViewContentOffset(scrollView, true);
    EXPECT_TRUE(shouldRestoreScrollViewContentOffset(scrollView));

    auto controller = alloc<UIViewController>()->init();
    EXPECT_EQ(KBLayoutGuideConstraint(controller), nil);
    auto constraint = NSLayoutConstraint::constraintWithItem(controller->view(), NSLayoutAttributeTop,
        NSLayoutRelationEqual, controller->topLayoutGuide(), NSLayoutAttributeBottom, 1, 20);
    setKBLayoutGuideConstraint(controller, constraint);
    EXPECT_EQ(KBLayoutGuideConstraint(controller), constraint);
}

TEST_F(ResponderNavigationTest, OnlyFieldsAPersonCouldFocusAreResponders)
{
    auto form = addView(CGRectMake(0, 0, 375, 400));
    auto plain = addField(CGRectMake(10, 10, 100, 30), form);
    auto hidden = addField(CGRectMake(10, 50, 100, 30), form);
    hidden->setHidden(true);
    auto transparent = addField(CGRectMake(10, 90, 100, 30), form);
    transparent->setAlpha(0);
    auto disabled = addField(CGRectMake(10, 130, 100, 30), form);
    disabled->setEnabled(false);
    auto untouchable = addField(CGRectMake(10, 170, 100, 30), form);
    untouchable->setUserInteractionEnabled(false);
    auto readOnly = alloc<UITextView>()->initWithFrame(CGRectMake(10, 210, 100, 60));
    readOnly->setEditable(false);
    form->addSubview(readOnly);
    auto editable = alloc<UITextView>()->initWithFrame(CGRectMake(10, 280, 100, 60));
    form->addSubview(editable);
    auto label = alloc<UILabel>()->initWithFrame(CGRectMake(10, 350, 100, 30));
    form->addSubview(label);

    EXPECT_EQ(views(responderSiblings(plain)), (std::vector<Ref<UIView>> { plain, editable }));
    // A field that cannot take the focus still finds the ones beside it.
    EXPECT_EQ(views(responderSiblings(hidden)), (std::vector<Ref<UIView>> { plain, editable }));
    EXPECT_EQ(views(deepResponderViews(form)), (std::vector<Ref<UIView>> { plain, editable }));
    EXPECT_EQ(responderSiblings(nil)->count(), 0u);
}

TEST_F(ResponderNavigationTest, AskingFlagIsSetOnlyWhileAsked)
{
    auto view = std::make_shared<FocusableView>();
    view->initWithFrame(CGRectMake(0, 0, 10, 10));
    m_window->addSubview(view);
    EXPECT_TRUE(_KBcanBecomeFirstResponder(view));
    EXPECT_TRUE(view->sawAsking);
    EXPECT_FALSE(isAskingCanBecomeFirstResponder(view));
}

TEST_F(ResponderNavigationTest, SortsByTagAndByPosition)
{
    auto form = addView(CGRectMake(0, 0, 375, 400));
    auto right = addField(CGRectMake(200, 100, 100, 30), form, 3);
    auto top = addField(CGRectMake(250, 20, 100, 30), form, -2);
    auto left = addField(CGRectMake(10, 100, 100, 30), form, 7);
    auto bottom = addField(CGRectMake(0, 300, 100, 30), form, 3);
    auto siblings = responderSiblings(right);
    EXPECT_EQ(views(siblings), (std::vector<Ref<UIView>> { right, top, left, bottom }));
    // Equal tags keep their order.
    EXPECT_EQ(views(sortedArrayByTag(siblings)), (std::vector<Ref<UIView>> { top, right, bottom, left }));
    EXPECT_EQ(views(sortedArrayByPosition(siblings)), (std::vector<Ref<UIView>> { top, left, right, bottom }));
    EXPECT_EQ(sortedArrayByTag(nil), nil);
}

TEST_F(ResponderNavigationTest, DeepRespondersGoDepthFirstInPositionOrder)
{
    auto form = addView(CGRectMake(0, 0, 375, 600));
    auto lowerBox = addView(CGRectMake(0, 300, 375, 200), nil, form);
    auto upperBox = addView(CGRectMake(0, 0, 375, 200), nil, form);
    auto lowerB = addField(CGRectMake(200, 10, 100, 30), lowerBox);
    auto lowerA = addField(CGRectMake(10, 10, 100, 30), lowerBox);
    auto nested = addView(CGRectMake(0, 100, 375, 100), nil, upperBox);
    auto nestedField = addField(CGRectMake(10, 10, 100, 30), nested);
    auto upperField = addField(CGRectMake(10, 50, 100, 30), upperBox);
    // A text view that takes the focus is not searched any further.
    auto textView = alloc<UITextView>()->initWithFrame(CGRectMake(0, 520, 375, 60));
    form->addSubview(textView);
    addField(CGRectMake(0, 0, 50, 20), textView);
    EXPECT_EQ(views(deepResponderViews(form)),
        (std::vector<Ref<UIView>> { upperField, nestedField, lowerA, lowerB, textView }));
}

TEST_F(ResponderNavigationTest, AncestorOfClassPassesOverInternalScrollViews)
{
    auto outer = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 375, 667));
    m_window->addSubview(outer);
    auto table = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, 375, 400));
    outer->addSubview(table);
    auto wrapper = alloc<UITableViewWrapperView>();
    wrapper->initWithFrame(table->bounds());
    table->addSubview(wrapper);
    auto cell = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 375, 44));
    wrapper->addSubview(cell);
    auto field = addField(CGRectMake(10, 5, 200, 34), cell);

    EXPECT_EQ(superviewOfClassType(field, UIScrollView::class_()), table);
    EXPECT_EQ(superviewOfClassType(table, UIScrollView::class_()), outer);
    EXPECT_EQ(superviewOfClassType(field, UITableView::class_()), table);
    EXPECT_EQ(superviewOfClassType(field, UIWindow::class_()), m_window);
    EXPECT_EQ(superviewOfClassType(outer, UIScrollView::class_()), nil);
    EXPECT_EQ(superviewOfClassType(nil, UIScrollView::class_()), nil);
}

TEST_F(ResponderNavigationTest, ControllersOfAView)
{
    auto root = alloc<UIViewController>()->init();
    auto navigation = alloc<UINavigationController>()->initWithRootViewController(root);
    m_window->setRootViewController(navigation);
    m_ui.runUntilIdle();
    auto field = addField(CGRectMake(10, 100, 200, 30), root->view());
    EXPECT_EQ(viewController(field), root);
    // The navigation controller is the window's controller that shows the field.
    EXPECT_EQ(topMostController(field), navigation);
    EXPECT_EQ(topMostController(m_window), navigation);
    EXPECT_EQ(topMostController(Ref<UIView>(m_window)), navigation);
    EXPECT_EQ(currentViewController(m_window), root);

    auto presented = alloc<UIViewController>()->init();
    navigation->presentViewController(presented, false);
    m_ui.runUntilIdle();
    auto sheetField = addField(CGRectMake(10, 100, 200, 30), presented->view());
    EXPECT_EQ(topMostController(sheetField), presented);
    EXPECT_EQ(topMostController(m_window), presented);
    EXPECT_EQ(currentViewController(m_window), presented);
    // The screen under a full-screen presentation has left the window.
    EXPECT_EQ(topMostController(field), nil);

    // A controller the window's chain does not reach: no top-most controller.
    auto loose = alloc<UIViewController>()->init();
    auto looseField = addField(CGRectMake(0, 0, 10, 10), loose->view());
    m_window->addSubview(loose->view());
    EXPECT_EQ(viewController(looseField), loose);
    EXPECT_EQ(topMostController(looseField), nil);
    // A view without a controller.
    EXPECT_EQ(topMostController(addView(CGRectMake(0, 0, 10, 10))), nil);
}

TEST_F(ResponderNavigationTest, TransformsAndDebugTexts)
{
    auto box = addView(CGRectMake(10, 20, 100, 44));
    box->setTransform(CGAffineTransformMakeScale(2, 2));
    auto inner = addView(CGRectMake(0, 0, 10, 10), nil, box);
    inner->setTransform(CGAffineTransformMakeRotation(0));
    const CGAffineTransform toWindow = convertTransformToView(inner, nil);
    EXPECT_DOUBLE_EQ(toWindow.a, 2);
    EXPECT_DOUBLE_EQ(toWindow.d, 2);
    const CGAffineTransform toBox = convertTransformToView(inner, box);
    EXPECT_DOUBLE_EQ(toBox.a, 1);
    EXPECT_DOUBLE_EQ(toBox.d, 1);

    EXPECT_EQ(depth(m_window), 0);
    EXPECT_EQ(depth(inner), 2);

    auto plain = addView(CGRectMake(10, 20, 100, 44));
    EXPECT_EQ(debugHierarchy(plain)->utf8(), "UIView: ( 10, 20, 100, 44 )");
    auto scroll = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 320, 480));
    scroll->setContentSize(CGSizeMake(320, 900));
    plain->addSubview(scroll);
    EXPECT_EQ(debugHierarchy(scroll)->utf8(), "UIScrollView: ( 0, 0, 320, 480 )contentSize: ( 320, 900 )");
    EXPECT_NE(debugHierarchy(box)->utf8().find("transform: "), std::string::npos);

    EXPECT_EQ(subHierarchy(plain)->utf8(),
        "\n|  UIView: ( 10, 20, 100, 44 )\n|  |  UIScrollView: ( 0, 0, 320, 480 )contentSize: ( 320, 900 )");
    const std::string up = superHierarchy(scroll)->utf8();
    EXPECT_EQ(up.rfind("\nUIWindow: ( 0, 0, 375, 667 )\n", 0), 0u) << up;
    EXPECT_NE(up.find("|  UIView: ( 10, 20, 100, 44 )\n|  |  UIScrollView"), std::string::npos) << up;

    const std::string described = _KBDescription(plain)->utf8();
    EXPECT_EQ(described.rfind("<UIView 0x", 0), 0u) << described;
    EXPECT_EQ(_KBDescription(nil), nil);
}
