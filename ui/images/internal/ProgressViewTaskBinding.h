// One observation of a URL session task on behalf of a progress view: the task's "state" and one
// byte counter, under the upload or the download context. The binding is the task's observer and
// holds both the view and the task weakly; the view keeps its bindings (ProgressViewTaskBindings,
// attached to it), so a binding ends when the task completes or when the view goes, whichever
// comes first. Ending removes both observations once; a removal the task refuses is ignored.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/dispatch/Observable.h"

#include <atomic>
#include <vector>

class NSURLSessionTask;
class UIProgressView;

namespace dv::internal::images {

enum class ProgressDirection { upload, download };

class ProgressViewTaskBinding : public NSObject, public NSKeyValueObserving {
    DV_CLASS(ProgressViewTaskBinding, NSObject)

    ProgressViewTaskBinding() = default;
    ~ProgressViewTaskBinding() override;
    // Starts observing the task.
    Ref<ProgressViewTaskBinding> initWithView(const Ref<UIProgressView>& view, const Ref<NSURLSessionTask>& task, ProgressDirection direction);

    void observeValueForKeyPath(const Ref<NSString>& keyPath, const id& object, const Ref<NSDictionary>& change, void* context) override;
    // Stops observing; later calls do nothing.
    void end();
    bool hasEnded() const { return m_ended.load(); }

private:
    const char* counterKey() const;
    void* context() const;

    Weak<UIProgressView> m_view;
    Weak<NSURLSessionTask> m_task;
    ProgressDirection m_direction = ProgressDirection::download;
    std::atomic<bool> m_ended { false };
};

// What a progress view keeps: its bindings, ended ones pruned as new ones come. Main thread.
class ProgressViewTaskBindings : public NSObject {
    DV_CLASS(ProgressViewTaskBindings, NSObject)

    ProgressViewTaskBindings() = default;
    ~ProgressViewTaskBindings() override;

    static Ref<ProgressViewTaskBindings> of(const Ref<UIProgressView>& view);
    void add(const Ref<ProgressViewTaskBinding>& binding);

private:
    std::vector<Ref<ProgressViewTaskBinding>> m_bindings;
};

} // namespace dv::internal::images
