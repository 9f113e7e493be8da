#include "platform/ui/ViewSnapshot.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/BitmapTarget.h"
#include "platform/ui/internal/StatusBar.h"
#include "platform/ui/internal/PassScheduler.h"
#include "platform/ui/internal/ViewFormat.h"

#include <algorithm>

namespace dv {

Ref<UIImage> snapshotView(const Ref<UIView>& view, CGFloat scale)
{
    if (!view || CGRectIsEmpty(view->bounds()))
        return nil;
    internal::uikit::PassScheduler::shared().runPasses();
    internal::uikit::BitmapTarget target(view->bounds().size, scale);
    if (!target.context())
        return nil;
    view->layer()->renderInContext(target.context());
    return target.finish();
}

bool writeSnapshotPNG(const Ref<UIView>& view, const std::string& path, CGFloat scale)
{
    auto png = UIImagePNGRepresentation(snapshotView(view, scale));
    return png && png->writeToFile(NSString::fromUTF8(path), true);
}

std::vector<Ref<UIWindow>> screenWindows()
{
    std::vector<Ref<UIWindow>> windows;
    if (auto all = UIApplication::sharedApplication()->windows())
        for (const auto& item : all->items())
            if (auto window = dv::as<UIWindow>(item); window && !window->isHidden() && window->alpha() >= 0.01)
                windows.push_back(window);
    // The keyboard's stays above the application's, whenever it was made.
    if (auto keyboard = keyboardWindow()) {
        std::erase(windows, keyboard);
        windows.push_back(keyboard);
    }
    return windows;
}

namespace {

// The mean brightness (0 to 1) of the top `height` points of a picture.
CGFloat luminanceOfTop(const Ref<UIImage>& picture, CGFloat height)
{
    auto band = CGImageCreateWithImageInRect(picture->CGImage(),
        CGRectMake(0, 0, CGFloat(CGImageGetWidth(picture->CGImage())), height * picture->scale()));
    if (!band)
        return 1;
    const auto pixels = imagePixelsRGBA8(band);
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i + 3 < pixels.size(); i += 4, ++count)
        sum += 0.299 * pixels[i] + 0.587 * pixels[i + 1] + 0.114 * pixels[i + 2];
    return count ? CGFloat(sum / count / 255) : 1;
}

} // namespace

Ref<UIImage> snapshotScreen(CGFloat scale)
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    if (scale <= 0)
        scale = UIScreen::mainScreen()->scale();
    // Each window renders itself (its pending passes run first), then they are laid on the screen.
    std::vector<std::pair<Ref<UIImage>, CGRect>> layers;
    for (const auto& window : screenWindows())
        if (auto picture = snapshotView(window, scale))
            layers.emplace_back(picture, window->frame());
    UIGraphicsBeginImageContextWithOptions(screen.size, true, scale);
    UIColor::blackColor()->setFill();
    UIRectFill(CGRectMake(0, 0, screen.size.width, screen.size.height));
    for (const auto& [picture, frame] : layers)
        picture->drawInRect(frame);
    // The status area goes over what the windows show there, in the content that stands out on it.
    const CGRect statusArea = UIApplication::sharedApplication()->statusBarFrame();
    auto windowsOnly = UIGraphicsGetImageFromCurrentImageContext();
    internal::uikit::drawStatusBar(internal::uikit::currentStatusBar(windowsOnly ? luminanceOfTop(windowsOnly, statusArea.size.height) : 1), statusArea);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

void setStillStatusBar(std::optional<std::string> time) { internal::uikit::setStillStatusBarTime(std::move(time)); }

namespace {

// Texts and names are quoted, and so is any value with a quote or a line break in it.
bool needsQuotes(std::string_view key, std::string_view value)
{
    if (key == "text" || key == "title" || key == "placeholder" || key == "font" || key == "resource")
        return true;
    return value.find_first_of("\"\n") != std::string_view::npos;
}

void dumpLine(const UIView& view, int depth, std::string& out)
{
    out.append(std::size_t(depth) * 2, ' ');
    out += view.className()->utf8() + " " + internal::uikit::ViewFormat::frame(view.frame());
    DescriptionFields fields;
    view.appendDescriptionFields(fields);
    for (auto& [key, value] : fields) {
        out += " " + key;
        if (!value.empty())
            out += "=" + (needsQuotes(key, value) ? internal::uikit::ViewFormat::quoted(value) : value);
    }
    out += "\n";
    const auto subviews = view.subviews();
    for (auto& sub : subviews->items())
        dumpLine(static_cast<const UIView&>(*sub), depth + 1, out);
}

} // namespace

std::string dumpViewTree(const Ref<UIView>& view)
{
    if (!view)
        return {};
    internal::uikit::PassScheduler::shared().runPasses();
    std::string out;
    dumpLine(*view, 0, out);
    return out;
}

} // namespace dv
