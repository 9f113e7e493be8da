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
#include <cmath>
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
    // The word that ends here, or else the nearest one before, over blanks and punctuation.
    for (int32_t from = start; from > 0;) {
        const int32_t before = words->preceding(from);
        if (before == icu::BreakIterator::DONE)
            break;
        if (auto [range, isWord] = segmentFrom(before); isWord)
            return range;
        from = before;
    }
    return NSMakeRange(index, 0);
}

NSUInteger movedCaret(const Ref<NSString>& text, NSRange selection, dv::CaretMove move)
{
    const NSUInteger length = text ? text->length() : 0;
    selection = clampRange(selection, length);
    switch (move) {
    case dv::CaretMove::Home:
    case dv::CaretMove::TextStart: return 0;
    case dv::CaretMove::End:
    case dv::CaretMove::TextEnd: return length;
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
    case EditCommand::Select: return !selected && wordRangeAt(state.text, state.selection.location).length > 0;
    case EditCommand::SelectAll: return !selected && state.text && state.text->length() > 0;
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

namespace {

constexpr CGFloat kBandAlpha = 0.2, kHandleBarWidth = 2, kHandleDotRadius = 3.5;

} // namespace

void drawSelectionBand(const Ref<UIColor>& tint, const std::vector<CGRect>& band)
{
    tint->colorWithAlphaComponent(kBandAlpha)->setFill();
    for (const CGRect& rect : band)
        UIBezierPath::bezierPathWithRect(rect)->fill();
}

void drawSelectionHandle(const Ref<UIColor>& tint, CGRect line, HandleEnd end)
{
    tint->setFill();
    UIBezierPath::bezierPathWithRect(CGRectMake(line.origin.x - kHandleBarWidth / 2, line.origin.y, kHandleBarWidth, line.size.height))->fill();
    const CGFloat dotY = end == HandleEnd::Start ? line.origin.y - kHandleDotRadius : CGRectGetMaxY(line) + kHandleDotRadius;
    UIBezierPath::bezierPathWithOvalInRect(
        CGRectMake(line.origin.x - kHandleDotRadius, dotY - kHandleDotRadius, 2 * kHandleDotRadius, 2 * kHandleDotRadius))
        ->fill();
}

CGRect selectionHandleBounds(CGRect line, HandleEnd end)
{
    const CGFloat top = end == HandleEnd::Start ? line.origin.y - 2 * kHandleDotRadius : line.origin.y;
    return CGRectMake(line.origin.x - kHandleDotRadius, top, 2 * kHandleDotRadius, line.size.height + 2 * kHandleDotRadius);
}

CaretLayout::CaretLayout(const Ref<NSString>& text, const Ref<UIFont>& font, Shown shown, CGFloat wrapWidth, NSTextAlignment alignment)
{
    const Ref<NSString> whole = text ? text : ""_ns;
    const auto boundaries = characterBoundaries(whole);
    if (shown == Shown::Text) {
        m_shown = whole;
    } else {
        std::string dots;
        for (std::size_t i = 1; i < boundaries.size(); ++i)
            dots += "\u25CF";
        m_shown = NSString::fromUTF8(dots);
    }
    // Dots are one UTF-16 unit each, one a character.
    auto toText = [&](NSUInteger at) { return shown == Shown::Text ? at : boundaries[std::min<std::size_t>(at, boundaries.size() - 1)]; };
    for (const auto& line : dv::caretLines(m_shown, font, wrapWidth, alignment)) {
        Line out;
        const NSUInteger start = toText(line.range.location), end = toText(line.range.location + line.range.length);
        out.range = NSMakeRange(start, end - start);
        out.top = line.top;
        out.height = line.height;
        for (const auto& [at, x] : line.stops) {
            const NSUInteger index = toText(at);
            if (shown == Shown::Dots || std::binary_search(boundaries.begin(), boundaries.end(), index))
                out.stops.emplace_back(index, x);
        }
        if (out.stops.empty())
            out.stops.emplace_back(start, 0);
        m_lines.push_back(std::move(out));
    }
    for (std::size_t i = 0; i + 1 < m_lines.size(); ++i)
        m_lines[i].wraps = m_lines[i + 1].range.location == m_lines[i].range.location + m_lines[i].range.length;
}

CGFloat CaretLayout::width() const
{
    CGFloat widest = 0;
    for (const Line& line : m_lines)
        widest = std::max(widest, line.stops.back().second);
    return widest;
}

CaretLayout::Place CaretLayout::place(NSUInteger index, Affinity affinity) const
{
    if (m_lines.empty())
        return {};
    std::size_t at = 0;
    while (at + 1 < m_lines.size() && m_lines[at].range.location + m_lines[at].range.length < index)
        ++at;
    // Where a line wraps its end is also the next line's start.
    const Line& line = m_lines[at];
    if (line.wraps && index == line.range.location + line.range.length && index > line.range.location && affinity == Affinity::Downstream)
        ++at;
    const auto& stops = m_lines[at].stops;
    auto it = std::upper_bound(stops.begin(), stops.end(), index, [](NSUInteger i, const auto& stop) { return i < stop.first; });
    return { at, it == stops.begin() ? stops.front().second : std::prev(it)->second };
}

std::size_t CaretLayout::lineAt(CGFloat y) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        if (y < m_lines[i].top + m_lines[i].height)
            return i;
    return m_lines.empty() ? 0 : m_lines.size() - 1;
}

CaretLayout::Position CaretLayout::nearest(std::size_t line, CGFloat x) const
{
    if (line >= m_lines.size())
        return {};
    const Line& on = m_lines[line];
    // Past the line's end, its end (after the blanks a wrap leaves there, which take no room);
    // elsewhere the nearest boundary, the earlier of two as near.
    std::size_t best = on.stops.size() - 1;
    if (x < on.stops.back().second) {
        best = 0;
        for (std::size_t i = 1; i < on.stops.size(); ++i)
            if (std::abs(on.stops[i].second - x) < std::abs(on.stops[best].second - x))
                best = i;
    }
    const NSUInteger index = on.stops[best].first;
    const bool atWrap = on.wraps && index == on.range.location + on.range.length && index > on.range.location;
    return { index, atWrap ? Affinity::Upstream : Affinity::Downstream };
}

} // namespace dv::internal::uikit
