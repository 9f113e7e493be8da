// VQPassiveFansCell: the row of the three QR-code lists: the code's title, centred, an arrow at
// the right and a line along the bottom that separates it from the next row (the lists switch the
// table's own separators off). Rows are 45 points high. Main thread only.
//
//   auto cell = alloc<VQPassiveFansCell>()->initWithStyle(UITableViewCellStyleDefault, "cellOne"_ns);
//   cell->contentLabel()->setText(code->title());
#pragma once

#include "platform/ui/UITableViewCell.h"

class UILabel;

class VQPassiveFansCell : public UITableViewCell {
    DV_CLASS(VQPassiveFansCell, UITableViewCell)

    VQPassiveFansCell() = default;
    Ref<VQPassiveFansCell> initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier);

    // Builds the row's views; called once by the initialiser.
    void createUI();
    void setSelected(bool selected, bool animated) override;

    Ref<UILabel> contentLabel() const { return m_contentLabel; }
    void setContentLabel(const Ref<UILabel>& label) { m_contentLabel = label; }

private:
    Ref<UILabel> m_contentLabel;
};
