// What text fields and text views share to edit their text: the boundaries of user-perceived
// characters and of words (ICU's break rules), what an edit replaces and where the caret then
// stands, which commands of the edit menu apply, and where the caret stands on a line as the
// text engine measures it. Offsets and ranges count UTF-16 units, as NSString does. Main thread
// only (the break iterators are kept per thread).
#pragma once

#include "platform/base/ClassBuilder.h"
#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
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
// The word at `index`, or the one that ends there; empty when there is none.
NSRange wordRangeAt(const Ref<NSString>& text, NSUInteger index);

// Where the caret stands after `move`: with a selection, Left and Right go to its start and end.
NSUInteger movedCaret(const Ref<NSString>& text, NSRange selection, dv::CaretMove move);
// What delete backward removes: the selection, else the character before the caret.
NSRange deletionRange(const Ref<NSString>& text, NSRange selection);

// The standard commands of the edit menu that a text can take.
enum class EditCommand { Cut, Copy, Paste, Select, SelectAll };
std::optional<EditCommand> editCommandFor(SEL action);
SEL selectorOf(EditCommand command);
struct EditState {
    NSUInteger length = 0;
    NSRange selection {};
    bool editable = true;
    bool secure = false;
};
// Whether the menu offers `command`: paste when the pasteboard holds a string; select and select
// all when there is text and no selection; with a selection cut and copy (neither in a secure
// field, cut only where editable).
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

// Draws a selection into the current graphics context: the band's rectangles in the tint colour
// at a low alpha, then a handle at each end, a bar as tall as the line at the boundary's x
// (`start`, `end`: the lines at the two ends) with a dot above the start and below the end.
void drawSelection(const Ref<UIColor>& tint, const std::vector<CGRect>& band, CGRect start, CGRect end);

// One line of text as it is drawn in one font, with the width before each character boundary,
// measured by the text engine on demand. A secure line is drawn as one dot per character.
class LineMeasure {
public:
    enum class Shown { Text, Dots };
    LineMeasure(const Ref<NSString>& text, const Ref<UIFont>& font, Shown shown);

    // The string that is drawn: the text, or its dots.
    const Ref<NSString>& shownText() const { return m_shown; }
    CGFloat width();
    // The width before the character boundary at or before `index` of the text.
    CGFloat offsetOf(NSUInteger index);
    // The boundary of the text nearest to `x` points from the line's start.
    NSUInteger boundaryNearest(CGFloat x);

private:
    CGFloat widthBefore(std::size_t boundary);

    Ref<NSString> m_text;
    Ref<NSString> m_shown;
    Ref<UIFont> m_font;
    Shown m_kind;
    std::vector<NSUInteger> m_boundaries;
    std::vector<CGFloat> m_widths; // < 0 until measured
};

} // namespace dv::internal::uikit
