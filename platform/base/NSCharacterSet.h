// NSCharacterSet: a set of Unicode scalar values, with the platform's predefined sets (white space,
// newlines, decimal digits, letters, the URL component sets).
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <set>

class NSCharacterSet : public NSObject, public NSCopying, public NSMutableCopying {
    DV_CLASS(NSCharacterSet, NSObject)

    NSCharacterSet() = default;

    static Ref<NSCharacterSet> whitespaceCharacterSet();
    static Ref<NSCharacterSet> whitespaceAndNewlineCharacterSet();
    static Ref<NSCharacterSet> newlineCharacterSet();
    static Ref<NSCharacterSet> decimalDigitCharacterSet();
    static Ref<NSCharacterSet> letterCharacterSet();
    static Ref<NSCharacterSet> alphanumericCharacterSet();
    static Ref<NSCharacterSet> uppercaseLetterCharacterSet();
    static Ref<NSCharacterSet> lowercaseLetterCharacterSet();
    static Ref<NSCharacterSet> punctuationCharacterSet();
    static Ref<NSCharacterSet> controlCharacterSet();
    static Ref<NSCharacterSet> URLQueryAllowedCharacterSet();
    static Ref<NSCharacterSet> URLPathAllowedCharacterSet();
    static Ref<NSCharacterSet> URLHostAllowedCharacterSet();
    static Ref<NSCharacterSet> URLFragmentAllowedCharacterSet();
    static Ref<NSCharacterSet> URLUserAllowedCharacterSet();
    static Ref<NSCharacterSet> URLPasswordAllowedCharacterSet();
    static Ref<NSCharacterSet> characterSetWithCharactersInString(const Ref<NSString>& characters);
    static Ref<NSCharacterSet> characterSetWithRange(NSRange range);

    bool characterIsMember(char32_t c) const;
    Ref<NSCharacterSet> invertedSet() const;

    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;

protected:
    using Predicate = std::function<bool(char32_t)>;
    static Ref<NSCharacterSet> withPredicate(Predicate predicate);
    Predicate m_base;      // may be empty
    bool m_inverted = false;
    std::set<char32_t> m_added;
    std::set<char32_t> m_removed;
};

class NSMutableCharacterSet : public NSCharacterSet {
    DV_CLASS(NSMutableCharacterSet, NSCharacterSet)

    NSMutableCharacterSet() = default;
    static Ref<NSMutableCharacterSet> characterSet();
    void addCharactersInString(const Ref<NSString>& characters);
    void removeCharactersInString(const Ref<NSString>& characters);
    void addCharactersInRange(NSRange range);
    void formUnionWithCharacterSet(const Ref<NSCharacterSet>& other);
    void invert();

private:
    void editCharacters(const Ref<NSString>& characters, bool add);
};
