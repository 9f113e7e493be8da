#include "platform/ui/UIActionSheet.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/AlertLayout.h"

#include <algorithm>

DV_DEFINE_CLASS(UIActionSheet)

namespace {

constexpr CGFloat kMargin = 8;
constexpr CGFloat kButtonHeight = 44;
constexpr CGFloat kTitlePadding = 14;
constexpr CGFloat kCornerRadius = 4;
// Kept clear between a sheet and the top of the part of the screen it may cover.
constexpr CGFloat kScreenMargin = 20;

Ref<UIView> roundedGroup(CGRect frame)
{
    auto group = alloc<UIView>()->initWithFrame(frame);
    group->setBackgroundColor(UIColor::colorWithWhite(0.97, 1));
    group->layer()->setCornerRadius(kCornerRadius);
    group->setClipsToBounds(true);
    return group;
}

} // namespace

using dv::internal::uikit::addHairline;
using dv::internal::uikit::addWrappedLabel;
using dv::internal::uikit::alertButtonColour;
using dv::internal::uikit::alertDestructiveColour;
using dv::internal::uikit::alertOpenArea;
using dv::internal::uikit::scrollBand;

Ref<UIActionSheet> UIActionSheet::init() { return initWithTitle(nil, nil, nil, nil, {}); }

Ref<UIActionSheet> UIActionSheet::initWithTitle(const Ref<NSString>& title, const Ref<UIActionSheetDelegate>& delegate,
    const Ref<NSString>& cancelButtonTitle, const Ref<NSString>& destructiveButtonTitle, const std::vector<Ref<NSString>>& otherButtonTitles)
{
    UIView::initWithFrame(CGRectZero);
    m_title = dv::copyAs<NSString>(title);
    m_delegate = delegate;
    if (destructiveButtonTitle)
        m_destructiveIndex = addButtonWithTitle(destructiveButtonTitle);
    for (auto& other : otherButtonTitles)
        if (other)
            addButtonWithTitle(other);
    if (cancelButtonTitle)
        m_cancelIndex = addButtonWithTitle(cancelButtonTitle);
    return self<UIActionSheet>();
}

void UIActionSheet::setDestructiveButtonIndex(NSInteger index)
{
    m_destructiveIndex = index >= 0 && index < numberOfButtons() ? index : -1;
}

void UIActionSheet::showInView(const Ref<UIView>& view) { present(view ? view->window() : nil); }

void UIActionSheet::layoutInWindow(CGRect windowBounds)
{
    const auto old = subviews();
    for (auto& view : old->items())
        std::static_pointer_cast<UIView>(view)->removeFromSuperview();
    m_buttons.assign(std::size_t(numberOfButtons()), nil);
    const CGFloat width = windowBounds.size.width - 2 * kMargin;

    // The group: the title, then every button but the cancel one, in index order.
    auto group = roundedGroup(CGRectMake(kMargin, 0, width, 0));
    CGFloat y = 0;
    if (m_title && m_title->length() > 0) {
        y += kTitlePadding;
        y += addWrappedLabel(group, m_title, UIFont::systemFontOfSize(13), UIColor::colorWithWhite(0.56, 1), kMargin, y, width - 2 * kMargin);
        y += kTitlePadding;
    }
    bool first = y == 0;
    for (NSInteger i = 0; i < numberOfButtons(); ++i) {
        if (i == m_cancelIndex)
            continue;
        if (!first)
            addHairline(group, CGRectMake(0, y, width, 0.5));
        first = false;
        auto button = makeButton(i);
        button->setFrame(CGRectMake(0, y, width, kButtonHeight));
        button->titleLabel()->setFont(UIFont::systemFontOfSize(20));
        button->setTitleColor(i == m_destructiveIndex ? alertDestructiveColour() : alertButtonColour(), UIControlStateNormal);
        group->addSubview(button);
        m_buttons[std::size_t(i)] = button;
        y += kButtonHeight;
    }
    // Never taller than the screen shows uncovered, less a margin at the top: past that the title
    // and the buttons scroll inside their group, and the cancel button stays under it.
    const CGRect open = alertOpenArea(windowBounds);
    const CGFloat cancelPart = m_cancelIndex >= 0 ? kMargin + kButtonHeight : 0;
    const CGFloat room = std::max(open.size.height - kScreenMargin - cancelPart - kMargin, 2 * kButtonHeight);
    CGFloat height = 0;
    if (y > 0) {
        group->setFrame(CGRectMake(kMargin, 0, width, std::min(y, room)));
        if (y > room)
            scrollBand(group, CGRectMake(0, 0, width, y), room);
        addSubview(group);
        height = group->frame().size.height;
    }
    if (m_cancelIndex >= 0) {
        if (height > 0)
            height += kMargin;
        auto cancel = roundedGroup(CGRectMake(kMargin, height, width, kButtonHeight));
        auto button = makeButton(m_cancelIndex);
        button->setFrame(CGRectMake(0, 0, width, kButtonHeight));
        button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(20));
        button->setTitleColor(alertButtonColour(), UIControlStateNormal);
        cancel->addSubview(button);
        m_buttons[std::size_t(m_cancelIndex)] = button;
        addSubview(cancel);
        height += kButtonHeight;
    }
    height += kMargin;
    setBackgroundColor(UIColor::clearColor());
    setFrame(CGRectMake(windowBounds.origin.x, CGRectGetMaxY(open) - height, windowBounds.size.width, height));
}

void UIActionSheet::notifyWillPresent()
{
    if (auto d = delegate())
        d->willPresentActionSheet(self<UIActionSheet>());
}

void UIActionSheet::notifyDidPresent()
{
    if (auto d = delegate())
        d->didPresentActionSheet(self<UIActionSheet>());
}

void UIActionSheet::notifyClicked(NSInteger index)
{
    if (auto d = delegate())
        d->actionSheetClickedButtonAtIndex(self<UIActionSheet>(), index);
}

void UIActionSheet::notifyWillDismiss(NSInteger index)
{
    if (auto d = delegate())
        d->actionSheetWillDismissWithButtonIndex(self<UIActionSheet>(), index);
}

void UIActionSheet::notifyDidDismiss(NSInteger index)
{
    if (auto d = delegate())
        d->actionSheetDidDismissWithButtonIndex(self<UIActionSheet>(), index);
}
