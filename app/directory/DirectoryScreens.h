// The directory's screens as the rest of the application reaches them: by class name, through the
// runtime's class registry (the home screen makes a list with NSClassFromString and init, since
// the shell does not link this library by name). installDirectoryScreens makes sure every screen
// class is registered, so that the static linker keeps them; executables call it once, before
// they start the application. Safe to call again, from the main thread.
//
//   dv::app::installDirectoryScreens();
//   auto app = dv::app::startApplication();
#pragma once

namespace dv::app {

void installDirectoryScreens();

} // namespace dv::app
