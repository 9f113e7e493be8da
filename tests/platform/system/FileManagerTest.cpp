#include "platform/base/Base.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSDirectoryEnumerator.h"
#include "platform/system/NSFileHandle.h"
#include "platform/system/NSFileManager.h"
#include "platform/system/NSURLResourceValues.h"
#include "platform/base/AtomicFile.h"
#include "platform/testing/InterruptedWrite.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

namespace {

class FileManagerTest : public ::testing::Test {
protected:
    Ref<NSString> path(const std::string& relative) const { return NSString::fromUTF8(m_home.path() + "/" + relative); }
    void write(const std::string& relative, const char* contents)
    {
        ASSERT_TRUE(m_fm->createFileAtPath(path(relative), NSData::fromString(contents), nil)) << relative;
    }
    static std::vector<std::string> strings(const Ref<NSArray>& list)
    {
        std::vector<std::string> out;
        for (const id& item : *list)
            out.push_back(dv::str(item));
        return out;
    }

    dv::test::TemporaryHome m_home;
    Ref<NSFileManager> m_fm = NSFileManager::defaultManager();
};

TEST_F(FileManagerTest, DirectoriesFilesAndTheirAttributes)
{
    Ref<NSError> error;
    EXPECT_FALSE(m_fm->createDirectoryAtPath(path("a/b/c"), false, nil, &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(dv::equal(error->domain(), NSCocoaErrorDomain));
    ASSERT_TRUE(m_fm->createDirectoryAtPath(path("a/b/c"), true, nil, &error));
    // Creating an existing folder with intermediates is not an error.
    EXPECT_TRUE(m_fm->createDirectoryAtPath(path("a/b/c"), true, nil, &error));
    bool isDirectory = false;
    EXPECT_TRUE(m_fm->fileExistsAtPath(path("a/b"), &isDirectory));
    EXPECT_TRUE(isDirectory);

    write("a/file.txt", "hello");
    write("a/file.txt", "replaced"); // atomically replaces
    EXPECT_TRUE(dv::equal(m_fm->contentsAtPath(path("a/file.txt")), NSData::fromString("replaced")));
    // No temporary file is left beside it.
    EXPECT_EQ(strings(m_fm->contentsOfDirectoryAtPath(path("a"), nullptr)), (std::vector<std::string> { "b", "file.txt" }));

    auto attributes = m_fm->attributesOfItemAtPath(path("a/file.txt"), &error);
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(dv::equal(attributes->objectForKey(NSFileType), NSFileTypeRegular));
    EXPECT_EQ(dv::as<NSNumber>(attributes->objectForKey(NSFileSize))->unsignedLongLongValue(), 8u);
    EXPECT_GT(dv::as<NSNumber>(attributes->objectForKey(NSFileAllocatedSize))->unsignedLongLongValue(), 0u);
    EXPECT_TRUE(dv::equal(m_fm->attributesOfItemAtPath(path("a"), nullptr)->objectForKey(NSFileType), NSFileTypeDirectory));

    // A modification date set in the past reads back, to the second.
    auto old = NSDate::dateWithTimeIntervalSinceReferenceDate(400000000.0);
    ASSERT_TRUE(m_fm->setAttributesOfItemAtPath(NSDictionary::of({ { NSFileModificationDate, old } }), path("a/file.txt"), &error));
    auto date = dv::as<NSDate>(m_fm->attributesOfItemAtPath(path("a/file.txt"), nullptr)->objectForKey(NSFileModificationDate));
    EXPECT_NEAR(date->timeIntervalSinceReferenceDate(), 400000000.0, 0.001);

    EXPECT_EQ(m_fm->attributesOfItemAtPath(path("missing"), &error), nil);
    EXPECT_EQ(error->code(), 260);
}

TEST_F(FileManagerTest, MoveCopyAndRemoveReportClashesAndMissingItems)
{
    write("one", "1");
    write("two", "2");
    Ref<NSError> error;
    EXPECT_FALSE(m_fm->moveItemAtPath(path("one"), path("two"), &error));
    EXPECT_EQ(error->code(), 516);
    EXPECT_TRUE(dv::equal(m_fm->contentsAtPath(path("two")), NSData::fromString("2")));
    ASSERT_TRUE(m_fm->moveItemAtPath(path("one"), path("three"), &error));
    EXPECT_FALSE(m_fm->fileExistsAtPath(path("one")));
    ASSERT_TRUE(m_fm->createDirectoryAtPath(path("tree/inner"), true, nil, nullptr));
    write("tree/inner/leaf", "leaf");
    ASSERT_TRUE(m_fm->copyItemAtPath(path("tree"), path("copy"), &error));
    EXPECT_TRUE(dv::equal(m_fm->contentsAtPath(path("copy/inner/leaf")), NSData::fromString("leaf")));
    EXPECT_FALSE(m_fm->copyItemAtPath(path("tree"), path("copy"), &error));
    ASSERT_TRUE(m_fm->removeItemAtPath(path("tree"), &error));
    EXPECT_FALSE(m_fm->fileExistsAtPath(path("tree")));
    error = nil;
    EXPECT_FALSE(m_fm->removeItemAtPath(path("tree"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 4);
    EXPECT_EQ(m_fm->contentsOfDirectoryAtPath(path("tree"), &error), nil);
}

TEST_F(FileManagerTest, DeepEnumerationsByPathAndByURL)
{
    ASSERT_TRUE(m_fm->createDirectoryAtPath(path("root/sub/deeper"), true, nil, nullptr));
    ASSERT_TRUE(m_fm->createDirectoryAtPath(path("root/.hidden"), true, nil, nullptr));
    write("root/a", "a");
    write("root/.dot", "d");
    write("root/sub/b", "bb");
    write("root/sub/deeper/c", "ccc");
    write("root/.hidden/h", "h");

    auto byPath = m_fm->enumeratorAtPath(path("root"));
    ASSERT_TRUE(byPath);
    EXPECT_EQ(strings(byPath->allObjects()),
              (std::vector<std::string> { ".dot", ".hidden", ".hidden/h", "a", "sub", "sub/b", "sub/deeper", "sub/deeper/c" }));

    auto byURL = m_fm->enumeratorAtURL(NSURL::fileURLWithPath(path("root")), nil, NSDirectoryEnumerationSkipsHiddenFiles, {});
    std::vector<std::string> names;
    unsigned long long total = 0;
    while (id next = byURL->nextObject()) {
        auto url = dv::as<NSURL>(next);
        ASSERT_TRUE(url);
        names.push_back(dv::str(url->lastPathComponent()));
        id size;
        ASSERT_TRUE(getResourceValue(url, &size, NSURLFileSizeKey, nullptr));
        if (size)
            total += dv::as<NSNumber>(size)->unsignedLongLongValue();
        if (dv::str(url->lastPathComponent()) == "deeper")
            byURL->skipDescendants();
    }
    EXPECT_EQ(names, (std::vector<std::string> { "a", "sub", "b", "deeper" }));
    EXPECT_EQ(total, 3u);
    EXPECT_EQ(m_fm->enumeratorAtPath(path("absent")), nil);
}

TEST_F(FileManagerTest, ResourceValuesAndReachability)
{
    write("f.bin", "12345");
    auto url = NSURL::fileURLWithPath(path("f.bin"));
    Ref<NSError> error;
    EXPECT_TRUE(checkResourceIsReachableAndReturnError(url, &error));
    auto values = resourceValuesForKeys(url, NSArray::of({ NSURLIsDirectoryKey, NSURLTotalFileAllocatedSizeKey, NSURLContentModificationDateKey, NSURLFileSizeKey }), &error);
    ASSERT_TRUE(values);
    EXPECT_FALSE(dv::as<NSNumber>(values->objectForKey(NSURLIsDirectoryKey))->boolValue());
    EXPECT_EQ(dv::as<NSNumber>(values->objectForKey(NSURLFileSizeKey))->integerValue(), 5);
    EXPECT_TRUE(dv::as<NSDate>(values->objectForKey(NSURLContentModificationDateKey)));

    EXPECT_FALSE(checkResourceIsReachableAndReturnError(NSURL::fileURLWithPath(path("nope")), &error));
    EXPECT_EQ(error->code(), 260);
    EXPECT_FALSE(checkResourceIsReachableAndReturnError(NSURL::URLWithString("http://example.com/f.bin"_ns), &error));
    EXPECT_FALSE(checkResourceIsReachableAndReturnError(nil, nullptr));
}

TEST_F(FileManagerTest, ExclusionFromBackupIsKeptWithTheFile)
{
    write("f.bin", "12345");
    auto url = NSURL::fileURLWithPath(path("f.bin"));
    id value;
    ASSERT_TRUE(getResourceValue(url, &value, NSURLIsExcludedFromBackupKey, nullptr));
    EXPECT_FALSE(dv::as<NSNumber>(value)->boolValue());

    Ref<NSError> error;
    ASSERT_TRUE(setResourceValue(url, NSNumber::numberWithBool(true), NSURLIsExcludedFromBackupKey, &error)) << dv::str(error ? error->description() : nil);
    ASSERT_TRUE(getResourceValue(url, &value, NSURLIsExcludedFromBackupKey, nullptr));
    EXPECT_TRUE(dv::as<NSNumber>(value)->boolValue());
    // A move keeps the mark; turning it off twice is not an error.
    ASSERT_TRUE(m_fm->moveItemAtPath(path("f.bin"), path("g.bin"), nullptr));
    auto moved = NSURL::fileURLWithPath(path("g.bin"));
    auto values = resourceValuesForKeys(moved, NSArray::of({ NSURLIsExcludedFromBackupKey }), nullptr);
    EXPECT_TRUE(dv::as<NSNumber>(values->objectForKey(NSURLIsExcludedFromBackupKey))->boolValue());
    EXPECT_TRUE(setResourceValue(moved, NSNumber::numberWithBool(false), NSURLIsExcludedFromBackupKey, nullptr));
    EXPECT_TRUE(setResourceValue(moved, NSNumber::numberWithBool(false), NSURLIsExcludedFromBackupKey, nullptr));
    ASSERT_TRUE(getResourceValue(moved, &value, NSURLIsExcludedFromBackupKey, nullptr));
    EXPECT_FALSE(dv::as<NSNumber>(value)->boolValue());

    // Only that key can be set, and only on an item that exists.
    EXPECT_FALSE(setResourceValue(moved, NSNumber::numberWithBool(true), NSURLIsHiddenKey, &error));
    EXPECT_TRUE(error);
    EXPECT_FALSE(setResourceValue(NSURL::fileURLWithPath(path("nope")), NSNumber::numberWithBool(true), NSURLIsExcludedFromBackupKey, &error));
    EXPECT_EQ(error->code(), 260);
}

TEST_F(FileManagerTest, SearchPathsLiveInTheApplicationContainer)
{
    auto caches = NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, true);
    ASSERT_EQ(caches->count(), 1u);
    EXPECT_EQ(dv::str(caches->firstObject()), m_home.path() + "/app/Library/Caches");
    EXPECT_TRUE(m_fm->fileExistsAtPath(dv::as<NSString>(caches->firstObject())));
    EXPECT_EQ(dv::str(NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, false)->firstObject()), "~/Documents");
    EXPECT_EQ(NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSSystemDomainMask, true)->count(), 0u);
    EXPECT_EQ(dv::str(NSTemporaryDirectory()), m_home.path() + "/app/tmp/");
    EXPECT_EQ(dv::str(NSHomeDirectory()), m_home.path() + "/app");
    auto urls = m_fm->URLsForDirectory(NSDocumentDirectory, NSUserDomainMask);
    ASSERT_EQ(urls->count(), 1u);
    EXPECT_TRUE(dv::as<NSURL>(urls->firstObject())->isFileURL());
}

TEST_F(FileManagerTest, FileHandleReadsWritesAndSeeks)
{
    write("h", "");
    auto writer = NSFileHandle::fileHandleForWritingAtPath(path("h"));
    ASSERT_TRUE(writer);
    writer->writeData(NSData::fromString("hello world"));
    writer->seekToFileOffset(6);
    writer->writeData(NSData::fromString("WORLD"));
    writer->truncateFileAtOffset(8);
    writer->closeFile();

    auto reader = NSFileHandle::fileHandleForReadingAtPath(path("h"));
    ASSERT_TRUE(reader);
    EXPECT_TRUE(dv::equal(reader->readDataOfLength(5), NSData::fromString("hello")));
    EXPECT_EQ(reader->offsetInFile(), 5u);
    EXPECT_TRUE(dv::equal(reader->readDataToEndOfFile(), NSData::fromString(" WO")));
    EXPECT_EQ(reader->readDataToEndOfFile()->length(), 0u);
    EXPECT_EQ(NSFileHandle::fileHandleForReadingAtPath(path("absent")), nil);
    Ref<NSError> error;
    EXPECT_EQ(NSFileHandle::fileHandleForReadingFromURL(NSURL::fileURLWithPath(path("absent")), &error), nil);
    EXPECT_TRUE(error);
}

TEST_F(FileManagerTest, ListingAFolderRemovesWhatAKilledWriterLeft)
{
    ASSERT_TRUE(m_fm->createDirectoryAtPath(path("docs"), true, nil, nullptr));
    ASSERT_TRUE(m_fm->createDirectoryAtPath(path("docs/deep"), true, nil, nullptr));
    write("docs/a.txt", "old");
    for (auto* name : { "docs/a.txt", "docs/deep/b.txt" }) {
        dv::testing::InterruptedWrite child([&] { (void)m_fm->createFileAtPath(path(name), NSData::fromString(std::string(1 << 20, 'n')), nil); });
        ASSERT_TRUE(child.stopped());
        // A write still going on is listed like any hidden file and left alone.
        auto during = strings(m_fm->contentsOfDirectoryAtPath(path("docs"), nullptr));
        EXPECT_EQ(during.size(), name == std::string("docs/a.txt") ? 3u : 2u);
    }
    EXPECT_EQ(strings(m_fm->contentsOfDirectoryAtPath(path("docs"), nullptr)), (std::vector<std::string> { "a.txt", "deep" }));
    EXPECT_TRUE(dv::equal(m_fm->contentsAtPath(path("docs/a.txt")), NSData::fromString("old")));
    // An enumeration opens the folders below as well.
    std::vector<std::string> seen;
    auto enumerator = m_fm->enumeratorAtPath(path("docs"));
    while (id item = enumerator->nextObject())
        seen.push_back(dv::str(item));
    EXPECT_EQ(seen, (std::vector<std::string> { "a.txt", "deep" }));
}

} // namespace
