#include "UITestSupport.h"

#include "platform/graphics/UIGraphics.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UITouch.h"

namespace dv::test {

void RecordingView::touched(const char* phase, const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    auto touch = dv::as<UITouch>(touches->anyObject());
    lastTapCount = touch->tapCount();
    lastLocation = touch->locationInView(self<UIView>());
    note(std::string("touches") + phase + ":" + std::to_string(touches->count()));
    if (!forwardsTouches)
        return;
    const std::string p = phase;
    if (p == "began")
        UIView::touchesBegan(touches, event);
    else if (p == "moved")
        UIView::touchesMoved(touches, event);
    else if (p == "ended")
        UIView::touchesEnded(touches, event);
    else
        UIView::touchesCancelled(touches, event);
}

Pixel pixelOf(const Ref<UIImage>& image, CGFloat xPoints, CGFloat yPoints)
{
    if (!image || !image->CGImage())
        return {-1, -1, -1, -1};
    const CGImageRef cg = image->CGImage();
    const auto x = std::size_t(xPoints * image->scale()), y = std::size_t(yPoints * image->scale());
    if (x >= CGImageGetWidth(cg) || y >= CGImageGetHeight(cg))
        return {-1, -1, -1, -1};
    auto px = imagePixelsRGBA8(cg);
    const std::size_t i = (y * CGImageGetWidth(cg) + x) * 4;
    return {px[i], px[i + 1], px[i + 2], px[i + 3]};
}

bool near(const Pixel& a, const Pixel& b, int tolerance)
{
    for (int i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > tolerance)
            return false;
    return true;
}

std::string show(const Pixel& p)
{
    return "(" + std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," + std::to_string(p[3]) + ")";
}

void UITest::SetUp()
{
    UIApplication::resetSharedApplication();
    UIScreen::mainScreen()->reset();
    removeAllAppearanceRules();
    m_app = UIApplication::sharedApplication();
    m_window = alloc<UIWindow>()->init();
    m_window->makeKeyAndVisible();
    m_ui.runUntilIdle();
}

void UITest::TearDown()
{
    m_ui.runUntilIdle();
    m_window = nil;
    m_app = nil;
    UIApplication::resetSharedApplication();
    removeAllAppearanceRules();
}

Ref<UIView> UITest::addView(CGRect frame, Ref<UIColor> color, Ref<UIView> parent)
{
    auto view = alloc<UIView>()->initWithFrame(frame);
    view->setBackgroundColor(color);
    (parent ? parent : Ref<UIView>(m_window))->addSubview(view);
    return view;
}

} // namespace dv::test
