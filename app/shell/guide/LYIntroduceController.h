// LYIntroduceController: the full-screen guide. Its pictures (image files of type "png" in the
// main bundle, read directly, not through the named-image cache) lie side by side in a paging
// scroll view, followed by one empty page; a page indicator (one dot per picture) and the button
// "进入应用" lie above them and hide once the user is past the middle of the last picture.
//
// The guide ends by handing over, once: dragging past the left edge of the last picture tells
// the delegate introduceWillFinished (as does the button); without a delegate, coming to rest on
// the empty page makes a new navigation controller with a new home screen the root of the
// application window. After the hand-over the guide stops listening to its scroll view, so later
// scrolling hands over nothing more.
//
// The delegate (the application delegate) is not retained. The application window's root owns
// the guide; replacing the root releases it. Main thread only.
//
//   auto guide = alloc<LYIntroduceController>()->initWithImages(NSArray::of({ "yindao1"_ns, "yindao2"_ns }));
//   guide->setDelegate(delegate);
//   window->setRootViewController(guide);
#pragma once

#include "platform/ui/UIScrollView.h"
#include "platform/ui/UIViewController.h"

class IntroduceControllerDelegate;
class NSArray;
class UIButton;
class UIPageControl;

class LYIntroduceController : public UIViewController, public UIScrollViewDelegate {
    DV_CLASS(LYIntroduceController, UIViewController)

    LYIntroduceController() = default;
    ~LYIntroduceController() override;
    Ref<LYIntroduceController> init();
    // The names of the pictures, in display order; the indicator starts at page 0.
    Ref<LYIntroduceController> initWithImages(const Ref<NSArray>& images);

    Ref<IntroduceControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<IntroduceControllerDelegate>& delegate) { m_delegate = delegate; }
    Ref<NSArray> introImages() const { return m_introImages; }
    void setIntroImages(const Ref<NSArray>& images) { m_introImages = images; }
    Ref<UIPageControl> pageController() const { return m_pageController.lock(); }
    Ref<UIButton> skipBtn() const { return m_skipBtn.lock(); }
    int64_t currentPage() const { return m_currentPage; }
    void setCurrentPage(int64_t page) { m_currentPage = page; }

    // The pictures, then the button, then the indicator (so the last two lie above the pictures).
    void viewDidLoad() override;
    void setupIntroView();
    void setupSkipBtn();
    void setupPageController();
    // The button's action: the hand-over to the delegate, when there is one.
    void skipBtnClicked(const id& sender);

    bool scrollViewDidScroll(const Ref<UIScrollView>& scrollView) override;
    bool scrollViewDidEndDecelerating(const Ref<UIScrollView>& scrollView) override;

private:
    NSInteger pictureCount() const;
    // Both end the guide's listening to its scroll view; nothing after the first hand-over.
    void handOverToDelegate();
    void handOverToHomeScreen();
    bool beginHandOver();

    Weak<IntroduceControllerDelegate> m_delegate;
    Ref<NSArray> m_introImages;
    Weak<UIPageControl> m_pageController;
    Weak<UIButton> m_skipBtn;
    int64_t m_currentPage = 0;
    Weak<UIScrollView> m_scrollView;
    bool m_handedOver = false;
};
