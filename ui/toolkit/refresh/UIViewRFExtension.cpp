#include "ui/toolkit/refresh/UIViewRFExtension.h"

#include "platform/ui/UIScrollView.h"

namespace {

template <class Change>
void changeInset(UIScrollView* scrollView, Change change)
{
    if (!scrollView)
        return;
    UIEdgeInsets inset = scrollView->contentInset();
    change(inset);
    scrollView->setContentInset(inset);
}

template <class Change>
void changeOffset(UIScrollView* scrollView, Change change)
{
    if (!scrollView)
        return;
    CGPoint offset = scrollView->contentOffset();
    change(offset);
    scrollView->setContentOffset(offset);
}

template <class Change>
void changeContentSize(UIScrollView* scrollView, Change change)
{
    if (!scrollView)
        return;
    CGSize size = scrollView->contentSize();
    change(size);
    scrollView->setContentSize(size);
}

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

CGFloat rf_insetT(const UIScrollView* scrollView) { return scrollView ? scrollView->contentInset().top : 0; }
void setRf_insetT(UIScrollView* scrollView, CGFloat top) { changeInset(scrollView, [&](UIEdgeInsets& i) { i.top = top; }); }
CGFloat rf_insetB(const UIScrollView* scrollView) { return scrollView ? scrollView->contentInset().bottom : 0; }
void setRf_insetB(UIScrollView* scrollView, CGFloat bottom) { changeInset(scrollView, [&](UIEdgeInsets& i) { i.bottom = bottom; }); }
CGFloat rf_insetL(const UIScrollView* scrollView) { return scrollView ? scrollView->contentInset().left : 0; }
void setRf_insetL(UIScrollView* scrollView, CGFloat left) { changeInset(scrollView, [&](UIEdgeInsets& i) { i.left = left; }); }
CGFloat rf_insetR(const UIScrollView* scrollView) { return scrollView ? scrollView->contentInset().right : 0; }
void setRf_insetR(UIScrollView* scrollView, CGFloat right) { changeInset(scrollView, [&](UIEdgeInsets& i) { i.right = right; }); }

CGFloat rf_offsetX(const UIScrollView* scrollView) { return scrollView ? scrollView->contentOffset().x : 0; }
void setRf_offsetX(UIScrollView* scrollView, CGFloat x) { changeOffset(scrollView, [&](CGPoint& o) { o.x = x; }); }
CGFloat rf_offsetY(const UIScrollView* scrollView) { return scrollView ? scrollView->contentOffset().y : 0; }
void setRf_offsetY(UIScrollView* scrollView, CGFloat y) { changeOffset(scrollView, [&](CGPoint& o) { o.y = y; }); }

CGFloat rf_contentW(const UIScrollView* scrollView) { return scrollView ? scrollView->contentSize().width : 0; }
void setRf_contentW(UIScrollView* scrollView, CGFloat width) { changeContentSize(scrollView, [&](CGSize& s) { s.width = width; }); }
CGFloat rf_contentH(const UIScrollView* scrollView) { return scrollView ? scrollView->contentSize().height : 0; }
void setRf_contentH(UIScrollView* scrollView, CGFloat height) { changeContentSize(scrollView, [&](CGSize& s) { s.height = height; }); }

CGFloat rf_x(const UIView* view) { return view ? view->frame().origin.x : 0; }
void setRf_x(UIView* view, CGFloat x) { changeFrame(view, [&](CGRect& f) { f.origin.x = x; }); }
CGFloat rf_y(const UIView* view) { return view ? view->frame().origin.y : 0; }
void setRf_y(UIView* view, CGFloat y) { changeFrame(view, [&](CGRect& f) { f.origin.y = y; }); }
CGFloat rf_w(const UIView* view) { return view ? view->frame().size.width : 0; }
void setRf_w(UIView* view, CGFloat width) { changeFrame(view, [&](CGRect& f) { f.size.width = width; }); }
CGFloat rf_h(const UIView* view) { return view ? view->frame().size.height : 0; }
void setRf_h(UIView* view, CGFloat height) { changeFrame(view, [&](CGRect& f) { f.size.height = height; }); }
CGSize rf_size(const UIView* view) { return view ? view->frame().size : CGSizeZero; }
void setRf_size(UIView* view, CGSize size) { changeFrame(view, [&](CGRect& f) { f.size = size; }); }
CGPoint rf_origin(const UIView* view) { return view ? view->frame().origin : CGPointZero; }
void setRf_origin(UIView* view, CGPoint origin) { changeFrame(view, [&](CGRect& f) { f.origin = origin; }); }
