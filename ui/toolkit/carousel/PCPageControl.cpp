#include "ui/toolkit/carousel/PCPageControl.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UITouch.h"
#include "ui/toolkit/carousel/PCAbstractDotView.h"
#include "ui/toolkit/carousel/PCAnimatedDotView.h"

#include <algorithm>
#include <array>
#include <string>

DV_DEFINE_CLASS_WITH(PCPageControl, b)
{
    b.property<NSInteger>("numberOfPages", "Tq,N", [](const PCPageControl& c) { return c.numberOfPages(); },
        [](PCPageControl& c, NSInteger value) { c.setNumberOfPages(value); });
    b.property<NSInteger>("currentPage", "Tq,N", [](const PCPageControl& c) { return c.currentPage(); },
        [](PCPageControl& c, NSInteger value) { c.setCurrentPage(value); });
    b.property<NSInteger>("spacingBetweenDots", "Tq,N", [](const PCPageControl& c) { return c.spacingBetweenDots(); },
        [](PCPageControl& c, NSInteger value) { c.setSpacingBetweenDots(value); });
    b.property<bool>("hidesForSinglePage", "TB,N", [](const PCPageControl& c) { return c.hidesForSinglePage(); },
        [](PCPageControl& c, bool value) { c.setHidesForSinglePage(value); });
    b.property<bool>("shouldResizeFromCenter", "TB,N", [](const PCPageControl& c) { return c.shouldResizeFromCenter(); },
        [](PCPageControl& c, bool value) { c.setShouldResizeFromCenter(value); });
}

namespace {

constexpr CGSize kDefaultDotSize {8, 8};
constexpr NSInteger kDefaultSpacingBetweenDots = 8;

} // namespace

PCPageControl::~PCPageControl() = default;

Ref<PCPageControl> PCPageControl::init() { return initWithFrame(CGRectZero); }

Ref<PCPageControl> PCPageControl::initWithFrame(CGRect frame)
{
    UIControl::initWithFrame(frame);
    initialization();
    return self<PCPageControl>();
}

void PCPageControl::initialization()
{
    setDotViewClass(PCAnimatedDotView::class_());
    setSpacingBetweenDots(kDefaultSpacingBetweenDots);
    setNumberOfPages(0);
    setCurrentPage(0);
    setHidesForSinglePage(false);
    setShouldResizeFromCenter(true);
}

// Settings

void PCPageControl::setDotViewClass(Class dotViewClass)
{
    m_dotViewClass = dotViewClass;
    m_dotSize = CGSizeZero;
    resetDotViews();
}

void PCPageControl::setDotImage(const Ref<UIImage>& dotImage)
{
    m_dotImage = dotImage;
    resetDotViews();
    setDotViewClass(Nil);
}

void PCPageControl::setCurrentDotImage(const Ref<UIImage>& currentDotImage)
{
    m_currentDotImage = currentDotImage;
    resetDotViews();
    setDotViewClass(Nil);
}

CGSize PCPageControl::dotSize()
{
    if (m_dotImage && CGSizeEqualToSize(m_dotSize, CGSizeZero))
        m_dotSize = m_dotImage->size();
    else if (m_dotViewClass && CGSizeEqualToSize(m_dotSize, CGSizeZero))
        m_dotSize = kDefaultDotSize;
    return m_dotSize;
}

void PCPageControl::setSpacingBetweenDots(NSInteger spacing)
{
    m_spacingBetweenDots = spacing;
    resetDotViews();
}

void PCPageControl::setNumberOfPages(NSInteger numberOfPages)
{
    m_numberOfPages = numberOfPages;
    resetDotViews();
}

void PCPageControl::setCurrentPage(NSInteger currentPage)
{
    if (m_numberOfPages == 0 || currentPage == m_currentPage) {
        m_currentPage = currentPage;
        return;
    }
    changeActivity(false, m_currentPage);
    m_currentPage = currentPage;
    changeActivity(true, m_currentPage);
}

Ref<NSMutableArray> PCPageControl::dots()
{
    if (!m_dots)
        m_dots = NSMutableArray::array();
    return m_dots;
}

// Sizing

CGSize PCPageControl::sizeForNumberOfPages(NSInteger pageCount)
{
    const CGSize dot = dotSize();
    // No pages take no room (rather than a negative width of one gap).
    const CGFloat width = pageCount > 0 ? CGFloat(pageCount) * (dot.width + CGFloat(m_spacingBetweenDots)) - CGFloat(m_spacingBetweenDots) : 0;
    return CGSizeMake(width, dot.height);
}

void PCPageControl::sizeToFit() { updateFrame(true); }

void PCPageControl::updateFrame(bool overrideExistingFrame)
{
    const CGPoint oldCenter = center();
    const CGSize required = sizeForNumberOfPages(m_numberOfPages);
    const CGRect current = frame();
    if (overrideExistingFrame || CGRectGetWidth(current) < required.width || CGRectGetHeight(current) < required.height) {
        setFrame(CGRectMake(current.origin.x, current.origin.y, required.width, required.height));
        if (m_shouldResizeFromCenter)
            setCenter(oldCenter);
    }
    resetDotViews();
}

// Dots

void PCPageControl::resetDotViews()
{
    auto list = dots();
    for (NSUInteger i = 0; i < list->count(); ++i)
        if (auto dot = dv::as<UIView>(list->objectAtIndex(i)))
            dot->removeFromSuperview();
    list->removeAllObjects();
    updateDots();
}

void PCPageControl::updateDots()
{
    if (m_numberOfPages == 0)
        return;
    auto list = dots();
    for (NSInteger i = 0; i < m_numberOfPages; ++i) {
        Ref<UIView> dot = NSUInteger(i) < list->count() ? dv::as<UIView>(list->objectAtIndex(NSUInteger(i))) : generateDotView();
        if (dot)
            updateDotFrame(dot, i);
    }
    changeActivity(true, m_currentPage);
    hideForSinglePage();
}

Ref<UIView> PCPageControl::generateDotView()
{
    const CGSize size = dotSize();
    const CGRect dotFrame = CGRectMake(0, 0, size.width, size.height);
    Ref<UIView> dot;
    if (m_dotViewClass) {
        auto instance = dv::as<UIView>(m_dotViewClass->createInstance());
        if (auto abstractDot = dv::as<PCAbstractDotView>(instance))
            dot = abstractDot->initWithFrame(dotFrame);
        else if (instance)
            dot = instance->initWithFrame(dotFrame);
        if (auto animated = dv::as<PCAnimatedDotView>(dot); animated && m_dotColor)
            animated->setDotColor(m_dotColor);
    } else {
        auto imageView = alloc<UIImageView>()->initWithImage(m_dotImage);
        imageView->setFrame(dotFrame);
        dot = imageView;
    }
    if (!dot)
        return nil; // a class that cannot be made into a view gives no dot
    addSubview(dot);
    dots()->addObject(dot);
    dot->setUserInteractionEnabled(true);
    return dot;
}

void PCPageControl::updateDotFrame(const Ref<UIView>& dot, NSInteger index)
{
    const CGSize size = dotSize();
    const CGFloat x = CGFloat(index) * (size.width + CGFloat(m_spacingBetweenDots))
        + (CGRectGetWidth(frame()) - sizeForNumberOfPages(m_numberOfPages).width) * 0.5;
    const CGFloat y = (CGRectGetHeight(frame()) - size.height) * 0.5;
    dot->setFrame(CGRectMake(x, y, size.width, size.height));
}

void PCPageControl::changeActivity(bool active, NSInteger index)
{
    auto list = dots();
    // A page beyond the dots (the count lowered below the current page) has no dot to change.
    if (index < 0 || NSUInteger(index) >= list->count())
        return;
    auto dot = dv::as<UIView>(list->objectAtIndex(NSUInteger(index)));
    if (m_dotViewClass) {
        static const SEL changeActivityState("changeActivityState:");
        if (auto abstractDot = dv::as<PCAbstractDotView>(dot))
            abstractDot->changeActivityState(active);
        else if (dot && dot->respondsToSelector(changeActivityState))
            dot->performSelector(changeActivityState, std::array<id, 1> {NSNumber::numberWithBool(active)});
        else
            NSLog("Custom view : %@ must implement an 'changeActivityState' method or you can subclass %@ to help you.",
                NSStringFromClass(m_dotViewClass), NSStringFromClass(PCAbstractDotView::class_()));
    } else if (m_dotImage && m_currentDotImage) {
        if (auto imageView = dv::as<UIImageView>(dot))
            imageView->setImage(active ? m_currentDotImage : m_dotImage);
    }
}

void PCPageControl::hideForSinglePage()
{
    setHidden(dots()->count() == 1 && m_hidesForSinglePage);
}

// Touches

void PCPageControl::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    auto touch = touches ? dv::as<UITouch>(touches->anyObject()) : nil;
    if (!touch || touch->view().get() == this)
        return;
    auto delegate = m_delegate.lock();
    if (!delegate)
        return;
    const NSUInteger found = dots()->indexOfObject(touch->view());
    const NSInteger index = found == NSUInteger(NSNotFound) ? NSNotFound : NSInteger(found);
    delegate->PCPageControlDidSelectPageAtIndex(self<PCPageControl>(), index);
}

void PCPageControl::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    fields.emplace_back("page", std::to_string(m_currentPage + (m_numberOfPages ? 1 : 0)) + "/" + std::to_string(m_numberOfPages));
    UIControl::appendDescriptionFields(fields);
}
