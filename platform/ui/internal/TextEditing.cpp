#include "platform/ui/internal/TextEditing.h"

#include "platform/base/NSString.h"
#include "platform/base/Runtime.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/system/UIPasteboard.h"
#include "platform/ui/UIBezierPath.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include <algorithm>
#include <memory>
#include <string>

namespace dv::internal::uikit {

namespace {

enum class Breaks { Characters, Words };

// A break iterator of the kind, made once per thread (making one reads ICU's rules), set on
// `text`, which must outlive its use.
icu::BreakIterator* breaksOver(const std::u16string& text, Breaks kind)
{
    thread_local std::unique_ptr<icu::BreakIterator> s_characters, s_words;
    auto& iterator = kind == Breaks::Characters ? s_characters : s_words;
    if (!iterator) {
        UErrorCode status = U_ZERO_ERROR;
        iterator.reset(kind == Breaks::Characters ? icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status)
                                                  : icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status))
            iterator.reset();
    }
    if (!iterator)
        return nullptr;
    // The iterator keeps a shallow copy of the UText: it reads `text` in place.
    UErrorCode status = U_ZERO_ERROR;
    UText utext = UTEXT_INITIALIZER;
    utext_openUChars(&utext, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_SUCCESS(status))
        iterator->setText(&utext, status);
    utext_close(&utext);
    return U_SUCCESS(status) ? iterator.get() : nullptr;
}

// The boundaries of code points, where ICU cannot be had.
std::vector<NSUInteger> codePointBoundaries(const std::u16string& text)
{
    std::vector<NSUInteger> out { 0 };
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        i += pair ? 2 : 1;
        out.push_back(i);
    }
    return out;
}

std::vector<NSUInteger> boundariesOf(const std::u16string& text)
{
    auto* breaks = breaksOver(text, Breaks::Characters);
    if (!breaks)
        return codePointBoundaries(text);
    std::vector<NSUInteger> out { 0 };
    for (int32_t at = breaks->next(); at != icu::BreakIterator::DONE; at = breaks->next())
        out.push_back(static_cast<NSUInteger>(at));
    if (out.back() != text.size())
        out.push_back(text.size());
    return out;
}

// The last boundary at or before `index`, and the first at or after it.
NSUInteger boundaryAtOrBefore(const std::vector<NSUInteger>& boundaries, NSUInteger index)
{
    auto it = std::upper_bound(boundaries.begin(), boundaries.end(), index);
    return it == boundaries.begin() ? 0 : *std::prev(it);
}

NSUInteger boundaryAtOrAfter(const std::vector<NSUInteger>& boundaries, NSUInteger index)
{
    auto it = std::lower_bound(boundaries.begin(), boundaries.end(), index);
    return it == boundaries.end() ? boundaries.back() : *it;
}

} // namespace

NSRange clampRange(NSRange range, NSUInteger length)
{
    const NSUInteger location = std::min(range.location, length);
    return NSMakeRange(location, std::min(range.length, length - location));
}

std::vector<NSUInteger> characterBoundaries(const Ref<NSString>& text)
{
    return text ? boundariesOf(text->utf16()) : std::vector<NSUInteger> { 0 };
}

NSRange composedCharacterBefore(const Ref<NSString>& text, NSUInteger index)
{
    const auto boundaries = characterBoundaries(text);
    const NSUInteger end = boundaryAtOrBefore(boundaries, index);
    if (end == 0)
        return NSMakeRange(0, 0);
    const NSUInteger start = boundaryAtOrBefore(boundaries, end - 1);
    return NSMakeRange(start, end - start);
}

NSRange characterAlignedRange(const Ref<NSString>& text, NSRange range)
{
    const NSUInteger length = text ? text->length() : 0;
    range = clampRange(range, length);
    const auto boundaries = characterBoundaries(text);
    const NSUInteger start = boundaryAtOrBefore(boundaries, range.location);
    const NSUInteger end = range.length ? boundaryAtOrAfter(boundaries, range.location + range.length) : start;
    return NSMakeRange(start, end - start);
}

NSRange wordRangeAt(const Ref<NSString>& text, NSUInteger index)
{
    if (!text || text->length() == 0)
        return NSMakeRange(0, 0);
    const auto units = text->utf16();
    index = std::min<NSUInteger>(index, units.size());
    auto* words = breaksOver(units, Breaks::Words);
    if (!words)
        return NSMakeRange(0, 0);
    // The segment after `at` (a boundary) and whether it is a word rather than blanks or
    // punctuation.
    auto segmentFrom = [&](int32_t at) -> std::pair<NSRange, bool> {
        const int32_t end = words->following(at);
        if (end == icu::BreakIterator::DONE)
            return { NSMakeRange(NSUInteger(at), 0), false };
        return { NSMakeRange(NSUInteger(at), NSUInteger(end - at)), words->getRuleStatus() != UBRK_WORD_NONE };
    };
    const auto at = static_cast<int32_t>(index);
    const int32_t start = words->isBoundary(at) ? at : words->preceding(at);
    if (index < units.size())
        if (auto [range, isWord] = segmentFrom(start); isWord)
            return range;
    // At the end of a word (or of the text): the word before.
    if (start > 0 && NSUInteger(start) == index) {
        const int32_t before = words->preceding(start);
        if (before != icu::BreakIterator::DONE)
            if (auto [range, isWord] = segmentFrom(before); isWord)
                return range;
    }
    return NSMakeRange(index, 0);
}

NSUInteger movedCaret(const Ref<NSString>& text, NSRange selection, dv::CaretMove move)
{
    const NSUInteger length = text ? text->length() : 0;
    selection = clampRange(selection, length);
    switch (move) {
    case dv::CaretMove::Home: return 0;
    case dv::CaretMove::End: return length;
    case dv::CaretMove::Left:
        if (selection.length)
            return selection.location;
        return composedCharacterBefore(text, selection.location).location;
    case dv::CaretMove::Right: {
        if (selection.length)
            return selection.location + selection.length;
        const auto boundaries = characterBoundaries(text);
        return boundaryAtOrAfter(boundaries, selection.location + 1);
    }
    }
    return selection.location;
}

NSRange deletionRange(const Ref<NSString>& text, NSRange selection)
{
    selection = clampRange(selection, text ? text->length() : 0);
    return selection.length ? selection : composedCharacterBefore(text, selection.location);
}

namespace {

const std::pair<SEL, EditCommand>* editSelectors()
{
    static const std::pair<SEL, EditCommand> s_commands[] = { { SEL("cut:"), EditCommand::Cut }, { SEL("copy:"), EditCommand::Copy },
        { SEL("paste:"), EditCommand::Paste }, { SEL("select:"), EditCommand::Select }, { SEL("selectAll:"), EditCommand::SelectAll } };
    return s_commands;
}
constexpr std::size_t kEditCommands = 5;

} // namespace

std::optional<EditCommand> editCommandFor(SEL action)
{
    for (std::size_t i = 0; i < kEditCommands; ++i)
        if (editSelectors()[i].first == action)
            return editSelectors()[i].second;
    return std::nullopt;
}

SEL selectorOf(EditCommand command)
{
    for (std::size_t i = 0; i < kEditCommands; ++i)
        if (editSelectors()[i].second == command)
            return editSelectors()[i].first;
    return SEL();
}

bool offersEditCommand(EditCommand command, const EditState& state)
{
    const bool selected = state.selection.length > 0;
    switch (command) {
    case EditCommand::Cut: return selected && state.editable && !state.secure;
    case EditCommand::Copy: return selected && !state.secure;
    case EditCommand::Select: return !selected && state.length > 0;
    case EditCommand::SelectAll: return !selected && state.length > 0;
    case EditCommand::Paste: {
        if (!state.editable)
            return false;
        auto string = UIPasteboard::generalPasteboard()->string();
        return string && string->length() > 0;
    }
    }
    return false;
}

EditOutcome performEditCommand(EditCommand command, const Ref<NSString>& text, NSRange selection, Lines lines)
{
    const Ref<NSString> whole = text ? text : ""_ns;
    selection = characterAlignedRange(whole, selection);
    EditOutcome outcome;
    switch (command) {
    case EditCommand::Cut:
    case EditCommand::Copy:
        if (selection.length == 0)
            break;
        UIPasteboard::generalPasteboard()->setString(whole->substringWithRange(selection));
        if (command == EditCommand::Cut) {
            outcome.replace = selection;
            outcome.replacement = ""_ns;
        }
        break;
    case EditCommand::Paste: {
        auto pasted = UIPasteboard::generalPasteboard()->string();
        if (!pasted || pasted->length() == 0)
            break;
        if (lines == Lines::One)
            for (auto feed : { "\r\n"_ns, "\n"_ns, "\r"_ns })
                pasted = pasted->stringByReplacingOccurrencesOfString(feed, " "_ns);
        outcome.replace = selection;
        outcome.replacement = pasted;
        break;
    }
    case EditCommand::Select:
        if (auto word = wordRangeAt(whole, selection.location); word.length)
            outcome.select = word;
        break;
    case EditCommand::SelectAll:
        if (whole->length())
            outcome.select = NSMakeRange(0, whole->length());
        break;
    }
    return outcome;
}

void drawSelection(const Ref<UIColor>& tint, const std::vector<CGRect>& band, CGRect start, CGRect end)
{
    constexpr CGFloat kBandAlpha = 0.2, kBarWidth = 2, kDotRadius = 3.5;
    tint->colorWithAlphaComponent(kBandAlpha)->setFill();
    for (const CGRect& rect : band)
        UIBezierPath::bezierPathWithRect(rect)->fill();
    tint->setFill();
    for (const bool atStart : { true, false }) {
        const CGRect line = atStart ? start : end;
        UIBezierPath::bezierPathWithRect(CGRectMake(line.origin.x - kBarWidth / 2, line.origin.y, kBarWidth, line.size.height))->fill();
        const CGFloat dotY = atStart ? line.origin.y - kDotRadius : CGRectGetMaxY(line) + kDotRadius;
        UIBezierPath::bezierPathWithOvalInRect(CGRectMake(line.origin.x - kDotRadius, dotY - kDotRadius, 2 * kDotRadius, 2 * kDotRadius))->fill();
    }
}

LineMeasure::LineMeasure(const Ref<NSString>& text, const Ref<UIFont>& font, Shown shown)
    : m_text(text ? text : ""_ns)
    , m_font(font)
    , m_kind(shown)
    , m_boundaries(characterBoundaries(m_text))
{
    m_widths.assign(m_boundaries.size(), -1);
    m_widths[0] = 0;
    if (m_kind == Shown::Text) {
        m_shown = m_text;
        return;
    }
    std::string dots;
    for (std::size_t i = 1; i < m_boundaries.size(); ++i)
        dots += "\u25CF";
    m_shown = NSString::fromUTF8(dots);
}

CGFloat LineMeasure::widthBefore(std::size_t boundary)
{
    if (m_widths[boundary] < 0) {
        // Dots are one UTF-16 unit each.
        const auto prefix = m_shown->substringToIndex(m_kind == Shown::Text ? m_boundaries[boundary] : boundary);
        m_widths[boundary] = dv::measureText(prefix, m_font, 0, 1).width;
    }
    return m_widths[boundary];
}

CGFloat LineMeasure::width() { return widthBefore(m_boundaries.size() - 1); }

CGFloat LineMeasure::offsetOf(NSUInteger index)
{
    auto it = std::upper_bound(m_boundaries.begin(), m_boundaries.end(), index);
    return widthBefore(std::size_t(std::distance(m_boundaries.begin(), it)) - 1);
}

NSUInteger LineMeasure::boundaryNearest(CGFloat x)
{
    // Widths only grow along the line: the first boundary at or past x, or the one before it.
    std::size_t low = 0, high = m_boundaries.size() - 1;
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        if (widthBefore(mid) < x)
            low = mid + 1;
        else
            high = mid;
    }
    if (low > 0 && x - widthBefore(low - 1) <= widthBefore(low) - x)
        --low;
    return m_boundaries[low];
}

} // namespace dv::internal::uikit
