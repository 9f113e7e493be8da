// What a picture of the window shows of a one-line text field, for the screens' tests of long
// lines: the ink of the field's text and its caret's blue within the field's text area (the
// editing area while it is edited), and the caret looked for a little beyond the field's sides.
//
//   const auto line = dv::testing::readFieldLine(m_ui, field, 200);
//   dv::testing::expectEndAtTheCaret(line);
#pragma once

#include "platform/testing/Pixels.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UITextField.h"

#include <gtest/gtest.h>

namespace dv::testing {

struct FieldLine {
    Pixels shot;
    int inkLimit;
    CGRect area, ink, caret, caretAround;

    bool isText(const Pixel& p) const { return isInk(p, inkLimit); }
    static bool isCaret(const Pixel& p) { return p[3] > 0 && p[2] > 200 && p[0] < 100; }
    // The box of the text's ink between x and x + width.
    CGRect inkBetween(CGFloat x, CGFloat width) const
    {
        return shot.box(CGRectMake(x, area.origin.y, width, area.size.height), [this](const Pixel& p) { return isText(p); });
    }
};

// A picture at two pixels a point; `inkLimit` is how dark the field's text is drawn (isInk).
inline FieldLine readFieldLine(const UIDriver& ui, const Ref<UITextField>& field, int inkLimit)
{
    const CGRect frame = ui.frameInWindow(field);
    const CGRect rect = field->isEditing() ? field->editingRectForBounds(field->bounds()) : field->textRectForBounds(field->bounds());
    FieldLine line { Pixels(ui.screenshot(2)), inkLimit, CGRectOffset(rect, frame.origin.x, frame.origin.y), {}, {}, {} };
    line.ink = line.shot.box(line.area, [&line](const Pixel& p) { return line.isText(p); });
    line.caret = line.shot.box(line.area, FieldLine::isCaret);
    line.caretAround = line.shot.box(CGRectInset(frame, -20, 0), FieldLine::isCaret);
    return line;
}

// The whole caret, two points wide, stands inside the text area with the end of the text just
// before it.
inline void expectEndAtTheCaret(const FieldLine& line)
{
    ASSERT_FALSE(CGRectIsNull(line.caret));
    EXPECT_TRUE(CGRectEqualToRect(line.caret, line.caretAround)) << "caret pixels outside the field";
    EXPECT_GE(line.caret.origin.x, line.area.origin.x);
    EXPECT_LE(CGRectGetMaxX(line.caret), CGRectGetMaxX(line.area));
    EXPECT_GE(line.caret.size.width, 1.5) << "the whole bar, two points wide";
    EXPECT_NEAR(CGRectGetMaxX(line.ink), line.caret.origin.x, 2.5) << "the text's end stands before the caret";
}

} // namespace dv::testing
