// Event parser: any bytes, with and without namespace processing, through a delegate that
// touches every argument.
#include "platform/base/Base.h"
#include "platform/base/NSXMLParser.h"

namespace {

class Sink : public NSXMLParserDelegate {
public:
    std::size_t total = 0;
    bool parserDidStartElement(NSXMLParser&, const Ref<NSString>& name, const Ref<NSString>& uri, const Ref<NSString>& qName,
                               const Ref<NSDictionary>& attributes) override
    {
        total += name->length() + (uri ? uri->length() : 0) + (qName ? qName->length() : 0) + attributes->count();
        return true;
    }
    bool parserDidEndElement(NSXMLParser&, const Ref<NSString>& name, const Ref<NSString>&, const Ref<NSString>&) override
    {
        total += name->length();
        return true;
    }
    bool parserFoundCharacters(NSXMLParser&, const Ref<NSString>& text) override
    {
        total += text->length();
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto sink = std::make_shared<Sink>();
    auto parser = alloc<NSXMLParser>()->initWithData(NSData::dataWithBytes(data, size));
    parser->setDelegate(sink);
    parser->setShouldProcessNamespaces(size % 2);
    parser->setShouldReportNamespacePrefixes(size % 3 == 0);
    parser->parse();
    return 0;
}
