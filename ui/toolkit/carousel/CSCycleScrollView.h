// CSCycleScrollView: a banner that pages horizontally through a list of pictures, scrolls on by
// itself every autoScrollTimeInterval seconds, loops endlessly, shows an optional caption strip on
// each picture and a page indicator over them, and reports taps on a picture by its index. The
// pictures are URL texts (loaded through the shared image manager, the placeholder showing
// meanwhile), names of images in the application's resources, or image objects.
//
// It is a paging collection view of CSCollectionViewCell; endless looping multiplies the items
// by 100 and starts in their middle, and the automatic step jumps back to the middle, without
// animation, when it reaches the last item. The page indicator is the platform's UIPageControl
// (style 0) or the animated PCPageControl (style 1). A drag stops the auto-scroll timer and the
// lift starts a new one.
//
// The view tree owns the collection view and the indicator; the run loop owns the timer, which
// holds the carousel weakly and is invalidated when the carousel leaves its superview or goes.
// The delegate is held weakly. Main thread only.
//
//   auto banner = CSCycleScrollView::cycleScrollViewWithFrame(CGRectMake(0, 64, 375, 180), self<Home>(),
//       UIImage::imageNamed("banner_placeholder"_ns));
//   banner->setImageURLStringsGroup(adModels);   // records answering `imgurl`
//   view()->addSubview(banner);
#pragma once

#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIView.h"

#include <functional>
#include <optional>

class NSTimer;
class UIColor;
class UIControl;
class UIFont;
class UIImage;
class UIImageView;
class UICollectionViewFlowLayout;
class CSCycleScrollView;

// pageControlStyle
enum : int {
    CSCycleScrollViewPageControlStyleClassic = 0,  // the platform's UIPageControl
    CSCycleScrollViewPageControlStyleAnimated = 1, // PCPageControl
    CSCycleScrollViewPageControlStyleNone = 2,     // any other value: no indicator
};

// pageControlAliment
enum : int {
    CSCycleScrollViewPageControlAlimentRight = 0, // 10 points in from the right edge
    CSCycleScrollViewPageControlAlimentCenter = 1, // any other value: centred
};

// Both optional (false: not implemented).
class CSCycleScrollViewDelegate {
public:
    virtual ~CSCycleScrollViewDelegate() = default;
    // A picture was tapped; `index` is its place in the list of pictures.
    virtual bool cycleScrollViewDidSelectItemAtIndex(const Ref<CSCycleScrollView>& cycleScrollView, NSInteger index)
    {
        (void)cycleScrollView;
        (void)index;
        return false;
    }
    // An automatic step has come to rest on picture `index` (a person's swipe does not report).
    virtual bool cycleScrollViewDidScrollToIndex(const Ref<CSCycleScrollView>& cycleScrollView, NSInteger index)
    {
        (void)cycleScrollView;
        (void)index;
        return false;
    }
};

class CSCycleScrollView : public UIView, public UICollectionViewDataSource, public UICollectionViewDelegate {
    DV_CLASS(CSCycleScrollView, UIView)

    using ClickItemOperationBlock = std::function<void(NSInteger currentIndex)>;

    CSCycleScrollView() = default;
    ~CSCycleScrollView() override;
    Ref<CSCycleScrollView> init();
    // The defaults below, then the collection view. No timer runs until pictures are set.
    Ref<CSCycleScrollView> initWithFrame(CGRect frame);

    // A carousel of resource images (the names are copied).
    static Ref<CSCycleScrollView> cycleScrollViewWithFrameImageNamesGroup(CGRect frame, const Ref<NSArray>& imageNamesGroup);
    static Ref<CSCycleScrollView> cycleScrollViewWithFrame(CGRect frame, bool shouldInfiniteLoop, const Ref<NSArray>& imageNamesGroup);
    // A carousel of remote pictures, from records that answer `imgurl` (VQAdModel).
    static Ref<CSCycleScrollView> cycleScrollViewWithFrameImageURLStringsGroup(CGRect frame, const Ref<NSArray>& imageURLsGroup);
    // The pictures come later.
    static Ref<CSCycleScrollView> cycleScrollViewWithFrame(CGRect frame, const Ref<CSCycleScrollViewDelegate>& delegate,
        const Ref<UIImage>& placeholderImage);

    // Empties the disk store of the shared image cache (in the background).
    static void clearImagesCache();
    void clearCache();

    // --- Pictures -----------------------------------------------------------------------------
    // The URL texts taken from the records last given (NSNull for a record without one).
    Ref<NSArray> imageURLStringsGroup() const { return m_imageURLStringsGroup; }
    // Records that each answer `imgurl` with a URL text (or nil: the placeholder shows there).
    void setImageURLStringsGroup(const Ref<NSArray>& imageURLStringsGroup);
    Ref<NSArray> localizationImageNamesGroup() const { return m_localizationImageNamesGroup; }
    // Names of resource images (or image objects); the working list becomes a copy.
    void setLocalizationImageNamesGroup(const Ref<NSArray>& localizationImageNamesGroup);
    // One caption per picture, by picture index.
    Ref<NSArray> titlesGroup() const { return m_titlesGroup; }
    void setTitlesGroup(const Ref<NSArray>& titlesGroup) { m_titlesGroup = titlesGroup; }

    // --- Scrolling ----------------------------------------------------------------------------
    // 2 seconds by default; setting it restarts the timer when auto-scroll is on.
    CGFloat autoScrollTimeInterval() const { return m_autoScrollTimeInterval; }
    void setAutoScrollTimeInterval(CGFloat interval);
    // YES by default: 100 items per picture.
    bool infiniteLoop() const { return m_infiniteLoop; }
    void setInfiniteLoop(bool infiniteLoop);
    // YES by default. Setting it stops the timer, and starts a new one when YES.
    bool autoScroll() const { return m_autoScroll; }
    void setAutoScroll(bool autoScroll);

    Ref<CSCycleScrollViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<CSCycleScrollViewDelegate>& delegate) { m_delegate = delegate; }
    // Called on a tap with the picture's index, after the delegate.
    const ClickItemOperationBlock& clickItemOperationBlock() const { return m_clickItemOperationBlock; }
    void setClickItemOperationBlock(ClickItemOperationBlock block) { m_clickItemOperationBlock = std::move(block); }

    // --- Look of the pictures (reaches only cells not yet styled) --------------------------------
    UIViewContentMode bannerImageViewContentMode() const { return m_bannerImageViewContentMode; }
    void setBannerImageViewContentMode(UIViewContentMode mode) { m_bannerImageViewContentMode = mode; }
    // Shown behind the pictures and while a remote picture loads.
    Ref<UIImage> placeholderImage() const { return m_placeholderImage; }
    void setPlaceholderImage(const Ref<UIImage>& placeholderImage);

    // --- Page indicator -----------------------------------------------------------------------
    bool showPageControl() const { return m_showPageControl; }
    void setShowPageControl(bool show);
    // YES by default: no indicator for fewer than 2 pictures.
    bool hidesForSinglePage() const { return m_hidesForSinglePage; }
    void setHidesForSinglePage(bool hides) { m_hidesForSinglePage = hides; }
    int pageControlStyle() const { return m_pageControlStyle; }
    void setPageControlStyle(int style);
    int pageControlAliment() const { return m_pageControlAliment; }
    void setPageControlAliment(int aliment) { m_pageControlAliment = aliment; }
    // 10 x 10 by default. The animated indicator takes it only when set after the pictures.
    CGSize pageControlDotSize() const { return m_pageControlDotSize; }
    void setPageControlDotSize(CGSize size);
    Ref<UIColor> currentPageDotColor() const { return m_currentPageDotColor; }
    void setCurrentPageDotColor(const Ref<UIColor>& color);
    // The platform indicator's only.
    Ref<UIColor> pageDotColor() const { return m_pageDotColor; }
    void setPageDotColor(const Ref<UIColor>& color);
    Ref<UIImage> currentPageDotImage() const { return m_currentPageDotImage; }
    void setCurrentPageDotImage(const Ref<UIImage>& image);
    Ref<UIImage> pageDotImage() const { return m_pageDotImage; }
    void setPageDotImage(const Ref<UIImage>& image);

    // --- Captions (reach only cells not yet styled) -----------------------------------------------
    Ref<UIColor> titleLabelTextColor() const { return m_titleLabelTextColor; }
    void setTitleLabelTextColor(const Ref<UIColor>& color) { m_titleLabelTextColor = color; }
    Ref<UIFont> titleLabelTextFont() const { return m_titleLabelTextFont; }
    void setTitleLabelTextFont(const Ref<UIFont>& font) { m_titleLabelTextFont = font; }
    Ref<UIColor> titleLabelBackgroundColor() const { return m_titleLabelBackgroundColor; }
    void setTitleLabelBackgroundColor(const Ref<UIColor>& color) { m_titleLabelBackgroundColor = color; }
    CGFloat titleLabelHeight() const { return m_titleLabelHeight; }
    void setTitleLabelHeight(CGFloat height) { m_titleLabelHeight = height; }

    // --- View -----------------------------------------------------------------------------------
    void setFrame(CGRect frame) override;
    void layoutSubviews() override;
    // Leaving the superview stops the timer (adding the carousel again does not restart it).
    void willMoveToSuperview(const Ref<UIView>& newSuperview) override;

    // --- Its collection view's data source and delegate ---------------------------------------
    NSInteger collectionViewNumberOfItemsInSection(const Ref<UICollectionView>& collectionView, NSInteger section) override;
    Ref<UICollectionViewCell> collectionViewCellForItemAtIndexPath(const Ref<UICollectionView>& collectionView,
        const Ref<NSIndexPath>& indexPath) override;
    bool collectionViewDidSelectItemAtIndexPath(const Ref<UICollectionView>& collectionView, const Ref<NSIndexPath>& indexPath) override;
    bool scrollViewDidScroll(const Ref<UIScrollView>& scrollView) override;
    bool scrollViewWillBeginDragging(const Ref<UIScrollView>& scrollView) override;
    bool scrollViewDidEndDragging(const Ref<UIScrollView>& scrollView, bool willDecelerate) override;
    bool scrollViewDidEndScrollingAnimation(const Ref<UIScrollView>& scrollView) override;

private:
    void initialization();
    void setupMainView();
    void setImagePathsGroup(const Ref<NSArray>& imagePathsGroup);
    void setupPageControl();
    void setupTimer();
    void invalidateTimer();
    void automaticScroll();
    // The collection view item under the middle of the view now; nullopt while it has no width.
    std::optional<NSInteger> currentIndex(const Ref<UIScrollView>& scrollView) const;
    NSInteger pictureCount() const;
    NSInteger startItem() const;

    // Pictures.
    Ref<NSArray> m_imageURLStringsGroup;
    Ref<NSArray> m_localizationImageNamesGroup;
    Ref<NSArray> m_titlesGroup;
    Ref<NSArray> m_imagePathsGroup; // the working list: URL texts, image names, images, NSNull
    NSInteger m_totalItemsCount = 0;

    // Scrolling.
    CGFloat m_autoScrollTimeInterval = 2;
    bool m_infiniteLoop = true;
    bool m_autoScroll = true;
    Weak<CSCycleScrollViewDelegate> m_delegate;
    ClickItemOperationBlock m_clickItemOperationBlock;

    // Look.
    UIViewContentMode m_bannerImageViewContentMode = UIViewContentModeScaleToFill;
    Ref<UIImage> m_placeholderImage;
    bool m_showPageControl = true;
    bool m_hidesForSinglePage = true;
    int m_pageControlStyle = CSCycleScrollViewPageControlStyleClassic;
    int m_pageControlAliment = CSCycleScrollViewPageControlAlimentCenter;
    CGSize m_pageControlDotSize {10, 10};
    Ref<UIColor> m_currentPageDotColor;
    Ref<UIColor> m_pageDotColor;
    Ref<UIImage> m_currentPageDotImage;
    Ref<UIImage> m_pageDotImage;
    Ref<UIColor> m_titleLabelTextColor;
    Ref<UIFont> m_titleLabelTextFont;
    Ref<UIColor> m_titleLabelBackgroundColor;
    CGFloat m_titleLabelHeight = 30;

    // Parts; the view tree and the run loop own them.
    Weak<UICollectionView> m_mainView;
    Weak<UICollectionViewFlowLayout> m_flowLayout;
    Weak<NSTimer> m_timer;
    Weak<UIControl> m_pageControl;
    Weak<UIImageView> m_backgroundImageView;
};
