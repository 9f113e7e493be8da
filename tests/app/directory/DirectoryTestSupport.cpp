#include "DirectoryTestSupport.h"

#include "app/directory/DirectoryScreens.h"
#include "app/shell/ApplicationEntry.h"
#include "app/shell/navigation/ScreenFactory.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerSettings.h"
#include "app/shell/server/ZHHttpTool.h"
#include "foundation/http/PNURLSessionManager.h"
#include "foundation/identity/DIUUID.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/PhotoAlbum.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIAppearance.h"
#include "platform/testing/Pixels.h"
#include "push/Lib/Controller/PushService.h"
#include "ui/images/RIImageCache.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <zbar.h>

#include <set>

namespace dv::test {

namespace {

constexpr const char* kLoading = "正在加载";

std::string text(const Ref<NSString>& value) { return value ? dv::str(value) : std::string(); }

std::map<std::string, std::string> formFields(const Ref<NSData>& body)
{
    std::map<std::string, std::string> fields;
    if (!body)
        return fields;
    const std::string form(body->view());
    std::size_t start = 0;
    while (start < form.size()) {
        std::size_t end = form.find('&', start);
        if (end == std::string::npos)
            end = form.size();
        const std::string pair = form.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        auto decode = [](const std::string& part) {
            auto decoded = NSString::fromUTF8(part)->stringByRemovingPercentEncoding();
            return decoded ? dv::str(decoded) : part;
        };
        if (!pair.empty())
            fields[decode(pair.substr(0, equals))] = equals == std::string::npos ? std::string() : decode(pair.substr(equals + 1));
        start = end + 1;
    }
    return fields;
}

} // namespace

std::string SentRequest::field(const std::string& name) const
{
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

// Every call of the HTTP layer that has ended, and those on their way.
struct DirectoryTest::Recorder {
    id token;
    id startToken;
    std::size_t mark DV_GUARDED_BY(mutex) = 0; // requests before it were cleared
    mutable dv::Mutex mutex;
    std::vector<SentRequest> sent DV_GUARDED_BY(mutex);
    std::set<const void*> running DV_GUARDED_BY(mutex); // their tasks, by address
};

void DirectoryTest::SetUp()
{
    ASSERT_FALSE(m_home.path().empty());
    NSUserDefaults::resetStandardUserDefaults();
    UIApplication::resetSharedApplication();
    UIScreen::mainScreen()->reset();
    dv::PrivacyAccess::reset();
    PushService::reset();

    // Calls are recorded when they end (after their blocks have run), by the notice the session
    // managers post then; the notice of their start only tells which are on their way.
    m_recorder = std::make_shared<Recorder>();
    auto recorder = m_recorder;
    m_recorder->token = NSNotificationCenter::defaultCenter()->addObserverForName(PNTaskCompleteNotificationName, nil, nil,
        [recorder](const Ref<NSNotification>& note) {
            auto task = dv::as<NSURLSessionTask>(note->object());
            auto request = task ? task->originalRequest() : nil;
            SentRequest sent;
            if (request && request->URL()) {
                sent.path = text(request->URL()->path());
                sent.fields = formFields(request->HTTPBody());
            }
            dv::MutexLocker lock(recorder->mutex);
            recorder->sent.push_back(std::move(sent));
            recorder->running.erase(task.get());
        });
    m_recorder->startToken = NSNotificationCenter::defaultCenter()->addObserverForName(PNTaskResumeNotificationName, nil, nil,
        [recorder](const Ref<NSNotification>& note) {
            dv::MutexLocker lock(recorder->mutex);
            recorder->running.insert(note->object().get());
        });
    startServer(true);
    dv::app::installDirectoryScreens();
    launch();
}

void DirectoryTest::launch()
{
    // The application as it starts: the login and the home screen's load go first.
    const auto before = callsMade();
    m_app = dv::app::startApplication();
    auto delegate = m_app->delegate();
    m_window = delegate ? delegate->window() : nil;
    ASSERT_TRUE(m_window);
    m_navigation = dv::as<UINavigationController>(m_window->rootViewController());
    ASSERT_TRUE(m_navigation);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return callsMade() >= before + 2; }));
    m_ui.advance(1);
    clearRequests();
}

void DirectoryTest::relaunch()
{
    // The process ends: the application, its window and screens go, and the user defaults are
    // read from their file again by the next one.
    m_ui.runUntilIdle();
    m_navigation = nil;
    m_window = nil;
    m_app = nil;
    UIApplication::resetSharedApplication();
    NSUserDefaults::resetStandardUserDefaults();
    launch();
}

void DirectoryTest::TearDown()
{
    // A call still on its way keeps the screen that made it until its answer has been handled
    // (on purpose), and would handle it after the test: each is answered before the server goes.
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return callsRunning() == 0; })) << callsRunning() << " calls still running";
    if (m_server)
        m_server->stop();
    dv::testing::runUntilIdle();
    m_ui.runUntilIdle();
    NSNotificationCenter::defaultCenter()->removeObserver(m_recorder->token);
    NSNotificationCenter::defaultCenter()->removeObserver(m_recorder->startToken);
    dv::PrivacyAccess::reset();
    dv::app::resetServerAddress();
    dv::app::setServerRequestTimeout(0);
    m_navigation = nil;
    m_window = nil;
    m_app = nil;
    UIApplication::resetSharedApplication();
    NSUserDefaults::resetStandardUserDefaults();
    PushService::reset();
    // The looks the screens set go with the application; its screens set them again.
    removeAllAppearanceRules();
    // The pictures a test loaded are not there for the next one to find in memory.
    RIImageCache::sharedImageCache()->clearMemory();
    NSURLCache::sharedURLCache()->removeAllCachedResponses();
    // The next test is another device (its own home, its own keychain): its identifier is read
    // again from there.
    DIUUID::resetSharedInstanceForTesting();
}

void DirectoryTest::startServer(bool seedCodes, std::optional<std::uint64_t> maxPicturePixels)
{
    if (m_server)
        m_server->stop();
    dv::devserver::Options options { .dataFolder = m_home.path() + "/server" + std::to_string(++m_serverGeneration), .seedCodes = seedCodes };
    if (maxPicturePixels)
        options.maxPicturePixels = *maxPicturePixels;
    auto started = dv::devserver::Server::start(options);
    ASSERT_TRUE(started) << started.reason();
    m_server = std::move(started).value();
    ASSERT_TRUE(dv::app::setServerAddress(m_server->host(), m_server->port()));
}

std::vector<ServerCode> DirectoryTest::serverCodes(dv::app::QRCodeKind kind, NSInteger page)
{
    auto request = dv::app::listCodeRequest(kind, page);
    id json;
    const auto before = callsMade();
    ZHHttpTool::postWithURL(request.URL, request.fields, [&](const id& reply) { json = reply; }, [](const Ref<NSError>&) { });
    // Until the call's end is on record, so that the screens' calls are counted apart.
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return callsMade() > before; }));
    {
        dv::MutexLocker lock(m_recorder->mutex);
        for (std::size_t i = before; i < m_recorder->sent.size(); ++i)
            m_recorder->sent[i].byTest = true;
    }
    std::vector<ServerCode> codes;
    auto reply = ServerReply::fromObject(json);
    auto items = reply ? reply->listItems() : nil;
    if (!items)
        return codes;
    for (const id& item : *items) {
        auto record = dv::as<NSDictionary>(item);
        if (!record)
            continue;
        auto field = [&](const char* key) { return text(dv::app::textOfJSON(record->objectForKey(NSString::fromUTF8(key)))); };
        codes.push_back({ field("qrcodeId"), field("title"), field("account"), field("position"), field("qrcodeImg"),
            field("descriptions"), field("areaName") });
    }
    return codes;
}

Ref<UIViewController> DirectoryTest::openScreen(const std::string& className, const std::string& title)
{
    auto screen = dv::app::makeScreen(className);
    EXPECT_TRUE(screen) << className;
    if (!screen)
        return nil;
    screen->setTitle(NSString::fromUTF8(title));
    const auto before = callsMade();
    m_navigation->pushViewController(screen, true);
    EXPECT_TRUE(waitUntilLoaded(before));
    return screen;
}

std::size_t DirectoryTest::callsMade() const
{
    dv::MutexLocker lock(m_recorder->mutex);
    return m_recorder->sent.size();
}

std::size_t DirectoryTest::callsRunning() const
{
    dv::MutexLocker lock(m_recorder->mutex);
    return m_recorder->running.size();
}

bool DirectoryTest::waitUntilLoaded(std::size_t callsBefore)
{
    // A call's end is on record once its task has completed, which can be a moment before the
    // main thread has run the screen's reply block; the loading overlay starts fading there.
    const bool loaded = dv::testing::runMainLoopUntil([&] { return callsMade() > callsBefore && !hasOverlay(kLoading, Fading::No); });
    // Overlays fade out (and a push or pop ends) on the clock.
    m_ui.advance(0.4);
    return loaded && !hasOverlay(kLoading);
}

bool DirectoryTest::tapAndWait(const Ref<UIView>& view)
{
    const auto before = callsMade();
    return m_ui.tap(view) && waitUntilLoaded(before);
}

bool DirectoryTest::tapAndWait(const Ref<UIBarButtonItem>& item)
{
    const auto before = callsMade();
    return m_ui.tap(item) && waitUntilLoaded(before);
}

bool DirectoryTest::tapRowAndWait(const Ref<UITableView>& table, NSInteger row, NSInteger section)
{
    const auto before = callsMade();
    return m_ui.tapRow(table, NSIndexPath::indexPathForRow(row, section)) && waitUntilLoaded(before);
}

bool DirectoryTest::goBack()
{
    auto top = m_ui.topViewController();
    auto back = top ? top->navigationItem()->leftBarButtonItem() : nil;
    if (!back || !m_ui.tap(back))
        return false;
    m_ui.advance(0.4);
    return m_ui.topViewController() != top;
}

void DirectoryTest::clearToasts() { m_ui.advance(1); }

bool DirectoryTest::showsText(std::string_view wanted) const
{
    auto view = m_ui.viewWithText(wanted);
    return view && m_ui.isVisible(view);
}

bool DirectoryTest::hasOverlay(std::string_view text, Fading fading) const
{
    for (const auto& label : m_ui.findAll(dv::testing::ViewQuery().withText(std::string(text)).hiddenToo()))
        for (auto view = label->superview(); view; view = view->superview())
            if (dv::as<PHProgressHUD>(view))
                // A hide turns the overlay almost transparent at once and removes it when the fade ends.
                if (fading == Fading::Yes || view->alpha() > 0.05)
                    return true;
    return false;
}

bool DirectoryTest::waitForOverlay(std::string_view text)
{
    return dv::testing::runMainLoopUntil([&] { return hasOverlay(text); });
}

std::vector<std::string> DirectoryTest::visibleRowTitles(const Ref<UITableView>& table) const
{
    std::vector<std::string> titles;
    if (!table)
        return titles;
    const auto cells = table->visibleCells();
    for (const id& cell : *cells) {
        auto row = dv::as<UITableViewCell>(cell);
        const auto subviews = row->contentView()->subviews();
        for (const auto& subview : *subviews)
            if (auto rowLabel = dv::as<UILabel>(subview); rowLabel && m_ui.isVisible(rowLabel))
                titles.push_back(m_ui.textOf(rowLabel));
    }
    return titles;
}

std::vector<SentRequest> DirectoryTest::requestsTo(std::string_view path) const
{
    std::vector<SentRequest> matching;
    dv::MutexLocker lock(m_recorder->mutex);
    for (std::size_t i = m_recorder->mark; i < m_recorder->sent.size(); ++i)
        if (!m_recorder->sent[i].byTest && m_recorder->sent[i].path.ends_with(path))
            matching.push_back(m_recorder->sent[i]);
    return matching;
}

void DirectoryTest::clearRequests()
{
    dv::MutexLocker lock(m_recorder->mutex);
    m_recorder->mark = m_recorder->sent.size();
}

std::vector<std::string> DirectoryTest::albumPictures() const
{
    std::vector<std::string> paths;
    const auto saved = dv::PhotoAlbum::savedImagePaths();
    for (const id& path : *saved)
        paths.push_back(dv::str(dv::as<NSString>(path)));
    return paths;
}

std::optional<std::string> readQrCode(const Ref<UIImage>& image)
{
    if (!image)
        return std::nullopt;
    const dv::testing::Pixels pixels(image);
    const CGSize size = pixels.sizeInPoints();
    const auto width = static_cast<unsigned>(size.width), height = static_cast<unsigned>(size.height);
    // Grey levels over white, as a scanner sees the picture.
    std::vector<unsigned char> grey(static_cast<std::size_t>(width) * height);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            const auto p = pixels.at(x + 0.5, y + 0.5);
            const int alpha = p[3] < 0 ? 0 : p[3];
            const int level = (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
            grey[static_cast<std::size_t>(y) * width + x] = static_cast<unsigned char>((level * alpha + 255 * (255 - alpha)) / 255);
        }
    using namespace zbar; // the library's C interface, as its header declares it for C++
    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    zbar_image_t* frame = zbar_image_create();
    zbar_image_set_format(frame, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(frame, width, height);
    zbar_image_set_data(frame, grey.data(), grey.size(), nullptr);
    std::optional<std::string> found;
    if (zbar_scan_image(scanner, frame) > 0)
        if (const zbar_symbol_t* symbol = zbar_image_first_symbol(frame))
            found = std::string(zbar_symbol_get_data(symbol), zbar_symbol_get_data_length(symbol));
    zbar_image_destroy(frame);
    zbar_image_scanner_destroy(scanner);
    return found;
}

} // namespace dv::test
