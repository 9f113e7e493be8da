// UIPageControl: a row of dots, one per page, the current one set apart. Dots are 7 points wide
// with 9 points between them, centred in the bounds; the current dot is
// currentPageIndicatorTintColor (white unless set), the others pageIndicatorTintColor (white at
// alpha 0.2 unless set), or the images given for them. With hidesForSinglePage one page shows
// nothing. A tap on the right half moves to the next page, on the left half to the previous one,
// and sends value changed when the page changed (the dots follow at once unless
// defersCurrentPageDisplay, then at updateCurrentPageDisplay). Main thread only.
//
//   auto dots = alloc<UIPageControl>()->initWithFrame(CGRectMake(0, H - 30, W, 30));
//   dots->setNumberOfPages(3);
//   dots->setPageIndicatorTintColor(UIColor::colorWithRed(0, 169 / 255.0, 242 / 255.0, 1));
#pragma once

#include "platform/ui/UIControl.h"

class UIPageControl : public UIControl {
    DV_CLASS(UIPageControl, UIControl)

    UIPageControl() = default;
    Ref<UIPageControl> init();
    Ref<UIPageControl> initWithFrame(CGRect frame);

    NSInteger numberOfPages() const { return m_numberOfPages; }
    void setNumberOfPages(NSInteger pages);
    // Kept within 0 ... numberOfPages - 1.
    NSInteger currentPage() const { return m_currentPage; }
    void setCurrentPage(NSInteger page);
    bool hidesForSinglePage() const { return m_hidesForSinglePage; }
    void setHidesForSinglePage(bool hides);
    bool defersCurrentPageDisplay() const { return m_defersDisplay; }
    void setDefersCurrentPageDisplay(bool defers) { m_defersDisplay = defers; }
    void updateCurrentPageDisplay();
    Ref<UIColor> pageIndicatorTintColor() const { return m_pageTint; }
    void setPageIndicatorTintColor(const Ref<UIColor>& color);
    Ref<UIColor> currentPageIndicatorTintColor() const { return m_currentPageTint; }
    void setCurrentPageIndicatorTintColor(const Ref<UIColor>& color);
    // Images for the dots, in place of the tint colours; also set by key as "_pageImage" and
    // "_currentPageImage".
    Ref<UIImage> pageImage() const { return m_pageImage; }
    void setPageImage(const Ref<UIImage>& image);
    Ref<UIImage> currentPageImage() const { return m_currentPageImage; }
    void setCurrentPageImage(const Ref<UIImage>& image);

    // (pages - 1) x 16 + 7 wide, 37 high; nothing for no pages.
    CGSize sizeForNumberOfPages(NSInteger pages) const;
    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(CGRect rect) override;
    void endTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    void setValueForKey(const id& value, const Ref<NSString>& key) override;
    id valueForKey(const Ref<NSString>& key) const override;

    Ref<NSString> accessibilityValue() const override;
    UIAccessibilityTraits accessibilityTraits() const override { return UIControl::accessibilityTraits() | UIAccessibilityTraitAdjustable; }
    void accessibilityIncrement() override;
    void accessibilityDecrement() override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

protected:
    bool defaultActionIsSingleTap() const override { return true; }

private:
    void handleStep(NSInteger delta);

    Ref<UIColor> m_pageTint;
    Ref<UIColor> m_currentPageTint;
    Ref<UIImage> m_pageImage;
    Ref<UIImage> m_currentPageImage;
    NSInteger m_numberOfPages = 0;
    NSInteger m_currentPage = 0;
    NSInteger m_displayedPage = 0;
    bool m_hidesForSinglePage = false;
    bool m_defersDisplay = false;
};
