#include "ui/images/internal/ProgressViewTaskBinding.h"

#include "platform/base/Associations.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIProgressView.h"
#include "ui/images/UIProgressViewPNNetworking.h"

#include <algorithm>
#include <string_view>

namespace dv::internal::images {

DV_DEFINE_CLASS(ProgressViewTaskBinding)
DV_DEFINE_CLASS(ProgressViewTaskBindings)

namespace {

char s_uploadContext;
char s_downloadContext;
const char kBindingsKey = 0;

} // namespace

Ref<ProgressViewTaskBinding> ProgressViewTaskBinding::initWithView(const Ref<UIProgressView>& view, const Ref<NSURLSessionTask>& task,
    ProgressDirection direction)
{
    init();
    m_view = view;
    m_task = task;
    m_direction = direction;
    auto self = this->self<ProgressViewTaskBinding>();
    task->addObserver(self, "state", 0, context());
    task->addObserver(self, counterKey(), 0, context());
    return self;
}

ProgressViewTaskBinding::~ProgressViewTaskBinding() { end(); }

const char* ProgressViewTaskBinding::counterKey() const
{
    return m_direction == ProgressDirection::upload ? "countOfBytesSent" : "countOfBytesReceived";
}

void* ProgressViewTaskBinding::context() const { return m_direction == ProgressDirection::upload ? &s_uploadContext : &s_downloadContext; }

void ProgressViewTaskBinding::end()
{
    if (m_ended.exchange(true))
        return;
    auto task = m_task.lock();
    if (!task)
        return;
    try {
        task->removeObserver(this, "state", context());
        task->removeObserver(this, counterKey(), context());
    } catch (const dv::RaisedException&) {
        // Already gone: nothing is left to remove.
    }
}

void ProgressViewTaskBinding::observeValueForKeyPath(const Ref<NSString>& keyPath, const id& object, const Ref<NSDictionary>&,
    void* context)
{
    if (context != this->context() || m_ended.load())
        return;
    auto task = dv::as<NSURLSessionTask>(object);
    if (!task || !keyPath)
        return;
    const std::string_view key = keyPath->utf8();
    if (key == "state") {
        if (task->state() == NSURLSessionTaskStateCompleted)
            end();
        return;
    }
    if (key != counterKey())
        return;
    const bool upload = m_direction == ProgressDirection::upload;
    if ((upload ? task->countOfBytesExpectedToSend() : task->countOfBytesExpectedToReceive()) <= 0)
        return;
    Weak<UIProgressView> weakView = m_view;
    dispatch_async(dispatch_get_main_queue(), [weakView, task, upload] {
        auto view = weakView.lock();
        if (!view)
            return;
        const auto done = upload ? task->countOfBytesSent() : task->countOfBytesReceived();
        const auto expected = upload ? task->countOfBytesExpectedToSend() : task->countOfBytesExpectedToReceive();
        if (expected <= 0)
            return;
        view->setProgress(float(done) / float(expected), upload ? pn_uploadProgressAnimated(view) : pn_downloadProgressAnimated(view));
    });
}

ProgressViewTaskBindings::~ProgressViewTaskBindings()
{
    for (auto& binding : m_bindings)
        binding->end();
}

Ref<ProgressViewTaskBindings> ProgressViewTaskBindings::of(const Ref<UIProgressView>& view)
{
    if (auto bindings = dv::as<ProgressViewTaskBindings>(objc_getAssociatedObject(view, &kBindingsKey)))
        return bindings;
    auto bindings = alloc<ProgressViewTaskBindings>();
    objc_setAssociatedObject(view, &kBindingsKey, bindings, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    return bindings;
}

void ProgressViewTaskBindings::add(const Ref<ProgressViewTaskBinding>& binding)
{
    std::erase_if(m_bindings, [](const Ref<ProgressViewTaskBinding>& b) { return b->hasEnded(); });
    m_bindings.push_back(binding);
}

} // namespace dv::internal::images
