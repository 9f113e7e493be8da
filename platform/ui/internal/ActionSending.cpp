#include "platform/ui/internal/ActionSending.h"

#include "platform/ui/UIEvent.h"

#include <algorithm>
#include <cstring>

namespace dv::internal::uikit {

bool performAction(const id& target, SEL action, const id& sender, const Ref<UIEvent>& event)
{
    if (!target || !action || !target->respondsToSelector(action))
        return false;
    const char* name = action.name();
    const auto colons = std::min<std::size_t>(2, std::count(name, name + std::strlen(name), ':'));
    const id args[] = {sender, event};
    target->performSelector(action, std::span<const id>(args, colons));
    return true;
}

} // namespace dv::internal::uikit
