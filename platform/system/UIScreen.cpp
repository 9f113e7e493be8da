#include "platform/system/UIScreen.h"

#include "platform/base/ClassBuilder.h"

DV_DEFINE_CLASS(UIScreen)

Ref<UIScreen> UIScreen::mainScreen()
{
    static const Ref<UIScreen> screen = alloc<UIScreen>();
    return screen;
}

CGRect UIScreen::bounds() const { std::lock_guard lock(m_mutex); return m_bounds; }
CGFloat UIScreen::scale() const { std::lock_guard lock(m_mutex); return m_scale; }

CGRect UIScreen::applicationFrame() const
{
    CGRect frame = bounds();
    frame.origin.y += 20;
    frame.size.height -= 20;
    return frame;
}

void UIScreen::setBounds(CGRect bounds) { std::lock_guard lock(m_mutex); m_bounds = bounds; }

void UIScreen::setScale(CGFloat scale)
{
    std::lock_guard lock(m_mutex);
    if (scale > 0)
        m_scale = scale;
}

void UIScreen::reset()
{
    std::lock_guard lock(m_mutex);
    m_bounds = CGRectMake(0, 0, 375, 667);
    m_scale = 2;
}
