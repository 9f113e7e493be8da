// Reads one HTTP/1.1 request as its bytes arrive, before the request handlers see anything: the
// head up to its blank line, then the body as the head frames it (a Content-Length, or chunked
// transfer coding, decoded here). Limits hold whatever the framing: a declared length past the
// body limit is refused as soon as the head is in, before a byte of the body is read, and a
// chunked body as soon as its chunks pass the limit (a chunk that announces more than is left is
// refused on its size line). Heads and bodies that cannot be framed without guessing are refused
// too: a length together with a transfer coding, lengths that disagree, codings other than
// chunked, folded or nameless header lines, a second Host, Origin, Referer, Content-Length or
// Transfer-Encoding line; so are compressed bodies (a content coding), whose size after inflating
// nothing bounds.
//
// The reader counts the head and the body into its share of a memory budget as their bytes arrive,
// before it holds them, and refuses with 503 a request whose next bytes find no room (it never
// waits for room). A declared length or a chunk's size takes nothing until its bytes come: a
// client holds room only by sending the bytes that fill it. Such a length is still weighed when
// the head or size line is in, and refused with 503 at once if the budget has no room for it now,
// so that a client is not made to send a body only to be refused halfway. The share goes on with
// the message.
//
// A complete request is handed on as one plain message: the head as received, without its
// framing, Expect and transfer-coding lines, with the body's exact Content-Length, and the body
// (decoded). Whatever came after the request stays with the caller for the next one.
//
// One reader per request; owned and used by one thread.
//
//   RequestReader reader({ .maxBodyBytes = 8 << 20 }, budget);
//   std::size_t used = reader.feed(bytes);          // what it took of them
//   if (reader.state() == RequestReader::State::Complete) handle(reader.takeMessage());
#pragma once

#include "tools/devserver/internal/MemoryBudget.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dv::internal::devserver {

struct RequestLimits {
    std::size_t maxHeadBytes = 64 * 1024;       // request line, header lines and chunk trailers
    std::size_t maxBodyBytes = 8 * 1024 * 1024; // after decoding
};

class RequestReader {
public:
    enum class State {
        Idle,     // nothing of a request yet (up to four blank lines before one are skipped)
        Head,     // part of the head
        Body,     // the head is in; the body is arriving
        Complete, // takeMessage() holds the request
        Refused,  // refusalStatus() says why; nothing more is read
    };

    RequestReader(RequestLimits limits, MemoryBudget& budget);

    // Takes what it can of `bytes` (what arrived since the last call) and answers how many it took:
    // all of them, unless the request completed or was refused before their end.
    std::size_t feed(std::string_view bytes);

    State state() const { return m_state; }
    // 400 malformed framing, or more than four blank lines before the request line; 413 body past
    // the limit; 415 a content coding; 431 head past the limit; 501 a transfer coding that is not
    // chunked; 503 no room in the memory budget. 0 unless refused.
    int refusalStatus() const { return m_refusal; }
    // The head asked to be told before it sends its body ("Expect: 100-continue"), and the body
    // has not begun: the caller answers "100 Continue" once.
    bool awaitsContinue() const { return m_state == State::Body && m_expectsContinue && !m_bodyBytesSeen; }
    std::size_t bodyBytes() const { return m_body.size(); }

    // The request as one message with a plain Content-Length, in two pieces that follow each other
    // (so that the body is not copied); the reader is spent afterwards.
    struct Message {
        std::string head; // ends with the blank line
        std::string body;
        MemoryShare share; // what the two take of the budget
    };
    Message takeMessage();

private:
    void refuse(int status);
    // Ends the head; false when it was refused.
    bool finishHead();
    std::size_t feedHead(std::string_view bytes);
    std::size_t feedLengthBody(std::string_view bytes);
    std::size_t feedChunked(std::string_view bytes);
    // The head's line that ends at `m_head`'s end, checked and, unless it is framing, kept.
    bool takeHeaderLine(std::string_view line);

    enum class ChunkStep { SizeLine, Data, DataEnd, Trailers };

    // Counts `bytes` more into the share; refuses with 503 when they do not fit.
    bool hold(std::size_t bytes);
    // Whether a body or chunk of `bytes` would fit now (nothing is taken); refuses with 503 when not.
    bool couldHold(std::uint64_t bytes);

    RequestLimits m_limits;
    MemoryShare m_share;
    State m_state = State::Idle;
    int m_refusal = 0;

    std::string m_line;     // the line being read (head, chunk size, chunk end or trailer)
    std::string m_kept;     // the head's request line and header lines that go on
    std::size_t m_headBytes = 0;
    bool m_sawRequestLine = false;
    unsigned m_singleHeadsSeen = 0; // a bit for each header field that may come once only

    bool m_chunked = false;
    bool m_hasLength = false;
    std::uint64_t m_length = 0;
    bool m_expectsContinue = false;
    bool m_bodyBytesSeen = false;

    ChunkStep m_chunkStep = ChunkStep::SizeLine;
    std::uint64_t m_chunkLeft = 0;
    std::string m_body;
};

} // namespace dv::internal::devserver
