// JZNewsDetailController: the page of one push message: its title in the bar (the base screen's
// title label), its time centred under the bar and its text in a read-only text view below,
// reaching to the bottom of the page. The caller sets the three texts before pushing the page.
// Main thread only.
//
//   auto news = alloc<JZNewsDetailController>()->init();
//   news->setTitleText(title); news->setTimes(addTime); news->setContent(text);
//   navigationController->pushViewController(news, true);
#pragma once

#include "app/shell/navigation/DDYPPartentsController.h"

class UILabel;
class UITextView;

class JZNewsDetailController : public DDYPPartentsController {
    DV_CLASS(JZNewsDetailController, DDYPPartentsController)

    JZNewsDetailController() = default;
    Ref<JZNewsDetailController> init();

    Ref<NSString> content() const { return m_content; }
    void setContent(const Ref<NSString>& content);
    Ref<NSString> titleText() const { return m_titleText; }
    void setTitleText(const Ref<NSString>& titleText);
    Ref<NSString> times() const { return m_times; }
    void setTimes(const Ref<NSString>& times);

    void viewDidLoad() override;
    // Shows the navigation bar each time the page is about to appear.
    void viewWillAppear(bool animated) override;

private:
    Ref<NSString> m_content;
    Ref<NSString> m_titleText;
    Ref<NSString> m_times;
};
