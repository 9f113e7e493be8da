#include "app/directory/prospects/VQBuyerResourceVC.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIButton.h"

DV_DEFINE_CLASS_WITH(VQBuyerResourceVC, b)
{
    b.method("changeSection:", "v24@0:8@16", [](VQBuyerResourceVC& screen, std::span<const id> args) -> id {
        screen.changeSection(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.property<Ref<NSString>>("categoryId", "T@\"NSString\",C,N,V_categoryId", [](const VQBuyerResourceVC& screen) { return screen.categoryId(); },
        [](VQBuyerResourceVC& screen, Ref<NSString> value) { screen.setCategoryId(value); });
}

void VQBuyerResourceVC::changeSection(const Ref<UIButton>&) { showNextBatch(); }

void VQBuyerResourceVC::setCategoryId(const Ref<NSString>& value) { m_categoryId = dv::copyAs<NSString>(value); }

const VQBuyerResourceVC::Traits& VQBuyerResourceVC::traits() const
{
    static const Traits traits {
        .title = "客源信息",
        .pageMemoryKey = "hangyekeyuan",
        .nextBatchAction = "changeSection:",
        .industry = true,
        .setsExtendedLayout = false,
        .readsPageAfterFirstLoad = true,
    };
    return traits;
}

Ref<NSString> VQBuyerResourceVC::listKey() const { return m_categoryId; }

dv::app::ServerRequest VQBuyerResourceVC::listRequest(NSInteger page) const { return dv::app::listIndustryRequest(m_categoryId, page); }
