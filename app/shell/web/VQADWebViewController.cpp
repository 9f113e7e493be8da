#include "app/shell/web/VQADWebViewController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS_WITH(VQADWebViewController, b)
{
    b.property<Ref<NSString>>(
        "titleName", "T@\"NSString\",C,N,V_titleName",
        [](const VQADWebViewController& object) { return object.titleName(); },
        [](VQADWebViewController& object, Ref<NSString> value) { object.setTitleName(value); });
    b.property<Ref<NSString>>(
        "linkUrl", "T@\"NSString\",C,N,V_linkUrl", [](const VQADWebViewController& object) { return object.linkUrl(); },
        [](VQADWebViewController& object, Ref<NSString> value) { object.setLinkUrl(value); });
}

Ref<VQADWebViewController> VQADWebViewController::init()
{
    WebPageScreen::init();
    return self<VQADWebViewController>();
}

void VQADWebViewController::setTitleName(const Ref<NSString>& titleName)
{
    m_titleName = dv::copyAs<NSString>(titleName);
}
void VQADWebViewController::setLinkUrl(const Ref<NSString>& linkUrl)
{
    m_linkUrl = dv::copyAs<NSString>(linkUrl);
}
