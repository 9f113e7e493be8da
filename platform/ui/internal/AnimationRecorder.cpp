#include "platform/ui/internal/AnimationRecorder.h"

#include "platform/base/Boxing.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSTimer.h"

#include <algorithm>

namespace dv::internal::uikit {

struct AnimationRecorder::Group {
    Parameters parameters;
    NSTimeInterval beginTime = 0;
    std::size_t remaining = 0;
    bool finished = true;
    bool closed = false;
    bool done = false;
    UIView::CompletionBlock completion;
    Ref<NSTimer> timer;
    // The begin/commit form.
    bool legacy = false;
    Ref<NSString> animationID;
    void* context = nullptr;
    Weak<NSObject> delegate;
    SEL didStopSelector;
};

AnimationRecorder& AnimationRecorder::shared()
{
    static AnimationRecorder* s_shared = new AnimationRecorder();
    return *s_shared;
}

void AnimationRecorder::run(const Parameters& parameters, const UIView::AnimationBlock& animations, UIView::CompletionBlock completion)
{
    auto group = std::make_shared<Group>();
    group->parameters = parameters;
    group->beginTime = Clock::current().now();
    group->completion = std::move(completion);
    m_open.push_back(group);
    if (animations)
        animations();
    std::erase(m_open, group);
    close(group);
}

void AnimationRecorder::begin(const Ref<NSString>& animationID, void* context)
{
    auto group = std::make_shared<Group>();
    // The platform's default duration for the older form.
    group->parameters.duration = 0.2;
    group->beginTime = Clock::current().now();
    group->legacy = true;
    group->animationID = animationID;
    group->context = context;
    m_open.push_back(group);
}

AnimationRecorder::Group* AnimationRecorder::openLegacy()
{
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it)
        if ((*it)->legacy)
            return it->get();
    return nullptr;
}

void AnimationRecorder::commit()
{
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it) {
        if (!(*it)->legacy)
            continue;
        auto group = *it;
        m_open.erase(std::next(it).base());
        close(group);
        return;
    }
}

void AnimationRecorder::setDuration(NSTimeInterval duration)
{
    if (auto* group = openLegacy())
        group->parameters.duration = duration;
}

void AnimationRecorder::setDelay(NSTimeInterval delay)
{
    if (auto* group = openLegacy())
        group->parameters.delay = delay;
}

void AnimationRecorder::setCurve(UIViewAnimationCurve curve)
{
    if (auto* group = openLegacy())
        group->parameters.options = (group->parameters.options & ~UIViewAnimationOptions(0xF << 16)) | (UIViewAnimationOptions(curve) << 16);
}

void AnimationRecorder::setBeginsFromCurrentState(bool fromCurrentState)
{
    if (auto* group = openLegacy()) {
        if (fromCurrentState)
            group->parameters.options |= UIViewAnimationOptionBeginFromCurrentState;
        else
            group->parameters.options &= ~UIViewAnimationOptions(UIViewAnimationOptionBeginFromCurrentState);
    }
}

void AnimationRecorder::setDelegate(const id& delegate)
{
    if (auto* group = openLegacy())
        group->delegate = delegate;
}

void AnimationRecorder::setDidStopSelector(SEL selector)
{
    if (auto* group = openLegacy())
        group->didStopSelector = selector;
}

void AnimationRecorder::recordChange(UIView& view, const char* keyPath)
{
    if (m_open.empty() || !m_enabled)
        return;
    const auto& group = m_open.back();
    for (std::size_t i = 0; i < m_running.size(); ++i) {
        auto& record = m_running[i];
        if (record.identity != &view || record.view.expired() || record.keyPath != keyPath)
            continue;
        if (record.group.lock() == group)
            return;
        if (group->parameters.options & UIViewAnimationOptionBeginFromCurrentState) {
            cutShort(i);
            break;
        }
    }
    std::erase_if(m_running, [](const Record& r) { return r.group.expired(); });
    m_running.push_back({view.self<UIView>(), &view, keyPath, group});
    ++group->remaining;
}

void AnimationRecorder::cutShort(std::size_t index)
{
    auto group = m_running[index].group.lock();
    m_running.erase(m_running.begin() + std::ptrdiff_t(index));
    if (!group)
        return;
    group->finished = false;
    if (--group->remaining > 0 || !group->closed || group->done)
        return;
    // Every property of that animation was taken over: it ends now, heard on the next turn.
    if (group->timer)
        group->timer->invalidate();
    NSRunLoop::mainRunLoop()->performBlock([group] { AnimationRecorder::shared().finish(group); });
}

void AnimationRecorder::removeAnimations(const UIView& view)
{
    for (std::size_t i = m_running.size(); i-- > 0;)
        if (m_running[i].identity == &view && !m_running[i].view.expired())
            cutShort(i);
}

void AnimationRecorder::close(const std::shared_ptr<Group>& group)
{
    group->closed = true;
    if (group->remaining == 0) {
        // Nothing animates: the completion follows on the next turn, whatever the duration.
        NSRunLoop::mainRunLoop()->performBlock([group] { AnimationRecorder::shared().finish(group); });
        return;
    }
    const NSTimeInterval length = std::max(0.0, group->parameters.delay) + std::max(0.0, group->parameters.duration);
    group->timer = NSTimer::timerWithTimeInterval(length, false, [group](const Ref<NSTimer>&) { AnimationRecorder::shared().finish(group); });
    NSRunLoop::mainRunLoop()->addTimer(group->timer, NSRunLoopCommonModes);
}

void AnimationRecorder::finish(const std::shared_ptr<Group>& group)
{
    if (group->done)
        return;
    group->done = true;
    if (auto timer = std::exchange(group->timer, nil))
        timer->invalidate();
    std::erase_if(m_running, [&](const Record& r) {
        auto owner = r.group.lock();
        return !owner || owner == group;
    });
    group->remaining = 0;
    const bool finished = group->finished;
    if (auto completion = std::exchange(group->completion, {}))
        completion(finished);
    if (auto delegate = group->delegate.lock(); delegate && group->didStopSelector) {
        const id args[] = {group->animationID, NSNumber::numberWithBool(finished), NSValue::valueWithPointer(group->context)};
        delegate->performSelector(group->didStopSelector, args);
    }
}

std::vector<ViewAnimation> AnimationRecorder::running(const UIView* view) const
{
    std::vector<ViewAnimation> result;
    for (auto& record : m_running) {
        auto group = record.group.lock();
        if (!group || record.view.expired() || (view && record.identity != view))
            continue;
        const auto& p = group->parameters;
        result.push_back({record.view, record.keyPath, p.duration, p.delay, p.options, NSInteger((p.options >> 16) & 0xF), p.spring,
            p.dampingRatio, p.initialVelocity, group->beginTime});
    }
    return result;
}

std::vector<std::string> AnimationRecorder::keyPaths(const UIView& view) const
{
    std::vector<std::string> keys;
    for (auto& record : m_running)
        if (record.identity == &view && !record.view.expired() && !record.group.expired()
            && std::find(keys.begin(), keys.end(), record.keyPath) == keys.end())
            keys.push_back(record.keyPath);
    return keys;
}

} // namespace dv

std::vector<dv::ViewAnimation> dv::runningAnimations(const Ref<UIView>& view)
{
    return internal::uikit::AnimationRecorder::shared().running(view.get());
}
