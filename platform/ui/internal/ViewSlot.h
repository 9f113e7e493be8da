// Replacing the view a container keeps in one of its slots (a cell's background or accessory, a
// table's header, footer or background): the view the slot held leaves its superview, the slot
// takes the new one, and `insert` places it among the container's subviews (not called for nil).
// Nothing happens when the slot already holds the view: the answer says whether it changed.
//
//   if (dv::internal::uikit::replaceViewInSlot(m_backgroundView, view, [&](const Ref<UIView>& v) { insertSubviewAtIndex(v, 0); }))
//       setNeedsLayout();
#pragma once

#include "platform/ui/UIView.h"

namespace dv::internal::uikit {

template <class Insert>
bool replaceViewInSlot(Ref<UIView>& slot, const Ref<UIView>& view, Insert insert)
{
    if (slot == view)
        return false;
    if (slot)
        slot->removeFromSuperview();
    slot = view;
    if (view)
        insert(view);
    return true;
}

} // namespace dv::internal::uikit
