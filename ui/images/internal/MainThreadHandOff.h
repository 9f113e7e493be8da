// How the image library hands results to the main thread: results at once when the code is
// already there, else synchronously on the main queue (the reporting thread waits); placeholders,
// spinners and notices at once or queued asynchronously.
#pragma once

#include "platform/dispatch/Dispatch.h"

#include <functional>

namespace dv::internal::images {

template <class Block>
void runOnMainThreadSync(Block&& block)
{
    if (dv::isMainThread())
        block();
    else
        dispatch_sync(dispatch_get_main_queue(), std::forward<Block>(block));
}

template <class Block>
void runOnMainThreadAsync(Block&& block)
{
    if (dv::isMainThread())
        block();
    else
        dispatch_async(dispatch_get_main_queue(), std::forward<Block>(block));
}

} // namespace dv::internal::images
