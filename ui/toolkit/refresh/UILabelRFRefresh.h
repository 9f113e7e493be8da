// UILabel(RFRefresh): the text labels of refresh headers and footers, all alike: bold system font
// of 14 points, dark grey (90/255), centred, on a clear ground, stretching with their view.
//
//   auto stateLabel = label();                  // a UILabel
//   auto custom = label<MyRefreshLabel>();      // the same look on a label subclass
#pragma once

#include "platform/ui/UILabel.h"

namespace dv::internal::toolkit {
void applyRefreshLabelLook(UILabel& label);
}

// A new label of class Label (UILabel or a subclass), made with its plain initialiser.
template <class Label = UILabel>
Ref<Label> label()
{
    auto made = alloc<Label>();
    made->init();
    dv::internal::toolkit::applyRefreshLabelLook(*made);
    return made;
}
