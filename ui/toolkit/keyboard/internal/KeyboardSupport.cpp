#include "ui/toolkit/keyboard/internal/KeyboardSupport.h"

#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/FoundationVersion.h"
#include "platform/system/NSBundle.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UITextInputTraits.h"
#include "platform/ui/UIWindow.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace dv::internal::toolkit {

bool isKeyboardNewSystem()
{
    return std::floor(NSFoundationVersionNumber) > NSFoundationVersionNumber_iOS_7_1;
}

CGRect windowRectOfView(const Ref<UIView>& view, const Ref<UIWindow>& window)
{
    auto superview = view ? view->superview() : nil;
    return superview ? superview->convertRectToView(view->frame(), window) : CGRectZero;
}

std::optional<Ref<NSString>> placeholderOfView(const Ref<UIView>& view)
{
    if (auto field = dv::as<UITextField>(view))
        return field->placeholder();
    if (view && view->respondsToSelector("placeholder"))
        return dv::as<NSString>(view->valueForKey("placeholder"_ns));
    return std::nullopt;
}

UITextInputTraits* inputTraitsOfView(const Ref<UIView>& view)
{
    return dynamic_cast<UITextInputTraits*>(view.get());
}

Ref<UIImage> keyboardToolbarImage(const char* name)
{
    auto bundled = "KBKeyboardManager.bundle"_ns->stringByAppendingPathComponent(NSString::fromUTF8(name));
    if (isKeyboardNewSystem()) {
        // Current systems look in the resource bundle beside the manager's class (the main
        // bundle here), or in that class bundle itself when the resource bundle is missing.
        auto resources = NSBundle::mainBundle()->resourcePath();
        std::error_code error;
        const bool hasBundle = resources
            && std::filesystem::is_directory(
                std::filesystem::path(resources->utf8()) / "KBKeyboardManager.bundle", error);
        return UIImage::imageNamed(hasBundle ? bundled : NSString::fromUTF8(name));
    }
    return UIImage::imageNamed(bundled);
}

} // namespace dv::internal::toolkit
