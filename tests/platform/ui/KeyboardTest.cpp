// The keyboard's keys, tapped as a person taps them: letters with shift, the pages of numbers and
// symbols, space, delete and the return key typing through the field's checks; the digit pads of
// number and phone fields; the keys' labels and a pressed key's highlight on the screen.
#include "UITestSupport.h"

#include "platform/base/NSString.h"
#include "platform/testing/Pixels.h"
#include "platform/ui/UIKeyboard.h"

using namespace dv::test;
using dv::testing::Pixel;

namespace {

class KeyRecorder : public NSObject, public UITextFieldDelegate {
public:
    Journal calls;
    std::string refused; // characters the change check refuses

    std::optional<bool> textFieldShouldChangeCharactersInRangeReplacementString(const Ref<UITextField>&, NSRange, const Ref<NSString>& text) override
    {
        calls.push_back("change:" + dv::str(text));
        return text->length() == 0 || refused.find(dv::str(text)) == std::string::npos;
    }
    std::optional<bool> textFieldShouldReturn(const Ref<UITextField>&) override
    {
        calls.push_back("return");
        return true;
    }
};

class KeyboardTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_recorder = std::make_shared<KeyRecorder>();
        m_field = alloc<UITextField>()->initWithFrame(CGRectMake(20, 100, 300, 40));
        m_field->setDelegate(m_recorder);
        m_window->addSubview(m_field);
        m_ui.runUntilIdle();
    }

    bool focus(UIKeyboardType type = UIKeyboardTypeDefault)
    {
        m_ui.resignFocus();
        m_field->setKeyboardType(type);
        return m_ui.focus(m_field);
    }
    std::string text() const { return dv::str(m_field->text()); }
    bool shows(const char* title) const { return m_ui.keyboardKey(title) != nil; }
    CGRect keyFrame(const char* title) const { return m_ui.frameInWindow(m_ui.keyboardKey(title)); }

    std::shared_ptr<KeyRecorder> m_recorder;
    Ref<UITextField> m_field;
};

bool isWhite(const Pixel& p) { return dv::testing::near(p, {255, 255, 255, 255}, 2); }

} // namespace

TEST_F(KeyboardTest, LetterKeysTypeThroughTheFieldsChecksWithShiftPagesSpaceAndDelete)
{
    ASSERT_TRUE(focus());
    EXPECT_TRUE(CGRectEqualToRect(m_ui.keyboardFrame(), CGRectMake(0, 667 - 216, 375, 216))) << "the frame the screens rely on";
    for (auto title : { "q", "p", "a", "l", "z", "m", "上档键", "删除", "123", "空格", "换行" })
        EXPECT_TRUE(shows(title)) << title;
    EXPECT_FALSE(shows("1"));

    ASSERT_TRUE(m_ui.tapKey("h"));
    ASSERT_TRUE(m_ui.tapKey("i"));
    EXPECT_EQ(text(), "hi");
    EXPECT_EQ(m_recorder->calls, (Journal {"change:h", "change:i"})) << "each key through the field's check";

    // Shift holds for one letter.
    ASSERT_TRUE(m_ui.tapKey("上档键"));
    EXPECT_TRUE(shows("H"));
    EXPECT_FALSE(shows("h"));
    ASSERT_TRUE(m_ui.tapKey("H"));
    EXPECT_TRUE(shows("h"));
    // A character the field refuses is left out, as typed text is.
    m_recorder->refused = "x";
    ASSERT_TRUE(m_ui.tapKey("x"));
    ASSERT_TRUE(m_ui.tapKey("空格"));
    EXPECT_EQ(text(), "hiH ");

    // Numbers, on to the symbols, and back to the letters.
    ASSERT_TRUE(m_ui.tapKey("123"));
    EXPECT_FALSE(shows("q"));
    ASSERT_TRUE(m_ui.tapKey("7"));
    ASSERT_TRUE(m_ui.tapKey("@"));
    ASSERT_TRUE(m_ui.tapKey("#+="));
    ASSERT_TRUE(m_ui.tapKey("["));
    ASSERT_TRUE(m_ui.tapKey("删除"));
    ASSERT_TRUE(m_ui.tapKey("ABC"));
    EXPECT_TRUE(shows("q"));
    EXPECT_EQ(text(), "hiH 7@");
    ASSERT_TRUE(m_ui.tapKey("删除"));
    EXPECT_EQ(text(), "hiH 7");

    m_recorder->calls.clear();
    ASSERT_TRUE(m_ui.tapKey("换行"));
    EXPECT_EQ(m_recorder->calls, (Journal {"return"}));

    // Typed text goes the keys' way: the same checks, the same text.
    ASSERT_TRUE(m_ui.typeText("9"));
    EXPECT_EQ(text(), "hiH 79");
    // A field that loses the focus takes the keys away.
    ASSERT_TRUE(m_ui.resignFocus());
    EXPECT_FALSE(m_ui.tapKey("q"));
}

TEST_F(KeyboardTest, TheReturnKeyIsTitledByItsTypeAndWaitsForTextWhenAsked)
{
    const std::pair<UIReturnKeyType, const char*> titles[] = { { UIReturnKeyDefault, "换行" }, { UIReturnKeyGo, "前往" },
        { UIReturnKeySearch, "搜索" }, { UIReturnKeyNext, "下一项" }, { UIReturnKeyDone, "完成" }, { UIReturnKeySend, "发送" },
        { UIReturnKeyJoin, "加入" } };
    for (auto [type, title] : titles) {
        m_field->setReturnKeyType(type);
        ASSERT_TRUE(focus());
        EXPECT_TRUE(shows(title)) << title;
    }

    m_field->setReturnKeyType(UIReturnKeySearch);
    m_field->setEnablesReturnKeyAutomatically(true);
    ASSERT_TRUE(focus());
    m_recorder->calls.clear();
    ASSERT_TRUE(m_ui.tapKey("搜索"));
    EXPECT_TRUE(m_recorder->calls.empty()) << "no text yet: the key does nothing";
    ASSERT_TRUE(m_ui.tapKey("a"));
    ASSERT_TRUE(m_ui.tapKey("搜索"));
    EXPECT_EQ(m_recorder->calls, (Journal {"change:a", "return"}));
    ASSERT_TRUE(m_ui.tapKey("删除"));
    m_recorder->calls.clear();
    ASSERT_TRUE(m_ui.tapKey("搜索"));
    EXPECT_TRUE(m_recorder->calls.empty()) << "emptied again";
}

TEST_F(KeyboardTest, NumberAndPhoneFieldsGetADigitPad)
{
    ASSERT_TRUE(focus(UIKeyboardTypeNumberPad));
    for (auto title : { "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "删除" })
        EXPECT_TRUE(shows(title)) << title;
    for (auto title : { "q", "空格", "换行", "123" })
        EXPECT_FALSE(shows(title)) << title;
    EXPECT_EQ(m_ui.keyboardFrame().size.height, 216);
    // Three keys a row across the screen's width, four rows.
    EXPECT_NEAR(keyFrame("2").size.width, 375 / 3.0, 1);
    EXPECT_NEAR(keyFrame("0").origin.y, 667 - 216 + 3 * 54, 1);
    ASSERT_TRUE(m_ui.tapKey("1"));
    ASSERT_TRUE(m_ui.tapKey("3"));
    ASSERT_TRUE(m_ui.tapKey("8"));
    ASSERT_TRUE(m_ui.tapKey("0"));
    ASSERT_TRUE(m_ui.tapKey("删除"));
    EXPECT_EQ(text(), "138");
    // The empty key next to 0 does nothing.
    const CGRect blank = CGRectMake(0, 667 - 54, 375 / 3.0, 54);
    ASSERT_TRUE(m_ui.tap(CGPointMake(CGRectGetMidX(blank), CGRectGetMidY(blank))));
    EXPECT_EQ(text(), "138");

    ASSERT_TRUE(focus(UIKeyboardTypePhonePad));
    ASSERT_TRUE(m_ui.tapKey("+*#"));
    ASSERT_TRUE(m_ui.tapKey("#"));
    ASSERT_TRUE(m_ui.tapKey("123"));
    ASSERT_TRUE(m_ui.tapKey("5"));
    EXPECT_EQ(text(), "138#5");

    ASSERT_TRUE(focus(UIKeyboardTypeDecimalPad));
    ASSERT_TRUE(m_ui.tapKey("."));
    EXPECT_EQ(text(), "138#5.");
    ASSERT_TRUE(focus(UIKeyboardTypeNumbersAndPunctuation));
    EXPECT_TRUE(shows("1"));
    EXPECT_TRUE(shows("ABC"));
}

TEST_F(KeyboardTest, KeysShowTheirLabelsAndAPressedKeyIsHighlightedWhereTheFingerIs)
{
    ASSERT_TRUE(focus());
    auto ink = [](const Pixel& p) { return dv::testing::isInk(p, 100); };
    {
        const dv::testing::Pixels screen(m_ui.screenImage());
        for (auto title : { "q", "m", "空格", "换行", "123" }) {
            const CGRect key = keyFrame(title);
            EXPECT_GT(screen.count(key, ink), 20u) << title << " shows its label";
        }
        EXPECT_TRUE(isWhite(screen.at(keyFrame("a").origin.x + 4, CGRectGetMidY(keyFrame("a")))));
    }
    // The digit pad's keys too, each digit above its letters.
    ASSERT_TRUE(focus(UIKeyboardTypeNumberPad));
    {
        const dv::testing::Pixels screen(m_ui.screenImage());
        const CGRect five = keyFrame("5");
        const CGRect digit = screen.box(five, ink);
        ASSERT_FALSE(CGRectIsNull(digit));
        EXPECT_LT(digit.origin.y, CGRectGetMidY(five));
        EXPECT_GT(CGRectGetMaxY(digit), CGRectGetMidY(five)) << "the letters under the digit";
        EXPECT_EQ(screen.count(CGRectMake(0, 667 - 50, 120, 46), ink), 0u) << "the empty key shows nothing";
    }

    ASSERT_TRUE(focus());
    const CGRect a = keyFrame("a"), s = keyFrame("s");
    auto face = [&](CGRect key) { return dv::testing::Pixels(m_ui.screenImage()).at(key.origin.x + 4, CGRectGetMidY(key)); };
    auto touch = m_ui.touchDown(CGPointMake(CGRectGetMidX(a), CGRectGetMidY(a)));
    ASSERT_TRUE(touch);
    m_ui.runUntilIdle();
    EXPECT_FALSE(isWhite(face(a))) << "pressed: " << dv::testing::show(face(a));
    EXPECT_TRUE(isWhite(face(s)));
    // The finger slides on to the next key: the highlight follows; it types where it lifts.
    m_ui.touchMove(touch, CGPointMake(CGRectGetMidX(s), CGRectGetMidY(s)));
    m_ui.runUntilIdle();
    EXPECT_TRUE(isWhite(face(a)));
    EXPECT_FALSE(isWhite(face(s)));
    EXPECT_EQ(text(), "");
    m_ui.touchUp(touch, CGPointMake(CGRectGetMidX(s), CGRectGetMidY(s)));
    m_ui.runUntilIdle();
    EXPECT_EQ(text(), "s");
    EXPECT_TRUE(isWhite(face(s)));
}
