// Always-on invariant checks. A broken invariant is a fault in our own code, not an input to
// handle: DV_CHECK reports the file, the line and the condition that failed on standard error and
// aborts the process, in every build type (unlike assert, which the default optimised build
// compiles out). Input from the network, files or the user never reaches a check: it gets an
// error instead.
//
//   DV_CHECK(m_count > 0);
//   DV_CHECK_MSG(queue != current, "dispatch_sync onto the queue it runs on");
//
// Thread-safe; the report is one write, so reports of two threads do not interleave.
#pragma once

namespace dv::internal::base {

[[noreturn]] void checkFailed(const char* file, int line, const char* condition, const char* message);

} // namespace dv::internal::base

#define DV_CHECK(condition) \
    (__builtin_expect(static_cast<bool>(condition), 1) ? static_cast<void>(0) \
                                                       : ::dv::internal::base::checkFailed(__FILE__, __LINE__, #condition, nullptr))

#define DV_CHECK_MSG(condition, message) \
    (__builtin_expect(static_cast<bool>(condition), 1) ? static_cast<void>(0) \
                                                       : ::dv::internal::base::checkFailed(__FILE__, __LINE__, #condition, (message)))
