// Target-action calls as controls, recognisers and bar items make them: an action selector takes
// no argument, the sender, or the sender and the event, by the number of colons in its name.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

namespace dv::internal::uikit {

// NO when the target has no method for the action.
bool performAction(const id& target, SEL action, const id& sender, const Ref<UIEvent>& event);

} // namespace dv::internal::uikit
