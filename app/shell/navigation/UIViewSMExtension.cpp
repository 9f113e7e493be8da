#include "app/shell/navigation/UIViewSMExtension.h"

#include "ui/toolkit/refresh/UIViewRFExtension.h"

// The same single-field accessors as the toolkit's, under the application's own names.
CGFloat x(const UIView* view) { return rf_x(view); }
void setX(UIView* view, CGFloat x) { setRf_x(view, x); }
CGFloat y(const UIView* view) { return rf_y(view); }
void setY(UIView* view, CGFloat y) { setRf_y(view, y); }
CGFloat width(const UIView* view) { return rf_w(view); }
void setWidth(UIView* view, CGFloat width) { setRf_w(view, width); }
CGFloat height(const UIView* view) { return rf_h(view); }
void setHeight(UIView* view, CGFloat height) { setRf_h(view, height); }
CGSize size(const UIView* view) { return rf_size(view); }
void setSize(UIView* view, CGSize size) { setRf_size(view, size); }
