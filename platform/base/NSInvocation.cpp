#include "platform/base/NSInvocation.h"

#include "platform/base/ClassBuilder.h"

#include <algorithm>
#include <cstring>

DV_DEFINE_CLASS(NSInvocation)

Ref<NSInvocation> NSInvocation::invocationWithTarget(const id& target, SEL selector)
{
    if (!target || !selector || !target->respondsToSelector(selector))
        return nil;
    auto invocation = alloc<NSInvocation>();
    invocation->init();
    invocation->setTarget(target);
    invocation->setSelector(selector);
    const char* name = selector.name();
    invocation->m_arguments.resize(static_cast<std::size_t>(std::count(name, name + std::strlen(name), ':')));
    return invocation;
}

id NSInvocation::target() const
{
    return m_target.get();
}

void NSInvocation::setTarget(const id& target)
{
    store(m_target, target);
}

void NSInvocation::store(Slot& slot, const id& value) const
{
    slot.weak = value;
    slot.strong = m_retained ? value : nil;
}

void NSInvocation::setArgument(const id& argument, NSInteger index)
{
    if (index < 2)
        return;
    const auto slot = static_cast<std::size_t>(index - 2);
    if (slot >= m_arguments.size())
        m_arguments.resize(slot + 1);
    store(m_arguments[slot], argument);
}

id NSInvocation::argumentAtIndex(NSInteger index) const
{
    if (index == 0)
        return target();
    if (index < 2 || static_cast<std::size_t>(index - 2) >= m_arguments.size())
        return nil;
    return m_arguments[static_cast<std::size_t>(index - 2)].get();
}

void NSInvocation::retainArguments()
{
    m_retained = true;
    m_target.strong = m_target.weak.lock();
    for (auto& argument : m_arguments)
        argument.strong = argument.weak.lock();
}

id NSInvocation::invoke()
{
    auto receiver = target();
    if (!receiver)
        return nil;
    std::vector<id> arguments;
    arguments.reserve(m_arguments.size());
    for (auto& argument : m_arguments)
        arguments.push_back(argument.get());
    return receiver->performSelector(m_selector, arguments);
}
