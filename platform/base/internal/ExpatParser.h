// A small event parser over expat, shared by NSXMLParser and the XML property-list reader so
// that only one file sees expat. External entities are never loaded (no handler is installed and
// parameter entities are off); expat's own guard bounds entity expansion.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace dv::internal::base {

class ExpatParser {
public:
    // Names arrive as expat gives them; with namespaces on, an element or attribute name is
    // "uri\nlocal\nprefix" (parts absent when empty, see splitName).
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void startElement(const char* name, const char** attributes) = 0;
        virtual void endElement(const char* name) = 0;
        virtual void characters(std::string_view text) = 0;
        virtual void startNamespace(const char* /*prefix*/, const char* /*uri*/) { }
        virtual void endNamespace(const char* /*prefix*/) { }
        virtual void startCDATA() { }
        virtual void endCDATA() { }
        virtual void comment(const char* /*text*/) { }
        virtual void processingInstruction(const char* /*target*/, const char* /*data*/) { }
        // A declaration of an entity in the document type; answer false to stop with an error.
        virtual bool entityDeclaration() { return true; }
    };

    static constexpr char kNamespaceSeparator = '\n';

    ExpatParser(Handler& handler, bool namespaces);
    ~ExpatParser();
    ExpatParser(const ExpatParser&) = delete;
    ExpatParser& operator=(const ExpatParser&) = delete;

    // Parses the whole document; false on a syntax error or after stop().
    bool parse(const char* bytes, std::size_t length);
    // From inside a callback: no further events; parse() answers false.
    void stop();
    bool stopped() const { return m_stopped; }

    enum class Fault {
        None, NoMemory, NoElements, Unclosed, InvalidCharacter, TagMismatch, DuplicateAttribute,
        JunkAfterDocument, UndefinedEntity, EntityLoop, UnclosedCDATA, Other,
    };
    Fault fault() const;
    std::string errorMessage() const;
    std::size_t line() const;      // 1-based, of the current event or the error
    std::size_t column() const;    // 1-based

    struct Name {
        std::string_view uri, local, prefix;
    };
    static Name splitName(const char* name);

private:
    struct State;
    std::unique_ptr<State> m_state;
    bool m_stopped = false;
};

} // namespace dv::internal::base
