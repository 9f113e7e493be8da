// Uploads of pictures that are slow to decode: what is cheap to judge (the login, the quota, the
// size) is judged before the picture is decoded, decodes hold no lock that other requests need,
// and an upload that finds no room for its decode is told so within a bounded wait, so that
// clients uploading such pictures in a loop leave everyone else answered.
#include "DevServerTesting.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <vector>

namespace dv::devserver::testing {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

constexpr const char* kBusy = "服务器繁忙，请稍后再试";

Fields uploadFields(const std::string& clientId, const std::string& token, const std::string& account)
{
    return { { "clientId", clientId }, { "token", token }, { "title", "慢图" }, { "area_id", "310100" }, { "type", "3" },
        { "description", "慢图" }, { "account", account } };
}

FilePart codePart(std::string content) { return { "code", "1111.png", "jpg", std::move(content) }; }

// The slow picture is made once: libjpeg takes a while to write its scans.
const std::string& slowPicture()
{
    static const std::string picture = slowProgressiveJpeg();
    return picture;
}

class SlowPicturesTest : public DevServerTest { };

TEST_F(SlowPicturesTest, AnUploadTheStoreWouldRefuseIsRefusedBeforeItsPictureIsDecoded)
{
    std::atomic<std::int64_t> now { 1700000000 };
    ASSERT_NO_FATAL_FAILURE(startWith({ .dataFolder = folder.path() + "/quota", .maxCodesPerDevice = 1, .now = [&now] { return now.load(); } }));
    const std::string& slow = slowPicture();
    ASSERT_LT(slow.size(), 2u * 1024 * 1024);
    const std::string clientId = "5a0e1b2c3d4e5f60718293a4b5c6d7e8";
    const std::string token = login(clientId);
    auto upload = [&](const std::string& account, const std::string& picture) {
        const auto start = Clock::now();
        auto reply = httpPostMultipart(url("qrcode/saveCode.do"), uploadFields(clientId, token, account), { codePart(picture) });
        EXPECT_EQ(reply.status, 200) << reply.body;
        return std::pair { reply.json(), secondsSince(start) };
    };
    // How long the picture takes to be judged when it is decoded.
    const auto [decoded, decodeSeconds] = upload("xl_slow", slow);
    ASSERT_TRUE(decoded["status"] == 1 || decoded["msg"] == "二维码图片格式不正确") << decoded.dump();
    if (decoded["status"] != 1) {
        ASSERT_EQ(upload("xl_slow", samplePng(1)).first["status"], 1);
    }

    // The same account again the same day, and a second code past the device's quota of one.
    const auto [sameDay, sameDaySeconds] = upload("xl_slow", slow);
    EXPECT_EQ(sameDay["msg"], "该二维码今天已经更新过了，一天只能更新一次");
    const auto [pastQuota, pastQuotaSeconds] = upload("xl_slow2", slow);
    EXPECT_EQ(pastQuota["msg"], "本设备上传的二维码已达1个上限，无法再上传");
    std::printf("[ figures  ] a slow 4096 x 4096 JPEG of %zu bytes judged in %.2f s when decoded, refused in %.3f s and %.3f s "
                "when the store would not keep it\n",
        slow.size(), decodeSeconds, sameDaySeconds, pastQuotaSeconds);
    if (!kMeasured)
        return;
    // Judged without the picture: a read of the store, a few milliseconds.
    EXPECT_LT(sameDaySeconds, 0.2);
    EXPECT_LT(pastQuotaSeconds, 0.2);
}

TEST(SlowPicturesProgramTest, SixteenClientsUploadingSlowPicturesLeaveOrdinaryRequestsAnswered)
{
    ServerProgram program;
    ASSERT_GT(program.port, 0) << program.process.standardError();
    const std::string& base = program.base;
    const std::string& slow = slowPicture();

    // Each client logs in and uploads the picture under a new account each time, so that each
    // upload is one the store would keep and its picture is decoded; they stop when told, or past
    // a bounded count.
    constexpr int kUploaders = 16;
    std::atomic<bool> stop { false };
    struct Uploads {
        int answered = 0, accepted = 0, busy = 0, unanswered = 0;
        double slowest = 0;
    };
    std::vector<std::future<Uploads>> uploaders;
    for (int i = 0; i < kUploaders; ++i) {
        uploaders.push_back(std::async(std::launch::async, [&, i] {
            Uploads uploads;
            char clientId[33];
            std::snprintf(clientId, sizeof clientId, "%08x%024d", 0x5e0e0000u + unsigned(i), 0);
            const std::string token = httpPostForm(base + "client/login.do", { { "clientId", clientId } }).json().value("token", "");
            for (int n = 0; n < 40 && !stop; ++n) {
                const auto start = Clock::now();
                auto reply = httpPostMultipart(base + "qrcode/saveCode.do",
                    uploadFields(clientId, token, "xl_slow_" + std::to_string(n)), { codePart(slow) });
                uploads.slowest = std::max(uploads.slowest, secondsSince(start));
                if (reply.curlCode != 0) {
                    ++uploads.unanswered;
                    continue;
                }
                ++uploads.answered;
                const Json json = reply.json();
                uploads.accepted += json.value("status", 0) == 1;
                uploads.busy += json.value("msg", "") == kBusy;
                // Kept, told to come back, or refused by a decoder that will not read its scans.
                EXPECT_TRUE(json.value("status", 0) == 1 || json.value("msg", "") == kBusy || json.value("msg", "") == "二维码图片格式不正确")
                    << reply.status << " " << reply.body;
            }
            return uploads;
        }));
    }
    // Home page requests one after another while they upload: long enough for every upload to
    // have met the decoders' queue more than once, a shorter while where only answers are checked.
    const double kSeconds = kMeasured ? 4 : 2;
    const auto start = Clock::now();
    int asked = 0;
    double slowestHome = 0;
    while (secondsSince(start) < kSeconds) {
        const auto asking = Clock::now();
        auto reply = httpPostForm(base + "home/index.do", {});
        slowestHome = std::max(slowestHome, secondsSince(asking));
        EXPECT_EQ(reply.json().value("status", 0), 1) << reply.curlCode << " " << reply.body;
        ++asked;
    }
    stop = true;
    Uploads total;
    for (auto& uploader : uploaders) {
        const Uploads uploads = uploader.get();
        total.answered += uploads.answered;
        total.accepted += uploads.accepted;
        total.busy += uploads.busy;
        total.unanswered += uploads.unanswered;
        total.slowest = std::max(total.slowest, uploads.slowest);
    }
    std::printf("[ figures  ] %d clients uploading a slow JPEG for %.0f s: %d home page requests, the slowest %.2f s; %d uploads answered "
                "(%d kept, %d told the server is busy), the slowest in %.2f s\n",
        kUploaders, kSeconds, asked, slowestHome, total.answered, total.accepted, total.busy, total.slowest);
    EXPECT_EQ(total.unanswered, 0);
    EXPECT_GE(total.answered, kUploaders);
    if (!kMeasured)
        return;
    EXPECT_LT(slowestHome, 2.0) << "ordinary requests waited behind the uploads";
}

} // namespace
} // namespace dv::devserver::testing
