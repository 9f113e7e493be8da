#include "ui/toolkit/carousel/UIViewCSExtension.h"

#include "platform/ui/UIView.h"

namespace {

template <class Change>
void changeFrame(UIView* view, Change change)
{
    if (!view)
        return;
    CGRect frame = view->frame();
    change(frame);
    view->setFrame(frame);
}

} // namespace

CGFloat cs_x(const UIView* view) { return view ? view->frame().origin.x : 0; }
void setSd_x(UIView* view, CGFloat x) { changeFrame(view, [x](CGRect& f) { f.origin.x = x; }); }
CGFloat cs_y(const UIView* view) { return view ? view->frame().origin.y : 0; }
void setSd_y(UIView* view, CGFloat y) { changeFrame(view, [y](CGRect& f) { f.origin.y = y; }); }
CGFloat cs_width(const UIView* view) { return view ? view->frame().size.width : 0; }
void setSd_width(UIView* view, CGFloat width) { changeFrame(view, [width](CGRect& f) { f.size.width = width; }); }
CGFloat cs_height(const UIView* view) { return view ? view->frame().size.height : 0; }
void setSd_height(UIView* view, CGFloat height) { changeFrame(view, [height](CGRect& f) { f.size.height = height; }); }
