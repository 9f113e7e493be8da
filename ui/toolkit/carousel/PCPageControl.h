// PCPageControl: a page indicator drawn as a row of dot views, one per page, centred in the
// control; the dot of the current page is shown active. A dot is a view of dotViewClass (the
// animated PCAnimatedDotView unless set; any view class that answers changeActivityState) or,
// with no class, an image view showing dotImage, or currentDotImage for the current page. Every
// change of count, spacing, class or images rebuilds the dots; a change of page only toggles two.
// sizeToFit sizes the control to its dots, keeping its centre. A tap on a dot tells the delegate
// its index; the control sends no control events. The dots belong to the control; the delegate
// is not retained. Main thread only.
//
//   auto dots = alloc<PCPageControl>()->initWithFrame(CGRectMake(0, 150, 320, 20));
//   dots->setNumberOfPages(5);
//   dots->setCurrentPage(2);
//   dots->sizeToFit();
#pragma once

#include "platform/ui/UIControl.h"

class NSMutableArray;
class UIColor;
class UIImage;
class PCPageControl;

// Optional (false: not implemented).
class PCPageControlDelegate {
public:
    virtual ~PCPageControlDelegate() = default;
    // A dot was tapped; NSNotFound when the touched view is inside the control but no dot.
    virtual bool PCPageControlDidSelectPageAtIndex(const Ref<PCPageControl>&, NSInteger index)
    {
        (void)index;
        return false;
    }
};

class PCPageControl : public UIControl {
    DV_CLASS(PCPageControl, UIControl)

    PCPageControl() = default;
    ~PCPageControl() override;
    Ref<PCPageControl> init();
    Ref<PCPageControl> initWithFrame(CGRect frame);

    // The class of the dots; Nil means image dots. Setting it forgets the dot size and rebuilds.
    Class dotViewClass() const { return m_dotViewClass; }
    void setDotViewClass(Class dotViewClass);
    // Setting either rebuilds the dots, then turns them into image dots (dotViewClass Nil).
    Ref<UIImage> dotImage() const { return m_dotImage; }
    void setDotImage(const Ref<UIImage>& dotImage);
    Ref<UIImage> currentDotImage() const { return m_currentDotImage; }
    void setCurrentDotImage(const Ref<UIImage>& currentDotImage);
    // The size of every dot. Unset (zero), it becomes dotImage's size for image dots, else 8 x 8,
    // on first read.
    CGSize dotSize();
    void setDotSize(CGSize dotSize) { m_dotSize = dotSize; }
    // Handed to each new animated dot.
    Ref<UIColor> dotColor() const { return m_dotColor; }
    void setDotColor(const Ref<UIColor>& dotColor) { m_dotColor = dotColor; }
    NSInteger spacingBetweenDots() const { return m_spacingBetweenDots; }
    void setSpacingBetweenDots(NSInteger spacing);
    Ref<PCPageControlDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<PCPageControlDelegate>& delegate) { m_delegate = delegate; }
    NSInteger numberOfPages() const { return m_numberOfPages; }
    void setNumberOfPages(NSInteger numberOfPages);
    NSInteger currentPage() const { return m_currentPage; }
    // Makes the old page's dot inactive and the new one's active; only stores the page when there
    // are no pages or it is the current one already. A page without a dot changes no dot.
    void setCurrentPage(NSInteger currentPage);
    // Hides the control at each rebuild that leaves exactly one dot.
    bool hidesForSinglePage() const { return m_hidesForSinglePage; }
    void setHidesForSinglePage(bool hides) { m_hidesForSinglePage = hides; }
    // Keep the centre when sizeToFit resizes the control (YES by default).
    bool shouldResizeFromCenter() const { return m_shouldResizeFromCenter; }
    void setShouldResizeFromCenter(bool resizeFromCenter) { m_shouldResizeFromCenter = resizeFromCenter; }
    // The dot views in page order, each a subview of the control.
    Ref<NSMutableArray> dots();
    void setDots(const Ref<NSMutableArray>& dots) { m_dots = dots; }

    // n dots and the n - 1 gaps between them, a dot high (nothing wide for no pages).
    CGSize sizeForNumberOfPages(NSInteger pageCount);
    // Takes the size of the dots (around the old centre when shouldResizeFromCenter) and
    // rebuilds them.
    void sizeToFit() override;

    // Taps on dots go to the delegate; the control does no tracking of its own.
    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    void initialization();
    void resetDotViews();
    void updateDots();
    void updateFrame(bool overrideExistingFrame);
    Ref<UIView> generateDotView();
    void updateDotFrame(const Ref<UIView>& dot, NSInteger index);
    void changeActivity(bool active, NSInteger index);
    void hideForSinglePage();

    Class m_dotViewClass = Nil;
    Ref<UIImage> m_dotImage;
    Ref<UIImage> m_currentDotImage;
    CGSize m_dotSize {};
    Ref<UIColor> m_dotColor;
    NSInteger m_spacingBetweenDots = 8;
    Weak<PCPageControlDelegate> m_delegate;
    NSInteger m_numberOfPages = 0;
    NSInteger m_currentPage = 0;
    bool m_hidesForSinglePage = false;
    bool m_shouldResizeFromCenter = true;
    Ref<NSMutableArray> m_dots;
};
