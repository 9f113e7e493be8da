#include "app/shell/home/VQMainViewController.h"

#include "app/shell/home/VQMainButton.h"
#include "app/shell/models/VQAdModel.h"
#include "app/shell/models/VQMainBtnModel.h"
#include "app/shell/navigation/ScreenFactory.h"
#include "app/shell/navigation/ScreenSupport.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ServerSettings.h"
#include "app/shell/server/ZHHttpTool.h"
#include "foundation/identity/DIUUID.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/NSURLError.h"
#include "platform/system/AddressBook.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITapGestureRecognizer.h"
#include "platform/ui/UIWindow.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <atomic>
#include <map>
#include <memory>

namespace {

// The tag of the fixed last tile.
constexpr NSInteger kPictureTileTag = 1009;

// Tile keywords that open a screen of their own, by the screen's class name.
const std::map<NSInteger, const char*>& screensByKeyword()
{
    static const std::map<NSInteger, const char*> screens = {
        { 1, "VQAddFansViewController" },
        { 2, "VQPassiveFansVC" },
        { 3, "VQAddGroupViewController" },
        { 6, "VQExactCustomerVC" },
        { 9, "VQCategoryResourcesNewVC" },
        { 11, "VQAddPublicViewController" },
        { 12, "VQAboutvqViewController" },
    };
    return screens;
}

// Tile keywords that open the category's web page.
bool isWebKeyword(NSInteger keyword)
{
    switch (keyword) {
    case 4: case 5: case 7: case 8: case 10: case 13: case 14: case 15: case 16:
        return true;
    default:
        return false;
    }
}

NSInteger keywordOf(const Ref<VQMainBtnModel>& model)
{
    auto keyword = model ? model->keyword() : nil;
    return keyword ? keyword->integerValue() : 0;
}

} // namespace

DV_DEFINE_CLASS_WITH(VQMainViewController, b)
{
    b.method("reloadAct:", "v24@0:8@16", [](VQMainViewController& home, std::span<const id> args) {
        home.reloadAct(args.empty() ? nil : args[0]);
        return nil;
    });
    b.method("mainButtonClick:", "v24@0:8@16", [](VQMainViewController& home, std::span<const id> args) {
        home.mainButtonClick(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.method("gooooooooo", "v16@0:8", [](VQMainViewController& home, std::span<const id>) {
        home.gooooooooo();
        return nil;
    });
    b.method("goBigger:", "v24@0:8@16", [](VQMainViewController& home, std::span<const id> args) {
        home.goBigger(args.empty() ? nil : dv::as<UITapGestureRecognizer>(args[0]));
        return nil;
    });
    b.method("removeImage:", "v24@0:8@16", [](VQMainViewController& home, std::span<const id> args) {
        home.removeImage(args.empty() ? nil : dv::as<UITapGestureRecognizer>(args[0]));
        return nil;
    });
}

Ref<VQMainViewController> VQMainViewController::init()
{
    UIViewController::init();
    return self<VQMainViewController>();
}

void VQMainViewController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    setTitle("Dovrelta"_ns);
    view()->setBackgroundColor(UIColor::colorWithRed(222 / 255.0, 222 / 255.0, 222 / 255.0, 1));
    requestData();
    NSLog("GetUDIDGetUDID===%@", DIUUID::uuidForDevice());
}

void VQMainViewController::requestData()
{
    if (m_reloadBtn)
        m_reloadBtn->removeFromSuperview();
    PHProgressHUD::showMessag("正在加载"_ns, dv::app::applicationWindow());
    auto request = dv::app::homeIndexRequest();
    // The blocks keep the screen until the reply has come, as every screen's request does.
    auto me = self<VQMainViewController>();
    ZHHttpTool::postWithURL(request.URL, request.fields,
        [me](const id& json) { me->handleReply(json); },
        [me](const Ref<NSError>& error) { me->handleFailure(error); });
}

void VQMainViewController::reloadAct(const id&) { requestData(); }

void VQMainViewController::handleReply(const id& json)
{
    PHProgressHUD::hideHUDForView(dv::app::applicationWindow(), true);
    auto reply = ServerReply::fromObject(json);
    if (!reply || !reply->succeeded()) {
        PHProgressHUD::showError(reply ? reply->msg() : NSString::string(), view());
        return;
    }
    if (!m_btnArray)
        m_btnArray = NSMutableArray::array();
    if (!m_adArray)
        m_adArray = NSMutableArray::array();
    auto info = reply->infoDictionary();
    m_adArray->addObjectsFromArray(dv::app::replyModels<VQAdModel>(info ? info->objectForKey("listAd"_ns) : nil));
    auto categories = dv::app::replyModels<VQMainBtnModel>(info ? info->objectForKey("listCate"_ns) : nil);
    for (NSUInteger i = 0; i < categories->count(); ++i) {
        auto model = dv::as<VQMainBtnModel>(categories->objectAtIndex(i));
        auto name = model ? model->name() : nil;
        if (!name)
            continue;
        if (name->isEqualToString("信聊加粉"_ns)) {
            model->setName("加粉"_ns);
            m_btnArray->addObject(model);
        } else if (name->isEqualToString("行业客源"_ns) || name->isEqualToString("精准加粉"_ns)) {
            m_btnArray->addObject(model);
        }
    }
    createUI();
}

void VQMainViewController::handleFailure(const Ref<NSError>& error)
{
    NSLog("error=====%@", error);
    const NSInteger code = error ? error->code() : 0;
    if (code != NSURLErrorTimedOut && code != NSURLErrorNotConnectedToInternet && code != NSURLErrorCannotConnectToHost)
        return;
    const CGRect screen = UIScreen::mainScreen()->bounds();
    m_reloadBtn = UIButton::buttonWithType(UIButtonTypeCustom);
    m_reloadBtn->setFrame(CGRectMake(100, screen.size.height * 0.5 - 90, screen.size.width - 200, 40));
    m_reloadBtn->setTitle("点击重新加载"_ns, UIControlStateNormal);
    m_reloadBtn->titleLabel()->setFont(UIFont::systemFontOfSize(15));
    m_reloadBtn->setTitleColor(UIColor::colorWithRed(155 / 255.0, 155 / 255.0, 155 / 255.0, 1), UIControlStateNormal);
    m_reloadBtn->addTarget(self(), "reloadAct:", UIControlEventTouchUpInside);
    view()->addSubview(m_reloadBtn);
}

void VQMainViewController::createUI()
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    const CGFloat W = screen.size.width, H = screen.size.height;
    const CGFloat stripHeight = (H - dv::app::kTopBarsHeight) * 3 / 10 + 110;
    const CGFloat w = (W - 3) * 0.25;
    const CGFloat h = ((H - dv::app::kTopBarsHeight) * 7 / 10 - 3) * 0.25;

    NSLog("%@", m_adArray);
    const NSUInteger n = m_btnArray ? m_btnArray->count() : 0;
    for (NSUInteger i = 0; i <= n; ++i) {
        const CGRect frame = CGRectMake((i % 4) * (w + 1), stripHeight + (i / 4) * (h + 1), w, h);
        Ref<VQMainButton> tile;
        if (i < n) {
            auto model = dv::as<VQMainBtnModel>(m_btnArray->objectAtIndex(i));
            tile = alloc<VQMainButton>()->initWithFrame(frame, model->imgurl(), model->name());
            tile->btn()->setTag(keywordOf(model));
            tile->btn()->addTarget(self(), "mainButtonClick:", UIControlEventTouchUpInside);
        } else {
            auto picture = NSString::stringWithFormat("%@%@", ServerBaseURL(), "pic/static/picture.png"_ns);
            tile = alloc<VQMainButton>()->initWithFrame(frame, picture, "图片"_ns);
            tile->btn()->setTag(kPictureTileTag);
            tile->btn()->addTarget(self(), "gooooooooo", UIControlEventTouchUpInside);
        }
        view()->addSubview(tile);
    }

    openRoot();

    auto strip = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, W, stripHeight));
    strip->setUserInteractionEnabled(true);
    view()->addSubview(strip);
    const char* pictures[] = { "listFirend", "zhuanfa", "pengyouquan" };
    for (int j = 0; j < 3; ++j) {
        auto picture = alloc<UIImageView>()->initWithFrame(CGRectMake(j * W * 0.5, 0, W * 0.5, stripHeight));
        picture->setImage(UIImage::imageNamed(NSString::fromUTF8(pictures[j])));
        picture->setUserInteractionEnabled(true);
        picture->addGestureRecognizer(alloc<UITapGestureRecognizer>()->initWithTarget(self(), "goBigger:"));
        strip->addSubview(picture);
    }
    strip->setContentSize(CGSizeMake(3 * W * 0.5, stripHeight));
    strip->setBounces(false);
    strip->setPagingEnabled(false);
}

void VQMainViewController::openRoot()
{
    // Set on the address book's queue before it signals, read here after the wait.
    auto refused = std::make_shared<std::atomic<bool>>(false);
    if (dv::app::systemVersionAtLeast("6.0")) {
        Ref<NSError> error;
        auto book = ABAddressBookCreateWithOptions(nil, &error);
        auto answered = dispatch_semaphore_create(0);
        ABAddressBookRequestAccessWithCompletion(book, [refused, answered](bool granted, const Ref<NSError>&) {
            if (!granted)
                refused->store(true);
            dispatch_semaphore_signal(answered);
        });
        // The main thread waits for the person's answer to the system's prompt.
        dispatch_semaphore_wait(answered, DISPATCH_TIME_FOREVER);
    } else {
        ABAddressBookCreate();
    }
    if (refused->load()) {
        auto message = NSString::stringWithFormat("%@\n%@", "请您设置允许APP访问您的通讯录"_ns, "Settings>General>Privacy"_ns);
        alloc<UIAlertView>()->initWithTitle("温馨提示"_ns, message, self<VQMainViewController>(), "确定"_ns, {})->show();
    }
}

void VQMainViewController::pushScreen(const Ref<UIViewController>& screen)
{
    if (auto navigation = navigationController(); navigation && screen)
        navigation->pushViewController(screen, true);
}

void VQMainViewController::mainButtonClick(const Ref<UIButton>& button)
{
    if (!button)
        return;
    const NSInteger tag = button->tag();
    const NSUInteger count = m_btnArray ? m_btnArray->count() : 0;
    auto& screens = screensByKeyword();
    if (auto found = screens.find(tag); found != screens.end()) {
        auto screen = dv::app::makeScreen(found->second);
        if (!screen)
            return;
        for (NSUInteger i = 0; i < count; ++i) {
            auto model = dv::as<VQMainBtnModel>(m_btnArray->objectAtIndex(i));
            if (keywordOf(model) == tag)
                screen->setTitle(model->name());
        }
        pushScreen(screen);
    } else if (isWebKeyword(tag)) {
        for (NSUInteger i = 0; i < count; ++i) {
            auto model = dv::as<VQMainBtnModel>(m_btnArray->objectAtIndex(i));
            if (keywordOf(model) != tag)
                continue;
            auto page = dv::app::makeScreen("VQMainWebViewController");
            if (!page)
                return;
            dv::app::setScreenValue(page, model->name(), "titleName");
            dv::app::setScreenValue(page, model->categoryId(), "linkUrl");
            pushScreen(page);
        }
    }
}

void VQMainViewController::gooooooooo() { pushScreen(dv::app::makeScreen("KYWifiController")); }

void VQMainViewController::goBigger(const Ref<UITapGestureRecognizer>& tap)
{
    auto tapped = dv::as<UIImageView>(tap ? tap->view() : nil);
    auto window = dv::app::applicationWindow();
    if (!tapped || !window)
        return;
    const CGRect screen = UIScreen::mainScreen()->bounds();
    auto big = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 0, screen.size.width, screen.size.height));
    big->setImage(tapped->image());
    big->setUserInteractionEnabled(true);
    big->addGestureRecognizer(alloc<UITapGestureRecognizer>()->initWithTarget(self(), "removeImage:"));
    window->addSubview(big);
}

void VQMainViewController::removeImage(const Ref<UITapGestureRecognizer>& tap)
{
    if (auto view = tap ? tap->view() : nil)
        view->removeFromSuperview();
}

bool VQMainViewController::cycleScrollViewDidSelectItemAtIndex(const Ref<CSCycleScrollView>&, NSInteger index)
{
    // An index past the advertisements (a banner showing other pictures) opens nothing.
    if (!m_adArray || index < 0 || static_cast<NSUInteger>(index) >= m_adArray->count())
        return true;
    auto ad = dv::as<VQAdModel>(m_adArray->objectAtIndex(static_cast<NSUInteger>(index)));
    auto page = dv::app::makeScreen("VQADWebViewController");
    if (!ad || !page)
        return true;
    dv::app::setScreenValue(page, ad->name(), "titleName");
    dv::app::setScreenValue(page, ad->linkId(), "linkUrl");
    pushScreen(page);
    return true;
}
