// VQMainWebViewController: the page of a home category, opened by the tiles whose keyword names a
// web page. The home screen sets `titleName` (the tile's name, shown as the title) and `linkUrl`
// (the category's id) before the push; the page is home/web.do for that category and the device.
// Main thread only.
#pragma once

#include "app/shell/web/WebPageScreen.h"

class VQMainWebViewController : public dv::app::WebPageScreen {
    DV_CLASS(VQMainWebViewController, dv::app::WebPageScreen)

    VQMainWebViewController() = default;
    Ref<VQMainWebViewController> init();

    Ref<NSString> titleName() const { return m_titleName; }
    void setTitleName(const Ref<NSString>& titleName);
    Ref<NSString> linkUrl() const { return m_linkUrl; }
    void setLinkUrl(const Ref<NSString>& linkUrl);

protected:
    Ref<NSString> pageTitle() const override { return m_titleName; }
    Ref<NSString> pageAddress() const override;

private:
    Ref<NSString> m_titleName;
    Ref<NSString> m_linkUrl;
};
