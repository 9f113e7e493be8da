// Draws the pictures of the shell's information screens, our own artwork, at scales 1, 2 and 3
// ("name.png", "name@2x.png", "name@3x.png"), into the resources folder:
//   750_0 … 750_5        the picture page's six posters (250 × 400; 750 pixels wide at scale 3),
//                        one feature of the application each
//   yindao1 … yindao3    the guide's three full-screen pages (375 × 667)
//   shouquanicon         the agent lookup's badge (70 × 70): a blue shield with a check mark
// The PNGs are committed under resources/; run this again only to change them:
//
//   cmake --build build --target dv_shell_write_page_images
//
// Usage: dv_shell_page_images <output folder>
#include "platform/base/NSString.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "ui/toolkit/images/WriteImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

using Painter = std::function<void(const CGContextRef&, CGSize)>;

Ref<UIColor> rgb(int r, int g, int b, CGFloat a = 1)
{
    return UIColor::colorWithRed(r / 255.0, g / 255.0, b / 255.0, a);
}

bool write(const std::filesystem::path& folder, const std::string& name, CGSize size, const Painter& paint)
{
    return dv::tools::writeImage(folder, name, size, [&](const CGContextRef& c) { paint(c, size); });
}

void fillRoundedRect(const CGContextRef& c, CGRect r, CGFloat radius, const Ref<UIColor>& colour)
{
    colour->setFill();
    dv::tools::addRoundedRect(c, r, radius);
    CGContextFillPath(c);
}

// A vertical blend between two colours, in bands of one point.
void fillBlend(const CGContextRef& c, CGSize size, const int top[3], const int bottom[3])
{
    for (int row = 0; row < static_cast<int>(std::ceil(size.height)); ++row) {
        const CGFloat t = row / size.height;
        CGContextSetRGBFillColor(c, (top[0] + (bottom[0] - top[0]) * t) / 255.0,
            (top[1] + (bottom[1] - top[1]) * t) / 255.0, (top[2] + (bottom[2] - top[2]) * t) / 255.0, 1);
        CGContextFillRect(c, CGRectMake(0, row, size.width, 1));
    }
}

void text(const Ref<NSString>& string, CGRect rect, const Ref<UIFont>& font, const Ref<UIColor>& colour)
{
    dv::TextDrawingOptions options;
    options.alignment = NSTextAlignmentCenter;
    dv::drawText(string, rect, font, colour, options);
}

void checkMark(const CGContextRef& c, CGPoint a, CGPoint b, CGPoint d, CGFloat width, const Ref<UIColor>& colour)
{
    colour->setStroke();
    CGContextSetLineWidth(c, width);
    CGContextSetLineCap(c, kCGLineCapRound);
    CGContextSetLineJoin(c, kCGLineJoinRound);
    CGContextMoveToPoint(c, a.x, a.y);
    CGContextAddLineToPoint(c, b.x, b.y);
    CGContextAddLineToPoint(c, d.x, d.y);
    CGContextStrokePath(c);
}

// --- The picture page's posters ------------------------------------------------------------

// The drawing in the white card of a poster, in a box of the card's upper part.
using Emblem = std::function<void(const CGContextRef&, CGRect box, const Ref<UIColor>& accent)>;

void emblemContacts(const CGContextRef& c, CGRect box, const Ref<UIColor>& accent)
{
    for (int row = 0; row < 3; ++row) {
        const CGFloat y = box.origin.y + 14 + row * 44;
        accent->setFill();
        CGContextFillEllipseInRect(c, CGRectMake(box.origin.x + 18, y, 30, 30));
        rgb(210, 210, 210)->setFill();
        CGContextFillRect(c, CGRectMake(box.origin.x + 58, y + 6, box.size.width - 90 - row * 14, 7));
        CGContextFillRect(c, CGRectMake(box.origin.x + 58, y + 19, (box.size.width - 90) * 0.5, 5));
    }
    // A plus badge: a contact being added.
    accent->setFill();
    const CGFloat cx = CGRectGetMaxX(box) - 30, cy = CGRectGetMaxY(box) - 26;
    CGContextFillEllipseInRect(c, CGRectMake(cx - 18, cy - 18, 36, 36));
    UIColor::whiteColor()->setFill();
    CGContextFillRect(c, CGRectMake(cx - 10, cy - 2.5, 20, 5));
    CGContextFillRect(c, CGRectMake(cx - 2.5, cy - 10, 5, 20));
}

void emblemTarget(const CGContextRef& c, CGRect box, const Ref<UIColor>& accent)
{
    const CGFloat cx = CGRectGetMidX(box), cy = CGRectGetMidY(box);
    for (int ring = 4; ring >= 1; --ring) {
        (ring % 2 ? accent : UIColor::whiteColor())->setFill();
        const CGFloat r = ring * 18;
        CGContextFillEllipseInRect(c, CGRectMake(cx - r, cy - r, 2 * r, 2 * r));
    }
    rgb(80, 80, 80)->setStroke();
    CGContextSetLineWidth(c, 4);
    CGContextMoveToPoint(c, cx, cy);
    CGContextAddLineToPoint(c, cx + 62, cy - 62);
    CGContextStrokePath(c);
}

void emblemBuildings(const CGContextRef& c, CGRect box, const Ref<UIColor>& accent)
{
    const CGFloat base = CGRectGetMaxY(box) - 10;
    const CGFloat heights[] = { 90, 140, 110, 70 };
    for (int i = 0; i < 4; ++i) {
        const CGRect tower = CGRectMake(box.origin.x + 16 + i * 42, base - heights[i], 36, heights[i]);
        (i % 2 ? accent : rgb(120, 120, 120))->setFill();
        CGContextFillRect(c, tower);
        UIColor::whiteColor()->setFill();
        for (CGFloat y = tower.origin.y + 10; y < base - 12; y += 18)
            for (int col = 0; col < 2; ++col)
                CGContextFillRect(c, CGRectMake(tower.origin.x + 7 + col * 14, y, 8, 9));
    }
}

void emblemQRCode(const CGContextRef& c, CGRect box, const Ref<UIColor>& accent)
{
    const CGFloat side = std::min(box.size.width, box.size.height) - 20;
    const CGFloat x0 = CGRectGetMidX(box) - side / 2, y0 = CGRectGetMidY(box) - side / 2;
    const int cells = 21;
    const CGFloat cell = side / cells;
    accent->setFill();
    // Finder squares in three corners, then a fixed scatter of modules.
    auto finder = [&](int col, int row) {
        CGContextFillRect(c, CGRectMake(x0 + col * cell, y0 + row * cell, 7 * cell, 7 * cell));
        UIColor::whiteColor()->setFill();
        CGContextFillRect(c, CGRectMake(x0 + (col + 1) * cell, y0 + (row + 1) * cell, 5 * cell, 5 * cell));
        accent->setFill();
        CGContextFillRect(c, CGRectMake(x0 + (col + 2) * cell, y0 + (row + 2) * cell, 3 * cell, 3 * cell));
    };
    finder(0, 0);
    finder(14, 0);
    finder(0, 14);
    unsigned seed = 20161;
    for (int row = 0; row < cells; ++row)
        for (int col = 0; col < cells; ++col) {
            const bool inFinder = (row < 8 && col < 8) || (row < 8 && col > 12) || (row > 12 && col < 8);
            seed = seed * 1103515245u + 12345u;
            if (!inFinder && (seed >> 16) % 2)
                CGContextFillRect(c, CGRectMake(x0 + col * cell, y0 + row * cell, cell, cell));
        }
}

void emblemMegaphone(const CGContextRef& c, CGRect box, const Ref<UIColor>& accent)
{
    const CGFloat cx = CGRectGetMidX(box) - 20, cy = CGRectGetMidY(box);
    accent->setFill();
    CGContextMoveToPoint(c, cx - 50, cy - 18);
    CGContextAddLineToPoint(c, cx + 30, cy - 55);
    CGContextAddLineToPoint(c, cx + 30, cy + 55);
    CGContextAddLineToPoint(c, cx - 50, cy + 18);
    CGContextClosePath(c);
    CGContextFillPath(c);
    rgb(120, 120, 120)->setFill();
    CGContextFillRect(c, CGRectMake(cx - 66, cy - 18, 18, 36));
    accent->setStroke();
    CGContextSetLineWidth(c, 5);
    CGContextSetLineCap(c, kCGLineCapRound);
    for (int wave = 1; wave <= 3; ++wave) {
        CGContextAddArc(c, cx + 30, cy, 16 + wave * 16, -M_PI / 5, M_PI / 5, 0);
        CGContextStrokePath(c);
    }
}

void emblemCard(const CGContextRef& c, CGRect box, const Ref<UIColor>& accent)
{
    const CGRect card = CGRectInset(box, 14, 22);
    fillRoundedRect(c, card, 10, rgb(245, 245, 245));
    accent->setFill();
    CGContextFillEllipseInRect(c, CGRectMake(card.origin.x + 16, card.origin.y + 20, 56, 56));
    rgb(200, 200, 200)->setFill();
    for (int line = 0; line < 3; ++line)
        CGContextFillRect(
            c, CGRectMake(card.origin.x + 86, card.origin.y + 26 + line * 16, card.size.width - 110 - line * 16, 7));
    accent->setFill();
    CGContextFillRect(c, CGRectMake(card.origin.x + 16, CGRectGetMaxY(card) - 30, card.size.width - 32, 10));
}

Painter poster(const int top[3], const int bottom[3], Ref<UIColor> accent, Ref<NSString> caption, Ref<NSString> line,
    int number, Emblem emblem)
{
    const std::array<int, 3> from { top[0], top[1], top[2] }, to { bottom[0], bottom[1], bottom[2] };
    return [=](const CGContextRef& c, CGSize size) {
        fillBlend(c, size, from.data(), to.data());
        const CGRect card = CGRectMake(18, 58, size.width - 36, 220);
        fillRoundedRect(c, card, 14, UIColor::whiteColor());
        emblem(c, CGRectInset(card, 10, 10), accent);
        text(NSString::stringWithFormat("%d / 6", number), CGRectMake(0, 20, size.width, 24),
            UIFont::systemFontOfSize(15), rgb(255, 255, 255, 0.85));
        text(caption, CGRectMake(0, 296, size.width, 34), UIFont::boldSystemFontOfSize(26), UIColor::whiteColor());
        text(line, CGRectMake(16, 338, size.width - 32, 44), UIFont::systemFontOfSize(14), rgb(255, 255, 255, 0.9));
    };
}

// --- The guide --------------------------------------------------------------------------------

Painter guidePage(const int top[3], const int bottom[3], Ref<NSString> caption, Ref<NSString> line, int page,
    Emblem emblem, Ref<UIColor> accent)
{
    const std::array<int, 3> from { top[0], top[1], top[2] }, to { bottom[0], bottom[1], bottom[2] };
    return [=](const CGContextRef& c, CGSize size) {
        fillBlend(c, size, from.data(), to.data());
        // A large soft disc behind the drawing.
        rgb(255, 255, 255, 0.18)->setFill();
        CGContextFillEllipseInRect(c, CGRectMake(size.width / 2 - 150, 110, 300, 300));
        const CGRect card = CGRectMake(size.width / 2 - 110, 160, 220, 200);
        fillRoundedRect(c, card, 18, UIColor::whiteColor());
        emblem(c, CGRectInset(card, 12, 10), accent);
        text(caption, CGRectMake(0, 440, size.width, 40), UIFont::boldSystemFontOfSize(30), UIColor::whiteColor());
        text(line, CGRectMake(40, 492, size.width - 80, 50), UIFont::systemFontOfSize(16), rgb(255, 255, 255, 0.9));
        // The page's place among the three, above where the indicator shows.
        text(NSString::stringWithFormat("%d", page), CGRectMake(0, 60, size.width, 30),
            UIFont::boldSystemFontOfSize(22), rgb(255, 255, 255, 0.6));
    };
}

void paintShield(const CGContextRef& c, CGSize size)
{
    const CGFloat w = size.width, h = size.height;
    rgb(131, 162, 251)->setFill();
    CGContextMoveToPoint(c, w / 2, 4);
    CGContextAddLineToPoint(c, w - 8, 14);
    CGContextAddCurveToPoint(c, w - 8, 40, w - 20, 58, w / 2, h - 4);
    CGContextAddCurveToPoint(c, 20, 58, 8, 40, 8, 14);
    CGContextClosePath(c);
    CGContextFillPath(c);
    checkMark(c, CGPointMake(w * 0.3, h * 0.48), CGPointMake(w * 0.45, h * 0.63), CGPointMake(w * 0.72, h * 0.33), 6,
        UIColor::whiteColor());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const CGSize posterSize = CGSizeMake(250, 400);
    const int green[3] = { 88, 196, 130 }, deepGreen[3] = { 38, 142, 96 };
    const int blue[3] = { 96, 160, 246 }, deepBlue[3] = { 50, 96, 200 };
    const int orange[3] = { 255, 170, 90 }, deepOrange[3] = { 230, 110, 50 };
    const int purple[3] = { 170, 140, 240 }, deepPurple[3] = { 112, 84, 196 };
    const int teal[3] = { 80, 200, 210 }, deepTeal[3] = { 30, 140, 160 };
    const int red[3] = { 250, 120, 120 }, deepRed[3] = { 200, 60, 70 };
    bool ok = write(folder, "750_0", posterSize,
                  poster(green, deepGreen, rgb(48, 170, 110), "信聊加粉"_ns, "按城市获取号码，一键导入通讯录"_ns, 1,
                      emblemContacts))
        && write(folder, "750_1", posterSize,
            poster(blue, deepBlue, rgb(66, 120, 230), "精准加粉"_ns, "输入号段，生成同城精准客源"_ns, 2, emblemTarget))
        && write(folder, "750_2", posterSize,
            poster(orange, deepOrange, rgb(240, 130, 60), "行业客源"_ns, "按行业查看公司和联系电话"_ns, 3,
                emblemBuildings))
        && write(folder, "750_3", posterSize,
            poster(purple, deepPurple, rgb(120, 90, 210), "群二维码"_ns, "海量群二维码，保存后扫码加入"_ns, 4,
                emblemQRCode))
        && write(folder, "750_4", posterSize,
            poster(teal, deepTeal, rgb(40, 160, 180), "公众号推广"_ns, "上传公众号二维码，让更多人关注"_ns, 5,
                emblemMegaphone))
        && write(folder, "750_5", posterSize,
            poster(red, deepRed, rgb(220, 80, 90), "个人名片"_ns, "上传个人二维码，每天刷新一次"_ns, 6, emblemCard))
        && write(folder, "yindao1", CGSizeMake(375, 667),
            guidePage(purple, deepPurple, "海量二维码"_ns, "群、个人、公众号二维码\n保存到相册即可扫码加入"_ns, 1,
                emblemQRCode, rgb(120, 90, 210)))
        && write(folder, "yindao2", CGSizeMake(375, 667),
            guidePage(green, deepGreen, "精准客源"_ns, "按城市、号段和行业获取号码\n一键导入通讯录"_ns, 2,
                emblemContacts, rgb(48, 170, 110)))
        && write(folder, "yindao3", CGSizeMake(375, 667),
            guidePage(blue, deepBlue, "推广自己"_ns, "上传你的二维码\n让更多客户找到你"_ns, 3, emblemMegaphone,
                rgb(66, 120, 230)))
        && write(folder, "shouquanicon", CGSizeMake(70, 70), paintShield);
    return ok ? 0 : 1;
}
