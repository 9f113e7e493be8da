// UIEvent: what the application hands its windows when touches change. One event object carries
// every touch that is down; each delivery marks the touches that changed by their phase. Main
// thread only.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

#include <vector>

enum UIEventType : NSInteger {
    UIEventTypeTouches = 0,
    UIEventTypeMotion = 1,
    UIEventTypeRemoteControl = 2,
};

class UIEvent : public NSObject {
    DV_CLASS(UIEvent, NSObject)

    UIEvent() = default;

    UIEventType type() const { return UIEventTypeTouches; }
    NSTimeInterval timestamp() const { return m_timestamp; }
    Ref<NSSet> allTouches() const;
    // The touches whose hit view is `view`, or whose window is `window`.
    Ref<NSSet> touchesForView(const Ref<UIView>& view) const;
    Ref<NSSet> touchesForWindow(const Ref<UIWindow>& window) const;

private:
    friend class dv::internal::uikit::TouchRouter;

    NSTimeInterval m_timestamp = 0;
    std::vector<Ref<UITouch>> m_touches;
};
