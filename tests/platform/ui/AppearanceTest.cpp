#include "UITestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIAppearance.h"

using namespace dv::test;

namespace {

class AppearanceTest : public UITest { };

class Toolbar : public UIView {
    DV_CLASS(Toolbar, UIView)
    DV_APPEARANCE(Toolbar)
public:
    Ref<UIColor> barTintColor() const { return m_barTint; }
    void setBarTintColor(const Ref<UIColor>& color)
    {
        if (isAppearanceProxy()) {
            recordAppearanceSetter<Toolbar>("barTintColor", [color](Toolbar& t) { t.setBarTintColor(color); });
            return;
        }
        noteAppearanceSetterCalled("barTintColor");
        m_barTint = color;
        ++sets;
    }
    int sets = 0;

private:
    Ref<UIColor> m_barTint;
};

class SpecialToolbar : public Toolbar {
    DV_CLASS(SpecialToolbar, Toolbar)
    DV_APPEARANCE(SpecialToolbar)
};

class Panel : public UIView {
    DV_CLASS(Panel, UIView)
};

template <class T>
Ref<T> make()
{
    auto view = alloc<T>();
    view->initWithFrame(CGRectMake(0, 0, 10, 10));
    return view;
}

} // namespace

DV_DEFINE_CLASS(Toolbar)
DV_DEFINE_CLASS(SpecialToolbar)
DV_DEFINE_CLASS(Panel)

TEST_F(AppearanceTest, NewViewsPickUpWhatTheProxyRecordedWhenTheyEnterAWindow)
{
    EXPECT_EQ(Toolbar::appearance(), Toolbar::appearance()) << "one proxy per class";
    EXPECT_TRUE(Toolbar::appearance()->isAppearanceProxy());
    Toolbar::appearance()->setBarTintColor(UIColor::redColor());
    Toolbar::appearance()->setBarTintColor(UIColor::blueColor()); // the last one counts
    Toolbar::appearance()->setTintColor(UIColor::greenColor());
    EXPECT_EQ(Toolbar::appearance()->barTintColor(), nil) << "the proxy only records";

    auto bar = make<Toolbar>();
    EXPECT_EQ(bar->barTintColor(), nil);
    m_window->addSubview(bar);
    EXPECT_TRUE(dv::equal(bar->barTintColor(), UIColor::blueColor()));
    EXPECT_TRUE(dv::equal(bar->tintColor(), UIColor::greenColor()));
    EXPECT_EQ(bar->sets, 1);

    // Applied once: later proxy changes reach only new instances.
    Toolbar::appearance()->setBarTintColor(UIColor::yellowColor());
    bar->removeFromSuperview();
    m_window->addSubview(bar);
    EXPECT_TRUE(dv::equal(bar->barTintColor(), UIColor::blueColor()));
    auto second = make<Toolbar>();
    m_window->addSubview(second);
    EXPECT_TRUE(dv::equal(second->barTintColor(), UIColor::yellowColor()));
    // Other classes are not touched.
    auto plain = make<Panel>();
    m_window->addSubview(plain);
    EXPECT_FALSE(dv::equal(plain->tintColor(), UIColor::greenColor()));
}

TEST_F(AppearanceTest, WhatTheInstanceSetItselfIsKept)
{
    Toolbar::appearance()->setBarTintColor(UIColor::redColor());
    UIView::appearance()->setBackgroundColor(UIColor::whiteColor());
    auto bar = make<Toolbar>();
    bar->setBarTintColor(UIColor::blackColor());
    m_window->addSubview(bar);
    EXPECT_TRUE(dv::equal(bar->barTintColor(), UIColor::blackColor()));
    EXPECT_TRUE(dv::equal(bar->backgroundColor(), UIColor::whiteColor())) << "the superclass's rule applies to subclasses";
}

TEST_F(AppearanceTest, SpecificRulesWinOverGeneralOnesAndContainmentIsMatchedUpTheChain)
{
    Toolbar::appearanceWhenContainedIn({Panel::class_()})->setBarTintColor(UIColor::greenColor());
    SpecialToolbar::appearance()->setBarTintColor(UIColor::blueColor());
    Toolbar::appearance()->setBarTintColor(UIColor::redColor());

    auto loose = make<Toolbar>();
    m_window->addSubview(loose);
    EXPECT_TRUE(dv::equal(loose->barTintColor(), UIColor::redColor()));

    auto panel = make<Panel>();
    auto wrapper = make<UIView>();
    panel->addSubview(wrapper);
    auto contained = make<Toolbar>();
    wrapper->addSubview(contained);
    m_window->addSubview(panel);
    EXPECT_TRUE(dv::equal(contained->barTintColor(), UIColor::greenColor())) << "contained rules beat plain ones";

    auto special = make<SpecialToolbar>();
    m_window->addSubview(special);
    EXPECT_TRUE(dv::equal(special->barTintColor(), UIColor::blueColor())) << "the subclass's rule beats the superclass's";

    // Containers must be met in order, nearest first.
    SpecialToolbar::appearanceWhenContainedIn({UIWindow::class_(), Panel::class_()})->setBarTintColor(UIColor::purpleColor());
    auto misordered = make<SpecialToolbar>();
    panel->addSubview(misordered);
    EXPECT_TRUE(dv::equal(misordered->barTintColor(), UIColor::blueColor()));
    SpecialToolbar::appearanceWhenContainedIn({Panel::class_(), UIWindow::class_()})->setTintColor(UIColor::orangeColor());
    auto ordered = make<SpecialToolbar>();
    panel->addSubview(ordered);
    EXPECT_TRUE(dv::equal(ordered->tintColor(), UIColor::orangeColor()));
}

TEST_F(AppearanceTest, ResettingTheRulesLeavesHeldProxiesHarmless)
{
    auto proxy = Toolbar::appearance();
    proxy->setBarTintColor(UIColor::redColor());
    dv::removeAllAppearanceRules();
    EXPECT_FALSE(proxy->isAppearanceProxy());
    proxy->setBarTintColor(UIColor::blueColor()); // a plain object now
    auto bar = make<Toolbar>();
    m_window->addSubview(bar);
    EXPECT_EQ(bar->barTintColor(), nil);
}
