// What a process of the application holds in memory and loses when it ends, beyond its files and
// the device's stores: the platform's parts that live for the process (the shared URL cache's
// memory, the cookie jar) and the shared instances and memory caches of the libraries (the picture
// manager's failed addresses, running loads and memory cache, the keyboard manager, the push
// service, the device identifier). The runner's relaunch ends the application without ending the
// process, and lets go of them here so that the application starts again as in a new process.
// Main thread, with the application ended.
#pragma once

namespace dv::internal::sim {

void forgetProcessMemory();

} // namespace dv::internal::sim
