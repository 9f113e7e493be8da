#include "platform/base/NSLocale.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCalendar.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/Utf.h"

#include <unicode/uloc.h>

#include <cstdlib>
#include <optional>

DV_DEFINE_CLASS(NSLocale)

namespace {

Ref<NSString> constant(const char* text) { return std::make_shared<NSString>(text); }

dv::Mutex s_settingsMutex;
Ref<NSString> s_currentIdentifier DV_GUARDED_BY(s_settingsMutex);
Ref<NSArray> s_preferredLanguages DV_GUARDED_BY(s_settingsMutex);

// Made on first use: the user defaults install it while the program's statics are made.
NSLocale::UserLanguagesSource& userLanguagesSource() DV_REQUIRES(s_settingsMutex)
{
    static NSLocale::UserLanguagesSource s_source;
    return s_source;
}

// "zh_CN.UTF-8" → "zh_CN"; "C", "POSIX" and "" name no locale.
std::string localeNameFromEnvironment(const char* value)
{
    std::string name = value ? value : "";
    if (auto cut = name.find_first_of(".@"); cut != std::string::npos)
        name.resize(cut);
    if (name == "C" || name == "POSIX")
        return {};
    return name;
}

std::string canonical(const std::string& identifier)
{
    char buffer[ULOC_FULLNAME_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_canonicalize(identifier.c_str(), buffer, ULOC_FULLNAME_CAPACITY, &status);
    if (U_FAILURE(status) || length <= 0 || length >= ULOC_FULLNAME_CAPACITY)
        return identifier;
    return std::string(buffer, static_cast<std::size_t>(length));
}

using DisplayFunction = int32_t (*)(const char*, const char*, UChar*, int32_t, UErrorCode*);

Ref<NSString> display(DisplayFunction function, const std::string& what, const std::string& inLocale)
{
    UChar buffer[256];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = function(what.c_str(), inLocale.c_str(), buffer, 256, &status);
    if (U_FAILURE(status) || length <= 0 || length > 256 || status == U_USING_DEFAULT_WARNING)
        return nil;
    return NSString::fromUTF8(dv::internal::base::utf16ToUtf8(std::u16string_view(buffer, static_cast<std::size_t>(length))));
}

} // namespace

const Ref<NSString> NSLocaleIdentifier = constant("locale:id");
const Ref<NSString> NSLocaleLanguageCode = constant("locale:language");
const Ref<NSString> NSLocaleCountryCode = constant("locale:country");
const Ref<NSString> NSLocaleScriptCode = constant("locale:script");
const Ref<NSString> NSLocaleVariantCode = constant("locale:variant");
const Ref<NSString> NSLocaleCalendar = constant("calendar");

void NSLocale::setUp(const Ref<NSString>& identifier)
{
    m_identifier = identifier ? dv::copyAs<NSString>(identifier) : NSString::string();
    m_icuID = canonical(m_identifier->utf8());
}

Ref<NSLocale> NSLocale::initWithLocaleIdentifier(const Ref<NSString>& identifier)
{
    NSObject::init();
    setUp(identifier);
    return self<NSLocale>();
}

Ref<NSLocale> NSLocale::localeWithLocaleIdentifier(const Ref<NSString>& identifier)
{
    return alloc<NSLocale>()->initWithLocaleIdentifier(identifier);
}

Ref<NSLocale> NSLocale::currentLocale()
{
    {
        dv::MutexLocker lock(s_settingsMutex);
        if (s_currentIdentifier)
            return localeWithLocaleIdentifier(s_currentIdentifier);
    }
    std::string name = localeNameFromEnvironment(std::getenv("LC_ALL"));
    if (name.empty())
        name = localeNameFromEnvironment(std::getenv("LANG"));
    return localeWithLocaleIdentifier(NSString::fromUTF8(name.empty() ? "en_US_POSIX" : name));
}

Ref<NSLocale> NSLocale::autoupdatingCurrentLocale() { return currentLocale(); }
Ref<NSLocale> NSLocale::systemLocale() { return localeWithLocaleIdentifier(NSString::string()); }

Ref<NSArray> NSLocale::preferredLanguages()
{
    UserLanguagesSource source;
    {
        dv::MutexLocker lock(s_settingsMutex);
        if (s_preferredLanguages)
            return s_preferredLanguages;
        source = userLanguagesSource();
    }
    if (source) {
        if (auto chosen = source(); chosen && chosen->count() > 0)
            return dv::copyAs<NSArray>(chosen);
    }
    auto tag = [](std::string name) {
        for (char& c : name)
            if (c == '_')
                c = '-';
        return name;
    };
    auto list = NSMutableArray::array();
    if (const char* languages = std::getenv("LANGUAGE"); languages && *languages) {
        std::string all = languages;
        std::size_t start = 0;
        while (start <= all.size()) {
            std::size_t colon = all.find(':', start);
            if (colon == std::string::npos)
                colon = all.size();
            if (auto name = localeNameFromEnvironment(all.substr(start, colon - start).c_str()); !name.empty())
                list->addObject(NSString::fromUTF8(tag(name)));
            start = colon + 1;
        }
    }
    if (list->count() == 0) {
        if (auto name = localeNameFromEnvironment(std::getenv("LANG")); !name.empty())
            list->addObject(NSString::fromUTF8(tag(name)));
    }
    if (list->count() == 0)
        list->addObject(NSString::fromUTF8("en"));
    return dv::copyAs<NSArray>(list);
}

void NSLocale::setCurrentLocaleIdentifier(const Ref<NSString>& identifier)
{
    dv::MutexLocker lock(s_settingsMutex);
    s_currentIdentifier = dv::copyAs<NSString>(identifier);
}

void NSLocale::setPreferredLanguages(const Ref<NSArray>& languages)
{
    dv::MutexLocker lock(s_settingsMutex);
    s_preferredLanguages = dv::copyAs<NSArray>(languages);
}

void NSLocale::setUserLanguagesSource(UserLanguagesSource source)
{
    dv::MutexLocker lock(s_settingsMutex);
    userLanguagesSource() = std::move(source);
}

Ref<NSArray> NSLocale::availableLocaleIdentifiers()
{
    auto list = NSMutableArray::array();
    for (int32_t i = 0, count = uloc_countAvailable(); i < count; ++i)
        list->addObject(NSString::fromUTF8(uloc_getAvailable(i)));
    return list;
}

Ref<NSString> NSLocale::canonicalLocaleIdentifierFromString(const Ref<NSString>& string)
{
    return string ? NSString::fromUTF8(canonical(string->utf8())) : nil;
}

Ref<NSString> NSLocale::part(int which) const
{
    char buffer[ULOC_FULLNAME_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    switch (which) {
    case 0: length = uloc_getLanguage(m_icuID.c_str(), buffer, ULOC_FULLNAME_CAPACITY, &status); break;
    case 1: length = uloc_getCountry(m_icuID.c_str(), buffer, ULOC_FULLNAME_CAPACITY, &status); break;
    case 2: length = uloc_getScript(m_icuID.c_str(), buffer, ULOC_FULLNAME_CAPACITY, &status); break;
    default: length = uloc_getVariant(m_icuID.c_str(), buffer, ULOC_FULLNAME_CAPACITY, &status); break;
    }
    if (U_FAILURE(status) || length <= 0 || length >= ULOC_FULLNAME_CAPACITY)
        return nil;
    return NSString::fromUTF8(std::string_view(buffer, static_cast<std::size_t>(length)));
}

Ref<NSString> NSLocale::languageCode() const { return part(0); }
Ref<NSString> NSLocale::countryCode() const { return part(1); }
Ref<NSString> NSLocale::scriptCode() const { return part(2); }

id NSLocale::objectForKey(const Ref<NSString>& key) const
{
    if (!key)
        return nil;
    if (key->isEqualToString(NSLocaleIdentifier))
        return m_identifier;
    if (key->isEqualToString(NSLocaleLanguageCode))
        return part(0);
    if (key->isEqualToString(NSLocaleCountryCode))
        return part(1);
    if (key->isEqualToString(NSLocaleScriptCode))
        return part(2);
    if (key->isEqualToString(NSLocaleVariantCode))
        return part(3);
    if (key->isEqualToString(NSLocaleCalendar)) {
        auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
        calendar->setLocale(std::const_pointer_cast<NSLocale>(self<NSLocale>()));
        return calendar;
    }
    return nil;
}

Ref<NSString> NSLocale::displayNameForKey(const Ref<NSString>& key, const id& value) const
{
    auto text = dv::as<NSString>(value);
    if (!key || !text)
        return nil;
    if (key->isEqualToString(NSLocaleIdentifier))
        return display(&uloc_getDisplayName, canonical(text->utf8()), m_icuID);
    if (key->isEqualToString(NSLocaleLanguageCode))
        return display(&uloc_getDisplayLanguage, text->utf8(), m_icuID);
    if (key->isEqualToString(NSLocaleCountryCode))
        return display(&uloc_getDisplayCountry, "_" + text->utf8(), m_icuID);
    if (key->isEqualToString(NSLocaleScriptCode))
        return display(&uloc_getDisplayScript, "und_" + text->utf8(), m_icuID);
    return nil;
}

Ref<NSString> NSLocale::description() const { return m_identifier; }

bool NSLocale::isEqual(const NSObject* other) const
{
    auto* locale = dynamic_cast<const NSLocale*>(other);
    return locale && locale->m_identifier->isEqualToString(m_identifier);
}

NSUInteger NSLocale::hash() const { return m_identifier->hash(); }
id NSLocale::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSObject>(shared_from_this()); }

void NSLocale::encodeWithCoder(NSCoder& coder) const { coder.encodeObject(m_identifier, "NS.identifier"_ns); }

id NSLocale::initWithCoder(NSCoder& coder)
{
    NSObject::init();
    auto identifier = coder.decodeObjectOfClass<NSString>("NS.identifier"_ns);
    if (coder.error())
        return nil;
    setUp(identifier);
    return self<NSLocale>();
}
