// UIView: the animation class members, in front of the recorder (internal/AnimationRecorder.h).
#include "platform/ui/UIView.h"

#include "platform/ui/internal/AnimationRecorder.h"

using dv::internal::uikit::AnimationRecorder;

void UIView::animateWithDuration(NSTimeInterval duration, AnimationBlock animations)
{
    animateWithDuration(duration, 0, 0, std::move(animations), {});
}

void UIView::animateWithDuration(NSTimeInterval duration, AnimationBlock animations, CompletionBlock completion)
{
    animateWithDuration(duration, 0, 0, std::move(animations), std::move(completion));
}

void UIView::animateWithDuration(NSTimeInterval duration, NSTimeInterval delay, UIViewAnimationOptions options, AnimationBlock animations,
    CompletionBlock completion)
{
    AnimationRecorder::Parameters parameters;
    parameters.duration = duration;
    parameters.delay = delay;
    parameters.options = options;
    AnimationRecorder::shared().run(parameters, animations, std::move(completion));
}

void UIView::animateWithDuration(NSTimeInterval duration, NSTimeInterval delay, CGFloat dampingRatio, CGFloat velocity,
    UIViewAnimationOptions options, AnimationBlock animations, CompletionBlock completion)
{
    AnimationRecorder::Parameters parameters;
    parameters.duration = duration;
    parameters.delay = delay;
    parameters.options = options;
    parameters.spring = true;
    parameters.dampingRatio = dampingRatio;
    parameters.initialVelocity = velocity;
    AnimationRecorder::shared().run(parameters, animations, std::move(completion));
}

void UIView::beginAnimations(const Ref<NSString>& animationID, void* context) { AnimationRecorder::shared().begin(animationID, context); }
void UIView::commitAnimations() { AnimationRecorder::shared().commit(); }
void UIView::setAnimationDuration(NSTimeInterval duration) { AnimationRecorder::shared().setDuration(duration); }
void UIView::setAnimationDelay(NSTimeInterval delay) { AnimationRecorder::shared().setDelay(delay); }
void UIView::setAnimationCurve(UIViewAnimationCurve curve) { AnimationRecorder::shared().setCurve(curve); }
void UIView::setAnimationBeginsFromCurrentState(bool fromCurrentState) { AnimationRecorder::shared().setBeginsFromCurrentState(fromCurrentState); }
void UIView::setAnimationDelegate(const id& delegate) { AnimationRecorder::shared().setDelegate(delegate); }
void UIView::setAnimationDidStopSelector(SEL selector) { AnimationRecorder::shared().setDidStopSelector(selector); }
void UIView::setAnimationsEnabled(bool enabled) { AnimationRecorder::shared().setEnabled(enabled); }
bool UIView::areAnimationsEnabled() { return AnimationRecorder::shared().enabled(); }

void UIView::performWithoutAnimation(const AnimationBlock& actions)
{
    auto& recorder = AnimationRecorder::shared();
    const bool was = recorder.enabled();
    recorder.setEnabled(false);
    if (actions)
        actions();
    recorder.setEnabled(was);
}
