// RFDIYAutoFooter: how to build an auto-loading footer of one's own on RFRefreshAutoFooter: an
// orange text per state, a switch that is on while loading, and a spinner at the left. Weak
// links to the views (the footer's hierarchy owns them).
#pragma once

#include "ui/toolkit/refresh/RFRefreshAutoFooter.h"
#include "ui/toolkit/refresh/internal/DIYParts.h"

class UIActivityIndicatorView;
class UILabel;
class UISwitch;

class RFDIYAutoFooter : public RFRefreshAutoFooter {
    DV_CLASS(RFDIYAutoFooter, RFRefreshAutoFooter)

    static Ref<RFDIYAutoFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFDIYAutoFooter>(std::move(block));
    }
    static Ref<RFDIYAutoFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFDIYAutoFooter>(target, action);
    }

    Ref<UILabel> label() const { return m_parts.label(); }
    Ref<UISwitch> s() const { return m_parts.toggle(); }
    Ref<UIActivityIndicatorView> loading() const { return m_parts.spinner(); }

    void prepare() override;
    void placeSubviews() override;
    void setState(RefreshState state) override;

private:
    dv::internal::toolkit::DIYParts m_parts;
};
