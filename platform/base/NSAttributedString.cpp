#include "platform/base/NSAttributedString.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSException.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSValue.h"
#include "platform/base/internal/FormatErrors.h"

DV_DEFINE_CLASS(NSAttributedString)
DV_DEFINE_CLASS(NSMutableAttributedString)

namespace {

Ref<NSString> constant(const char* text) { return std::make_shared<NSString>(text); }

} // namespace

const Ref<NSString> NSFontAttributeName = constant("NSFont");
const Ref<NSString> NSParagraphStyleAttributeName = constant("NSParagraphStyle");
const Ref<NSString> NSForegroundColorAttributeName = constant("NSColor");
const Ref<NSString> NSBackgroundColorAttributeName = constant("NSBackgroundColor");
const Ref<NSString> NSLigatureAttributeName = constant("NSLigature");
const Ref<NSString> NSKernAttributeName = constant("NSKern");
const Ref<NSString> NSStrikethroughStyleAttributeName = constant("NSStrikethrough");
const Ref<NSString> NSUnderlineStyleAttributeName = constant("NSUnderline");
const Ref<NSString> NSStrokeColorAttributeName = constant("NSStrokeColor");
const Ref<NSString> NSStrokeWidthAttributeName = constant("NSStrokeWidth");
const Ref<NSString> NSShadowAttributeName = constant("NSShadow");
const Ref<NSString> NSTextEffectAttributeName = constant("NSTextEffect");
const Ref<NSString> NSAttachmentAttributeName = constant("NSAttachment");
const Ref<NSString> NSLinkAttributeName = constant("NSLink");
const Ref<NSString> NSBaselineOffsetAttributeName = constant("NSBaselineOffset");
const Ref<NSString> NSUnderlineColorAttributeName = constant("NSUnderlineColor");
const Ref<NSString> NSStrikethroughColorAttributeName = constant("NSStrikethroughColor");
const Ref<NSString> NSObliquenessAttributeName = constant("NSObliqueness");
const Ref<NSString> NSExpansionAttributeName = constant("NSExpansion");
const Ref<NSString> NSWritingDirectionAttributeName = constant("NSWritingDirection");
const Ref<NSString> NSVerticalGlyphFormAttributeName = constant("CTVerticalForms");

namespace {

Ref<NSDictionary> emptyAttributes()
{
    static const Ref<NSDictionary> empty = dv::keepingForever([] { return NSDictionary::dictionary(); });
    return empty;
}

// The dictionary a run keeps: an immutable copy, so that later changes to the caller's
// dictionary do not reach the string.
Ref<NSDictionary> kept(const Ref<NSDictionary>& attributes)
{
    if (!attributes || attributes->count() == 0)
        return emptyAttributes();
    return dv::copyAs<NSDictionary>(attributes);
}

Ref<NSString> textOf(const Ref<NSString>& string) { return string ? dv::copyAs<NSString>(string) : NSString::string(); }

} // namespace

// NSAttributedString ----------------------------------------------------------------------------

void NSAttributedString::assign(const Ref<NSString>& string, std::vector<Run> runs)
{
    m_string = string;
    m_length = string->length();
    m_runs = std::move(runs);
    coalesce();
}

Ref<NSAttributedString> NSAttributedString::init() { return initWithString(nil, nil); }
Ref<NSAttributedString> NSAttributedString::initWithString(const Ref<NSString>& string) { return initWithString(string, nil); }

Ref<NSAttributedString> NSAttributedString::initWithString(const Ref<NSString>& string, const Ref<NSDictionary>& attributes)
{
    NSObject::init();
    auto text = textOf(string);
    assign(text, {Run {text->length(), kept(attributes)}});
    return self<NSAttributedString>();
}

Ref<NSAttributedString> NSAttributedString::initWithAttributedString(const Ref<NSAttributedString>& other)
{
    NSObject::init();
    if (!other)
        return initWithString(nil, nil);
    assign(other->m_string, other->m_runs);
    return self<NSAttributedString>();
}

void NSAttributedString::coalesce()
{
    std::vector<Run> out;
    out.reserve(m_runs.size());
    for (auto& run : m_runs) {
        if (run.length == 0)
            continue;
        if (!out.empty() && dv::equal(out.back().attributes, run.attributes))
            out.back().length += run.length;
        else
            out.push_back(std::move(run));
    }
    m_runs = std::move(out);
}

void NSAttributedString::checkIndex(const char* method, NSUInteger index) const
{
    if (index >= m_length)
        NSException::raise(NSRangeException, std::string("-[NSAttributedString ") + method + "]: Out of bounds index " + std::to_string(index)
                                                 + " for length " + std::to_string(m_length));
}

void NSAttributedString::checkRange(const char* method, NSRange range) const
{
    if (range.location > m_length || range.length > m_length - range.location)
        NSException::raise(NSRangeException, std::string("-[NSAttributedString ") + method + "]: Range {" + std::to_string(range.location)
                                                 + ", " + std::to_string(range.length) + "} out of bounds; string length "
                                                 + std::to_string(m_length));
}

std::size_t NSAttributedString::runAt(NSUInteger index, NSUInteger* start) const
{
    NSUInteger at = 0;
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        if (index < at + m_runs[i].length) {
            *start = at;
            return i;
        }
        at += m_runs[i].length;
    }
    *start = at;
    return m_runs.size();
}

Ref<NSDictionary> NSAttributedString::attributesAtIndex(NSUInteger index, NSRange* effectiveRange) const
{
    checkIndex("attributesAtIndex:effectiveRange:", index);
    NSUInteger start = 0;
    const Run& run = m_runs[runAt(index, &start)];
    if (effectiveRange)
        *effectiveRange = NSMakeRange(start, run.length);
    return run.attributes;
}

namespace {

NSRange clip(NSRange range, NSRange limit)
{
    NSUInteger start = std::max(range.location, limit.location);
    NSUInteger end = std::min(range.max(), limit.max());
    return end > start ? NSMakeRange(start, end - start) : NSMakeRange(start, 0);
}

} // namespace

Ref<NSDictionary> NSAttributedString::attributesAtIndexLongestEffectiveRange(NSUInteger index, NSRange* longestEffectiveRange, NSRange rangeLimit) const
{
    checkRange("attributesAtIndex:longestEffectiveRange:inRange:", rangeLimit);
    NSRange run;
    auto attributes = attributesAtIndex(index, &run);
    if (longestEffectiveRange)
        *longestEffectiveRange = clip(run, rangeLimit);
    return attributes;
}

id NSAttributedString::attribute(const Ref<NSString>& name, NSUInteger index, NSRange* effectiveRange) const
{
    checkIndex("attribute:atIndex:effectiveRange:", index);
    NSUInteger start = 0;
    std::size_t i = runAt(index, &start);
    id value = name ? m_runs[i].attributes->objectForKey(name) : nil;
    if (effectiveRange) {
        // Widen over the neighbours that hold the same value for this name.
        NSUInteger begin = start, end = start + m_runs[i].length;
        for (std::size_t j = i; j > 0 && dv::equal(name ? m_runs[j - 1].attributes->objectForKey(name) : nil, value); --j)
            begin -= m_runs[j - 1].length;
        for (std::size_t j = i + 1; j < m_runs.size() && dv::equal(name ? m_runs[j].attributes->objectForKey(name) : nil, value); ++j)
            end += m_runs[j].length;
        *effectiveRange = NSMakeRange(begin, end - begin);
    }
    return value;
}

id NSAttributedString::attributeLongestEffectiveRange(const Ref<NSString>& name, NSUInteger index, NSRange* longestEffectiveRange, NSRange rangeLimit) const
{
    checkRange("attribute:atIndex:longestEffectiveRange:inRange:", rangeLimit);
    NSRange range;
    id value = attribute(name, index, &range);
    if (longestEffectiveRange)
        *longestEffectiveRange = clip(range, rangeLimit);
    return value;
}

Ref<NSAttributedString> NSAttributedString::attributedSubstringFromRange(NSRange range) const
{
    checkRange("attributedSubstringFromRange:", range);
    std::vector<Run> runs;
    NSUInteger at = 0;
    for (const Run& run : m_runs) {
        NSRange piece = clip(NSMakeRange(at, run.length), range);
        if (piece.length > 0)
            runs.push_back({piece.length, run.attributes});
        at += run.length;
    }
    auto result = alloc<NSAttributedString>();
    result->NSObject::init();
    result->assign(m_string->substringWithRange(range), std::move(runs));
    return result;
}

bool NSAttributedString::isEqualToAttributedString(const Ref<NSAttributedString>& other) const
{
    return other && isEqual(other.get());
}

bool NSAttributedString::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto* that = dynamic_cast<const NSAttributedString*>(other);
    if (!that || !m_string->isEqualToString(that->m_string) || m_runs.size() != that->m_runs.size())
        return false;
    for (std::size_t i = 0; i < m_runs.size(); ++i)
        if (m_runs[i].length != that->m_runs[i].length || !dv::equal(m_runs[i].attributes, that->m_runs[i].attributes))
            return false;
    return true;
}

NSUInteger NSAttributedString::hash() const { return m_string->hash(); }

Ref<NSString> NSAttributedString::description() const
{
    std::string out;
    NSUInteger at = 0;
    for (const Run& run : m_runs) {
        out += m_string->substringWithRange(NSMakeRange(at, run.length))->utf8();
        out += run.attributes->description()->utf8();
        at += run.length;
    }
    return NSString::fromUTF8(out);
}

id NSAttributedString::copyWithZone(NSZone*) const
{
    // Immutable: the copy is the string itself.
    return std::const_pointer_cast<NSObject>(shared_from_this());
}

id NSAttributedString::mutableCopyWithZone(NSZone*) const
{
    return alloc<NSMutableAttributedString>()->initWithAttributedString(std::const_pointer_cast<NSAttributedString>(self<NSAttributedString>()));
}

void NSAttributedString::enumerateAttributesInRange(NSRange range, NSAttributedStringEnumerationOptions options, const AttributesBlock& block) const
{
    checkRange("enumerateAttributesInRange:options:usingBlock:", range);
    if (!block || range.length == 0)
        return;
    struct Piece {
        Ref<NSDictionary> attributes;
        NSRange range;
    };
    std::vector<Piece> pieces;
    NSUInteger at = 0;
    for (const Run& run : m_runs) {
        NSRange piece = clip(NSMakeRange(at, run.length), range);
        if (piece.length > 0)
            pieces.push_back({run.attributes, piece});
        at += run.length;
    }
    if (options & NSAttributedStringEnumerationReverse)
        std::reverse(pieces.begin(), pieces.end());
    bool stop = false;
    for (const Piece& piece : pieces) {
        block(piece.attributes, piece.range, &stop);
        if (stop)
            break;
    }
}

void NSAttributedString::enumerateAttribute(const Ref<NSString>& name, NSRange range, NSAttributedStringEnumerationOptions options, const AttributeBlock& block) const
{
    checkRange("enumerateAttribute:inRange:options:usingBlock:", range);
    if (!block || range.length == 0)
        return;
    struct Piece {
        id value;
        NSRange range;
    };
    std::vector<Piece> pieces;
    bool merge = !(options & NSAttributedStringEnumerationLongestEffectiveRangeNotRequired);
    NSUInteger at = 0;
    for (const Run& run : m_runs) {
        NSRange piece = clip(NSMakeRange(at, run.length), range);
        at += run.length;
        if (piece.length == 0)
            continue;
        id value = name ? run.attributes->objectForKey(name) : nil;
        if (merge && !pieces.empty() && dv::equal(pieces.back().value, value))
            pieces.back().range.length += piece.length;
        else
            pieces.push_back({value, piece});
    }
    if (options & NSAttributedStringEnumerationReverse)
        std::reverse(pieces.begin(), pieces.end());
    bool stop = false;
    for (const Piece& piece : pieces) {
        block(piece.value, piece.range, &stop);
        if (stop)
            break;
    }
}

// Coding ----------------------------------------------------------------------------------------

namespace {

void appendVarint(std::vector<std::uint8_t>& out, std::uint64_t value)
{
    do {
        std::uint8_t byte = value & 0x7F;
        value >>= 7;
        out.push_back(value ? (byte | 0x80) : byte);
    } while (value);
}

bool readVarint(const std::uint8_t*& p, const std::uint8_t* end, std::uint64_t& value)
{
    value = 0;
    for (int shift = 0; p < end && shift < 64; shift += 7) {
        std::uint8_t byte = *p++;
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

// The classes attribute values may have in an archive read with secure coding: plain values,
// and the text system's own classes when the process has them.
std::vector<Class> attributeClasses()
{
    std::vector<Class> classes {NSDictionary::class_(), NSArray::class_(), NSString::class_(), NSNumber::class_(),
                                NSValue::class_(), NSURL::class_(), NSDate::class_(), NSData::class_(), NSNull::class_()};
    for (const char* name : {"UIFont", "UIColor", "NSParagraphStyle", "NSShadow", "NSTextAttachment"})
        if (Class cls = objc_getClass(name))
            classes.push_back(cls);
    return classes;
}

} // namespace

void NSAttributedString::encodeWithCoder(NSCoder& coder) const
{
    coder.encodeObject(m_string, "NSString"_ns);
    if (m_runs.size() <= 1) {
        if (!m_runs.empty() && m_runs.front().attributes->count() > 0)
            coder.encodeObject(m_runs.front().attributes, "NSAttributes"_ns);
        return;
    }
    std::vector<id> distinct;
    std::vector<std::uint8_t> info;
    for (const Run& run : m_runs) {
        std::size_t number = 0;
        while (number < distinct.size() && !dv::equal(distinct[number], run.attributes))
            ++number;
        if (number == distinct.size())
            distinct.push_back(run.attributes);
        appendVarint(info, run.length);
        appendVarint(info, number);
    }
    coder.encodeObject(NSArray::fromVector(std::move(distinct)), "NSAttributes"_ns);
    coder.encodeObject(NSData::dataWithBytes(info.data(), info.size()), "NSAttributeInfo"_ns);
}

id NSAttributedString::initWithCoder(NSCoder& coder)
{
    NSObject::init();
    auto fail = [&](const char* message) -> id {
        if (!coder.error())
            coder.failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderReadCorruptError, message));
        return nil;
    };
    auto text = coder.decodeObjectOfClass<NSString>("NSString"_ns);
    id attributes = coder.decodeObjectOfClasses(attributeClasses(), "NSAttributes"_ns);
    auto info = coder.decodeObjectOfClass<NSData>("NSAttributeInfo"_ns);
    if (coder.error())
        return nil;
    if (!text)
        return fail("Archived attributed string without its text.");
    NSUInteger length = text->length();
    std::vector<Run> runs;
    if (!info) {
        auto single = dv::as<NSDictionary>(attributes);
        if (attributes && !single)
            return fail("The attributes of an archived attributed string are not a dictionary.");
        runs.push_back({length, kept(single)});
    } else {
        auto list = dv::as<NSArray>(attributes);
        if (!list)
            return fail("The attributes of an archived attributed string are not a list.");
        const std::uint8_t* p = info->bytes();
        const std::uint8_t* end = p + info->length();
        NSUInteger total = 0;
        while (p < end) {
            std::uint64_t runLength = 0, number = 0;
            if (!readVarint(p, end, runLength) || !readVarint(p, end, number) || number >= list->count())
                return fail("The runs of an archived attributed string are malformed.");
            auto dictionary = dv::as<NSDictionary>(list->objectAtIndex(number));
            if (!dictionary || runLength > length - total)
                return fail("The runs of an archived attributed string do not fit its text.");
            runs.push_back({runLength, kept(dictionary)});
            total += runLength;
        }
        if (total != length)
            return fail("The runs of an archived attributed string do not cover its text.");
    }
    assign(text, std::move(runs));
    return self<NSAttributedString>();
}

// NSMutableAttributedString ---------------------------------------------------------------------

Ref<NSMutableAttributedString> NSMutableAttributedString::init()
{
    NSAttributedString::init();
    return self<NSMutableAttributedString>();
}

Ref<NSMutableAttributedString> NSMutableAttributedString::initWithString(const Ref<NSString>& string)
{
    NSAttributedString::initWithString(string);
    return self<NSMutableAttributedString>();
}

Ref<NSMutableAttributedString> NSMutableAttributedString::initWithString(const Ref<NSString>& string, const Ref<NSDictionary>& attributes)
{
    NSAttributedString::initWithString(string, attributes);
    return self<NSMutableAttributedString>();
}

Ref<NSMutableAttributedString> NSMutableAttributedString::initWithAttributedString(const Ref<NSAttributedString>& other)
{
    NSAttributedString::initWithAttributedString(other);
    return self<NSMutableAttributedString>();
}

id NSMutableAttributedString::copyWithZone(NSZone*) const
{
    return alloc<NSAttributedString>()->initWithAttributedString(std::const_pointer_cast<NSAttributedString>(self<NSAttributedString>()));
}

std::size_t NSMutableAttributedString::splitAt(NSUInteger index)
{
    NSUInteger start = 0;
    std::size_t i = runAt(index, &start);
    if (i == m_runs.size() || start == index)
        return i;
    Run tail {start + m_runs[i].length - index, m_runs[i].attributes};
    m_runs[i].length = index - start;
    m_runs.insert(m_runs.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(tail));
    return i + 1;
}

void NSMutableAttributedString::replaceRuns(NSRange range, const Ref<NSString>& text, std::vector<Run> runs)
{
    auto string = m_string->stringByReplacingCharactersInRange(range, text);
    std::size_t first = splitAt(range.location);
    std::size_t last = splitAt(range.max());
    m_runs.erase(m_runs.begin() + static_cast<std::ptrdiff_t>(first), m_runs.begin() + static_cast<std::ptrdiff_t>(last));
    m_runs.insert(m_runs.begin() + static_cast<std::ptrdiff_t>(first), runs.begin(), runs.end());
    // A range that cuts a surrogate pair changes the text by a unit more or less than asked;
    // the run at the edit takes the difference so that the runs always cover the text.
    NSUInteger covered = 0;
    for (const Run& run : m_runs)
        covered += run.length;
    NSUInteger length = string->length();
    if (covered != length) {
        if (m_runs.empty())
            m_runs.push_back({length, emptyAttributes()});
        else {
            std::size_t at = std::min(first, m_runs.size() - 1);
            auto& run = m_runs[at];
            run.length = covered > length ? run.length - std::min(run.length, covered - length) : run.length + (length - covered);
        }
    }
    assign(string, std::move(m_runs));
}

void NSMutableAttributedString::replaceCharactersInRange(NSRange range, const Ref<NSString>& string)
{
    checkRange("replaceCharactersInRange:withString:", range);
    auto text = textOf(string);
    Ref<NSDictionary> attributes = emptyAttributes();
    if (range.length > 0)
        attributes = attributesAtIndex(range.location, nullptr);
    else if (range.location > 0)
        attributes = attributesAtIndex(range.location - 1, nullptr);
    else if (m_length > 0)
        attributes = attributesAtIndex(0, nullptr);
    replaceRuns(range, text, {Run {text->length(), attributes}});
}

void NSMutableAttributedString::replaceCharactersInRange(NSRange range, const Ref<NSAttributedString>& attributedString)
{
    checkRange("replaceCharactersInRange:withAttributedString:", range);
    if (!attributedString) {
        replaceRuns(range, NSString::string(), {});
        return;
    }
    // Taken first: the argument may be the receiver itself.
    auto text = attributedString->string();
    auto runs = attributedString->m_runs;
    replaceRuns(range, text, std::move(runs));
}

void NSMutableAttributedString::deleteCharactersInRange(NSRange range)
{
    checkRange("deleteCharactersInRange:", range);
    replaceRuns(range, NSString::string(), {});
}

void NSMutableAttributedString::insertAttributedString(const Ref<NSAttributedString>& attributedString, NSUInteger location)
{
    checkRange("insertAttributedString:atIndex:", NSMakeRange(location, 0));
    replaceCharactersInRange(NSMakeRange(location, 0), attributedString);
}

void NSMutableAttributedString::appendAttributedString(const Ref<NSAttributedString>& attributedString)
{
    replaceCharactersInRange(NSMakeRange(m_length, 0), attributedString);
}

void NSMutableAttributedString::setAttributedString(const Ref<NSAttributedString>& attributedString)
{
    replaceCharactersInRange(NSMakeRange(0, m_length), attributedString);
}

void NSMutableAttributedString::changeAttributes(NSRange range, const std::function<Ref<NSDictionary>(const Ref<NSDictionary>&)>& change)
{
    if (range.length == 0)
        return;
    std::size_t first = splitAt(range.location);
    std::size_t last = splitAt(range.max());
    for (std::size_t i = first; i < last; ++i)
        m_runs[i].attributes = change(m_runs[i].attributes);
    coalesce();
}

void NSMutableAttributedString::setAttributes(const Ref<NSDictionary>& attributes, NSRange range)
{
    checkRange("setAttributes:range:", range);
    auto replacement = kept(attributes);
    changeAttributes(range, [&](const Ref<NSDictionary>&) { return replacement; });
}

void NSMutableAttributedString::addAttribute(const Ref<NSString>& name, const id& value, NSRange range)
{
    checkRange("addAttribute:value:range:", range);
    if (!name || !value)
        return;
    addAttributes(NSDictionary::of({{name, value}}), range);
}

void NSMutableAttributedString::addAttributes(const Ref<NSDictionary>& attributes, NSRange range)
{
    checkRange("addAttributes:range:", range);
    if (!attributes || attributes->count() == 0)
        return;
    changeAttributes(range, [&](const Ref<NSDictionary>& current) -> Ref<NSDictionary> {
        auto merged = NSMutableDictionary::dictionaryWithDictionary(current);
        merged->addEntriesFromDictionary(attributes);
        return dv::copyAs<NSDictionary>(merged);
    });
}

void NSMutableAttributedString::removeAttribute(const Ref<NSString>& name, NSRange range)
{
    checkRange("removeAttribute:range:", range);
    if (!name)
        return;
    changeAttributes(range, [&](const Ref<NSDictionary>& current) -> Ref<NSDictionary> {
        if (!current->objectForKey(name))
            return current;
        auto remaining = NSMutableDictionary::dictionaryWithDictionary(current);
        remaining->removeObjectForKey(name);
        return kept(remaining);
    });
}
