// VQAddFansCell: the row of the two phone lists (by city, by number prefix): the number as the
// title of a blue, centred button that does nothing when tapped, and a line along the bottom (the
// lists switch the table's own separators off). Rows are 50 points high. Main thread only.
//
//   auto cell = alloc<VQAddFansCell>()->initWithStyle(UITableViewCellStyleDefault, "cellID"_ns);
//   cell->phoneBtn()->setTitle(record->phone(), UIControlStateNormal);
#pragma once

#include "platform/ui/UITableViewCell.h"

class UIButton;

class VQAddFansCell : public UITableViewCell {
    DV_CLASS(VQAddFansCell, UITableViewCell)

    VQAddFansCell() = default;
    Ref<VQAddFansCell> initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier);

    // Builds the row's views; called once by the initialiser.
    void createUI();

    Ref<UIButton> phoneBtn() const { return m_phoneBtn; }
    void setPhoneBtn(const Ref<UIButton>& button) { m_phoneBtn = button; }
    Ref<UIView> lineView() const { return m_lineView; }
    void setLineView(const Ref<UIView>& view) { m_lineView = view; }

private:
    Ref<UIButton> m_phoneBtn;
    Ref<UIView> m_lineView;
};
