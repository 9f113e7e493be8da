// What the tests of editing text share: the colours a caret, a handle and a selection's band are
// drawn in, a check of the selected range, and a fixture at one of the phone's screen sizes that
// adds fields and text views filled by typing.
#pragma once

#include "UITestSupport.h"

#include "platform/base/NSString.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/testing/Pixels.h"

#include <optional>
#include <string>

namespace dv::test {

// The tint colour of a caret or a handle, solid.
inline bool isCaret(const dv::testing::Pixel& p) { return p[3] > 0 && p[2] > 200 && p[0] < 100; }
// The selection's band: the tint colour faint over white.
inline bool isBand(const dv::testing::Pixel& p) { return p[2] > 240 && p[0] > 170 && p[0] < 235 && p[1] > p[0]; }

inline NSRange caretAt(NSUInteger location) { return NSMakeRange(location, 0); }

inline ::testing::AssertionResult sameRange(std::optional<NSRange> actual, NSRange expected)
{
    if (actual && actual->location == expected.location && actual->length == expected.length)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "selected " << (actual ? std::to_string(actual->location) + "," + std::to_string(actual->length) : "nothing")
                                         << ", expected " << expected.location << "," << expected.length;
}

class ScreenSizeEditingTest : public ScreenSizeTest {
protected:
    // A field with a rounded border and 17-point text, holding `text` typed into it, not edited.
    Ref<UITextField> addField(CGRect frame, const std::string& text)
    {
        auto field = alloc<UITextField>()->initWithFrame(frame);
        field->setBorderStyle(UITextBorderStyleRoundedRect);
        field->setFont(UIFont::systemFontOfSize(17));
        m_window->addSubview(field);
        m_ui.runUntilIdle();
        EXPECT_TRUE(m_ui.focus(field));
        EXPECT_TRUE(m_ui.typeText(text));
        EXPECT_TRUE(m_ui.resignFocus());
        return field;
    }

    // A text view of 17-point text holding `text` typed into it, not edited.
    Ref<UITextView> addTextView(CGRect frame, const std::string& text)
    {
        auto view = alloc<UITextView>()->initWithFrame(frame);
        view->setFont(UIFont::systemFontOfSize(17));
        m_window->addSubview(view);
        m_ui.runUntilIdle();
        EXPECT_TRUE(m_ui.focus(view));
        EXPECT_TRUE(m_ui.typeText(text));
        EXPECT_TRUE(m_ui.resignFocus());
        return view;
    }

    // The text rectangle of a field in the window (the editing one while it is edited).
    CGRect textArea(const Ref<UITextField>& field) const
    {
        const CGRect frame = m_ui.frameInWindow(field);
        const CGRect rect = field->isEditing() ? field->editingRectForBounds(field->bounds()) : field->textRectForBounds(field->bounds());
        return CGRectOffset(rect, frame.origin.x, frame.origin.y);
    }

    // Where the text of a text view starts in the window, scrolled to its top: its lines are
    // the text engine's, wrapped at the view's text width.
    CGPoint textOrigin(const Ref<UITextView>& view) const
    {
        const CGRect frame = m_ui.frameInWindow(view);
        return CGPointMake(frame.origin.x + view->textContainerInset().left + 5, frame.origin.y + view->textContainerInset().top);
    }
    std::vector<dv::CaretLine> linesOf(const Ref<UITextView>& view) const
    {
        const CGFloat wrap = view->bounds().size.width - view->textContainerInset().left - view->textContainerInset().right - 10;
        return dv::caretLines(view->text(), view->font(), wrap, view->textAlignment());
    }
};

} // namespace dv::test
