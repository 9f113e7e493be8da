#include "platform/ui/UIButton.h"

#include "platform/ui/internal/ViewFormat.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"

#include <algorithm>

DV_DEFINE_CLASS(UIButton)

namespace {

// A title sits this far clear of the button's top and bottom when the button sizes itself.
constexpr CGFloat kTitlePadding = 6;
constexpr CGSize kEmptySize {30, 34};

// The image as a person sees it under a pressing finger: a third darker where it is opaque.
Ref<UIImage> darkened(const Ref<UIImage>& image)
{
    const CGSize size = image->size();
    if (size.width <= 0 || size.height <= 0)
        return image;
    UIGraphicsBeginImageContextWithOptions(size, false, image->scale());
    const CGRect rect = CGRectMake(0, 0, size.width, size.height);
    image->drawInRect(rect);
    auto context = UIGraphicsGetCurrentContext();
    CGContextSetBlendMode(context, kCGBlendModeSourceAtop);
    CGContextSetRGBFillColor(context, 0, 0, 0, 0.33);
    CGContextFillRect(context, rect);
    auto result = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return result ? result : image;
}

// An image larger than the content is shrunk to it, each side on its own (the image view scales
// the picture to its frame): a photo set on a small button stays inside the button.
CGSize fittedImageSize(CGSize image, CGRect contentRect)
{
    return CGSizeMake(std::clamp<CGFloat>(image.width, 0, std::max<CGFloat>(contentRect.size.width, 0)),
        std::clamp<CGFloat>(image.height, 0, std::max<CGFloat>(contentRect.size.height, 0)));
}

} // namespace

bool UIButton::Shown::operator==(const Shown& other) const
{
    return dv::equal(title, other.title) && CGSizeEqualToSize(image, other.image) && CGSizeEqualToSize(background, other.background);
}

Ref<UIButton> UIButton::buttonWithType(UIButtonType type)
{
    auto button = alloc<UIButton>();
    button->m_type = type;
    return button->init();
}

Ref<UIButton> UIButton::init() { return initWithFrame(CGRectZero); }

Ref<UIButton> UIButton::initWithFrame(CGRect frame)
{
    UIControl::initWithFrame(frame);
    setOpaque(false);
    return self<UIButton>();
}

// Per-state content

UIButton::StateContent& UIButton::handleContent(UIControlState state)
{
    for (auto& content : m_contents)
        if (content.state == state)
            return content;
    m_contents.push_back({state, nil, nil, nil, nil});
    return m_contents.back();
}

const UIButton::StateContent* UIButton::handleFind(UIControlState state) const
{
    for (auto& content : m_contents)
        if (content.state == state)
            return &content;
    return nullptr;
}

template <class V>
V UIButton::handleCurrent(V StateContent::*member) const
{
    if (auto* content = handleFind(state()); content && content->*member)
        return content->*member;
    if (auto* normal = handleFind(UIControlStateNormal))
        return normal->*member;
    return nil;
}

void UIButton::setTitle(const Ref<NSString>& title, UIControlState state)
{
    auto& content = handleContent(state);
    if (dv::equal(content.title, title))
        return;
    content.title = dv::copyAs<NSString>(title);
    handleUpdate();
}

void UIButton::setTitleColor(const Ref<UIColor>& color, UIControlState state)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UIButton>("titleColor" + std::to_string(state), [color, state](UIButton& b) { b.setTitleColor(color, state); });
        return;
    }
    noteAppearanceSetterCalled("titleColor" + std::to_string(state));
    auto& content = handleContent(state);
    if (dv::equal(content.titleColor, color))
        return;
    content.titleColor = color;
    handleUpdate();
}

void UIButton::setImage(const Ref<UIImage>& image, UIControlState state)
{
    auto& content = handleContent(state);
    if (content.image == image)
        return;
    content.image = image;
    handleUpdate();
}

void UIButton::setBackgroundImage(const Ref<UIImage>& image, UIControlState state)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UIButton>("backgroundImage" + std::to_string(state), [image, state](UIButton& b) { b.setBackgroundImage(image, state); });
        return;
    }
    noteAppearanceSetterCalled("backgroundImage" + std::to_string(state));
    auto& content = handleContent(state);
    if (content.backgroundImage == image)
        return;
    content.backgroundImage = image;
    handleUpdate();
}

Ref<NSString> UIButton::titleForState(UIControlState state) const
{
    auto* content = handleFind(state);
    return content ? content->title : nil;
}

Ref<UIColor> UIButton::titleColorForState(UIControlState state) const
{
    if (auto* content = handleFind(state); content && content->titleColor)
        return content->titleColor;
    if (state != UIControlStateNormal)
        return nil;
    return m_type == UIButtonTypeCustom ? UIColor::whiteColor() : tintColor();
}

Ref<UIImage> UIButton::imageForState(UIControlState state) const
{
    auto* content = handleFind(state);
    return content ? content->image : nil;
}

Ref<UIImage> UIButton::backgroundImageForState(UIControlState state) const
{
    auto* content = handleFind(state);
    return content ? content->backgroundImage : nil;
}

Ref<NSString> UIButton::currentTitle() const { return handleCurrent(&StateContent::title); }
Ref<UIImage> UIButton::currentImage() const { return handleCurrent(&StateContent::image); }
Ref<UIImage> UIButton::currentBackgroundImage() const { return handleCurrent(&StateContent::backgroundImage); }

Ref<UIColor> UIButton::currentTitleColor() const
{
    if (auto color = handleCurrent(&StateContent::titleColor))
        return color;
    if (m_type == UIButtonTypeCustom)
        return UIColor::whiteColor();
    // A system button dims its tint while pressed and greys out when disabled.
    if (!isEnabled())
        return UIColor::colorWithWhite(0.5, 0.5);
    return isHighlighted() ? tintColor()->colorWithAlphaComponent(0.2) : tintColor();
}

Ref<UIColor> UIButton::tintColor() const { return UIControl::tintColor(); }

// Parts

Ref<UILabel> UIButton::titleLabel() const
{
    if (!m_titleLabel) {
        auto me = std::const_pointer_cast<UIButton>(self<UIButton>());
        m_titleLabel = alloc<UILabel>()->init();
        m_titleLabel->setFont(UIFont::systemFontOfSize(15));
        m_titleLabel->setLineBreakMode(NSLineBreakByTruncatingMiddle);
        m_titleLabel->setHidden(true);
        me->addSubview(m_titleLabel);
        me->handleUpdate();
    }
    return m_titleLabel;
}

Ref<UIImageView> UIButton::imageView() const
{
    if (!m_imageView) {
        auto me = std::const_pointer_cast<UIButton>(self<UIButton>());
        m_imageView = alloc<UIImageView>()->init();
        m_imageView->setHidden(true);
        // Above the background, below the title.
        me->insertSubviewAtIndex(m_imageView, me->m_backgroundView ? 1 : 0);
        me->handleUpdate();
    }
    return m_imageView;
}

Ref<UIImage> UIButton::handleShownImage()
{
    auto image = currentImage();
    if (!image || !isHighlighted() || !m_adjustsImageWhenHighlighted || imageForState(state()))
        return image;
    if (m_darkenedSource != image) {
        m_darkened = darkened(image);
        m_darkenedSource = image;
    }
    return m_darkened;
}

void UIButton::handleUpdate()
{
    auto title = currentTitle();
    if (title || m_titleLabel) {
        auto label = titleLabel();
        label->setText(title);
        label->setTextColor(currentTitleColor());
        label->setHidden(!title || title->utf8().empty());
    }
    auto image = handleShownImage();
    if (image || m_imageView) {
        auto view = imageView();
        view->setImage(image);
        view->setHidden(!image);
    }
    auto background = currentBackgroundImage();
    if (background && !m_backgroundView) {
        m_backgroundView = alloc<UIImageView>()->init();
        insertSubviewAtIndex(m_backgroundView, 0);
    }
    if (m_backgroundView) {
        m_backgroundView->setImage(background);
        m_backgroundView->setHidden(!background);
    }
    // Only a change of what is shown moves the parts or the size.
    const Shown shown {title, image ? image->size() : CGSizeZero, background ? background->size() : CGSizeZero};
    if (shown == m_shown)
        return;
    m_shown = shown;
    setNeedsLayout();
    invalidateIntrinsicContentSize();
}

void UIButton::stateDidChange() { handleUpdate(); }

void UIButton::setAdjustsImageWhenHighlighted(bool adjusts)
{
    m_adjustsImageWhenHighlighted = adjusts;
    handleUpdate();
}

void UIButton::setContentEdgeInsets(UIEdgeInsets insets)
{
    if (insets == m_contentEdgeInsets)
        return;
    m_contentEdgeInsets = insets;
    setNeedsLayout();
    invalidateIntrinsicContentSize();
}

void UIButton::setTitleEdgeInsets(UIEdgeInsets insets)
{
    if (insets == m_titleEdgeInsets)
        return;
    m_titleEdgeInsets = insets;
    setNeedsLayout();
}

void UIButton::setImageEdgeInsets(UIEdgeInsets insets)
{
    if (insets == m_imageEdgeInsets)
        return;
    m_imageEdgeInsets = insets;
    setNeedsLayout();
}

// Layout

CGSize UIButton::handleImageSize() const
{
    auto image = currentImage();
    return image ? image->size() : CGSizeZero;
}

CGSize UIButton::handleTitleSize() const
{
    auto title = currentTitle();
    if (!title || title->utf8().empty() || !m_titleLabel)
        return CGSizeZero;
    return m_titleLabel->sizeThatFits(CGSizeZero);
}

CGRect UIButton::backgroundRectForBounds(CGRect bounds) const { return bounds; }

CGRect UIButton::contentRectForBounds(CGRect bounds) const { return UIEdgeInsetsInsetRect(bounds, m_contentEdgeInsets); }

namespace {

// Places a run of `width` (made of the parts) and one part's height in `area`.
CGFloat placeX(UIControlContentHorizontalAlignment alignment, CGRect area, CGFloat width)
{
    switch (alignment) {
    case UIControlContentHorizontalAlignmentLeft:
    case UIControlContentHorizontalAlignmentFill:
        return CGRectGetMinX(area);
    case UIControlContentHorizontalAlignmentRight:
        return CGRectGetMaxX(area) - width;
    case UIControlContentHorizontalAlignmentCenter:
        break;
    }
    return CGRectGetMinX(area) + (area.size.width - width) / 2;
}

CGRect placeY(UIControlContentVerticalAlignment alignment, CGRect area, CGFloat x, CGSize size)
{
    switch (alignment) {
    case UIControlContentVerticalAlignmentTop:
        return CGRectMake(x, CGRectGetMinY(area), size.width, size.height);
    case UIControlContentVerticalAlignmentBottom:
        return CGRectMake(x, CGRectGetMaxY(area) - size.height, size.width, size.height);
    case UIControlContentVerticalAlignmentFill:
        return CGRectMake(x, CGRectGetMinY(area), size.width, area.size.height);
    case UIControlContentVerticalAlignmentCenter:
        break;
    }
    return CGRectMake(x, CGRectGetMinY(area) + (area.size.height - size.height) / 2, size.width, size.height);
}

} // namespace

CGRect UIButton::imageRectForContentRect(CGRect contentRect) const
{
    const CGSize image = fittedImageSize(handleImageSize(), contentRect);
    if (CGSizeEqualToSize(image, CGSizeZero))
        return CGRectMake(CGRectGetMidX(contentRect), CGRectGetMidY(contentRect), 0, 0);
    CGSize title = handleTitleSize();
    title.width = std::clamp<CGFloat>(title.width, 0, std::max<CGFloat>(contentRect.size.width - image.width, 0));
    const CGFloat x = placeX(contentHorizontalAlignment(), contentRect, image.width + title.width);
    return UIEdgeInsetsInsetRect(placeY(contentVerticalAlignment(), contentRect, x, image), m_imageEdgeInsets);
}

CGRect UIButton::titleRectForContentRect(CGRect contentRect) const
{
    const CGSize image = fittedImageSize(handleImageSize(), contentRect);
    CGSize title = handleTitleSize();
    if (CGSizeEqualToSize(title, CGSizeZero))
        return CGRectMake(CGRectGetMidX(contentRect), CGRectGetMidY(contentRect), 0, 0);
    const CGFloat room = std::max<CGFloat>(contentRect.size.width - image.width, 0);
    title.width = contentHorizontalAlignment() == UIControlContentHorizontalAlignmentFill ? room : std::min(title.width, room);
    const CGFloat x = placeX(contentHorizontalAlignment(), contentRect, image.width + title.width) + image.width;
    return UIEdgeInsetsInsetRect(placeY(contentVerticalAlignment(), contentRect, x, title), m_titleEdgeInsets);
}

void UIButton::layoutSubviews()
{
    UIControl::layoutSubviews();
    const CGRect content = contentRectForBounds(bounds());
    if (m_backgroundView)
        m_backgroundView->setFrame(backgroundRectForBounds(bounds()));
    if (m_imageView)
        m_imageView->setFrame(imageRectForContentRect(content));
    if (m_titleLabel) {
        switch (contentHorizontalAlignment()) {
        case UIControlContentHorizontalAlignmentLeft:
            m_titleLabel->setTextAlignment(NSTextAlignmentLeft);
            break;
        case UIControlContentHorizontalAlignmentRight:
            m_titleLabel->setTextAlignment(NSTextAlignmentRight);
            break;
        default:
            m_titleLabel->setTextAlignment(NSTextAlignmentCenter);
        }
        m_titleLabel->setFrame(titleRectForContentRect(content));
    }
}

CGSize UIButton::sizeThatFits(CGSize) const
{
    const CGSize image = handleImageSize(), title = handleTitleSize();
    auto background = currentBackgroundImage();
    if (CGSizeEqualToSize(image, CGSizeZero) && CGSizeEqualToSize(title, CGSizeZero) && !background)
        return kEmptySize;
    CGSize size = CGSizeMake(image.width + title.width, std::max(image.height, title.height > 0 ? title.height + 2 * kTitlePadding : 0));
    size.width += m_contentEdgeInsets.left + m_contentEdgeInsets.right;
    size.height += m_contentEdgeInsets.top + m_contentEdgeInsets.bottom;
    if (background) {
        size.width = std::max(size.width, background->size().width);
        size.height = std::max(size.height, background->size().height);
    }
    return size;
}

CGSize UIButton::intrinsicContentSize() const { return sizeThatFits(CGSizeZero); }

Ref<NSString> UIButton::accessibilityLabel() const
{
    auto label = UIControl::accessibilityLabel();
    return label ? label : currentTitle();
}

UIAccessibilityTraits UIButton::accessibilityTraits() const { return UIControl::accessibilityTraits() | UIAccessibilityTraitButton; }

void UIButton::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (auto title = currentTitle())
        fields.emplace_back("title", title->utf8());
    UIControl::appendDescriptionFields(fields);
    // The title label as it is: asking for it would make one.
    if (auto title = currentTitle(); title && title->length() > 0)
        dv::internal::uikit::ViewFormat::appendTextLook(fields, m_titleLabel ? m_titleLabel->font() : nil, currentTitleColor());
    dv::internal::uikit::ViewFormat::appendImage(fields, currentImage() ? currentImage() : currentBackgroundImage());
}
