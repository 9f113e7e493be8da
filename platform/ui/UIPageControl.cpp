#include "platform/ui/UIPageControl.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UITouch.h"

#include <algorithm>

DV_DEFINE_CLASS_WITH(UIPageControl, b)
{
    b.property<NSInteger>("numberOfPages", "Tq,N", [](const UIPageControl& c) { return c.numberOfPages(); },
        [](UIPageControl& c, NSInteger n) { c.setNumberOfPages(n); });
    b.property<NSInteger>("currentPage", "Tq,N", [](const UIPageControl& c) { return c.currentPage(); },
        [](UIPageControl& c, NSInteger n) { c.setCurrentPage(n); });
}

namespace {

constexpr CGFloat kDot = 7;
constexpr CGFloat kPitch = 16; // dot and gap
constexpr CGFloat kHeight = 37;

} // namespace

Ref<UIPageControl> UIPageControl::init() { return initWithFrame(CGRectZero); }

Ref<UIPageControl> UIPageControl::initWithFrame(CGRect frame)
{
    UIControl::initWithFrame(frame);
    setOpaque(false);
    return self<UIPageControl>();
}

void UIPageControl::setNumberOfPages(NSInteger pages)
{
    m_numberOfPages = std::max<NSInteger>(pages, 0);
    setCurrentPage(m_currentPage);
    m_displayedPage = m_currentPage;
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

void UIPageControl::setCurrentPage(NSInteger page)
{
    m_currentPage = std::clamp<NSInteger>(page, 0, std::max<NSInteger>(m_numberOfPages - 1, 0));
    m_displayedPage = m_currentPage;
    setNeedsDisplay();
}

void UIPageControl::updateCurrentPageDisplay()
{
    m_displayedPage = m_currentPage;
    setNeedsDisplay();
}

void UIPageControl::setHidesForSinglePage(bool hides)
{
    m_hidesForSinglePage = hides;
    setNeedsDisplay();
}

void UIPageControl::setPageIndicatorTintColor(const Ref<UIColor>& color)
{
    m_pageTint = color;
    setNeedsDisplay();
}

void UIPageControl::setCurrentPageIndicatorTintColor(const Ref<UIColor>& color)
{
    m_currentPageTint = color;
    setNeedsDisplay();
}

void UIPageControl::setPageImage(const Ref<UIImage>& image)
{
    m_pageImage = image;
    setNeedsDisplay();
}

void UIPageControl::setCurrentPageImage(const Ref<UIImage>& image)
{
    m_currentPageImage = image;
    setNeedsDisplay();
}

void UIPageControl::setValueForKey(const id& value, const Ref<NSString>& key)
{
    const std::string name = dv::str(key);
    if (name == "_pageImage")
        setPageImage(dv::as<UIImage>(value));
    else if (name == "_currentPageImage")
        setCurrentPageImage(dv::as<UIImage>(value));
    else
        UIControl::setValueForKey(value, key);
}

id UIPageControl::valueForKey(const Ref<NSString>& key) const
{
    const std::string name = dv::str(key);
    if (name == "_pageImage")
        return m_pageImage;
    if (name == "_currentPageImage")
        return m_currentPageImage;
    return UIControl::valueForKey(key);
}

CGSize UIPageControl::sizeForNumberOfPages(NSInteger pages) const
{
    if (pages <= 0)
        return CGSizeZero;
    return CGSizeMake(CGFloat(pages - 1) * kPitch + kDot, kHeight);
}

CGSize UIPageControl::sizeThatFits(CGSize) const { return sizeForNumberOfPages(m_numberOfPages); }

void UIPageControl::drawRect(CGRect)
{
    if (m_numberOfPages == 0 || (m_hidesForSinglePage && m_numberOfPages == 1))
        return;
    const CGRect b = bounds();
    const CGFloat width = sizeForNumberOfPages(m_numberOfPages).width;
    const CGFloat left = CGRectGetMidX(b) - width / 2, midY = CGRectGetMidY(b);
    auto context = UIGraphicsGetCurrentContext();
    for (NSInteger i = 0; i < m_numberOfPages; ++i) {
        const bool current = i == m_displayedPage;
        const CGFloat cx = left + CGFloat(i) * kPitch + kDot / 2;
        if (auto image = current ? m_currentPageImage : m_pageImage) {
            const CGSize size = image->size();
            image->drawInRect(CGRectMake(cx - size.width / 2, midY - size.height / 2, size.width, size.height));
            continue;
        }
        Ref<UIColor> color = current ? m_currentPageTint : m_pageTint;
        if (!color)
            color = current ? UIColor::whiteColor() : UIColor::colorWithWhite(1, 0.2);
        color->setFill();
        CGContextFillEllipseInRect(context, CGRectMake(cx - kDot / 2, midY - kDot / 2, kDot, kDot));
    }
}

void UIPageControl::handleStep(NSInteger delta)
{
    const NSInteger before = m_currentPage;
    m_currentPage = std::clamp<NSInteger>(m_currentPage + delta, 0, std::max<NSInteger>(m_numberOfPages - 1, 0));
    if (m_currentPage == before)
        return;
    if (!m_defersDisplay)
        updateCurrentPageDisplay();
    sendActionsForControlEvents(UIControlEventValueChanged);
}

void UIPageControl::endTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event)
{
    UIControl::endTrackingWithTouch(touch, event);
    if (!isTouchInside())
        return;
    const CGPoint p = touch->locationInView(self<UIPageControl>());
    handleStep(p.x < CGRectGetMidX(bounds()) ? -1 : 1);
}

Ref<NSString> UIPageControl::accessibilityValue() const
{
    if (auto value = UIControl::accessibilityValue())
        return value;
    return NSString::stringWithFormat("第 %ld 页，共 %ld 页", long(m_currentPage + 1), long(m_numberOfPages));
}

void UIPageControl::accessibilityIncrement() { handleStep(1); }
void UIPageControl::accessibilityDecrement() { handleStep(-1); }

void UIPageControl::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    fields.emplace_back("page", std::to_string(m_currentPage + (m_numberOfPages ? 1 : 0)) + "/" + std::to_string(m_numberOfPages));
    UIControl::appendDescriptionFields(fields);
}
