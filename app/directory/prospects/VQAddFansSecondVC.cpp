#include "app/directory/prospects/VQAddFansSecondVC.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIButton.h"

DV_DEFINE_CLASS_WITH(VQAddFansSecondVC, b)
{
    b.method("changeSection:", "v24@0:8@16", [](VQAddFansSecondVC& screen, std::span<const id> args) -> id {
        screen.changeSection(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.property<Ref<NSString>>("cityId", "T@\"NSString\",C,N,V_cityId", [](const VQAddFansSecondVC& screen) { return screen.cityId(); },
        [](VQAddFansSecondVC& screen, Ref<NSString> value) { screen.setCityId(value); });
}

void VQAddFansSecondVC::changeSection(const Ref<UIButton>&) { showNextBatch(); }

void VQAddFansSecondVC::setCityId(const Ref<NSString>& value) { m_cityId = dv::copyAs<NSString>(value); }

const VQAddFansSecondVC::Traits& VQAddFansSecondVC::traits() const
{
    static const Traits traits {
        .title = "加粉",
        .pageMemoryKey = "addFans",
        .nextBatchAction = "changeSection:",
        .industry = false,
        .setsExtendedLayout = true,
        .readsPageAfterFirstLoad = false,
    };
    return traits;
}

Ref<NSString> VQAddFansSecondVC::listKey() const { return m_cityId; }

dv::app::ServerRequest VQAddFansSecondVC::listRequest(NSInteger page) const { return dv::app::listPhoneRequest(m_cityId, page); }
