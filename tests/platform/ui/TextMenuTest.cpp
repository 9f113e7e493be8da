// The edit menu of a field and a text view acts on what it offers and points at what shows: Select
// after blanks or punctuation selects the word before them (and is not offered where there is no
// word); after Select All in a scrolled field the arrow points into the field, and in a scrolled
// text view the strip stands over the part of the selection in sight; a selection's start handle
// at a field's left edge is drawn whole.
#include "TextEditingSupport.h"

#include "platform/system/UIPasteboard.h"

#include <algorithm>

using namespace dv::test;

namespace {

bool offers(const std::vector<std::string>& titles, const std::string& title)
{
    return std::find(titles.begin(), titles.end(), title) != titles.end();
}

class TextMenuTest : public ScreenSizeEditingTest {
protected:
    void SetUp() override
    {
        ScreenSizeEditingTest::SetUp();
        UIPasteboard::generalPasteboard()->setString(nil);
    }
    // A long press just right of the end of a field's or text view's (one-line) text.
    void pressAtTheEnd(const Ref<UIView>& view, CGFloat textEnd)
    {
        const CGRect frame = m_ui.frameInWindow(view);
        ASSERT_TRUE(m_ui.longPress(CGPointMake(textEnd + 3, frame.origin.y + std::min<CGFloat>(20, frame.size.height / 2))));
    }
};

} // namespace

TEST_P(TextMenuTest, SelectAfterABlankOrPunctuationSelectsTheWordBefore)
{
    struct Case {
        const char* text;
        NSUInteger wordEnd;   // where the selected word ends
        NSUInteger notBefore; // and where it starts at the earliest
    };
    for (const Case& c : { Case { "每周六早上出发，欢迎新人。", 12, 8 }, Case { "hello world ", 11, 6 }, Case { "hello world!? ", 11, 6 } }) {
        SCOPED_TRACE(c.text);
        auto field = addField(CGRectMake(20, 200, width() - 40, 40), c.text);
        const auto lines = dv::caretLines(field->text(), field->font(), 0, NSTextAlignmentLeft);
        pressAtTheEnd(field, textArea(field).origin.x + lines[0].stops.back().second);
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(field->text()->length())));
        ASSERT_TRUE(offers(m_ui.menuItemTitles(), "选择"));
        ASSERT_TRUE(m_ui.chooseMenuItem("选择"));
        const auto selected = m_ui.selectedRange();
        ASSERT_TRUE(selected);
        EXPECT_EQ(selected->location + selected->length, c.wordEnd);
        EXPECT_GE(selected->location, c.notBefore);
        EXPECT_GT(selected->length, 0u);
        EXPECT_TRUE(offers(m_ui.menuItemTitles(), "拷贝")) << "the menu of a selection";
        ASSERT_TRUE(m_ui.resignFocus());
        field->removeFromSuperview();
    }
    // The same in a text view.
    auto view = addTextView(CGRectMake(10, 200, width() - 20, 100), "hello world ");
    const auto lines = linesOf(view);
    pressAtTheEnd(view, textOrigin(view).x + lines[0].stops.back().second);
    ASSERT_TRUE(m_ui.chooseMenuItem("选择"));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), NSMakeRange(6, 5)));
}

TEST_P(TextMenuTest, SelectIsNotOfferedWhereThereIsNoWordBeforeTheCaret)
{
    auto field = addField(CGRectMake(20, 200, width() - 40, 40), "，。！ ");
    const auto lines = dv::caretLines(field->text(), field->font(), 0, NSTextAlignmentLeft);
    pressAtTheEnd(field, textArea(field).origin.x + lines[0].stops.back().second);
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> { "全选" }));
    ASSERT_TRUE(m_ui.resignFocus());
    // Before the first word, the word at the caret is there to select.
    auto word = addField(CGRectMake(20, 300, width() - 40, 40), "hello");
    ASSERT_TRUE(m_ui.longPress(CGPointMake(textArea(word).origin.x + 1, CGRectGetMidY(textArea(word)))));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(0)));
    ASSERT_TRUE(m_ui.chooseMenuItem("选择"));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), NSMakeRange(0, 5)));
}

TEST_P(TextMenuTest, AfterSelectAllInAScrolledFieldTheArrowPointsIntoTheField)
{
    // A label beside the field, as the forms have.
    auto label = alloc<UILabel>()->initWithFrame(CGRectMake(15, 200, 95, 40));
    label->setText("代理商信聊号"_ns);
    m_window->addSubview(label);
    auto field = addField(CGRectMake(115, 200, width() - 130, 40), "每周六早上出发，欢迎新人加入我们的徒步群，一起去爬山看风景");
    ASSERT_TRUE(m_ui.focus(field));
    ASSERT_TRUE(m_ui.longPress(field));
    ASSERT_TRUE(m_ui.chooseMenuItem("全选"));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), NSMakeRange(0, field->text()->length())));
    const auto tip = m_ui.menuArrowTip();
    ASSERT_TRUE(tip);
    const CGRect area = textArea(field);
    EXPECT_GE(tip->x, area.origin.x);
    EXPECT_LE(tip->x, CGRectGetMaxX(area));
    EXPECT_NEAR(tip->x, CGRectGetMidX(area), 2) << "the middle of the selection that shows: the whole field";
    EXPECT_GE(tip->y, area.origin.y);
    EXPECT_LE(tip->y, CGRectGetMaxY(area));
}

TEST_P(TextMenuTest, AfterSelectAllInAScrolledTextViewTheStripStandsOverWhatShows)
{
    std::string text;
    for (int i = 1; i <= 12; ++i)
        text += "第" + std::to_string(i) + "行：周末徒步\n";
    text += "完";
    auto view = addTextView(CGRectMake(10, 200, width() - 20, 120), text);
    ASSERT_TRUE(m_ui.focus(view));
    ASSERT_GT(view->contentOffset().y, 0) << "scrolled to the end";
    ASSERT_TRUE(m_ui.longPress(view));
    ASSERT_TRUE(m_ui.chooseMenuItem("全选"));
    const auto tip = m_ui.menuArrowTip();
    ASSERT_TRUE(tip);
    const CGRect frame = m_ui.frameInWindow(view);
    const CGFloat left = textOrigin(view).x;
    const CGFloat right = left + view->bounds().size.width - 10;
    EXPECT_NEAR(tip->x, (left + right) / 2, 2) << "over the middle of the lines in sight";
    EXPECT_GE(tip->y, frame.origin.y - 0.01);
    EXPECT_LE(tip->y, CGRectGetMaxY(frame) + 0.01);
    EXPECT_NEAR(CGRectGetMidX(m_ui.menuFrame()), tip->x, 1);
}

TEST_P(TextMenuTest, TheStartHandleAtAFieldsLeftEdgeIsDrawnWhole)
{
    for (const UITextBorderStyle style : { UITextBorderStyleNone, UITextBorderStyleRoundedRect }) {
        SCOPED_TRACE(style);
        auto field = addField(CGRectMake(20, 200, 200, 28), "hello world");
        field->setBorderStyle(style);
        ASSERT_TRUE(m_ui.longPress(field));
        ASSERT_TRUE(m_ui.chooseMenuItem("全选"));
        const CGRect area = textArea(field);
        const CGRect frame = m_ui.frameInWindow(field);
        const dv::testing::Pixels shot(m_ui.screenshot(2));
        // The bar on the text's start and the round dot above it, both halves.
        const CGRect handle = shot.box(CGRectMake(area.origin.x - 8, frame.origin.y - 10, 16, frame.size.height + 10), isCaret);
        ASSERT_FALSE(CGRectIsNull(handle));
        EXPECT_NEAR(CGRectGetMidX(handle), area.origin.x, 0.5) << "centred on the start";
        EXPECT_GE(handle.size.width, 6) << "the dot's two halves";
        const auto lines = dv::caretLines(field->text(), field->font(), 0, NSTextAlignmentLeft);
        const CGFloat lineTop = CGRectGetMidY(frame) - lines[0].height / 2;
        EXPECT_NEAR(handle.origin.y, lineTop - 7, 1) << "the whole dot above the line, past the field's top";
        ASSERT_TRUE(m_ui.resignFocus());
        field->removeFromSuperview();
    }
}

INSTANTIATE_TEST_SUITE_P(ScreenSizes, TextMenuTest, ::testing::Values(CGSizeMake(375, 667), CGSizeMake(320, 568)), screenSizeName);
