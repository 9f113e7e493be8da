// UIScrollView(RFRefresh): the refresh header and footer slots of a scroll view, its total data
// count and the data-count block that runs after every reload of a table or collection view.
//
// The slots do not own their component (the scroll view does, as a subview) and read as nil
// once it is gone. Setting a new header takes the old one out and puts the new one below every
// other subview; a new footer goes on top. The data-count block is owned by the scroll view.
// Reloads reach it through hooks that dv::installRefreshReloadDataHooks puts, once, on every table
// and collection view of the process: each reloadData does the platform's reload and then calls
// the block, when one is set, with the new total. Main thread only.
//
//   dv::installRefreshReloadDataHooks();         // once, at start
//   setRf_header(tableView, RFRefreshNormalHeader::headerWithRefreshingBlock(load));
//   setRf_reloadDataBlock(tableView, [](NSInteger rows) { NSLog("%ld rows", long(rows)); });
#pragma once

#include "platform/base/NSObject.h"

#include <functional>

class RFRefreshFooter;
class RFRefreshHeader;
class UIScrollView;

// Given the scroll view's total data count after a reload.
using RFReloadDataBlock = std::function<void(NSInteger totalDataCount)>;

Ref<RFRefreshHeader> rf_header(const Ref<UIScrollView>& scrollView);
void setRf_header(const Ref<UIScrollView>& scrollView, const Ref<RFRefreshHeader>& header);
Ref<RFRefreshFooter> rf_footer(const Ref<UIScrollView>& scrollView);
void setRf_footer(const Ref<UIScrollView>& scrollView, const Ref<RFRefreshFooter>& footer);
// Older names of the slots.
inline Ref<RFRefreshHeader> header(const Ref<UIScrollView>& scrollView) { return rf_header(scrollView); }
inline void setHeader(const Ref<UIScrollView>& scrollView, const Ref<RFRefreshHeader>& header) { setRf_header(scrollView, header); }
inline Ref<RFRefreshFooter> footer(const Ref<UIScrollView>& scrollView) { return rf_footer(scrollView); }
inline void setFooter(const Ref<UIScrollView>& scrollView, const Ref<RFRefreshFooter>& footer) { setRf_footer(scrollView, footer); }

// The rows of every section of a table view, the items of every section of a collection view,
// 0 for any other scroll view.
NSInteger rf_totalDataCount(const Ref<UIScrollView>& scrollView);

RFReloadDataBlock rf_reloadDataBlock(const Ref<UIScrollView>& scrollView);
// Observers of the scroll view hear "rf_reloadDataBlock" change (without values: read the slot).
void setRf_reloadDataBlock(const Ref<UIScrollView>& scrollView, RFReloadDataBlock block);
// Calls the block, when one is set, with rf_totalDataCount.
void executeReloadDataBlock(const Ref<UIScrollView>& scrollView);

namespace dv {
// Makes every reloadData of a table or collection view call executeReloadDataBlock after the
// platform's reload. Once per process (later calls do nothing); the application's entry calls it,
// and tests.
void installRefreshReloadDataHooks();
} // namespace dv
