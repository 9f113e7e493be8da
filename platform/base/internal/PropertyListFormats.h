// The three property-list forms behind NSPropertyListSerialization and the keyed archiver.
// Readers are total: they never trust a length, offset or reference and bound their depth.
#pragma once

#include "platform/base/NSObject.h"

#include <span>
#include <string>
#include <vector>

namespace dv::internal::base {

// A reference to an entry of a keyed archive's object table. Only property lists carry it:
// binary lists as a UID object, XML lists as a one-entry dictionary {"CF$UID": n}.
class PlistUID : public NSObject {
    DV_CLASS(PlistUID, NSObject)

    PlistUID() = default;
    static Ref<PlistUID> make(std::uint64_t value);
    std::uint64_t value() const { return m_value; }

    Ref<NSString> description() const override; // "<PlistUID>{value = n}"
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override { return static_cast<NSUInteger>(m_value); }

private:
    std::uint64_t m_value = 0;
};

struct PlistReadResult {
    id object;
    std::string error; // empty on success
};

struct PlistWriteResult {
    std::vector<std::uint8_t> bytes;
    std::string error; // empty on success
};

// `mutability` is NSPropertyListMutabilityOptions.
PlistReadResult readBinaryPlist(std::span<const std::uint8_t> bytes, NSUInteger mutability, int maxDepth);
PlistReadResult readXMLPlist(std::span<const std::uint8_t> bytes, NSUInteger mutability, int maxDepth);
PlistReadResult readTextPlist(std::span<const std::uint8_t> bytes, NSUInteger mutability, int maxDepth);

PlistWriteResult writeBinaryPlist(const NSObject* root, int maxDepth);
PlistWriteResult writeXMLPlist(const NSObject* root, int maxDepth);

// "2001-01-01T00:00:00Z" <-> seconds since the reference date (UTC, whole seconds written).
std::string formatPlistDate(double secondsSinceReferenceDate);
bool parsePlistDate(std::string_view text, double& secondsSinceReferenceDate);

} // namespace dv::internal::base
