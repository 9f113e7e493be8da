#include "platform/ui/internal/PickerColumn.h"

#include "platform/base/NSSet.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UITouch.h"

#include <algorithm>
#include <cmath>

namespace dv::internal::uikit {

Ref<PickerColumn> PickerColumn::make(const Ref<UIPickerView>& picker, NSInteger component)
{
    auto column = alloc<PickerColumn>();
    column->initWithFrame(CGRectZero);
    column->m_picker = picker;
    column->m_component = component;
    column->setDelegate(column);
    column->setShowsVerticalScrollIndicator(false);
    column->setAlwaysBounceVertical(true);
    return column;
}

CGFloat PickerColumn::offsetForRow(NSInteger row) const { return CGFloat(std::max<NSInteger>(row, 0)) * m_rowHeight - contentInset().top; }

NSInteger PickerColumn::rowInBand() const
{
    if (m_rows <= 0 || m_rowHeight <= 0)
        return -1;
    const NSInteger row = NSInteger(std::llround((contentOffset().y + contentInset().top) / m_rowHeight));
    return std::clamp<NSInteger>(row, 0, m_rows - 1);
}

Ref<UIView> PickerColumn::viewForRow(NSInteger row) const
{
    auto it = m_shown.find(row);
    return it == m_shown.end() ? nil : it->second.view;
}

void PickerColumn::handleInsets()
{
    const CGFloat inset = std::max<CGFloat>((bounds().size.height - m_rowHeight) / 2, 0);
    setContentInset(UIEdgeInsetsMake(inset, 0, inset, 0));
}

void PickerColumn::reload(NSInteger rows, CGFloat rowHeight, NSInteger row)
{
    for (auto& [index, shown] : std::exchange(m_shown, {}))
        handleRecycle(shown);
    m_rows = std::max<NSInteger>(rows, 0);
    m_rowHeight = rowHeight > 0 ? rowHeight : 32;
    setContentSize(CGSizeMake(bounds().size.width, CGFloat(m_rows) * m_rowHeight));
    handleInsets();
    showRow(row, false);
    setNeedsLayout();
}

void PickerColumn::showRow(NSInteger row, bool animated)
{
    m_turnedByPerson = false;
    setContentOffset(CGPointMake(0, offsetForRow(row)), animated);
}

void PickerColumn::setFrame(CGRect frame)
{
    const CGSize before = bounds().size;
    const NSInteger row = rowInBand();
    UIScrollView::setFrame(frame);
    if (CGSizeEqualToSize(before, bounds().size))
        return;
    setContentSize(CGSizeMake(bounds().size.width, CGFloat(m_rows) * m_rowHeight));
    handleInsets();
    showRow(row, false);
}

void PickerColumn::handleRecycle(Shown shown)
{
    shown.view->removeFromSuperview();
    // Given back as it was made: upright and opaque.
    shown.view->setTransform(CGAffineTransformIdentity);
    shown.view->setAlpha(1);
    (shown.own ? m_freeLabels : m_freeViews).push_back(std::move(shown.view));
}

// The wheel is a drum seen from the front: a row at the arc distance d from the middle of the
// band stands at the angle d / R on a drum of radius R (half the wheel's height), and shows at
// R × sin(angle) from the middle, as tall as its arc projects, narrower and fainter the further
// it has turned away. Rows past a quarter turn are out of sight, so none is cut by the wheel's
// edges.
CGFloat PickerColumn::handleRadius() const { return bounds().size.height / 2; }

CGFloat PickerColumn::handleBandMiddle() const { return contentOffset().y + handleRadius(); }

NSInteger PickerColumn::handleRowAt(CGFloat y) const
{
    const CGFloat radius = handleRadius();
    if (radius <= 0 || m_rowHeight <= 0)
        return NSInteger(std::floor(y / std::max<CGFloat>(m_rowHeight, 1)));
    const CGFloat middle = handleBandMiddle();
    const CGFloat along = std::asin(std::clamp<CGFloat>((y - middle) / radius, -1, 1)) * radius;
    return NSInteger(std::floor((middle + along) / m_rowHeight));
}

void PickerColumn::handlePlaceOnDrum(UIView& view, NSInteger row) const
{
    const CGFloat width = bounds().size.width;
    const CGFloat radius = handleRadius();
    view.setTransform(CGAffineTransformIdentity);
    if (radius <= 0) {
        view.setFrame(CGRectMake(0, CGFloat(row) * m_rowHeight, width, m_rowHeight));
        return;
    }
    const CGFloat middle = handleBandMiddle();
    auto angle = [&](CGFloat y) { return std::clamp<CGFloat>((y - middle) / radius, -M_PI_2, M_PI_2); };
    const CGFloat top = radius * std::sin(angle(CGFloat(row) * m_rowHeight));
    const CGFloat bottom = radius * std::sin(angle(CGFloat(row + 1) * m_rowHeight));
    const CGFloat turned = std::cos(angle((CGFloat(row) + 0.5) * m_rowHeight));
    view.setBounds(CGRectMake(0, 0, width, m_rowHeight));
    view.setCenter(CGPointMake(width / 2, middle + (top + bottom) / 2));
    view.setTransform(CGAffineTransformMakeScale(0.85 + 0.15 * turned, std::max<CGFloat>((bottom - top) / m_rowHeight, 0.001)));
    view.setAlpha(turned * turned);
}

void PickerColumn::layoutSubviews()
{
    UIScrollView::layoutSubviews();
    auto picker = m_picker.lock();
    // The rows within a quarter turn of the band's middle (or, on a flat wheel, on its visible part).
    const CGFloat reach = handleRadius() > 0 ? handleRadius() * M_PI_2 : bounds().size.height / 2;
    const CGFloat middle = handleBandMiddle();
    NSInteger first = 0, last = -1;
    if (m_rows > 0 && m_rowHeight > 0) {
        first = std::max<NSInteger>(0, NSInteger(std::floor((middle - reach) / m_rowHeight)));
        last = std::min<NSInteger>(m_rows - 1, NSInteger(std::ceil((middle + reach) / m_rowHeight)) - 1);
    }
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (it->first >= first && it->first <= last) {
            ++it;
            continue;
        }
        handleRecycle(it->second);
        it = m_shown.erase(it);
    }
    auto delegate = picker ? picker->delegate() : nil;
    for (NSInteger row = first; row <= last; ++row) {
        auto it = m_shown.find(row);
        if (it == m_shown.end()) {
            Shown shown;
            Ref<UIView> spare;
            if (!m_freeViews.empty()) {
                spare = std::move(m_freeViews.back());
                m_freeViews.pop_back();
            }
            if (delegate)
                shown.view = delegate->pickerViewViewForRowForComponentReusingView(picker, row, m_component, spare);
            if (spare && shown.view != spare)
                m_freeViews.push_back(spare);
            if (!shown.view) {
                Ref<UILabel> label;
                if (!m_freeLabels.empty()) {
                    label = dv::as<UILabel>(m_freeLabels.back());
                    m_freeLabels.pop_back();
                } else {
                    label = alloc<UILabel>()->init();
                    label->setFont(UIFont::systemFontOfSize(20));
                    label->setTextAlignment(NSTextAlignmentCenter);
                }
                label->setText(delegate ? delegate->pickerViewTitleForRowForComponent(picker, row, m_component) : nil);
                shown.view = label;
                shown.own = true;
            }
            if (shown.view->superview().get() != this)
                addSubview(shown.view);
            it = m_shown.emplace(row, std::move(shown)).first;
        }
        handlePlaceOnDrum(*it->second.view, row);
    }
}

// A person's turn

void PickerColumn::touchesBegan(const Ref<NSSet>&, const Ref<UIEvent>&) { }

void PickerColumn::touchesMoved(const Ref<NSSet>&, const Ref<UIEvent>&) { }

void PickerColumn::touchesCancelled(const Ref<NSSet>&, const Ref<UIEvent>&) { }

void PickerColumn::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    auto touch = dv::as<UITouch>(touches->anyObject());
    if (!touch || m_rows <= 0)
        return;
    NSInteger row = rowInBand();
    if (!lastTouchStoppedScrolling()) {
        // A tap on another row turns the wheel to it.
        const NSInteger tapped = handleRowAt(touch->locationInView(self<UIView>()).y);
        if (tapped < 0 || tapped >= m_rows || tapped == row)
            return;
        row = tapped;
    }
    // A tap that stopped the wheel between two rows lets it settle on the nearer one.
    const CGFloat target = offsetForRow(row);
    if (contentOffset().y == target) {
        m_turnedByPerson = true;
        handleRest();
        return;
    }
    setContentOffset(CGPointMake(0, target), true);
    m_turnedByPerson = true;
}

bool PickerColumn::scrollViewWillBeginDragging(const Ref<UIScrollView>&)
{
    m_turnedByPerson = true;
    return true;
}

bool PickerColumn::scrollViewWillEndDragging(const Ref<UIScrollView>&, CGPoint, CGPoint* target)
{
    if (m_rows > 0) {
        const NSInteger row = std::clamp<NSInteger>(NSInteger(std::llround((target->y + contentInset().top) / m_rowHeight)), 0, m_rows - 1);
        target->y = offsetForRow(row);
    }
    target->x = 0;
    return true;
}

bool PickerColumn::scrollViewDidEndDragging(const Ref<UIScrollView>&, bool willDecelerate)
{
    if (!willDecelerate)
        handleRest();
    return true;
}

bool PickerColumn::scrollViewDidEndDecelerating(const Ref<UIScrollView>&)
{
    // Stopped by a finger: the wheel waits for what that finger does.
    if (!isTracking())
        handleRest();
    return true;
}

bool PickerColumn::scrollViewDidEndScrollingAnimation(const Ref<UIScrollView>&)
{
    handleRest();
    return true;
}

void PickerColumn::handleRest()
{
    if (!std::exchange(m_turnedByPerson, false))
        return;
    const NSInteger row = rowInBand();
    if (auto picker = m_picker.lock(); picker && row >= 0)
        picker->handleUserSelectedRow(m_component, row);
}

} // namespace dv::internal::uikit
