// UIScreenEdgePanGestureRecognizer: a pan that counts only when its finger lands within 20 points
// of one of the named edges of the screen (the window); elsewhere it fails at once and leaves the
// touch to others. The navigation controller's back swipe is one, on the left edge.
//
//   auto edge = alloc<UIScreenEdgePanGestureRecognizer>()->initWithTarget(self(), "swiped:");
//   edge->setEdges(UIRectEdgeLeft);
#pragma once

#include "platform/ui/UIPanGestureRecognizer.h"
#include "platform/ui/UIViewController.h"

class UIScreenEdgePanGestureRecognizer : public UIPanGestureRecognizer {
    DV_CLASS(UIScreenEdgePanGestureRecognizer, UIPanGestureRecognizer)

    UIScreenEdgePanGestureRecognizer() = default;

    UIRectEdge edges() const { return m_edges; }
    void setEdges(UIRectEdge edges) { m_edges = edges; }

    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

    // How near an edge the finger must land, in points.
    static constexpr CGFloat edgeReach = 20;

private:
    UIRectEdge m_edges = UIRectEdgeNone;
};
