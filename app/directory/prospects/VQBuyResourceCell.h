// VQBuyResourceCell: the row of the industry prospect list: the company's name on top, a line,
// and the phone number in blue below. Each row is a section of its own in a grouped table, 80
// points high. Main thread only.
//
//   auto cell = alloc<VQBuyResourceCell>()->initWithStyle(UITableViewCellStyleDefault, "cellID"_ns);
//   cell->contentLabel()->setText(record->computerName());
#pragma once

#include "platform/ui/UITableViewCell.h"

class UILabel;

class VQBuyResourceCell : public UITableViewCell {
    DV_CLASS(VQBuyResourceCell, UITableViewCell)

    VQBuyResourceCell() = default;
    Ref<VQBuyResourceCell> initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier);

    // Builds the row's views; called once by the initialiser.
    void loadUI();

    Ref<UILabel> contentLabel() const { return m_contentLabel; }
    void setContentLabel(const Ref<UILabel>& label) { m_contentLabel = label; }
    Ref<UIView> lineView() const { return m_lineView; }
    void setLineView(const Ref<UIView>& view) { m_lineView = view; }
    Ref<UILabel> phoneLabel() const { return m_phoneLabel; }
    void setPhoneLabel(const Ref<UILabel>& label) { m_phoneLabel = label; }

private:
    Ref<UILabel> m_contentLabel;
    Ref<UIView> m_lineView;
    Ref<UILabel> m_phoneLabel;
};
