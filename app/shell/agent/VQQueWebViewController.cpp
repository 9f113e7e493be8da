#include "app/shell/agent/VQQueWebViewController.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS_WITH(VQQueWebViewController, b)
{
    b.property<Ref<NSString>>(
        "agentNo", "T@\"NSString\",C,N,V_agentNo",
        [](const VQQueWebViewController& object) { return object.agentNo(); },
        [](VQQueWebViewController& object, Ref<NSString> value) { object.setAgentNo(value); });
}

Ref<VQQueWebViewController> VQQueWebViewController::init()
{
    WebPageScreen::init();
    return self<VQQueWebViewController>();
}

void VQQueWebViewController::setAgentNo(const Ref<NSString>& agentNo)
{
    m_agentNo = dv::copyAs<NSString>(agentNo);
}

Ref<NSString> VQQueWebViewController::pageTitle() const
{
    return "授权代理书"_ns;
}
Ref<NSString> VQQueWebViewController::pageAddress() const
{
    return dv::app::agentPageURL(m_agentNo);
}
