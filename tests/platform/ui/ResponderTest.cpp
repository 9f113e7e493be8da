#include "UITestSupport.h"

#include "platform/base/ClassBuilder.h"

using namespace dv::test;

namespace {

class ResponderTest : public UITest { };

class Field : public UIView {
    DV_CLASS(Field, UIView)
public:
    bool accepts = true;
    bool letsGo = true;
    int copies = 0;
    Ref<NSObject> lastSender;
    bool canBecomeFirstResponder() const override { return accepts; }
    bool canResignFirstResponder() const override { return letsGo; }
};

} // namespace

DV_DEFINE_CLASS_WITH(Field, b)
{
    b.method("copy:", "v24@0:8@16", [](Field& self, std::span<const id> args) -> id {
        ++self.copies;
        self.lastSender = args.empty() ? nil : args[0];
        return nil;
    });
}

namespace {

Ref<Field> field(const Ref<UIView>& parent, CGRect frame = CGRectMake(0, 0, 100, 30))
{
    auto f = alloc<Field>();
    f->initWithFrame(frame);
    parent->addSubview(f);
    return f;
}

} // namespace

TEST_F(ResponderTest, BecomingFirstResponderAsksBothSidesAndMovesTheStatus)
{
    auto a = field(m_window), b = field(m_window);
    ASSERT_TRUE(a->becomeFirstResponder());
    EXPECT_TRUE(a->becomeFirstResponder()) << "already first";
    b->accepts = false;
    EXPECT_FALSE(b->becomeFirstResponder());
    EXPECT_TRUE(a->isFirstResponder());

    b->accepts = true;
    a->letsGo = false;
    EXPECT_FALSE(b->becomeFirstResponder()) << "the current one refuses to resign";
    EXPECT_FALSE(a->resignFirstResponder());
    EXPECT_TRUE(a->isFirstResponder());

    a->letsGo = true;
    ASSERT_TRUE(b->becomeFirstResponder());
    EXPECT_FALSE(a->isFirstResponder());
    EXPECT_EQ(m_window->firstResponder(), b);
    EXPECT_TRUE(b->resignFirstResponder());
    EXPECT_EQ(m_window->firstResponder(), nil);
    EXPECT_TRUE(b->resignFirstResponder()) << "resigning when not first is harmless";

    auto plain = addView(CGRectZero);
    EXPECT_FALSE(plain->becomeFirstResponder()) << "a plain view never becomes first responder";
}

TEST_F(ResponderTest, EndEditingResignsTheFirstResponderInsideTheView)
{
    auto form = addView(CGRectMake(0, 0, 200, 200));
    auto elsewhere = addView(CGRectMake(0, 300, 200, 100));
    auto f = field(form);
    ASSERT_TRUE(f->becomeFirstResponder());
    EXPECT_TRUE(elsewhere->endEditing(false)) << "nothing to end there";
    EXPECT_TRUE(f->isFirstResponder());

    f->letsGo = false;
    EXPECT_FALSE(form->endEditing(false));
    EXPECT_TRUE(f->isFirstResponder());
    EXPECT_TRUE(form->endEditing(true));
    EXPECT_FALSE(f->isFirstResponder());
}

TEST_F(ResponderTest, ActionsWithoutATargetGoUpTheChainFromTheFirstResponder)
{
    auto form = addView(CGRectMake(0, 0, 200, 200));
    auto f = field(form);
    auto inner = field(f, CGRectMake(0, 0, 10, 10)); // a field inside a field
    inner->removeFromSuperview();
    auto child = addView(CGRectMake(0, 0, 10, 10), nil, f);
    auto sender = alloc<NSObject>();

    EXPECT_FALSE(m_app->sendAction("copy:", nil, sender, nil)) << "no first responder yet";
    ASSERT_TRUE(f->becomeFirstResponder());
    EXPECT_TRUE(m_app->sendAction("copy:", nil, sender, nil));
    EXPECT_EQ(f->copies, 1);
    EXPECT_EQ(f->lastSender, sender);
    EXPECT_FALSE(m_app->sendAction("paste:", nil, sender, nil));
    EXPECT_TRUE(m_app->sendAction("copy:", inner, sender, nil)) << "an explicit target";
    EXPECT_EQ(inner->copies, 1);

    EXPECT_TRUE(f->canPerformAction("copy:", nil));
    EXPECT_TRUE(child->canPerformAction("copy:", nil)) << "asked up the chain";
    EXPECT_FALSE(child->canPerformAction("paste:", nil));
}

TEST_F(ResponderTest, TheKeyWindowAndTheWindowsListFollowTheWindowsThatExist)
{
    EXPECT_EQ(m_app->keyWindow(), m_window);
    EXPECT_TRUE(m_window->isKeyWindow());
    EXPECT_FALSE(m_window->isHidden());
    {
        auto overlay = alloc<UIWindow>()->init();
        EXPECT_TRUE(overlay->isHidden()) << "windows start hidden";
        EXPECT_EQ(m_app->windows()->count(), 2u);
        overlay->makeKeyAndVisible();
        EXPECT_EQ(m_app->keyWindow(), overlay);
        EXPECT_FALSE(m_window->isKeyWindow());
    }
    EXPECT_EQ(m_app->keyWindow(), nil) << "the application does not keep windows alive";
    EXPECT_EQ(m_app->windows()->count(), 1u);
    m_window->makeKeyWindow();
    EXPECT_EQ(m_app->statusBarFrame(), CGRectMake(0, 0, 375, 20));
    EXPECT_EQ(m_app->statusBarOrientation(), UIInterfaceOrientationPortrait);
    EXPECT_EQ(m_window->window(), m_window);
}
