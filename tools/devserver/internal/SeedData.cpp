#include "tools/devserver/internal/SeedData.h"

#include "tools/devserver/internal/Regions.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <string_view>

namespace dv::internal::devserver {

namespace {

// 2016-03-20 20:00:00 in China Standard Time: the newest seeded code; older ones go back from it.
constexpr std::int64_t kSeedEpoch = 1458475200;

constexpr std::array<std::string_view, 24> kNickNames = {
    "小鹿姐姐", "阿杰", "晴天", "老王说事", "木子", "糖糖", "大熊", "豆豆妈",
    "阿峰", "小米粒", "静静", "老陈", "果果", "阿辉", "兰兰", "石头",
    "云朵", "海哥", "波波", "婷婷", "安然", "一帆", "七七", "橙子",
};

constexpr std::array<std::string_view, 20> kSyllables = {
    "lu", "jie", "qing", "wang", "mu", "tang", "xiong", "dou", "feng", "mi",
    "jing", "chen", "guo", "hui", "lan", "shi", "yun", "hai", "bo", "ting",
};

constexpr std::array<std::string_view, kSeedGroupCodes> kGroupTitles = {
    "杭州宝妈育儿交流群", "深圳跨境电商卖家群", "成都美食探店分享群", "北京二手闲置互助群",
    "上海白领读书会", "广州服装批发拿货群", "武汉考研互助群", "西安自驾游同城群",
    "南京摄影爱好者群", "重庆火锅吃货群", "长沙微商创业交流群", "厦门租房信息群",
    "苏州母婴好物分享群", "郑州宠物领养群", "青岛海钓爱好者群", "昆明鲜花批发群",
    "合肥健身打卡群", "天津相声爱好者群", "沈阳汽车美容交流群", "宁波外贸订单群",
    "福州茶叶品鉴群", "济南家装经验群", "大连跑步俱乐部群",
};

constexpr std::array<std::string_view, kSeedPersonalCodes> kPersonalTitles = {
    "专业代购日韩护肤品", "手工烘焙私房蛋糕", "二手数码回收", "少儿英语一对一",
    "家政保洁预约", "水果产地直发", "婚纱摄影咨询", "健身私教",
    "宠物美容上门", "手机维修", "装修设计咨询", "茶叶批发零售",
    "汽车保险咨询", "母婴用品团购", "鲜花预订", "考研资料分享",
    "海鲜干货直销", "瑜伽课程预约", "钢琴陪练", "旅游线路定制",
    "女装代理招募", "农家土鸡蛋", "眼镜验配", "美甲美睫",
    "二手房咨询", "电脑组装", "书法培训", "跑腿代办",
    "宝宝辅食", "家电清洗",
};

constexpr std::array<std::string_view, kSeedPublicCodes> kPublicTitles = {
    "青禾读书会", "城市小厨房", "每日英语听力", "旅行笔记", "职场进阶指南", "健康养生堂",
    "亲子时光", "汽车之声", "理财小课堂", "影评君", "摄影后期教程", "本地生活圈",
    "数码测评室", "家居美学", "宠物日记", "考研加油站", "手工匠心",
};

constexpr std::array<std::string_view, 4> kGroupIntros = {
    "群内每天分享干货，禁止广告刷屏，进群请改备注：城市+昵称。",
    "同城同好交流，定期组织线下活动，欢迎新朋友加入。",
    "只聊正事不灌水，每周整理精华内容，群满后开新群。",
    "群主每天在线答疑，有问题直接@群主，谢绝推销。",
};

constexpr std::array<std::string_view, 4> kPersonalIntros = {
    "诚信经营，支持当面交易，加我请备注来意。",
    "朋友圈每天更新，老客户介绍新客户有优惠。",
    "本人亲自打理，工作日晚上和周末都能及时回复。",
    "价格透明，不满意可退换，欢迎咨询。",
};

constexpr std::array<std::string_view, 4> kPublicIntros = {
    "每周三篇原创文章，关注后回复“目录”查看往期内容。",
    "专注本地生活资讯，吃喝玩乐一号全知道。",
    "每天早上七点推送，陪你坚持学习。",
    "实用技巧与经验分享，关注即可免费领取资料包。",
};

std::string makeAccount(SeedRandom& random)
{
    std::string account(kSyllables[random.below(kSyllables.size())]);
    account += kSyllables[random.below(kSyllables.size())];
    account += std::to_string(100 + random.below(9900));
    return account;
}

void addCodes(std::vector<CodeSeed>& out, std::string_view type, const auto& titles, const auto& intros,
    std::uint64_t seed, std::int64_t& clock)
{
    SeedRandom random(seed);
    auto allCities = cities();
    for (std::size_t i = 0; i < titles.size(); ++i) {
        CodeSeed code;
        code.type = std::string(type);
        code.title = std::string(titles[i]);
        code.account = makeAccount(random);
        code.nickName = std::string(kNickNames[random.below(kNickNames.size())]);
        code.descriptions = std::string(intros[random.below(intros.size())]);
        code.areaId = allCities[random.below(allCities.size())].code;
        // Titles that open with a city name ("杭州宝妈育儿交流群") are placed in that city.
        for (const auto& city : allCities)
            if (city.name.size() > 6 && code.title.starts_with(city.name.substr(0, 6)))
                code.areaId = city.code;
        code.equipId = "seed-" + std::to_string(seed) + "-" + std::to_string(i);
        clock -= 1800 + static_cast<std::int64_t>(random.below(5400));
        code.addTime = formatChinaTime(clock);
        out.push_back(std::move(code));
    }
}

std::string page(std::string_view heading, std::string_view body)
{
    return "<h2>" + std::string(heading) + "</h2>" + std::string(body);
}

} // namespace

std::uint64_t SeedRandom::next()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string formatChinaTime(std::int64_t unixSeconds)
{
    std::time_t shifted = static_cast<std::time_t>(unixSeconds + 8 * 3600);
    std::tm parts {};
    gmtime_r(&shifted, &parts);
    char buffer[32];
    std::strftime(buffer, sizeof(buffer), "%Y-%m-%d %H:%M:%S", &parts);
    return buffer;
}

namespace {

// The pages of home/web.do, one per subject; the sets give them to their categories.
std::string prospectsPage() { return page("信聊加粉", "<p>按城市获取潜在客户的手机号，一键导入通讯录，打开信聊即可添加好友。</p>"); }
std::string exactPage() { return page("精准加粉", "<p>输入手机号段前七位，系统自动生成后四位，导入通讯录后即可批量加好友。</p>"); }
std::string industryPage() { return page("行业客源", "<p>按行业分类的客户资料，包含公司名称和联系电话。</p>"); }
std::string personalPage() { return page("个人二维码", "<p>浏览其他用户上传的个人信聊二维码，长按保存后到信聊扫码添加。</p>"); }
std::string groupPage() { return page("群二维码", "<p>各地各行业的信聊群二维码，每天更新。</p>"); }
std::string publicPage() { return page("公众号", "<p>精选信聊公众号，关注即可获取每日资讯。</p>"); }
std::string aboutPage() { return page("关于我们", "<p>Dovrelta 帮助商家通过信聊找到身边的客户。</p>"); }
std::string lessonsPage()
{
    return page("营销课堂",
        "<p>第一课：如何写一条让人愿意加你的朋友圈。</p>"
        "<p>第二课：新加的好友第一句话说什么。</p>"
        "<p>第三课：每天固定时间发布内容，让客户养成习惯。</p>");
}
std::string tipsPage()
{
    return page("推广技巧",
        "<ul><li>头像和昵称要真实，方便客户记住你。</li>"
        "<li>二维码图片要清晰，不要加水印遮挡。</li>"
        "<li>上传时写清楚地区和介绍，曝光更精准。</li></ul>");
}
std::string casesPage()
{
    return page("成功案例",
        "<p>某服装店店主：使用信聊加粉三个月，新增好友八百余人，复购率明显提升。</p>"
        "<p>某培训机构：通过行业客源联系到两百多位家长，开设了两个新班。</p>");
}

std::vector<HomeCategorySeed> prospectCategories()
{
    return {
        { 101, "信聊加粉", "1", 1, prospectsPage() },
        { 102, "个人二维码", "2", 1, personalPage() },
        { 106, "精准加粉", "6", 1, exactPage() },
        { 103, "群二维码", "3", 1, groupPage() },
        { 109, "行业客源", "9", 1, industryPage() },
        { 111, "公众号", "11", 1, publicPage() },
        { 104, "营销课堂", "4", 2, lessonsPage() },
        { 105, "推广技巧", "5", 2, tipsPage() },
        { 112, "关于我们", "12", 1, aboutPage() },
        { 113, "成功案例", "13", 2, casesPage() },
    };
}

std::vector<HomeCategorySeed> directoryCategories()
{
    return {
        { 203, "信聊加粉", "3", 1, groupPage() },
        { 211, "精准加粉", "11", 1, publicPage() },
        { 202, "行业客源", "2", 1, personalPage() },
        { 104, "营销课堂", "4", 2, lessonsPage() },
        { 112, "关于我们", "12", 1, aboutPage() },
    };
}

std::vector<HomeCategorySeed> informationCategories()
{
    return {
        { 312, "信聊加粉", "12", 1, aboutPage() },
        { 304, "精准加粉", "4", 2, lessonsPage() },
        { 313, "行业客源", "13", 2, casesPage() },
        { 103, "群二维码", "3", 1, groupPage() },
        { 111, "公众号", "11", 1, publicPage() },
    };
}

} // namespace

const std::vector<TileSetSeed>& tileSetSeeds()
{
    static const std::vector<TileSetSeed> sets = {
        { "prospects", "加粉: numbers by region, 精准加粉: numbers by prefix, 行业客源: customers by industry", prospectCategories() },
        { "directory", "加粉: group QR codes, 精准加粉: public accounts, 行业客源: personal QR codes", directoryCategories() },
        { "information", "加粉: the about screen (help pages, agent lookup), 精准加粉 and 行业客源: web pages", informationCategories() },
    };
    return sets;
}

const TileSetSeed* tileSetSeed(std::string_view name)
{
    for (const auto& set : tileSetSeeds())
        if (set.name == name)
            return &set;
    return nullptr;
}

std::vector<HomeCategorySeed> homeCategorySeeds() { return tileSetSeeds().front().categories; }

std::string fictitiousMobileNumber(std::uint64_t prefixChoice, std::uint64_t last)
{
    static constexpr std::array<std::string_view, 12> prefixes = { "134", "135", "136", "137", "138", "139", "150", "151", "152",
        "186", "187", "188" };
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(last % 10000));
    return std::string(prefixes[prefixChoice % prefixes.size()]) + "0555" + digits;
}

std::vector<AdSeed> adSeeds()
{
    return {
        { 1, "新用户注册送加粉次数", "data/qryLearn.do?type=2", 1 },
        { 2, "行业客源全新上线", "home/web.do?categoryId=109", 2 },
        { 3, "授权代理火热招募中", "data/qryLearn.do?type=1", 1 },
    };
}

std::vector<CodeSeed> codeSeeds()
{
    std::vector<CodeSeed> codes;
    std::int64_t clock = kSeedEpoch + 1800;
    addCodes(codes, "3", kGroupTitles, kGroupIntros, 3, clock);
    addCodes(codes, "2", kPersonalTitles, kPersonalIntros, 2, clock);
    addCodes(codes, "11", kPublicTitles, kPublicIntros, 11, clock);
    return codes;
}

std::vector<IndustrySeed> industrySeeds()
{
    // Counts chosen so that the lists cover the paging cases: several pages with a short last
    // one, an exact multiple of the page size, exactly one page, less than a page, and none.
    return {
        { 201, "服装鞋帽", "fuzhuang", 45 }, { 202, "美容化妆", "meirong", 32 },
        { 203, "母婴用品", "muying", 20 },   { 204, "食品饮料", "shipin", 27 },
        { 205, "家居建材", "jiaju", 0 },     { 206, "汽车服务", "qiche", 7 },
        { 207, "教育培训", "jiaoyu", 38 },   { 208, "数码家电", "shuma", 15 },
        { 209, "珠宝首饰", "zhubao", 10 },   { 210, "医疗保健", "yiliao", 23 },
        { 211, "农林牧渔", "nonglin", 30 },
    };
}

std::vector<ProspectSeed> prospectSeeds()
{
    static constexpr std::array<std::string_view, 20> tradeNames = {
        "青禾", "恒达", "瑞丰", "嘉禾", "鼎盛", "华宇", "德润", "金诚", "立信", "启航",
        "海川", "博远", "新锐", "万通", "同创", "众联", "汇源", "宏图", "晨光", "远航",
    };
    static constexpr std::array<std::string_view, 11> trades = {
        "服饰", "美容", "母婴用品", "食品", "建材", "汽车服务", "教育咨询", "电子科技", "珠宝", "医疗器械", "农业科技",
    };
    std::vector<ProspectSeed> prospects;
    SeedRandom random(9);
    auto allCities = cities();
    std::int64_t clock = kSeedEpoch;
    auto industries = industrySeeds();
    for (std::size_t i = 0; i < industries.size(); ++i) {
        const auto& industry = industries[i];
        for (int n = 0; n < industry.prospectCount; ++n) {
            std::string city(allCities[random.below(allCities.size())].name);
            // "杭州市" -> "杭州"; longer names (autonomous prefectures) are kept whole.
            if (city.size() == 9 && city.ends_with("市"))
                city.resize(6);
            ProspectSeed prospect;
            prospect.categoryId = industry.categoryId;
            prospect.industryId = industry.categoryId * 100 + static_cast<std::int64_t>(random.below(5)) + 1;
            prospect.companyName = city + std::string(tradeNames[random.below(tradeNames.size())]) + std::string(trades[i]) + "有限公司";
            // One draw, as many as the generator gave each number before: the rest of the seed stays.
            const std::uint64_t draw = random.next();
            prospect.phone = fictitiousMobileNumber(draw, draw >> 16);
            clock -= 600 + static_cast<std::int64_t>(random.below(3000));
            prospect.createTime = formatChinaTime(clock);
            prospects.push_back(std::move(prospect));
        }
    }
    return prospects;
}

std::vector<AgentSeed> agentSeeds()
{
    return {
        { "xl_dongfang88", "李明轩", "浙江省杭州市", "市级代理", "DV-2016-0318", "2016-03-18", "2017-03-17" },
        { "qinghe2016", "王雨桐", "广东省", "省级代理", "DV-2016-0102", "2016-01-02", "2017-01-01" },
        { "chenjia_001", "陈佳", "四川省成都市", "市级代理", "DV-2016-0225", "2016-02-25", "2017-02-24" },
        { "100800", "赵子豪", "北京市", "区域代理", "DV-2015-1201", "2015-12-01", "2016-11-30" },
    };
}

ContactSeed contactSeed()
{
    return { fictitiousMobileNumber(4, 101), fictitiousMobileNumber(5, 102), "http://www.dovrelta.example/" };
}

} // namespace dv::internal::devserver
