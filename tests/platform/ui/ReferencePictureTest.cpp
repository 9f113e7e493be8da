// Reference pictures of the screen: written as small indexed PNGs that read back as they were
// written, and compared within a small tolerance that lets the palette's rounding and a few
// smoothed edges pass but not a changed text, with the actual picture and the differences left
// beside the reference when they differ.
#include "UITestSupport.h"

#include "platform/testing/IndexedPicture.h"
#include "platform/testing/ReferencePicture.h"

#include <fstream>
#include <unistd.h>

using namespace dv::test;
using dv::testing::Colour;
using dv::testing::IndexedPicture;

namespace {

struct Picture {
    std::size_t width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
};

Picture pictureOf(const Ref<UIImage>& image)
{
    return { CGImageGetWidth(image->CGImage()), CGImageGetHeight(image->CGImage()), dv::imagePixelsRGBA8(image->CGImage()) };
}

class ReferencePictureTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_folder = std::filesystem::temp_directory_path() / ("dv-reference-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        m_window->setBackgroundColor(UIColor::colorWithWhite(0.93, 1));
        m_label = alloc<UILabel>()->initWithFrame(CGRectMake(20, 40, 280, 30));
        m_label->setText("行业客源 Dovrelta"_ns);
        m_label->setFont(UIFont::systemFontOfSize(17));
        m_label->setTextColor(UIColor::colorWithRed(0.2, 0.3, 0.8, 1));
        m_window->addSubview(m_label);
        // A band from red to blue: more colours than a palette holds.
        auto band = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 100, 320, 60));
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(320, 60), true, 2);
        for (int x = 0; x < 640; ++x) {
            for (int y = 0; y < 4; ++y) {
                UIColor::colorWithRed(1 - x / 640.0, 0.25 * y, x / 640.0, 1)->setFill();
                UIRectFill(CGRectMake(x / 2.0, y * 15, 0.5, 15));
            }
        }
        band->setImage(UIGraphicsGetImageFromCurrentImageContext());
        UIGraphicsEndImageContext();
        m_window->addSubview(band);
        m_ui.runUntilIdle();
    }
    void TearDown() override
    {
        std::filesystem::remove_all(m_folder);
        UITest::TearDown();
    }

    Picture screen() { return pictureOf(m_ui.screenshot(2)); }

    std::filesystem::path m_folder;
    Ref<UILabel> m_label;
};

} // namespace

TEST_F(ReferencePictureTest, FewColoursAreKeptExactlyInFewBitsAndReadBackAsWritten)
{
    // Four colours, one of them half transparent.
    const Colour colours[] = { { 255, 255, 255, 255 }, { 200, 30, 20, 255 }, { 10, 10, 10, 255 }, { 0, 120, 255, 128 } };
    std::vector<std::uint8_t> rgba;
    for (std::size_t y = 0; y < 50; ++y)
        for (std::size_t x = 0; x < 80; ++x) {
            const auto& c = colours[(x / 7 + y / 5) % 4];
            rgba.insert(rgba.end(), c.begin(), c.end());
        }
    const auto picture = IndexedPicture::fromRGBA(80, 50, rgba);
    EXPECT_EQ(picture.palette().size(), 4u);
    EXPECT_EQ(picture.largestDifferenceFrom(rgba), 0);
    const auto path = m_folder / "four.png";
    auto written = picture.writePNG(path);
    ASSERT_TRUE(written.ok()) << written.reason();
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes[24], 2) << "two bits per pixel for four colours";
    EXPECT_EQ(bytes[25], 3) << "an indexed PNG";
    auto again = IndexedPicture::readPNG(path);
    ASSERT_TRUE(again.ok()) << again.reason();
    EXPECT_EQ(again->rgba(), rgba);
}

TEST_F(ReferencePictureTest, AScreenOfManyColoursKeepsItsFlatColoursAndMatchesItsOwnReference)
{
    const auto shot = screen();
    const auto picture = IndexedPicture::fromRGBA(shot.width, shot.height, shot.rgba);
    EXPECT_EQ(picture.palette().size(), 256u);
    // The ground keeps its colour; the band's steps and the letters' edges move a little.
    auto original = [&](std::size_t x, std::size_t y) {
        const std::uint8_t* p = &shot.rgba[(y * shot.width + x) * 4];
        return Colour { p[0], p[1], p[2], p[3] };
    };
    EXPECT_EQ(picture.at(5, 5), original(5, 5));
    EXPECT_LT(picture.largestDifferenceFrom(shot.rgba), 24);

    const auto reference = m_folder / "screen.png";
    auto written = dv::testing::writeReference(shot.rgba, shot.width, shot.height, reference);
    ASSERT_TRUE(written.ok()) << written.reason();
    EXPECT_LT(std::filesystem::file_size(reference), 20000u);
    auto again = IndexedPicture::readPNG(reference);
    ASSERT_TRUE(again.ok()) << again.reason();
    EXPECT_EQ(again->rgba(), picture.rgba()) << "read back as written";
    const auto same = dv::testing::compareWithReference(screen().rgba, shot.width, shot.height, reference);
    EXPECT_TRUE(same.matches) << same.message;
    EXPECT_EQ(same.differing, 0u) << "the palette's rounding is no difference";

    // Every pixel a shade off, as another build of the drawing libraries may smooth them, and a
    // few pixels far off: the same.
    auto shaded = shot.rgba;
    for (std::size_t i = 0; i < shaded.size(); i += 4)
        shaded[i + 1] = std::uint8_t(std::max(0, shaded[i + 1] - 3));
    for (std::size_t i = 0; i < 40; ++i)
        shaded[(i * 997 % (shot.width * shot.height)) * 4] ^= 0x80;
    const auto close = dv::testing::compareWithReference(shaded, shot.width, shot.height, reference);
    EXPECT_TRUE(close.matches) << close.message;
    EXPECT_FALSE(std::filesystem::exists(dv::testing::actualPicturePath(reference)));
}

TEST_F(ReferencePictureTest, AChangedTextDiffersAndLeavesTheActualPictureAndTheDifferencesBesideTheReference)
{
    const auto shot = screen();
    const auto reference = m_folder / "home.png";
    auto written = dv::testing::writeReference(shot.rgba, shot.width, shot.height, reference);
    ASSERT_TRUE(written.ok()) << written.reason();

    // One character of the label otherwise: 客 for 各.
    m_label->setText("行业各源 Dovrelta"_ns);
    m_ui.runUntilIdle();
    const auto changed = screen();
    const auto result = dv::testing::compareWithReference(changed.rgba, changed.width, changed.height, reference);
    EXPECT_FALSE(result.matches);
    EXPECT_GT(result.differing, 120u);
    EXPECT_NE(result.message.find("home.actual.png"), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("home.difference.png"), std::string::npos) << result.message;

    // The actual picture as it was, every colour kept.
    const auto actual = UIImage::imageWithContentsOfFile(NSString::fromUTF8(dv::testing::actualPicturePath(reference).string()));
    ASSERT_TRUE(actual);
    EXPECT_EQ(pictureOf(actual).rgba, changed.rgba);
    // The differences in red, where the third character stands, and nowhere else.
    const auto differences = UIImage::imageWithContentsOfFile(NSString::fromUTF8(dv::testing::differencePicturePath(reference).string()));
    ASSERT_TRUE(differences);
    const auto marks = pictureOf(differences);
    std::size_t red = 0, redOutside = 0;
    for (std::size_t y = 0; y < marks.height; ++y)
        for (std::size_t x = 0; x < marks.width; ++x) {
            const std::uint8_t* p = &marks.rgba[(y * marks.width + x) * 4];
            if (p[0] == 255 && p[1] == 0 && p[2] == 0) {
                ++red;
                // The label's third character: about 54 to 71 points from the left, 40 to 70 from the top.
                redOutside += x < 2 * 54 || x >= 2 * 74 || y < 2 * 40 || y >= 2 * 70;
            }
        }
    EXPECT_EQ(red, result.differing);
    EXPECT_EQ(redOutside, 0u);

    // Put right, the picture matches again and the pictures of the failure go.
    m_label->setText("行业客源 Dovrelta"_ns);
    m_ui.runUntilIdle();
    EXPECT_TRUE(dv::testing::compareWithReference(screen().rgba, shot.width, shot.height, reference).matches);
    EXPECT_FALSE(std::filesystem::exists(dv::testing::actualPicturePath(reference)));
    EXPECT_FALSE(std::filesystem::exists(dv::testing::differencePicturePath(reference)));
}

TEST_F(ReferencePictureTest, AMissingReferenceOrOneOfAnotherSizeNeverMatches)
{
    const auto shot = screen();
    const auto missing = dv::testing::compareWithReference(shot.rgba, shot.width, shot.height, m_folder / "none.png");
    EXPECT_FALSE(missing.matches);
    EXPECT_NE(missing.message.find("no reference picture"), std::string::npos) << missing.message;
    EXPECT_TRUE(std::filesystem::exists(dv::testing::actualPicturePath(m_folder / "none.png")));

    auto written = dv::testing::writeReference(shot.rgba, shot.width, shot.height, m_folder / "wide.png");
    ASSERT_TRUE(written.ok()) << written.reason();
    std::vector<std::uint8_t> narrow(std::size_t(shot.width - 2) * shot.height * 4, 255);
    const auto other = dv::testing::compareWithReference(narrow, shot.width - 2, shot.height, m_folder / "wide.png");
    EXPECT_FALSE(other.matches);
    EXPECT_NE(other.message.find("pixels, the picture"), std::string::npos) << other.message;
}
