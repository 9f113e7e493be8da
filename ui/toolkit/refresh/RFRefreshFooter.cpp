#include "ui/toolkit/refresh/RFRefreshFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UITableView.h"
#include "ui/toolkit/refresh/UIScrollViewRFRefresh.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFRefreshFooter)

void RFRefreshFooter::prepare()
{
    RFRefreshComponent::prepare();
    setRf_h(this, RFRefreshFooterHeight);
    setAutomaticallyHidden(false);
}

void RFRefreshFooter::willMoveToSuperview(const Ref<UIView>& newSuperview)
{
    RFRefreshComponent::willMoveToSuperview(newSuperview);

    // The block put on the scroll view left behind goes with the footer, unless another footer's
    // has taken its place since.
    if (auto previous = m_reloadDataBlockScrollView.lock()) {
        auto mine = m_reloadDataBlock.lock();
        if (mine && dv::internal::toolkit::reloadDataBlockHolder(previous) == mine)
            setRf_reloadDataBlock(previous, nil);
    }
    m_reloadDataBlock.reset();
    m_reloadDataBlockScrollView.reset();

    auto scroll = dv::as<UIScrollView>(newSuperview);
    if (!dv::as<UITableView>(scroll) && !dv::as<UICollectionView>(scroll))
        return;
    Weak<RFRefreshFooter> weak = self<RFRefreshFooter>();
    setRf_reloadDataBlock(scroll, [weak](NSInteger totalDataCount) {
        auto footer = weak.lock();
        if (footer && footer->isAutomaticallyHidden())
            footer->setHidden(totalDataCount == 0);
    });
    m_reloadDataBlock = dv::internal::toolkit::reloadDataBlockHolder(scroll);
    m_reloadDataBlockScrollView = scroll;
}

void RFRefreshFooter::endRefreshingWithNoMoreData() { setState(RefreshStateNoMoreData); }

void RFRefreshFooter::resetNoMoreData() { setState(RefreshStateIdle); }
