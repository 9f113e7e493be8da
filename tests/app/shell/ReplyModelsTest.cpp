// The reply models, filled from the local server's real replies, and the mapping's edge cases:
// numbers become their decimal text, missing keys stay nil, extra keys and entries that are not
// records are ignored.
#include "ShellTestSupport.h"

#include "app/shell/models/VQAdModel.h"
#include "app/shell/models/VQBuyResourceModel.h"
#include "app/shell/models/VQCategoryModel.h"
#include "app/shell/models/VQCityModel.h"
#include "app/shell/models/VQMainBtnModel.h"
#include "app/shell/models/VQPassiveModel.h"
#include "app/shell/server/ZHFormData.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/system/NSUserDefaults.h"

#include <regex>

using namespace dv::test;

namespace {

bool matches(const Ref<NSString>& text, const char* pattern) { return text && std::regex_match(dv::str(text), std::regex(pattern)); }

template <class T>
std::vector<Ref<T>> typed(const Ref<NSArray>& models)
{
    std::vector<Ref<T>> out;
    for (const id& model : *models)
        out.push_back(dv::as<T>(model));
    return out;
}

class ReplyModelsTest : public ShellTest {
protected:
    // A successful reply of the server to the request.
    ServerReply call(const dv::app::ServerRequest& request)
    {
        auto result = post(request);
        EXPECT_EQ(result->successes, 1) << dv::str(request.URL);
        auto reply = result->reply();
        EXPECT_TRUE(reply && reply->succeeded()) << dv::str(request.URL) << " " << (reply ? dv::str(reply->msg()) : "");
        return reply ? *reply : *ServerReply::fromObject(NSDictionary::dictionary());
    }

    // Every code of one list, page by page until an empty page.
    std::vector<Ref<VQPassiveModel>> wholeList(dv::app::QRCodeKind kind, NSInteger* totalCount)
    {
        std::vector<Ref<VQPassiveModel>> codes;
        for (NSInteger page = 0; page < 20; ++page) {
            auto reply = call(dv::app::listCodeRequest(kind, page));
            EXPECT_EQ(reply.pageSize(), 10);
            *totalCount = reply.totalCount().value_or(-1);
            auto models = typed<VQPassiveModel>(dv::app::replyModels<VQPassiveModel>(reply.listItems()));
            if (models.empty())
                break;
            codes.insert(codes.end(), models.begin(), models.end());
        }
        return codes;
    }
};

} // namespace

TEST_F(ReplyModelsTest, HomeIndexGivesTheTilesAndTheAdvertisements)
{
    auto reply = call(dv::app::homeIndexRequest());
    ASSERT_TRUE(reply.infoDictionary());
    auto tiles = typed<VQMainBtnModel>(dv::app::replyModels<VQMainBtnModel>(reply.infoDictionary()->objectForKey("listCate"_ns)));
    ASSERT_FALSE(tiles.empty());
    std::map<std::string, std::string> keywordByName;
    for (const auto& tile : tiles) {
        EXPECT_TRUE(matches(tile->categoryId(), "[0-9]+")) << "a number, as its text";
        EXPECT_TRUE(matches(tile->orderby(), "-?[0-9]+"));
        EXPECT_TRUE(matches(tile->type(), "[0-9]+"));
        EXPECT_TRUE(matches(tile->keyword(), "[0-9]+"));
        EXPECT_TRUE(matches(tile->imgurl(), "http://.*"));
        keywordByName[dv::str(tile->name())] = dv::str(tile->keyword());
    }
    EXPECT_EQ(keywordByName["信聊加粉"], "1");
    EXPECT_EQ(keywordByName["精准加粉"], "6");
    EXPECT_EQ(keywordByName["行业客源"], "9");

    auto ads = typed<VQAdModel>(dv::app::replyModels<VQAdModel>(reply.infoDictionary()->objectForKey("listAd"_ns)));
    ASSERT_FALSE(ads.empty());
    for (const auto& ad : ads) {
        EXPECT_TRUE(matches(ad->adId(), "[0-9]+"));
        EXPECT_TRUE(matches(ad->linkId(), "http://.*"));
        EXPECT_TRUE(matches(ad->linkType(), "[0-9]+"));
        EXPECT_TRUE(matches(ad->seq(), "-?[0-9]+"));
        EXPECT_TRUE(ad->name() && ad->imgurl() && ad->createTime() && ad->modifyTime() && ad->status());
    }
}

TEST_F(ReplyModelsTest, EachQRCodeListPagesThroughAllItsCodesInOrder)
{
    using dv::app::QRCodeKind;
    for (auto [kind, expected] : std::vector<std::pair<QRCodeKind, NSInteger>> { { QRCodeKind::Group, 23 }, { QRCodeKind::Personal, 30 },
             { QRCodeKind::Public, 17 } }) {
        NSInteger total = 0;
        auto codes = wholeList(kind, &total);
        EXPECT_EQ(total, expected);
        ASSERT_EQ(static_cast<NSInteger>(codes.size()), expected);
        for (std::size_t i = 0; i < codes.size(); ++i) {
            const auto& code = codes[i];
            EXPECT_EQ(dv::str(code->type()), dv::str(dv::app::typeText(kind)));
            EXPECT_EQ(dv::str(code->position()), std::to_string(i)) << "the server's order is kept";
            EXPECT_TRUE(matches(code->qrcodeId(), "[0-9]+"));
            EXPECT_TRUE(matches(code->areaId(), "[0-9]+")) << "a number, as its text";
            EXPECT_TRUE(matches(code->status(), "-?[0-9]+"));
            EXPECT_TRUE(matches(code->addTime(), "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}"));
            EXPECT_TRUE(matches(code->qrcodeImg(), "http://.*"));
            EXPECT_TRUE(code->title() && code->account() && code->nickName() && code->descriptions() && code->areaName() && code->equipId());
        }
    }
}

TEST_F(ReplyModelsTest, ADetailIsTheListsCodeAndItsNeighboursFollowTheList)
{
    NSInteger total = 0;
    auto codes = wholeList(dv::app::QRCodeKind::Public, &total);
    ASSERT_GE(codes.size(), 3u);
    auto same = [](const Ref<VQPassiveModel>& a, const Ref<VQPassiveModel>& b) {
        for (const char* key : { "qrcodeId", "qrcodeImg", "title", "account", "nickName", "descriptions", "areaId", "areaName",
                 "equipId", "type", "status", "addTime", "position" })
            if (!dv::equal(a->valueForKey(NSString::fromUTF8(key)), b->valueForKey(NSString::fromUTF8(key))))
                return false;
        return true;
    };
    auto detail = mm_modelWithDictionary<VQPassiveModel>(call(dv::app::codeDetailRequest(codes[1]->qrcodeId(), codes[1]->position())).info());
    ASSERT_TRUE(detail);
    EXPECT_TRUE(same(detail, codes[1]));
    auto next = mm_modelWithDictionary<VQPassiveModel>(
        call(dv::app::changeDetailRequest(codes[1]->qrcodeId(), codes[1]->position(), dv::app::Neighbour::Next)).info());
    ASSERT_TRUE(next);
    EXPECT_TRUE(same(next, codes[2]));
    auto previous = mm_modelWithDictionary<VQPassiveModel>(
        call(dv::app::changeDetailRequest(codes[1]->qrcodeId(), codes[1]->position(), dv::app::Neighbour::Previous)).info());
    ASSERT_TRUE(previous);
    EXPECT_TRUE(same(previous, codes[0]));

    auto beforeFirst = post(dv::app::changeDetailRequest(codes[0]->qrcodeId(), codes[0]->position(), dv::app::Neighbour::Previous))->reply();
    ASSERT_TRUE(beforeFirst);
    EXPECT_FALSE(beforeFirst->succeeded());
    EXPECT_EQ(beforeFirst->status(), 0);
    EXPECT_EQ(dv::str(beforeFirst->msg()), "已经是第一个了");
    EXPECT_FALSE(mm_modelWithDictionary<VQPassiveModel>(beforeFirst->info())) << "info null gives no model";
}

TEST_F(ReplyModelsTest, AnUploadedCodeHeadsItsList)
{
    auto login = call(dv::app::loginRequest());
    auto token = login.textForKey("token"_ns);
    ASSERT_TRUE(token);
    EXPECT_EQ(dv::str(call(dv::app::loginRequest()).textForKey("token"_ns)), dv::str(token)) << "one token per device";
    NSUserDefaults::standardUserDefaults()->setObjectForKey(token, NSString::fromUTF8(dv::app::kUserTokenKey));

    dv::app::SaveCodeFields fields { .kind = dv::app::QRCodeKind::Group, .title = "周末 读书会 & 交流"_ns, .areaId = "440100"_ns,
        .description = "每周六下午"_ns, .account = "reading_club_01"_ns };
    auto result = postMultipart(dv::app::saveCodeRequest(fields), NSArray::of({ ZHFormData::codePicture(samplePicture()) }));
    ASSERT_EQ(result->successes, 1);
    auto reply = result->reply();
    ASSERT_TRUE(reply && reply->succeeded()) << (reply ? dv::str(reply->msg()) : "");
    EXPECT_EQ(dv::str(reply->infoText()), "上传成功");

    auto first = dv::app::replyModels<VQPassiveModel>(call(dv::app::listCodeRequest(dv::app::QRCodeKind::Group, 0)).listItems());
    ASSERT_GT(first->count(), 0u);
    auto code = dv::as<VQPassiveModel>(first->firstObject());
    EXPECT_EQ(dv::str(code->title()), "周末 读书会 & 交流");
    EXPECT_EQ(dv::str(code->account()), "reading_club_01");
    EXPECT_EQ(dv::str(code->descriptions()), "每周六下午");
    EXPECT_EQ(dv::str(code->areaId()), "440100");
    EXPECT_EQ(dv::str(code->type()), "3");
}

TEST_F(ReplyModelsTest, RegionsComeAsProvincesThenTheirCities)
{
    auto provinces = typed<VQCityModel>(dv::app::replyModels<VQCityModel>(call(dv::app::subDistrictRequest("0"_ns)).infoArray()));
    ASSERT_GT(provinces.size(), 30u);
    for (const auto& province : provinces) {
        EXPECT_TRUE(matches(province->id(), "[0-9]{6}"));
        EXPECT_EQ(dv::str(province->level()), "1");
        EXPECT_TRUE(province->name() && province->namepath() && province->nodepath() && province->charindex() && province->orderby());
    }
    Ref<VQCityModel> guangdong;
    for (const auto& province : provinces)
        if (dv::str(province->id()) == "440000")
            guangdong = province;
    ASSERT_TRUE(guangdong);
    auto cities = typed<VQCityModel>(dv::app::replyModels<VQCityModel>(call(dv::app::subDistrictRequest(guangdong->id())).infoArray()));
    ASSERT_FALSE(cities.empty());
    for (const auto& city : cities) {
        EXPECT_EQ(dv::str(city->parentid()), "440000");
        EXPECT_EQ(dv::str(city->level()), "2");
        EXPECT_NE(dv::str(city->namepath()).find(dv::str(guangdong->name())), std::string::npos);
    }
    EXPECT_EQ(call(dv::app::subDistrictRequest("999999"_ns)).infoArray()->count(), 0u) << "an unknown parent has no regions";
}

TEST_F(ReplyModelsTest, ProspectListsGiveTheirNumbers)
{
    auto categories = typed<VQCategoryModel>(dv::app::replyModels<VQCategoryModel>(call(dv::app::listCategoryRequest()).infoArray()));
    ASSERT_FALSE(categories.empty());
    for (const auto& category : categories)
        EXPECT_TRUE(matches(category->categoryId(), "[0-9]+") && category->name() && category->keyword());

    auto industry = call(dv::app::listIndustryRequest(categories[0]->categoryId(), 0));
    EXPECT_EQ(industry.pageSize(), 10);
    EXPECT_GT(industry.totalCount().value_or(0), 0);
    auto prospects = typed<VQBuyResourceModel>(dv::app::replyModels<VQBuyResourceModel>(industry.listItems()));
    ASSERT_FALSE(prospects.empty());
    for (const auto& prospect : prospects) {
        EXPECT_TRUE(matches(prospect->phone(), "1[358][0-9]0555[0-9]{4}")) << dv::str(prospect->phone());
        EXPECT_EQ(dv::str(prospect->categoryId()), dv::str(categories[0]->categoryId()));
        EXPECT_TRUE(matches(prospect->industryId(), "[0-9]+"));
        EXPECT_TRUE(prospect->computerName() && prospect->createTime() && prospect->seq() && prospect->status());
    }

    auto byCity = call(dv::app::listPhoneRequest("440100"_ns, 0));
    EXPECT_EQ(byCity.pageSize(), 20);
    EXPECT_GT(byCity.totalCount().value_or(0), 0) << "totalCount comes as text";
    ASSERT_TRUE(byCity.listItems());
    EXPECT_EQ(byCity.listItems()->count(), 20u);

    auto exact = call(dv::app::listAccuratePhoneRequest("440000"_ns, 0, "1380"_ns));
    auto numbers = exact.listItems();
    ASSERT_TRUE(numbers);
    ASSERT_GT(numbers->count(), 0u);
    for (const id& item : *numbers)
        EXPECT_TRUE(matches(dv::app::textOfJSON(dv::as<NSDictionary>(item)->objectForKey("phone"_ns)), "1380[0-9]{4}"));
}

TEST(ReplyModelMappingTest, NumbersBecomeTextsAndMissingKeysStayNil)
{
    Ref<NSError> error;
    id record = NSJSONSerialization::JSONObjectWithData(
        NSData::fromString(R"({"id":12,"name":"广州市","level":2.5,"parentid":null,"extra":"x","orderby":-3})"), 0, &error);
    auto city = mm_modelWithDictionary<VQCityModel>(record);
    ASSERT_TRUE(city);
    EXPECT_EQ(dv::str(city->id()), "12");
    EXPECT_EQ(dv::str(city->name()), "广州市");
    EXPECT_EQ(dv::str(city->level()), "2.5");
    EXPECT_EQ(dv::str(city->orderby()), "-3");
    EXPECT_FALSE(city->parentid());
    EXPECT_FALSE(city->namepath());
}

TEST(ReplyModelMappingTest, OnlyRecordsBecomeModels)
{
    EXPECT_FALSE(mm_modelWithDictionary<VQAdModel>(nil));
    EXPECT_FALSE(mm_modelWithDictionary<VQAdModel>(NSNull::null()));
    EXPECT_FALSE(mm_modelWithDictionary<VQAdModel>("{\"adId\":1}"_ns));
    EXPECT_FALSE(mm_modelWithDictionary<VQAdModel>(NSArray::of({ NSDictionary::of({ { "adId"_ns, "1"_ns } }) })));

    auto records = NSArray::of({ NSDictionary::of({ { "phone"_ns, "10012345678"_ns } }), "record"_ns, NSNumber::from(7), NSNull::null(),
        NSArray::array(), NSDictionary::of({ { "phone"_ns, NSArray::of({ "10000000000"_ns }) } }), NSDictionary::dictionary() });
    auto models = typed<VQBuyResourceModel>(dv::app::replyModels<VQBuyResourceModel>(records));
    ASSERT_EQ(models.size(), 3u) << "one model per record, in order";
    EXPECT_EQ(dv::str(models[0]->phone()), "10012345678");
    EXPECT_FALSE(models[1]->phone()) << "a value of the wrong type is left out";
    EXPECT_FALSE(models[2]->phone());
    for (id notAnArray : { id(), id(NSNull::null()), id("[]"_ns), id(NSDictionary::dictionary()) }) {
        auto none = dv::app::replyModels<VQBuyResourceModel>(notAnArray);
        ASSERT_TRUE(none);
        EXPECT_EQ(none->count(), 0u);
    }
}

TEST(ReplyModelMappingTest, PropertiesKeepACopyOfTheirText)
{
    auto tile = alloc<VQMainBtnModel>();
    auto text = NSMutableString::stringWithString("信聊加粉"_ns);
    tile->setName(text);
    text->appendString("!"_ns);
    EXPECT_EQ(dv::str(tile->name()), "信聊加粉");
    tile->setName("加粉"_ns);
    EXPECT_EQ(dv::str(tile->name()), "加粉");
    auto category = alloc<VQCategoryModel>();
    category->setValueForKey(NSMutableString::stringWithString("5"_ns), "categoryId"_ns);
    EXPECT_FALSE(dv::as<NSMutableString>(category->categoryId()));
}
