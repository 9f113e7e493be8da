#include "app/shell/web/VQFunctionVideoVC.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(VQFunctionVideoVC)

Ref<VQFunctionVideoVC> VQFunctionVideoVC::init()
{
    WebPageScreen::init();
    return self<VQFunctionVideoVC>();
}

Ref<NSString> VQFunctionVideoVC::pageTitle() const
{
    return "查看联系方式"_ns;
}

Ref<NSString> VQFunctionVideoVC::pageAddress() const
{
    return dv::app::learnPageURL(dv::app::LearnPage::ContactInformation);
}
