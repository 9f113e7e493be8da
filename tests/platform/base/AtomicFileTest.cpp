// Atomic writes cut short by a crash: the target keeps its old content, and the temporary left
// behind is recognised and removed by the next process, but never while its writer still runs.
#include "platform/base/AtomicFile.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/testing/InterruptedWrite.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "dv-atomic-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        folder = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    std::vector<std::string> names(const fs::path& in)
    {
        std::vector<std::string> out;
        for (auto& entry : fs::directory_iterator(in))
            out.push_back(entry.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<std::string> temporaries(const fs::path& in)
    {
        std::vector<std::string> out;
        for (auto& name : names(in)) {
            if (dv::isAtomicWriteTemporary(name))
                out.push_back(name);
        }
        return out;
    }
    static std::string read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    fs::path folder;
    const std::string big = std::string(1 << 20, 'n');
};

TEST_F(AtomicFileTest, KilledWriterLeavesTheOldFileAndAStaleTemporaryTheNextOpenRemoves)
{
    auto target = folder / "settings.plist";
    ASSERT_TRUE(dv::writeFileAtomically(target, "old content"));

    dv::testing::InterruptedWrite child([&] { (void)NSData::fromString(big)->writeToFile(NSString::fromUTF8(target.string()), true); });
    ASSERT_TRUE(child.stopped());
    auto left = temporaries(folder);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left[0].starts_with(".settings.plist")) << left[0];

    // While its writer lives, the write is in progress and stays.
    dv::removeStaleTemporaries(folder);
    EXPECT_EQ(temporaries(folder), left);
    EXPECT_EQ(read(target), "old content");

    child.kill();
    dv::removeStaleTemporaries(folder);
    EXPECT_EQ(names(folder), (std::vector<std::string> { "settings.plist" }));
    EXPECT_EQ(read(target), "old content");
}

TEST_F(AtomicFileTest, FirstWriteIntoAFolderClearsWhatDeadWritersLeft)
{
    auto sub = folder / "documents";
    fs::create_directories(sub);
    {
        dv::testing::InterruptedWrite child([&] { (void)dv::writeFileAtomically(sub / "a.bin", big); });
        ASSERT_TRUE(child.stopped());
    }
    ASSERT_EQ(temporaries(sub).size(), 1u);
    // This process has not written into the folder yet: its first write looks around.
    ASSERT_TRUE(NSData::fromString("b")->writeToFile(NSString::fromUTF8((sub / "b.bin").string()), true));
    EXPECT_EQ(names(sub), (std::vector<std::string> { "b.bin" }));
}

TEST_F(AtomicFileTest, OnlyTemporariesOfDeadWritersAreTouched)
{
    // Names that merely look alike, and a temporary of this very process.
    std::vector<std::string> kept = { ".a.dvtmp-1-2", ".a.dvtmp-x-2-abcdef", "a.dvtmp-999999999-1-abcdef", ".notes.txt",
        ".a.dvtmp-" + std::to_string(::getpid()) + "-0-abcdef" };
    for (auto& name : kept)
        std::ofstream(folder / name) << "x";
    // A writer that never existed (pid beyond any real one) is a dead one.
    std::string dead = ".a.dvtmp-2147483000-12345-Zz09aB";
    std::ofstream(folder / dead) << "x";
    EXPECT_TRUE(dv::isAtomicWriteTemporary(dead));
    EXPECT_FALSE(dv::isAtomicWriteTemporary(kept[0]));
    EXPECT_FALSE(dv::isAtomicWriteTemporary(kept[2]));
    dv::removeStaleTemporaries(folder);
    auto after = names(folder);
    EXPECT_EQ(std::count(after.begin(), after.end(), dead), 0);
    for (auto& name : kept)
        EXPECT_EQ(std::count(after.begin(), after.end(), name), 1) << name;
}

TEST_F(AtomicFileTest, FailedWriteLeavesNothingAndReportsTheError)
{
    int error = 0;
    EXPECT_FALSE(dv::writeFileAtomically(folder / "missing" / "x", "bytes", &error));
    EXPECT_EQ(error, ENOENT);
    fs::create_directories(folder / "dir");
    EXPECT_FALSE(dv::writeFileAtomically(folder / "dir", "bytes", &error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_EQ(temporaries(folder), std::vector<std::string> {});
}

} // namespace
