#include "ui/toolkit/keyboard/KBTitleBarButtonItem.h"

#include "platform/base/ClassBuilder.h"

#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UILabel.h"

DV_DEFINE_CLASS(KBTitleBarButtonItem)

Ref<KBTitleBarButtonItem> KBTitleBarButtonItem::initWithFrame(CGRect frame, const Ref<NSString>& title)
{
    UIBarButtonItem::init();
    m_titleView = alloc<UIView>()->initWithFrame(frame);
    m_titleView->setBackgroundColor(UIColor::clearColor());
    m_titleView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);

    m_titleLabel = alloc<UILabel>()->initWithFrame(m_titleView->bounds());
    m_titleLabel->setTextColor(UIColor::lightGrayColor());
    m_titleLabel->setBackgroundColor(UIColor::clearColor());
    m_titleLabel->setTextAlignment(NSTextAlignmentCenter);
    m_titleLabel->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    setTitle(title);
    setFont(UIFont::boldSystemFontOfSize(12));
    m_titleView->addSubview(m_titleLabel);
    setCustomView(m_titleView);
    setEnabled(false);
    return self<KBTitleBarButtonItem>();
}

void KBTitleBarButtonItem::setFont(const Ref<UIFont>& font)
{
    m_font = font;
    if (m_titleLabel)
        m_titleLabel->setFont(font);
}

void KBTitleBarButtonItem::setTitle(const Ref<NSString>& title)
{
    KBBarButtonItem::setTitle(title);
    if (m_titleLabel)
        m_titleLabel->setText(title);
}
