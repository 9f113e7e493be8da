// Any reply — any status, any content type and character set, any bytes — through every response
// serialiser: each answers an object or an error and never crashes.
#include "foundation/http/PNCompoundResponseSerializer.h"
#include "foundation/http/PNImageResponseSerializer.h"
#include "foundation/http/PNJSONResponseSerializer.h"
#include "foundation/http/PNPropertyListResponseSerializer.h"
#include "foundation/http/PNXMLParserResponseSerializer.h"
#include "platform/base/Base.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSXMLParser.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "push/PSDictionaryCategories.h"

#include <cstddef>
#include <cstdint>

namespace {

const char* const kContentTypes[] = {
    "application/json", "text/json", "text/javascript", "application/xml", "text/xml", "application/x-plist", "image/png",
    "image/jpeg", "image/gif", "image/tiff", "image/bmp", "image/x-icon", "text/html", "text/plain",
};
const char* const kCharsets[] = {"", "; charset=utf-8", "; charset=GBK", "; charset=utf-16", "; charset=iso-8859-1", "; charset=bogus"};
const int kStatuses[] = {200, 204, 299, 301, 404, 500};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool installed = [] {
        PSInstallDictionaryCategories();
        return true;
    }();
    (void)installed;
    if (size < 3)
        return 0;

    // The first three bytes choose the reply's status, type and character set; a type byte past
    // the table takes the next few bytes as a free-form type.
    const int status = kStatuses[data[0] % std::size(kStatuses)];
    std::string type;
    std::size_t offset = 3;
    if (data[1] < 200) {
        type = kContentTypes[data[1] % std::size(kContentTypes)];
    } else {
        std::size_t length = std::min<std::size_t>(data[1] - 200, size - offset);
        type.assign(reinterpret_cast<const char*>(data + offset), length);
        offset += length;
    }
    type += kCharsets[data[2] % std::size(kCharsets)];
    auto body = NSData::dataWithBytes(data + offset, size - offset);

    auto headers = NSMutableDictionary::dictionary();
    headers->setObjectForKeyedSubscript(NSString::fromUTF8(type), "Content-Type"_ns);
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(NSURL::URLWithString("http://127.0.0.1/r"), status, "HTTP/1.1"_ns, headers);

    auto json = PNJSONResponseSerializer::serializer();
    json->setRemovesKeysWithNullValues(data[0] & 0x80);
    json->setReadingOptions(data[2] & 0x80 ? NSJSONReadingMutableContainers | NSJSONReadingAllowFragments : 0);
    auto image = PNImageResponseSerializer::serializer();
    image->setAutomaticallyInflatesResponseImage(data[2] & 0x40);
    auto compound = PNCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        NSArray::of({json, PNPropertyListResponseSerializer::serializer(), image}));

    Ref<PNHTTPResponseSerializer> serializers[] = {PNHTTPResponseSerializer::serializer(), json, PNXMLParserResponseSerializer::serializer(),
        PNPropertyListResponseSerializer::serializer(), image, compound};
    for (const auto& serializer : serializers) {
        Ref<NSError> error;
        id object = serializer->responseObjectForResponse(response, body, &error);
        if (auto parser = dv::as<NSXMLParser>(object))
            parser->parse();
        if (object)
            (void)object->description();
        if (error)
            (void)error->description();
        (void)serializer->responseObjectForResponse(response, body, nullptr);
    }
    return 0;
}
