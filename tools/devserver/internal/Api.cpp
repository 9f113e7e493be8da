#include "tools/devserver/internal/Api.h"

#include "platform/base/Digest.h"
#include "tools/devserver/internal/Prospects.h"
#include "tools/devserver/internal/SeedData.h"
#include "tools/devserver/internal/WebPages.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

namespace dv::internal::devserver {

namespace {

enum class StatusType { Number, Text };

// The `status` member in the path's type.
Json statusValue(int status, StatusType type)
{
    if (type == StatusType::Text)
        return std::to_string(status);
    return status;
}

Reply success(StatusType type, Json info, std::string msg = "")
{
    Json json = Json::object();
    json["status"] = statusValue(1, type);
    json["msg"] = std::move(msg);
    json["info"] = std::move(info);
    return Reply::ofJson(std::move(json));
}

Reply refuse(StatusType type, std::string msg)
{
    Json json = Json::object();
    json["status"] = statusValue(0, type);
    json["msg"] = std::move(msg);
    json["info"] = nullptr;
    return Reply::ofJson(std::move(json));
}

const std::string* field(const ApiRequest& request, const char* name)
{
    auto it = request.fields.find(name);
    return it == request.fields.end() ? nullptr : &it->second;
}

std::string fieldText(const ApiRequest& request, const char* name)
{
    const std::string* value = field(request, name);
    return value ? *value : std::string();
}

// Whole decimal numbers only: an optional minus and up to 18 digits, nothing around them.
std::optional<std::int64_t> parseInteger(std::string_view text)
{
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A missing page is the first one; text that is not a number is refused by the caller.
std::optional<std::int64_t> pageField(const ApiRequest& request)
{
    const std::string* page = field(request, "page");
    if (!page || page->empty())
        return 0;
    return parseInteger(*page);
}

// Device identifiers are printable ASCII without spaces.
bool validClientId(const std::string& clientId)
{
    if (clientId.empty() || clientId.size() > 128)
        return false;
    for (unsigned char c : clientId)
        if (c <= 0x20 || c >= 0x7F)
            return false;
    return true;
}

std::size_t characterCount(const std::string& utf8)
{
    std::size_t count = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80)
            ++count;
    return count;
}

bool isCodeType(const std::string& type)
{
    return type == "11" || type == "2" || type == "3";
}

Json categoryJson(const CategoryRecord& category, const std::string& imgurl)
{
    Json json = Json::object();
    json["categoryId"] = category.categoryId;
    json["name"] = category.name;
    json["imgurl"] = imgurl;
    json["keyword"] = category.keyword;
    json["orderby"] = category.orderBy;
    json["type"] = category.type;
    return json;
}

Json phoneJson(const GeneratedPhone& phone, std::int64_t cityId, std::int64_t provinceId)
{
    Json json = Json::object();
    json["phone"] = phone.phone;
    json["phoneId"] = phone.phoneId;
    json["cityId"] = cityId;
    json["proviceId"] = provinceId;
    json["seq"] = phone.seq;
    json["status"] = 1;
    json["createTime"] = phone.createTimeMillis;
    return json;
}

// What other clients see of an uploader's device: a digest, never the identifier itself, which
// is all it takes to log in as that device.
std::string publicEquipId(const std::string& equipId)
{
    return dv::sha1Hex("equip:" + equipId).substr(0, 16);
}

// The last path component's leading number: "pic/qrcode/12-3.jpg" -> 12.
std::optional<std::int64_t> pictureId(const std::string& path)
{
    auto slash = path.rfind('/');
    std::string_view name = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
    auto end = name.find_first_of("-.");
    return parseInteger(name.substr(0, end));
}

// What an upload is told when the server has no room for it now (its decodes or its store's log
// taken up by others): the application shows a refusal's text, and nothing for a 503.
constexpr const char* kBusyMessage = "服务器繁忙，请稍后再试";

// The refusal of an upload that the store would not keep, or did not.
Reply uploadRefusal(Store::SaveResult::Outcome outcome, const UploadQuota& quota)
{
    constexpr auto S = StatusType::Number;
    using Outcome = Store::SaveResult::Outcome;
    switch (outcome) {
    case Outcome::AlreadyRefreshedToday:
        return refuse(S, "该二维码今天已经更新过了，一天只能更新一次");
    case Outcome::TooManyCodes:
        return refuse(S, "本设备上传的二维码已达" + std::to_string(quota.codes) + "个上限，无法再上传");
    case Outcome::TooManyBytes:
        return refuse(S, "本设备上传的图片已达存储上限，请压缩图片后再试");
    case Outcome::StoreFull:
        return refuse(S, "服务器的存储空间已达上限，暂时无法上传");
    case Outcome::Busy:
        return refuse(S, kBusyMessage);
    case Outcome::Added:
    case Outcome::Refreshed:
        break;
    }
    return refuse(S, "保存失败，请稍后再试");
}

// "4096×4096" for a limit of 4096 x 4096 pixels.
std::string pixelLimitText(std::uint64_t pixels)
{
    const std::string side = std::to_string(std::uint64_t(std::sqrt(double(pixels))));
    return side + "×" + side;
}

} // namespace

Api::Api(Store& store, Pictures& pictures, ApiSettings settings)
    : m_store(store)
    , m_pictures(pictures)
    , m_settings(std::move(settings))
{
    if (!m_settings.now)
        m_settings.now = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

Reply Api::handle(const ApiRequest& request)
{
    using Handler = Result<Reply> (Api::*)(const ApiRequest&);
    static const std::map<std::string, Handler, std::less<>> handlers = {
        { "client/login.do", &Api::login },
        { "home/index.do", &Api::homeIndex },
        { "home/artifactIndex.do", &Api::artifactIndex },
        { "qrcode/listCode.do", &Api::listCode },
        { "qrcode/getDetail.do", &Api::getDetail },
        { "qrcode/getChangeDetail.do", &Api::getChangeDetail },
        { "qrcode/saveCode.do", &Api::saveCode },
        { "district/listSubDistrict.do", &Api::listSubDistrict },
        { "data/listPhone.do", &Api::listPhone },
        { "data/listAccuratePhone.do", &Api::listAccuratePhone },
        { "data/listCategory.do", &Api::listCategory },
        { "data/listIndustry.do", &Api::listIndustry },
        { "data/qryLearn.do", &Api::learnPage },
        { "data/qryAgent.do", &Api::agentLetter },
        { "home/web.do", &Api::categoryWebPage },
        { "data/consult.do", &Api::consultWebPage },
    };
    Result<Reply> reply = Reply::page(notFoundPage("/DV/" + request.path), 404);
    if (auto it = handlers.find(request.path); it != handlers.end())
        reply = (this->*(it->second))(request);
    else if (request.path.starts_with("pic/"))
        reply = picture(request);
    if (!reply) {
        std::fprintf(stderr, "dovrelta-devserver: %s failed: %s\n", request.path.c_str(), reply.reason().c_str());
        return Reply::page(errorPage(500), 500);
    }
    return std::move(reply).value();
}

Result<Reply> Api::login(const ApiRequest& request)
{
    std::string clientId = fieldText(request, "clientId");
    if (clientId.empty())
        return refuse(StatusType::Number, "设备号不能为空");
    if (!validClientId(clientId))
        return refuse(StatusType::Number, "设备号格式不正确");
    std::string now = formatChinaTime(m_settings.now());
    auto token = m_store.login(clientId, now);
    if (!token) {
        std::fprintf(stderr, "dovrelta-devserver: login failed: %s\n", token.reason().c_str());
        return refuse(StatusType::Number, "登录失败，请稍后再试");
    }
    Json info = Json::object();
    info["clientId"] = clientId;
    info["loginTime"] = now;
    Reply reply = success(StatusType::Number, std::move(info), "登录成功");
    (*reply.json)["token"] = *token;
    return reply;
}

Result<Reply> Api::homeIndex(const ApiRequest& request)
{
    DV_TRY_ASSIGN(const auto listed, m_store.homeCategories());
    DV_TRY_ASSIGN(const auto listedAds, m_store.ads());
    Json categories = Json::array();
    for (const auto& category : listed)
        categories.push_back(categoryJson(category, request.base + "pic/tile/" + std::to_string(category.categoryId) + ".png"));
    Json ads = Json::array();
    for (const auto& ad : listedAds) {
        Json json = Json::object();
        json["adId"] = ad.adId;
        json["name"] = ad.name;
        json["imgurl"] = request.base + "pic/ad/" + std::to_string(ad.adId) + ".png";
        json["linkId"] = request.base + ad.linkPath;
        json["linkType"] = ad.linkType;
        json["seq"] = ad.seq;
        json["status"] = ad.status;
        json["createTime"] = ad.createTime;
        json["modifyTime"] = ad.modifyTime;
        ads.push_back(std::move(json));
    }
    Json info = Json::object();
    info["listCate"] = std::move(categories);
    info["listAd"] = std::move(ads);
    return success(StatusType::Number, std::move(info));
}

Result<Reply> Api::artifactIndex(const ApiRequest&)
{
    DV_TRY_ASSIGN(const Contact contact, m_store.contact());
    Json info = Json::object();
    info["agentPhone"] = contact.agentPhone;
    info["buyPhone"] = contact.buyPhone;
    info["qq"] = contact.site;
    return success(StatusType::Text, std::move(info));
}

Json Api::codeJson(const CodeRecord& code, const std::string& base) const
{
    std::string extension = code.imageType.empty() ? "png" : code.imageType;
    Json json = Json::object();
    json["qrcodeId"] = std::to_string(code.id);
    json["qrcodeImg"] = base + "pic/qrcode/" + std::to_string(code.id) + "-" + std::to_string(code.revision) + "." + extension;
    json["title"] = code.title;
    json["account"] = code.account;
    json["nickName"] = code.nickName;
    json["descriptions"] = code.descriptions;
    json["areaId"] = code.areaId;
    json["areaName"] = code.areaName;
    json["equipId"] = publicEquipId(code.equipId);
    json["type"] = code.type;
    json["status"] = code.status;
    json["addTime"] = code.addTime;
    json["position"] = std::to_string(code.position);
    return json;
}

Result<Reply> Api::listCode(const ApiRequest& request)
{
    std::string type = fieldText(request, "type");
    if (!isCodeType(type))
        return refuse(StatusType::Number, "二维码类型错误");
    auto page = pageField(request);
    if (!page)
        return refuse(StatusType::Number, "参数错误");
    DV_TRY_ASSIGN(const auto codes, m_store.codes(type, *page, kCodePageSize));
    Json items = Json::array();
    for (const auto& code : codes.items)
        items.push_back(codeJson(code, request.base));
    Json info = Json::object();
    info["pageSize"] = std::to_string(kCodePageSize);
    info["totalCount"] = codes.totalCount;
    info["listItems"] = std::move(items);
    return success(StatusType::Number, std::move(info));
}

Result<Reply> Api::getDetail(const ApiRequest& request)
{
    auto id = parseInteger(fieldText(request, "id"));
    if (!id)
        return refuse(StatusType::Text, "参数错误");
    DV_TRY_ASSIGN(const auto code, m_store.code(*id));
    if (!code)
        return refuse(StatusType::Text, "该二维码不存在或已被删除");
    return success(StatusType::Text, codeJson(*code, request.base));
}

Result<Reply> Api::getChangeDetail(const ApiRequest& request)
{
    auto id = parseInteger(fieldText(request, "id"));
    std::string flag = fieldText(request, "flag");
    if (!id || (flag != "0" && flag != "1"))
        return refuse(StatusType::Text, "参数错误");
    DV_TRY_ASSIGN(const auto current, m_store.code(*id));
    if (!current)
        return refuse(StatusType::Text, "该二维码不存在或已被删除");
    // The code's place now, not the position the client remembers: uploads since then may have
    // moved it.
    std::int64_t target = current->position + (flag == "1" ? 1 : -1);
    if (target < 0)
        return refuse(StatusType::Text, "已经是第一个了");
    DV_TRY_ASSIGN(const auto next, m_store.codeAt(current->type, target));
    if (!next)
        return refuse(StatusType::Text, "已经是最后一个了");
    return success(StatusType::Text, codeJson(*next, request.base));
}

Result<Reply> Api::saveCode(const ApiRequest& request)
{
    constexpr auto S = StatusType::Number;
    std::string clientId = fieldText(request, "clientId");
    if (clientId.empty())
        return refuse(S, "设备号不能为空");
    if (!validClientId(clientId))
        return refuse(S, "设备号格式不正确");
    std::string token = fieldText(request, "token");
    if (token.empty())
        return refuse(S, "请先登录");
    DV_TRY_ASSIGN(const auto storedToken, m_store.tokenOf(clientId));
    if (storedToken != token)
        return refuse(S, "登录已失效，请重新打开应用");
    std::string type = fieldText(request, "type");
    if (!isCodeType(type))
        return refuse(S, "二维码类型错误");
    std::string title = fieldText(request, "title");
    if (title.empty())
        return refuse(S, "标题不能为空");
    if (characterCount(title) > 100)
        return refuse(S, "标题不能超过100个字");
    std::string areaText = fieldText(request, "area_id");
    if (areaText.empty())
        return refuse(S, "请选择省市");
    auto areaId = parseInteger(areaText);
    if (!areaId)
        return refuse(S, "所选地区不存在");
    DV_TRY_ASSIGN(const auto area, m_store.district(*areaId));
    if (!area)
        return refuse(S, "所选地区不存在");
    std::string account = fieldText(request, "account");
    if (account.empty())
        return refuse(S, "信聊号不能为空");
    if (characterCount(account) > 64)
        return refuse(S, "信聊号不能超过64个字");
    std::string description = fieldText(request, "description");
    if (description.empty())
        return refuse(S, "介绍不能为空");
    if (characterCount(description) > 1000)
        return refuse(S, "介绍不能超过1000个字");
    if (!request.code || request.code->content.empty())
        return refuse(S, "请上传一张二维码");
    if (request.code->content.size() > m_settings.maxImageBytes)
        return refuse(S, "图片太大，请压缩后再上传");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(request.code->content.data());
    std::string imageType = imageTypeOf({ bytes, request.code->content.size() });
    if (imageType.empty())
        return refuse(S, "二维码图片格式不正确");

    NewCode code;
    code.clientId = clientId;
    code.type = type;
    code.title = title;
    code.account = account;
    code.descriptions = description;
    code.areaId = *areaId;
    code.addTime = formatChinaTime(m_settings.now());
    code.imageType = imageType;
    // What the store would refuse is read before the picture is decoded, which costs far more.
    DV_TRY_ASSIGN(const auto refusal, m_store.uploadRefusal(code, request.code->content.size(), m_settings.quota));
    if (refusal)
        return uploadRefusal(*refusal, m_settings.quota);
    switch (m_pictures.check({ bytes, request.code->content.size() }, m_settings.maxImagePixels)) {
    case PictureCheck::Decodes:
        break;
    case PictureCheck::TooManyPixels:
        return refuse(S, "图片尺寸过大，请上传不超过" + pixelLimitText(m_settings.maxImagePixels) + "像素的二维码");
    case PictureCheck::TooManyAnimationPixels:
        return refuse(S, "动图各帧合计超过" + pixelLimitText(m_settings.maxImagePixels) + "像素，请上传静态的二维码图片");
    case PictureCheck::Damaged:
        return refuse(S, "二维码图片格式不正确");
    case PictureCheck::Busy:
        return refuse(S, kBusyMessage);
    }

    code.image.assign(bytes, bytes + request.code->content.size());
    using Outcome = Store::SaveResult::Outcome;
    auto saved = m_store.saveCode(code, m_settings.quota);
    if (!saved) {
        std::fprintf(stderr, "dovrelta-devserver: saving a code failed: %s\n", saved.reason().c_str());
        return refuse(S, "保存失败，请稍后再试");
    }
    if (saved->outcome == Outcome::Added)
        return success(S, "上传成功");
    if (saved->outcome == Outcome::Refreshed)
        return success(S, "更新成功");
    return uploadRefusal(saved->outcome, m_settings.quota);
}

Result<Reply> Api::listSubDistrict(const ApiRequest& request)
{
    const std::string* parentText = field(request, "parentId");
    if (!parentText || parentText->empty())
        return refuse(StatusType::Number, "parentId不能为空");
    auto parentId = parseInteger(*parentText);
    if (!parentId)
        return refuse(StatusType::Number, "参数错误");
    DV_TRY_ASSIGN(const auto districts, m_store.districts(*parentId));
    Json regions = Json::array();
    for (const auto& district : districts) {
        Json json = Json::object();
        json["id"] = district.id;
        json["name"] = district.name;
        json["parentid"] = district.parentId;
        json["level"] = district.level;
        json["namepath"] = district.namePath;
        json["nodepath"] = district.nodePath;
        json["charindex"] = district.charIndex;
        json["orderby"] = district.orderBy;
        regions.push_back(std::move(json));
    }
    return success(StatusType::Number, std::move(regions));
}

Result<Reply> Api::listPhone(const ApiRequest& request)
{
    constexpr auto S = StatusType::Text;
    if (!validClientId(fieldText(request, "clientId")))
        return refuse(S, "设备号不能为空");
    std::string cityText = fieldText(request, "cityId");
    if (cityText.empty())
        return refuse(S, "请先选择地区");
    auto cityId = parseInteger(cityText);
    std::optional<DistrictRecord> city;
    if (cityId) {
        DV_TRY_ASSIGN(city, m_store.district(*cityId));
    }
    if (!city)
        return refuse(S, "所选地区不存在");
    auto page = pageField(request);
    if (!page)
        return refuse(S, "参数错误");
    std::int64_t provinceId = city->level == 1 ? city->id : city->parentId;
    Json items = Json::array();
    for (const auto& phone : cityProspects(city->id, *page, kPhonePageSize))
        items.push_back(phoneJson(phone, city->id, provinceId));
    Json info = Json::object();
    info["pageSize"] = kPhonePageSize;
    info["totalCount"] = std::to_string(cityProspectCount(city->id));
    info["listItems"] = std::move(items);
    return success(S, std::move(info));
}

Result<Reply> Api::listAccuratePhone(const ApiRequest& request)
{
    constexpr auto S = StatusType::Text;
    if (!validClientId(fieldText(request, "clientId")))
        return refuse(S, "设备号不能为空");
    std::string regionText = fieldText(request, "proviceId");
    if (regionText.empty())
        return refuse(S, "请先选择地区");
    auto regionId = parseInteger(regionText);
    std::optional<DistrictRecord> region;
    if (regionId) {
        DV_TRY_ASSIGN(region, m_store.district(*regionId));
    }
    if (!region)
        return refuse(S, "所选地区不存在");
    std::string prefix = fieldText(request, "phone");
    if (prefix.empty())
        return refuse(S, "请输入手机号前七位");
    // Domestic prefixes have seven digits; foreign ones start with 00 and the country code.
    if (prefix.size() < 3 || prefix.size() > 11 || prefix.find_first_not_of("0123456789") != std::string::npos)
        return refuse(S, "手机号段格式不正确");
    auto page = pageField(request);
    if (!page)
        return refuse(S, "参数错误");
    std::int64_t cityId = region->level == 2 ? region->id : 0;
    std::int64_t provinceId = region->level == 1 ? region->id : region->parentId;
    Json items = Json::array();
    for (const auto& phone : prefixProspects(region->id, prefix, *page, kPhonePageSize))
        items.push_back(phoneJson(phone, cityId, provinceId));
    Json info = Json::object();
    info["pageSize"] = kPhonePageSize;
    info["totalCount"] = std::to_string(prefixProspectCount(region->id, prefix));
    info["listItems"] = std::move(items);
    return success(S, std::move(info));
}

Result<Reply> Api::listCategory(const ApiRequest& request)
{
    if (!validClientId(fieldText(request, "clientId")))
        return refuse(StatusType::Number, "设备号不能为空");
    DV_TRY_ASSIGN(const auto industries, m_store.industries());
    Json categories = Json::array();
    for (const auto& category : industries)
        categories.push_back(categoryJson(category, request.base + "pic/category/" + std::to_string(category.categoryId) + ".png"));
    return success(StatusType::Number, std::move(categories));
}

Result<Reply> Api::listIndustry(const ApiRequest& request)
{
    constexpr auto S = StatusType::Number;
    if (!validClientId(fieldText(request, "clientId")))
        return refuse(S, "设备号不能为空");
    auto categoryId = parseInteger(fieldText(request, "categoryId"));
    if (!categoryId)
        return refuse(S, "行业分类不存在");
    DV_TRY_ASSIGN(const bool known, m_store.hasIndustry(*categoryId));
    if (!known)
        return refuse(S, "行业分类不存在");
    auto page = pageField(request);
    if (!page)
        return refuse(S, "参数错误");
    DV_TRY_ASSIGN(const auto prospects, m_store.prospects(*categoryId, *page, kIndustryPageSize));
    Json items = Json::array();
    for (const auto& prospect : prospects.items) {
        Json json = Json::object();
        json["phone"] = prospect.phone;
        json["categoryId"] = prospect.categoryId;
        json["industryId"] = prospect.industryId;
        json["computerName"] = prospect.companyName;
        json["seq"] = prospect.seq;
        json["status"] = prospect.status;
        json["createTime"] = prospect.createTime;
        items.push_back(std::move(json));
    }
    Json info = Json::object();
    info["pageSize"] = std::to_string(kIndustryPageSize);
    info["totalCount"] = std::to_string(prospects.totalCount);
    info["listItems"] = std::move(items);
    return success(S, std::move(info));
}

Result<Reply> Api::learnPage(const ApiRequest& request)
{
    if (auto page = helpPage(fieldText(request, "type")))
        return Reply::page(std::move(*page));
    return Reply::page(notFoundPage("/DV/" + request.path), 404);
}

Result<Reply> Api::agentLetter(const ApiRequest& request)
{
    std::string agentNo = fieldText(request, "agentNo");
    std::optional<AgentRecord> agent;
    if (!agentNo.empty()) {
        DV_TRY_ASSIGN(agent, m_store.agent(agentNo));
    }
    return Reply::page(agentPage(agent, agentNo));
}

Result<Reply> Api::categoryWebPage(const ApiRequest& request)
{
    auto categoryId = parseInteger(fieldText(request, "categoryId"));
    std::optional<std::pair<CategoryRecord, std::string>> page;
    if (categoryId) {
        DV_TRY_ASSIGN(page, m_store.homePage(*categoryId));
    }
    if (!page)
        return Reply::page(notFoundPage("/DV/" + request.path), 404);
    return Reply::page(categoryPage(page->first, page->second));
}

Result<Reply> Api::consultWebPage(const ApiRequest&) { return Reply::page(consultPage()); }

Result<Reply> Api::picture(const ApiRequest& request)
{
    const std::string& path = request.path;
    auto missing = [&] { return Reply::page(notFoundPage("/DV/" + path), 404); };
    auto asReply = [](const Picture& picture) {
        return Reply::picture(std::string(picture.bytes.begin(), picture.bytes.end()), picture.contentType);
    };
    if (path == "pic/static/picture.png")
        return asReply(m_pictures.icon("static", 7, "图片"));
    auto id = pictureId(path);
    if (!id)
        return missing();
    if (path.starts_with("pic/tile/")) {
        DV_TRY_ASSIGN(const auto categories, m_store.homeCategories());
        for (const auto& category : categories)
            if (category.categoryId == *id)
                return asReply(m_pictures.icon("tile/" + std::to_string(*id), category.orderBy, category.name));
        return missing();
    }
    if (path.starts_with("pic/category/")) {
        DV_TRY_ASSIGN(const auto industries, m_store.industries());
        for (const auto& category : industries)
            if (category.categoryId == *id)
                return asReply(m_pictures.icon("category/" + std::to_string(*id), category.orderBy + 5, category.name));
        return missing();
    }
    if (path.starts_with("pic/ad/")) {
        DV_TRY_ASSIGN(const auto ads, m_store.ads());
        for (const auto& ad : ads)
            if (ad.adId == *id)
                return asReply(m_pictures.banner(ad.adId, ad.name));
        return missing();
    }
    if (path.starts_with("pic/qrcode/")) {
        DV_TRY_ASSIGN(const auto code, m_store.code(*id));
        if (!code)
            return missing();
        if (!code->imageType.empty())
            return storedPicture(request, *code);
        if (auto picture = m_pictures.qrCode(code->account))
            return asReply(*picture);
        return missing();
    }
    return missing();
}

// An uploaded picture: one copy of its bytes for all the replies that send it at the same time,
// counted once.
Result<Reply> Api::storedPicture(const ApiRequest& request, const CodeRecord& code)
{
    DV_TRY_ASSIGN(const auto taken, m_sharedPictures.take({ code.id, code.revision }, [&]() -> Result<SharedPictures::Taken> {
        DV_TRY_ASSIGN(const auto size, m_store.codeImageSize(code.id));
        if (size == 0)
            return SharedPictures::Taken { SharedPictures::Outcome::Missing };
        auto copy = std::make_shared<SharedBytes>();
        // The store's copy and ours, for a moment.
        if (request.budget && !copy->share.emplace(*request.budget).grow(2 * std::size_t(size)))
            return SharedPictures::Taken { SharedPictures::Outcome::NoRoom };
        DV_TRY_ASSIGN(auto bytes, m_store.codeImageAt(code.id, code.revision));
        if (!bytes)
            return SharedPictures::Taken { SharedPictures::Outcome::Missing }; // refreshed meanwhile
        copy->bytes = std::move(*bytes);
        // From here on one copy, the store's gone.
        if (copy->share && copy->share->bytes() > copy->bytes.capacity())
            copy->share->shrink(copy->share->bytes() - copy->bytes.capacity());
        return SharedPictures::Taken { SharedPictures::Outcome::Found, std::move(copy) };
    }));
    switch (taken.outcome) {
    case SharedPictures::Outcome::Found:
        return Reply::sharedPicture(taken.bytes, contentTypeOf(code.imageType));
    case SharedPictures::Outcome::NoRoom:
        return Reply::busy();
    case SharedPictures::Outcome::Missing:
        break;
    }
    return Reply::page(notFoundPage("/DV/" + request.path), 404);
}

} // namespace dv::internal::devserver
