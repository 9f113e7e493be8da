// VQQueWebViewController: the agent's authorisation letter ("授权代理书"), the server's page
// data/qryAgent.do for `agentNo` (set before the push) and the device, below the navigation bar.
// The id goes into the address percent-encoded, so blanks, Chinese characters and the like reach
// the server as typed instead of leaving the page blank. Main thread only.
#pragma once

#include "app/shell/web/WebPageScreen.h"

class VQQueWebViewController : public dv::app::WebPageScreen {
    DV_CLASS(VQQueWebViewController, dv::app::WebPageScreen)

    VQQueWebViewController() = default;
    Ref<VQQueWebViewController> init();

    Ref<NSString> agentNo() const { return m_agentNo; }
    void setAgentNo(const Ref<NSString>& agentNo);

protected:
    Look look() const override { return { .belowBars = true }; }
    Ref<NSString> pageTitle() const override;
    Ref<NSString> pageAddress() const override;

private:
    Ref<NSString> m_agentNo;
};
