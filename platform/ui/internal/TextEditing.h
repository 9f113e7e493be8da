// What text fields and text views share to edit their text: the boundaries of user-perceived
// characters and of words (ICU's break rules), what an edit replaces and where the caret then
// stands, which commands of the edit menu apply, the selection's band and handles, and where a
// caret stands in the lines as the text engine lays them out. Offsets and ranges count UTF-16
// units, as NSString does. Main thread only (the break iterators are kept per thread).
#pragma once

#include "platform/base/ClassBuilder.h"
#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/ui/UIKeyboard.h"

#include <optional>
#include <span>
#include <vector>

class NSString;
class UIColor;
class UIFont;

namespace dv::internal::uikit {

// The range cut to a text of `length` units.
NSRange clampRange(NSRange range, NSUInteger length);

// Boundaries between user-perceived characters (an emoji with its skin tone, a flag, a sequence
// joined by zero-width joiners, a letter with its combining marks each count as one): 0, every
// boundary inside, and the length. A caret only ever stands on one of them.
std::vector<NSUInteger> characterBoundaries(const Ref<NSString>& text);
// The whole character before `index` (empty at 0); `index` is first moved back to a boundary.
NSRange composedCharacterBefore(const Ref<NSString>& text, NSUInteger index);
// The range clamped to the text with each end moved out to a character boundary.
NSRange characterAlignedRange(const Ref<NSString>& text, NSRange range);
// The word at `index`, or the one that ends there, or else the nearest one before it over blanks
// and punctuation; empty (at `index`) when there is none.
NSRange wordRangeAt(const Ref<NSString>& text, NSUInteger index);

// Where the caret stands after `move` in one line of text: with a selection, Left and Right go to
// its start and end.
NSUInteger movedCaret(const Ref<NSString>& text, NSRange selection, dv::CaretMove move);
// What delete backward removes: the selection, else the character before the caret.
NSRange deletionRange(const Ref<NSString>& text, NSRange selection);

// The standard commands of the edit menu that a text can take.
enum class EditCommand { Cut, Copy, Paste, Select, SelectAll };
std::optional<EditCommand> editCommandFor(SEL action);
SEL selectorOf(EditCommand command);
struct EditState {
    Ref<NSString> text;
    NSRange selection {};
    bool editable = true;
    bool secure = false;
};
// Whether the menu offers `command`: paste when the pasteboard holds a string; with no selection,
// select when there is a word at or before the caret (what it selects) and select all when there
// is text; with a selection cut and copy (neither in a secure field, cut only where editable).
bool offersEditCommand(EditCommand command, const EditState& state);
// What a command does to the text: copy and cut put the selected string on the general
// pasteboard here; then the text's owner replaces `replace` with `replacement` (asking its
// delegate), or selects `select` and shows the menu again. A one-line text takes pasted line
// breaks as spaces.
struct EditOutcome {
    std::optional<NSRange> replace;
    Ref<NSString> replacement;
    std::optional<NSRange> select;
};
enum class Lines { One, Many };
EditOutcome performEditCommand(EditCommand command, const Ref<NSString>& text, NSRange selection, Lines lines);

// Registers the edit menu's selectors (cut:, copy:, paste:, select:, selectAll:) on T, which
// has the members of the same names taking the sender.
template <class T>
void describeEditCommands(dv::ClassBuilder<T>& b)
{
    const char* types = "v24@0:8@16";
    b.method("cut:", types, [](T& t, std::span<const id> args) { t.cut(args.empty() ? nil : args[0]); return nil; });
    b.method("copy:", types, [](T& t, std::span<const id> args) { t.copy(args.empty() ? nil : args[0]); return nil; });
    b.method("paste:", types, [](T& t, std::span<const id> args) { t.paste(args.empty() ? nil : args[0]); return nil; });
    b.method("select:", types, [](T& t, std::span<const id> args) { t.select(args.empty() ? nil : args[0]); return nil; });
    b.method("selectAll:", types, [](T& t, std::span<const id> args) { t.selectAll(args.empty() ? nil : args[0]); return nil; });
}

// Draws a selection's band into the current graphics context: its rectangles in the tint colour
// at a low alpha.
void drawSelectionBand(const Ref<UIColor>& tint, const std::vector<CGRect>& band);
// Which end of a selection a handle marks: the start's dot stands above the line, the end's below.
enum class HandleEnd { Start, End };
// Draws a selection handle: a bar as tall as the line centred on the boundary's x (`line`: the
// line at the boundary, zero wide) with its dot.
void drawSelectionHandle(const Ref<UIColor>& tint, CGRect line, HandleEnd end);
// The rectangle a handle covers, bar and dot, for `line` as above.
CGRect selectionHandleBounds(CGRect line, HandleEnd end);

// Which line a position where a line wraps (without a line feed) belongs to: the end of the line
// before (upstream) or the start of the next (downstream). Elsewhere the two are the same place.
enum class Affinity { Downstream, Upstream };

// Text as the text engine lays it out and draws it, for placing a caret: its lines (one per
// paragraph unless it wraps at `wrapWidth`, placed by the alignment within that width), each with
// the x of every character boundary on it. A secure text is drawn as one dot per character.
class CaretLayout {
public:
    enum class Shown { Text, Dots };
    CaretLayout(const Ref<NSString>& text, const Ref<UIFont>& font, Shown shown, CGFloat wrapWidth = 0,
        NSTextAlignment alignment = NSTextAlignmentLeft);

    struct Line {
        NSRange range; // of the text, without the line feed that ends it
        CGFloat top = 0;
        CGFloat height = 0;
        std::vector<std::pair<NSUInteger, CGFloat>> stops; // each character boundary on the line, with its x
        // Whether the next line begins where this one ends (a wrap without a line feed).
        bool wraps = false;
    };
    struct Place {
        std::size_t line = 0;
        CGFloat x = 0;
    };
    struct Position {
        NSUInteger index = 0;
        Affinity affinity = Affinity::Downstream;
    };

    // The string that is drawn: the text, or its dots.
    const Ref<NSString>& shownText() const { return m_shown; }
    const std::vector<Line>& lines() const { return m_lines; }
    // The widest line's width.
    CGFloat width() const;
    // The line and x of the character boundary at or before `index`; at a wrap, on the line that
    // `affinity` names.
    Place place(NSUInteger index, Affinity affinity = Affinity::Downstream) const;
    // The x of the boundary at or before `index` (on a field's one line).
    CGFloat offsetOf(NSUInteger index) const { return place(index).x; }
    // The line at `y` (the first above the top, the last below the bottom).
    std::size_t lineAt(CGFloat y) const;
    // The boundary on `line` nearest to `x`, upstream when it is the end of a line that wraps.
    Position nearest(std::size_t line, CGFloat x) const;
    // The boundary of the first line nearest to `x` (a field's one line).
    NSUInteger boundaryNearest(CGFloat x) const { return nearest(0, x).index; }

private:
    Ref<NSString> m_shown;
    std::vector<Line> m_lines;
};

} // namespace dv::internal::uikit
