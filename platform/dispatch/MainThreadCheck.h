// The main thread, and the check that code meant for it alone runs there. The main thread is the
// one that runs the process entry (the application's, or the test's). The interface lives on it:
// the view tree, the layout and display passes, windows, the touch router, the keyboard and web
// views check at their entry points, and a call from any other thread is a fault in the caller.
//
//   void UIView::addSubview(const Ref<UIView>& view)
//   {
//       DV_CHECK_MAIN_THREAD();
//       ...
//
// Like DV_CHECK (platform/base/Check.h) the check is on in every build type: a call from another
// thread reports the file, the line and the function on standard error and stops the process. It
// costs one read of a flag of the calling thread, so it may sit on paths every frame takes.
#pragma once

namespace dv::internal::dispatch {

// Set on the main thread before the process entry runs (Dispatch.cpp), false on every other.
extern thread_local constinit bool t_isMainThread;

[[noreturn]] void reportOffMainThread(const char* file, int line, const char* function);

} // namespace dv::internal::dispatch

namespace dv {

// Whether the caller runs on the main thread.
inline bool isMainThread() { return internal::dispatch::t_isMainThread; }

} // namespace dv

#define DV_CHECK_MAIN_THREAD() \
    (__builtin_expect(::dv::isMainThread(), 1) ? static_cast<void>(0) \
                                               : ::dv::internal::dispatch::reportOffMainThread(__FILE__, __LINE__, __PRETTY_FUNCTION__))
