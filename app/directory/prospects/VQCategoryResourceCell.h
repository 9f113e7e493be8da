// VQCategoryResourceCell: the row of the one-column category list: the category's name, centred on
// a light grey rounded label 30 points in from both sides. Rows are 50 points high. Main thread
// only.
#pragma once

#include "platform/ui/UITableViewCell.h"

class UILabel;

class VQCategoryResourceCell : public UITableViewCell {
    DV_CLASS(VQCategoryResourceCell, UITableViewCell)

    VQCategoryResourceCell() = default;
    Ref<VQCategoryResourceCell> initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier);

    // Builds the row's label; called once by the initialiser.
    void createCellUI();

    Ref<UILabel> contentLabel() const { return m_contentLabel; }
    void setContentLabel(const Ref<UILabel>& label) { m_contentLabel = label; }

private:
    Ref<UILabel> m_contentLabel;
};
