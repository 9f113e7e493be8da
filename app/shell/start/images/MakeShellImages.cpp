// Draws the application shell's pictures, our own artwork, at scales 1, 2 and 3 ("name.png",
// "name@2x.png", "name@3x.png"), into the resources folder:
//   nav          the navigation bar's background: a deep red band, lighter at the top
//   back         the navigation controller's back button: a white chevron
//   nav_back     the base screen's back button (12 × 22): a white chevron filling it
//   dingdan      a home tile's placeholder: a grey card with three text lines
//   listFirend   the home strip's first picture: a list of friends
//   zhuanfa      the home strip's second picture: a message being passed on
//   pengyouquan  the home strip's third picture: a grid of shared posts
// The PNGs are committed under resources/; run this again only to change them:
//
//   cmake --build build --target dv_shell_write_images
//
// Usage: dv_shell_images <output folder>
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "ui/toolkit/images/WriteImage.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

using Painter = std::function<void(const CGContextRef&, CGSize)>;

Ref<UIColor> rgb(int r, int g, int b, CGFloat a = 1) { return UIColor::colorWithRed(r / 255.0, g / 255.0, b / 255.0, a); }

// Draws one picture at the three scales; the painters take the picture's size as well.
bool writePicture(const std::filesystem::path& folder, const std::string& name, CGSize size, const Painter& paint)
{
    return dv::tools::writeImage(folder, name, size, [&](const CGContextRef& c) { paint(c, size); });
}

void roundedSquare(const CGContextRef& c, CGRect box, CGFloat radius)
{
    dv::tools::addRoundedRect(c, box, radius);
    CGContextFillPath(c);
}

void chevron(const CGContextRef& c, CGRect box, CGFloat lineWidth)
{
    CGContextSetLineWidth(c, lineWidth);
    CGContextSetLineCap(c, kCGLineCapRound);
    CGContextSetLineJoin(c, kCGLineJoinRound);
    const CGFloat inset = lineWidth / 2 + 0.5;
    CGContextMoveToPoint(c, CGRectGetMaxX(box) - inset, box.origin.y + inset);
    CGContextAddLineToPoint(c, box.origin.x + inset, CGRectGetMidY(box));
    CGContextAddLineToPoint(c, CGRectGetMaxX(box) - inset, CGRectGetMaxY(box) - inset);
    CGContextStrokePath(c);
}

void paintNav(const CGContextRef& c, CGSize size)
{
    // A vertical blend from a warm red to a deeper one, in bands of one point.
    for (int row = 0; row < static_cast<int>(size.height); ++row) {
        const CGFloat t = row / size.height;
        CGContextSetRGBFillColor(c, (214 - 30 * t) / 255.0, (58 - 20 * t) / 255.0, (48 - 16 * t) / 255.0, 1);
        CGContextFillRect(c, CGRectMake(0, row, size.width, 1));
    }
}

void paintBack(const CGContextRef& c, CGSize size)
{
    UIColor::whiteColor()->setStroke();
    chevron(c, CGRectMake(2, 4, 11, size.height - 8), 2.5);
}

void paintNavBack(const CGContextRef& c, CGSize size)
{
    UIColor::whiteColor()->setStroke();
    chevron(c, CGRectMake(0, 0, size.width, size.height), 2.5);
}

void paintPlaceholder(const CGContextRef& c, CGSize size)
{
    rgb(226, 226, 226)->setFill();
    CGContextFillRect(c, CGRectMake(4, 2, size.width - 8, size.height - 4));
    rgb(255, 255, 255)->setFill();
    CGContextFillRect(c, CGRectMake(8, 6, size.width - 16, size.height - 12));
    rgb(190, 190, 190)->setFill();
    for (int line = 0; line < 3; ++line)
        CGContextFillRect(c, CGRectMake(14, 16 + line * 11, (line == 2 ? 0.5 : 1) * (size.width - 28), 4));
}

// A poster of the home strip: a coloured ground, a drawing and a caption. The home shows it
// stretched into a strip slot and, tapped, stretched over the whole screen: it has the screen's
// proportions, so that the full-screen picture keeps its shapes, and its drawing avoids circles,
// which the slot's wider proportions would turn into ovals.
Painter poster(Ref<UIColor> ground, Ref<NSString> caption, Painter drawing)
{
    return [=](const CGContextRef& c, CGSize size) {
        ground->setFill();
        CGContextFillRect(c, CGRectMake(0, 0, size.width, size.height));
        // The drawings are laid out for a poster 300 points tall; the rest goes above and below.
        CGContextSaveGState(c);
        CGContextTranslateCTM(c, 0, (size.height - 300) / 2);
        drawing(c, size);
        CGContextRestoreGState(c);
        dv::TextDrawingOptions options;
        options.alignment = NSTextAlignmentCenter;
        options.wrap = false;
        dv::drawText(caption, CGRectMake(0, size.height - 52, size.width, 30), UIFont::boldSystemFontOfSize(20),
            UIColor::whiteColor(), options);
    };
}

void paintFriends(const CGContextRef& c, CGSize size)
{
    // Rows of a contact list: a face on a rounded square and a name bar each.
    for (int row = 0; row < 4; ++row) {
        const CGFloat top = 36 + row * 46;
        UIColor::whiteColor()->setFill();
        roundedSquare(c, CGRectMake(28, top, 32, 32), 6);
        rgb(255, 255, 255, 0.75)->setFill();
        CGContextFillRect(c, CGRectMake(72, top + 8, size.width - 100 - row * 12, 7));
        CGContextFillRect(c, CGRectMake(72, top + 20, (size.width - 100) * 0.5, 5));
    }
}

void paintForward(const CGContextRef& c, CGSize size)
{
    // A speech bubble and an arrow leaving it.
    UIColor::whiteColor()->setFill();
    const CGRect bubble = CGRectMake(24, 48, size.width * 0.55, 90);
    CGContextFillRect(c, bubble);
    CGContextMoveToPoint(c, bubble.origin.x + 20, CGRectGetMaxY(bubble));
    CGContextAddLineToPoint(c, bubble.origin.x + 20, CGRectGetMaxY(bubble) + 22);
    CGContextAddLineToPoint(c, bubble.origin.x + 44, CGRectGetMaxY(bubble));
    CGContextClosePath(c);
    CGContextFillPath(c);
    UIColor::whiteColor()->setStroke();
    CGContextSetLineWidth(c, 8);
    CGContextSetLineCap(c, kCGLineCapRound);
    CGContextSetLineJoin(c, kCGLineJoinRound);
    const CGFloat y = 180, from = size.width * 0.3, to = size.width - 30;
    CGContextMoveToPoint(c, from, y);
    CGContextAddLineToPoint(c, to, y);
    CGContextMoveToPoint(c, to - 22, y - 22);
    CGContextAddLineToPoint(c, to, y);
    CGContextAddLineToPoint(c, to - 22, y + 22);
    CGContextStrokePath(c);
}

void paintMoments(const CGContextRef& c, CGSize size)
{
    // Shared posts, six pictures in two rows of three, like a feed's grid.
    static const int colours[6][3] = { { 255, 214, 102 }, { 255, 160, 122 }, { 255, 128, 171 },
        { 179, 157, 219 }, { 129, 212, 250 }, { 165, 214, 167 } };
    const CGFloat tile = 44, gap = 8, left = (size.width - 3 * tile - 2 * gap) / 2;
    for (int post = 0; post < 6; ++post) {
        rgb(colours[post][0], colours[post][1], colours[post][2])->setFill();
        roundedSquare(c, CGRectMake(left + (post % 3) * (tile + gap), 66 + (post / 3) * (tile + gap), tile, tile), 6);
    }
    UIColor::whiteColor()->setFill();
    CGContextFillRect(c, CGRectMake(left, 180, 3 * tile + 2 * gap, 6));
    CGContextFillRect(c, CGRectMake(left, 194, 2 * tile, 6));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    // The screen's proportions (375 x 667 points).
    const CGSize posterSize = CGSizeMake(188, 334);
    bool ok = writePicture(folder, "nav", CGSizeMake(375, 64), paintNav)
        && writePicture(folder, "back", CGSizeMake(16, 30), paintBack)
        && writePicture(folder, "nav_back", CGSizeMake(12, 22), paintNavBack)
        && writePicture(folder, "dingdan", CGSizeMake(60, 60), paintPlaceholder)
        && writePicture(folder, "listFirend", posterSize, poster(rgb(76, 175, 120), "好友列表"_ns, paintFriends))
        && writePicture(folder, "zhuanfa", posterSize, poster(rgb(66, 133, 214), "一键转发"_ns, paintForward))
        && writePicture(folder, "pengyouquan", posterSize, poster(rgb(232, 120, 60), "朋友圈推广"_ns, paintMoments));
    return ok ? 0 : 1;
}
