#include "platform/base/Base.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSFileManager.h"
#include "platform/system/NSInputStream.h"
#include "platform/system/NSOutputStream.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

std::string drain(const Ref<NSInputStream>& in, NSUInteger chunk)
{
    std::string out;
    std::vector<std::uint8_t> buffer(chunk);
    for (;;) {
        NSInteger n = in->read(buffer.data(), chunk);
        if (n <= 0)
            break;
        out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
    }
    return out;
}

TEST(StreamTest, DataStreamGoesThroughItsStatuses)
{
    auto in = NSInputStream::inputStreamWithData(NSData::fromString("abcdefg"));
    std::uint8_t buffer[4];
    EXPECT_EQ(in->streamStatus(), NSStreamStatusNotOpen);
    EXPECT_EQ(in->read(buffer, sizeof buffer), -1);
    EXPECT_FALSE(in->hasBytesAvailable());
    in->open();
    EXPECT_EQ(in->streamStatus(), NSStreamStatusOpen);
    EXPECT_TRUE(in->hasBytesAvailable());
    EXPECT_EQ(drain(in, 3), "abcdefg");
    EXPECT_EQ(in->streamStatus(), NSStreamStatusAtEnd);
    EXPECT_FALSE(in->hasBytesAvailable());
    EXPECT_EQ(in->read(buffer, sizeof buffer), 0);
    in->close();
    EXPECT_EQ(in->streamStatus(), NSStreamStatusClosed);
    EXPECT_EQ(in->read(buffer, sizeof buffer), -1);
    EXPECT_EQ(in->streamError(), nil);
}

TEST(StreamTest, EmptyDataReadsAsAtEnd)
{
    auto in = NSInputStream::inputStreamWithData(NSData::data());
    std::uint8_t buffer[4];
    in->open();
    EXPECT_EQ(in->read(buffer, sizeof buffer), 0);
    EXPECT_EQ(in->streamStatus(), NSStreamStatusAtEnd);
}

TEST(StreamTest, FileStreamsReadAndWriteAndReportMissingFiles)
{
    dv::test::TemporaryHome home;
    auto file = NSString::fromUTF8(home.path() + "/out.bin");
    auto out = NSOutputStream::outputStreamToFileAtPath(file, false);
    out->open();
    ASSERT_EQ(out->streamStatus(), NSStreamStatusOpen);
    EXPECT_EQ(out->write(reinterpret_cast<const std::uint8_t*>("first "), 6), 6);
    out->close();
    auto more = NSOutputStream::outputStreamToFileAtPath(file, true);
    more->open();
    EXPECT_EQ(more->write(reinterpret_cast<const std::uint8_t*>("second"), 6), 6);
    more->close();

    auto in = NSInputStream::inputStreamWithURL(NSURL::fileURLWithPath(file));
    ASSERT_TRUE(in);
    in->open();
    EXPECT_EQ(drain(in, 4), "first second");
    EXPECT_EQ(in->streamStatus(), NSStreamStatusAtEnd);

    auto missing = NSInputStream::inputStreamWithFileAtPath(NSString::fromUTF8(home.path() + "/absent"));
    missing->open();
    EXPECT_EQ(missing->streamStatus(), NSStreamStatusError);
    ASSERT_TRUE(missing->streamError());
    EXPECT_TRUE(dv::equal(missing->streamError()->domain(), NSPOSIXErrorDomain));
    EXPECT_EQ(missing->streamError()->code(), ENOENT);
    std::uint8_t b;
    EXPECT_EQ(missing->read(&b, 1), -1);

    EXPECT_EQ(NSInputStream::inputStreamWithURL(NSURL::URLWithString("http://example.com/"_ns)), nil);
    auto noFolder = NSOutputStream::outputStreamToFileAtPath(NSString::fromUTF8(home.path() + "/no/such/folder/x"), false);
    noFolder->open();
    EXPECT_EQ(noFolder->streamStatus(), NSStreamStatusError);
    EXPECT_EQ(noFolder->write(&b, 1), -1);
}

TEST(StreamTest, MemoryOutputCollectsEverythingWritten)
{
    auto out = NSOutputStream::outputStreamToMemory();
    EXPECT_EQ(out->write(reinterpret_cast<const std::uint8_t*>("x"), 1), -1);
    out->open();
    out->write(reinterpret_cast<const std::uint8_t*>("ab"), 2);
    out->write(reinterpret_cast<const std::uint8_t*>("cd"), 2);
    EXPECT_TRUE(dv::equal(out->propertyForKey(NSStreamDataWrittenToMemoryStreamKey), NSData::fromString("abcd")));
}

// A stream made by a subclass, as the HTTP layer's body stream is: callers that see only an
// NSInputStream reach the subclass's members.
class CountingStream : public NSInputStream {
public:
    NSInteger read(std::uint8_t* buffer, NSUInteger maxLength) override
    {
        if (m_left == 0)
            return 0;
        buffer[0] = static_cast<std::uint8_t>('0' + m_left--);
        (void)maxLength;
        return 1;
    }
    bool hasBytesAvailable() const override { return m_left > 0; }
    NSStreamStatus streamStatus() const override { return m_left ? NSStreamStatusOpen : NSStreamStatusAtEnd; }

private:
    int m_left = 3;
};

TEST(StreamTest, SubclassesReplaceReading)
{
    Ref<NSInputStream> in = std::make_shared<CountingStream>();
    EXPECT_EQ(drain(in, 8), "321");
    EXPECT_EQ(in->streamStatus(), NSStreamStatusAtEnd);
}

} // namespace
