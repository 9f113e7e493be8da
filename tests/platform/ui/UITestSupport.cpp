#include "UITestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UITouch.h"

namespace dv::test {

DV_DEFINE_CLASS_WITH(ActionTarget, b)
{
    b.method("fire", "v16@0:8", [](ActionTarget& t, std::span<const id> args) { t.record("fire", args); return nil; });
    b.method("fired:", "v24@0:8@16", [](ActionTarget& t, std::span<const id> args) { t.record("fired:", args); return nil; });
    b.method("firedWithEvent:event:", "v32@0:8@16@24", [](ActionTarget& t, std::span<const id> args) {
        t.record("firedWithEvent:event:", args);
        return nil;
    });
    b.method("copy:", "v24@0:8@16", [](ActionTarget& t, std::span<const id> args) { t.record("copy:", args); return nil; });
}
DV_DEFINE_CLASS_WITH(EditingView, b)
{
    auto note = [](const char* action) {
        return [action](EditingView& v, std::span<const id> args) {
            v.calls.push_back(std::string(action) + (args.empty() || !args[0] ? "" : args[0]->className()->utf8()));
            return nil;
        };
    };
    b.method("copy:", "v24@0:8@16", note("copy:"));
    b.method("paste:", "v24@0:8@16", note("paste:"));
}

void ActionTarget::record(const char* selector, std::span<const id> args)
{
    std::string entry = selector;
    if (!args.empty() && args[0])
        entry += args[0]->className()->utf8();
    if (args.size() > 1)
        events.push_back(dv::as<UIEvent>(args[1]));
    if (!args.empty())
        senders.push_back(args[0]);
    calls.push_back(entry);
}

Ref<UIImage> twoColourImage(CGSize size, const Ref<UIColor>& left, const Ref<UIColor>& right)
{
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
    left->setFill();
    UIRectFill(CGRectMake(0, 0, size.width / 2, size.height));
    right->setFill();
    UIRectFill(CGRectMake(size.width / 2, 0, size.width / 2, size.height));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

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

Pixels::Pixels(const Ref<UIImage>& image)
{
    if (!image || !image->CGImage())
        return;
    m_pixels = imagePixelsRGBA8(image->CGImage());
    m_width = CGImageGetWidth(image->CGImage());
    m_height = CGImageGetHeight(image->CGImage());
    m_scale = image->scale();
}

Pixel Pixels::at(CGFloat xPoints, CGFloat yPoints) const
{
    const auto x = std::size_t(xPoints * m_scale), y = std::size_t(yPoints * m_scale);
    if (x >= m_width || y >= m_height)
        return {-1, -1, -1, -1};
    const std::size_t i = (y * m_width + x) * 4;
    return {m_pixels[i], m_pixels[i + 1], m_pixels[i + 2], m_pixels[i + 3]};
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

void ScreenSizeTest::SetUp()
{
    UITest::SetUp();
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, GetParam().width, GetParam().height));
    m_window = alloc<UIWindow>()->init();
    m_window->setBackgroundColor(UIColor::whiteColor());
    m_window->makeKeyAndVisible();
    m_ui.runUntilIdle();
}

void ScreenSizeTest::TearDown()
{
    UITest::TearDown();
    UIScreen::mainScreen()->reset();
}

std::string screenSizeName(const ::testing::TestParamInfo<CGSize>& info)
{
    return std::to_string(int(info.param.width)) + "x" + std::to_string(int(info.param.height));
}

Ref<UIView> UITest::addView(CGRect frame, Ref<UIColor> color, Ref<UIView> parent)
{
    auto view = alloc<UIView>()->initWithFrame(frame);
    view->setBackgroundColor(color);
    (parent ? parent : Ref<UIView>(m_window))->addSubview(view);
    return view;
}

} // namespace dv::test
