#include "platform/base/Base.h"
#include "platform/base/NSXMLParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every callback as one line.
class Recorder : public NSXMLParserDelegate {
public:
    std::vector<std::string> events;
    bool abortOnElement = false;
    std::string abortAt;
    bool takesCDATA = false;
    Ref<NSError> error;

    bool parserDidStartDocument(NSXMLParser&) override { return add("start-document"); }
    bool parserDidEndDocument(NSXMLParser&) override { return add("end-document"); }
    bool parserDidStartElement(NSXMLParser& parser, const Ref<NSString>& name, const Ref<NSString>& uri, const Ref<NSString>& qName,
                               const Ref<NSDictionary>& attributes) override
    {
        std::string line = "start " + dv::str(name);
        if (uri)
            line += " uri=" + dv::str(uri);
        if (qName)
            line += " q=" + dv::str(qName);
        std::vector<std::string> pairs;
        for (const auto& [key, value] : *attributes)
            pairs.push_back(dv::str(key) + "=" + dv::str(value));
        std::sort(pairs.begin(), pairs.end());
        for (const auto& pair : pairs)
            line += " " + pair;
        add(line);
        if (!abortAt.empty() && dv::str(name) == abortAt)
            parser.abortParsing();
        return true;
    }
    bool parserDidEndElement(NSXMLParser&, const Ref<NSString>& name, const Ref<NSString>& uri, const Ref<NSString>&) override
    {
        return add("end " + dv::str(name) + (uri ? " uri=" + dv::str(uri) : ""));
    }
    bool parserFoundCharacters(NSXMLParser&, const Ref<NSString>& text) override { return add("text [" + dv::str(text) + "]"); }
    bool parserFoundCDATA(NSXMLParser&, const Ref<NSData>& block) override
    {
        if (!takesCDATA)
            return false;
        return add("cdata [" + std::string(block->view()) + "]");
    }
    bool parserDidStartMappingPrefix(NSXMLParser&, const Ref<NSString>& prefix, const Ref<NSString>& uri) override
    {
        return add("map " + dv::str(prefix) + "=" + dv::str(uri));
    }
    bool parserDidEndMappingPrefix(NSXMLParser&, const Ref<NSString>& prefix) override { return add("unmap " + dv::str(prefix)); }
    bool parserFoundComment(NSXMLParser&, const Ref<NSString>& text) override { return add("comment [" + dv::str(text) + "]"); }
    bool parserParseErrorOccurred(NSXMLParser&, const Ref<NSError>& e) override
    {
        error = e;
        return add("error " + std::to_string(e->code()));
    }

private:
    bool add(std::string line)
    {
        events.push_back(std::move(line));
        return true;
    }
};

struct Run {
    bool ok;
    Ref<NSXMLParser> parser;
};

Run run(const Ref<Recorder>& recorder, std::string_view xml, bool namespaces = false, bool prefixes = false)
{
    auto parser = alloc<NSXMLParser>()->initWithData(NSData::fromString(xml));
    parser->setDelegate(recorder);
    parser->setShouldProcessNamespaces(namespaces);
    parser->setShouldReportNamespacePrefixes(prefixes);
    bool ok = parser->parse();
    return {ok, parser};
}

} // namespace

TEST(XMLParser, CallbacksArriveInDocumentOrder)
{
    auto recorder = std::make_shared<Recorder>();
    auto result = run(recorder, "<?xml version=\"1.0\"?>\n<root a=\"1\" b='x&amp;y'><item>one &lt; two</item><!--note--><empty/>tail</root>");
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.parser->parserError());
    std::vector<std::string> expected = {
        "start-document",
        "start root a=1 b=x&y",
        "start item",
        "text [one < two]",
        "end item",
        "comment [note]",
        "start empty",
        "end empty",
        "text [tail]",
        "end root",
        "end-document",
    };
    EXPECT_EQ(recorder->events, expected);
}

TEST(XMLParser, NamespaceProcessingSplitsNames)
{
    const char* xml = R"(<r:root xmlns:r="urn:r" xmlns="urn:d"><child r:attr="v"/></r:root>)";
    auto plain = std::make_shared<Recorder>();
    EXPECT_TRUE(run(plain, xml).ok);
    EXPECT_EQ(plain->events[1], "start r:root xmlns:r=urn:r xmlns=urn:d");
    EXPECT_EQ(plain->events[2], "start child r:attr=v");

    auto processed = std::make_shared<Recorder>();
    EXPECT_TRUE(run(processed, xml, true, true).ok);
    std::vector<std::string> expected = {
        "start-document",
        "map r=urn:r",
        "map =urn:d",
        "start root uri=urn:r q=r:root",
        "start child uri=urn:d q=child r:attr=v",
        "end child uri=urn:d",
        "end root uri=urn:r",
        "unmap ",
        "unmap r",
        "end-document",
    };
    EXPECT_EQ(processed->events, expected);
}

TEST(XMLParser, CDATAGoesToCharactersUnlessTheDelegateTakesIt)
{
    auto recorder = std::make_shared<Recorder>();
    EXPECT_TRUE(run(recorder, "<a>x<![CDATA[<b>]]>y</a>").ok);
    std::string text;
    for (const auto& line : recorder->events)
        if (line.starts_with("text ["))
            text += line.substr(6, line.size() - 7);
    EXPECT_EQ(text, "x<b>y");
    EXPECT_EQ(recorder->events.back(), "end-document");

    auto taker = std::make_shared<Recorder>();
    taker->takesCDATA = true;
    EXPECT_TRUE(run(taker, "<a>x<![CDATA[<b>]]>y</a>").ok);
    std::vector<std::string> middle(taker->events.begin() + 2, taker->events.end() - 2);
    EXPECT_EQ(middle, (std::vector<std::string> {"text [x]", "cdata [<b>]", "text [y]"}));
}

TEST(XMLParser, ErrorsCarryCodeLineAndColumn)
{
    auto recorder = std::make_shared<Recorder>();
    auto result = run(recorder, "<a>\n  <b></c>\n</a>");
    EXPECT_FALSE(result.ok);
    auto error = result.parser->parserError();
    ASSERT_TRUE(error);
    EXPECT_EQ(dv::str(error->domain()), "NSXMLParserErrorDomain");
    EXPECT_EQ(error->code(), NSXMLParserTagNameMismatchError);
    EXPECT_EQ(dv::as<NSNumber>(error->userInfo()->objectForKey("NSXMLParserErrorLineNumber"))->intValue(), 2);
    EXPECT_EQ(result.parser->lineNumber(), 2);
    EXPECT_GT(result.parser->columnNumber(), 1);
    EXPECT_EQ(recorder->events.back(), "error 76");
    EXPECT_TRUE(recorder->error == error);
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "end-document"), 0);

    auto empty = std::make_shared<Recorder>();
    EXPECT_FALSE(run(empty, "").ok);
    EXPECT_EQ(empty->error->code(), NSXMLParserEmptyDocumentError);
    auto truncated = std::make_shared<Recorder>();
    EXPECT_FALSE(run(truncated, "<a><b>").ok);
    EXPECT_EQ(truncated->error->code(), NSXMLParserPrematureDocumentEndError);
    auto entity = std::make_shared<Recorder>();
    EXPECT_FALSE(run(entity, "<a>&nope;</a>").ok);
    EXPECT_EQ(entity->error->code(), NSXMLParserUndeclaredEntityError);
}

TEST(XMLParser, AbortStopsEventsWithAbortCode)
{
    auto recorder = std::make_shared<Recorder>();
    recorder->abortAt = "b";
    auto result = run(recorder, "<a><b>text</b><c/></a>");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.parser->parserError()->code(), NSXMLParserDelegateAbortedParseError);
    std::vector<std::string> expected = {"start-document", "start a", "start b", "error 512"};
    EXPECT_EQ(recorder->events, expected);
}

TEST(XMLParser, ExternalEntitiesStayUnresolvedAndExpansionIsBounded)
{
    auto recorder = std::make_shared<Recorder>();
    auto parser = alloc<NSXMLParser>()->initWithData(NSData::fromString(
        "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY ext SYSTEM \"file:///etc/passwd\">]><a>&ext;</a>"));
    parser->setDelegate(recorder);
    parser->setShouldResolveExternalEntities(true);
    parser->parse();
    for (const auto& line : recorder->events)
        EXPECT_EQ(line.find("root:"), std::string::npos) << line;

    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e0 \"xxxxxxxxxxxxxxxx\">";
    for (int i = 1; i < 12; ++i)
        bomb += "<!ENTITY e" + std::to_string(i) + " \"" + [&] {
            std::string s;
            for (int k = 0; k < 10; ++k)
                s += "&e" + std::to_string(i - 1) + ";";
            return s;
        }() + "\">";
    bomb += "]><a>&e11;</a>";
    auto bombed = std::make_shared<Recorder>();
    EXPECT_FALSE(run(bombed, bomb).ok);
}

TEST(XMLParser, DelegateIsHeldWeakly)
{
    auto parser = alloc<NSXMLParser>()->initWithData(NSData::fromString("<a/>"));
    {
        auto recorder = std::make_shared<Recorder>();
        parser->setDelegate(recorder);
        EXPECT_TRUE(parser->delegate());
    }
    EXPECT_FALSE(parser->delegate());
    EXPECT_TRUE(parser->parse());
}
