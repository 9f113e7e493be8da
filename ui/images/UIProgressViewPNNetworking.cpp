#include "ui/images/UIProgressViewPNNetworking.h"

#include "platform/base/Associations.h"
#include "platform/base/NSNumber.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIProgressView.h"
#include "ui/images/internal/ProgressViewTaskBinding.h"

using dv::internal::images::ProgressDirection;

namespace {

const char kUploadAnimatedKey = 0;
const char kDownloadAnimatedKey = 0;

bool flag(const Ref<UIProgressView>& view, const void* key)
{
    auto number = dv::as<NSNumber>(objc_getAssociatedObject(view, key));
    return number && number->boolValue();
}

void bind(const Ref<UIProgressView>& view, const Ref<NSURLSessionTask>& task, ProgressDirection direction)
{
    if (!view || !task)
        return;
    auto binding = alloc<dv::internal::images::ProgressViewTaskBinding>()->initWithView(view, task, direction);
    dv::internal::images::ProgressViewTaskBindings::of(view)->add(binding);
}

} // namespace

bool pn_uploadProgressAnimated(const Ref<UIProgressView>& view) { return flag(view, &kUploadAnimatedKey); }

void pn_setUploadProgressAnimated(const Ref<UIProgressView>& view, bool animated)
{
    objc_setAssociatedObject(view, &kUploadAnimatedKey, NSNumber::numberWithBool(animated), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

bool pn_downloadProgressAnimated(const Ref<UIProgressView>& view) { return flag(view, &kDownloadAnimatedKey); }

void pn_setDownloadProgressAnimated(const Ref<UIProgressView>& view, bool animated)
{
    objc_setAssociatedObject(view, &kDownloadAnimatedKey, NSNumber::numberWithBool(animated), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void setProgressWithUploadProgressOfTask(const Ref<UIProgressView>& view, const Ref<NSURLSessionTask>& task, bool animated)
{
    bind(view, task, ProgressDirection::upload);
    pn_setUploadProgressAnimated(view, animated);
}

void setProgressWithDownloadProgressOfTask(const Ref<UIProgressView>& view, const Ref<NSURLSessionTask>& task, bool animated)
{
    bind(view, task, ProgressDirection::download);
    pn_setDownloadProgressAnimated(view, animated);
}
