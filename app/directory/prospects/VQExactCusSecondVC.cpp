#include "app/directory/prospects/VQExactCusSecondVC.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIButton.h"

DV_DEFINE_CLASS_WITH(VQExactCusSecondVC, b)
{
    b.method("changeSectionA:", "v24@0:8@16", [](VQExactCusSecondVC& screen, std::span<const id> args) -> id {
        screen.changeSectionA(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.property<Ref<NSString>>("cityId", "T@\"NSString\",C,N,V_cityId", [](const VQExactCusSecondVC& screen) { return screen.cityId(); },
        [](VQExactCusSecondVC& screen, Ref<NSString> value) { screen.setCityId(value); });
    b.property<Ref<NSString>>("phone", "T@\"NSString\",C,N,V_phone", [](const VQExactCusSecondVC& screen) { return screen.phone(); },
        [](VQExactCusSecondVC& screen, Ref<NSString> value) { screen.setPhone(value); });
}

void VQExactCusSecondVC::changeSectionA(const Ref<UIButton>&) { showNextBatch(); }

void VQExactCusSecondVC::setCityId(const Ref<NSString>& value) { m_cityId = dv::copyAs<NSString>(value); }
void VQExactCusSecondVC::setPhone(const Ref<NSString>& value) { m_phone = dv::copyAs<NSString>(value); }

const VQExactCusSecondVC::Traits& VQExactCusSecondVC::traits() const
{
    static const Traits traits {
        .title = "精准客户",
        .pageMemoryKey = "addFansCur",
        .nextBatchAction = "changeSectionA:",
        .industry = false,
        .setsExtendedLayout = true,
        .readsPageAfterFirstLoad = false,
    };
    return traits;
}

Ref<NSString> VQExactCusSecondVC::listKey() const { return m_cityId; }

Ref<NSString> VQExactCusSecondVC::numberPrefix() const { return m_phone; }

dv::app::ServerRequest VQExactCusSecondVC::listRequest(NSInteger page) const { return dv::app::listAccuratePhoneRequest(m_cityId, page, m_phone); }
