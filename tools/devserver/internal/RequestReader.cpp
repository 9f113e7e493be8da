#include "tools/devserver/internal/RequestReader.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace dv::internal::devserver {

namespace {

// A chunk-size line is a number, maybe with extensions; nothing honest needs more.
constexpr std::size_t kMaxChunkLine = 4096;
// Blank lines before a request line are skipped, as HTTP asks of a server, but only a few (four
// CR LF pairs): a client that sends more is starting no request.
constexpr std::size_t kMaxBlankBytes = 8;

// Header fields a request may carry once only: of two copies, one reader would judge by the first
// and another by the last (where the body ends, which site the request comes from).
constexpr std::array<std::string_view, 5> kSingleHeads = { "Host", "Origin", "Referer", "Content-Length", "Transfer-Encoding" };

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// The line without its line feed and the carriage return before it.
std::string_view withoutEnd(std::string_view line)
{
    if (line.ends_with('\n'))
        line.remove_suffix(1);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

// Each item of a comma-separated value, trimmed, in order, until `take` answers a refusal status
// (not 0), which is answered; 0 when it took them all.
template <class Take>
int eachListItem(std::string_view value, Take take)
{
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        if (const int status = take(trimmed(value.substr(0, comma))))
            return status;
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    }
    return 0;
}

enum class Number { Ok, NotANumber, TooLarge };

// Decimal digits only; TooLarge past what any body could be.
Number decimal(std::string_view text, std::uint64_t& value)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return Number::NotANumber;
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
    if (text.size() > 15)
        return Number::TooLarge;
    value = 0;
    for (char c : text)
        value = value * 10 + std::uint64_t(c - '0');
    return Number::Ok;
}

Number hexadecimal(std::string_view text, std::uint64_t& value)
{
    if (text.empty())
        return Number::NotANumber;
    value = 0;
    std::size_t significant = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0)
            return Number::NotANumber;
        if (value == 0 && digit == 0)
            continue;
        if (++significant > 12)
            return Number::TooLarge;
        value = value * 16 + std::uint64_t(digit);
    }
    return Number::Ok;
}

} // namespace

RequestReader::RequestReader(RequestLimits limits, MemoryBudget& budget)
    : m_limits(limits)
    , m_share(budget)
{
}

void RequestReader::refuse(int status)
{
    m_state = State::Refused;
    m_refusal = status;
    releaseBytes(m_body);
    releaseBytes(m_kept);
    releaseBytes(m_line);
    m_share.release();
}

bool RequestReader::hold(std::size_t bytes)
{
    if (m_share.grow(bytes))
        return true;
    refuse(503);
    return false;
}

bool RequestReader::couldHold(std::uint64_t bytes)
{
    if (m_share.hasRoomFor(std::size_t(bytes)))
        return true;
    refuse(503);
    return false;
}

std::size_t RequestReader::feed(std::string_view bytes)
{
    std::size_t used = 0;
    while (used < bytes.size()) {
        std::string_view rest = bytes.substr(used);
        switch (m_state) {
        case State::Idle:
        case State::Head:
            used += feedHead(rest);
            break;
        case State::Body:
            used += m_chunked ? feedChunked(rest) : feedLengthBody(rest);
            break;
        case State::Complete:
        case State::Refused:
            return used;
        }
    }
    return used;
}

std::size_t RequestReader::feedHead(std::string_view bytes)
{
    std::size_t used = 0;
    while (used < bytes.size() && (m_state == State::Idle || m_state == State::Head)) {
        const std::size_t end = bytes.find('\n', used);
        const std::size_t take = (end == std::string_view::npos ? bytes.size() : end + 1) - used;
        if (m_headBytes + take > m_limits.maxHeadBytes) {
            refuse(431);
            return used;
        }
        if (!hold(take))
            return used;
        m_headBytes += take;
        m_line.append(bytes.substr(used, take));
        used += take;
        // A request has begun with its first byte that is not part of a blank line.
        if (m_state == State::Idle && m_line.find_first_not_of("\r\n") != std::string::npos)
            m_state = State::Head;
        if (m_state == State::Idle && m_headBytes > kMaxBlankBytes) {
            refuse(400);
            return used;
        }
        if (end == std::string_view::npos)
            break;
        std::string line = std::move(m_line);
        m_line.clear();
        std::string_view content = withoutEnd(line);
        if (!m_sawRequestLine) {
            // Blank lines before a request are skipped, as a server should.
            if (content.empty())
                continue;
            m_sawRequestLine = true;
            m_kept.append(content).append("\r\n");
            continue;
        }
        if (content.empty()) {
            finishHead();
            break;
        }
        if (!takeHeaderLine(content))
            break;
    }
    return used;
}

bool RequestReader::takeHeaderLine(std::string_view line)
{
    // A folded line continues the one before: lenient readers disagree on it, so it is refused.
    if (line.front() == ' ' || line.front() == '\t') {
        refuse(400);
        return false;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 || line.substr(0, colon).find_first_of(" \t") != std::string_view::npos) {
        refuse(400);
        return false;
    }
    std::string_view name = line.substr(0, colon);
    std::string_view value = trimmed(line.substr(colon + 1));
    for (std::size_t i = 0; i < kSingleHeads.size(); ++i) {
        if (!sameName(name, kSingleHeads[i]))
            continue;
        if (m_singleHeadsSeen & (1u << i)) {
            refuse(400);
            return false;
        }
        m_singleHeadsSeen |= 1u << i;
    }
    if (sameName(name, "Content-Length")) {
        // One number, or a list of the same number.
        int status = eachListItem(value, [&](std::string_view item) {
            std::uint64_t length = 0;
            switch (decimal(item, length)) {
            case Number::NotANumber:
                return 400;
            case Number::TooLarge:
                return 413;
            case Number::Ok:
                break;
            }
            if (m_hasLength && length != m_length)
                return 400;
            m_hasLength = true;
            m_length = length;
            return 0;
        });
        if (!status && !m_hasLength)
            status = 400;
        if (status)
            refuse(status);
        return !status;
    }
    if (sameName(name, "Transfer-Encoding")) {
        // Only chunked, once: another coding would have to be undone before the body could be
        // measured against the limit.
        const int status = eachListItem(value, [&](std::string_view coding) {
            if (coding.empty())
                return 0;
            if (!sameName(coding, "chunked"))
                return 501;
            if (m_chunked)
                return 400;
            m_chunked = true;
            return 0;
        });
        if (status)
            refuse(status);
        return !status;
    }
    // A compressed body would be measured before it is inflated, and inflate without bound.
    if (sameName(name, "Content-Encoding") && !value.empty() && !sameName(value, "identity")) {
        refuse(415);
        return false;
    }
    if (sameName(name, "Expect")) {
        m_expectsContinue = m_expectsContinue || sameName(value, "100-continue");
        return true;
    }
    m_kept.append(line).append("\r\n");
    return true;
}

bool RequestReader::finishHead()
{
    if (m_chunked && m_hasLength) {
        refuse(400);
        return false;
    }
    if (m_hasLength && m_length > m_limits.maxBodyBytes) {
        refuse(413);
        return false;
    }
    if (!couldHold(m_length))
        return false;
    m_state = State::Body;
    if (!m_chunked && m_length == 0)
        m_state = State::Complete;
    return true;
}

std::size_t RequestReader::feedLengthBody(std::string_view bytes)
{
    if (!m_bodyBytesSeen) {
        m_bodyBytesSeen = true;
        m_body.reserve(std::size_t(m_length));
    }
    const std::size_t take = std::min<std::size_t>(bytes.size(), std::size_t(m_length) - m_body.size());
    if (!hold(take))
        return 0;
    m_body.append(bytes.substr(0, take));
    if (m_body.size() == m_length)
        m_state = State::Complete;
    return take;
}

std::size_t RequestReader::feedChunked(std::string_view bytes)
{
    if (!m_bodyBytesSeen) {
        m_bodyBytesSeen = true;
        // Room for the largest body at once, so that the body is never moved while it grows (a
        // move would hold two copies for a moment); pages of it take memory only once written.
        m_body.reserve(m_limits.maxBodyBytes);
    }
    std::size_t used = 0;
    while (used < bytes.size() && m_state == State::Body) {
        if (m_chunkStep == ChunkStep::Data) {
            const std::size_t take = std::min<std::size_t>(bytes.size() - used, std::size_t(m_chunkLeft));
            if (!hold(take))
                return used;
            m_body.append(bytes.substr(used, take));
            used += take;
            m_chunkLeft -= take;
            if (m_chunkLeft == 0)
                m_chunkStep = ChunkStep::DataEnd;
            continue;
        }
        // The other steps read a line.
        const std::size_t end = bytes.find('\n', used);
        const std::size_t take = (end == std::string_view::npos ? bytes.size() : end + 1) - used;
        const bool trailer = m_chunkStep == ChunkStep::Trailers;
        if (trailer ? m_headBytes + take > m_limits.maxHeadBytes : m_line.size() + take > kMaxChunkLine) {
            refuse(trailer ? 431 : 400);
            return used;
        }
        if (trailer) {
            if (!hold(take))
                return used;
            m_headBytes += take;
        }
        m_line.append(bytes.substr(used, take));
        used += take;
        if (end == std::string_view::npos)
            break;
        std::string line = std::move(m_line);
        m_line.clear();
        std::string_view content = withoutEnd(line);
        switch (m_chunkStep) {
        case ChunkStep::SizeLine: {
            std::uint64_t size = 0;
            switch (hexadecimal(trimmed(content.substr(0, content.find(';'))), size)) {
            case Number::NotANumber:
                refuse(400);
                return used;
            case Number::TooLarge:
                refuse(413);
                return used;
            case Number::Ok:
                break;
            }
            // Refused on the size line: the chunk would pass the limit, or the budget as it is now.
            if (size > m_limits.maxBodyBytes - m_body.size()) {
                refuse(413);
                return used;
            }
            if (!couldHold(size))
                return used;
            m_chunkLeft = size;
            m_chunkStep = size == 0 ? ChunkStep::Trailers : ChunkStep::Data;
            break;
        }
        case ChunkStep::DataEnd:
            if (!content.empty()) {
                refuse(400);
                return used;
            }
            m_chunkStep = ChunkStep::SizeLine;
            break;
        case ChunkStep::Trailers:
            // Trailer fields are read and left out: nothing here needs them.
            if (content.empty())
                m_state = State::Complete;
            break;
        case ChunkStep::Data:
            break;
        }
    }
    return used;
}

RequestReader::Message RequestReader::takeMessage()
{
    Message message { std::move(m_kept), std::move(m_body), std::move(m_share) };
    message.head.append("Content-Length: ").append(std::to_string(message.body.size())).append("\r\n\r\n");
    return message;
}

} // namespace dv::internal::devserver
