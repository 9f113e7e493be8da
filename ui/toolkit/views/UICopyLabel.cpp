#include "ui/toolkit/views/UICopyLabel.h"

#include "platform/base/ClassBuilder.h"
#include "platform/system/UIPasteboard.h"
#include "platform/ui/UIMenuController.h"
#include "platform/ui/UITapGestureRecognizer.h"

DV_DEFINE_CLASS_WITH(UICopyLabel, b)
{
    b.method("copy:", "v24@0:8@16", [](UICopyLabel& label, std::span<const id> args) {
        label.copy(args.empty() ? nil : args[0]);
        return nil;
    });
    b.method("handleTap:", "v24@0:8@16", [](UICopyLabel& label, std::span<const id> args) {
        label.handleTap(args.empty() ? nil : dv::as<UIGestureRecognizer>(args[0]));
        return nil;
    });
}

Ref<UICopyLabel> UICopyLabel::init() { return initWithFrame(CGRectZero); }

Ref<UICopyLabel> UICopyLabel::initWithFrame(CGRect frame)
{
    UILabel::initWithFrame(frame);
    attachTapHandler();
    return self<UICopyLabel>();
}

void UICopyLabel::awakeFromNib()
{
    UILabel::awakeFromNib();
    attachTapHandler();
}

bool UICopyLabel::canPerformAction(SEL action, const id&) const { return action == SEL("copy:"); }

void UICopyLabel::copy(const id&)
{
    UIPasteboard::generalPasteboard()->setString(text());
}

void UICopyLabel::attachTapHandler()
{
    setUserInteractionEnabled(true);
    if (!m_tapRecognizer.expired())
        return;
    auto tap = alloc<UITapGestureRecognizer>();
    tap->initWithTarget(self(), "handleTap:");
    tap->setNumberOfTapsRequired(1);
    addGestureRecognizer(tap);
    m_tapRecognizer = tap;
}

void UICopyLabel::handleTap(const Ref<UIGestureRecognizer>&)
{
    becomeFirstResponder();
    auto menu = UIMenuController::sharedMenuController();
    menu->setTargetRect(frame(), superview());
    menu->setMenuVisible(true, true);
}
