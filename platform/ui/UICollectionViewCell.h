// UICollectionViewCell: the view of one item of a collection view. Its content goes into
// contentView, which fills it; behind that stand its background view and, while selected or
// highlighted, its selected background view. Clear by default. Main thread only.
//
//   class BannerCell : public UICollectionViewCell {
//   public:
//       Ref<BannerCell> initWithFrame(CGRect frame)
//       {
//           UICollectionViewCell::initWithFrame(frame);
//           contentView()->addSubview(m_image = alloc<UIImageView>()->initWithFrame(bounds()));
//           return self<BannerCell>();
//       }
//   };
//   collection->registerClassForCellWithReuseIdentifier<BannerCell>("cycleCell"_ns);
#pragma once

#include "platform/ui/UICollectionReusableView.h"

class UICollectionViewCell : public UICollectionReusableView {
    DV_CLASS(UICollectionViewCell, UICollectionReusableView)

    UICollectionViewCell() = default;
    Ref<UICollectionViewCell> init() { return initWithFrame(CGRectZero); }
    Ref<UICollectionViewCell> initWithFrame(CGRect frame);

    Ref<UIView> contentView() const { return m_contentView; }
    Ref<UIView> backgroundView() const { return m_backgroundView; }
    void setBackgroundView(const Ref<UIView>& view);
    Ref<UIView> selectedBackgroundView() const { return m_selectedBackgroundView; }
    void setSelectedBackgroundView(const Ref<UIView>& view);

    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return m_highlighted; }
    virtual void setHighlighted(bool highlighted);

    void layoutSubviews() override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    void handleSelectionLook();

    Ref<UIView> m_contentView;
    Ref<UIView> m_backgroundView;
    Ref<UIView> m_selectedBackgroundView;
    bool m_selected = false;
    bool m_highlighted = false;
};
