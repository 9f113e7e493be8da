// The shell's own screens that others reach by class name (the home screen's tiles, the guide
// pages of the application delegate, the runner's tour): installShellScreens makes sure each
// class is registered, so that the static linker keeps them. The application's entry calls it
// (installApplicationHooks); safe to call again. Main thread.
#pragma once

namespace dv::app {

void installShellScreens();

} // namespace dv::app
