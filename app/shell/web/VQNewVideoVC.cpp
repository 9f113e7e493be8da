#include "app/shell/web/VQNewVideoVC.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(VQNewVideoVC)

Ref<VQNewVideoVC> VQNewVideoVC::init()
{
    WebPageScreen::init();
    return self<VQNewVideoVC>();
}

Ref<NSString> VQNewVideoVC::pageTitle() const
{
    return "查看使用说明"_ns;
}

Ref<NSString> VQNewVideoVC::pageAddress() const
{
    return dv::app::learnPageURL(dv::app::LearnPage::InstructionsForUse);
}
