#include "ui/toolkit/carousel/UIViewCSExtension.h"

#include "ui/toolkit/refresh/UIViewRFExtension.h"

// The carousel's names for the accessors the refresh family already has.
CGFloat cs_x(const UIView* view) { return rf_x(view); }
void setCs_x(UIView* view, CGFloat x) { setRf_x(view, x); }
CGFloat cs_y(const UIView* view) { return rf_y(view); }
void setCs_y(UIView* view, CGFloat y) { setRf_y(view, y); }
CGFloat cs_width(const UIView* view) { return rf_w(view); }
void setCs_width(UIView* view, CGFloat width) { setRf_w(view, width); }
CGFloat cs_height(const UIView* view) { return rf_h(view); }
void setCs_height(UIView* view, CGFloat height) { setRf_h(view, height); }
