#include "platform/ui/UITableViewCell.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIBezierPath.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/internal/ViewSlot.h"

#include <algorithm>
#include <cmath>

DV_DEFINE_CLASS(UITableViewCell)

namespace {

constexpr CGFloat kMargin = 15;

// The standard accessories, drawn: a grey chevron, a checkmark and an "i" in a circle in the
// tint colour.
class AccessoryView : public UIView {
public:
    UITableViewCellAccessoryType type = UITableViewCellAccessoryNone;

    static Ref<AccessoryView> make(UITableViewCellAccessoryType type)
    {
        auto view = alloc<AccessoryView>();
        view->type = type;
        CGSize size = CGSizeMake(8, 13);
        if (type == UITableViewCellAccessoryCheckmark)
            size = CGSizeMake(14, 11);
        else if (type == UITableViewCellAccessoryDetailButton)
            size = CGSizeMake(22, 22);
        else if (type == UITableViewCellAccessoryDetailDisclosureButton)
            size = CGSizeMake(22 + 15 + 8, 22);
        view->initWithFrame(CGRectMake(0, 0, size.width, size.height));
        view->setOpaque(false);
        view->setUserInteractionEnabled(false);
        return view;
    }

    void drawRect(CGRect) override
    {
        const CGRect b = bounds();
        if (type == UITableViewCellAccessoryCheckmark) {
            auto path = UIBezierPath::bezierPath();
            path->moveToPoint(CGPointMake(1, b.size.height * 0.55));
            path->addLineToPoint(CGPointMake(b.size.width * 0.38, b.size.height - 1.5));
            path->addLineToPoint(CGPointMake(b.size.width - 1, 1));
            path->setLineWidth(2);
            tintColor()->setStroke();
            path->stroke();
            return;
        }
        CGFloat chevronX = 0;
        if (type == UITableViewCellAccessoryDetailButton || type == UITableViewCellAccessoryDetailDisclosureButton) {
            auto circle = UIBezierPath::bezierPathWithOvalInRect(CGRectMake(1, 1, 20, 20));
            circle->setLineWidth(1);
            tintColor()->setStroke();
            circle->stroke();
            auto stem = UIBezierPath::bezierPath();
            stem->moveToPoint(CGPointMake(11, 9));
            stem->addLineToPoint(CGPointMake(11, 16));
            stem->moveToPoint(CGPointMake(11, 6));
            stem->addLineToPoint(CGPointMake(11, 7));
            stem->setLineWidth(2);
            stem->stroke();
            if (type == UITableViewCellAccessoryDetailButton)
                return;
            chevronX = 22 + 15;
        }
        const CGFloat top = (b.size.height - 13) / 2;
        auto chevron = UIBezierPath::bezierPath();
        chevron->moveToPoint(CGPointMake(chevronX + 1, top + 1));
        chevron->addLineToPoint(CGPointMake(chevronX + 7, top + 6.5));
        chevron->addLineToPoint(CGPointMake(chevronX + 1, top + 12));
        chevron->setLineWidth(2);
        UIColor::colorWithRed(199 / 255.0, 199 / 255.0, 204 / 255.0, 1)->setStroke();
        chevron->stroke();
    }
};

Ref<UILabel> makeLabel(CGFloat size, Ref<UIColor> color)
{
    auto label = alloc<UILabel>()->init();
    label->setFont(UIFont::systemFontOfSize(size));
    label->setTextColor(color);
    label->setBackgroundColor(UIColor::clearColor());
    return label;
}

Ref<UIColor> greyText() { return UIColor::colorWithRed(142 / 255.0, 142 / 255.0, 147 / 255.0, 1); }

} // namespace

UITableViewCell::UITableViewCell() = default;

UITableViewCell::~UITableViewCell() = default;

Ref<UITableViewCell> UITableViewCell::init() { return initWithStyle(UITableViewCellStyleDefault, nil); }

Ref<UITableViewCell> UITableViewCell::initWithFrame(CGRect frame)
{
    initWithStyle(UITableViewCellStyleDefault, nil);
    setFrame(frame);
    return self<UITableViewCell>();
}

Ref<UITableViewCell> UITableViewCell::initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
{
    UIView::initWithFrame(CGRectMake(0, 0, 320, 44));
    m_style = style;
    m_reuseIdentifier = reuseIdentifier ? dv::as<NSString>(reuseIdentifier->copy()) : nil;
    m_contentView = alloc<UIView>()->initWithFrame(bounds());
    m_contentView->setBackgroundColor(UIColor::clearColor());
    addSubview(m_contentView);
    m_separator = alloc<UIView>()->init();
    m_separator->setHidden(true);
    m_separator->setUserInteractionEnabled(false);
    addSubview(m_separator);
    return self<UITableViewCell>();
}

Ref<UILabel> UITableViewCell::textLabel()
{
    if (!m_textLabel) {
        const bool small = m_style == UITableViewCellStyleValue2;
        m_textLabel = makeLabel(small ? 12 : 18, small ? tintColor() : UIColor::blackColor());
        if (small)
            m_textLabel->setTextAlignment(NSTextAlignmentRight);
        m_contentView->addSubview(m_textLabel);
        setNeedsLayout();
    }
    return m_textLabel;
}

Ref<UILabel> UITableViewCell::detailTextLabel()
{
    if (m_style == UITableViewCellStyleDefault)
        return nil;
    if (!m_detailTextLabel) {
        if (m_style == UITableViewCellStyleSubtitle)
            m_detailTextLabel = makeLabel(12, UIColor::blackColor());
        else if (m_style == UITableViewCellStyleValue1)
            m_detailTextLabel = makeLabel(18, greyText());
        else
            m_detailTextLabel = makeLabel(15, UIColor::blackColor());
        if (m_style == UITableViewCellStyleValue1)
            m_detailTextLabel->setTextAlignment(NSTextAlignmentRight);
        m_contentView->addSubview(m_detailTextLabel);
        setNeedsLayout();
    }
    return m_detailTextLabel;
}

Ref<UIImageView> UITableViewCell::imageView()
{
    if (!m_imageView) {
        m_imageView = alloc<UIImageView>()->init();
        m_contentView->addSubview(m_imageView);
        setNeedsLayout();
    }
    return m_imageView;
}

void UITableViewCell::setAccessoryType(UITableViewCellAccessoryType type)
{
    if (type == m_accessoryType)
        return;
    m_accessoryType = type;
    if (m_standardAccessory) {
        m_standardAccessory->removeFromSuperview();
        m_standardAccessory = nil;
    }
    if (type != UITableViewCellAccessoryNone && !m_accessoryView) {
        m_standardAccessory = AccessoryView::make(type);
        insertSubviewAboveSubview(m_standardAccessory, m_contentView);
    }
    setNeedsLayout();
}

void UITableViewCell::setAccessoryView(const Ref<UIView>& view)
{
    if (!dv::internal::uikit::replaceViewInSlot(m_accessoryView, view, [&](const Ref<UIView>& accessory) { insertSubviewAboveSubview(accessory, m_contentView); }))
        return;
    if (m_standardAccessory)
        m_standardAccessory->setHidden(bool(view));
    setNeedsLayout();
}

Ref<UIView> UITableViewCell::handleAccessory() const
{
    if (m_accessoryView)
        return m_accessoryView;
    return m_standardAccessory;
}

void UITableViewCell::setSelected(bool selected, bool)
{
    m_selected = selected;
    handleSelectionLook();
}

void UITableViewCell::setHighlighted(bool highlighted, bool)
{
    m_highlighted = highlighted;
    handleSelectionLook();
}

void UITableViewCell::handleSelectionLook()
{
    const bool shows = (m_selected || m_highlighted) && m_selectionStyle != UITableViewCellSelectionStyleNone;
    if (!shows) {
        if (m_selectedBackgroundView)
            m_selectedBackgroundView->setHidden(true);
        return;
    }
    if (!m_selectedBackgroundView) {
        auto grey = alloc<UIView>()->initWithFrame(bounds());
        grey->setBackgroundColor(UIColor::colorWithRed(217 / 255.0, 217 / 255.0, 217 / 255.0, 1));
        setSelectedBackgroundView(grey);
    }
    m_selectedBackgroundView->setHidden(false);
}

void UITableViewCell::setBackgroundView(const Ref<UIView>& view)
{
    if (dv::internal::uikit::replaceViewInSlot(m_backgroundView, view, [&](const Ref<UIView>& background) { insertSubviewAtIndex(background, 0); }))
        setNeedsLayout();
}

void UITableViewCell::setSelectedBackgroundView(const Ref<UIView>& view)
{
    if (dv::internal::uikit::replaceViewInSlot(m_selectedBackgroundView, view, [&](const Ref<UIView>& background) {
            background->setHidden(!((m_selected || m_highlighted) && m_selectionStyle != UITableViewCellSelectionStyleNone));
            insertSubviewBelowSubview(background, m_contentView);
        }))
        setNeedsLayout();
}

void UITableViewCell::prepareForReuse() { }

void UITableViewCell::handleSeparator(bool shown, CGFloat inset, const Ref<UIColor>& color)
{
    m_separator->setHidden(!shown);
    m_separatorInset = inset;
    m_separator->setBackgroundColor(color);
    if (shown)
        setNeedsLayout();
}

Ref<UIColor> UITableViewCell::backgroundColor() const
{
    if (auto color = UIView::backgroundColor())
        return color;
    static const Ref<UIColor> s_white = UIColor::whiteColor();
    return s_white;
}

void UITableViewCell::layoutSubviews()
{
    UIView::layoutSubviews();
    const CGRect b = bounds();
    if (m_backgroundView)
        m_backgroundView->setFrame(b);
    if (m_selectedBackgroundView)
        m_selectedBackgroundView->setFrame(b);
    CGFloat contentWidth = b.size.width;
    if (auto accessory = handleAccessory(); accessory && !accessory->isHidden()) {
        const CGSize size = accessory->frame().size;
        const CGFloat x = b.size.width - kMargin - size.width;
        accessory->setFrame(CGRectMake(x, std::round((b.size.height - size.height) / 2), size.width, size.height));
        contentWidth = x - 10;
    }
    m_contentView->setFrame(CGRectMake(0, 0, std::max<CGFloat>(contentWidth, 0), b.size.height));
    const CGFloat line = 1 / std::max<CGFloat>(UIScreen::mainScreen()->scale(), 1);
    m_separator->setFrame(CGRectMake(m_separatorInset, b.size.height - line, std::max<CGFloat>(b.size.width - m_separatorInset, 0), line));
    bringSubviewToFront(m_separator);

    // The style's labels and image, in the content view.
    const CGFloat width = m_contentView->bounds().size.width, height = b.size.height;
    CGFloat left = kMargin;
    if (m_imageView && m_imageView->image()) {
        CGSize size = m_imageView->image()->size();
        if (size.height > height) {
            size.width *= height / size.height;
            size.height = height;
        }
        m_imageView->setFrame(CGRectMake(kMargin, std::round((height - size.height) / 2), size.width, size.height));
        left = kMargin + size.width + kMargin;
    } else if (m_imageView) {
        m_imageView->setFrame(CGRectZero);
    }
    const CGFloat available = std::max<CGFloat>(width - left - kMargin, 0);
    switch (m_style) {
    case UITableViewCellStyleDefault:
        if (m_textLabel)
            m_textLabel->setFrame(CGRectMake(left, 0, available, height));
        break;
    case UITableViewCellStyleSubtitle: {
        const CGFloat textHeight = m_textLabel ? std::ceil(m_textLabel->font()->lineHeight()) : 0;
        const CGFloat detailHeight = m_detailTextLabel ? std::ceil(m_detailTextLabel->font()->lineHeight()) : 0;
        const CGFloat top = std::round((height - textHeight - detailHeight) / 2);
        if (m_textLabel)
            m_textLabel->setFrame(CGRectMake(left, top, available, textHeight));
        if (m_detailTextLabel)
            m_detailTextLabel->setFrame(CGRectMake(left, top + textHeight, available, detailHeight));
        break;
    }
    case UITableViewCellStyleValue1: {
        CGFloat detailWidth = 0;
        if (m_detailTextLabel) {
            detailWidth = std::min(m_detailTextLabel->sizeThatFits(CGSizeMake(available, height)).width, available);
            m_detailTextLabel->setFrame(CGRectMake(width - kMargin - detailWidth, 0, detailWidth, height));
        }
        if (m_textLabel)
            m_textLabel->setFrame(CGRectMake(left, 0, std::max<CGFloat>(available - detailWidth - (detailWidth > 0 ? 10 : 0), 0), height));
        break;
    }
    case UITableViewCellStyleValue2:
        if (m_textLabel)
            m_textLabel->setFrame(CGRectMake(kMargin, 0, 67, height));
        if (m_detailTextLabel)
            m_detailTextLabel->setFrame(CGRectMake(kMargin + 67 + 6, 0, std::max<CGFloat>(width - kMargin - 73 - kMargin, 0), height));
        break;
    }
}

void UITableViewCell::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    UIView::appendDescriptionFields(fields);
    if (m_selected)
        fields.emplace_back("selected", "");
    if (m_highlighted)
        fields.emplace_back("highlighted", "");
    static const char* const kAccessories[] = {"", "disclosure", "detail-disclosure", "checkmark", "detail"};
    if (m_accessoryView)
        fields.emplace_back("accessory", "view");
    else if (m_accessoryType > 0 && m_accessoryType <= 4)
        fields.emplace_back("accessory", kAccessories[m_accessoryType]);
}
