#include "platform/ui/UISwitch.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/ui/UIBezierPath.h"
#include "platform/ui/UIPanGestureRecognizer.h"
#include "platform/ui/UITouch.h"

#include <cmath>

DV_DEFINE_CLASS_WITH(UISwitch, b)
{
    b.property<bool>("on", "TB,N,GisOn", [](const UISwitch& s) { return s.isOn(); }, [](UISwitch& s, bool on) { s.setOn(on); });
}

namespace {

constexpr CGSize kSize {51, 31};
// A finger that moves this far from where it landed drags the thumb.
constexpr CGFloat kDragDistance = 5;

} // namespace

Ref<UISwitch> UISwitch::init() { return initWithFrame(CGRectZero); }

Ref<UISwitch> UISwitch::initWithFrame(CGRect frame)
{
    UIControl::initWithFrame(CGRectMake(frame.origin.x, frame.origin.y, kSize.width, kSize.height));
    setOpaque(false);
    return self<UISwitch>();
}

void UISwitch::setFrame(CGRect frame) { UIControl::setFrame(CGRectMake(frame.origin.x, frame.origin.y, kSize.width, kSize.height)); }

CGSize UISwitch::sizeThatFits(CGSize) const { return kSize; }

CGSize UISwitch::intrinsicContentSize() const { return kSize; }

void UISwitch::setOn(bool on) { setOn(on, false); }

void UISwitch::setOn(bool on, bool)
{
    if (on == m_on)
        return;
    m_on = on;
    setNeedsDisplay();
}

void UISwitch::setOnTintColor(const Ref<UIColor>& color)
{
    m_onTintColor = color;
    setNeedsDisplay();
}

void UISwitch::setThumbTintColor(const Ref<UIColor>& color)
{
    m_thumbTintColor = color;
    setNeedsDisplay();
}

void UISwitch::handleUserSet(bool on)
{
    if (on == m_on)
        return;
    setOn(on, true);
    sendActionsForControlEvents(UIControlEventValueChanged);
}

bool UISwitch::beginTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event)
{
    UIControl::beginTrackingWithTouch(touch, event);
    m_dragged = false;
    m_touchStart = touch->locationInView(nil);
    return true;
}

bool UISwitch::continueTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event)
{
    UIControl::continueTrackingWithTouch(touch, event);
    const CGPoint now = touch->locationInView(nil);
    if (std::hypot(now.x - m_touchStart.x, now.y - m_touchStart.y) > kDragDistance)
        m_dragged = true;
    return true;
}

void UISwitch::endTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event)
{
    UIControl::endTrackingWithTouch(touch, event);
    const bool dragged = std::exchange(m_dragged, false);
    if (dragged)
        handleUserSet(touch->locationInView(self<UISwitch>()).x > CGRectGetMidX(bounds()));
    else if (isTouchInside())
        handleUserSet(!m_on);
}

void UISwitch::drawRect(CGRect)
{
    const CGRect b = CGRectInset(bounds(), 0.5, 0.5);
    const CGFloat radius = b.size.height / 2;
    auto track = UIBezierPath::bezierPathWithRoundedRect(b, radius);
    if (m_on) {
        (m_onTintColor ? m_onTintColor : UIColor::colorWithRed(0.3, 0.85, 0.39, 1))->setFill();
        track->fill();
    } else {
        UIColor::whiteColor()->setFill();
        track->fill();
        UIColor::colorWithWhite(0.9, 1)->setStroke();
        track->setLineWidth(1);
        track->stroke();
    }
    const CGFloat side = b.size.height - 2;
    const CGFloat x = m_on ? CGRectGetMaxX(b) - side - 1 : b.origin.x + 1;
    auto thumb = UIBezierPath::bezierPathWithOvalInRect(CGRectMake(x, b.origin.y + 1, side, side));
    (m_thumbTintColor ? m_thumbTintColor : UIColor::whiteColor())->setFill();
    thumb->fill();
    UIColor::colorWithWhite(0.8, 1)->setStroke();
    thumb->setLineWidth(0.5);
    thumb->stroke();
}

bool UISwitch::gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer)
{
    // A sideways drag over the switch moves its thumb, not a surrounding pan.
    if (auto pan = dv::as<UIPanGestureRecognizer>(recognizer); pan && pan->view().get() != this) {
        const CGPoint t = pan->translationInView(nil);
        if (std::abs(t.x) > std::abs(t.y))
            return false;
    }
    return UIControl::gestureRecognizerShouldBegin(recognizer);
}

Ref<NSString> UISwitch::accessibilityValue() const
{
    if (auto value = UIControl::accessibilityValue())
        return value;
    return m_on ? "1"_ns : "0"_ns;
}

bool UISwitch::accessibilityActivate()
{
    handleUserSet(!m_on);
    return true;
}

void UISwitch::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    fields.emplace_back("on", m_on ? "YES" : "NO");
    UIControl::appendDescriptionFields(fields);
}
