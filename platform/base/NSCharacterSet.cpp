#include "platform/base/NSCharacterSet.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/Utf.h"

#include <unicode/uchar.h>

DV_DEFINE_CLASS(NSCharacterSet)
DV_DEFINE_CLASS(NSMutableCharacterSet)

namespace {

bool isWhitespace(char32_t c) { return c == '\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR; }
bool isNewline(char32_t c) { return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029; }

bool inAscii(const char* allowed, char32_t c)
{
    if (c >= 0x80)
        return false;
    for (const char* p = allowed; *p; ++p)
        if (static_cast<char32_t>(*p) == c)
            return true;
    return false;
}

bool isUnreserved(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
}


} // namespace

Ref<NSCharacterSet> NSCharacterSet::withPredicate(Predicate predicate)
{
    auto set = alloc<NSCharacterSet>();
    set->m_base = std::move(predicate);
    return set;
}

#define DV_PREDEFINED_SET(name, predicate)                                       \
    Ref<NSCharacterSet> NSCharacterSet::name()                                   \
    {                                                                            \
        static const Ref<NSCharacterSet> set = dv::keepingForever([] { return withPredicate(predicate); }); \
        return set;                                                              \
    }

DV_PREDEFINED_SET(whitespaceCharacterSet, isWhitespace)
DV_PREDEFINED_SET(whitespaceAndNewlineCharacterSet, [](char32_t c) { return isWhitespace(c) || isNewline(c); })
DV_PREDEFINED_SET(newlineCharacterSet, isNewline)
DV_PREDEFINED_SET(decimalDigitCharacterSet, [](char32_t c) { return u_charType(static_cast<UChar32>(c)) == U_DECIMAL_DIGIT_NUMBER; })
DV_PREDEFINED_SET(letterCharacterSet, [](char32_t c) { return u_isalpha(static_cast<UChar32>(c)) != 0 || u_charType(static_cast<UChar32>(c)) == U_NON_SPACING_MARK; })
DV_PREDEFINED_SET(alphanumericCharacterSet, [](char32_t c) { return u_isalnum(static_cast<UChar32>(c)) != 0; })
DV_PREDEFINED_SET(uppercaseLetterCharacterSet, [](char32_t c) { return u_isupper(static_cast<UChar32>(c)) != 0 || u_istitle(static_cast<UChar32>(c)) != 0; })
DV_PREDEFINED_SET(lowercaseLetterCharacterSet, [](char32_t c) { return u_islower(static_cast<UChar32>(c)) != 0; })
DV_PREDEFINED_SET(punctuationCharacterSet, [](char32_t c) { return u_ispunct(static_cast<UChar32>(c)) != 0; })
DV_PREDEFINED_SET(controlCharacterSet, [](char32_t c) { return u_iscntrl(static_cast<UChar32>(c)) != 0; })
// The URL component sets: unreserved characters plus the delimiters each component may hold.
DV_PREDEFINED_SET(URLQueryAllowedCharacterSet, [](char32_t c) { return isUnreserved(c) || inAscii("!$&'()*+,;=:@/?", c); })
DV_PREDEFINED_SET(URLFragmentAllowedCharacterSet, [](char32_t c) { return isUnreserved(c) || inAscii("!$&'()*+,;=:@/?", c); })
DV_PREDEFINED_SET(URLPathAllowedCharacterSet, [](char32_t c) { return isUnreserved(c) || inAscii("!$&'()*+,=:@/", c); })
DV_PREDEFINED_SET(URLHostAllowedCharacterSet, [](char32_t c) { return isUnreserved(c) || inAscii("!$&'()*+,;=:[]", c); })
DV_PREDEFINED_SET(URLUserAllowedCharacterSet, [](char32_t c) { return isUnreserved(c) || inAscii("!$&'()*+,;=", c); })
DV_PREDEFINED_SET(URLPasswordAllowedCharacterSet, [](char32_t c) { return isUnreserved(c) || inAscii("!$&'()*+,;=", c); })

#undef DV_PREDEFINED_SET

Ref<NSCharacterSet> NSCharacterSet::characterSetWithCharactersInString(const Ref<NSString>& characters)
{
    auto set = alloc<NSCharacterSet>();
    if (characters) {
        const std::string& s = characters->utf8();
        std::size_t i = 0;
        while (i < s.size())
            set->m_added.insert(dv::internal::base::decodeUtf8(s, i));
    }
    return set;
}

Ref<NSCharacterSet> NSCharacterSet::characterSetWithRange(NSRange range)
{
    NSUInteger first = range.location, last = range.location + range.length;
    return withPredicate([first, last](char32_t c) { return c >= first && c < last; });
}

bool NSCharacterSet::characterIsMember(char32_t c) const
{
    bool member;
    if (m_removed.count(c))
        member = false;
    else if (m_added.count(c))
        member = true;
    else
        member = m_base && m_base(c);
    return member != m_inverted;
}

Ref<NSCharacterSet> NSCharacterSet::invertedSet() const
{
    auto set = alloc<NSCharacterSet>();
    set->m_base = m_base;
    set->m_added = m_added;
    set->m_removed = m_removed;
    set->m_inverted = !m_inverted;
    return set;
}

id NSCharacterSet::copyWithZone(NSZone*) const
{
    auto set = alloc<NSCharacterSet>();
    set->m_base = m_base;
    set->m_added = m_added;
    set->m_removed = m_removed;
    set->m_inverted = m_inverted;
    return set;
}

id NSCharacterSet::mutableCopyWithZone(NSZone*) const
{
    auto set = alloc<NSMutableCharacterSet>();
    set->m_base = m_base;
    set->m_added = m_added;
    set->m_removed = m_removed;
    set->m_inverted = m_inverted;
    return set;
}

Ref<NSMutableCharacterSet> NSMutableCharacterSet::characterSet() { return alloc<NSMutableCharacterSet>(); }

void NSMutableCharacterSet::editCharacters(const Ref<NSString>& characters, bool add)
{
    if (!characters)
        return;
    const std::string& s = characters->utf8();
    std::size_t i = 0;
    while (i < s.size()) {
        char32_t c = dv::internal::base::decodeUtf8(s, i);
        // Membership is stored before inversion, so an inverted set records the opposite.
        bool member = add != m_inverted;
        (member ? m_added : m_removed).insert(c);
        (member ? m_removed : m_added).erase(c);
    }
}

void NSMutableCharacterSet::addCharactersInString(const Ref<NSString>& characters) { editCharacters(characters, true); }
void NSMutableCharacterSet::removeCharactersInString(const Ref<NSString>& characters) { editCharacters(characters, false); }

void NSMutableCharacterSet::addCharactersInRange(NSRange range)
{
    Predicate previous = m_base;
    NSUInteger first = range.location, last = range.location + range.length;
    bool inverted = m_inverted;
    m_base = [previous, first, last, inverted](char32_t c) {
        bool inRange = c >= first && c < last;
        // Keep the inverted reading consistent: in an inverted set the range must read as absent.
        return inverted ? (previous && previous(c) && !inRange) : ((previous && previous(c)) || inRange);
    };
}

void NSMutableCharacterSet::formUnionWithCharacterSet(const Ref<NSCharacterSet>& other)
{
    if (!other)
        return;
    auto snapshot = std::static_pointer_cast<NSCharacterSet>(copy());
    m_base = [snapshot, other](char32_t c) { return snapshot->characterIsMember(c) || other->characterIsMember(c); };
    m_added.clear();
    m_removed.clear();
    m_inverted = false;
}

void NSMutableCharacterSet::invert() { m_inverted = !m_inverted; }
