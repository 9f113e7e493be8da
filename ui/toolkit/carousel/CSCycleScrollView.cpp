#include "ui/toolkit/carousel/CSCycleScrollView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UICollectionViewFlowLayout.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIPageControl.h"
#include "ui/images/RIImageCache.h"
#include "ui/images/RIWebImageManager.h"
#include "ui/images/UIImageViewWebCache.h"
#include "ui/toolkit/carousel/CSCollectionViewCell.h"
#include "ui/toolkit/carousel/PCPageControl.h"
#include "ui/toolkit/carousel/UIViewCSExtension.h"

DV_DEFINE_CLASS(CSCycleScrollView)

namespace {

const Ref<NSString>& cellIdentifier()
{
    static const Ref<NSString> identifier = dv::keepingForever([] { return "cycleCell"_ns; });
    return identifier;
}

// Endless looping repeats the pictures this many times.
constexpr NSInteger kLoopFactor = 100;
constexpr CGFloat kPageControlMargin = 10;

} // namespace

CSCycleScrollView::~CSCycleScrollView()
{
    // The run loop would otherwise keep firing a timer whose carousel is gone.
    if (auto timer = m_timer.lock())
        timer->invalidate();
    if (auto mainView = m_mainView.lock()) {
        mainView->setDelegate(nil);
        mainView->setDataSource(nil);
    }
}

Ref<CSCycleScrollView> CSCycleScrollView::init() { return initWithFrame(CGRectZero); }

Ref<CSCycleScrollView> CSCycleScrollView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    initialization();
    setupMainView();
    return self<CSCycleScrollView>();
}

void CSCycleScrollView::initialization()
{
    m_pageControlAliment = CSCycleScrollViewPageControlAlimentCenter;
    m_autoScrollTimeInterval = 2.0;
    m_titleLabelTextColor = UIColor::whiteColor();
    m_titleLabelTextFont = UIFont::systemFontOfSize(14);
    m_titleLabelBackgroundColor = UIColor::colorWithRed(0, 0, 0, 0.5);
    m_titleLabelHeight = 30;
    m_autoScroll = true;
    m_infiniteLoop = true;
    m_showPageControl = true;
    m_pageControlDotSize = CGSizeMake(10, 10);
    m_pageControlStyle = CSCycleScrollViewPageControlStyleClassic;
    m_hidesForSinglePage = true;
    m_currentPageDotColor = UIColor::whiteColor();
    m_pageDotColor = UIColor::lightGrayColor();
    m_bannerImageViewContentMode = UIViewContentModeScaleToFill;
    setBackgroundColor(UIColor::lightGrayColor());
}

void CSCycleScrollView::setupMainView()
{
    auto flowLayout = alloc<UICollectionViewFlowLayout>()->init();
    flowLayout->setMinimumLineSpacing(0);
    flowLayout->setScrollDirection(UICollectionViewScrollDirectionHorizontal);
    m_flowLayout = flowLayout;

    auto mainView = alloc<UICollectionView>()->initWithFrame(bounds(), flowLayout);
    mainView->setBackgroundColor(UIColor::clearColor());
    mainView->setPagingEnabled(true);
    mainView->setShowsHorizontalScrollIndicator(false);
    mainView->setShowsVerticalScrollIndicator(false);
    mainView->registerClassForCellWithReuseIdentifier<CSCollectionViewCell>(cellIdentifier());
    mainView->setDataSource(self<CSCycleScrollView>());
    mainView->setDelegate(self<CSCycleScrollView>());
    addSubview(mainView);
    m_mainView = mainView;
}

// Factories

Ref<CSCycleScrollView> CSCycleScrollView::cycleScrollViewWithFrameImageNamesGroup(CGRect frame, const Ref<NSArray>& imageNamesGroup)
{
    auto cycleScrollView = alloc<CSCycleScrollView>()->initWithFrame(frame);
    cycleScrollView->setLocalizationImageNamesGroup(imageNamesGroup ? NSMutableArray::arrayWithArray(imageNamesGroup) : nil);
    return cycleScrollView;
}

Ref<CSCycleScrollView> CSCycleScrollView::cycleScrollViewWithFrame(CGRect frame, bool shouldInfiniteLoop, const Ref<NSArray>& imageNamesGroup)
{
    auto cycleScrollView = alloc<CSCycleScrollView>()->initWithFrame(frame);
    cycleScrollView->setInfiniteLoop(shouldInfiniteLoop);
    cycleScrollView->setLocalizationImageNamesGroup(imageNamesGroup ? NSMutableArray::arrayWithArray(imageNamesGroup) : nil);
    return cycleScrollView;
}

Ref<CSCycleScrollView> CSCycleScrollView::cycleScrollViewWithFrameImageURLStringsGroup(CGRect frame, const Ref<NSArray>& imageURLsGroup)
{
    auto cycleScrollView = alloc<CSCycleScrollView>()->initWithFrame(frame);
    cycleScrollView->setImageURLStringsGroup(imageURLsGroup ? NSMutableArray::arrayWithArray(imageURLsGroup) : nil);
    return cycleScrollView;
}

Ref<CSCycleScrollView> CSCycleScrollView::cycleScrollViewWithFrame(CGRect frame, const Ref<CSCycleScrollViewDelegate>& delegate,
    const Ref<UIImage>& placeholderImage)
{
    auto cycleScrollView = alloc<CSCycleScrollView>()->initWithFrame(frame);
    cycleScrollView->setDelegate(delegate);
    cycleScrollView->setPlaceholderImage(placeholderImage);
    return cycleScrollView;
}

void CSCycleScrollView::clearImagesCache()
{
    if (auto cache = RIWebImageManager::sharedManager()->imageCache())
        cache->clearDisk();
}

void CSCycleScrollView::clearCache() { clearImagesCache(); }

// Pictures

void CSCycleScrollView::setImageURLStringsGroup(const Ref<NSArray>& imageURLStringsGroup)
{
    auto urls = NSMutableArray::array();
    const NSUInteger records = imageURLStringsGroup ? imageURLStringsGroup->count() : 0;
    for (NSUInteger i = 0; i < records; ++i) {
        auto record = imageURLStringsGroup->objectAtIndex(i);
        id url = record ? record->valueForKey("imgurl"_ns) : nil;
        // A record without a URL keeps its place, so that picture, caption and tap indexes stay
        // those of the records; its cell shows the placeholder.
        urls->addObject(url ? url : id(NSNull::null()));
    }
    m_imageURLStringsGroup = NSMutableArray::arrayWithArray(urls);

    auto paths = NSMutableArray::array();
    for (NSUInteger i = 0; i < urls->count(); ++i) {
        auto entry = urls->objectAtIndex(i);
        if (dv::as<NSString>(entry) || dv::as<NSNull>(entry))
            paths->addObject(entry);
        else if (auto url = dv::as<NSURL>(entry); url && url->absoluteString())
            paths->addObject(url->absoluteString());
    }
    setImagePathsGroup(NSArray::arrayWithArray(paths));
}

void CSCycleScrollView::setLocalizationImageNamesGroup(const Ref<NSArray>& localizationImageNamesGroup)
{
    m_localizationImageNamesGroup = localizationImageNamesGroup;
    setImagePathsGroup(localizationImageNamesGroup ? NSArray::arrayWithArray(localizationImageNamesGroup) : nil);
}

void CSCycleScrollView::setImagePathsGroup(const Ref<NSArray>& imagePathsGroup)
{
    m_imagePathsGroup = imagePathsGroup;
    const NSInteger count = pictureCount();
    m_totalItemsCount = m_infiniteLoop ? count * kLoopFactor : count;

    auto mainView = m_mainView.lock();
    if (count != 1) {
        if (mainView)
            mainView->setScrollEnabled(true);
        setAutoScroll(m_autoScroll);
    } else if (mainView) {
        mainView->setScrollEnabled(false);
    }
    setupPageControl();
    if (!mainView)
        return;
    mainView->reloadData();
    // Fewer items than before can leave the view past its last one, showing nothing: it goes
    // back to where the first layout puts it.
    if (auto index = currentIndex(mainView); index && *index >= m_totalItemsCount) {
        if (m_totalItemsCount == 0)
            mainView->setContentOffset(CGPointZero);
        else
            mainView->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(startItem(), 0), UICollectionViewScrollPositionNone, false);
    }
}

NSInteger CSCycleScrollView::pictureCount() const { return m_imagePathsGroup ? NSInteger(m_imagePathsGroup->count()) : 0; }

NSInteger CSCycleScrollView::startItem() const { return m_infiniteLoop ? NSInteger(double(m_totalItemsCount) * 0.5) : 0; }

// Scrolling

void CSCycleScrollView::setAutoScrollTimeInterval(CGFloat interval)
{
    m_autoScrollTimeInterval = interval;
    setAutoScroll(m_autoScroll);
}

void CSCycleScrollView::setInfiniteLoop(bool infiniteLoop)
{
    m_infiniteLoop = infiniteLoop;
    if (pictureCount() > 0)
        setImagePathsGroup(m_imagePathsGroup);
}

void CSCycleScrollView::setAutoScroll(bool autoScroll)
{
    m_autoScroll = autoScroll;
    invalidateTimer();
    if (m_autoScroll)
        setupTimer();
}

void CSCycleScrollView::setupTimer()
{
    // Whatever started a timer before (pictures set during a drag, say) is replaced, never
    // doubled: a forgotten timer would go on scrolling the carousel as well.
    invalidateTimer();
    Weak<CSCycleScrollView> weak = self<CSCycleScrollView>();
    auto timer = NSTimer::timerWithTimeInterval(m_autoScrollTimeInterval, true, [weak](const Ref<NSTimer>&) {
        if (auto cycleScrollView = weak.lock())
            cycleScrollView->automaticScroll();
    });
    // Common modes: it fires while a finger is down elsewhere on the screen too.
    NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
    m_timer = timer;
}

void CSCycleScrollView::invalidateTimer()
{
    if (auto timer = m_timer.lock())
        timer->invalidate();
    m_timer.reset();
}

void CSCycleScrollView::automaticScroll()
{
    if (m_totalItemsCount == 0)
        return;
    auto mainView = m_mainView.lock();
    auto flowLayout = m_flowLayout.lock();
    if (!mainView || !flowLayout)
        return;
    const CGFloat itemWidth = flowLayout->itemSize().width;
    if (itemWidth <= 0)
        return; // not laid out yet
    const NSInteger targetIndex = NSInteger(mainView->contentOffset().x / itemWidth) + 1;
    if (targetIndex >= m_totalItemsCount) {
        if (m_infiniteLoop)
            mainView->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(startItem(), 0), UICollectionViewScrollPositionNone, false);
        return;
    }
    mainView->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(targetIndex, 0), UICollectionViewScrollPositionNone, true);
}

std::optional<NSInteger> CSCycleScrollView::currentIndex(const Ref<UIScrollView>& scrollView) const
{
    const CGFloat width = cs_width(scrollView.get());
    if (width <= 0)
        return std::nullopt;
    return NSInteger((scrollView->contentOffset().x + width * 0.5) / width);
}

// Look

void CSCycleScrollView::setPlaceholderImage(const Ref<UIImage>& placeholderImage)
{
    m_placeholderImage = placeholderImage;
    auto backgroundImageView = m_backgroundImageView.lock();
    if (!backgroundImageView) {
        backgroundImageView = alloc<UIImageView>()->init();
        backgroundImageView->setContentMode(UIViewContentModeScaleToFill);
        if (auto mainView = m_mainView.lock())
            insertSubviewBelowSubview(backgroundImageView, mainView);
        else
            insertSubviewAtIndex(backgroundImageView, 0);
        m_backgroundImageView = backgroundImageView;
    }
    backgroundImageView->setImage(placeholderImage);
}

// Page indicator

void CSCycleScrollView::setShowPageControl(bool show)
{
    m_showPageControl = show;
    if (auto pageControl = m_pageControl.lock())
        pageControl->setHidden(!show);
}

void CSCycleScrollView::setPageControlStyle(int style)
{
    m_pageControlStyle = style;
    setupPageControl();
}

void CSCycleScrollView::setPageControlDotSize(CGSize size)
{
    m_pageControlDotSize = size;
    setupPageControl();
    if (auto pageControl = dv::as<PCPageControl>(m_pageControl.lock()))
        pageControl->setDotSize(size);
}

void CSCycleScrollView::setCurrentPageDotColor(const Ref<UIColor>& color)
{
    m_currentPageDotColor = color;
    auto pageControl = m_pageControl.lock();
    if (auto animated = dv::as<PCPageControl>(pageControl))
        animated->setDotColor(color);
    else if (auto classic = dv::as<UIPageControl>(pageControl))
        classic->setCurrentPageIndicatorTintColor(color);
}

void CSCycleScrollView::setPageDotColor(const Ref<UIColor>& color)
{
    m_pageDotColor = color;
    if (auto classic = dv::as<UIPageControl>(m_pageControl.lock()))
        classic->setPageIndicatorTintColor(color);
}

void CSCycleScrollView::setCurrentPageDotImage(const Ref<UIImage>& image)
{
    m_currentPageDotImage = image;
    if (!image)
        return;
    auto pageControl = m_pageControl.lock();
    if (auto animated = dv::as<PCPageControl>(pageControl))
        animated->setCurrentDotImage(image);
    else if (auto classic = dv::as<UIPageControl>(pageControl))
        classic->setValueForKey(image, "_currentPageImage"_ns);
}

void CSCycleScrollView::setPageDotImage(const Ref<UIImage>& image)
{
    m_pageDotImage = image;
    if (!image)
        return;
    auto pageControl = m_pageControl.lock();
    if (auto animated = dv::as<PCPageControl>(pageControl))
        animated->setDotImage(image);
    else if (auto classic = dv::as<UIPageControl>(pageControl))
        classic->setValueForKey(image, "_pageImage"_ns);
}

void CSCycleScrollView::setupPageControl()
{
    if (auto old = m_pageControl.lock())
        old->removeFromSuperview();
    m_pageControl.reset();

    const NSInteger count = pictureCount();
    if (count < 2 && m_hidesForSinglePage)
        return;

    Ref<UIControl> pageControl;
    if (m_pageControlStyle == CSCycleScrollViewPageControlStyleClassic) {
        auto classic = alloc<UIPageControl>()->init();
        classic->setNumberOfPages(count);
        classic->setCurrentPageIndicatorTintColor(m_currentPageDotColor);
        classic->setPageIndicatorTintColor(m_pageDotColor);
        pageControl = classic;
    } else if (m_pageControlStyle == CSCycleScrollViewPageControlStyleAnimated) {
        auto animated = alloc<PCPageControl>()->init();
        animated->setNumberOfPages(count);
        animated->setDotColor(m_currentPageDotColor);
        pageControl = animated;
    } else {
        return;
    }
    // The indicator only shows: taps go through to the pictures.
    pageControl->setUserInteractionEnabled(false);
    addSubview(pageControl);
    m_pageControl = pageControl;

    setCurrentPageDotImage(m_currentPageDotImage);
    setPageDotImage(m_pageDotImage);
}

// View

void CSCycleScrollView::setFrame(CGRect frame)
{
    UIView::setFrame(frame);
    if (auto flowLayout = m_flowLayout.lock())
        flowLayout->setItemSize(frame.size);
}

void CSCycleScrollView::layoutSubviews()
{
    UIView::layoutSubviews();
    auto mainView = m_mainView.lock();
    if (auto flowLayout = m_flowLayout.lock())
        flowLayout->setItemSize(frame().size);
    if (mainView) {
        mainView->setFrame(bounds());
        if (mainView->contentOffset().x == 0 && m_totalItemsCount != 0)
            mainView->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(startItem(), 0), UICollectionViewScrollPositionNone, false);
    }

    if (auto pageControl = m_pageControl.lock()) {
        const NSInteger count = pictureCount();
        auto animated = dv::as<PCPageControl>(pageControl);
        const CGSize size = animated ? animated->sizeForNumberOfPages(count)
                                     : CGSizeMake(CGFloat(count) * m_pageControlDotSize.width * 1.2, m_pageControlDotSize.height);
        const CGFloat x = m_pageControlAliment != CSCycleScrollViewPageControlAlimentRight
            ? (cs_width(this) - size.width) * 0.5
            : cs_width(mainView.get()) - size.width - kPageControlMargin;
        const CGFloat y = cs_height(mainView.get()) - size.height - kPageControlMargin;
        if (animated)
            animated->sizeToFit();
        pageControl->setFrame(CGRectMake(x, y, size.width, size.height));
        pageControl->setHidden(!m_showPageControl);
    }

    if (auto backgroundImageView = m_backgroundImageView.lock())
        backgroundImageView->setFrame(bounds());
}

void CSCycleScrollView::willMoveToSuperview(const Ref<UIView>& newSuperview)
{
    if (!newSuperview)
        invalidateTimer();
    UIView::willMoveToSuperview(newSuperview);
}

// Collection view

NSInteger CSCycleScrollView::collectionViewNumberOfItemsInSection(const Ref<UICollectionView>&, NSInteger) { return m_totalItemsCount; }

Ref<UICollectionViewCell> CSCycleScrollView::collectionViewCellForItemAtIndexPath(const Ref<UICollectionView>& collectionView,
    const Ref<NSIndexPath>& indexPath)
{
    auto cell = dv::as<CSCollectionViewCell>(collectionView->dequeueReusableCellWithReuseIdentifier(cellIdentifier(), indexPath));
    const NSInteger count = pictureCount();
    if (!cell || count == 0)
        return cell;
    const NSInteger itemIndex = indexPath->item() % count;
    auto imageView = cell->imageView();

    id imagePath = m_imagePathsGroup->objectAtIndex(NSUInteger(itemIndex));
    if (auto path = dv::as<NSString>(imagePath); path && path->length() > 0) {
        if (path->hasPrefix("http")) {
            ri_setImageWithURL(imageView, NSURL::URLWithString(path), m_placeholderImage);
        } else {
            // A late remote picture of the cell's previous item must not cover this one.
            ri_cancelCurrentImageLoad(imageView);
            imageView->setImage(UIImage::imageNamed(path));
        }
    } else if (auto image = dv::as<UIImage>(imagePath)) {
        ri_cancelCurrentImageLoad(imageView);
        imageView->setImage(image);
    } else if (dv::as<NSNull>(imagePath) || dv::as<NSString>(imagePath)) {
        // No URL (or an empty one): the placeholder, and no late picture of a previous item.
        ri_setImageWithURL(imageView, nil, m_placeholderImage);
    }

    // A reused cell must not keep the caption of the item it showed before.
    Ref<NSString> title;
    if (m_titlesGroup && NSUInteger(itemIndex) < m_titlesGroup->count())
        title = dv::as<NSString>(m_titlesGroup->objectAtIndex(NSUInteger(itemIndex)));
    cell->setTitle(title);

    if (!cell->hasConfigured()) {
        cell->setTitleLabelBackgroundColor(m_titleLabelBackgroundColor);
        cell->setTitleLabelHeight(m_titleLabelHeight);
        cell->setTitleLabelTextColor(m_titleLabelTextColor);
        cell->setTitleLabelTextFont(m_titleLabelTextFont);
        cell->setHasConfigured(true);
        imageView->setContentMode(m_bannerImageViewContentMode);
        cell->setClipsToBounds(true);
    }
    return cell;
}

bool CSCycleScrollView::collectionViewDidSelectItemAtIndexPath(const Ref<UICollectionView>&, const Ref<NSIndexPath>& indexPath)
{
    const NSInteger count = pictureCount();
    if (count == 0)
        return true;
    const NSInteger index = indexPath->item() % count;
    auto keep = self<CSCycleScrollView>(); // the delegate may take the carousel off the screen
    if (auto delegate = m_delegate.lock())
        delegate->cycleScrollViewDidSelectItemAtIndex(keep, index);
    if (auto block = m_clickItemOperationBlock)
        block(index);
    return true;
}

bool CSCycleScrollView::scrollViewDidScroll(const Ref<UIScrollView>& scrollView)
{
    const NSInteger count = pictureCount();
    if (count == 0)
        return true;
    auto index = currentIndex(scrollView);
    if (!index)
        return true;
    const NSInteger page = *index % count;
    auto pageControl = m_pageControl.lock();
    if (auto animated = dv::as<PCPageControl>(pageControl))
        animated->setCurrentPage(page);
    else if (auto classic = dv::as<UIPageControl>(pageControl))
        classic->setCurrentPage(page);
    return true;
}

bool CSCycleScrollView::scrollViewWillBeginDragging(const Ref<UIScrollView>&)
{
    if (m_autoScroll)
        invalidateTimer();
    return true;
}

bool CSCycleScrollView::scrollViewDidEndDragging(const Ref<UIScrollView>&, bool)
{
    if (m_autoScroll)
        setupTimer();
    return true;
}

bool CSCycleScrollView::scrollViewDidEndScrollingAnimation(const Ref<UIScrollView>& scrollView)
{
    const NSInteger count = pictureCount();
    if (count == 0)
        return true;
    auto index = currentIndex(scrollView);
    auto delegate = m_delegate.lock();
    if (index && delegate)
        delegate->cycleScrollViewDidScrollToIndex(self<CSCycleScrollView>(), *index % count);
    return true;
}
