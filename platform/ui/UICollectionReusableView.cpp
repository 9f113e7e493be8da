#include "platform/ui/UICollectionReusableView.h"

#include "platform/base/ClassBuilder.h"

DV_DEFINE_CLASS(UICollectionReusableView)

Ref<UICollectionReusableView> UICollectionReusableView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    return self<UICollectionReusableView>();
}

void UICollectionReusableView::prepareForReuse() { }

void UICollectionReusableView::applyLayoutAttributes(const Ref<UICollectionViewLayoutAttributes>&) { }
