// The main of every test binary: runs the tests, then ends the process without destroying its
// static objects.
//
// A test ends with work of the platform's own threads still winding down: a transfer failing
// because its server has stopped, a queue worker letting go of its last block. Destroying the
// statics under them (the error keys, the shared sessions and caches) would let such a thread
// use an object in the middle of its destruction, which now and then ends a passed run with a
// crash. The platform never ends an application that way either: its process is ended, not
// returned from.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

int main(int argc, char** argv)
{
    testing::InitGoogleMock(&argc, argv);
    int status = RUN_ALL_TESTS();
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    // The leak check would run as the process returned from main; it runs here instead, and
    // fails the run as it would have (the checker's own exit status).
    if (__lsan_do_recoverable_leak_check() != 0)
        status = 23;
#endif
    std::_Exit(status);
}
