#include "platform/base/StringFormat.h"

#include "platform/base/NSObject.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/Utf.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace dv {

long long FormatArg::asSigned() const
{
    switch (m_kind) {
    case Kind::Signed:
        return m_signed;
    case Kind::Unsigned:
    case Kind::Char16:
        return static_cast<long long>(m_unsigned);
    case Kind::Double:
        return m_double != m_double ? 0
            : m_double >= 9.2233720368547758e18 ? std::numeric_limits<long long>::max()
            : m_double <= -9.2233720368547758e18 ? std::numeric_limits<long long>::min()
                                                 : static_cast<long long>(m_double);
    case Kind::CString:
    case Kind::Object:
    case Kind::Pointer:
        return static_cast<long long>(reinterpret_cast<std::uintptr_t>(m_pointer));
    }
    return 0;
}

unsigned long long FormatArg::asUnsigned() const
{
    switch (m_kind) {
    case Kind::Signed:
        return static_cast<unsigned long long>(m_signed);
    case Kind::Double:
        return m_double != m_double || m_double <= 0 ? 0
            : m_double >= 1.8446744073709552e19      ? std::numeric_limits<unsigned long long>::max()
                                                     : static_cast<unsigned long long>(m_double);
    case Kind::Unsigned:
    case Kind::Char16:
        return m_unsigned;
    case Kind::CString:
    case Kind::Object:
    case Kind::Pointer:
        return reinterpret_cast<std::uintptr_t>(m_pointer);
    }
    return 0;
}

double FormatArg::asDouble() const
{
    switch (m_kind) {
    case Kind::Signed:
        return static_cast<double>(m_signed);
    case Kind::Unsigned:
    case Kind::Char16:
        return static_cast<double>(m_unsigned);
    case Kind::Double:
        return m_double;
    default:
        return 0;
    }
}

const void* FormatArg::asPointer() const
{
    switch (m_kind) {
    case Kind::CString:
    case Kind::Object:
    case Kind::Pointer:
        return m_pointer;
    case Kind::Signed:
    case Kind::Unsigned:
        return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(m_unsigned));
    default:
        return nullptr;
    }
}

namespace {

// Pads `text` to `width` characters (counted in code points), on the left unless `left`.
void appendPadded(std::string& out, std::string_view text, int width, bool left)
{
    int count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    int pad = width > count ? width - count : 0;
    if (!left)
        out.append(pad, ' ');
    out.append(text);
    if (left)
        out.append(pad, ' ');
}

// Cuts `text` to at most `precision` bytes without splitting a UTF-8 sequence.
std::string_view cut(std::string_view text, int precision)
{
    if (precision < 0 || static_cast<std::size_t>(precision) >= text.size())
        return text;
    std::size_t end = static_cast<std::size_t>(precision);
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

} // namespace

std::string format(std::string_view fmt, std::initializer_list<FormatArg> list)
{
    const FormatArg* args = list.begin();
    std::size_t argCount = list.size();
    std::size_t next = 0;
    auto take = [&]() -> const FormatArg* { return next < argCount ? &args[next++] : nullptr; };
    // "n$" right after the "%" (or after a "*") names the n-th argument, counted from 1; such a
    // conversion leaves the running position of the unnumbered ones where it was.
    auto position = [&](std::size_t& at) -> std::size_t {
        std::size_t j = at, n = 0;
        while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9' && n < 100000)
            n = n * 10 + static_cast<std::size_t>(fmt[j++] - '0');
        if (j == at || j >= fmt.size() || fmt[j] != '$' || n == 0)
            return 0;
        at = j + 1;
        return n;
    };
    auto takeAt = [&](std::size_t n) -> const FormatArg* {
        if (n == 0)
            return take();
        return n <= argCount ? &args[n - 1] : nullptr;
    };

    std::string out;
    out.reserve(fmt.size() + 16 * argCount);
    std::size_t i = 0;
    while (i < fmt.size()) {
        char c = fmt[i];
        if (c != '%') {
            std::size_t stop = fmt.find('%', i);
            if (stop == std::string_view::npos)
                stop = fmt.size();
            out.append(fmt.substr(i, stop - i));
            i = stop;
            continue;
        }
        std::size_t start = i++;
        if (i < fmt.size() && fmt[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        std::size_t argument = position(i);
        // Flags, width, precision, length.
        std::string flags;
        while (i < fmt.size() && std::string_view("-+ #0'").find(fmt[i]) != std::string_view::npos)
            flags.push_back(fmt[i++]);
        int width = -1;
        if (i < fmt.size() && fmt[i] == '*') {
            ++i;
            auto* a = takeAt(position(i));
            long long w = a ? a->asSigned() : 0;
            if (w < 0) {
                flags.push_back('-');
                w = -w;
            }
            width = static_cast<int>(std::min<long long>(w, 4096));
        } else {
            while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
                width = std::min((width < 0 ? 0 : width) * 10 + (fmt[i] - '0'), 4096);
                ++i;
            }
        }
        int precision = -1;
        if (i < fmt.size() && fmt[i] == '.') {
            ++i;
            precision = 0;
            if (i < fmt.size() && fmt[i] == '*') {
                ++i;
                auto* a = takeAt(position(i));
                long long p = a ? a->asSigned() : 0;
                precision = p < 0 ? -1 : static_cast<int>(std::min<long long>(p, 4096));
            } else {
                while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
                    precision = std::min(precision * 10 + (fmt[i] - '0'), 4096);
                    ++i;
                }
            }
        }
        int longs = 0, shorts = 0;
        while (i < fmt.size() && std::string_view("hlqLzjt").find(fmt[i]) != std::string_view::npos) {
            char m = fmt[i++];
            if (m == 'h')
                ++shorts;
            else
                longs += (m == 'q' || m == 'j' || m == 'z' || m == 't') ? 2 : 1;
        }
        if (i >= fmt.size()) {
            out.append(fmt.substr(start));
            break;
        }
        char conv = fmt[i++];
        bool left = flags.find('-') != std::string::npos;

        std::string directive = "%" + flags;
        if (width >= 0)
            directive += std::to_string(width);
        if (precision >= 0)
            directive += "." + std::to_string(precision);
        char buffer[512];
        auto printNumber = [&](const char* lengthModifier, auto value) {
            std::string full = directive + lengthModifier + conv;
            int n = std::snprintf(buffer, sizeof buffer, full.c_str(), value);
            if (n >= static_cast<int>(sizeof buffer)) {
                std::vector<char> big(static_cast<std::size_t>(n) + 1);
                std::snprintf(big.data(), big.size(), full.c_str(), value);
                out.append(big.data(), static_cast<std::size_t>(n));
            } else if (n > 0) {
                out.append(buffer, static_cast<std::size_t>(n));
            }
        };

        switch (conv) {
        case 'd':
        case 'i': {
            auto* a = takeAt(argument);
            long long v = a ? a->asSigned() : 0;
            // Without a long modifier the platform reads an int, so wider values are cut.
            if (longs == 0)
                v = shorts == 1 ? static_cast<short>(v) : shorts >= 2 ? static_cast<signed char>(v) : static_cast<int>(v);
            printNumber("ll", v);
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            auto* a = takeAt(argument);
            unsigned long long v = a ? a->asUnsigned() : 0;
            if (longs == 0)
                v = shorts == 1 ? static_cast<unsigned short>(v) : shorts >= 2 ? static_cast<unsigned char>(v) : static_cast<unsigned int>(v);
            printNumber("ll", v);
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            auto* a = takeAt(argument);
            printNumber("", a ? a->asDouble() : 0.0);
            break;
        }
        case 'c':
        case 'C': {
            auto* a = takeAt(argument);
            std::string ch;
            unsigned long long v = a ? a->asUnsigned() : 0;
            if (conv == 'c')
                ch.push_back(static_cast<char>(v & 0xFF));
            else
                dv::internal::base::appendUtf8(ch, (v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF ? U'\uFFFD' : static_cast<char32_t>(v));
            appendPadded(out, ch, width, left);
            break;
        }
        case 's': {
            auto* a = takeAt(argument);
            const char* s = a ? a->asCString() : nullptr;
            if (!s && a && a->kind() == FormatArg::Kind::Object && a->asObject())
                s = nullptr;
            appendPadded(out, cut(s ? std::string_view(s) : std::string_view("(null)"), precision), width, left);
            break;
        }
        case '@': {
            auto* a = takeAt(argument);
            std::string text;
            if (a && a->kind() == FormatArg::Kind::CString)
                text = a->asCString() ? a->asCString() : "(null)";
            else if (a && a->asObject())
                text = str(a->asObject());
            else
                text = "(null)";
            appendPadded(out, cut(text, precision), width, left);
            break;
        }
        case 'p': {
            auto* a = takeAt(argument);
            std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(a ? a->asPointer() : nullptr)));
            appendPadded(out, buffer, width, left);
            break;
        }
        default:
            // Unknown conversion: copied as written.
            out.append(fmt.substr(start, i - start));
            break;
        }
    }
    return out;
}

} // namespace dv
