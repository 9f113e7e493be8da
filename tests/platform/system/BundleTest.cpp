#include "platform/base/Base.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSBundle.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

Ref<NSDictionary> parse(std::string_view text) { return dv::parseStringsFile(NSData::fromString(text)); }

TEST(StringsFileTest, ReadsEntriesCommentsAndEscapes)
{
    auto table = parse("/* 标题 */\n\"title\" = \"正在加载\";\n// line comment\n\"quote\" = \"say \\\"hi\\\"\\n\";\n"
                       "\"unicode\" = \"\\U4e2d\";\nbare = word;\n\"self\";\n");
    ASSERT_TRUE(table);
    EXPECT_TRUE(dv::equal(table->objectForKey("title"_ns), "正在加载"_ns));
    EXPECT_TRUE(dv::equal(table->objectForKey("quote"_ns), "say \"hi\"\n"_ns));
    EXPECT_TRUE(dv::equal(table->objectForKey("unicode"_ns), "中"_ns));
    EXPECT_TRUE(dv::equal(table->objectForKey("bare"_ns), "word"_ns));
    EXPECT_TRUE(dv::equal(table->objectForKey("self"_ns), "self"_ns));
    EXPECT_EQ(table->count(), 5u);
}

TEST(StringsFileTest, MalformedTextGivesNil)
{
    for (const char* bad : { "\"a\" = \"b\"", "\"a\" = ;", "\"open = \"b\";", "/* never closed", "\"a\" \"b\";", "\"a\" = \"\\U12\";", "= \"b\";" })
        EXPECT_EQ(parse(bad), nil) << bad;
    EXPECT_EQ(dv::parseStringsFile(nil), nil);
    ASSERT_TRUE(parse(""));
    EXPECT_EQ(parse("  // nothing\n")->count(), 0u);
}

class BundleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        namespace fs = std::filesystem;
        m_resources = m_home.path() + "/resources";
        fs::create_directories(m_resources + "/zh-Hans.lproj");
        fs::create_directories(m_resources + "/en.lproj");
        fs::create_directories(m_resources + "/images");
        std::ofstream(m_resources + "/Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleShortVersionString</key><string>2.1</string>"
               "<key>CFBundleExecutable</key><string>App</string></dict></plist>";
        std::ofstream(m_resources + "/nav_back@2x.png") << "png";
        std::ofstream(m_resources + "/images/tile.png") << "png";
        std::ofstream(m_resources + "/zh-Hans.lproj/Localizable.strings") << "\"Cancel\" = \"取消\";";
        std::ofstream(m_resources + "/en.lproj/Localizable.strings") << "\"Cancel\" = \"Cancel!\"; \"Only English\" = \"English\";";
        std::ofstream(m_resources + "/PNNetworking.strings") << "\"Expected URL to be a file URL\" = \"需要文件地址\";";
        dv::MainBundleOverride::set(m_resources, NSDictionary::of({ { kCFBundleIdentifierKey, "com.example.test"_ns } }));
    }
    void TearDown() override { dv::MainBundleOverride::reset(); }

    dv::test::TemporaryHome m_home;
    std::string m_resources;
};

TEST_F(BundleTest, InfoDictionaryMergesInfoPlistOverDefaults)
{
    auto bundle = NSBundle::mainBundle();
    EXPECT_TRUE(dv::equal(bundle->bundleIdentifier(), "com.example.test"_ns));
    EXPECT_TRUE(dv::equal(bundle->objectForInfoDictionaryKey("CFBundleShortVersionString"_ns), "2.1"_ns));
    EXPECT_TRUE(dv::equal(bundle->infoDictionary()->objectForKey(kCFBundleExecutableKey), "App"_ns));
    EXPECT_TRUE(dv::equal(bundle->infoDictionary()->objectForKey(kCFBundleVersionKey), "1"_ns));
}

TEST_F(BundleTest, ResourcesAreFoundByNameTypeScaleAndFolder)
{
    auto bundle = NSBundle::mainBundle();
    EXPECT_EQ(dv::str(bundle->pathForResource("nav_back"_ns, "png"_ns)), m_resources + "/nav_back@2x.png");
    EXPECT_EQ(dv::str(bundle->pathForResource("nav_back@2x.png"_ns, nil)), m_resources + "/nav_back@2x.png");
    EXPECT_EQ(bundle->pathForResource("tile"_ns, "png"_ns), nil);
    EXPECT_EQ(dv::str(bundle->pathForResource("tile"_ns, "png"_ns, "images"_ns)), m_resources + "/images/tile.png");
    auto url = bundle->URLForResource("tile"_ns, "png"_ns, "images"_ns);
    ASSERT_TRUE(url);
    EXPECT_TRUE(url->isFileURL());
    EXPECT_EQ(bundle->URLForResource("absent"_ns, "png"_ns), nil);
    EXPECT_EQ(bundle->pathForResource(nil, "png"_ns), nil);
}

TEST_F(BundleTest, LocalizedStringsPreferChineseAndFallBackToTheKey)
{
    auto bundle = NSBundle::mainBundle();
    EXPECT_TRUE(dv::equal(NSLocalizedString("Cancel"_ns, nil), "取消"_ns));
    EXPECT_TRUE(dv::equal(NSLocalizedString("Only English"_ns, nil), "English"_ns));
    EXPECT_TRUE(dv::equal(NSLocalizedString("Unknown"_ns, nil), "Unknown"_ns));
    EXPECT_TRUE(dv::equal(bundle->localizedStringForKey("Unknown"_ns, "fallback"_ns, nil), "fallback"_ns));
    EXPECT_TRUE(dv::equal(bundle->localizedStringForKey("Unknown"_ns, ""_ns, nil), "Unknown"_ns));
    EXPECT_TRUE(dv::equal(NSLocalizedStringFromTable("Expected URL to be a file URL"_ns, "PNNetworking"_ns, nil), "需要文件地址"_ns));
    EXPECT_TRUE(dv::equal(NSLocalizedStringFromTable("File URL not reachable."_ns, "PNNetworking"_ns, nil), "File URL not reachable."_ns));
    EXPECT_TRUE(dv::equal(NSLocalizedStringFromTable("x"_ns, "NoSuchTable"_ns, nil), "x"_ns));
}

TEST_F(BundleTest, DamagedInfoPlistKeepsTheDefaults)
{
    std::ofstream(m_resources + "/Info.plist", std::ios::trunc) << "<plist><dict><key>broken";
    dv::MainBundleOverride::set(m_resources, nil);
    auto bundle = NSBundle::mainBundle();
    EXPECT_TRUE(dv::equal(bundle->bundleIdentifier(), "com.velmarquest.dovrelta"_ns));
    EXPECT_TRUE(dv::equal(bundle->objectForInfoDictionaryKey("CFBundleShortVersionString"_ns), "1.0"_ns));
}

} // namespace

#include "platform/graphics/ImageResources.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"

namespace {

TEST_F(BundleTest, NamedImagesComeFromTheMainBundleOnceInstalled)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(3, 2), true, 2);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    ASSERT_TRUE(UIImagePNGRepresentation(image)->writeToFile(NSString::fromUTF8(m_resources + "/dot@2x.png"), true));

    dv::installMainBundleImageResolver();
    auto named = UIImage::imageNamed("dot"_ns);
    dv::setImageResourceResolver({});
    ASSERT_TRUE(named);
    EXPECT_EQ(named->scale(), 2);
    EXPECT_EQ(named->size(), CGSizeMake(3, 2));
}

} // namespace
