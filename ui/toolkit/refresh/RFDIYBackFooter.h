// RFDIYBackFooter: how to build a back footer of one's own on RFRefreshBackFooter: an orange
// text per state that darkens as it is pulled, a switch that is on while pulling and loading, a
// logo hanging below and a spinner at the right. The images are the application's ("logo"). Weak
// links to the views (the footer's hierarchy owns them).
#pragma once

#include "ui/toolkit/refresh/RFRefreshBackFooter.h"
#include "ui/toolkit/refresh/internal/DIYParts.h"

class UIActivityIndicatorView;
class UIImageView;
class UILabel;
class UISwitch;

class RFDIYBackFooter : public RFRefreshBackFooter {
    DV_CLASS(RFDIYBackFooter, RFRefreshBackFooter)

    static Ref<RFDIYBackFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFDIYBackFooter>(std::move(block));
    }
    static Ref<RFDIYBackFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFDIYBackFooter>(target, action);
    }

    Ref<UILabel> label() const { return m_parts.label(); }
    Ref<UISwitch> s() const { return m_parts.toggle(); }
    Ref<UIImageView> logo() const { return m_parts.logo(); }
    Ref<UIActivityIndicatorView> loading() const { return m_parts.spinner(); }

    void prepare() override;
    void placeSubviews() override;
    void setState(RefreshState state) override;
    void setPullingPercent(CGFloat pullingPercent) override;

private:
    dv::internal::toolkit::DIYParts m_parts;
};
