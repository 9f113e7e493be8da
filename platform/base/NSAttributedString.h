// NSAttributedString and NSMutableAttributedString: a string with attribute dictionaries over
// ranges of it, counted in UTF-16 units as the string's own ranges are. The text is kept as runs,
// each a length and the attributes of every character in it; neighbouring runs never carry equal
// attributes, so the effective range of an index is always the longest one. Attribute values are
// plain objects here (fonts and colours belong to the graphics layer, which reads them by name).
//
// An immutable attributed string is shared freely between threads; a mutable one belongs to one
// thread at a time. Indexes and ranges past the end raise NSRangeException, as on the platform.
//
//   auto text = alloc<NSMutableAttributedString>()->initWithString("最后更新：今天 10:30"_ns);
//   text->addAttribute(NSForegroundColorAttributeName, grey, NSMakeRange(0, 5));
//   NSRange run;
//   auto attributes = text->attributesAtIndex(2, &run); // run is {0, 5}
#pragma once

#include "platform/base/NSObject.h"
#include "platform/base/NSString.h"

#include <algorithm>
#include <functional>
#include <vector>

class NSCoder;

// Attribute names the text system reads (values: a UIFont, a UIColor, an NSParagraphStyle, a
// number, ...). Their texts are the platform's.
extern const Ref<NSString> NSFontAttributeName;               // "NSFont"
extern const Ref<NSString> NSParagraphStyleAttributeName;     // "NSParagraphStyle"
extern const Ref<NSString> NSForegroundColorAttributeName;    // "NSColor"
extern const Ref<NSString> NSBackgroundColorAttributeName;    // "NSBackgroundColor"
extern const Ref<NSString> NSLigatureAttributeName;           // "NSLigature"
extern const Ref<NSString> NSKernAttributeName;               // "NSKern"
extern const Ref<NSString> NSStrikethroughStyleAttributeName; // "NSStrikethrough"
extern const Ref<NSString> NSUnderlineStyleAttributeName;     // "NSUnderline"
extern const Ref<NSString> NSStrokeColorAttributeName;        // "NSStrokeColor"
extern const Ref<NSString> NSStrokeWidthAttributeName;        // "NSStrokeWidth"
extern const Ref<NSString> NSShadowAttributeName;             // "NSShadow"
extern const Ref<NSString> NSTextEffectAttributeName;         // "NSTextEffect"
extern const Ref<NSString> NSAttachmentAttributeName;         // "NSAttachment"
extern const Ref<NSString> NSLinkAttributeName;               // "NSLink"
extern const Ref<NSString> NSBaselineOffsetAttributeName;     // "NSBaselineOffset"
extern const Ref<NSString> NSUnderlineColorAttributeName;     // "NSUnderlineColor"
extern const Ref<NSString> NSStrikethroughColorAttributeName; // "NSStrikethroughColor"
extern const Ref<NSString> NSObliquenessAttributeName;        // "NSObliqueness"
extern const Ref<NSString> NSExpansionAttributeName;          // "NSExpansion"
extern const Ref<NSString> NSWritingDirectionAttributeName;   // "NSWritingDirection"
extern const Ref<NSString> NSVerticalGlyphFormAttributeName;  // "CTVerticalForms"

// Values of NSUnderlineStyleAttributeName and NSStrikethroughStyleAttributeName.
enum NSUnderlineStyle : NSInteger {
    NSUnderlineStyleNone = 0x00,
    NSUnderlineStyleSingle = 0x01,
    NSUnderlineStyleThick = 0x02,
    NSUnderlineStyleDouble = 0x09,
};

using NSAttributedStringEnumerationOptions = NSUInteger;
enum : NSAttributedStringEnumerationOptions {
    NSAttributedStringEnumerationReverse = 1UL << 1,
    NSAttributedStringEnumerationLongestEffectiveRangeNotRequired = 1UL << 20,
};

class NSAttributedString : public NSObject, public NSCopying, public NSMutableCopying, public NSCoding {
    DV_CLASS(NSAttributedString, NSObject)

    NSAttributedString() = default;

    // A nil string counts as empty; nil attributes as none.
    Ref<NSAttributedString> init();
    Ref<NSAttributedString> initWithString(const Ref<NSString>& string);
    Ref<NSAttributedString> initWithString(const Ref<NSString>& string, const Ref<NSDictionary>& attributes);
    Ref<NSAttributedString> initWithAttributedString(const Ref<NSAttributedString>& other);

    // The characters, as an immutable string.
    Ref<NSString> string() const { return m_string; }
    NSUInteger length() const { return m_length; }

    // The attributes of the character at `index` (an empty dictionary when it has none) and, when
    // asked, the range of the run it belongs to.
    Ref<NSDictionary> attributesAtIndex(NSUInteger index, NSRange* effectiveRange) const;
    // attributesAtIndex:longestEffectiveRange:inRange: the run clipped to `rangeLimit`.
    Ref<NSDictionary> attributesAtIndexLongestEffectiveRange(NSUInteger index, NSRange* longestEffectiveRange, NSRange rangeLimit) const;
    // attribute:atIndex:effectiveRange: one attribute's value (nil when absent) and the longest
    // range around `index` over which that value is the same.
    id attribute(const Ref<NSString>& name, NSUInteger index, NSRange* effectiveRange) const;
    id attributeLongestEffectiveRange(const Ref<NSString>& name, NSUInteger index, NSRange* longestEffectiveRange, NSRange rangeLimit) const;

    Ref<NSAttributedString> attributedSubstringFromRange(NSRange range) const;
    bool isEqualToAttributedString(const Ref<NSAttributedString>& other) const;

    // Calls the block for each run in `range`, in order (or from the end with
    // NSAttributedStringEnumerationReverse), with its attributes and its range clipped to
    // `range`; setting *stop ends the walk. The walk is over the runs as they were when it
    // began, so the block may change the receiver's attributes.
    using AttributesBlock = std::function<void(const Ref<NSDictionary>& attributes, NSRange range, bool* stop)>;
    void enumerateAttributesInRange(NSRange range, NSAttributedStringEnumerationOptions options, const AttributesBlock& block) const;
    // The same for one attribute: neighbouring runs with the same value (nil included) come as
    // one range unless NSAttributedStringEnumerationLongestEffectiveRangeNotRequired is given.
    using AttributeBlock = std::function<void(const id& value, NSRange range, bool* stop)>;
    void enumerateAttribute(const Ref<NSString>& name, NSRange range, NSAttributedStringEnumerationOptions options, const AttributeBlock& block) const;

    // "text{\n    NSColor = ...;\n}" for each run.
    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;

    // Archived as "NSString", "NSAttributes" (the one dictionary, or the distinct dictionaries
    // in order) and "NSAttributeInfo" (for several runs: each run's length and the number of its
    // dictionary, as variable-length integers).
    static bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;

protected:
    friend class NSMutableAttributedString;
    struct Run {
        NSUInteger length = 0;
        Ref<NSDictionary> attributes; // never nil
    };

    void assign(const Ref<NSString>& string, std::vector<Run> runs);
    // The run holding `index` and the index where that run starts.
    std::size_t runAt(NSUInteger index, NSUInteger* start) const;
    void checkIndex(const char* method, NSUInteger index) const;
    void checkRange(const char* method, NSRange range) const;
    // Joins neighbouring runs with equal attributes and drops empty ones.
    void coalesce();

    Ref<NSString> m_string = std::make_shared<NSString>(); // never nil, even before an init…
    NSUInteger m_length = 0;
    std::vector<Run> m_runs;
};

class NSMutableAttributedString : public NSAttributedString {
    DV_CLASS(NSMutableAttributedString, NSAttributedString)

    NSMutableAttributedString() = default;

    Ref<NSMutableAttributedString> init();
    Ref<NSMutableAttributedString> initWithString(const Ref<NSString>& string);
    Ref<NSMutableAttributedString> initWithString(const Ref<NSString>& string, const Ref<NSDictionary>& attributes);
    Ref<NSMutableAttributedString> initWithAttributedString(const Ref<NSAttributedString>& other);

    // The new characters take the attributes of the first replaced character; with nothing
    // replaced, of the character before the range, else of the one after it.
    void replaceCharactersInRange(NSRange range, const Ref<NSString>& string);
    // replaceCharactersInRange:withAttributedString: the new characters keep their own attributes.
    void replaceCharactersInRange(NSRange range, const Ref<NSAttributedString>& attributedString);
    void deleteCharactersInRange(NSRange range);
    void insertAttributedString(const Ref<NSAttributedString>& attributedString, NSUInteger location);
    void appendAttributedString(const Ref<NSAttributedString>& attributedString);
    void setAttributedString(const Ref<NSAttributedString>& attributedString);

    // Replaces every attribute in the range (nil: none).
    void setAttributes(const Ref<NSDictionary>& attributes, NSRange range);
    // Adds or replaces one attribute, or several, over the range; a nil name or value changes nothing.
    void addAttribute(const Ref<NSString>& name, const id& value, NSRange range);
    void addAttributes(const Ref<NSDictionary>& attributes, NSRange range);
    void removeAttribute(const Ref<NSString>& name, NSRange range);

    // Batching brackets of the platform; changes apply at once here.
    void beginEditing() { }
    void endEditing() { }

    id copyWithZone(NSZone* zone) const override;

private:
    // Splits the run holding `index` so that a run starts there; answers that run's position.
    std::size_t splitAt(NSUInteger index);
    // Applies `change` to the attributes of every run inside `range`.
    void changeAttributes(NSRange range, const std::function<Ref<NSDictionary>(const Ref<NSDictionary>&)>& change);
    void replaceRuns(NSRange range, const Ref<NSString>& text, std::vector<Run> runs);
};
