#include "ui/toolkit/refresh/RFRefreshAutoStateFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UITapGestureRecognizer.h"
#include "ui/toolkit/refresh/UILabelRFRefresh.h"

DV_DEFINE_CLASS_WITH(RFRefreshAutoStateFooter, b)
{
    // The label's tap recogniser sends it.
    b.method("stateLabelClick", "v16@0:8", [](RFRefreshAutoStateFooter& footer, std::span<const id>) {
        footer.stateLabelClick();
        return nil;
    });
}

Ref<UILabel> RFRefreshAutoStateFooter::stateLabel() { return dv::internal::toolkit::subviewMadeOnce(m_stateLabel, *this, [] { return label(); }); }

Ref<NSMutableDictionary> RFRefreshAutoStateFooter::stateTitles() { return m_stateTitles.dictionary(); }

void RFRefreshAutoStateFooter::setTitle(const Ref<NSString>& title, RefreshState state)
{
    if (m_stateTitles.set(title, state))
        stateLabel()->setText(m_stateTitles.title(this->state()));
}

void RFRefreshAutoStateFooter::stateLabelClick()
{
    if (state() == RefreshStateIdle)
        beginRefreshing();
}

void RFRefreshAutoStateFooter::prepare()
{
    RFRefreshAutoFooter::prepare();
    setTitle(NSString::fromUTF8(RFRefreshAutoFooterIdleText), RefreshStateIdle);
    setTitle(NSString::fromUTF8(RFRefreshAutoFooterRefreshingText), RefreshStateRefreshing);
    setTitle(NSString::fromUTF8(RFRefreshAutoFooterNoMoreDataText), RefreshStateNoMoreData);
    auto text = stateLabel();
    text->setUserInteractionEnabled(true);
    text->addGestureRecognizer(alloc<UITapGestureRecognizer>()->initWithTarget(self<RFRefreshAutoStateFooter>(), "stateLabelClick"));
}

void RFRefreshAutoStateFooter::placeSubviews()
{
    RFRefreshAutoFooter::placeSubviews();
    auto text = stateLabel();
    if (!dv::internal::toolkit::hasLayoutConstraints(text))
        text->setFrame(bounds());
}

void RFRefreshAutoStateFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshAutoFooter::setState(state);
    if (m_refreshingTitleHidden && state == RefreshStateRefreshing)
        stateLabel()->setText(nil);
    else
        stateLabel()->setText(m_stateTitles.title(state));
}
