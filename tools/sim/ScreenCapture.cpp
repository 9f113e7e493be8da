#include "tools/sim/ScreenCapture.h"

#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/ViewSnapshot.h"

#include <vector>

namespace dv::sim {

std::string dumpQuoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

Ref<UIImage> captureScreen(CGFloat scale) { return dv::snapshotScreen(scale); }

bool writeScreenPNG(const std::string& path, CGFloat scale)
{
    auto image = captureScreen(scale);
    auto png = image ? UIImagePNGRepresentation(image) : nil;
    return png && png->writeToFile(NSString::fromUTF8(path), true);
}

std::string describeScreen()
{
    dv::testing::UIDriver ui;
    std::string text;
    auto top = ui.topViewController();
    text += "screen: " + (top ? dv::str(top->className()) : std::string("(none)")) + "\n";
    text += "title: " + dumpQuoted(ui.navigationTitle()) + "\n";
    for (const auto& alert : ui.visibleAlerts()) {
        text += alert.kind + ": " + dumpQuoted(alert.title) + " " + dumpQuoted(alert.message) + " buttons:";
        for (const auto& button : alert.buttons)
            text += " " + dumpQuoted(button);
        text += "\n";
    }
    auto windows = dv::screenWindows();
    auto key = UIApplication::sharedApplication()->keyWindow();
    for (std::size_t i = 0; i < windows.size(); ++i) {
        text += "window " + std::to_string(i + 1) + " of " + std::to_string(windows.size());
        if (windows[i] == key)
            text += " (key)";
        else if (windows[i] == dv::keyboardWindow())
            text += " (keyboard)";
        text += ":\n" + dv::dumpViewTree(windows[i]);
        if (!text.empty() && text.back() != '\n')
            text += '\n';
    }
    return text;
}

} // namespace dv::sim
