#include "app/shell/guide/LYIntroduceController.h"

#include "app/shell/home/VQMainViewController.h"
#include "app/shell/navigation/SMNavigationController.h"
#include "app/shell/navigation/ScreenSupport.h"
#include "app/shell/start/IntroduceControllerDelegate.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/NSBundle.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIPageControl.h"
#include "platform/ui/UIWindow.h"

#include <cmath>

namespace {

Ref<UIColor> guideBlue()
{
    return dv::app::rgb(0, 169, 242);
}

} // namespace

DV_DEFINE_CLASS_WITH(LYIntroduceController, b)
{
    b.property<Ref<NSArray>>(
        "introImages", "T@\"NSArray\",&,N,V_introImages",
        [](const LYIntroduceController& object) { return object.introImages(); },
        [](LYIntroduceController& object, Ref<NSArray> value) { object.setIntroImages(value); });
    b.method("skipBtnClicked:", "v24@0:8@16", [](LYIntroduceController& guide, std::span<const id> args) {
        guide.skipBtnClicked(args.empty() ? nil : args[0]);
        return nil;
    });
}

LYIntroduceController::~LYIntroduceController()
{
    NSLog("dealloc");
}

Ref<LYIntroduceController> LYIntroduceController::init()
{
    UIViewController::init();
    return self<LYIntroduceController>();
}

Ref<LYIntroduceController> LYIntroduceController::initWithImages(const Ref<NSArray>& images)
{
    init();
    m_introImages = images;
    m_currentPage = 0;
    return self<LYIntroduceController>();
}

NSInteger LYIntroduceController::pictureCount() const
{
    return m_introImages ? static_cast<NSInteger>(m_introImages->count()) : 0;
}

void LYIntroduceController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    setupIntroView();
    setupSkipBtn();
    setupPageController();
}

void LYIntroduceController::setupIntroView()
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    const CGFloat W = screen.size.width, H = screen.size.height;
    auto scrollView = alloc<UIScrollView>()->initWithFrame(view()->bounds());
    scrollView->setDelegate(self<LYIntroduceController>());
    scrollView->setShowsHorizontalScrollIndicator(false);
    scrollView->setShowsVerticalScrollIndicator(false);
    const NSInteger count = pictureCount();
    for (NSInteger i = 0; i < count; ++i) {
        auto name = dv::as<NSString>(m_introImages->objectAtIndex(static_cast<NSUInteger>(i)));
        auto path = name ? NSBundle::mainBundle()->pathForResource(name, "png"_ns) : nil;
        // A name without a picture leaves its page empty.
        auto picture = alloc<UIImageView>()->initWithFrame(CGRectMake(i * W, 0, W, H));
        picture->setImage(path ? UIImage::imageWithContentsOfFile(path) : nil);
        scrollView->addSubview(picture);
    }
    scrollView->setPagingEnabled(true);
    // One empty page after the last picture.
    scrollView->setContentSize(CGSizeMake(W * (count + 1), view()->bounds().size.height));
    view()->addSubview(scrollView);
    m_scrollView = scrollView;
}

void LYIntroduceController::setupSkipBtn()
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake((screen.size.width - 100) * 0.5, screen.size.height - 60, 100, 30));
    button->layer()->setCornerRadius(4);
    button->layer()->setBorderColor(guideBlue()->CGColor());
    button->layer()->setBorderWidth(1);
    button->setTitle("进入应用"_ns, UIControlStateNormal);
    button->setTitleColor(guideBlue(), UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::systemFontOfSize(14));
    button->addTarget(self(), "skipBtnClicked:", UIControlEventTouchUpInside);
    view()->addSubview(button);
    m_skipBtn = button;
}

void LYIntroduceController::setupPageController()
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    auto dots = alloc<UIPageControl>()->initWithFrame(CGRectMake(0, screen.size.height - 30, screen.size.width, 30));
    dots->setPageIndicatorTintColor(guideBlue());
    dots->setNumberOfPages(pictureCount());
    dots->setCurrentPage(m_currentPage);
    view()->addSubview(dots);
    m_pageController = dots;
}

void LYIntroduceController::skipBtnClicked(const id&)
{
    handOverToDelegate();
}

bool LYIntroduceController::scrollViewDidScroll(const Ref<UIScrollView>& scrollView)
{
    const CGFloat W = UIScreen::mainScreen()->bounds().size.width;
    const CGFloat x = scrollView->contentOffset().x;
    const NSInteger count = pictureCount();
    const bool pastLastMiddle = x > (count - 0.5) * W;
    if (auto button = skipBtn())
        button->setHidden(pastLastMiddle);
    if (auto dots = pageController())
        dots->setHidden(pastLastMiddle);
    if (x > (count - 1) * W)
        handOverToDelegate();
    return true;
}

bool LYIntroduceController::scrollViewDidEndDecelerating(const Ref<UIScrollView>& scrollView)
{
    const CGFloat w = scrollView->frame().size.width;
    if (w <= 0)
        return true;
    const auto page = static_cast<NSInteger>(std::floor((scrollView->contentOffset().x - 0.5 * w) / w) + 1);
    if (auto dots = pageController())
        dots->setCurrentPage(page);
    // At rest on the empty page after the last picture.
    if (page == pictureCount())
        handOverToHomeScreen();
    return true;
}

bool LYIntroduceController::beginHandOver()
{
    if (m_handedOver)
        return false;
    m_handedOver = true;
    if (auto scrollView = m_scrollView.lock())
        scrollView->setDelegate(nil);
    return true;
}

void LYIntroduceController::handOverToDelegate()
{
    auto delegate = m_delegate.lock();
    if (!delegate || !beginHandOver())
        return;
    // The delegate replaces the window's root, which may release this guide: keep it for the call.
    [[maybe_unused]] auto me = self<LYIntroduceController>();
    delegate->introduceWillFinished();
}

void LYIntroduceController::handOverToHomeScreen()
{
    auto window = dv::app::applicationWindow();
    if (!window || !beginHandOver())
        return;
    [[maybe_unused]] auto me = self<LYIntroduceController>();
    auto home = alloc<VQMainViewController>()->init();
    window->setRootViewController(alloc<SMNavigationController>()->initWithRootViewController(home));
}
