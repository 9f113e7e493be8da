#include "GraphicsTestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/graphics/ImageResources.h"
#include "platform/graphics/ScreenScale.h"
#include "platform/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace dv::test;
namespace fs = std::filesystem;

namespace {

class UIImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("dv-graphics-" + std::to_string(::getpid()) + "-" + std::to_string(s_counter++));
        fs::create_directories(m_dir / "Hud.bundle");
        dv::setImageResourceResolver({});
        setenv("DOVRELTA_RESOURCES", m_dir.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("DOVRELTA_RESOURCES");
        dv::setImageResourceResolver({});
        dv::setMainScreenScale(0);
        fs::remove_all(m_dir);
    }
    void writeImage(const std::string& name, std::size_t w, std::size_t h, Pixel colour)
    {
        auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(makeRGBAImage(w, h, [&](std::size_t, std::size_t) { return colour; })));
        ASSERT_TRUE(png->writeToFile(NSString::fromUTF8((m_dir / name).string()), true));
    }
    fs::path m_dir;
    static inline int s_counter = 0;
};

} // namespace

TEST_F(UIImageTest, ImageNamedPicksTheVariantForTheScreenScale)
{
    writeImage("next.png", 10, 10, {255, 0, 0, 255});
    writeImage("next@2x.png", 20, 20, {0, 255, 0, 255});
    writeImage("next@3x.png", 30, 30, {0, 0, 255, 255});
    writeImage("Hud.bundle/error.png", 4, 4, {9, 9, 9, 255});

    dv::setMainScreenScale(2);
    auto two = UIImage::imageNamed("next"_ns);
    ASSERT_TRUE(two);
    EXPECT_EQ(two->scale(), 2);
    EXPECT_EQ(two->size(), CGSizeMake(10, 10));
    EXPECT_EQ(UIImage::imageNamed("next"_ns), two) << "named images are cached";

    dv::setMainScreenScale(3);
    dv::clearNamedImageCache();
    auto three = UIImage::imageNamed("next"_ns);
    EXPECT_EQ(three->scale(), 3);
    EXPECT_EQ(three->size(), CGSizeMake(10, 10));

    EXPECT_EQ(UIImage::imageNamed("next.png"_ns)->scale(), 3) << "an extension in the name still finds the variants";
    EXPECT_TRUE(UIImage::imageNamed("Hud.bundle/error"_ns));
    EXPECT_FALSE(UIImage::imageNamed("missing"_ns));
    EXPECT_FALSE(UIImage::imageNamed(nil));
}

TEST_F(UIImageTest, AResolverCanReplaceTheResourceLookup)
{
    writeImage("elsewhere@2x.png", 8, 8, {1, 2, 3, 255});
    std::vector<std::string> asked;
    dv::setImageResourceResolver([&](const std::string& name) {
        asked.push_back(name);
        return std::vector<std::string> {(m_dir / "nothing.png").string(), (m_dir / "elsewhere@2x.png").string()};
    });
    auto image = UIImage::imageNamed("icon"_ns);
    ASSERT_TRUE(image);
    EXPECT_EQ(asked, std::vector<std::string> {"icon"});
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size(), CGSizeMake(4, 4));
}

TEST_F(UIImageTest, FilesAndDataCarryTheirScale)
{
    writeImage("photo@2x.png", 6, 4, {5, 5, 5, 255});
    auto fromFile = UIImage::imageWithContentsOfFile(NSString::fromUTF8((m_dir / "photo@2x.png").string()));
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->scale(), 2);
    EXPECT_EQ(fromFile->size(), CGSizeMake(3, 2));
    EXPECT_FALSE(UIImage::imageWithContentsOfFile(NSString::fromUTF8((m_dir / "none.png").string())));

    auto data = UIImagePNGRepresentation(fromFile);
    EXPECT_EQ(UIImage::imageWithData(data)->scale(), 1);
    EXPECT_EQ(UIImage::imageWithData(data, 3)->size(), CGSizeMake(2, 4.0 / 3.0));
}

TEST_F(UIImageTest, AnimatedImagesKeepFramesAndDuration)
{
    auto a = UIImage::imageWithCGImage(makeRGBAImage(4, 2, [](auto, auto) { return Pixel {1, 1, 1, 255}; }), 2, UIImageOrientationUp);
    auto b = UIImage::imageWithCGImage(makeRGBAImage(4, 2, [](auto, auto) { return Pixel {2, 2, 2, 255}; }), 2, UIImageOrientationUp);
    auto animated = UIImage::animatedImageWithImages(NSArray::of({a, b}), 0.35);
    ASSERT_TRUE(animated);
    EXPECT_EQ(animated->images()->count(), 2u);
    EXPECT_DOUBLE_EQ(animated->duration(), 0.35);
    EXPECT_EQ(animated->size(), CGSizeMake(2, 1));
    EXPECT_EQ(animated->scale(), 2);
    EXPECT_FALSE(a->images());
    EXPECT_FALSE(UIImage::animatedImageWithImages(NSArray::array(), 1));

    auto templ = animated->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate);
    EXPECT_EQ(templ->renderingMode(), UIImageRenderingModeAlwaysTemplate);
    EXPECT_EQ(templ->images()->count(), 2u);
    EXPECT_EQ(animated->renderingMode(), UIImageRenderingModeAutomatic);
}

TEST_F(UIImageTest, CropSharesPixelsAndClipsToTheImage)
{
    auto image = makeRGBAImage(10, 10, [](std::size_t x, std::size_t y) { return Pixel {std::uint8_t(x), std::uint8_t(y), 0, 255}; });
    auto crop = CGImageCreateWithImageInRect(image, CGRectMake(6, 2, 10, 3));
    ASSERT_TRUE(crop);
    EXPECT_EQ(CGImageGetWidth(crop), 4u);
    EXPECT_EQ(CGImageGetHeight(crop), 3u);
    EXPECT_EQ(pixelAt(crop, 0, 0), (Pixel {6, 2, 0, 255}));
    EXPECT_EQ(pixelAt(crop, 3, 2), (Pixel {9, 4, 0, 255}));
    EXPECT_FALSE(CGImageCreateWithImageInRect(image, CGRectMake(20, 20, 5, 5)));
    EXPECT_FALSE(UIImage::imageWithCGImage(nil));
}
