// The headless runner. For now it only names itself; it grows into the runner that starts the
// application against a server, drives it and renders its screens.
#include "platform/base/NSString.h"

#include <cstdio>

int main()
{
    auto banner = NSString::stringWithFormat("Dovrelta %s", DOVRELTA_VERSION);
    std::puts(banner->UTF8String());
    return 0;
}
