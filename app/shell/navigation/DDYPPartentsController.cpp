#include "app/shell/navigation/DDYPPartentsController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationBar.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"

DV_DEFINE_CLASS_WITH(DDYPPartentsController, b)
{
    b.property<Ref<UILabel>>("myTitle", "T@\"UILabel\",&,N,V_myTitle",
        [](const DDYPPartentsController& screen) { return screen.myTitle(); },
        [](DDYPPartentsController& screen, Ref<UILabel> label) { screen.setMyTitle(label); });
    b.method("leftButtonClick", "v16@0:8", [](DDYPPartentsController& screen, std::span<const id>) {
        screen.leftButtonClick();
        return nil;
    });
}

Ref<DDYPPartentsController> DDYPPartentsController::init()
{
    UIViewController::init();
    return self<DDYPPartentsController>();
}

void DDYPPartentsController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::whiteColor());
    setNav();

    const CGFloat screenWidth = UIScreen::mainScreen()->bounds().size.width;
    m_myTitle = alloc<UILabel>()->initWithFrame(CGRectMake((screenWidth - 200) * 0.5, 0, 200, 21));
    m_myTitle->setBackgroundColor(UIColor::clearColor());
    m_myTitle->setTextColor(UIColor::blackColor());
    m_myTitle->setTextAlignment(NSTextAlignmentCenter);
    navigationItem()->setTitleView(m_myTitle);

    auto back = alloc<UIButton>()->initWithFrame(CGRectMake(0, 3, 12, 22));
    back->setBackgroundImage(UIImage::imageNamed("nav_back"_ns), UIControlStateNormal);
    back->addTarget(self(), "leftButtonClick", UIControlEventTouchUpInside);
    navigationItem()->setLeftBarButtonItem(alloc<UIBarButtonItem>()->initWithCustomView(back));
}

void DDYPPartentsController::setNav()
{
    auto bar = UINavigationBar::appearance();
    bar->setTintColor(UIColor::whiteColor());
    bar->setTitleTextAttributes(NSDictionary::of({ { NSForegroundColorAttributeName, UIColor::whiteColor() } }));
}

void DDYPPartentsController::leftButtonClick()
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}
