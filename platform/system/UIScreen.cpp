#include "platform/system/UIScreen.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/graphics/ScreenScale.h"

DV_DEFINE_CLASS(UIScreen)

Ref<UIScreen> UIScreen::mainScreen()
{
    static const Ref<UIScreen> screen = dv::keepingForever([] { return alloc<UIScreen>(); });
    return screen;
}

CGRect UIScreen::bounds() const { dv::MutexLocker lock(m_mutex); return m_bounds; }
CGFloat UIScreen::scale() const { return dv::mainScreenScale(); }

CGRect UIScreen::applicationFrame() const
{
    CGRect frame = bounds();
    frame.origin.y += 20;
    frame.size.height -= 20;
    return frame;
}

void UIScreen::setBounds(CGRect bounds) { dv::MutexLocker lock(m_mutex); m_bounds = bounds; }

// The scale lives with graphics, whose image contexts and named images read it.
void UIScreen::setScale(CGFloat scale)
{
    if (scale > 0)
        dv::setMainScreenScale(scale);
}

void UIScreen::reset()
{
    dv::MutexLocker lock(m_mutex);
    m_bounds = CGRectMake(0, 0, 375, 667);
    dv::setMainScreenScale(0); // back to 2
}
