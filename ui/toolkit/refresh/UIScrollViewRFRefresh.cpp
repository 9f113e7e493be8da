#include "ui/toolkit/refresh/UIScrollViewRFRefresh.h"

#include "platform/base/Associations.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UITableView.h"
#include "ui/toolkit/refresh/RFRefreshFooter.h"
#include "ui/toolkit/refresh/RFRefreshHeader.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

#include <mutex>

namespace {

// One key each, by address.
const char kHeaderKey = 0;
const char kFooterKey = 0;
const char kReloadDataBlockKey = 0;

// Stores a component in a slot, between the change notifications for the slot's name.
void store(UIScrollView& scrollView, const void* key, const char* name, const id& component)
{
    scrollView.willChangeValueForKey(name);
    // Weak: the view hierarchy owns the component; the slot reads nil once it is gone.
    objc_setAssociatedObject(&scrollView, key, component, OBJC_ASSOCIATION_ASSIGN);
    scrollView.didChangeValueForKey(name);
}

} // namespace

Ref<RFRefreshHeader> rf_header(const Ref<UIScrollView>& scrollView)
{
    return dv::as<RFRefreshHeader>(objc_getAssociatedObject(scrollView, &kHeaderKey));
}

void setRf_header(const Ref<UIScrollView>& scrollView, const Ref<RFRefreshHeader>& header)
{
    if (!scrollView)
        return;
    auto current = rf_header(scrollView);
    if (header == current)
        return;
    if (current)
        current->removeFromSuperview();
    if (header)
        scrollView->insertSubviewAtIndex(header, 0);
    store(*scrollView, &kHeaderKey, "rf_header", header);
}

Ref<RFRefreshFooter> rf_footer(const Ref<UIScrollView>& scrollView)
{
    return dv::as<RFRefreshFooter>(objc_getAssociatedObject(scrollView, &kFooterKey));
}

void setRf_footer(const Ref<UIScrollView>& scrollView, const Ref<RFRefreshFooter>& footer)
{
    if (!scrollView)
        return;
    auto current = rf_footer(scrollView);
    if (footer == current)
        return;
    if (current)
        current->removeFromSuperview();
    if (footer)
        scrollView->addSubview(footer);
    store(*scrollView, &kFooterKey, "rf_footer", footer);
}

NSInteger rf_totalDataCount(const Ref<UIScrollView>& scrollView)
{
    NSInteger total = 0;
    if (auto table = dv::as<UITableView>(scrollView)) {
        const NSInteger sections = table->numberOfSections();
        for (NSInteger section = 0; section < sections; ++section)
            total += table->numberOfRowsInSection(section);
    } else if (auto collection = dv::as<UICollectionView>(scrollView)) {
        const NSInteger sections = collection->numberOfSections();
        for (NSInteger section = 0; section < sections; ++section)
            total += collection->numberOfItemsInSection(section);
    }
    return total;
}

RFReloadDataBlock rf_reloadDataBlock(const Ref<UIScrollView>& scrollView)
{
    auto holder = dv::as<NSBlock>(objc_getAssociatedObject(scrollView, &kReloadDataBlockKey));
    auto* block = holder ? holder->function<RFReloadDataBlock>() : nullptr;
    return block ? *block : RFReloadDataBlock();
}

void setRf_reloadDataBlock(const Ref<UIScrollView>& scrollView, RFReloadDataBlock block)
{
    if (!scrollView)
        return;
    scrollView->willChangeValueForKey("rf_reloadDataBlock");
    objc_setAssociatedObject(scrollView, &kReloadDataBlockKey, block ? NSBlock::withFunction(std::move(block)) : nil,
        OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    scrollView->didChangeValueForKey("rf_reloadDataBlock");
}

void executeReloadDataBlock(const Ref<UIScrollView>& scrollView)
{
    if (auto block = rf_reloadDataBlock(scrollView))
        block(rf_totalDataCount(scrollView));
}

id dv::internal::toolkit::reloadDataBlockHolder(const Ref<UIScrollView>& scrollView)
{
    return objc_getAssociatedObject(scrollView, &kReloadDataBlockKey);
}

void dv::installRefreshReloadDataHooks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        UITableView::addReloadDataHook([](const Ref<UIScrollView>& reloaded) { executeReloadDataBlock(reloaded); });
        UICollectionView::addReloadDataHook([](const Ref<UIScrollView>& reloaded) { executeReloadDataBlock(reloaded); });
    });
}
