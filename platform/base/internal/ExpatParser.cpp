#include "platform/base/internal/ExpatParser.h"

#include <expat.h>

#include <climits>

namespace dv::internal::base {

struct ExpatParser::State {
    XML_Parser parser = nullptr;
    Handler* handler = nullptr;
    ExpatParser* owner = nullptr;
    bool entityRejected = false;
};

ExpatParser::ExpatParser(Handler& handler, bool namespaces)
    : m_state(std::make_unique<State>())
{
    m_state->parser = namespaces ? XML_ParserCreateNS(nullptr, kNamespaceSeparator) : XML_ParserCreate(nullptr);
    m_state->handler = &handler;
    m_state->owner = this;
    XML_Parser p = m_state->parser;
    if (!p)
        return;
    if (namespaces)
        XML_SetReturnNSTriplet(p, 1);
    XML_SetUserData(p, m_state.get());
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetElementHandler(
        p, [](void* user, const XML_Char* name, const XML_Char** attributes) { static_cast<State*>(user)->handler->startElement(name, attributes); },
        [](void* user, const XML_Char* name) { static_cast<State*>(user)->handler->endElement(name); });
    XML_SetCharacterDataHandler(p, [](void* user, const XML_Char* text, int length) {
        static_cast<State*>(user)->handler->characters(std::string_view(text, static_cast<std::size_t>(length)));
    });
    XML_SetNamespaceDeclHandler(
        p, [](void* user, const XML_Char* prefix, const XML_Char* uri) { static_cast<State*>(user)->handler->startNamespace(prefix, uri); },
        [](void* user, const XML_Char* prefix) { static_cast<State*>(user)->handler->endNamespace(prefix); });
    XML_SetCdataSectionHandler(
        p, [](void* user) { static_cast<State*>(user)->handler->startCDATA(); },
        [](void* user) { static_cast<State*>(user)->handler->endCDATA(); });
    XML_SetCommentHandler(p, [](void* user, const XML_Char* text) { static_cast<State*>(user)->handler->comment(text); });
    XML_SetProcessingInstructionHandler(p, [](void* user, const XML_Char* target, const XML_Char* data) {
        static_cast<State*>(user)->handler->processingInstruction(target, data);
    });
    XML_SetEntityDeclHandler(p, [](void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
        auto state = static_cast<State*>(user);
        if (!state->handler->entityDeclaration()) {
            state->entityRejected = true;
            state->owner->stop();
        }
    });
}

ExpatParser::~ExpatParser()
{
    if (m_state->parser)
        XML_ParserFree(m_state->parser);
}

bool ExpatParser::parse(const char* bytes, std::size_t length)
{
    XML_Parser p = m_state->parser;
    if (!p)
        return false;
    // Feed in pieces that fit expat's int lengths.
    constexpr std::size_t kChunk = 1 << 24;
    std::size_t offset = 0;
    do {
        std::size_t piece = std::min(kChunk, length - offset);
        bool final = offset + piece == length;
        if (XML_Parse(p, bytes + offset, static_cast<int>(piece), final) != XML_STATUS_OK)
            return false;
        offset += piece;
    } while (offset < length && !m_stopped);
    return !m_stopped;
}

void ExpatParser::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    XML_StopParser(m_state->parser, XML_FALSE);
}

static XML_Error errorOf(const XML_Parser parser) { return parser ? XML_GetErrorCode(parser) : XML_ERROR_NO_MEMORY; }

ExpatParser::Fault ExpatParser::fault() const
{
    if (m_state->entityRejected)
        return Fault::Other;
    switch (errorOf(m_state->parser)) {
    case XML_ERROR_NONE: return Fault::None;
    case XML_ERROR_NO_MEMORY: return Fault::NoMemory;
    case XML_ERROR_NO_ELEMENTS: return Fault::NoElements;
    case XML_ERROR_UNCLOSED_TOKEN: return Fault::Unclosed;
    case XML_ERROR_INVALID_TOKEN:
    case XML_ERROR_PARTIAL_CHAR:
    case XML_ERROR_BAD_CHAR_REF: return Fault::InvalidCharacter;
    case XML_ERROR_TAG_MISMATCH: return Fault::TagMismatch;
    case XML_ERROR_DUPLICATE_ATTRIBUTE: return Fault::DuplicateAttribute;
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT: return Fault::JunkAfterDocument;
    case XML_ERROR_UNDEFINED_ENTITY: return Fault::UndefinedEntity;
    case XML_ERROR_RECURSIVE_ENTITY_REF:
    case XML_ERROR_AMPLIFICATION_LIMIT_BREACH: return Fault::EntityLoop;
    case XML_ERROR_UNCLOSED_CDATA_SECTION: return Fault::UnclosedCDATA;
    default: return Fault::Other;
    }
}

std::string ExpatParser::errorMessage() const
{
    if (m_state->entityRejected)
        return "entity declarations are not allowed";
    const XML_LChar* text = XML_ErrorString(errorOf(m_state->parser));
    return text ? text : "unknown error";
}

std::size_t ExpatParser::line() const
{
    return m_state->parser ? static_cast<std::size_t>(XML_GetCurrentLineNumber(m_state->parser)) : 0;
}

std::size_t ExpatParser::column() const
{
    return m_state->parser ? static_cast<std::size_t>(XML_GetCurrentColumnNumber(m_state->parser)) + 1 : 0;
}

ExpatParser::Name ExpatParser::splitName(const char* name)
{
    std::string_view text(name);
    std::size_t first = text.find(kNamespaceSeparator);
    if (first == std::string_view::npos)
        return {{}, text, {}};
    std::size_t second = text.find(kNamespaceSeparator, first + 1);
    if (second == std::string_view::npos)
        return {text.substr(0, first), text.substr(first + 1), {}};
    return {text.substr(0, first), text.substr(first + 1, second - first - 1), text.substr(second + 1)};
}

} // namespace dv::internal::base
