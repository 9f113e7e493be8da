// Reading request bodies from input streams on the transport thread.
#pragma once

#include "platform/base/Forward.h"

#include <cstddef>

class NSInputStream;

namespace dv::internal::net {

void openBodyStream(const Ref<NSInputStream>& stream);
// Bytes read, 0 at the end, -1 on failure.
long readBodyStream(const Ref<NSInputStream>& stream, char* buffer, std::size_t capacity);
void closeBodyStream(const Ref<NSInputStream>& stream);

} // namespace dv::internal::net
