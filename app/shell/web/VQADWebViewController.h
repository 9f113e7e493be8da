// VQADWebViewController: the page of an advertisement. The caller sets `titleName` (shown as the
// title) and `linkUrl`, the whole address to open, which is loaded as it stands; the page fills
// the web view, cut to keep its proportions. Main thread only.
#pragma once

#include "app/shell/web/WebPageScreen.h"

class VQADWebViewController : public dv::app::WebPageScreen {
    DV_CLASS(VQADWebViewController, dv::app::WebPageScreen)

    VQADWebViewController() = default;
    Ref<VQADWebViewController> init();

    Ref<NSString> titleName() const { return m_titleName; }
    void setTitleName(const Ref<NSString>& titleName);
    Ref<NSString> linkUrl() const { return m_linkUrl; }
    void setLinkUrl(const Ref<NSString>& linkUrl);

protected:
    Look look() const override { return { .contentMode = UIViewContentModeScaleAspectFill }; }
    Ref<NSString> pageTitle() const override { return m_titleName; }
    // The link unchanged (nil without one: nothing loads).
    Ref<NSString> pageAddress() const override { return m_linkUrl; }

private:
    Ref<NSString> m_titleName;
    Ref<NSString> m_linkUrl;
};
