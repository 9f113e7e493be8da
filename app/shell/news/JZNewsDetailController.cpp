#include "app/shell/news/JZNewsDetailController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UITextView.h"

DV_DEFINE_CLASS_WITH(JZNewsDetailController, b)
{
    b.property<Ref<NSString>>("content", "T@\"NSString\",C,N,V_content",
        [](const JZNewsDetailController& page) { return page.content(); },
        [](JZNewsDetailController& page, Ref<NSString> text) { page.setContent(text); });
    b.property<Ref<NSString>>("titleText", "T@\"NSString\",C,N,V_titleText",
        [](const JZNewsDetailController& page) { return page.titleText(); },
        [](JZNewsDetailController& page, Ref<NSString> text) { page.setTitleText(text); });
    b.property<Ref<NSString>>("times", "T@\"NSString\",C,N,V_times",
        [](const JZNewsDetailController& page) { return page.times(); },
        [](JZNewsDetailController& page, Ref<NSString> text) { page.setTimes(text); });
}

Ref<JZNewsDetailController> JZNewsDetailController::init()
{
    DDYPPartentsController::init();
    return self<JZNewsDetailController>();
}

void JZNewsDetailController::setContent(const Ref<NSString>& content) { m_content = dv::copyAs<NSString>(content); }
void JZNewsDetailController::setTitleText(const Ref<NSString>& titleText) { m_titleText = dv::copyAs<NSString>(titleText); }
void JZNewsDetailController::setTimes(const Ref<NSString>& times) { m_times = dv::copyAs<NSString>(times); }

void JZNewsDetailController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    myTitle()->setText(m_titleText);
    NSLog("%@", m_times);

    const CGFloat screenWidth = UIScreen::mainScreen()->bounds().size.width;
    auto timeLabel = alloc<UILabel>()->initWithFrame(CGRectMake(0, 74, screenWidth, 21));
    timeLabel->setText(m_times);
    timeLabel->setFont(UIFont::systemFontOfSize(15));
    timeLabel->setTextAlignment(NSTextAlignmentCenter);
    timeLabel->setTextColor(UIColor::grayColor());
    view()->addSubview(timeLabel);

    // From 5 points under the time label to the bottom of the page, and along with the page's
    // height when the navigation controller fits the page under its bar.
    const CGFloat top = CGRectGetMaxY(timeLabel->frame()) + 5;
    auto textView = alloc<UITextView>()->initWithFrame(CGRectMake(10, top, screenWidth - 20, view()->bounds().size.height - top));
    textView->setAutoresizingMask(UIViewAutoresizingFlexibleHeight);
    textView->setText(NSString::stringWithFormat("%@", m_content));
    textView->setEditable(false);
    view()->addSubview(textView);
}

void JZNewsDetailController::viewWillAppear(bool animated)
{
    DDYPPartentsController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false);
}
