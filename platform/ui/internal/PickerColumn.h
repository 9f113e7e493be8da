// One wheel of a picker: a vertical scroll view of rows of one height whose insets let the first
// and the last row reach the middle band, so that the offset of row r is r × height - inset. The
// rows are drawn on a drum: shrinking and fading toward the wheel's edges around the band. It
// shows views only for the rows within sight (reusing the ones that left), snaps a
// release onto a row (its own scroll delegate moves the rest point), turns to a tapped row, and
// tells its picker when a person's turn has come to rest. Owned by its UIPickerView (a subview);
// refers to it weakly. Main thread only.
#pragma once

#include "platform/ui/UIPickerView.h"
#include "platform/ui/UIScrollView.h"

#include <map>
#include <vector>

namespace dv::internal::uikit {

class PickerColumn : public UIScrollView, public UIScrollViewDelegate {
public:
    static Ref<PickerColumn> make(const Ref<UIPickerView>& picker, NSInteger component);

    // New rows (their views are given back), then the wheel stands on `row` (-1: none).
    void reload(NSInteger rows, CGFloat rowHeight, NSInteger row);
    // Turns to the row in code: no report to the picker.
    void showRow(NSInteger row, bool animated);
    // The row in the middle band now.
    NSInteger rowInBand() const;
    Ref<UIView> viewForRow(NSInteger row) const;
    CGFloat offsetForRow(NSInteger row) const;

    void setFrame(CGRect frame) override;
    void layoutSubviews() override;
    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

    bool scrollViewWillBeginDragging(const Ref<UIScrollView>&) override;
    bool scrollViewWillEndDragging(const Ref<UIScrollView>&, CGPoint velocity, CGPoint* target) override;
    bool scrollViewDidEndDragging(const Ref<UIScrollView>&, bool willDecelerate) override;
    bool scrollViewDidEndDecelerating(const Ref<UIScrollView>&) override;
    bool scrollViewDidEndScrollingAnimation(const Ref<UIScrollView>&) override;

private:
    struct Shown {
        Ref<UIView> view;
        bool own = false; // a title label of the wheel's own, not the delegate's view
    };
    void handleInsets();
    // The drum the rows turn on: its radius, the middle of the band in content coordinates, the
    // row shown at a height of the wheel, and a row view placed, shrunk and faded by its turn.
    CGFloat handleRadius() const;
    CGFloat handleBandMiddle() const;
    NSInteger handleRowAt(CGFloat y) const;
    void handlePlaceOnDrum(UIView& view, NSInteger row) const;
    void handleRest();
    void handleRecycle(Shown shown);

    Weak<UIPickerView> m_picker;
    NSInteger m_component = 0;
    NSInteger m_rows = 0;
    CGFloat m_rowHeight = 32;
    std::map<NSInteger, Shown> m_shown;
    std::vector<Ref<UIView>> m_freeViews;  // the delegate's views, offered again for reuse
    std::vector<Ref<UIView>> m_freeLabels; // the wheel's own title labels
    bool m_turnedByPerson = false;
};

} // namespace dv::internal::uikit
