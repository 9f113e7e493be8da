#include "platform/ui/internal/PickerColumn.h"

#include "platform/base/NSSet.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UITouch.h"

#include <algorithm>
#include <cmath>

namespace dv::internal {

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
    (shown.own ? m_freeLabels : m_freeViews).push_back(std::move(shown.view));
}

void PickerColumn::layoutSubviews()
{
    UIScrollView::layoutSubviews();
    auto picker = m_picker.lock();
    const CGRect visible = bounds();
    NSInteger first = 0, last = -1;
    if (m_rows > 0 && m_rowHeight > 0) {
        first = std::max<NSInteger>(0, NSInteger(std::floor(CGRectGetMinY(visible) / m_rowHeight)));
        last = std::min<NSInteger>(m_rows - 1, NSInteger(std::ceil(CGRectGetMaxY(visible) / m_rowHeight)) - 1);
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
        it->second.view->setFrame(CGRectMake(0, CGFloat(row) * m_rowHeight, visible.size.width, m_rowHeight));
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
        const CGFloat y = touch->locationInView(self<UIView>()).y;
        const NSInteger tapped = NSInteger(std::floor(y / m_rowHeight));
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

} // namespace dv::internal
