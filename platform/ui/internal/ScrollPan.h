// A scroll view's own pan recogniser and the delegate that decides whether it may begin. The
// recogniser is a plain pan to everyone else; it also tells its scroll view when the first finger
// lands (tracking starts, a movement of the view's own stops) and when the last one is gone. The
// scroll view owns both; they refer to it weakly. Main thread only.
#pragma once

#include "platform/ui/UIPanGestureRecognizer.h"
#include "platform/ui/UIScrollView.h"

namespace dv::internal::uikit {

class ScrollPanRecognizer : public UIPanGestureRecognizer {
public:
    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void reset() override;

private:
    Ref<UIScrollView> scrollView() const;
    bool m_down = false;
};

class ScrollPanDelegate : public UIGestureRecognizerDelegate {
public:
    explicit ScrollPanDelegate(const Ref<UIScrollView>& scrollView) : m_scrollView(scrollView) { }
    std::optional<bool> gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer) override;
    // The pan's action on the scroll view ("handlePan:").
    static void handlePan(UIScrollView& scrollView);

private:
    Weak<UIScrollView> m_scrollView;
};

} // namespace dv::internal::uikit
