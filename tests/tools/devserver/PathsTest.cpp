// Each application path answers with the fields, nesting and JSON types the application reads.
#include "DevServerTesting.h"

#include "platform/base/NSData.h"
#include "platform/graphics/CGColorSpace.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIImage.h"
#include "tools/devserver/internal/Pictures.h"
#include "tools/devserver/internal/QrCode.h"

#include <map>
#include <set>

namespace dv::devserver::testing {
namespace {

enum class T { Str, Num };

// Every listed key is present with the listed JSON type; numbers are whole.
void expectRecord(const Json& record, std::initializer_list<std::pair<const char*, T>> fields)
{
    ASSERT_TRUE(record.is_object()) << record.dump();
    for (const auto& [key, type] : fields) {
        ASSERT_TRUE(record.contains(key)) << key << " missing in " << record.dump();
        if (type == T::Str)
            EXPECT_TRUE(record[key].is_string()) << key << " in " << record.dump();
        else
            EXPECT_TRUE(record[key].is_number_integer()) << key << " in " << record.dump();
    }
}

void expectSuccess(const Json& reply, T statusType)
{
    if (statusType == T::Num)
        EXPECT_EQ(reply["status"], 1) << reply.dump();
    else
        EXPECT_EQ(reply["status"], "1") << reply.dump();
    EXPECT_TRUE(reply["msg"].is_string());
    EXPECT_TRUE(reply.contains("info"));
}

void expectRefusal(const Json& reply, T statusType)
{
    if (statusType == T::Num)
        EXPECT_EQ(reply["status"], 0) << reply.dump();
    else
        EXPECT_EQ(reply["status"], "0") << reply.dump();
    ASSERT_TRUE(reply["msg"].is_string()) << reply.dump();
    EXPECT_FALSE(reply["msg"].get<std::string>().empty());
}

void expectPng(const std::string& url)
{
    auto picture = httpGet(url);
    EXPECT_EQ(picture.status, 200) << url;
    EXPECT_EQ(picture.contentType, "image/png") << url;
    EXPECT_TRUE(picture.body.starts_with("\x89PNG")) << url;
}

const Json* findByKey(const Json& array, const char* key, const Json& value)
{
    for (const auto& element : array)
        if (element.is_object() && element.contains(key) && element[key] == value)
            return &element;
    return nullptr;
}

constexpr auto codeFields = {
    std::pair { "qrcodeId", T::Str }, { "qrcodeImg", T::Str }, { "title", T::Str }, { "account", T::Str },
    { "nickName", T::Str }, { "descriptions", T::Str }, { "areaId", T::Num }, { "areaName", T::Str },
    { "equipId", T::Str }, { "type", T::Str }, { "status", T::Num }, { "addTime", T::Str }, { "position", T::Str },
};

using PathsTest = DevServerTest;

TEST_F(PathsTest, LoginGivesEachClientOneTokenKeptAcrossLogins)
{
    Json first = post("client/login.do", { { "clientId", "0123456789abcdef0123456789abcdef" } });
    expectSuccess(first, T::Num);
    ASSERT_TRUE(first["token"].is_string());
    std::string token = first["token"];
    EXPECT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(login("0123456789abcdef0123456789abcdef"), token);
    EXPECT_NE(login("fedcba9876543210fedcba9876543210"), token);

    Json missing = post("client/login.do");
    expectRefusal(missing, T::Num);
    EXPECT_FALSE(missing.contains("token"));
    expectRefusal(post("client/login.do", { { "clientId", "has space" } }), T::Num);
}

TEST_F(PathsTest, LoginsAreCountedPerClient)
{
    const std::string client = "00112233445566778899aabbccddeeff";
    EXPECT_EQ(server->loginCount(client), 0);
    login(client);
    login(client);
    EXPECT_EQ(server->loginCount(client), 2);
    EXPECT_EQ(server->loginCount("ffeeddccbbaa99887766554433221100"), 0);
}

TEST_F(PathsTest, HomeCategoriesCanBeReplacedAndKeepTheirPicturesAndPages)
{
    ASSERT_TRUE(server->setHomeCategories({ { 901, "精准加粉", "4", 2 }, { 902, "信聊加粉", "1" } }));
    Json reply = post("home/index.do");
    expectSuccess(reply, T::Num);
    const Json& categories = reply["info"]["listCate"];
    ASSERT_EQ(categories.size(), 2u);
    EXPECT_EQ(categories[0]["categoryId"], 901);
    EXPECT_EQ(categories[0]["keyword"], "4");
    EXPECT_EQ(categories[0]["type"], 2);
    EXPECT_EQ(categories[1]["name"], "信聊加粉");
    expectPng(categories[1]["imgurl"]);
    auto page = httpGet(url("home/web.do?categoryId=901&clientId=x"));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("精准加粉"), std::string::npos);
    // Kept in the data folder.
    restart();
    EXPECT_EQ(post("home/index.do")["info"]["listCate"].size(), 2u);
    ASSERT_TRUE(server->setHomeCategories({}));
    EXPECT_TRUE(post("home/index.do")["info"]["listCate"].empty());
}

// Each named set lists the three categories the application keeps, under keywords that lead to
// other screens; the set is kept in the data folder, and a server may start with one.
TEST_F(PathsTest, TileSetsGiveTheKeptCategoriesTheKeywordsOfTheirScreens)
{
    EXPECT_EQ(server->tileSet(), "prospects") << "what a new data folder lists";
    const std::map<std::string, std::map<std::string, std::string>> expected = {
        { "prospects", { { "信聊加粉", "1" }, { "精准加粉", "6" }, { "行业客源", "9" } } },
        { "directory", { { "信聊加粉", "3" }, { "精准加粉", "11" }, { "行业客源", "2" } } },
        { "information", { { "信聊加粉", "12" }, { "精准加粉", "4" }, { "行业客源", "13" } } },
    };
    ASSERT_EQ(Server::tileSets().size(), expected.size());
    for (const auto& set : Server::tileSets()) {
        auto listed = server->setTileSet(set.name);
        ASSERT_TRUE(listed) << listed.reason();
        EXPECT_EQ(server->tileSet(), set.name);
        EXPECT_FALSE(set.summary.empty());
        std::map<std::string, std::string> kept;
        const Json home = post("home/index.do");
        for (const auto& category : home["info"]["listCate"]) {
            const std::string name = category["name"];
            if (expected.at(set.name).contains(name))
                kept[name] = category["keyword"];
            // Every category has its page; web ones say what they are about.
            auto page = httpGet(url("home/web.do?categoryId=" + std::to_string(category["categoryId"].get<std::int64_t>()) + "&clientId=x"));
            EXPECT_EQ(page.status, 200) << name;
            EXPECT_NE(page.body.find("<h2>"), std::string::npos) << name;
        }
        EXPECT_EQ(kept, expected.at(set.name)) << set.name;
    }
    auto unknown = server->setTileSet("everything");
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.reason(), "no tile set \"everything\" (there are prospects, directory, information)");
    restart();
    EXPECT_EQ(server->tileSet(), "information") << "kept in the data folder";
    ASSERT_TRUE(server->setHomeCategories({ { 901, "信聊加粉", "1" } }));
    EXPECT_EQ(server->tileSet(), "") << "categories of one's own are no named set";

    server->stop();
    auto port = server->port();
    ASSERT_NO_FATAL_FAILURE(startWith({ .dataFolder = folder.path(), .port = port, .tileSet = "directory" }));
    EXPECT_EQ(server->tileSet(), "directory");
    auto refused = Server::start({ .dataFolder = folder.path() + "/other", .tileSet = "nothing" });
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.reason().rfind("no tile set \"nothing\"", 0), 0u) << refused.reason();
}

TEST_F(PathsTest, HomeIndexListsTilesKeptAndDroppedWithAdvertisements)
{
    Json reply = post("home/index.do");
    expectSuccess(reply, T::Num);
    const Json& categories = reply["info"]["listCate"];
    ASSERT_TRUE(categories.is_array());
    std::set<std::string> keywords;
    std::set<std::string> pictures;
    for (const auto& category : categories) {
        expectRecord(category, { { "categoryId", T::Num }, { "name", T::Str }, { "imgurl", T::Str }, { "keyword", T::Str },
                                   { "orderby", T::Num }, { "type", T::Num } });
        keywords.insert(category["keyword"].get<std::string>());
        auto picture = httpGet(category["imgurl"]);
        EXPECT_EQ(picture.contentType, "image/png");
        pictures.insert(picture.body);
    }
    EXPECT_EQ(pictures.size(), categories.size()) << "every tile has its own picture";
    // The three the application keeps, by name and keyword, among tiles it drops.
    for (auto [name, keyword] : { std::pair { "信聊加粉", "1" }, { "精准加粉", "6" }, { "行业客源", "9" } }) {
        const Json* tile = findByKey(categories, "name", name);
        ASSERT_TRUE(tile) << name;
        EXPECT_EQ((*tile)["keyword"], keyword);
    }
    EXPECT_GT(categories.size(), 3u);
    EXPECT_TRUE(keywords.contains("12"));

    const Json& ads = reply["info"]["listAd"];
    ASSERT_TRUE(ads.is_array());
    ASSERT_FALSE(ads.empty());
    for (const auto& ad : ads) {
        expectRecord(ad, { { "adId", T::Num }, { "name", T::Str }, { "imgurl", T::Str }, { "linkId", T::Str }, { "linkType", T::Num },
                             { "seq", T::Num }, { "status", T::Num }, { "createTime", T::Str }, { "modifyTime", T::Str } });
        expectPng(ad["imgurl"]);
        auto page = httpGet(ad["linkId"]);
        EXPECT_EQ(page.status, 200) << ad["linkId"];
        EXPECT_EQ(page.contentType, "text/html;charset=UTF-8");
    }
    expectPng(url("pic/static/picture.png"));
}

TEST_F(PathsTest, ArtifactIndexGivesContactTextsWithATextStatus)
{
    Json reply = post("home/artifactIndex.do");
    expectSuccess(reply, T::Str);
    expectRecord(reply["info"], { { "agentPhone", T::Str }, { "buyPhone", T::Str }, { "qq", T::Str } });
    EXPECT_TRUE(reply["info"]["qq"].get<std::string>().starts_with("http://"));
}

TEST_F(PathsTest, CodeListsPageThroughEveryCodeAcrossTheLastPage)
{
    for (auto [type, expectedTotal] : { std::pair { "3", 23 }, { "2", 30 }, { "11", 17 } }) {
        SCOPED_TRACE(type);
        std::set<std::string> ids;
        std::int64_t total = -1;
        int page = 0;
        for (;; ++page) {
            Json reply = post("qrcode/listCode.do", { { "type", type }, { "page", std::to_string(page) } });
            expectSuccess(reply, T::Num);
            const Json& info = reply["info"];
            ASSERT_EQ(info["pageSize"], "10");
            ASSERT_TRUE(info["totalCount"].is_number_integer());
            total = info["totalCount"];
            const Json& items = info["listItems"];
            if (items.empty())
                break;
            EXPECT_LE(items.size(), 10u);
            for (std::size_t i = 0; i < items.size(); ++i) {
                expectRecord(items[i], codeFields);
                EXPECT_EQ(items[i]["type"], type);
                EXPECT_EQ(items[i]["position"], std::to_string(page * 10 + static_cast<int>(i)));
                ids.insert(items[i]["qrcodeId"].get<std::string>());
            }
            ASSERT_LT(page, 10) << "the list never ends";
        }
        EXPECT_EQ(total, expectedTotal);
        EXPECT_EQ(static_cast<std::int64_t>(ids.size()), total);
        EXPECT_EQ(page, (expectedTotal + 9) / 10) << "the first empty page is the one past the last";
        Json last = post("qrcode/listCode.do", { { "type", type }, { "page", std::to_string(page - 1) } });
        std::size_t remainder = expectedTotal % 10 ? expectedTotal % 10 : 10;
        EXPECT_EQ(last["info"]["listItems"].size(), remainder);
        Json negative = post("qrcode/listCode.do", { { "type", type }, { "page", "-1" } });
        expectSuccess(negative, T::Num);
        EXPECT_TRUE(negative["info"]["listItems"].empty());
    }
    expectRefusal(post("qrcode/listCode.do", { { "type", "3" }, { "page", "abc" } }), T::Num);
    expectRefusal(post("qrcode/listCode.do", { { "type", "7" }, { "page", "0" } }), T::Num);
    expectRefusal(post("qrcode/listCode.do", { { "type", "3" }, { "page", "99999999999999999999" } }), T::Num);
}

TEST_F(PathsTest, AServerStartedWithoutCodesHasEmptyListsAndTheRestOfItsData)
{
    TemporaryFolder emptyFolder;
    auto startedEmpty = Server::start({ .dataFolder = emptyFolder.path(), .seedCodes = false });
    ASSERT_TRUE(startedEmpty) << startedEmpty.reason();
    auto empty = std::move(startedEmpty).value();
    auto postTo = [&](const Server& target, const std::string& path, const Fields& fields) {
        return httpPostForm(target.baseURL() + path, fields).json();
    };
    for (const char* type : { "3", "2", "11" }) {
        Json reply = postTo(*empty, "qrcode/listCode.do", { { "type", type }, { "page", "0" } });
        expectSuccess(reply, T::Num);
        EXPECT_EQ(reply["info"]["totalCount"], 0) << type;
        EXPECT_EQ(reply["info"]["pageSize"], "10") << type;
        EXPECT_TRUE(reply["info"]["listItems"].empty()) << type;
    }
    expectRefusal(postTo(*empty, "qrcode/getDetail.do", { { "id", "1" }, { "position", "0" } }), T::Str);
    Json home = postTo(*empty, "home/index.do", {});
    EXPECT_FALSE(home["info"]["listCate"].empty());
    Json provinces = postTo(*empty, "district/listSubDistrict.do", { { "parentId", "0" } });
    EXPECT_FALSE(provinces["info"].empty());

    // The choice is made once, when the data folder is new: a folder with codes keeps them.
    empty->stop();
    server->stop();
    auto startedSeeded = Server::start({ .dataFolder = folder.path() + "/server", .seedCodes = false });
    ASSERT_TRUE(startedSeeded) << startedSeeded.reason();
    auto seeded = std::move(startedSeeded).value();
    EXPECT_EQ(postTo(*seeded, "qrcode/listCode.do", { { "type", "3" }, { "page", "0" } })["info"]["totalCount"], 23);
}

TEST_F(PathsTest, DetailAndNeighboursFollowTheListOrder)
{
    Json list = post("qrcode/listCode.do", { { "type", "2" }, { "page", "0" } });
    const Json& items = list["info"]["listItems"];
    ASSERT_GE(items.size(), 3u);

    Json detail = post("qrcode/getDetail.do", { { "id", items[1]["qrcodeId"] }, { "position", items[1]["position"] } });
    expectSuccess(detail, T::Str);
    expectRecord(detail["info"], codeFields);
    EXPECT_EQ(detail["info"], items[1]);

    auto step = [&](const Json& from, const char* flag) {
        return post("qrcode/getChangeDetail.do", { { "id", from["qrcodeId"] }, { "position", from["position"] }, { "flag", flag } });
    };
    Json next = step(items[1], "1");
    expectSuccess(next, T::Str);
    EXPECT_EQ(next["info"], items[2]);
    Json previous = step(items[1], "0");
    EXPECT_EQ(previous["info"], items[0]);

    Json beforeFirst = step(items[0], "0");
    expectRefusal(beforeFirst, T::Str);
    EXPECT_EQ(beforeFirst["msg"], "已经是第一个了");
    Json lastPage = post("qrcode/listCode.do", { { "type", "2" }, { "page", "2" } });
    Json pastLast = step(lastPage["info"]["listItems"].back(), "1");
    expectRefusal(pastLast, T::Str);
    EXPECT_EQ(pastLast["msg"], "已经是最后一个了");

    expectRefusal(post("qrcode/getDetail.do", { { "id", "987654" }, { "position", "0" } }), T::Str);
    expectRefusal(post("qrcode/getDetail.do", { { "id", "x" } }), T::Str);
    expectRefusal(step(items[1], "2"), T::Str);
}

TEST_F(PathsTest, QrPicturesAreTheCodesOfTheirAccounts)
{
    Json items = post("qrcode/listCode.do", { { "type", "11" }, { "page", "0" } })["info"]["listItems"];
    ASSERT_GE(items.size(), 2u);
    std::set<std::string> bodies;
    for (int n = 0; n < 2; ++n) {
        const Json& code = items[static_cast<std::size_t>(n)];
        auto picture = httpGet(code["qrcodeImg"]);
        ASSERT_EQ(picture.status, 200);
        ASSERT_EQ(picture.contentType, "image/png");
        bodies.insert(picture.body);

        auto matrix = internal::devserver::encodeQr(code["account"].get<std::string>());
        ASSERT_TRUE(matrix);
        auto image = UIImage::imageWithData(NSData::dataWithBytes(picture.body.data(), picture.body.size()));
        ASSERT_TRUE(image);
        const int module = internal::devserver::Pictures::kModulePixels;
        const int side = (matrix->width + 2 * internal::devserver::Pictures::kQuietModules) * module;
        ASSERT_EQ(CGImageGetWidth(image->CGImage()), static_cast<std::size_t>(side));
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(side * side));
        {
            auto context = CGBitmapContextCreate(pixels.data(), static_cast<std::size_t>(side), static_cast<std::size_t>(side), 8,
                static_cast<std::size_t>(side), CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone);
            ASSERT_TRUE(context);
            CGContextDrawImage(context, CGRectMake(0, 0, side, side), image->CGImage());
            CGContextFlush(context);
        }
        int wrong = 0;
        for (int y = -internal::devserver::Pictures::kQuietModules; y < matrix->width + internal::devserver::Pictures::kQuietModules; ++y) {
            for (int x = -internal::devserver::Pictures::kQuietModules; x < matrix->width + internal::devserver::Pictures::kQuietModules; ++x) {
                bool dark = x >= 0 && y >= 0 && x < matrix->width && y < matrix->width && matrix->isDark(x, y);
                int px = (x + internal::devserver::Pictures::kQuietModules) * module + module / 2;
                int py = (y + internal::devserver::Pictures::kQuietModules) * module + module / 2;
                bool drawnDark = pixels[static_cast<std::size_t>(py * side + px)] < 128;
                wrong += dark != drawnDark;
            }
        }
        EXPECT_EQ(wrong, 0) << "modules that differ from the code of " << code["account"];
    }
    EXPECT_EQ(bodies.size(), 2u);
}

TEST_F(PathsTest, DistrictsGiveEveryProvinceAndItsCitiesWithDivisionCodes)
{
    Json provinces = post("district/listSubDistrict.do", { { "parentId", "0" } });
    expectSuccess(provinces, T::Num);
    ASSERT_TRUE(provinces["info"].is_array());
    EXPECT_EQ(provinces["info"].size(), 34u);
    int cityCount = 0;
    for (const auto& province : provinces["info"]) {
        expectRecord(province, { { "id", T::Num }, { "name", T::Str }, { "parentid", T::Num }, { "level", T::Num },
                                   { "namepath", T::Str }, { "nodepath", T::Str }, { "charindex", T::Str }, { "orderby", T::Num } });
        EXPECT_EQ(province["parentid"], 0);
        EXPECT_EQ(province["level"], 1);
        std::int64_t id = province["id"];
        EXPECT_EQ(id % 10000, 0) << province.dump();
        Json cities = post("district/listSubDistrict.do", { { "parentId", std::to_string(id) } });
        expectSuccess(cities, T::Num);
        bool withoutCities = id == 710000 || id == 810000 || id == 820000;
        EXPECT_EQ(cities["info"].empty(), withoutCities) << province["name"];
        for (const auto& city : cities["info"]) {
            EXPECT_EQ(city["parentid"], id);
            EXPECT_EQ(city["level"], 2);
            EXPECT_EQ(city["id"].get<std::int64_t>() / 10000 * 10000, id) << city.dump();
            EXPECT_EQ(city["namepath"], province["name"].get<std::string>() + "," + city["name"].get<std::string>());
            ++cityCount;
        }
    }
    EXPECT_GT(cityCount, 330);

    Json guangdong = post("district/listSubDistrict.do", { { "parentId", "440000" } });
    EXPECT_EQ(guangdong["info"].size(), 21u);
    const Json* guangzhou = findByKey(guangdong["info"], "id", 440100);
    ASSERT_TRUE(guangzhou);
    EXPECT_EQ((*guangzhou)["name"], "广州市");
    EXPECT_EQ((*guangzhou)["nodepath"], "440000,440100");
    EXPECT_EQ((*guangzhou)["charindex"], "G");
    ASSERT_TRUE(findByKey(guangdong["info"], "id", 440300));
    EXPECT_EQ((*findByKey(guangdong["info"], "id", 440300))["name"], "深圳市");

    Json unknown = post("district/listSubDistrict.do", { { "parentId", "999999" } });
    expectSuccess(unknown, T::Num);
    EXPECT_TRUE(unknown["info"].empty());
    expectRefusal(post("district/listSubDistrict.do"), T::Num);
    expectRefusal(post("district/listSubDistrict.do", { { "parentId", "abc" } }), T::Num);
}

// A made-up mobile number: an operator's mobile prefix, the block 0555, four digits.
bool isFictitiousMobile(const std::string& phone)
{
    return phone.size() == 11 && phone.find_first_not_of("0123456789") == std::string::npos && phone[0] == '1'
        && std::string("358").find(phone[1]) != std::string::npos && phone.substr(3, 4) == "0555";
}

TEST_F(PathsTest, PhoneListsPageThroughFictitiousNumbers)
{
    const std::string clientId = "0123456789abcdef0123456789abcdef";
    auto walk = [&](const char* path, Fields fields, const std::string& prefix) {
        std::set<std::string> phones;
        std::int64_t total = 0;
        for (int page = 0; page < 20; ++page) {
            Fields withPage = fields;
            withPage.emplace_back("page", std::to_string(page));
            Json reply = post(path, withPage);
            expectSuccess(reply, T::Str);
            const Json& info = reply["info"];
            EXPECT_EQ(info["pageSize"], 20);
            EXPECT_TRUE(info["totalCount"].is_string());
            total = std::stoll(info["totalCount"].get<std::string>());
            if (info["listItems"].empty())
                break;
            for (const auto& item : info["listItems"]) {
                expectRecord(item, { { "phone", T::Str }, { "phoneId", T::Num }, { "cityId", T::Num }, { "proviceId", T::Num },
                                       { "seq", T::Num }, { "status", T::Num }, { "createTime", T::Num } });
                std::string phone = item["phone"];
                EXPECT_EQ(phone.size(), 11u) << phone;
                EXPECT_TRUE(phone.starts_with(prefix)) << phone;
                EXPECT_TRUE(isFictitiousMobile(phone)) << phone;
                EXPECT_EQ(phone.find_first_not_of("0123456789"), std::string::npos);
                phones.insert(phone);
            }
        }
        EXPECT_GT(total, 0);
        EXPECT_EQ(static_cast<std::int64_t>(phones.size()), total);
    };
    walk("data/listPhone.do", { { "cityId", "110100" }, { "clientId", clientId } }, "1");
    walk("data/listAccuratePhone.do", { { "proviceId", "330000" }, { "clientId", clientId }, { "phone", "1380555" } }, "1380555");

    Json city = post("data/listPhone.do", { { "cityId", "440300" }, { "page", "0" }, { "clientId", clientId } });
    EXPECT_EQ(city["info"]["listItems"][0]["cityId"], 440300);
    EXPECT_EQ(city["info"]["listItems"][0]["proviceId"], 440000);

    expectRefusal(post("data/listPhone.do", { { "cityId", "110100" }, { "page", "0" } }), T::Str);
    expectRefusal(post("data/listPhone.do", { { "cityId", "123" }, { "page", "0" }, { "clientId", clientId } }), T::Str);
    expectRefusal(post("data/listAccuratePhone.do", { { "proviceId", "330000" }, { "page", "0" }, { "clientId", clientId }, { "phone", "13a0013" } }), T::Str);
    expectRefusal(post("data/listAccuratePhone.do", { { "proviceId", "330000" }, { "page", "0" }, { "clientId", clientId } }), T::Str);
}

TEST_F(PathsTest, IndustryCategoriesListTheirProspects)
{
    const std::string clientId = "0123456789abcdef0123456789abcdef";
    Json categories = post("data/listCategory.do", { { "clientId", clientId } });
    expectSuccess(categories, T::Num);
    ASSERT_TRUE(categories["info"].is_array());
    EXPECT_EQ(categories["info"].size(), 11u);
    std::set<std::int64_t> totals;
    for (const auto& category : categories["info"]) {
        expectRecord(category, { { "categoryId", T::Num }, { "name", T::Str }, { "imgurl", T::Str }, { "keyword", T::Str },
                                   { "orderby", T::Num }, { "type", T::Num } });
        std::string id = std::to_string(category["categoryId"].get<std::int64_t>());
        std::int64_t listed = 0;
        std::int64_t total = 0;
        for (int page = 0; page < 10; ++page) {
            Json reply = post("data/listIndustry.do", { { "clientId", clientId }, { "categoryId", id }, { "page", std::to_string(page) } });
            expectSuccess(reply, T::Num);
            EXPECT_EQ(reply["info"]["pageSize"], "10");
            total = std::stoll(reply["info"]["totalCount"].get<std::string>());
            const Json& items = reply["info"]["listItems"];
            if (items.empty())
                break;
            for (const auto& item : items) {
                expectRecord(item, { { "phone", T::Str }, { "categoryId", T::Num }, { "industryId", T::Num }, { "computerName", T::Str },
                                       { "seq", T::Num }, { "status", T::Num }, { "createTime", T::Str } });
                EXPECT_EQ(item["categoryId"], category["categoryId"]);
                EXPECT_TRUE(isFictitiousMobile(item["phone"])) << item["phone"];
            }
            listed += static_cast<std::int64_t>(items.size());
        }
        EXPECT_EQ(listed, total) << category["name"];
        totals.insert(total);
    }
    EXPECT_TRUE(totals.contains(0)) << "one category has no prospects";
    EXPECT_TRUE(totals.contains(10)) << "one category fills exactly one page";
    expectPng(categories["info"][0]["imgurl"]);
    expectRefusal(post("data/listIndustry.do", { { "clientId", clientId }, { "categoryId", "999" }, { "page", "0" } }), T::Num);
    expectRefusal(post("data/listCategory.do"), T::Num);
}

TEST_F(PathsTest, WebPagesAreHtml)
{
    for (auto [type, heading] : { std::pair { "1", "联系我们" }, { "2", "使用说明" }, { "3", "常见问题" } }) {
        auto page = httpGet(url("data/qryLearn.do?type=") + type);
        EXPECT_EQ(page.status, 200);
        EXPECT_EQ(page.contentType, "text/html;charset=UTF-8");
        EXPECT_NE(page.body.find(heading), std::string::npos) << type;
    }
    EXPECT_EQ(httpGet(url("data/qryLearn.do?type=9")).status, 404);

    // The agent page is addressed with two ampersands between its fields.
    auto letter = httpGet(url("data/qryAgent.do?agentNo=qinghe2016&&clientId=0123456789abcdef"));
    EXPECT_EQ(letter.status, 200);
    EXPECT_NE(letter.body.find("王雨桐"), std::string::npos);
    auto stranger = httpGet(url("data/qryAgent.do?agentNo=nobody&&clientId=0123456789abcdef"));
    EXPECT_EQ(stranger.status, 200);
    EXPECT_NE(stranger.body.find("未查询到"), std::string::npos);
    auto hostile = httpGet(url("data/qryAgent.do?agentNo=%3Cscript%3Ealert(1)%3C%2Fscript%3E&&clientId=x"));
    EXPECT_EQ(hostile.body.find("<script>"), std::string::npos);
    EXPECT_NE(hostile.body.find("&lt;script&gt;"), std::string::npos);

    auto category = httpGet(url("home/web.do?categoryId=104&clientId=0123456789abcdef"));
    EXPECT_EQ(category.status, 200);
    EXPECT_NE(category.body.find("营销课堂"), std::string::npos);
    EXPECT_EQ(httpGet(url("home/web.do?categoryId=999&clientId=x")).status, 404);

    auto consult = httpGet(url("data/consult.do"));
    EXPECT_EQ(consult.status, 200);
    EXPECT_NE(consult.body.find("clickZiXunAction()"), std::string::npos);
    EXPECT_NE(consult.body.find("clickOnAndroid('consult')"), std::string::npos);
}

TEST_F(PathsTest, UnknownPathsAndPicturesAreNotFound)
{
    EXPECT_EQ(httpPostForm(url("nothing/here.do"), {}).status, 404);
    EXPECT_EQ(httpGet(url("pic/tile/999.png")).status, 404);
    EXPECT_EQ(httpGet(url("pic/qrcode/abc.png")).status, 404);
    EXPECT_EQ(httpGet(url("pic/unknown/1.png")).status, 404);
    EXPECT_EQ(httpGet(server->baseURL().substr(0, server->baseURL().size() - 3) + "other").status, 404);
}

} // namespace
} // namespace dv::devserver::testing
