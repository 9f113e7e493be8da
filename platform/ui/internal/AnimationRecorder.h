// View animations as a headless interface has them: an animation block runs at once, and every
// animatable property it changes is recorded as running, with the block's parameters. Each block
// forms a group whose completion (a block, or the did-stop selector of the older form) runs on
// the main run loop after delay + duration of clock time, finished YES; when a later block that
// begins from the current state changes the same property, the earlier record is cut short and
// its group hears finished NO (at once when none of its records is left). Blocks nest: changes go
// to the innermost open block. Main thread only.
#pragma once

#include "platform/ui/UIView.h"
#include "platform/ui/ViewAnimation.h"

#include <memory>
#include <vector>

namespace dv::internal::uikit {

class AnimationRecorder {
public:
    struct Parameters {
        NSTimeInterval duration = 0;
        NSTimeInterval delay = 0;
        UIViewAnimationOptions options = 0;
        bool spring = false;
        CGFloat dampingRatio = 0;
        CGFloat initialVelocity = 0;
    };

    static AnimationRecorder& shared();

    void run(const Parameters& parameters, const UIView::AnimationBlock& animations, UIView::CompletionBlock completion);

    // The begin/commit form. Setters act on the innermost open begin; outside one they do nothing.
    void begin(const Ref<NSString>& animationID, void* context);
    void commit();
    void setDuration(NSTimeInterval duration);
    void setDelay(NSTimeInterval delay);
    void setCurve(UIViewAnimationCurve curve);
    void setBeginsFromCurrentState(bool fromCurrentState);
    void setDelegate(const id& delegate);
    void setDidStopSelector(SEL selector);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    // Called by a view's setter when an animatable property really changes.
    void recordChange(UIView& view, const char* keyPath);
    void removeAnimations(const UIView& view);
    std::vector<ViewAnimation> running(const UIView* view) const;
    std::vector<std::string> keyPaths(const UIView& view) const;

private:
    struct Group;
    // A property animating as part of a group. The group is held by what will end it (its timer
    // or the queued end on the run loop), not by the records: an animation whose end was dropped
    // (a timer discarded with a finished test's clock) leaves nothing behind.
    struct Record {
        Weak<UIView> view;
        const UIView* identity = nullptr;
        std::string keyPath;
        std::weak_ptr<Group> group;
    };

    AnimationRecorder() = default;
    void close(const std::shared_ptr<Group>& group);
    void cutShort(std::size_t recordIndex);
    void finish(const std::shared_ptr<Group>& group);
    Group* openLegacy();

    std::vector<std::shared_ptr<Group>> m_open;
    std::vector<Record> m_running;
    bool m_enabled = true;
};

} // namespace dv::internal::uikit
