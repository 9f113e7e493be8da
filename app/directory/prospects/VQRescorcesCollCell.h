// VQRescorcesCollCell: one item of the category grid: the category's name, centred on a light grey
// rounded label inset 10 points from the item's left edge. Main thread only.
//
//   collectionView->registerClassForCellWithReuseIdentifier<VQRescorcesCollCell>("RescorceCellID"_ns);
#pragma once

#include "platform/ui/UICollectionViewCell.h"

class UILabel;

class VQRescorcesCollCell : public UICollectionViewCell {
    DV_CLASS(VQRescorcesCollCell, UICollectionViewCell)

    VQRescorcesCollCell() = default;
    Ref<VQRescorcesCollCell> initWithFrame(CGRect frame);

    // Builds the item's label; called once by the initialiser.
    void createUI();

    Ref<UILabel> contentLabel() const { return m_contentLabel; }
    void setContentLabel(const Ref<UILabel>& label) { m_contentLabel = label; }

private:
    Ref<UILabel> m_contentLabel;
};
