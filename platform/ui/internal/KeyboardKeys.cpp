#include "platform/ui/internal/KeyboardKeys.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UIBezierPath.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/internal/Keyboard.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

enum class KeyKind { character, shift, erase, page, space, returnKey, blank };
// How a key looks: a white letter key, a grey function key, the blue return key, or a flat key
// of a digit pad (white, or grey for its function keys).
enum class KeyLook { light, dark, accent, flatLight, flatDark };

Ref<UIColor> rgb(int r, int g, int b) { return UIColor::colorWithRed(r / 255.0, g / 255.0, b / 255.0, 1); }

Ref<NSString> returnKeyTitle(UIReturnKeyType type)
{
    switch (type) {
    case UIReturnKeyGo: return "前往"_ns;
    case UIReturnKeyGoogle:
    case UIReturnKeySearch:
    case UIReturnKeyYahoo: return "搜索"_ns;
    case UIReturnKeyJoin: return "加入"_ns;
    case UIReturnKeyNext: return "下一项"_ns;
    case UIReturnKeyRoute: return "路线"_ns;
    case UIReturnKeySend: return "发送"_ns;
    case UIReturnKeyDone: return "完成"_ns;
    case UIReturnKeyEmergencyCall: return "紧急呼叫"_ns;
    case UIReturnKeyContinue: return "继续"_ns;
    case UIReturnKeyDefault: break;
    }
    return "换行"_ns;
}

} // namespace

// One key: what it shows and does, and its look; drawn in its own bounds.
class UIKeyboardKey : public UIView {
    DV_CLASS(UIKeyboardKey, UIView)

    UIKeyboardKey() = default;

    KeyKind kind = KeyKind::character;
    KeyLook look = KeyLook::light;
    std::string output;      // what a character key types
    Ref<NSString> caption;   // what the key shows (for shift and delete: its name, drawn as a glyph)
    Ref<NSString> letters;   // under a digit of a digit pad (nil on other keys)
    UIKeyboardView::Page target = UIKeyboardView::Page::letters; // where a page key turns to
    bool highlighted = false;
    bool on = false;      // shift engaged
    bool enabled = true;  // the return key without text, when it waits for text

    void setState(bool isHighlighted, bool isOn, bool isEnabled)
    {
        if (highlighted == isHighlighted && on == isOn && enabled == isEnabled)
            return;
        highlighted = isHighlighted;
        on = isOn;
        enabled = isEnabled;
        setNeedsDisplay();
    }

    void appendDescriptionFields(dv::DescriptionFields& fields) const override
    {
        if (caption && caption->length() > 0)
            fields.emplace_back("title", caption->UTF8String());
        if (highlighted)
            fields.emplace_back("highlighted", "");
        if (on)
            fields.emplace_back("on", "");
        if (!enabled)
            fields.emplace_back("disabled", "");
        UIView::appendDescriptionFields(fields);
    }

    void drawRect(CGRect) override
    {
        const CGRect b = bounds();
        const bool flat = look == KeyLook::flatLight || look == KeyLook::flatDark;
        Ref<UIColor> face;
        switch (look) {
        case KeyLook::light: face = highlighted ? rgb(172, 179, 188) : UIColor::whiteColor(); break;
        case KeyLook::dark: face = highlighted || (kind == KeyKind::shift && on) ? UIColor::whiteColor() : rgb(172, 179, 188); break;
        case KeyLook::accent: face = highlighted ? rgb(172, 179, 188) : enabled ? rgb(0, 122, 255) : rgb(172, 179, 188); break;
        case KeyLook::flatLight: face = highlighted ? rgb(188, 192, 199) : UIColor::whiteColor(); break;
        case KeyLook::flatDark: face = highlighted ? UIColor::whiteColor() : rgb(188, 192, 199); break;
        }
        if (flat) {
            face->setFill();
            UIBezierPath::bezierPathWithRect(b)->fill();
        } else {
            // A rounded key standing on its shadow.
            rgb(136, 138, 142)->setFill();
            UIBezierPath::bezierPathWithRoundedRect(CGRectMake(0, 1, b.size.width, b.size.height - 1), 5)->fill();
            face->setFill();
            UIBezierPath::bezierPathWithRoundedRect(CGRectMake(0, 0, b.size.width, b.size.height - 1), 5)->fill();
        }
        const Ref<UIColor> ink = look == KeyLook::accent && !highlighted && enabled ? UIColor::whiteColor()
            : enabled                                                                ? UIColor::blackColor()
                                                                                     : rgb(136, 138, 142);
        switch (kind) {
        case KeyKind::shift: drawShift(b, ink); return;
        case KeyKind::erase: drawErase(b, ink); return;
        case KeyKind::blank: return;
        default: break;
        }
        if (!caption)
            return;
        if (letters) {
            // A digit of the pad with its letters below it.
            const CGRect digit = CGRectMake(0, b.size.height * 0.12, b.size.width, b.size.height * 0.55);
            dv::drawText(caption, digit, UIFont::systemFontOfSize(26), ink,
                { .alignment = NSTextAlignmentCenter, .wrap = false, .centreVertically = true });
            dv::drawText(letters, CGRectMake(0, CGRectGetMaxY(digit) - 2, b.size.width, b.size.height * 0.25), UIFont::boldSystemFontOfSize(10),
                ink, { .alignment = NSTextAlignmentCenter, .wrap = false, .centreVertically = true });
            return;
        }
        const bool single = kind == KeyKind::character && caption->length() == 1;
        const CGFloat size = single ? (flat ? 26 : 22) : 16;
        dv::drawText(caption, CGRectMake(0, 0, b.size.width, b.size.height - (flat ? 0 : 2)), UIFont::systemFontOfSize(size), ink,
            { .alignment = NSTextAlignmentCenter, .wrap = false, .centreVertically = true });
    }

private:
    // An upward arrow, filled while shift is on.
    void drawShift(CGRect b, const Ref<UIColor>& ink) const
    {
        const CGFloat cx = CGRectGetMidX(b), cy = CGRectGetMidY(b) - 1, s = std::min<CGFloat>(b.size.height * 0.42, 18);
        auto arrow = UIBezierPath::bezierPath();
        arrow->moveToPoint(CGPointMake(cx, cy - s / 2));
        arrow->addLineToPoint(CGPointMake(cx + s / 2, cy));
        arrow->addLineToPoint(CGPointMake(cx + s / 4, cy));
        arrow->addLineToPoint(CGPointMake(cx + s / 4, cy + s / 2));
        arrow->addLineToPoint(CGPointMake(cx - s / 4, cy + s / 2));
        arrow->addLineToPoint(CGPointMake(cx - s / 4, cy));
        arrow->addLineToPoint(CGPointMake(cx - s / 2, cy));
        arrow->closePath();
        ink->setFill();
        ink->setStroke();
        arrow->setLineWidth(1.5);
        if (on)
            arrow->fill();
        else
            arrow->stroke();
    }

    // A key-shaped outline pointing left with a cross in it.
    void drawErase(CGRect b, const Ref<UIColor>& ink) const
    {
        const CGFloat h = std::min<CGFloat>(b.size.height * 0.36, 16), w = h * 1.45;
        const CGFloat x = CGRectGetMidX(b) - w / 2, y = CGRectGetMidY(b) - 1 - h / 2;
        auto outline = UIBezierPath::bezierPath();
        outline->moveToPoint(CGPointMake(x, y + h / 2));
        outline->addLineToPoint(CGPointMake(x + h / 2, y));
        outline->addLineToPoint(CGPointMake(x + w, y));
        outline->addLineToPoint(CGPointMake(x + w, y + h));
        outline->addLineToPoint(CGPointMake(x + h / 2, y + h));
        outline->closePath();
        const CGFloat c = h * 0.22, mx = x + h / 2 + (w - h / 2) / 2, my = y + h / 2;
        outline->moveToPoint(CGPointMake(mx - c, my - c));
        outline->addLineToPoint(CGPointMake(mx + c, my + c));
        outline->moveToPoint(CGPointMake(mx + c, my - c));
        outline->addLineToPoint(CGPointMake(mx - c, my + c));
        outline->setLineWidth(1.5);
        ink->setStroke();
        outline->stroke();
    }
};

DV_DEFINE_CLASS(UIKeyboardKey)
DV_DEFINE_CLASS(UIKeyboardView)

namespace {

using Page = UIKeyboardView::Page;

constexpr CGFloat kGap = 6;       // between two keys of a row
constexpr CGFloat kKeyHeight = 42; // a key of the letter pages, centred in its row

struct KeySpec {
    KeyKind kind = KeyKind::character;
    KeyLook look = KeyLook::light;
    std::string caption;
    std::string output;
    Page target = Page::letters;
    bool digit = false;  // a digit of a digit pad: the digit above its letters
    std::string letters;
};

KeySpec character(std::string text, KeyLook look = KeyLook::light)
{
    KeySpec key;
    key.caption = text;
    key.output = std::move(text);
    key.look = look;
    return key;
}

KeySpec pageKey(std::string caption, Page target, KeyLook look = KeyLook::dark)
{
    KeySpec key;
    key.kind = KeyKind::page;
    key.look = look;
    key.caption = std::move(caption);
    key.target = target;
    return key;
}

KeySpec special(KeyKind kind, std::string caption, KeyLook look = KeyLook::dark)
{
    KeySpec key;
    key.kind = kind;
    key.look = look;
    key.caption = std::move(caption);
    return key;
}

std::vector<KeySpec> row(std::initializer_list<const char*> texts)
{
    std::vector<KeySpec> keys;
    for (const char* text : texts)
        keys.push_back(character(text));
    return keys;
}

bool isDigitPad(Page page) { return page == Page::digits || page == Page::decimalDigits || page == Page::phoneDigits || page == Page::phoneSymbols; }

Page firstPage(UIKeyboardType type)
{
    switch (type) {
    case UIKeyboardTypeNumberPad: return Page::digits;
    case UIKeyboardTypeDecimalPad: return Page::decimalDigits;
    case UIKeyboardTypePhonePad: return Page::phoneDigits;
    case UIKeyboardTypeNumbersAndPunctuation: return Page::numbers;
    default: return Page::letters;
    }
}

} // namespace

void UIKeyboardView::configure(UIKeyboardType type, UIReturnKeyType returnKeyType, bool returnNeedsText)
{
    m_page = firstPage(type);
    m_returnKeyType = returnKeyType;
    m_returnNeedsText = returnNeedsText;
    m_shifted = false;
    m_pressed = nil;
    handleBuild();
}

void UIKeyboardView::textChanged(bool hasText)
{
    m_hasText = hasText;
    for (auto& key : m_keys)
        if (key->kind == KeyKind::returnKey)
            key->setState(key->highlighted, false, hasText || !m_returnNeedsText);
}

void UIKeyboardView::layoutSubviews()
{
    UIView::layoutSubviews();
    if (bounds().size.width != m_builtWidth)
        handleBuild();
}

void UIKeyboardView::drawRect(CGRect)
{
    (isDigitPad(m_page) ? rgb(188, 192, 199) : rgb(209, 213, 219))->setFill();
    UIBezierPath::bezierPathWithRect(bounds())->fill();
}

void UIKeyboardView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    fields.emplace_back("title", returnKeyTitle(m_returnKeyType)->UTF8String());
    UIView::appendDescriptionFields(fields);
}

void UIKeyboardView::handleBuild()
{
    for (auto& key : m_keys)
        key->removeFromSuperview();
    m_keys.clear();
    m_pressed = nil;
    const CGSize size = bounds().size;
    m_builtWidth = size.width;
    if (size.width <= 0 || size.height <= 0)
        return;

    const bool returnEnabled = m_hasText || !m_returnNeedsText;
    auto add = [&](const KeySpec& spec, CGRect frame) {
        auto key = alloc<UIKeyboardKey>();
        key->initWithFrame(frame);
        key->setUserInteractionEnabled(false); // the keys view takes the touches
        key->setBackgroundColor(UIColor::clearColor());
        key->kind = spec.kind;
        key->look = spec.look;
        key->output = spec.output;
        key->caption = NSString::fromUTF8(spec.caption);
        key->letters = spec.digit ? NSString::fromUTF8(spec.letters) : nil;
        key->target = spec.target;
        key->on = spec.kind == KeyKind::shift && m_shifted;
        key->enabled = spec.kind != KeyKind::returnKey || returnEnabled;
        addSubview(key);
        m_keys.push_back(key);
    };
    const KeySpec erase = special(KeyKind::erase, "删除");
    const KeySpec returnKey = special(KeyKind::returnKey, returnKeyTitle(m_returnKeyType)->UTF8String(),
        m_returnKeyType == UIReturnKeyDefault ? KeyLook::dark : KeyLook::accent);

    if (isDigitPad(m_page)) {
        // Three columns of flat keys with hairlines between them.
        std::vector<KeySpec> keys;
        if (m_page == Page::phoneSymbols) {
            for (const char* text : { "*", "#", "+", "(", ")", "-", ",", ";", "/" })
                keys.push_back(character(text, KeyLook::flatLight));
        } else {
            const char* letters[] = { "", "ABC", "DEF", "GHI", "JKL", "MNO", "PQRS", "TUV", "WXYZ" };
            for (int digit = 1; digit <= 9; ++digit) {
                KeySpec key = character(std::to_string(digit), KeyLook::flatLight);
                key.digit = true;
                key.letters = letters[digit - 1];
                keys.push_back(key);
            }
        }
        switch (m_page) {
        case Page::decimalDigits: keys.push_back(character(".", KeyLook::flatDark)); break;
        case Page::phoneDigits: keys.push_back(pageKey("+*#", Page::phoneSymbols, KeyLook::flatDark)); break;
        case Page::phoneSymbols: keys.push_back(pageKey("123", Page::phoneDigits, KeyLook::flatDark)); break;
        default: keys.push_back(special(KeyKind::blank, "", KeyLook::flatDark)); break;
        }
        keys.push_back(character("0", KeyLook::flatLight));
        keys.back().digit = m_page != Page::phoneSymbols;
        if (m_page == Page::phoneDigits)
            keys.back().letters = "+";
        KeySpec flatErase = erase;
        flatErase.look = KeyLook::flatDark;
        keys.push_back(flatErase);
        const CGFloat columnWidth = size.width / 3, rowHeight = size.height / 4, hairline = 0.5;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const CGFloat column = CGFloat(i % 3), line = CGFloat(i / 3);
            const CGFloat left = column > 0 ? hairline : 0;
            add(keys[i], CGRectMake(column * columnWidth + left, line * rowHeight + hairline, columnWidth - left, rowHeight - hairline));
        }
        return;
    }

    // The letter pages: four rows, ten key widths across.
    const CGFloat unit = size.width / 10;
    const CGFloat pitch = size.height / 4;
    const CGFloat keyHeight = std::max<CGFloat>(std::min(kKeyHeight, pitch - 12), 1);
    auto rowTop = [&](int r) { return (pitch - keyHeight) / 2 + r * pitch; };
    auto placeRow = [&](const std::vector<KeySpec>& keys, int r, CGFloat width) {
        const CGFloat start = (size.width - width * CGFloat(keys.size())) / 2;
        for (std::size_t i = 0; i < keys.size(); ++i)
            add(keys[i], CGRectMake(start + CGFloat(i) * width + kGap / 2, rowTop(r), width - kGap, keyHeight));
        return start;
    };
    std::vector<KeySpec> first, second, third;
    KeySpec thirdLeft, bottomLeft;
    switch (m_page) {
    case Page::numbers:
        first = row({ "1", "2", "3", "4", "5", "6", "7", "8", "9", "0" });
        second = row({ "-", "/", ":", ";", "(", ")", "¥", "&", "@", "\"" });
        third = row({ ".", ",", "?", "!", "'" });
        thirdLeft = pageKey("#+=", Page::symbols);
        bottomLeft = pageKey("ABC", Page::letters);
        break;
    case Page::symbols:
        first = row({ "[", "]", "{", "}", "#", "%", "^", "*", "+", "=" });
        second = row({ "_", "\\", "|", "~", "<", ">", "€", "£", "$", "•" });
        third = row({ ".", ",", "?", "!", "'" });
        thirdLeft = pageKey("123", Page::numbers);
        bottomLeft = pageKey("ABC", Page::letters);
        break;
    default:
        first = row({ "q", "w", "e", "r", "t", "y", "u", "i", "o", "p" });
        second = row({ "a", "s", "d", "f", "g", "h", "j", "k", "l" });
        third = row({ "z", "x", "c", "v", "b", "n", "m" });
        thirdLeft = special(KeyKind::shift, "上档键");
        bottomLeft = pageKey("123", Page::numbers);
        if (m_shifted)
            for (auto* keys : { &first, &second, &third })
                for (auto& key : *keys) {
                    std::transform(key.caption.begin(), key.caption.end(), key.caption.begin(), [](unsigned char c) { return char(std::toupper(c)); });
                    key.output = key.caption;
                }
        break;
    }
    placeRow(first, 0, unit);
    placeRow(second, 1, unit);
    // The third row's keys stand in the middle, wider on the pages with fewer of them; shift (or
    // the page key) and delete take what is left at the ends.
    const CGFloat thirdWidth = third.size() == 7 ? unit : unit * 1.4;
    const CGFloat start = placeRow(third, 2, thirdWidth);
    const CGFloat sideWidth = std::max<CGFloat>(start - kGap / 2 - 3 - kGap, unit);
    add(thirdLeft, CGRectMake(3, rowTop(2), sideWidth, keyHeight));
    add(erase, CGRectMake(size.width - 3 - sideWidth, rowTop(2), sideWidth, keyHeight));
    // The bottom row: the page key, the space bar and the return key.
    const CGFloat leftWidth = unit * 1.25 - kGap, returnWidth = unit * 2.5 - kGap;
    add(bottomLeft, CGRectMake(3, rowTop(3), leftWidth, keyHeight));
    KeySpec space = special(KeyKind::space, "空格", KeyLook::light);
    space.output = " ";
    const CGFloat spaceX = 3 + leftWidth + kGap, returnX = size.width - 3 - returnWidth;
    add(space, CGRectMake(spaceX, rowTop(3), returnX - kGap - spaceX, keyHeight));
    add(returnKey, CGRectMake(returnX, rowTop(3), returnWidth, keyHeight));
}

// Touches

Ref<UIKeyboardKey> UIKeyboardView::handleKeyAt(CGPoint point) const
{
    // The key whose frame, widened over half the gaps around it, holds the point; a finger between
    // two rows counts for the nearer one.
    Ref<UIKeyboardKey> best;
    CGFloat bestDistance = 0;
    for (auto& key : m_keys) {
        const CGRect area = CGRectInset(key->frame(), -kGap / 2 - 0.5, -kGap);
        if (!CGRectContainsPoint(area, point))
            continue;
        const CGFloat distance = std::hypot(point.x - CGRectGetMidX(key->frame()), point.y - CGRectGetMidY(key->frame()));
        if (!best || distance < bestDistance) {
            best = key;
            bestDistance = distance;
        }
    }
    return best && best->kind != KeyKind::blank ? best : nil;
}

Ref<UIKeyboardKey> UIKeyboardView::handleTouchedKey(const Ref<NSSet>& touches) const
{
    auto touch = touches ? dv::as<UITouch>(touches->anyObject()) : nil;
    return touch ? handleKeyAt(touch->locationInView(std::const_pointer_cast<UIView>(self<UIView>()))) : nil;
}

void UIKeyboardView::handlePress(const Ref<UIKeyboardKey>& key)
{
    if (key == m_pressed)
        return;
    if (m_pressed)
        m_pressed->setState(false, m_pressed->on, m_pressed->enabled);
    m_pressed = key;
    if (key && key->enabled)
        key->setState(true, key->on, key->enabled);
}

void UIKeyboardView::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>&) { handlePress(handleTouchedKey(touches)); }

void UIKeyboardView::touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>&) { handlePress(handleTouchedKey(touches)); }

void UIKeyboardView::touchesCancelled(const Ref<NSSet>&, const Ref<UIEvent>&) { handlePress(nil); }

void UIKeyboardView::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    handlePress(handleTouchedKey(touches));
    auto key = std::exchange(m_pressed, nil);
    if (!key)
        return;
    key->setState(false, key->on, key->enabled);
    if (key->enabled)
        handleAct(key);
}

void UIKeyboardView::handleAct(const Ref<UIKeyboardKey>& key)
{
    auto keep = self<UIKeyboardView>(); // typing may take the keyboard away
    auto& keyboard = dv::internal::uikit::Keyboard::shared();
    auto responder = keyboard.responder();
    switch (key->kind) {
    case KeyKind::character:
    case KeyKind::space:
        if (m_shifted && key->kind == KeyKind::character) {
            // Shift holds for one letter.
            m_shifted = false;
            handleBuild();
        }
        dv::internal::uikit::Keyboard::insertText(responder, NSString::fromUTF8(key->output));
        break;
    case KeyKind::erase: dv::internal::uikit::Keyboard::deleteBackward(responder); break;
    case KeyKind::returnKey: dv::internal::uikit::Keyboard::pressReturn(responder); break;
    case KeyKind::shift:
        m_shifted = !m_shifted;
        handleBuild();
        break;
    case KeyKind::page:
        m_page = key->target;
        m_shifted = false;
        handleBuild();
        setNeedsDisplay();
        break;
    case KeyKind::blank: break;
    }
}
