// UICollectionReusableView: a view a collection view shows for one of its elements (the base of
// cells, and itself a supplementary view such as a section header). The collection view makes it
// from the class registered for its reuse identifier, places it by its layout attributes and keeps
// it for reuse when its element leaves the visible bounds. Main thread only.
#pragma once

#include "platform/ui/UIView.h"

class UICollectionViewLayoutAttributes;

class UICollectionReusableView : public UIView {
    DV_CLASS(UICollectionReusableView, UIView)

    UICollectionReusableView() = default;
    Ref<UICollectionReusableView> init() { return initWithFrame(CGRectZero); }
    Ref<UICollectionReusableView> initWithFrame(CGRect frame);

    Ref<NSString> reuseIdentifier() const { return m_reuseIdentifier; }
    // Called when the collection view hands the view out again from its reuse pool.
    virtual void prepareForReuse();
    // Called with the attributes the view is placed by (after its frame is set).
    virtual void applyLayoutAttributes(const Ref<UICollectionViewLayoutAttributes>& attributes);

private:
    friend class UICollectionView;
    Ref<NSString> m_reuseIdentifier;
};
