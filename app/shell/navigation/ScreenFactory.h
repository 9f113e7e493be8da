// Making screens by class name. The home screen opens screens that live in folders above the shell
// (the QR-code lists, the prospect screens, the information pages), so it cannot name their types:
// it looks their classes up in the runtime's class registry and makes them as alloc/init would.
// A class that is not registered (its folder not linked into this executable, or not written yet)
// makes nothing: the lookup logs it and answers nil.
//
// What a screen class offers to be made this way: DV_DEFINE_CLASS (or _WITH) in its source, a
// default constructor, and either no init of its own beyond UIViewController's or a registered
// "init" method. Parameters go in through setTitle (virtual) or through properties registered
// with the class builder, set here by key.
//
//   if (auto screen = dv::app::makeScreen("VQMainWebViewController")) {
//       dv::app::setScreenValue(screen, model->name(), "titleName");
//       navigationController()->pushViewController(screen, true);
//   }
//
// Main thread only.
#pragma once

#include "platform/base/Forward.h"

#include <string_view>

class UIViewController;

namespace dv::app {

// A new, initialised screen of the registered class, or nil (with a line in the log) when no such
// class is registered or it is not a view controller.
Ref<UIViewController> makeScreen(std::string_view className);

// Sets the screen's property `key` to `value` when its class (or a superclass) registers a
// writable property of that name; NO, with a line in the log, when it does not.
bool setScreenValue(const Ref<UIViewController>& screen, const id& value, std::string_view key);

} // namespace dv::app
