#include "app/shell/agent/VQQueryViewController.h"

#include "app/shell/agent/VQQueWebViewController.h"
#include "app/shell/navigation/ScreenSupport.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UITextField.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

DV_DEFINE_CLASS_WITH(VQQueryViewController, b)
{
    b.property<Ref<UITextField>>(
        "textField", "T@\"UITextField\",&,N,V_textField",
        [](const VQQueryViewController& object) { return object.textField(); },
        [](VQQueryViewController& object, Ref<UITextField> value) { object.setTextField(value); });
    b.method("searchDelegate:", "v24@0:8@16", [](VQQueryViewController& form, std::span<const id> args) {
        form.searchDelegate(args.empty() ? nil : args[0]);
        return nil;
    });
}

Ref<VQQueryViewController> VQQueryViewController::init()
{
    UIViewController::init();
    return self<VQQueryViewController>();
}

void VQQueryViewController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    setTitle("授权代理查询"_ns);
    view()->setBackgroundColor(dv::app::pageBackgroundColor());
    createUI();
}

void VQQueryViewController::createUI()
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    const CGFloat W = screen.size.width, H = screen.size.height;

    auto panel = alloc<UIView>()->initWithFrame(CGRectMake(0, 100, W, 238));
    panel->setBackgroundColor(UIColor::whiteColor());
    view()->addSubview(panel);

    auto icon = alloc<UIImageView>()->initWithFrame(CGRectMake((W - 70) * 0.5, 15, 70, 70));
    icon->setImage(UIImage::imageNamed("shouquanicon"_ns));
    panel->addSubview(icon);

    m_textField = alloc<UITextField>()->initWithFrame(CGRectMake(60, 149, W - 120, 45));
    m_textField->setFont(UIFont::systemFontOfSize(15));
    m_textField->setTextColor(dv::app::rgb(155, 155, 155));
    m_textField->setPlaceholder("请输入代理商信聊号"_ns);
    m_textField->setTextAlignment(NSTextAlignmentCenter);
    m_textField->setBorderStyle(UITextBorderStyleRoundedRect);
    m_textField->layer()->setMasksToBounds(true);
    m_textField->layer()->setCornerRadius(10);
    m_textField->layer()->setBorderColor(dv::app::pageBackgroundColor()->CGColor());
    m_textField->layer()->setBorderWidth(1);
    panel->addSubview(m_textField);

    auto search = UIButton::buttonWithType(UIButtonTypeCustom);
    search->setFrame(CGRectMake(40, H - 160, W - 80, 45));
    search->layer()->setMasksToBounds(true);
    search->layer()->setCornerRadius(5);
    search->setTitle("查询"_ns, UIControlStateNormal);
    search->setBackgroundColor(dv::app::rgb(131, 162, 251));
    search->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    search->titleLabel()->setFont(UIFont::systemFontOfSize(17));
    search->addTarget(self(), "searchDelegate:", UIControlEventTouchUpInside);
    view()->addSubview(search);
}

void VQQueryViewController::searchDelegate(const id&)
{
    auto text = m_textField ? m_textField->text() : nil;
    // Only the empty text is refused: a blank is an id like any other.
    if (!text || text->length() == 0) {
        PHProgressHUD::showError("代理商信聊号不能为空"_ns, view());
        return;
    }
    auto letter = alloc<VQQueWebViewController>()->init();
    letter->setAgentNo(text);
    if (auto navigation = navigationController())
        navigation->pushViewController(letter, true);
}
