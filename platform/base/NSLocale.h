// NSLocale: a locale identifier ("zh_CN", "en_US_POSIX") and what ICU knows of it, the user's
// current locale and preferred languages. Immutable; shared freely between threads.
//
// The current locale comes from the environment (LC_ALL, LANG). The preferred languages are the
// user's own list where one is kept (the "AppleLanguages" array of the user defaults, read through
// the source the defaults install), else the environment's (LANGUAGE, then LANG). The
// application's runner and tests may fix both (setCurrentLocaleIdentifier, setPreferredLanguages).
//
//   auto posix = NSLocale::localeWithLocaleIdentifier("en_US_POSIX"_ns);
//   NSLocale::preferredLanguages(); // ("zh-Hans", "en")
#pragma once

#include "platform/base/NSObject.h"
#include "platform/base/NSString.h"

#include <functional>
#include <string>

class NSCoder;

// Keys of objectForKey.
extern const Ref<NSString> NSLocaleIdentifier;   // "locale:id"
extern const Ref<NSString> NSLocaleLanguageCode; // "locale:language"
extern const Ref<NSString> NSLocaleCountryCode;  // "locale:country"
extern const Ref<NSString> NSLocaleScriptCode;   // "locale:script"
extern const Ref<NSString> NSLocaleVariantCode;  // "locale:variant"
extern const Ref<NSString> NSLocaleCalendar;     // "calendar": the locale's NSCalendar

class NSLocale : public NSObject, public NSCopying, public NSCoding {
    DV_CLASS(NSLocale, NSObject)

    NSLocale() = default;

    // Any identifier is kept as given (ICU makes the best of unknown ones, as the platform does).
    Ref<NSLocale> initWithLocaleIdentifier(const Ref<NSString>& identifier);
    static Ref<NSLocale> localeWithLocaleIdentifier(const Ref<NSString>& identifier);
    static Ref<NSLocale> currentLocale();
    static Ref<NSLocale> autoupdatingCurrentLocale();
    // The neutral locale (identifier "").
    static Ref<NSLocale> systemLocale();
    // Language tags, most preferred first ("zh-CN", "en"); never empty ("en" when nothing is set).
    static Ref<NSArray> preferredLanguages();
    static Ref<NSArray> availableLocaleIdentifiers();
    // "zh-Hans_CN" → "zh_Hans_CN", "en-us" → "en_US".
    static Ref<NSString> canonicalLocaleIdentifierFromString(const Ref<NSString>& string);

    // Fixed settings in place of the user's and the environment's; nil goes back to them.
    static void setCurrentLocaleIdentifier(const Ref<NSString>& identifier);
    static void setPreferredLanguages(const Ref<NSArray>& languages);
    // Where the user's list of languages is read, nil or empty when there is none: installed by
    // the user defaults (a layer above this one). Called without any lock of this class held.
    using UserLanguagesSource = std::function<Ref<NSArray>()>;
    static void setUserLanguagesSource(UserLanguagesSource source);

    Ref<NSString> localeIdentifier() const { return m_identifier; }
    Ref<NSString> languageCode() const;
    Ref<NSString> countryCode() const; // nil when the identifier names no region
    Ref<NSString> scriptCode() const;
    id objectForKey(const Ref<NSString>& key) const;
    // The name of a locale identifier (key NSLocaleIdentifier) or a language code (key
    // NSLocaleLanguageCode) in this locale's language: "中文（中国）" in Chinese.
    Ref<NSString> displayNameForKey(const Ref<NSString>& key, const id& value) const;

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

    static bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;

    // The identifier in ICU's spelling, for the calendar and formatter classes.
    const std::string& icuID() const { return m_icuID; }

private:
    void setUp(const Ref<NSString>& identifier);
    Ref<NSString> part(int which) const;

    Ref<NSString> m_identifier = std::make_shared<NSString>(); // the neutral locale until an init…
    std::string m_icuID;
};
