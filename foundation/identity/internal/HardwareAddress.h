// Reads the hardware (link-level) address of the device's first network interface: "en0" where
// it exists, else the first interface that is up, not a loopback and has a six-byte address.
// Linux answers it through getifaddrs. On failure the reader answers nil and the text that
// names the failing step.
#pragma once

#include "platform/base/Forward.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dv::internal::identity {

class HardwareAddress {
public:
    using Bytes = std::array<std::uint8_t, 6>;
    struct Result {
        std::optional<Bytes> address;
        std::string failure; // set when address is empty
    };

    static Result read();

    // Tests replace the reader to reproduce failures; an empty function restores the real one.
    static void setReaderForTesting(std::function<Result()> reader);
};

} // namespace dv::internal::identity
