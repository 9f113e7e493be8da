// Uploads: stored, listed first, served back, kept across a restart; bad input is refused.
#include "DevServerTesting.h"

#include "platform/base/NSData.h"
#include "platform/graphics/UIImage.h"
#include "platform/testing/LargePictures.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace dv::devserver::testing {
namespace {

constexpr const char* kClient = "a1b2c3d4e5f60718293a4b5c6d7e8f90";

class UploadTest : public DevServerTest {
protected:
    Fields uploadFields(const std::string& token, const std::string& account = "xl_upload01") const
    {
        return {
            { "clientId", kClient }, { "token", token }, { "title", "上海周末亲子活动群" }, { "area_id", "310100" },
            { "type", "3" }, { "description", "每周组织亲子户外活动，欢迎宝爸宝妈。" }, { "account", account },
        };
    }
    static FilePart codePart(std::string content)
    {
        // As the application sends it: JPEG or PNG bytes under a ".png" name with the type "jpg".
        return { "code", "1111.png", "jpg", std::move(content) };
    }
    Json upload(const Fields& fields, const std::vector<FilePart>& files)
    {
        auto result = httpPostMultipart(url("qrcode/saveCode.do"), fields, files);
        EXPECT_EQ(result.status, 200) << result.body;
        return result.json();
    }
    Json firstGroupCode() { return post("qrcode/listCode.do", { { "type", "3" }, { "page", "0" } })["info"]["listItems"][0]; }
};

TEST_F(UploadTest, UploadedCodeIsListedFirstAndItsPictureServedBack)
{
    std::string token = login(kClient);
    std::string picture = samplePng(3);
    Json reply = upload(uploadFields(token), { codePart(picture) });
    EXPECT_EQ(reply["status"], 1) << reply.dump();
    EXPECT_EQ(reply["info"], "上传成功");

    Json list = post("qrcode/listCode.do", { { "type", "3" }, { "page", "0" } });
    EXPECT_EQ(list["info"]["totalCount"], 24);
    Json code = list["info"]["listItems"][0];
    EXPECT_EQ(code["title"], "上海周末亲子活动群");
    EXPECT_EQ(code["account"], "xl_upload01");
    EXPECT_EQ(code["descriptions"], "每周组织亲子户外活动，欢迎宝爸宝妈。");
    EXPECT_EQ(code["areaId"], 310100);
    EXPECT_EQ(code["areaName"], "上海市");
    // The uploader's device identifier would let anyone log in as it: only a digest is shown.
    std::string equipId = code["equipId"];
    EXPECT_EQ(equipId.size(), 16u);
    EXPECT_EQ(equipId.find(std::string(kClient).substr(0, 8)), std::string::npos);
    EXPECT_EQ(code["position"], "0");

    auto served = httpGet(code["qrcodeImg"]);
    EXPECT_EQ(served.status, 200);
    EXPECT_EQ(served.contentType, "image/png");
    EXPECT_EQ(served.body, picture);

    Json detail = post("qrcode/getDetail.do", { { "id", code["qrcodeId"] }, { "position", "0" } });
    EXPECT_EQ(detail["info"], code);
    // The code that was first before the upload is now its next neighbour.
    Json next = post("qrcode/getChangeDetail.do", { { "id", code["qrcodeId"] }, { "position", "0" }, { "flag", "1" } });
    EXPECT_EQ(next["info"]["position"], "1");
}

TEST_F(UploadTest, ReuploadRefreshesTheCodeOncePerDay)
{
    // A server with a clock of our own: the one-refresh-a-day rule is about calendar days.
    std::atomic<std::int64_t> now { 1700000000 };
    ASSERT_NO_FATAL_FAILURE(startWith({ .dataFolder = folder.path() + "/pinned", .now = [&now] { return now.load(); } }));

    std::string token = login(kClient);
    ASSERT_EQ(upload(uploadFields(token), { codePart(samplePng(1)) })["status"], 1);
    Json first = firstGroupCode();
    // Another code goes on top; the refresh must bring ours back.
    ASSERT_EQ(upload(uploadFields(token, "xl_other"), { codePart(samplePng(2)) })["status"], 1);

    Json sameDay = upload(uploadFields(token), { codePart(samplePng(3)) });
    EXPECT_EQ(sameDay["status"], 0);
    EXPECT_EQ(sameDay["msg"], "该二维码今天已经更新过了，一天只能更新一次");

    now += 86400;
    Fields changed = uploadFields(token);
    changed[2].second = "上海周末亲子活动二群";
    changed[3].second = "440300";
    std::string newPicture = samplePng(4);
    Json nextDay = upload(changed, { codePart(newPicture) });
    EXPECT_EQ(nextDay["status"], 1) << nextDay.dump();
    EXPECT_EQ(nextDay["info"], "更新成功");
    Json refreshed = firstGroupCode();
    EXPECT_EQ(refreshed["qrcodeId"], first["qrcodeId"]);
    EXPECT_EQ(refreshed["title"], "上海周末亲子活动二群");
    EXPECT_EQ(refreshed["areaId"], 440300);
    EXPECT_EQ(refreshed["areaName"], "广东省深圳市");
    EXPECT_NE(refreshed["qrcodeImg"], first["qrcodeImg"]) << "a new picture gets a new address";
    EXPECT_EQ(httpGet(refreshed["qrcodeImg"]).body, newPicture);
    EXPECT_EQ(post("qrcode/listCode.do", { { "type", "3" }, { "page", "0" } })["info"]["totalCount"], 25);
}

TEST_F(UploadTest, MissingOrBadFieldsAreRefusedWithTheirMessage)
{
    std::string token = login(kClient);
    std::string picture = samplePng(5);
    struct Case {
        const char* field;
        const char* value; // nullptr: the field is left out
        const char* message;
    };
    const Case cases[] = {
        { "clientId", nullptr, "设备号不能为空" },
        { "token", nullptr, "请先登录" },
        { "token", "0000", "登录已失效，请重新打开应用" },
        { "type", "5", "二维码类型错误" },
        { "title", "", "标题不能为空" },
        { "area_id", nullptr, "请选择省市" },
        { "area_id", "123456", "所选地区不存在" },
        { "account", "", "信聊号不能为空" },
        { "description", nullptr, "介绍不能为空" },
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.field);
        Fields fields;
        for (auto& [name, value] : uploadFields(token)) {
            if (name != test.field)
                fields.emplace_back(name, value);
            else if (test.value)
                fields.emplace_back(name, test.value);
        }
        Json reply = upload(fields, { codePart(picture) });
        EXPECT_EQ(reply["status"], 0);
        EXPECT_EQ(reply["msg"], test.message);
    }
    EXPECT_EQ(upload(uploadFields(token), {})["msg"], "请上传一张二维码");
    EXPECT_EQ(upload(uploadFields(token), { codePart("") })["msg"], "请上传一张二维码");
    EXPECT_EQ(upload(uploadFields(token), { codePart("GIF89a but not really a picture") })["msg"], "二维码图片格式不正确");
    EXPECT_EQ(upload(uploadFields(token, "xl_text"), { codePart("plain text, not a picture") })["msg"], "二维码图片格式不正确");
    Fields longTitle = uploadFields(token, "xl_long");
    longTitle[2].second = std::string(101 * 3, 'a');
    EXPECT_EQ(upload(longTitle, { codePart(picture) })["msg"], "标题不能超过100个字");
    // A plain form post has no file part at all.
    EXPECT_EQ(post("qrcode/saveCode.do", uploadFields(token, "xl_form"))["msg"], "请上传一张二维码");
}

TEST_F(UploadTest, TextThatIsNotUtf8StillGivesValidJson)
{
    std::string token = login(kClient);
    Fields fields = uploadFields(token, "xl_bytes");
    fields[2].second = "标题\xff\xfe";
    ASSERT_EQ(upload(fields, { codePart(samplePng(6)) })["status"], 1);
    auto list = httpPostForm(url("qrcode/listCode.do"), { { "type", "3" }, { "page", "0" } });
    Json json = list.json();
    ASSERT_TRUE(json.is_object()) << list.body;
    EXPECT_TRUE(json["info"]["listItems"][0]["title"].get<std::string>().starts_with("标题"));
}

TEST_F(UploadTest, OversizedUploadsAndBrokenBodiesAreRefused)
{
    ASSERT_NO_FATAL_FAILURE(startWith({ .dataFolder = folder.path() + "/small", .maxRequestBytes = 64 * 1024, .maxImageBytes = 4096 }));
    std::string token = login(kClient);

    std::string big = samplePng(7);
    big.resize(8000, '\0'); // still a PNG by its first bytes
    EXPECT_EQ(upload(uploadFields(token), { codePart(big) })["msg"], "图片太大，请压缩后再上传");

    big.resize(100 * 1024, '\0');
    auto tooLarge = httpPostMultipart(url("qrcode/saveCode.do"), uploadFields(token), { codePart(big) });
    EXPECT_EQ(tooLarge.status, 413);

    auto broken = httpPostRaw(url("qrcode/saveCode.do"), "multipart/form-data; boundary=XYZ",
        "--XYZ\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nno end");
    EXPECT_GE(broken.status, 400);
    EXPECT_LT(broken.status, 500);
    auto noBoundary = httpPostRaw(url("qrcode/saveCode.do"), "multipart/form-data", "garbage");
    EXPECT_GE(noBoundary.status, 400);
    EXPECT_LT(noBoundary.status, 500);
    auto garbledForm = httpPostRaw(url("client/login.do"), "application/x-www-form-urlencoded", "clientId=%zz%&&==&");
    EXPECT_EQ(garbledForm.status, 200);
    EXPECT_TRUE(garbledForm.json().is_object());

    // Still serving.
    EXPECT_EQ(post("home/index.do")["status"], 1);
}

TEST_F(UploadTest, PicturesOfMorePixelsThanACodeNeedsAreRefusedFromTheirHeader)
{
    std::string token = login(kClient);
    // 100 million pixels in 12 KB: judged by its header, in no time and without decoding.
    std::string huge = dv::testing::blackPng(10000, 10000);
    ASSERT_LT(huge.size(), 2u * 1024 * 1024);
    auto start = std::chrono::steady_clock::now();
    Json refused = upload(uploadFields(token, "xl_huge"), { codePart(huge) });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(refused["status"], 0);
    EXPECT_EQ(refused["msg"], "图片尺寸过大，请上传不超过4096×4096像素的二维码");

    EXPECT_EQ(upload(uploadFields(token, "xl_wide"), { codePart(dv::testing::blackPng(4097, 4096)) })["status"], 0);
    EXPECT_EQ(upload(uploadFields(token, "xl_edge"), { codePart(dv::testing::blackPng(4096, 4096)) })["status"], 1);
    EXPECT_EQ(upload(uploadFields(token, "xl_long"), { codePart(dv::testing::blackPng(16384, 64)) })["status"], 1) << "the count of pixels counts";
    // A header that promises more than its data holds is refused as it was.
    std::string cut = dv::testing::blackPng(64, 64);
    cut.resize(cut.size() / 2);
    EXPECT_EQ(upload(uploadFields(token, "xl_cut"), { codePart(cut) })["msg"], "二维码图片格式不正确");
}

TEST_F(UploadTest, AnimationsAreJudgedByAllTheirFramesTogether)
{
    std::string token = login(kClient);
    // Eight frames of 4096 x 4096 in some 100 KB: each frame is within the limit, together they
    // are eight times past it, and no application would show them.
    std::string eight = dv::testing::blackGif(4096, 4096, 8);
    ASSERT_LT(eight.size(), 200u * 1024);
    auto start = std::chrono::steady_clock::now();
    Json refused = upload(uploadFields(token, "xl_gif8"), { codePart(eight) });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << "judged from its frame records, not decoded";
    EXPECT_EQ(refused["status"], 0);
    EXPECT_EQ(refused["msg"], "动图各帧合计超过4096×4096像素，请上传静态的二维码图片");
    EXPECT_EQ(upload(uploadFields(token, "xl_gif5"), { codePart(dv::testing::blackGif(2048, 2048, 5)) })["status"], 0);
    // A frame past the limit by itself is refused as a still picture is.
    EXPECT_EQ(upload(uploadFields(token, "xl_gif_wide"), { codePart(dv::testing::blackGif(4097, 4096, 2)) })["msg"],
        "图片尺寸过大，请上传不超过4096×4096像素的二维码");

    // A WebP animation alike, its frames counted from its chunks: six canvases of 4096 x 4096 in a
    // few hundred bytes, and the other shapes that pass the limit together.
    const auto webpStart = std::chrono::steady_clock::now();
    Json webp = upload(uploadFields(token, "xl_webp6"), { codePart(dv::testing::blackWebp(4096, 4096, 6)) });
    EXPECT_LT(std::chrono::steady_clock::now() - webpStart, std::chrono::milliseconds(500)) << "judged from its chunks, not decoded";
    EXPECT_EQ(webp["status"], 0);
    EXPECT_EQ(webp["msg"], "动图各帧合计超过4096×4096像素，请上传静态的二维码图片");
    for (const auto& [side, frames] : { std::pair { 4096, 100 }, { 2048, 24 }, { 1024, 1000 } })
        EXPECT_EQ(upload(uploadFields(token, "xl_webp"), { codePart(dv::testing::blackWebp(side, side, frames)) })["msg"],
            "动图各帧合计超过4096×4096像素，请上传静态的二维码图片")
            << side << " x " << frames;
    EXPECT_EQ(upload(uploadFields(token, "xl_webp_wide"), { codePart(dv::testing::blackWebp(4097, 4096, 1)) })["msg"],
        "图片尺寸过大，请上传不超过4096×4096像素的二维码");
    EXPECT_EQ(upload(uploadFields(token, "xl_webp_edge"), { codePart(dv::testing::blackWebp(2048, 2048, 4)) })["status"], 1)
        << "four frames of 2048 x 2048 make the limit exactly";

    Json small = upload(uploadFields(token, "xl_gif2"), { codePart(dv::testing::blackGif(64, 64, 2)) });
    EXPECT_EQ(small["status"], 1) << small.dump();
    EXPECT_EQ(upload(uploadFields(token, "xl_gif_edge"), { codePart(dv::testing::blackGif(4096, 2048, 2)) })["status"], 1)
        << "two frames of 4096 x 2048 make the limit exactly";
    EXPECT_EQ(post("qrcode/listCode.do", { { "type", "3" }, { "page", "0" } })["info"]["totalCount"], 23 + 3);
}

// The animation with its frame chunks' sizes changed: the first one's, or every one's, to cover
// all the frame chunks after it as well. A decoder reads each frame chunk's own chunks and goes on
// after them, so it still finds every frame.
std::string withFrameChunksCoveringTheRest(std::string webp, bool everyOne)
{
    std::vector<std::size_t> frames;
    for (std::size_t at = 12; at + 8 <= webp.size();) {
        const std::uint32_t size = std::uint8_t(webp[at + 4]) | std::uint8_t(webp[at + 5]) << 8 | std::uint8_t(webp[at + 6]) << 16
            | std::uint32_t(std::uint8_t(webp[at + 7])) << 24;
        if (webp.compare(at, 4, "ANMF") == 0)
            frames.push_back(at);
        at += 8 + size + (size & 1);
    }
    for (std::size_t i = 0; i < frames.size() && (everyOne || i == 0); ++i) {
        const std::uint32_t size = std::uint32_t(webp.size() - frames[i] - 8);
        for (std::size_t k = 0; k < 4; ++k)
            webp[frames[i] + 4 + k] = char(size >> (8 * k));
    }
    return webp;
}

TEST_F(UploadTest, AnimationFramesInsideAnotherFramesChunkAreCounted)
{
    // Twenty frames of 2048 x 2048 behind a first frame chunk that claims them all, and forty of
    // 4096 x 4096 nested each in the one before: a few KB each, and all their frames decode.
    std::string token = login(kClient);
    for (const auto& picture : { withFrameChunksCoveringTheRest(dv::testing::blackWebp(2048, 2048, 20), false),
             withFrameChunksCoveringTheRest(dv::testing::blackWebp(4096, 4096, 40), true) }) {
        ASSERT_LT(picture.size(), 8u * 1024);
        Json refused = upload(uploadFields(token, "xl_webp_hidden"), { codePart(picture) });
        EXPECT_EQ(refused["status"], 0);
        EXPECT_EQ(refused["msg"], "动图各帧合计超过4096×4096像素，请上传静态的二维码图片");
    }
}

TEST_F(UploadTest, FourComponentJpegsAreAcceptedAndMalformedOnesJudgedAsTheyDecode)
{
    // CMYK and YCCK files whose decoder hands back several rows at once.
    std::string token = login(kClient);
    auto read = [](const std::string& name) {
        std::ifstream file(std::string(DV_IMAGE_CORPUS_DIR) + "/fuzz_image_jpeg/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    int accepted = 0;
    for (const char* name : { "ycck-64x64.jpg", "cmyk-k1x2-64x64.jpg" }) {
        const std::string picture = read(name);
        ASSERT_FALSE(picture.empty()) << name;
        Json reply = upload(uploadFields(token, std::string("xl_") + name), { codePart(picture) });
        EXPECT_EQ(reply["info"], "上传成功") << name << reply.dump();
        ++accepted;
        EXPECT_EQ(httpGet(firstGroupCode()["qrcodeImg"]).body, picture);
    }
    for (int i = 1; i <= 5; ++i) {
        const std::string name = "malformed-sampled-1x3-" + std::to_string(i) + ".jpg";
        const std::string picture = read(name);
        ASSERT_FALSE(picture.empty()) << name;
        const bool decodes = bool(UIImage::imageWithData(NSData::dataWithBytes(picture.data(), picture.size())));
        Json reply = upload(uploadFields(token, "xl_" + name), { codePart(picture) });
        EXPECT_EQ(reply["status"], decodes ? 1 : 0) << name << reply.dump();
        if (!decodes) {
            EXPECT_EQ(reply["msg"], "二维码图片格式不正确") << name;
        }
        accepted += decodes;
    }
    EXPECT_EQ(post("qrcode/listCode.do", { { "type", "3" }, { "page", "0" } })["info"]["totalCount"], 23 + accepted);
}

TEST_F(UploadTest, EachDeviceHasAQuotaOfCodesAndBytes)
{
    startWith({ .maxCodesPerDevice = 3, .maxUploadBytesPerDevice = 40 * 1024 });
    std::string token = login(kClient);
    std::string picture = samplePng(11);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(upload(uploadFields(token, "xl_quota" + std::to_string(i)), { codePart(picture) })["status"], 1) << i;
    Json fourth = upload(uploadFields(token, "xl_quota3"), { codePart(picture) });
    EXPECT_EQ(fourth["status"], 0);
    EXPECT_EQ(fourth["msg"], "本设备上传的二维码已达3个上限，无法再上传");
    // Another device has its own quota.
    constexpr const char* kOther = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";
    Fields other = uploadFields(login(kOther), "xl_quota3");
    other[0].second = kOther;
    EXPECT_EQ(upload(other, { codePart(picture) })["status"], 1);

    // Bytes: a refresh counts its new picture in place of the old one.
    startWith({ .maxCodesPerDevice = 10, .maxUploadBytesPerDevice = std::int64_t(3 * picture.size() + 100) });
    std::string padded = dv::testing::blackPng(40, 40);
    padded.append(picture.size() * 3, '\0'); // trailing bytes after the end of the PNG are ignored by decoders
    Json tooBig = upload(uploadFields(token, "xl_quota_big"), { codePart(padded) });
    EXPECT_EQ(tooBig["status"], 0);
    EXPECT_EQ(tooBig["msg"], "本设备上传的图片已达存储上限，请压缩图片后再试");
    EXPECT_EQ(post("qrcode/listCode.do", { { "type", "3" }, { "page", "0" } })["info"]["totalCount"], 23 + 4)
        << "nothing was stored";
}

TEST_F(UploadTest, TheWholeStoreHasABoundWhateverTheDevices)
{
    std::string picture = samplePng(12);
    auto codeBytes = [&](const Fields& fields) {
        std::size_t bytes = picture.size();
        for (const auto& [name, value] : fields)
            if (name == "title" || name == "description" || name == "account")
                bytes += value.size();
        return bytes;
    };
    // Room for three codes (the seeded ones are counted too, by their texts) and a bit.
    std::int64_t seeded = 0;
    for (const char* type : { "11", "2", "3" }) {
        for (int page = 0; page < 4; ++page) {
            const Json list = post("qrcode/listCode.do", { { "type", type }, { "page", std::to_string(page) } });
            for (const auto& code : list["info"]["listItems"])
                seeded += std::int64_t(code["title"].get<std::string>().size() + code["descriptions"].get<std::string>().size()
                    + code["account"].get<std::string>().size());
        }
    }
    const std::size_t perCode = codeBytes(uploadFields("", "xl_all0"));
    std::atomic<std::int64_t> now { 1700000000 };
    startWith({ .maxStoreBytes = seeded + std::int64_t(3 * perCode + perCode / 2), .now = [&now] { return now.load(); } });

    // Made-up device identifiers, each within its own quota.
    for (int i = 0; i < 3; ++i) {
        const std::string device = "d" + std::to_string(i) + std::string(31, 'e');
        Fields fields = uploadFields(login(device), "xl_all" + std::to_string(i));
        fields[0].second = device;
        Json reply = upload(fields, { codePart(picture) });
        ASSERT_EQ(reply["status"], 1) << i << reply.dump();
    }
    const std::string device = std::string(32, 'f');
    Fields fourth = uploadFields(login(device), "xl_all3");
    fourth[0].second = device;
    Json refused = upload(fourth, { codePart(picture) });
    EXPECT_EQ(refused["status"], 0);
    EXPECT_EQ(refused["msg"], "服务器的存储空间已达上限，暂时无法上传");
    EXPECT_EQ(post("qrcode/listCode.do", { { "type", "3" }, { "page", "0" } })["info"]["totalCount"], 23 + 3) << "nothing was stored";

    // A refresh counts its new picture and texts in place of the old ones.
    now += 86400;
    const std::string first = "d0" + std::string(31, 'e');
    Fields refresh = uploadFields(login(first), "xl_all0");
    refresh[0].second = first;
    std::string larger = picture;
    larger.append(perCode, '\0'); // trailing bytes after the end of the PNG are ignored by decoders
    EXPECT_EQ(upload(refresh, { codePart(larger) })["msg"], "服务器的存储空间已达上限，暂时无法上传");
    EXPECT_EQ(upload(refresh, { codePart(samplePng(13)) })["info"], "更新成功");
}

TEST_F(UploadTest, UploadsAndTokensSurviveARestart)
{
    std::string token = login(kClient);
    std::string picture = samplePng(8);
    ASSERT_EQ(upload(uploadFields(token), { codePart(picture) })["status"], 1);
    Json before = firstGroupCode();

    restart();
    EXPECT_EQ(login(kClient), token);
    Json list = post("qrcode/listCode.do", { { "type", "3" }, { "page", "0" } });
    EXPECT_EQ(list["info"]["totalCount"], 24) << "the seed is not added a second time";
    EXPECT_EQ(list["info"]["listItems"][0], before);
    EXPECT_EQ(httpGet(before["qrcodeImg"]).body, picture);
}

TEST_F(UploadTest, AnUnreadableDatabaseStopsTheStartWithAReason)
{
    server.reset();
    std::string broken = folder.path() + "/broken";
    std::filesystem::create_directories(broken);
    std::ofstream(broken + "/devserver.sqlite3") << std::string(4096, 'x');
    auto failed = Server::start({ .dataFolder = broken });
    ASSERT_FALSE(failed);
    EXPECT_FALSE(failed.reason().empty());

    std::ofstream(folder.path() + "/file") << "not a folder";
    auto misplaced = Server::start({ .dataFolder = folder.path() + "/file/server" });
    ASSERT_FALSE(misplaced);
    EXPECT_FALSE(misplaced.reason().empty());
}

} // namespace
} // namespace dv::devserver::testing
