#include "platform/base/NSXMLParser.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/ExpatParser.h"

DV_DEFINE_CLASS(NSXMLParser)

const Ref<NSString> NSXMLParserErrorDomain = NSString::fromUTF8("NSXMLParserErrorDomain");

namespace {

using dv::internal::base::ExpatParser;

NSInteger codeForFault(ExpatParser::Fault fault, bool sawElement)
{
    using Fault = ExpatParser::Fault;
    switch (fault) {
    case Fault::NoMemory: return NSXMLParserOutOfMemoryError;
    case Fault::NoElements:
    case Fault::Unclosed: return sawElement ? NSXMLParserPrematureDocumentEndError : NSXMLParserEmptyDocumentError;
    case Fault::InvalidCharacter: return NSXMLParserInvalidCharacterError;
    case Fault::TagMismatch: return NSXMLParserTagNameMismatchError;
    case Fault::DuplicateAttribute: return NSXMLParserAttributeRedefinedError;
    case Fault::JunkAfterDocument: return NSXMLParserPrematureDocumentEndError;
    case Fault::UndefinedEntity: return NSXMLParserUndeclaredEntityError;
    case Fault::EntityLoop: return NSXMLParserEntityRefLoopError;
    case Fault::UnclosedCDATA: return NSXMLParserCDATANotFinishedError;
    default: return NSXMLParserInternalError;
    }
}

Ref<NSString> string(std::string_view text) { return NSString::fromUTF8(text); }

} // namespace

// Turns expat's events into delegate calls. Character data is gathered and delivered in one
// piece before the next event, so the delegate sees a stable order.
class NSXMLParser::Events final : public ExpatParser::Handler {
public:
    Events(NSXMLParser& owner, Ref<NSXMLParserDelegate> delegate)
        : m_owner(owner)
        , m_delegate(std::move(delegate))
    {
    }

    ExpatParser* parser = nullptr;
    bool sawElement = false;

    void flush()
    {
        if (m_text.empty())
            return;
        std::string text = std::exchange(m_text, {});
        if (m_delegate && !stopped())
            m_delegate->parserFoundCharacters(m_owner, string(text));
    }

    void startElement(const char* name, const char** attributes) override
    {
        sawElement = true;
        flush();
        if (!m_delegate || stopped())
            return;
        position();
        auto attributeTable = NSMutableDictionary::dictionary();
        for (const char** a = attributes; a && a[0]; a += 2)
            attributeTable->setObjectForKey(string(a[1]), string(m_owner.m_processNamespaces ? qualified(a[0]) : std::string(a[0])));
        Ref<NSDictionary> attributesCopy = attributeTable;
        if (m_owner.m_processNamespaces) {
            auto parts = ExpatParser::splitName(name);
            m_delegate->parserDidStartElement(m_owner, string(parts.local), string(parts.uri), string(qualified(name)), attributesCopy);
        } else {
            m_delegate->parserDidStartElement(m_owner, string(name), nullptr, nullptr, attributesCopy);
        }
    }

    void endElement(const char* name) override
    {
        flush();
        if (!m_delegate || stopped())
            return;
        position();
        if (m_owner.m_processNamespaces) {
            auto parts = ExpatParser::splitName(name);
            m_delegate->parserDidEndElement(m_owner, string(parts.local), string(parts.uri), string(qualified(name)));
        } else {
            m_delegate->parserDidEndElement(m_owner, string(name), nullptr, nullptr);
        }
    }

    void characters(std::string_view text) override
    {
        if (m_inCDATA)
            m_cdata.append(text);
        else
            m_text.append(text);
    }

    void startNamespace(const char* prefix, const char* uri) override
    {
        flush();
        if (m_delegate && m_owner.m_reportPrefixes && !stopped())
            m_delegate->parserDidStartMappingPrefix(m_owner, string(prefix ? prefix : ""), string(uri ? uri : ""));
    }

    void endNamespace(const char* prefix) override
    {
        flush();
        if (m_delegate && m_owner.m_reportPrefixes && !stopped())
            m_delegate->parserDidEndMappingPrefix(m_owner, string(prefix ? prefix : ""));
    }

    void startCDATA() override
    {
        flush();
        m_inCDATA = true;
    }

    void endCDATA() override
    {
        m_inCDATA = false;
        std::string block = std::exchange(m_cdata, {});
        if (!m_delegate || stopped())
            return;
        auto data = NSData::fromString(block);
        if (!m_delegate->parserFoundCDATA(m_owner, data))
            m_text += block; // delivered as characters, before the next event
    }

    void comment(const char* text) override
    {
        flush();
        if (m_delegate && !stopped())
            m_delegate->parserFoundComment(m_owner, string(text));
    }

    void processingInstruction(const char* target, const char* data) override
    {
        flush();
        if (m_delegate && !stopped())
            m_delegate->parserFoundProcessingInstruction(m_owner, string(target), string(data ? data : ""));
    }

private:
    bool stopped() const { return parser && parser->stopped(); }

    void position()
    {
        if (parser) {
            m_owner.m_line = static_cast<NSInteger>(parser->line());
            m_owner.m_column = static_cast<NSInteger>(parser->column());
        }
    }

    static std::string qualified(const char* name)
    {
        auto parts = ExpatParser::splitName(name);
        if (parts.prefix.empty())
            return std::string(parts.local);
        return std::string(parts.prefix) + ":" + std::string(parts.local);
    }

    NSXMLParser& m_owner;
    Ref<NSXMLParserDelegate> m_delegate;
    std::string m_text;
    std::string m_cdata;
    bool m_inCDATA = false;
};

Ref<NSXMLParser> NSXMLParser::initWithData(const Ref<NSData>& data)
{
    m_data = data ? data : NSData::data();
    return self<NSXMLParser>();
}

bool NSXMLParser::parse()
{
    // The delegate may drop its last reference to us from a callback.
    auto keepAlive = self<NSXMLParser>();
    auto delegate = m_delegate.lock();
    m_error = nullptr;
    m_abortRequested = false;
    m_line = 1;
    m_column = 1;

    Events events(*this, delegate);
    ExpatParser parser(events, m_processNamespaces);
    events.parser = &parser;
    m_active = &parser;

    if (delegate)
        delegate->parserDidStartDocument(*this);
    bool ok = !m_abortRequested;
    if (ok) {
        const Ref<NSData>& data = m_data ? m_data : NSData::data();
        ok = parser.parse(reinterpret_cast<const char*>(data->bytes()), data->length());
    }
    if (ok)
        events.flush();
    ok = ok && !m_abortRequested;
    m_active = nullptr;

    if (ok) {
        m_line = static_cast<NSInteger>(parser.line());
        m_column = static_cast<NSInteger>(parser.column());
        if (delegate)
            delegate->parserDidEndDocument(*this);
        return true;
    }

    NSInteger code = m_abortRequested ? NSXMLParserDelegateAbortedParseError : codeForFault(parser.fault(), events.sawElement);
    if (!m_abortRequested) {
        m_line = static_cast<NSInteger>(parser.line());
        m_column = static_cast<NSInteger>(parser.column());
    }
    std::string message = m_abortRequested ? std::string("The delegate aborted parsing.") : parser.errorMessage();
    auto info = NSDictionary::of({
        {NSString::fromUTF8("NSXMLParserErrorLineNumber"), NSNumber::numberWithLongLong(m_line)},
        {NSString::fromUTF8("NSXMLParserErrorColumn"), NSNumber::numberWithLongLong(m_column)},
        {NSString::fromUTF8("NSXMLParserErrorMessage"), NSString::fromUTF8(message)},
        {NSLocalizedDescriptionKey, NSString::stringWithFormat("The operation couldn’t be completed. (NSXMLParserErrorDomain error %ld.)", code)},
    });
    m_error = NSError::errorWithDomain(NSXMLParserErrorDomain, code, info);
    if (delegate)
        delegate->parserParseErrorOccurred(*this, m_error);
    return false;
}

void NSXMLParser::abortParsing()
{
    m_abortRequested = true;
    if (m_active)
        static_cast<ExpatParser*>(m_active)->stop();
}

NSInteger NSXMLParser::lineNumber() const
{
    if (m_active)
        return static_cast<NSInteger>(static_cast<ExpatParser*>(m_active)->line());
    return m_line;
}

NSInteger NSXMLParser::columnNumber() const
{
    if (m_active)
        return static_cast<NSInteger>(static_cast<ExpatParser*>(m_active)->column());
    return m_column;
}
