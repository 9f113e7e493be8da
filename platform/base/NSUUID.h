// NSUUID: a 128-bit universally unique identifier. New identifiers are random (version 4) from
// the operating system's secure source; text forms are "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"
// (upper case). Immutable; shared freely between threads.
#pragma once

#include "platform/base/NSObject.h"

#include <array>
#include <cstdint>

class NSUUID : public NSObject, public NSCopying {
    DV_CLASS(NSUUID, NSObject)

    using Bytes = std::array<std::uint8_t, 16>;

    NSUUID() = default;
    Ref<NSUUID> init();
    // nil for text that is not 8-4-4-4-12 hexadecimal digits (either case).
    Ref<NSUUID> initWithUUIDString(const Ref<NSString>& string);
    Ref<NSUUID> initWithUUIDBytes(const std::uint8_t bytes[16]);
    static Ref<NSUUID> UUID();

    Ref<NSString> UUIDString() const;
    void getUUIDBytes(std::uint8_t bytes[16]) const;
    const Bytes& bytes() const { return m_bytes; }
    NSComparisonResult compare(const Ref<NSUUID>& other) const;

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    Bytes m_bytes {};
};
