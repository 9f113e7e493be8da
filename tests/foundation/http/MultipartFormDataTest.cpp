#include "HTTPTestSupport.h"

#include "foundation/http/PNHTTPRequestSerializer.h"
#include "foundation/http/PNMultipartBodyStream.h"
#include "foundation/http/PNStreamingMultipartFormData.h"
#include "platform/base/NSLocale.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLError.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <regex>
#include <thread>

using dv::test::HTTPTestFixture;

namespace {

// A caller's stream that delivers some bytes and then fails, as a broken pipe or a vanished
// file would.
class FailingInputStream : public NSInputStream {
public:
    NSInteger read(std::uint8_t* buffer, NSUInteger maxLength) override
    {
        if (m_delivered >= 3) {
            failWith(NSError::errorWithDomain(NSPOSIXErrorDomain, EPIPE, nil));
            return -1;
        }
        const NSUInteger count = std::min<NSUInteger>(maxLength, 3 - m_delivered);
        std::memset(buffer, 'z', count);
        m_delivered += count;
        return NSInteger(count);
    }
    void open() override { setStatus(NSStreamStatusOpen); }

private:
    NSUInteger m_delivered = 0;
};

class MultipartFormDataTest : public HTTPTestFixture {
protected:
    void SetUp() override
    {
        HTTPTestFixture::SetUp();
        NSLocale::setPreferredLanguages(NSArray::of({"zh-Hans"_ns}));
    }
    void TearDown() override
    {
        NSLocale::setPreferredLanguages(nil);
        HTTPTestFixture::TearDown();
    }

    static Ref<PNStreamingMultipartFormData> builder(const char* boundary = "Boundary+0123456789ABCDEF")
    {
        auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1/upload"));
        request->setHTTPMethod("POST"_ns);
        auto form = alloc<PNStreamingMultipartFormData>()->initWithURLRequest(request, NSUTF8StringEncoding);
        form->setBoundary(NSString::stringWithUTF8String(boundary));
        return form;
    }

    // Reads a stream to its end in chunks of `chunk` bytes; nullopt when a read fails.
    static std::optional<std::string> readAll(const Ref<NSInputStream>& stream, std::size_t chunk = 4096, std::size_t* largestRead = nullptr)
    {
        stream->open();
        std::string out;
        std::vector<std::uint8_t> buffer(chunk);
        for (;;) {
            NSInteger n = stream->read(buffer.data(), buffer.size());
            if (n < 0)
                return std::nullopt;
            if (n == 0)
                break;
            if (largestRead)
                *largestRead = std::max(*largestRead, std::size_t(n));
            out.append(reinterpret_cast<const char*>(buffer.data()), std::size_t(n));
        }
        return out;
    }

    std::string writeFile(const std::string& name, const std::string& contents) const
    {
        auto path = pathInHome(name);
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
};

} // namespace

TEST_F(MultipartFormDataTest, FieldAndDataPartProduceTheExactFraming)
{
    auto form = builder();
    form->appendPartWithFormData(bytes("42"), "id"_ns);
    form->appendPartWithFileData(bytes("\x89PNG"), "image"_ns, "a.png"_ns, "image/png"_ns);
    auto request = form->requestByFinalizingMultipartFormData();

    const std::string expected =
        "--Boundary+0123456789ABCDEF\r\n"
        "Content-Disposition: form-data; name=\"id\"\r\n"
        "\r\n"
        "42"
        "\r\n--Boundary+0123456789ABCDEF\r\n"
        "Content-Disposition: form-data; name=\"image\"; filename=\"a.png\"\r\n"
        "Content-Type: image/png\r\n"
        "\r\n"
        "\x89PNG"
        "\r\n--Boundary+0123456789ABCDEF--\r\n";
    auto body = readAll(request->HTTPBodyStream());
    ASSERT_TRUE(body);
    EXPECT_EQ(*body, expected);
    EXPECT_EQ(dv::str(request->valueForHTTPHeaderField("Content-Type"_ns)), "multipart/form-data; boundary=Boundary+0123456789ABCDEF");
    EXPECT_EQ(dv::str(request->valueForHTTPHeaderField("Content-Length"_ns)), std::to_string(expected.size()));

    // One byte at a time gives the same sequence, closing boundary included.
    auto again = std::static_pointer_cast<PNMultipartBodyStream>(dv::as<PNMultipartBodyStream>(request->HTTPBodyStream())->copy());
    auto bytewise = readAll(again, 1);
    ASSERT_TRUE(bytewise);
    EXPECT_EQ(*bytewise, expected);
}

TEST_F(MultipartFormDataTest, SinglePartHasBothBoundariesAndEmptyBuilderChangesNothing)
{
    auto form = builder("Boundary+X");
    form->appendPartWithFormData(bytes("v"), "k"_ns);
    const std::string expected = "--Boundary+X\r\nContent-Disposition: form-data; name=\"k\"\r\n\r\nv\r\n--Boundary+X--\r\n";
    auto part = std::static_pointer_cast<PNHTTPBodyPart>(form->bodyStream()->HTTPBodyParts()->objectAtIndex(0));
    auto request = form->requestByFinalizingMultipartFormData();
    EXPECT_EQ(part->contentLength(), expected.size());
    EXPECT_EQ(readAll(request->HTTPBodyStream()).value_or(""), expected);

    auto empty = builder();
    auto unchanged = empty->requestByFinalizingMultipartFormData();
    EXPECT_FALSE(unchanged->HTTPBodyStream());
    EXPECT_FALSE(unchanged->valueForHTTPHeaderField("Content-Type"_ns));
    EXPECT_FALSE(unchanged->valueForHTTPHeaderField("Content-Length"_ns));
}

TEST_F(MultipartFormDataTest, ContentLengthMatchesTheBytesForEveryKindOfPart)
{
    auto path = writeFile("photo.jpg", std::string(70000, 'f'));
    auto form = builder();
    form->appendPartWithFormData(bytes("field"), "f"_ns);
    Ref<NSError> error;
    ASSERT_TRUE(form->appendPartWithFileURL(NSURL::fileURLWithPath(NSString::fromUTF8(path)), "file"_ns, &error)) << dv::str(error);
    form->appendPartWithInputStream(NSInputStream::inputStreamWithData(bytes("streamed")), "s"_ns, "s.bin"_ns, 8, "application/octet-stream"_ns);
    form->appendPartWithFileData(NSData::data(), "empty"_ns, "e.txt"_ns, "text/plain"_ns);
    auto request = form->requestByFinalizingMultipartFormData();

    auto body = readAll(request->HTTPBodyStream(), 1000);
    ASSERT_TRUE(body);
    EXPECT_EQ(std::to_string(body->size()), dv::str(request->valueForHTTPHeaderField("Content-Length"_ns)));
    EXPECT_NE(body->find("name=\"file\"; filename=\"photo.jpg\"\r\nContent-Type: image/jpeg\r\n\r\n" + std::string(70000, 'f') + "\r\n--"),
        std::string::npos);
    EXPECT_NE(body->find("\r\n\r\nstreamed\r\n--"), std::string::npos);
}

TEST_F(MultipartFormDataTest, PacketSizeBoundsEveryRead)
{
    auto form = builder();
    form->appendPartWithFormData(bytes(std::string(100, 'a')), "a"_ns);
    form->throttleBandwidthWithPacketSize(16, 0);
    auto request = form->requestByFinalizingMultipartFormData();
    std::size_t largest = 0;
    auto body = readAll(request->HTTPBodyStream(), 4096, &largest);
    ASSERT_TRUE(body);
    EXPECT_EQ(largest, 16u);
    EXPECT_EQ(std::to_string(body->size()), dv::str(request->valueForHTTPHeaderField("Content-Length"_ns)));
}

TEST_F(MultipartFormDataTest, AppendingFilesChecksTheURL)
{
    auto form = builder();
    Ref<NSError> error;
    EXPECT_FALSE(form->appendPartWithFileURL(NSURL::URLWithString("http://127.0.0.1/x.jpg"), "f"_ns, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain()->utf8(), "com.pellucor.error.serialization.request");
    EXPECT_EQ(error->code(), NSURLErrorBadURL);
    EXPECT_EQ(dv::str(error->localizedFailureReason()), "Expected URL to be a file URL");

    error = nil;
    EXPECT_FALSE(form->appendPartWithFileURL(NSURL::fileURLWithPath(NSString::fromUTF8(pathInHome("missing.jpg"))), "f"_ns, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadURL);
    EXPECT_EQ(dv::str(error->localizedFailureReason()), "File URL not reachable.");
    EXPECT_TRUE(form->bodyStream()->isEmpty());

    auto plain = writeFile("notes.unknownext", "x");
    ASSERT_TRUE(form->appendPartWithFileURL(NSURL::fileURLWithPath(NSString::fromUTF8(plain)), "f"_ns, &error));
    auto part = std::static_pointer_cast<PNHTTPBodyPart>(form->bodyStream()->HTTPBodyParts()->lastObject());
    EXPECT_EQ(dv::str(part->headers()->objectForKey("Content-Type")), "application/octet-stream");
    EXPECT_EQ(dv::str(part->headers()->objectForKey("Content-Disposition")), "form-data; name=\"f\"; filename=\"notes.unknownext\"");
    EXPECT_EQ(part->bodyContentLength(), 1u);
}

TEST_F(MultipartFormDataTest, BoundariesAreRandomAndWellFormed)
{
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1/"));
    auto a = alloc<PNStreamingMultipartFormData>()->initWithURLRequest(request, NSUTF8StringEncoding)->boundary()->utf8();
    auto b = alloc<PNStreamingMultipartFormData>()->initWithURLRequest(request, NSUTF8StringEncoding)->boundary()->utf8();
    const std::regex shape("Boundary\\+[0-9A-F]{16}");
    EXPECT_TRUE(std::regex_match(a, shape)) << a;
    EXPECT_TRUE(std::regex_match(b, shape)) << b;
    EXPECT_NE(a, b);
}

TEST_F(MultipartFormDataTest, CopyOfAHalfReadStreamStartsAgain)
{
    auto path = writeFile("data.bin", "file contents");
    auto form = builder();
    form->appendPartWithFormData(bytes("one"), "a"_ns);
    Ref<NSError> error;
    ASSERT_TRUE(form->appendPartWithFileURL(NSURL::fileURLWithPath(NSString::fromUTF8(path)), "b"_ns, &error));
    auto request = form->requestByFinalizingMultipartFormData();
    auto stream = dv::as<PNMultipartBodyStream>(request->HTTPBodyStream());
    auto full = readAll(std::static_pointer_cast<PNMultipartBodyStream>(stream->copy()));
    ASSERT_TRUE(full);

    stream->open();
    std::uint8_t buffer[20];
    ASSERT_EQ(stream->read(buffer, sizeof buffer), 20);
    auto copy = std::static_pointer_cast<PNMultipartBodyStream>(stream->copy());
    EXPECT_EQ(copy->streamStatus(), NSStreamStatusNotOpen);
    EXPECT_EQ(readAll(copy).value_or(""), *full);

    stream->close();
    EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);
}

TEST_F(MultipartFormDataTest, FailingPartStreamFailsTheBody)
{
    auto form = builder();
    form->appendPartWithFormData(bytes("before"), "a"_ns);
    form->appendPartWithInputStream(alloc<FailingInputStream>(), "broken"_ns, "b.bin"_ns, 100, "application/octet-stream"_ns);
    form->appendPartWithFormData(bytes("after"), "c"_ns);
    auto request = form->requestByFinalizingMultipartFormData();
    auto stream = request->HTTPBodyStream();
    EXPECT_FALSE(readAll(stream, 64));
    EXPECT_EQ(stream->streamStatus(), NSStreamStatusError);
    ASSERT_TRUE(stream->streamError());
    EXPECT_EQ(stream->streamError()->code(), EPIPE);
    std::uint8_t buffer[8];
    EXPECT_EQ(stream->read(buffer, sizeof buffer), -1); // stays failed, never reports a clean end
}

TEST_F(MultipartFormDataTest, FileRemovedBeforeSendingFailsTheBody)
{
    auto path = writeFile("gone.jpg", "abc");
    auto form = builder();
    Ref<NSError> error;
    ASSERT_TRUE(form->appendPartWithFileURL(NSURL::fileURLWithPath(NSString::fromUTF8(path)), "f"_ns, &error));
    std::filesystem::remove(path);
    auto request = form->requestByFinalizingMultipartFormData();
    EXPECT_FALSE(readAll(request->HTTPBodyStream()));
    EXPECT_TRUE(request->HTTPBodyStream()->streamError());
}

TEST_F(MultipartFormDataTest, NamesCannotBreakOutOfTheDispositionHeader)
{
    auto form = builder("B");
    form->appendPartWithFileData(bytes("x"), "a\"b"_ns, "evil\r\nX-Injected: 1\".txt"_ns, "text/plain"_ns);
    auto body = readAll(form->requestByFinalizingMultipartFormData()->HTTPBodyStream());
    ASSERT_TRUE(body);
    EXPECT_NE(body->find("Content-Disposition: form-data; name=\"a%22b\"; filename=\"evil%0D%0AX-Injected: 1%22.txt\"\r\n"), std::string::npos);
    EXPECT_EQ(body->find("\r\nX-Injected"), std::string::npos);
}

TEST_F(MultipartFormDataTest, SerializerAddsParameterFieldsThenTheCallersParts)
{
    auto serializer = PNHTTPRequestSerializer::serializer();
    auto params = NSDictionary::of({
        {"user"_ns, NSDictionary::of({{"name"_ns, "李"_ns}})},
        {"tags"_ns, NSArray::of({"x"_ns})},
        {"blob"_ns, bytes("\x01\x02")},
        {"none"_ns, NSNull::null()},
    });
    Ref<NSError> error;
    auto request = serializer->multipartFormRequestWithMethod("POST"_ns, "http://127.0.0.1/up"_ns, params,
        [](PNMultipartFormData& form) { form.appendPartWithFileData(NSData::fromString("img"), "file"_ns, "p.jpg"_ns, "image/jpeg"_ns); },
        &error);
    ASSERT_TRUE(request);
    auto contentType = dv::str(request->valueForHTTPHeaderField("Content-Type"_ns));
    ASSERT_TRUE(contentType.starts_with("multipart/form-data; boundary=Boundary+")) << contentType;
    const std::string boundary = contentType.substr(contentType.find('=') + 1);
    auto body = readAll(request->HTTPBodyStream());
    ASSERT_TRUE(body);
    const std::string sep = "\r\n--" + boundary + "\r\n";
    const std::string expected = "--" + boundary + "\r\n"
        "Content-Disposition: form-data; name=\"blob\"\r\n\r\n\x01\x02" + sep +
        "Content-Disposition: form-data; name=\"none\"\r\n\r\n" + sep +
        "Content-Disposition: form-data; name=\"tags[]\"\r\n\r\nx" + sep +
        "Content-Disposition: form-data; name=\"user[name]\"\r\n\r\n李" + sep +
        "Content-Disposition: form-data; name=\"file\"; filename=\"p.jpg\"\r\nContent-Type: image/jpeg\r\n\r\nimg"
        "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(*body, expected);
    EXPECT_EQ(dv::str(request->valueForHTTPHeaderField("Content-Length"_ns)), std::to_string(expected.size()));
}

TEST_F(MultipartFormDataTest, BodyIsBuiltAndReadOffTheMainThreadWhileMainWaits)
{
    // Nothing in building or reading a body may wait for the main thread: here it is blocked in
    // join() the whole time.
    std::string body;
    bool ok = false;
    std::thread worker([&] {
        auto form = builder("B");
        form->appendPartWithFormData(NSData::fromString("v"), "k"_ns);
        auto result = readAll(form->requestByFinalizingMultipartFormData()->HTTPBodyStream(), 3);
        ok = result.has_value();
        body = result.value_or("");
    });
    worker.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(body, "--B\r\nContent-Disposition: form-data; name=\"k\"\r\n\r\nv\r\n--B--\r\n");
}

TEST_F(MultipartFormDataTest, WritingTheBodyToAFileKeepsTheHeaders)
{
    auto serializer = PNHTTPRequestSerializer::serializer();
    auto request = serializer->multipartFormRequestWithMethod("POST"_ns, "http://127.0.0.1/up"_ns, nil,
        [](PNMultipartFormData& form) { form.appendPartWithFileData(NSData::fromString(std::string(5000, 'q')), "f"_ns, "q.txt"_ns, "text/plain"_ns); },
        nullptr);
    auto expected = readAll(std::static_pointer_cast<NSInputStream>(dv::as<PNMultipartBodyStream>(request->HTTPBodyStream())->copy()));
    ASSERT_TRUE(expected);

    auto path = pathInHome("body.out");
    bool called = false;
    Ref<NSError> reported = NSError::errorWithDomain("not called"_ns, 0, nil);
    auto stripped = serializer->requestWithMultipartFormRequest(request, NSURL::fileURLWithPath(NSString::fromUTF8(path)), [&](const Ref<NSError>& error) {
        EXPECT_TRUE(dv::isMainThread());
        called = true;
        reported = error;
    });
    EXPECT_FALSE(stripped->HTTPBodyStream());
    EXPECT_EQ(dv::str(stripped->valueForHTTPHeaderField("Content-Length"_ns)), dv::str(request->valueForHTTPHeaderField("Content-Length"_ns)));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return called; }));
    EXPECT_FALSE(reported);
    std::ifstream in(path, std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, *expected);
}

TEST_F(MultipartFormDataTest, WritingAFailingBodyReportsTheError)
{
    auto form = builder();
    form->appendPartWithInputStream(alloc<FailingInputStream>(), "broken"_ns, "b.bin"_ns, 100, "application/octet-stream"_ns);
    auto request = form->requestByFinalizingMultipartFormData();
    bool called = false;
    Ref<NSError> reported;
    PNHTTPRequestSerializer::serializer()->requestWithMultipartFormRequest(request, NSURL::fileURLWithPath(NSString::fromUTF8(pathInHome("f.out"))),
        [&](const Ref<NSError>& error) {
            called = true;
            reported = error;
        });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return called; }));
    ASSERT_TRUE(reported);
    EXPECT_EQ(reported->code(), EPIPE);

    // A file that cannot take the bytes (a full device) is reported too.
    auto again = builder();
    again->appendPartWithFormData(bytes("data"), "a"_ns);
    called = false;
    reported = nil;
    PNHTTPRequestSerializer::serializer()->requestWithMultipartFormRequest(again->requestByFinalizingMultipartFormData(),
        NSURL::fileURLWithPath("/dev/full"_ns), [&](const Ref<NSError>& error) {
            called = true;
            reported = error;
        });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return called; }));
    EXPECT_TRUE(reported);
}
