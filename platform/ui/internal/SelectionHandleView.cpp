#include "platform/ui/internal/SelectionHandleView.h"

#include "platform/graphics/UIColor.h"

#include <cmath>

DV_DEFINE_CLASS(UISelectionHandleView)

Ref<UISelectionHandleView> UISelectionHandleView::make(dv::internal::uikit::HandleEnd end)
{
    auto handle = alloc<UISelectionHandleView>();
    handle->initWithFrame(CGRectZero);
    handle->m_end = end;
    handle->setOpaque(false);
    handle->setUserInteractionEnabled(false);
    return handle;
}

void UISelectionHandleView::placeAt(CGRect line)
{
    // On whole points, so that the bar is drawn as crisply as the field's own drawing.
    const CGRect bounds = dv::internal::uikit::selectionHandleBounds(line, m_end);
    const CGFloat left = std::floor(bounds.origin.x), top = std::floor(bounds.origin.y);
    const CGRect frame = CGRectMake(left, top, std::ceil(CGRectGetMaxX(bounds)) - left, std::ceil(CGRectGetMaxY(bounds)) - top);
    const CGRect inside = CGRectOffset(line, -left, -top);
    if (CGRectEqualToRect(frame, this->frame()) && CGRectEqualToRect(inside, m_line))
        return;
    m_line = inside;
    setFrame(frame);
    setNeedsDisplay();
}

void UISelectionHandleView::drawRect(CGRect) { dv::internal::uikit::drawSelectionHandle(tintColor(), m_line, m_end); }
