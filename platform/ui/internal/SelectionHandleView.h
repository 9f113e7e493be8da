// One handle of a text field's selection: the bar at a boundary of the selection, as tall as the
// line, with its dot (above the start, below the end), in the tint colour. A subview of the field,
// so that a handle at the field's edge is drawn whole, past the field's bounds; it takes no
// touches (they go to the field). Main thread only.
//
//   handle->placeAt(CGRectMake(x, line.origin.y, 0, line.size.height), HandleEnd::Start);
#pragma once

#include "platform/ui/UIView.h"
#include "platform/ui/internal/TextEditing.h"

class UISelectionHandleView : public UIView {
    DV_CLASS(UISelectionHandleView, UIView)

    UISelectionHandleView() = default;
    static Ref<UISelectionHandleView> make(dv::internal::uikit::HandleEnd end);

    dv::internal::uikit::HandleEnd end() const { return m_end; }
    // Stands the handle at `line`: the boundary's x, the line's top and height, in the
    // superview's coordinates (the frame covers whole points around the bar and the dot).
    void placeAt(CGRect line);

    void drawRect(CGRect rect) override;

private:
    dv::internal::uikit::HandleEnd m_end = dv::internal::uikit::HandleEnd::Start;
    CGRect m_line {}; // in the view's own coordinates
};
