#include "ui/toolkit/carousel/UIViewCSExtension.h"

#include "ui/toolkit/refresh/UIViewRFExtension.h"

// The carousel's names for the accessors the refresh family already has.
CGFloat cs_x(const UIView* view) { return rf_x(view); }
void setSd_x(UIView* view, CGFloat x) { setMj_x(view, x); }
CGFloat cs_y(const UIView* view) { return rf_y(view); }
void setSd_y(UIView* view, CGFloat y) { setMj_y(view, y); }
CGFloat cs_width(const UIView* view) { return rf_w(view); }
void setSd_width(UIView* view, CGFloat width) { setMj_w(view, width); }
CGFloat cs_height(const UIView* view) { return rf_h(view); }
void setSd_height(UIView* view, CGFloat height) { setMj_h(view, height); }
