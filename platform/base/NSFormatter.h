// NSFormatter: the base of the formatters (dates here), turning objects into text and back.
#pragma once

#include "platform/base/NSObject.h"

class NSFormatter : public NSObject, public NSCopying {
    DV_CLASS(NSFormatter, NSObject)

    NSFormatter() = default;

    // The text of an object of the formatter's kind; nil for anything else.
    virtual Ref<NSString> stringForObjectValue(const id& object) const;
    id copyWithZone(NSZone* zone) const override;
};
