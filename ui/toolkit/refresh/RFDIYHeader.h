// RFDIYHeader: how to build a header of one's own on RFRefreshHeader: a coloured text that
// darkens as it is pulled, a switch that turns on while pulling and refreshing, a logo hanging
// above and a spinner at the right. The images are the application's ("logo"). Weak links to
// the views (the header's hierarchy owns them).
#pragma once

#include "ui/toolkit/refresh/RFRefreshHeader.h"
#include "ui/toolkit/refresh/internal/DIYParts.h"

class UIActivityIndicatorView;
class UIImageView;
class UILabel;
class UISwitch;

class RFDIYHeader : public RFRefreshHeader {
    DV_CLASS(RFDIYHeader, RFRefreshHeader)

    static Ref<RFDIYHeader> headerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFDIYHeader>(std::move(block));
    }
    static Ref<RFDIYHeader> headerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFDIYHeader>(target, action);
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
