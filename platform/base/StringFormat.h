// The platform's printf-style formatting: `%@` prints an object's description ("(null)" for nil),
// and the C conversions (%d %i %u %ld %lu %lld %llu %f %.Nf %g %e %p %s %c %C %x %X %o %%) with
// flags, width and precision, and positional arguments ("%2$@ %1$@"). Arguments are typed at the call site, so a mismatch between a
// conversion and an argument is converted, never undefined.
#pragma once

#include "platform/base/Forward.h"

#include <concepts>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace dv {

class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Double, CString, Object, Pointer, Char16 };

    template <std::signed_integral T>
    FormatArg(T value) : m_kind(Kind::Signed), m_signed(value) { }
    template <std::unsigned_integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char16_t>)
    FormatArg(T value) : m_kind(Kind::Unsigned), m_unsigned(value) { }
    FormatArg(bool value) : m_kind(Kind::Signed), m_signed(value ? 1 : 0) { }
    FormatArg(char16_t value) : m_kind(Kind::Char16), m_unsigned(value) { }
    template <std::floating_point T>
    FormatArg(T value) : m_kind(Kind::Double), m_double(static_cast<double>(value)) { }
    FormatArg(const char* value) : m_kind(Kind::CString), m_cstring(value) { }
    FormatArg(const std::string& value) : m_kind(Kind::CString), m_cstring(value.c_str()) { }
    FormatArg(std::nullptr_t) : m_kind(Kind::Object), m_object(nullptr) { }
    template <class T>
        requires std::is_base_of_v<NSObject, T>
    FormatArg(const Ref<T>& value) : m_kind(Kind::Object), m_object(reinterpret_cast<const NSObject*>(value.get()))
    {
        // A static cast keeps multiple-inheritance adjustments right.
        m_object = static_cast<const NSObject*>(value.get());
    }
    template <class T>
        requires std::is_base_of_v<NSObject, T>
    FormatArg(const T* value) : m_kind(Kind::Object), m_object(static_cast<const NSObject*>(value)) { }
    FormatArg(const void* value) : m_kind(Kind::Pointer), m_pointer(value) { }

    Kind kind() const { return m_kind; }
    long long asSigned() const;
    unsigned long long asUnsigned() const;
    double asDouble() const;
    const char* asCString() const { return m_kind == Kind::CString ? m_cstring : nullptr; }
    const NSObject* asObject() const { return m_kind == Kind::Object ? m_object : nullptr; }
    const void* asPointer() const;

private:
    Kind m_kind;
    union {
        long long m_signed;
        unsigned long long m_unsigned;
        double m_double;
        const char* m_cstring;
        const NSObject* m_object;
        const void* m_pointer;
    };
};

// Formats `format` with `args`. A conversion without an argument prints nothing; an unknown
// conversion is copied as written.
std::string format(std::string_view format, std::initializer_list<FormatArg> args);

} // namespace dv
