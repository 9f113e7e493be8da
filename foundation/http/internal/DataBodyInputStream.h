// The input stream of a data part (and of a body of an unexpected kind, read as empty data):
// bytes copied from an immutable data object in order.
#pragma once

#include "platform/system/NSInputStream.h"

namespace dv::internal::http {

class DataBodyInputStream : public NSInputStream {
    DV_CLASS(DataBodyInputStream, NSInputStream)

    DataBodyInputStream() = default;
    Ref<DataBodyInputStream> initWithBodyData(const Ref<NSData>& data);

    NSInteger read(std::uint8_t* buffer, NSUInteger maxLength) override;
    bool hasBytesAvailable() const override;
    void open() override;
    void close() override;

private:
    Ref<NSData> m_bodyData;
    std::size_t m_offset = 0;
};

} // namespace dv::internal::http
