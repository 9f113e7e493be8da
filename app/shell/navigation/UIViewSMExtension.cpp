#include "app/shell/navigation/UIViewSMExtension.h"

#include "platform/ui/UIView.h"

namespace {

CGRect frameOf(const UIView* view) { return view ? view->frame() : CGRectZero; }

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

CGFloat x(const UIView* view) { return frameOf(view).origin.x; }
void setX(UIView* view, CGFloat x) { changeFrame(view, [x](CGRect& f) { f.origin.x = x; }); }
CGFloat y(const UIView* view) { return frameOf(view).origin.y; }
void setY(UIView* view, CGFloat y) { changeFrame(view, [y](CGRect& f) { f.origin.y = y; }); }
CGFloat width(const UIView* view) { return frameOf(view).size.width; }
void setWidth(UIView* view, CGFloat width) { changeFrame(view, [width](CGRect& f) { f.size.width = width; }); }
CGFloat height(const UIView* view) { return frameOf(view).size.height; }
void setHeight(UIView* view, CGFloat height) { changeFrame(view, [height](CGRect& f) { f.size.height = height; }); }
CGSize size(const UIView* view) { return frameOf(view).size; }
void setSize(UIView* view, CGSize size) { changeFrame(view, [size](CGRect& f) { f.size = size; }); }
