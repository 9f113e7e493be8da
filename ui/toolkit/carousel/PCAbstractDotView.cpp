#include "ui/toolkit/carousel/PCAbstractDotView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSException.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS_WITH(PCAbstractDotView, b)
{
    // Dots that do not derive from this class are asked by name whether they answer it.
    b.method("changeActivityState:", "v20@0:8B16", [](PCAbstractDotView& dot, std::span<const id> args) {
        auto flag = args.empty() ? nil : dv::as<NSNumber>(args[0]);
        dot.changeActivityState(flag && flag->boolValue());
        return nil;
    });
}

Ref<PCAbstractDotView> PCAbstractDotView::init() { raiseMustOverride("init"); }

Ref<PCAbstractDotView> PCAbstractDotView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    initialization();
    return self<PCAbstractDotView>();
}

void PCAbstractDotView::changeActivityState(bool) { raiseMustOverride("changeActivityState:"); }

void PCAbstractDotView::raiseMustOverride(const char* operation) const
{
    NSException::raise(NSInternalInconsistencyException,
        dv::str(NSString::stringWithFormat("You must override %@ in %@", NSString::fromUTF8(operation), className())));
}
