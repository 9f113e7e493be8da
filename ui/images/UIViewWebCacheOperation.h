// UIView(WebCacheOperation): every view's table of its running image loads by key. Storing a load
// under a key cancels whatever ran under it before, which is how a reused cell's image view drops
// the picture of the row it showed last. The table lives with the view; main thread.
//
//   ri_setImageLoadOperation(view, load, "UIImageViewImageLoad"_ns); // the previous load is cancelled
//   ri_cancelImageLoadOperationWithKey(view, "UIImageViewImageLoad"_ns);
#pragma once

#include "platform/base/NSString.h"
#include "platform/ui/UIView.h"

// Cancels what runs under the key, then keeps `operation` (one load, or an array of loads) there.
void ri_setImageLoadOperation(const Ref<UIView>& view, const id& operation, const Ref<NSString>& key);
// A load gets cancel, an array of loads cancel for each; then the key is removed.
void ri_cancelImageLoadOperationWithKey(const Ref<UIView>& view, const Ref<NSString>& key);
// Removes the key without cancelling.
void ri_removeImageLoadOperationWithKey(const Ref<UIView>& view, const Ref<NSString>& key);
