// How the directory's screens call the server: the loading overlay "正在加载" goes up on a host
// view before the call and comes down first thing when the reply arrives; the reply is read as a
// ServerReply, and a reply that is not a success has its `msg` shown in a toast on the screen.
// Failed calls are logged as "error=====%@"; their overlay is hidden here or, for overlays on the
// application's window, left to the server client (which hides every overlay there).
//
// The handler is kept until the call has ended; a handler that holds its screen keeps the screen
// alive until then, as the screens' requests mean to. Main thread only.
//
//   requestShowingLoading(listCodeRequest(kind, page), view(), FailedCallOverlay::HideOnHost,
//       [screen](const std::optional<ServerReply>& reply) { if (acceptReply(reply, screen->view())) ... });
#pragma once

#include "app/shell/server/ServerReply.h"

#include <functional>
#include <optional>

class UIView;

namespace dv::app {
struct ServerRequest;
}

namespace dv::internal::directory {

enum class FailedCallOverlay { HideOnHost, LeftToServerClient };

void requestShowingLoading(const dv::app::ServerRequest& request, const Ref<UIView>& host, FailedCallOverlay failedCall,
    std::function<void(const std::optional<ServerReply>& reply)> handler);

// YES for a success; otherwise shows the reply's `msg` in a toast on `view` and answers NO.
bool acceptReply(const std::optional<ServerReply>& reply, const Ref<UIView>& view);

} // namespace dv::internal::directory
