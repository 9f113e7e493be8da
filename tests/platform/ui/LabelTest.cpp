#include "UITestSupport.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/NSStringDrawing.h"

#include <cfloat>
#include <cmath>

using namespace dv::test;

namespace {

const char* const kHint = "如何加粉：长按图片保存到相册，然后到信聊里面读取二维码添加好友即可，建议一次保存多个二维码图片然后去信聊一起操作添加。";

class LabelTest : public UITest {
protected:
    Ref<UILabel> label(CGRect frame, const char* text, CGFloat size = 15)
    {
        auto l = alloc<UILabel>()->initWithFrame(frame);
        l->setFont(UIFont::systemFontOfSize(size));
        l->setText(NSString::fromUTF8(text));
        l->setBackgroundColor(UIColor::whiteColor());
        m_window->addSubview(l);
        return l;
    }

    // The box (in points, window coordinates) of the dark pixels within `area` of a screenshot.
    CGRect ink(CGRect area)
    {
        const Pixels shot(m_ui.screenshot(1));
        CGFloat minX = 1e9, minY = 1e9, maxX = -1, maxY = -1;
        for (CGFloat y = area.origin.y; y < CGRectGetMaxY(area); ++y)
            for (CGFloat x = area.origin.x; x < CGRectGetMaxX(area); ++x) {
                const Pixel p = shot.at(x, y);
                if (p[0] >= 0 && p[0] < 128 && p[3] > 0) {
                    minX = std::min(minX, x);
                    minY = std::min(minY, y);
                    maxX = std::max(maxX, x);
                    maxY = std::max(maxY, y);
                }
            }
        return maxX < 0 ? CGRectNull : CGRectMake(minX, minY, maxX - minX + 1, maxY - minY + 1);
    }
};

CGFloat pixelCeil(CGFloat v) { return std::ceil(v * 2 - 1e-6) / 2; } // the test screen is at scale 2

} // namespace

TEST_F(LabelTest, SizeThatFitsMeasuresChineseTextOnOneLineOrWrappedWithinItsLines)
{
    auto font = UIFont::systemFontOfSize(15);
    auto one = label(CGRectMake(10, 8, 100, 30), "设备号");
    const CGSize measured = dv::measureText("设备号"_ns, font, 0, 1);
    EXPECT_EQ(one->sizeThatFits(CGSizeMake(5, 5)), CGSizeMake(pixelCeil(measured.width), pixelCeil(measured.height)))
        << "one line: the width offered does not matter";
    EXPECT_GT(measured.width, 40);
    EXPECT_LT(measured.width, 50);

    const CGFloat width = 355;
    auto many = label(CGRectMake(10, 10, width, 60), kHint, 13);
    EXPECT_GT(many->sizeThatFits(CGSizeMake(width, 0)).width, width) << "one line by default";
    many->setNumberOfLines(0);
    const CGSize wrapped = many->sizeThatFits(CGSizeMake(width, 1e9));
    const CGFloat line = dv::measureText("如"_ns, UIFont::systemFontOfSize(13), 0, 1).height;
    EXPECT_LE(wrapped.width, width);
    EXPECT_NEAR(wrapped.height / line, 3, 0.05) << "the hint takes three lines at 355 points";
    // As the screens measure it.
    auto attributes = NSDictionary::dictionaryWithObjectForKey(UIFont::systemFontOfSize(13), NSFontAttributeName);
    const CGRect bounding = boundingRectWithSize(NSString::fromUTF8(kHint), CGSizeMake(width, FLT_MAX), NSStringDrawingUsesLineFragmentOrigin, attributes, nil);
    EXPECT_EQ(wrapped.height, pixelCeil(bounding.size.height));

    many->setNumberOfLines(2);
    EXPECT_NEAR(many->sizeThatFits(CGSizeMake(width, 1e9)).height / line, 2, 0.05);
    many->sizeToFit();
    EXPECT_EQ(many->frame().origin, CGPointMake(10, 10));
    EXPECT_NEAR(many->frame().size.height / line, 2, 0.05);

    auto empty = label(CGRectMake(0, 0, 50, 20), "");
    EXPECT_EQ(empty->sizeThatFits(CGSizeMake(50, 20)), CGSizeZero);
    empty->setText(nil);
    EXPECT_EQ(empty->intrinsicContentSize(), CGSizeZero);
    many->setNumberOfLines(0);
    many->setPreferredMaxLayoutWidth(width);
    EXPECT_EQ(many->intrinsicContentSize(), wrapped);
}

TEST_F(LabelTest, TextStandsInTheMiddleOfTheHeightAlignedAcross)
{
    auto l = label(CGRectMake(0, 100, 300, 100), "一一一", 30);
    m_ui.runUntilIdle();
    CGRect box = ink(l->frame());
    ASSERT_FALSE(CGRectIsNull(box));
    EXPECT_NEAR(CGRectGetMidY(box), 150, 4) << "centred vertically";
    EXPECT_LT(box.origin.x, 10) << "left aligned";
    l->setTextAlignment(NSTextAlignmentRight);
    m_ui.runUntilIdle();
    box = ink(l->frame());
    EXPECT_GT(box.origin.x, 200);
    EXPECT_GT(CGRectGetMaxX(box), 290);
    l->setTextAlignment(NSTextAlignmentCenter);
    m_ui.runUntilIdle();
    box = ink(l->frame());
    EXPECT_NEAR(CGRectGetMidX(box), 150, 4);

    // A line limit without truncation centres the lines shown all the same.
    for (auto mode : { NSLineBreakByClipping, NSLineBreakByWordWrapping, NSLineBreakByCharWrapping }) {
        l->setLineBreakMode(mode);
        l->setNumberOfLines(1);
        m_ui.runUntilIdle();
        EXPECT_NEAR(CGRectGetMidY(ink(l->frame())), 150, 4) << mode;
    }

    l->setTextColor(UIColor::whiteColor());
    m_ui.runUntilIdle();
    EXPECT_TRUE(CGRectIsNull(ink(l->frame()))) << "white on white";
}

TEST_F(LabelTest, LinesPastTheLimitAreNotDrawnAndTheLastShownIsCut)
{
    auto l = label(CGRectMake(0, 100, 120, 200), "一一一一一一一一一一一一一一一一一一一一一一一一", 20);
    l->setNumberOfLines(2);
    m_ui.runUntilIdle();
    const CGRect two = ink(l->frame());
    l->setNumberOfLines(0);
    m_ui.runUntilIdle();
    const CGRect all = ink(l->frame());
    EXPECT_GT(all.size.height, two.size.height * 1.8) << "four lines against two";
    EXPECT_NEAR(CGRectGetMidY(two), 200, 4);
    EXPECT_NEAR(CGRectGetMidY(all), 200, 4);
}

TEST_F(LabelTest, ATooWideLineShrinksDownToTheMinimumFontSize)
{
    auto fixed = label(CGRectMake(0, 100, 100, 30), "上传更新一天只能更新", 14);
    auto shrinking = label(CGRectMake(0, 200, 100, 30), "上传更新一天只能更新", 14);
    shrinking->setAdjustsFontSizeToFitWidth(true);
    shrinking->setMinimumFontSize(8);
    m_ui.runUntilIdle();
    const CGRect cut = ink(fixed->frame()), fitted = ink(shrinking->frame());
    EXPECT_LT(fitted.size.height, cut.size.height - 1) << "drawn smaller";
    EXPECT_GT(CGRectGetMaxX(fitted), 85);
    EXPECT_LE(CGRectGetMaxX(fitted), 100);

    // A text that does not fit even at the minimum is drawn at the minimum, then cut.
    auto tooLong = label(CGRectMake(0, 300, 100, 30), "上传更新一天只能更新一次上传更新一天只能更新", 14);
    tooLong->setAdjustsFontSizeToFitWidth(true);
    tooLong->setMinimumFontSize(12);
    m_ui.runUntilIdle();
    const CGRect smallest = ink(tooLong->frame());
    EXPECT_GT(smallest.size.height, fitted.size.height);
    EXPECT_LE(CGRectGetMaxX(smallest), 100);
}

TEST_F(LabelTest, LabelsTakeNoTouchesUnlessToldAndSayWhatTheyShow)
{
    auto l = label(CGRectMake(0, 100, 200, 30), "网站地址");
    auto outer = RecordingView::make(&m_journal, "outer", CGRectMake(0, 0, 375, 667));
    m_window->insertSubviewAtIndex(outer, 0);
    m_ui.runUntilIdle();
    m_journal.clear();
    EXPECT_FALSE(l->isUserInteractionEnabled());
    ASSERT_TRUE(m_ui.tap(CGPointMake(50, 115)));
    EXPECT_EQ(m_journal, (Journal {"outer:touchesbegan:1", "outer:touchesended:1"})) << "the touch goes through";
    std::string dump = m_ui.dump();
    EXPECT_NE(dump.find("UILabel (0 100; 200 30) text=\"网站地址\" bg=#ffffff"), std::string::npos) << dump;

    l->setUserInteractionEnabled(true);
    EXPECT_NE(m_ui.dump().find("text=\"网站地址\" interaction=on"), std::string::npos);
    EXPECT_EQ(m_ui.viewWithText("网站地址"), l);
    EXPECT_TRUE(l->isAccessibilityElement());
    EXPECT_EQ(dv::str(l->accessibilityLabel()), "网站地址");
    EXPECT_EQ(l->accessibilityTraits(), UIAccessibilityTraitStaticText);
    l->setAccessibilityLabel("地址"_ns);
    EXPECT_EQ(dv::str(l->accessibilityLabel()), "地址");
}

TEST_F(LabelTest, AnAttributedTextGivesTheLabelItsStringFontAndColour)
{
    auto l = label(CGRectMake(0, 100, 200, 30), "旧");
    auto attributes = NSDictionary::of({{NSFontAttributeName, UIFont::boldSystemFontOfSize(20)}, {NSForegroundColorAttributeName, UIColor::redColor()}});
    l->setAttributedText(alloc<NSAttributedString>()->initWithString("新的文字"_ns, attributes));
    EXPECT_EQ(dv::str(l->text()), "新的文字");
    EXPECT_TRUE(dv::equal(l->font(), UIFont::boldSystemFontOfSize(20)));
    EXPECT_EQ(l->textColor(), UIColor::redColor());
    auto back = l->attributedText();
    ASSERT_TRUE(back);
    EXPECT_EQ(dv::str(back->string()), "新的文字");
    EXPECT_EQ(back->attributesAtIndex(3, nullptr)->objectForKey(NSForegroundColorAttributeName), UIColor::redColor());
    l->setAttributedText(nil);
    EXPECT_EQ(l->text(), nil);
    EXPECT_EQ(l->attributedText(), nil);
}
