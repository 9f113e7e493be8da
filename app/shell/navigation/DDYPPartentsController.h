// DDYPPartentsController: the base of the application's screens that carry their own title label
// and back button. When its view loads it turns white, makes every navigation bar's tint and title
// white, puts `myTitle` (a black, centred label 200 points wide) in the navigation item as the
// title view, and a 12 × 22 "nav_back" picture button as the left item, which pops the screen.
// That button replaces the one SMNavigationController gave the screen when it was pushed, since
// the view loads after the push. A subclass sets myTitle's text after calling viewDidLoad.
// Main thread only.
#pragma once

#include "platform/ui/UIViewController.h"

class UILabel;

class DDYPPartentsController : public UIViewController {
    DV_CLASS(DDYPPartentsController, UIViewController)

    DDYPPartentsController() = default;
    Ref<DDYPPartentsController> init();

    Ref<UILabel> myTitle() const { return m_myTitle; }
    void setMyTitle(const Ref<UILabel>& label) { m_myTitle = label; }

    void viewDidLoad() override;
    // The bar look of every navigation bar: white tint and white titles.
    void setNav();
    // The back button's action: pops this screen, animated.
    void leftButtonClick();

private:
    Ref<UILabel> m_myTitle;
};
