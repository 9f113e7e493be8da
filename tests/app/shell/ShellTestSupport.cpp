#include "ShellTestSupport.h"

#include "app/shell/ApplicationEntry.h"
#include "app/shell/home/VQMainButton.h"
#include "app/shell/home/VQMainViewController.h"
#include "app/shell/start/AppDelegate.h"
#include "foundation/identity/DIUUID.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "push/Lib/Controller/PushService.h"

#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/UIScreen.h"
#include "push/PSDictionaryCategories.h"

#include <cstdlib>
#include <filesystem>

namespace dv::test {

Ref<NSData> samplePicture()
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(8, 8), true, 1);
    UIColor::redColor()->setFill();
    UIRectFill(CGRectMake(0, 0, 4, 8));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return UIImagePNGRepresentation(image);
}

TemporaryHome::TemporaryHome()
{
    if (const char* old = std::getenv("DOVRELTA_HOME"))
        m_previous = old;
    std::string pattern = (std::filesystem::temp_directory_path() / "dv-shell-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
        m_path = pattern;
    ::setenv("DOVRELTA_HOME", m_path.c_str(), 1);
}

TemporaryHome::~TemporaryHome()
{
    std::error_code ec;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
    if (m_previous)
        ::setenv("DOVRELTA_HOME", m_previous->c_str(), 1);
    else
        ::unsetenv("DOVRELTA_HOME");
}

void ShellTest::SetUp()
{
    ASSERT_FALSE(m_home.path().empty());
    PSInstallDictionaryCategories();
    NSUserDefaults::resetStandardUserDefaults();
    UIApplication::resetSharedApplication();
    UIScreen::mainScreen()->reset();
    m_app = UIApplication::sharedApplication();
    m_window = alloc<UIWindow>()->init();
    m_window->setBackgroundColor(UIColor::whiteColor());
    m_delegate = std::make_shared<WindowDelegate>(m_window);
    m_app->setDelegate(m_delegate);
    m_window->makeKeyAndVisible();
    m_ui.runUntilIdle();

    m_serverFolder = m_home.path() + "/server";
    auto started = dv::devserver::Server::start({ .dataFolder = m_serverFolder });
    ASSERT_TRUE(started) << started.reason();
    m_server = std::move(started).value();
    ASSERT_TRUE(dv::app::setServerAddress(m_server->host(), m_server->port()));
}

void ShellTest::TearDown()
{
    if (m_server)
        m_server->stop();
    // Calls still in flight end now (the server closed their connections) and deliver.
    dv::testing::runUntilIdle();
    m_ui.runUntilIdle();
    dv::app::resetServerAddress();
    dv::app::setServerRequestTimeout(0);
    m_window = nil;
    m_app = nil;
    m_delegate.reset();
    UIApplication::resetSharedApplication();
    NSUserDefaults::resetStandardUserDefaults();
}

ZHHttpTool::SuccessBlock ShellTest::noteSuccess(const std::shared_ptr<CallResult>& result)
{
    return [result](const id& json) {
        ++result->successes;
        result->json = json;
    };
}

ZHHttpTool::FailureBlock ShellTest::noteFailure(const std::shared_ptr<CallResult>& result)
{
    return [result](const Ref<NSError>& error) {
        ++result->failures;
        result->error = error;
    };
}

std::shared_ptr<CallResult> ShellTest::post(const dv::app::ServerRequest& request)
{
    auto result = std::make_shared<CallResult>();
    ZHHttpTool::postWithURL(request.URL, request.fields, noteSuccess(result), noteFailure(result));
    EXPECT_TRUE(wait(result));
    return result;
}

std::shared_ptr<CallResult> ShellTest::postMultipart(const dv::app::ServerRequest& request, const Ref<NSArray>& parts)
{
    auto result = std::make_shared<CallResult>();
    ZHHttpTool::postWithURL(request.URL, request.fields, parts, noteSuccess(result), noteFailure(result));
    EXPECT_TRUE(wait(result));
    return result;
}

std::shared_ptr<CallResult> ShellTest::get(const dv::app::ServerRequest& request)
{
    auto result = std::make_shared<CallResult>();
    ZHHttpTool::getWithURL(request.URL, request.fields, noteSuccess(result), noteFailure(result));
    EXPECT_TRUE(wait(result));
    return result;
}

bool ShellTest::wait(const std::shared_ptr<CallResult>& result)
{
    return dv::testing::runMainLoopUntil([&] { return result->done(); });
}

std::vector<Ref<PHProgressHUD>> ShellTest::visibleOverlays() const { return m_ui.findAll<PHProgressHUD>(); }

bool ShellTest::overlayShowing() const
{
    // A hide turns an overlay almost transparent at once and removes it when its fade ends.
    for (const auto& overlay : visibleOverlays())
        if (overlay->alpha() > 0.05)
            return true;
    return false;
}

bool ShellTest::showsText(std::string_view text) const
{
    auto view = m_ui.viewWithText(text);
    return view && m_ui.isVisible(view);
}

void ApplicationTest::SetUp()
{
    ShellTest::SetUp();
    PushService::reset();
    dv::PrivacyAccess::reset();
}

void ApplicationTest::TearDown()
{
    m_started = nil;
    ShellTest::TearDown();
    dv::PrivacyAccess::reset();
    PushService::reset();
}

bool ApplicationTest::launch(const Ref<NSDictionary>& launchOptions)
{
    m_started = dv::app::startApplication(launchOptions);
    // The tiles come with the home screen's reply, whose block also starts the loading overlay's
    // fade; on a busy machine the two can be turns of the run loop apart.
    if (!dv::testing::runMainLoopUntil([&] { return !tiles().empty() && !overlayShowing(); }))
        return false;
    // The loading overlay fades out on the clock.
    m_ui.advance(1);
    return visibleOverlays().empty();
}

Ref<AppDelegate> ApplicationTest::appDelegate() const
{
    return std::dynamic_pointer_cast<AppDelegate>(UIApplication::sharedApplication()->delegate());
}

Ref<VQMainViewController> ApplicationTest::homeScreen() const
{
    auto delegate = appDelegate();
    auto window = delegate ? delegate->window() : nil;
    auto navigation = window ? dv::as<UINavigationController>(window->rootViewController()) : nil;
    auto controllers = navigation ? navigation->viewControllers() : nil;
    return controllers && controllers->count() ? dv::as<VQMainViewController>(controllers->objectAtIndex(0)) : nil;
}

std::vector<Ref<VQMainButton>> ApplicationTest::tiles() const { return m_ui.findAll<VQMainButton>(); }

std::vector<std::string> ApplicationTest::tileTitles() const
{
    std::vector<std::string> titles;
    for (const auto& tile : tiles())
        titles.push_back(dv::str(tile->titleLabel()->text()));
    return titles;
}

bool ApplicationTest::waitForTilePictures()
{
    auto placeholder = UIImage::imageNamed("dingdan"_ns);
    return dv::testing::runMainLoopUntil([&] {
        for (const auto& tile : tiles()) {
            auto image = tile->iconView()->image();
            if (!image || image == placeholder)
                return false;
        }
        return !tiles().empty();
    });
}

std::string ApplicationTest::clientId() const { return dv::str(DIUUID::uuidForDevice()); }

} // namespace dv::test
