#include "ui/toolkit/refresh/RFRefreshBackStateFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UILabelRFRefresh.h"

DV_DEFINE_CLASS(RFRefreshBackStateFooter)

Ref<UILabel> RFRefreshBackStateFooter::stateLabel() { return dv::internal::toolkit::subviewMadeOnce(m_stateLabel, *this, [] { return label(); }); }

Ref<NSMutableDictionary> RFRefreshBackStateFooter::stateTitles() { return m_stateTitles.dictionary(); }

void RFRefreshBackStateFooter::setTitle(const Ref<NSString>& title, RefreshState state)
{
    if (m_stateTitles.set(title, state))
        stateLabel()->setText(m_stateTitles.title(this->state()));
}

Ref<NSString> RFRefreshBackStateFooter::titleForState(RefreshState state) { return m_stateTitles.title(state); }

void RFRefreshBackStateFooter::prepare()
{
    RFRefreshBackFooter::prepare();
    setTitle(NSString::fromUTF8(RFRefreshBackFooterIdleText), RefreshStateIdle);
    setTitle(NSString::fromUTF8(RFRefreshBackFooterPullingText), RefreshStatePulling);
    setTitle(NSString::fromUTF8(RFRefreshBackFooterRefreshingText), RefreshStateRefreshing);
    setTitle(NSString::fromUTF8(RFRefreshBackFooterNoMoreDataText), RefreshStateNoMoreData);
}

void RFRefreshBackStateFooter::placeSubviews()
{
    RFRefreshBackFooter::placeSubviews();
    auto text = stateLabel();
    if (!dv::internal::toolkit::hasLayoutConstraints(text))
        text->setFrame(bounds());
}

void RFRefreshBackStateFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshBackFooter::setState(state);
    stateLabel()->setText(m_stateTitles.title(state));
}
