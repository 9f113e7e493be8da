#include "app/shell/web/VQGetGiftViewController.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(VQGetGiftViewController)

Ref<VQGetGiftViewController> VQGetGiftViewController::init()
{
    WebPageScreen::init();
    return self<VQGetGiftViewController>();
}

Ref<NSString> VQGetGiftViewController::pageTitle() const
{
    return "常见问题说明"_ns;
}

Ref<NSString> VQGetGiftViewController::pageAddress() const
{
    return dv::app::learnPageURL(dv::app::LearnPage::CommonQuestions);
}
