// The main screen's scale (points to pixels). The screen belongs to the system layer; until it
// takes this setting over, graphics keeps it here: 2 unless set, read by image contexts of scale
// 0 and by imageNamed:'s choice of @2x/@3x files. Safe from any thread.
#pragma once

#include "platform/base/Forward.h"

namespace dv {

CGFloat mainScreenScale();
// Values of 0 or less restore the default of 2. A change empties imageNamed's cache.
void setMainScreenScale(CGFloat scale);

} // namespace dv
