// What the image library keeps on one view: its running loads by key, the URL of its latest image
// request, and its loading spinner with the settings for it. Hung on the view as one associated
// object, so it lives and dies with the view. Used on the main thread (as views are); not locked.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"

#include <utility>
#include <vector>

class UIActivityIndicatorView;
class UIView;

namespace dv::internal::images {

class WebCacheViewState : public NSObject {
    DV_CLASS(WebCacheViewState, NSObject)

    WebCacheViewState() = default;
    ~WebCacheViewState() override;

    // The view's state; made on first use when `create`, else nil until then.
    static Ref<WebCacheViewState> of(const UIView& view, bool create);

    // The operation table: one load (an object adopting RIWebImageOperation) or an array of them
    // per key. Keys are compared by identity first: the library's own keys are constants.
    void setOperationForKey(const id& operation, const Ref<NSString>& key);
    // Takes the entry out and answers it (nil when there was none).
    id takeOperationForKey(const Ref<NSString>& key);

    Ref<NSURL> imageURL;
    Ref<UIActivityIndicatorView> activityIndicator;
    bool showActivityIndicatorView = false;
    NSInteger indicatorStyle = 0; // white large

private:
    std::vector<std::pair<Ref<NSString>, id>>::iterator find(const Ref<NSString>& key);

    std::vector<std::pair<Ref<NSString>, id>> m_operations;
};

// Sends cancel to a load, or to each load of an array; anything else is left alone.
void cancelLoadOperation(const id& operation);

} // namespace dv::internal::images
