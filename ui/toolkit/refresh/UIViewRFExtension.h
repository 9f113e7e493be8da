// UIView(RFExtension) and UIScrollView(RFExtension): single-value accessors over a view's frame
// and a scroll view's inset, offset and content size, for the refresh family. Each getter reads
// one field; each setter reads the whole value, replaces that field and writes it back, so the
// other fields keep their values. A null view reads as 0 and ignores a set. Main thread only.
//
//   setRf_insetB(scrollView, rf_insetB(scrollView) + rf_h(footer));
#pragma once

#include "platform/base/Geometry.h"

class UIView;
class UIScrollView;

// UIScrollView(RFExtension)
CGFloat rf_insetT(const UIScrollView* scrollView);
void setRf_insetT(UIScrollView* scrollView, CGFloat top);
CGFloat rf_insetB(const UIScrollView* scrollView);
void setRf_insetB(UIScrollView* scrollView, CGFloat bottom);
CGFloat rf_insetL(const UIScrollView* scrollView);
void setRf_insetL(UIScrollView* scrollView, CGFloat left);
CGFloat rf_insetR(const UIScrollView* scrollView);
void setRf_insetR(UIScrollView* scrollView, CGFloat right);
CGFloat rf_offsetX(const UIScrollView* scrollView);
void setRf_offsetX(UIScrollView* scrollView, CGFloat x);
CGFloat rf_offsetY(const UIScrollView* scrollView);
void setRf_offsetY(UIScrollView* scrollView, CGFloat y);
CGFloat rf_contentW(const UIScrollView* scrollView);
void setRf_contentW(UIScrollView* scrollView, CGFloat width);
CGFloat rf_contentH(const UIScrollView* scrollView);
void setRf_contentH(UIScrollView* scrollView, CGFloat height);

// UIView(RFExtension)
CGFloat rf_x(const UIView* view);
void setRf_x(UIView* view, CGFloat x);
CGFloat rf_y(const UIView* view);
void setRf_y(UIView* view, CGFloat y);
CGFloat rf_w(const UIView* view);
void setRf_w(UIView* view, CGFloat width);
CGFloat rf_h(const UIView* view);
void setRf_h(UIView* view, CGFloat height);
inline CGFloat rf_width(const UIView* view) { return rf_w(view); }
inline void setRf_width(UIView* view, CGFloat width) { setRf_w(view, width); }
inline CGFloat rf_height(const UIView* view) { return rf_h(view); }
inline void setRf_height(UIView* view, CGFloat height) { setRf_h(view, height); }
CGSize rf_size(const UIView* view);
void setRf_size(UIView* view, CGSize size);
CGPoint rf_origin(const UIView* view);
void setRf_origin(UIView* view, CGPoint origin);
