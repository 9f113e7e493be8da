// NSPort: an input source a run loop waits on. Here it carries no messages; a port added to a
// thread's run loop keeps run() and runUntilDate() waiting for work instead of returning at once,
// which is how a thread that serves a connection or a library's own thread stays alive:
//
//   NSRunLoop::currentRunLoop()->addPort(NSMachPort::port(), NSDefaultRunLoopMode);
//   NSRunLoop::currentRunLoop()->run();   // until stop()
#pragma once

#include "platform/base/NSObject.h"

class NSPort : public NSObject {
    DV_CLASS(NSPort, NSObject)

    NSPort() = default;
    static Ref<NSPort> port();
};

class NSMachPort : public NSPort {
    DV_CLASS(NSMachPort, NSPort)

    NSMachPort() = default;
    static Ref<NSPort> port();
};
