#include "ui/toolkit/keyboard/KBToolbar.h"

#include "platform/base/ClassBuilder.h"

#include "platform/base/NSArray.h"
#include "platform/graphics/UIColor.h"
#include "ui/toolkit/keyboard/KBTitleBarButtonItem.h"

DV_DEFINE_CLASS(KBToolbar)

void KBToolbar::load()
{
    auto proxy = appearance();
    proxy->setTintColor(nil);
    proxy->setBarTintColor(nil);
    for (UIToolbarPosition position :
        { UIBarPositionAny, UIBarPositionBottom, UIBarPositionTop, UIBarPositionTopAttached }) {
        proxy->setBackgroundImage(nil, position, UIBarMetricsDefault);
        proxy->setShadowImage(nil, position);
    }
    proxy->setBackgroundColor(nil);
}

Ref<KBToolbar> KBToolbar::init()
{
    return initWithFrame(CGRectZero);
}

Ref<KBToolbar> KBToolbar::initWithFrame(CGRect frame)
{
    UIToolbar::initWithFrame(frame);
    initialize();
    return self<KBToolbar>();
}

void KBToolbar::initialize()
{
    sizeToFit();
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    setTranslucent(true);
    setTintColor(UIColor::blackColor());
}

CGSize KBToolbar::sizeThatFits(CGSize size) const
{
    CGSize fitting = UIToolbar::sizeThatFits(size);
    fitting.height = 44;
    return fitting;
}

void KBToolbar::setTintColor(const Ref<UIColor>& color)
{
    UIToolbar::setTintColor(color);
    if (isAppearanceProxy())
        return;
    const auto all = items();
    for (auto& item : all ? all->items() : std::vector<id>())
        if (auto barItem = dv::as<UIBarButtonItem>(item))
            barItem->setTintColor(color);
}

void KBToolbar::setTitleFont(const Ref<UIFont>& font)
{
    m_titleFont = font;
    const auto all = items();
    for (auto& item : all ? all->items() : std::vector<id>())
        if (auto title = dv::as<KBTitleBarButtonItem>(item))
            title->setFont(font);
}

void KBToolbar::setTitle(const Ref<NSString>& title)
{
    m_title = title;
    const auto all = items();
    for (auto& item : all ? all->items() : std::vector<id>())
        if (auto titleItem = dv::as<KBTitleBarButtonItem>(item))
            titleItem->setTitle(title);
}
