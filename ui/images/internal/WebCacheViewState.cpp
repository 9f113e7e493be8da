#include "ui/images/internal/WebCacheViewState.h"

#include "platform/base/Associations.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "ui/images/RIWebImageOperation.h"

namespace dv::internal::images {

DV_DEFINE_CLASS(WebCacheViewState)

namespace {

const char kStateKey = 0;

// The view this thread last asked about and its state, both held weakly: a table's cells set
// their pictures on the same views again and again, and this answers them without a look-up in
// the process-wide table of associated objects. While the view is alive no other view can be at
// its address; the state lives as long as its view holds it.
struct LastAsked {
    const UIView* view = nullptr;
    Weak<const NSObject> viewAlive;
    Weak<WebCacheViewState> state;
};
thread_local LastAsked t_lastAsked;

} // namespace

WebCacheViewState::~WebCacheViewState() = default;

Ref<WebCacheViewState> WebCacheViewState::of(const UIView& view, bool create)
{
    auto& last = t_lastAsked;
    if (last.view == &view && !last.viewAlive.expired())
        if (auto state = last.state.lock())
            return state;
    const NSObject* object = &view;
    Ref<WebCacheViewState> state;
    // Only this function writes the key, always with a state.
    if (id found = objc_getAssociatedObject(object, &kStateKey)) {
        state = std::static_pointer_cast<WebCacheViewState>(std::move(found));
    } else {
        if (!create)
            return nil;
        state = alloc<WebCacheViewState>();
        state->init();
        objc_setAssociatedObject(object, &kStateKey, state, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    last = {&view, view.weak_from_this(), state};
    return state;
}

std::vector<std::pair<Ref<NSString>, id>>::iterator WebCacheViewState::find(const Ref<NSString>& key)
{
    for (auto it = m_operations.begin(); it != m_operations.end(); ++it)
        if (it->first == key)
            return it;
    for (auto it = m_operations.begin(); it != m_operations.end(); ++it)
        if (it->first->isEqualToString(key))
            return it;
    return m_operations.end();
}

void WebCacheViewState::setOperationForKey(const id& operation, const Ref<NSString>& key)
{
    if (!key)
        return;
    auto it = find(key);
    if (!operation) {
        if (it != m_operations.end())
            m_operations.erase(it);
        return;
    }
    if (it != m_operations.end())
        it->second = operation;
    else
        m_operations.emplace_back(dv::copyAs<NSString>(key), operation);
}

id WebCacheViewState::takeOperationForKey(const Ref<NSString>& key)
{
    if (!key)
        return nil;
    auto it = find(key);
    if (it == m_operations.end())
        return nil;
    id operation = std::move(it->second);
    m_operations.erase(it);
    return operation;
}

void cancelLoadOperation(const id& operation)
{
    if (auto list = dv::as<NSArray>(operation)) {
        for (NSUInteger i = 0; i < list->count(); ++i)
            if (auto* load = dynamic_cast<RIWebImageOperation*>(list->objectAtIndex(i).get()))
                load->cancel();
        return;
    }
    if (auto* load = dynamic_cast<RIWebImageOperation*>(operation.get()))
        load->cancel();
}

} // namespace dv::internal::images
