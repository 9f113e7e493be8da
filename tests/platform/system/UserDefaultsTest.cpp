#include "platform/base/Base.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/base/AtomicFile.h"
#include "platform/testing/InterruptedWrite.h"
#include "KilledWriter.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override { NSUserDefaults::resetStandardUserDefaults(); }
    void TearDown() override { NSUserDefaults::resetStandardUserDefaults(); }

    // A new process would read the file afresh: so does a new instance over the same file.
    static Ref<NSUserDefaults> restart()
    {
        NSUserDefaults::resetStandardUserDefaults();
        return NSUserDefaults::standardUserDefaults();
    }

    dv::test::TemporaryHome m_home;
};

TEST_F(UserDefaultsTest, ValuesSurviveARestart)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_TRUE(defaults->path().starts_with(m_home.path() + "/app/Library/Preferences/"));
    defaults->setObjectForKey("tok-1"_ns, "utoken"_ns);
    defaults->setObjectForKey("YES"_ns, "first"_ns);
    defaults->setInteger(42, "count"_ns);
    defaults->setBool(true, "flag"_ns);
    defaults->setDouble(2.5, "ratio"_ns);
    defaults->setObjectForKey(NSArray::of({ "110000_3"_ns, "120000_0"_ns }), "addFansCur"_ns);
    defaults->setObjectForKey(NSDictionary::of({ { "k"_ns, NSNumber::from(1) } }), "dict"_ns);
    defaults->setObjectForKey(NSData::fromString("\x01\x02"), "data"_ns);
    defaults->setObjectForKey(NSDate::dateWithTimeIntervalSinceReferenceDate(600000000), "backDate"_ns);
    defaults->setObjectForKey("中文"_ns, "chinese"_ns);

    auto again = restart();
    ASSERT_NE(again, defaults);
    EXPECT_TRUE(dv::equal(again->stringForKey("utoken"_ns), "tok-1"_ns));
    EXPECT_TRUE(again->boolForKey("first"_ns));
    EXPECT_EQ(again->integerForKey("count"_ns), 42);
    EXPECT_TRUE(again->boolForKey("flag"_ns));
    EXPECT_DOUBLE_EQ(again->doubleForKey("ratio"_ns), 2.5);
    EXPECT_TRUE(dv::equal(again->stringArrayForKey("addFansCur"_ns), NSArray::of({ "110000_3"_ns, "120000_0"_ns })));
    EXPECT_TRUE(dv::equal(again->dictionaryForKey("dict"_ns), NSDictionary::of({ { "k"_ns, NSNumber::from(1) } })));
    EXPECT_TRUE(dv::equal(again->dataForKey("data"_ns), NSData::fromString("\x01\x02")));
    EXPECT_DOUBLE_EQ(again->dateForKey("backDate"_ns)->timeIntervalSinceReferenceDate(), 600000000);
    EXPECT_TRUE(dv::equal(again->stringForKey("chinese"_ns), "中文"_ns));
}

TEST_F(UserDefaultsTest, DatesKeepTheirFractionOfASecondAcrossARestart)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(NSDate::dateWithTimeIntervalSinceReferenceDate(600000000.123456), "backDate"_ns);
    defaults->setObjectForKey(NSArray::of({ NSDate::dateWithTimeIntervalSinceReferenceDate(-0.25) }), "dates"_ns);
    auto again = restart();
    EXPECT_EQ(again->dateForKey("backDate"_ns)->timeIntervalSinceReferenceDate(), 600000000.123456);
    auto dates = again->arrayForKey("dates"_ns);
    ASSERT_TRUE(dates);
    EXPECT_TRUE(dv::equal(dates->firstObject(), NSDate::dateWithTimeIntervalSinceReferenceDate(-0.25)));
}

TEST_F(UserDefaultsTest, AFileWrittenAsXMLIsStillRead)
{
    auto path = NSUserDefaults::standardUserDefaults()->path();
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::trunc) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                            "<key>utoken</key><string>t</string></dict></plist>";
    EXPECT_TRUE(dv::equal(restart()->stringForKey("utoken"_ns), "t"_ns));
}

TEST_F(UserDefaultsTest, GettersConvertAsThePlatformDoes)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setInteger(12, "n"_ns);
    defaults->setDouble(12.5, "d"_ns);
    defaults->setObjectForKey(" 42abc"_ns, "s"_ns);
    EXPECT_TRUE(dv::equal(defaults->stringForKey("n"_ns), "12"_ns));
    EXPECT_TRUE(dv::equal(defaults->stringForKey("d"_ns), "12.5"_ns));
    EXPECT_EQ(defaults->integerForKey("s"_ns), 42);
    EXPECT_EQ(defaults->stringForKey("missing"_ns), nil);
    EXPECT_EQ(defaults->integerForKey("missing"_ns), 0);
    EXPECT_FALSE(defaults->boolForKey("missing"_ns));
    EXPECT_EQ(defaults->arrayForKey("s"_ns), nil);
    defaults->setObjectForKey(NSArray::of({ "a"_ns, NSNumber::from(1) }), "mixed"_ns);
    EXPECT_EQ(defaults->stringArrayForKey("mixed"_ns), nil);
    defaults->setURL(NSURL::URLWithString("http://example.com/a"_ns), "url"_ns);
    EXPECT_TRUE(dv::equal(defaults->URLForKey("url"_ns)->host(), "example.com"_ns));
}

TEST_F(UserDefaultsTest, NilRemovesRegisteredValuesAreNeverWritten)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->registerDefaults(NSDictionary::of({ { "fallback"_ns, "registered"_ns }, { "utoken"_ns, "default"_ns } }));
    defaults->setObjectForKey("real"_ns, "utoken"_ns);
    EXPECT_TRUE(dv::equal(defaults->stringForKey("utoken"_ns), "real"_ns));
    defaults->setObjectForKey(nil, "utoken"_ns);
    EXPECT_TRUE(dv::equal(defaults->stringForKey("utoken"_ns), "default"_ns));
    EXPECT_TRUE(dv::equal(defaults->stringForKey("fallback"_ns), "registered"_ns));
    defaults->setObjectForKey("x"_ns, "other"_ns);
    defaults->removeObjectForKey("other"_ns);

    auto again = restart();
    EXPECT_EQ(again->objectForKey("utoken"_ns), nil);
    EXPECT_EQ(again->objectForKey("fallback"_ns), nil);
    EXPECT_EQ(again->objectForKey("other"_ns), nil);
}

TEST_F(UserDefaultsTest, TheFileIsAlwaysACompletePropertyList)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    for (int i = 0; i < 20; ++i) {
        defaults->setInteger(i, NSString::stringWithFormat("key%d", i));
        // The writer puts each change in place in its own time; whenever the file is read, it is
        // whole.
        if (!fs::exists(defaults->path()))
            continue;
        auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(defaults->path()));
        ASSERT_TRUE(data);
        auto plist = dv::as<NSDictionary>(NSPropertyListSerialization::propertyListWithData(data, 0, nullptr, nullptr));
        ASSERT_TRUE(plist);
        EXPECT_LE(plist->count(), static_cast<NSUInteger>(i + 1));
    }
    ASSERT_TRUE(defaults->synchronize());
    auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(defaults->path()));
    auto plist = dv::as<NSDictionary>(data ? NSPropertyListSerialization::propertyListWithData(data, 0, nullptr, nullptr) : nil);
    ASSERT_TRUE(plist);
    EXPECT_EQ(plist->count(), 20u);
    // No temporary files are left beside it.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(defaults->path()).parent_path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

TEST_F(UserDefaultsTest, AProcessKilledRightAfterAChangeLosesNothing)
{
    NSUserDefaults::standardUserDefaults()->setObjectForKey("kept"_ns, "utoken"_ns);
    ASSERT_TRUE(NSUserDefaults::standardUserDefaults()->synchronize());
    // Each change is told to the parent as soon as the setter returns; the parent kills the
    // child at some point of the stream, wherever its writer is.
    const auto last = dv::test::killAfterReportedWrites(30, [](std::uint32_t i) {
        NSUserDefaults::standardUserDefaults()->setInteger(NSInteger(i) + 1, "count"_ns);
        return true;
    });
    ASSERT_EQ(last, 29);
    const NSInteger reported = last + 1;

    auto again = restart();
    EXPECT_GE(again->integerForKey("count"_ns), reported) << "every change reported before the kill is there";
    EXPECT_TRUE(dv::equal(again->stringForKey("utoken"_ns), "kept"_ns));
    // What the killed process left is taken up or cleared away.
    ASSERT_TRUE(again->synchronize());
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(again->path()).parent_path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

TEST_F(UserDefaultsTest, DamagedFileStartsEmptyAndIsKeptAside)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey("value"_ns, "key"_ns);
    ASSERT_TRUE(defaults->synchronize());
    const std::string path = defaults->path();
    fs::resize_file(path, fs::file_size(path) / 2);

    dv::LogCapture capture;
    auto again = restart();
    EXPECT_EQ(again->objectForKey("key"_ns), nil);
    EXPECT_TRUE(capture.contains("not readable"));
    EXPECT_TRUE(fs::exists(path + ".corrupt"));
    again->setObjectForKey("fresh"_ns, "key"_ns);
    EXPECT_TRUE(dv::equal(restart()->stringForKey("key"_ns), "fresh"_ns));

    std::ofstream(path, std::ios::trunc) << "bplist00garbage";
    EXPECT_EQ(restart()->objectForKey("key"_ns), nil);
}

TEST_F(UserDefaultsTest, RefusedValuesAndFailedWrites)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    dv::LogCapture capture;
    defaults->setObjectForKey(alloc<NSObject>()->init(), "object"_ns);
    EXPECT_EQ(defaults->objectForKey("object"_ns), nil);
    EXPECT_TRUE(capture.contains("not a property list"));

    defaults->setObjectForKey("saved"_ns, "a"_ns);
    ASSERT_TRUE(defaults->synchronize());
    // A folder where the file should be makes every write fail, for the superuser too.
    const std::string path = defaults->path();
    fs::remove(path);
    fs::create_directory(path);
    defaults->setObjectForKey("unsaved"_ns, "b"_ns);
    EXPECT_TRUE(dv::equal(defaults->stringForKey("b"_ns), "unsaved"_ns)); // still in memory
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_TRUE(capture.contains("cannot write"));
    fs::remove(path);
    EXPECT_TRUE(defaults->synchronize());
    auto again = restart();
    EXPECT_TRUE(dv::equal(again->stringForKey("a"_ns), "saved"_ns));
    EXPECT_TRUE(dv::equal(again->stringForKey("b"_ns), "unsaved"_ns));
}

TEST_F(UserDefaultsTest, EachContainerHasItsOwnDefaults)
{
    NSUserDefaults::standardUserDefaults()->setObjectForKey("first"_ns, "k"_ns);
    {
        dv::test::TemporaryHome other;
        EXPECT_EQ(NSUserDefaults::standardUserDefaults()->objectForKey("k"_ns), nil);
    }
    EXPECT_TRUE(dv::equal(NSUserDefaults::standardUserDefaults()->stringForKey("k"_ns), "first"_ns));
}

TEST_F(UserDefaultsTest, CrashInTheMiddleOfAWriteLosesNothingAndLeavesNothingBehind)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey("kept"_ns, "utoken"_ns);
    ASSERT_TRUE(defaults->synchronize());
    auto folder = fs::path(defaults->path()).parent_path();
    auto listing = [&] {
        std::vector<std::string> names;
        for (auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names;
    };
    {
        dv::testing::InterruptedWrite child([&] { defaults->setObjectForKey(NSString::fromUTF8(std::string(1 << 20, 'x')), "huge"_ns); });
        ASSERT_TRUE(child.stopped());
        auto names = listing();
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(std::count_if(names.begin(), names.end(), [](auto& n) { return dv::isAtomicWriteTemporary(n); }), 1);
        // Opened while the write goes on, the defaults read the old file and leave the write be.
        auto meanwhile = restart();
        EXPECT_TRUE(dv::equal(meanwhile->stringForKey("utoken"_ns), "kept"_ns));
        EXPECT_EQ(listing().size(), 2u);
    }
    auto again = restart();
    EXPECT_TRUE(dv::equal(again->stringForKey("utoken"_ns), "kept"_ns));
    EXPECT_EQ(again->objectForKey("huge"_ns), nil);
    EXPECT_EQ(listing(), (std::vector<std::string> { fs::path(again->path()).filename().string() }));
}

} // namespace
