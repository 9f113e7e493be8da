// NSXMLParser: an event-driven XML parser with the platform's delegate callbacks. It reads the
// whole document from its data when `parse` is called, on the calling thread, and reports to a
// weakly held delegate. External entities are never loaded, whatever
// shouldResolveExternalEntities says; entity expansion is bounded.
//
//   auto parser = alloc<NSXMLParser>()->initWithData(data);
//   parser->setDelegate(myDelegate);
//   parser->setShouldProcessNamespaces(true);
//   if (!parser->parse()) NSLog("%@", parser->parserError());
//
// Character data between two other events arrives in one parserFoundCharacters call (a CDATA
// section may split it in two).
#pragma once

#include "platform/base/NSObject.h"

class NSXMLParser;

// Optional methods answer false when not implemented (the parser then takes its default).
class NSXMLParserDelegate {
public:
    virtual ~NSXMLParserDelegate() = default;
    virtual bool parserDidStartDocument(NSXMLParser&) { return false; }
    virtual bool parserDidEndDocument(NSXMLParser&) { return false; }
    // Without namespace processing `elementName` is the name as written and the other two are
    // nil; with it, the local name, the namespace URI ("" when none) and the prefixed name.
    virtual bool parserDidStartElement(NSXMLParser&, const Ref<NSString>& /*elementName*/, const Ref<NSString>& /*namespaceURI*/,
                                       const Ref<NSString>& /*qualifiedName*/, const Ref<NSDictionary>& /*attributes*/)
    {
        return false;
    }
    virtual bool parserDidEndElement(NSXMLParser&, const Ref<NSString>& /*elementName*/, const Ref<NSString>& /*namespaceURI*/,
                                     const Ref<NSString>& /*qualifiedName*/)
    {
        return false;
    }
    virtual bool parserDidStartMappingPrefix(NSXMLParser&, const Ref<NSString>& /*prefix*/, const Ref<NSString>& /*namespaceURI*/) { return false; }
    virtual bool parserDidEndMappingPrefix(NSXMLParser&, const Ref<NSString>& /*prefix*/) { return false; }
    virtual bool parserFoundCharacters(NSXMLParser&, const Ref<NSString>& /*string*/) { return false; }
    // Not implemented: the block arrives through parserFoundCharacters instead.
    virtual bool parserFoundCDATA(NSXMLParser&, const Ref<NSData>& /*block*/) { return false; }
    virtual bool parserFoundComment(NSXMLParser&, const Ref<NSString>& /*comment*/) { return false; }
    virtual bool parserFoundProcessingInstruction(NSXMLParser&, const Ref<NSString>& /*target*/, const Ref<NSString>& /*data*/) { return false; }
    virtual bool parserParseErrorOccurred(NSXMLParser&, const Ref<NSError>& /*error*/) { return false; }
};

extern const Ref<NSString> NSXMLParserErrorDomain;

// The platform's codes for the faults we tell apart; others are NSXMLParserInternalError.
enum : NSInteger {
    NSXMLParserInternalError = 1,
    NSXMLParserOutOfMemoryError = 2,
    NSXMLParserEmptyDocumentError = 4,
    NSXMLParserPrematureDocumentEndError = 5,
    NSXMLParserInvalidCharacterError = 9,
    NSXMLParserUndeclaredEntityError = 26,
    NSXMLParserAttributeRedefinedError = 42,
    NSXMLParserCDATANotFinishedError = 63,
    NSXMLParserTagNameMismatchError = 76,
    NSXMLParserEntityRefLoopError = 89,
    NSXMLParserDelegateAbortedParseError = 512,
};

class NSXMLParser : public NSObject {
    DV_CLASS(NSXMLParser, NSObject)

    NSXMLParser() = default;
    Ref<NSXMLParser> initWithData(const Ref<NSData>& data);

    Ref<NSXMLParserDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<NSXMLParserDelegate>& delegate) { m_delegate = delegate; }

    bool shouldProcessNamespaces() const { return m_processNamespaces; }
    void setShouldProcessNamespaces(bool value) { m_processNamespaces = value; }
    bool shouldReportNamespacePrefixes() const { return m_reportPrefixes; }
    void setShouldReportNamespacePrefixes(bool value) { m_reportPrefixes = value; }
    bool shouldResolveExternalEntities() const { return m_resolveExternalEntities; }
    void setShouldResolveExternalEntities(bool value) { m_resolveExternalEntities = value; }

    // Runs the whole document; false after an error or abortParsing.
    bool parse();
    // From a delegate callback: stops with NSXMLParserDelegateAbortedParseError.
    void abortParsing();
    Ref<NSError> parserError() const { return m_error; }

    // Position of the current event (during parse) or of the error; 1-based.
    NSInteger lineNumber() const;
    NSInteger columnNumber() const;

    Ref<NSData> data() const { return m_data; }

private:
    class Events;
    friend class Events;

    Ref<NSData> m_data;
    Weak<NSXMLParserDelegate> m_delegate;
    bool m_processNamespaces = false;
    bool m_reportPrefixes = false;
    bool m_resolveExternalEntities = false;
    bool m_abortRequested = false;
    Ref<NSError> m_error;
    void* m_active = nullptr; // the running expat parser, during parse()
    NSInteger m_line = 0;
    NSInteger m_column = 0;
};
