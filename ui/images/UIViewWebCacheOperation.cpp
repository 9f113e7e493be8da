#include "ui/images/UIViewWebCacheOperation.h"

#include "ui/images/internal/WebCacheViewState.h"

using dv::internal::images::WebCacheViewState;

void ri_setImageLoadOperation(const Ref<UIView>& view, const id& operation, const Ref<NSString>& key)
{
    if (!view || !key)
        return;
    ri_cancelImageLoadOperationWithKey(view, key);
    if (operation)
        WebCacheViewState::of(*view, true)->setOperationForKey(operation, key);
}

void ri_cancelImageLoadOperationWithKey(const Ref<UIView>& view, const Ref<NSString>& key)
{
    if (!view)
        return;
    auto state = WebCacheViewState::of(*view, false);
    if (!state)
        return;
    // Out of the table before the cancel, which may start something under the same key.
    if (id operation = state->takeOperationForKey(key))
        dv::internal::images::cancelLoadOperation(operation);
}

void ri_removeImageLoadOperationWithKey(const Ref<UIView>& view, const Ref<NSString>& key)
{
    if (!view)
        return;
    if (auto state = WebCacheViewState::of(*view, false))
        (void)state->takeOperationForKey(key);
}
