#include "platform/ui/UIAlertView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/internal/AlertLayout.h"

#include <algorithm>

DV_DEFINE_CLASS(UIAlertView)

namespace {

constexpr CGFloat kWidth = 270;
constexpr CGFloat kPadding = 16;
constexpr CGFloat kTopPadding = 20;
constexpr CGFloat kTextGap = 4;
constexpr CGFloat kBottomPadding = 20;
constexpr CGFloat kButtonHeight = 44;
// Kept clear between an alert and the top and bottom of the part of the screen it may cover.
constexpr CGFloat kScreenMargin = 20;

} // namespace

using dv::internal::uikit::addHairline;
using dv::internal::uikit::addWrappedLabel;
using dv::internal::uikit::alertButtonColour;
using dv::internal::uikit::alertOpenArea;
using dv::internal::uikit::scrollBand;

Ref<UIAlertView> UIAlertView::init() { return initWithTitle(nil, nil, nil, nil, {}); }

Ref<UIAlertView> UIAlertView::initWithTitle(const Ref<NSString>& title, const Ref<NSString>& message, const Ref<UIAlertViewDelegate>& delegate,
    const Ref<NSString>& cancelButtonTitle, const std::vector<Ref<NSString>>& otherButtonTitles)
{
    UIView::initWithFrame(CGRectZero);
    m_title = dv::copyAs<NSString>(title);
    m_message = dv::copyAs<NSString>(message);
    m_delegate = delegate;
    if (cancelButtonTitle)
        m_cancelIndex = addButtonWithTitle(cancelButtonTitle);
    for (auto& other : otherButtonTitles)
        if (other)
            addButtonWithTitle(other);
    return self<UIAlertView>();
}

void UIAlertView::show() { present(nil); }

void UIAlertView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    UIAlertBase::appendDescriptionFields(fields);
    if (m_message)
        fields.emplace_back("message", dv::str(m_message));
}

void UIAlertView::layoutInWindow(CGRect windowBounds)
{
    const auto old = subviews();
    for (auto& view : old->items())
        std::static_pointer_cast<UIView>(view)->removeFromSuperview();
    m_buttons.assign(std::size_t(numberOfButtons()), nil);
    auto me = self<UIView>();

    CGFloat y = kTopPadding;
    const CGFloat textWidth = kWidth - 2 * kPadding;
    CGFloat titleBottom = 0;
    if (m_title && m_title->length() > 0) {
        y += addWrappedLabel(me, m_title, UIFont::boldSystemFontOfSize(17), UIColor::blackColor(), kPadding, y, textWidth);
        titleBottom = y;
        if (m_message && m_message->length() > 0)
            y += kTextGap;
    }
    if (m_message && m_message->length() > 0)
        y += addWrappedLabel(me, m_message, UIFont::systemFontOfSize(14), UIColor::blackColor(), kPadding, y, textWidth);
    y += kBottomPadding;
    const CGFloat textBottom = y;

    // Display order: two buttons side by side (cancel on the left), otherwise one per row with
    // the cancel button at the bottom.
    std::vector<NSInteger> order;
    for (NSInteger i = 0; i < numberOfButtons(); ++i)
        if (i != m_cancelIndex)
            order.push_back(i);
    if (m_cancelIndex >= 0)
        order.insert(numberOfButtons() == 2 ? order.begin() : order.end(), m_cancelIndex);
    auto makeFor = [&](NSInteger index, CGRect frame) {
        auto button = makeButton(index);
        button->setFrame(frame);
        button->titleLabel()->setFont(index == m_cancelIndex ? UIFont::boldSystemFontOfSize(17) : UIFont::systemFontOfSize(17));
        button->setTitleColor(alertButtonColour(), UIControlStateNormal);
        button->setBackgroundColor(UIColor::clearColor());
        addSubview(button);
        m_buttons[std::size_t(index)] = button;
    };
    if (order.size() == 2) {
        addHairline(me, CGRectMake(0, y, kWidth, 0.5));
        addHairline(me, CGRectMake(kWidth / 2, y, 0.5, kButtonHeight));
        makeFor(order[0], CGRectMake(0, y, kWidth / 2, kButtonHeight));
        makeFor(order[1], CGRectMake(kWidth / 2, y, kWidth / 2, kButtonHeight));
        y += kButtonHeight;
    } else {
        for (auto index : order) {
            addHairline(me, CGRectMake(0, y, kWidth, 0.5));
            makeFor(index, CGRectMake(0, y, kWidth, kButtonHeight));
            y += kButtonHeight;
        }
    }
    setBackgroundColor(UIColor::colorWithWhite(0.97, 1));
    layer()->setCornerRadius(7);
    setClipsToBounds(true);

    // Never taller than the screen shows uncovered, less its margins. Past that the text and the
    // buttons share the height: each keeps what it needs up to half of it, and the one that needs
    // more has the rest and scrolls within it. The title stays above a scrolling message unless it
    // would take more than half of the text's part; then it scrolls with the message.
    const CGRect open = alertOpenArea(windowBounds);
    const CGFloat limit = std::max(open.size.height - 2 * kScreenMargin, 3 * kButtonHeight);
    CGFloat height = y;
    if (height > limit) {
        const CGFloat buttonsHeight = y - textBottom;
        const CGFloat buttonsShown
            = buttonsHeight <= limit / 2 ? buttonsHeight : std::max(limit / 2, limit - textBottom);
        const CGFloat textShown = limit - buttonsShown;
        if (buttonsShown < buttonsHeight)
            scrollBand(me, CGRectMake(0, textBottom, kWidth, buttonsHeight), buttonsShown);
        if (textShown < textBottom) {
            const bool titleStays = titleBottom > 0 && titleBottom <= textShown / 2;
            // Lines scrolled away are cut a little below the title, where the message begins.
            const CGFloat top = titleStays ? titleBottom + kTextGap : 0;
            scrollBand(me, CGRectMake(0, top, kWidth, textBottom - top), textShown - top);
        }
        height = limit;
    }
    const CGFloat centred = windowBounds.origin.y + (windowBounds.size.height - height) / 2;
    const CGFloat highest = CGRectGetMinY(open) + kScreenMargin, lowest = CGRectGetMaxY(open) - kScreenMargin - height;
    setFrame(CGRectMake(windowBounds.origin.x + (windowBounds.size.width - kWidth) / 2,
        std::max(std::min(centred, lowest), highest), kWidth, height));
}

void UIAlertView::notifyWillPresent()
{
    if (auto d = delegate())
        d->willPresentAlertView(self<UIAlertView>());
}

void UIAlertView::notifyDidPresent()
{
    if (auto d = delegate())
        d->didPresentAlertView(self<UIAlertView>());
}

void UIAlertView::notifyClicked(NSInteger index)
{
    if (auto d = delegate())
        d->alertViewClickedButtonAtIndex(self<UIAlertView>(), index);
}

void UIAlertView::notifyWillDismiss(NSInteger index)
{
    if (auto d = delegate())
        d->alertViewWillDismissWithButtonIndex(self<UIAlertView>(), index);
}

void UIAlertView::notifyDidDismiss(NSInteger index)
{
    if (auto d = delegate())
        d->alertViewDidDismissWithButtonIndex(self<UIAlertView>(), index);
}
