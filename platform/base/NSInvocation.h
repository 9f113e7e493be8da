// NSInvocation: a message kept to be sent later — a target, a selector and its arguments — as
// buttons keep what they do. It is made for a target that has a method for the selector (nil
// otherwise: there is no signature to build it from). As on the platform, an invocation does not
// keep its target or its arguments alive unless retainArguments is called; here a target or an
// argument that has gone away reads as nil, and invoking with a target gone does nothing.
//
//   auto invocation = NSInvocation::invocationWithTarget(screen, "nextTapped:");
//   invocation->setArgument(field, 2);   // 0 and 1 are the target and the selector
//   invocation->invoke();
#pragma once

#include "platform/base/NSObject.h"

#include <vector>

class NSInvocation : public NSObject {
    DV_CLASS(NSInvocation, NSObject)

    NSInvocation() = default;
    // nil when the target is nil or has no method for the selector.
    static Ref<NSInvocation> invocationWithTarget(const id& target, SEL selector);

    id target() const;
    void setTarget(const id& target);
    SEL selector() const { return m_selector; }
    void setSelector(SEL selector) { m_selector = selector; }
    // Arguments count from 2, after the target and the selector; as many as the selector has colons.
    void setArgument(const id& argument, NSInteger index);
    id argumentAtIndex(NSInteger index) const;
    NSUInteger numberOfArguments() const { return m_arguments.size() + 2; }
    // Keeps the target and the arguments alive from now on.
    void retainArguments();
    bool argumentsRetained() const { return m_retained; }

    // Sends the message; the method's result, nil when there is none or the target is gone.
    id invoke();

private:
    struct Slot {
        Weak<NSObject> weak;
        id strong;
        id get() const { return strong ? strong : weak.lock(); }
    };
    void store(Slot& slot, const id& value) const;

    Slot m_target;
    SEL m_selector;
    std::vector<Slot> m_arguments;
    bool m_retained = false;
};
