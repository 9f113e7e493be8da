#include "app/shell/web/VQMainWebViewController.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS_WITH(VQMainWebViewController, b)
{
    b.property<Ref<NSString>>(
        "titleName", "T@\"NSString\",C,N,V_titleName",
        [](const VQMainWebViewController& object) { return object.titleName(); },
        [](VQMainWebViewController& object, Ref<NSString> value) { object.setTitleName(value); });
    b.property<Ref<NSString>>(
        "linkUrl", "T@\"NSString\",C,N,V_linkUrl",
        [](const VQMainWebViewController& object) { return object.linkUrl(); },
        [](VQMainWebViewController& object, Ref<NSString> value) { object.setLinkUrl(value); });
}

Ref<VQMainWebViewController> VQMainWebViewController::init()
{
    WebPageScreen::init();
    return self<VQMainWebViewController>();
}

void VQMainWebViewController::setTitleName(const Ref<NSString>& titleName)
{
    m_titleName = dv::copyAs<NSString>(titleName);
}
void VQMainWebViewController::setLinkUrl(const Ref<NSString>& linkUrl)
{
    m_linkUrl = dv::copyAs<NSString>(linkUrl);
}

Ref<NSString> VQMainWebViewController::pageAddress() const
{
    return dv::app::categoryPageURL(m_linkUrl);
}
