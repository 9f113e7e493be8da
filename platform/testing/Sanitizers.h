// Tests that make a script engine (every web view makes one) skip themselves in the sanitizer
// builds. JavaScriptCore's own threads and its watchdog do not run under the thread sanitizer (it
// reports races inside the library and the watchdog spins at exit), so the script tests are left
// out of such builds. Under the address and undefined-behaviour build the engine's teardown calls
// the executable's instrumented copy of a standard-library inline (the shared-pointer release),
// whose type check cannot see the library's own types and stops the run; until that check is kept
// away from the engine's calls, these tests are left out there too.
//
//   TEST_F(WebViewTest, LoadsAPage) { DV_SKIP_UNDER_SANITIZER(); ... }
#pragma once

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define DV_SKIP_UNDER_SANITIZER() GTEST_SKIP() << "JavaScriptCore is not run under this sanitizer"
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define DV_SKIP_UNDER_SANITIZER() GTEST_SKIP() << "JavaScriptCore is not run under this sanitizer"
#endif
#endif
#ifndef DV_SKIP_UNDER_SANITIZER
#define DV_SKIP_UNDER_SANITIZER() (void)0
#endif
