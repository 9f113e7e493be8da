// The application's entry points: the process entry, the start used by the runner and the
// end-to-end tests, and the one place where everything the application installs process-wide is
// installed.
//
//   int main(int argc, char** argv) { return dv::app::applicationMain(argc, argv); }
//
//   dv::app::installDirectoryScreens();            // executables that show the directory screens
//   auto app = dv::app::startApplication();        // launched; the caller pumps the main run loop
//   dv::testing::runMainLoopUntil([&] { ... });
//
// Main thread only (the thread that runs the application).
#pragma once

#include "platform/base/Forward.h"

class UIApplication;

namespace dv::app {

// Once per process (later calls do nothing): the dictionary behaviour of the push client, the
// task-state notifications of the HTTP layer, the main bundle's image lookup, the refresh
// controls' reloadData hooks, the keyboard manager (shared, enabled), the full-screen back
// swipe of every navigation controller, and the shell's screens that others reach by name.
void installApplicationHooks();

// installApplicationHooks(), then makes an AppDelegate, has the shared application keep it and
// launches with the given options (finishing the launch and becoming active). Returns at once with
// the shared application: the caller runs the main run loop.
Ref<UIApplication> startApplication(const Ref<NSDictionary>& launchOptions = nullptr);

// The process entry: installApplicationHooks(), then the platform's UIApplicationMain with the
// delegate class "AppDelegate" (taken from the class itself), which runs the main run loop.
int applicationMain(int argc, char** argv);

} // namespace dv::app
