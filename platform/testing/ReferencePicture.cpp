#include "platform/testing/ReferencePicture.h"

#include "platform/testing/IndexedPicture.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace dv::testing {

namespace {

std::filesystem::path besideReference(const std::filesystem::path& reference, const char* what)
{
    return reference.parent_path() / (reference.stem().string() + "." + what + ".png");
}

// The actual picture as it is, every colour kept, for a person to look at.
Result<void> writeFullColour(std::span<const std::uint8_t> rgba, std::size_t width, std::size_t height, const std::filesystem::path& path)
{
    if (rgba.size() < width * height * 4)
        return Failure(path.string() + ": too few pixels");
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr))
        return Failure(path.string() + ": " + image.message);
    return {};
}

void removeQuietly(const std::filesystem::path& path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// Channels' largest difference.
int difference(const std::uint8_t* a, const Colour& b)
{
    int largest = 0;
    for (std::size_t c = 0; c < 4; ++c)
        largest = std::max(largest, std::abs(int(a[c]) - int(b[c])));
    return largest;
}

} // namespace

std::filesystem::path actualPicturePath(const std::filesystem::path& reference) { return besideReference(reference, "actual"); }
std::filesystem::path differencePicturePath(const std::filesystem::path& reference) { return besideReference(reference, "difference"); }

PictureComparison compareWithReference(std::span<const std::uint8_t> rgba, std::size_t width, std::size_t height,
    const std::filesystem::path& reference, PictureTolerance tolerance)
{
    PictureComparison result;
    const auto actualPath = actualPicturePath(reference), differencePath = differencePicturePath(reference);
    auto keepActual = [&](const std::string& what) {
        auto kept = writeFullColour(rgba, width, height, actualPath);
        result.message = what + (kept ? "; the actual picture: " + actualPath.string() : "; the actual picture could not be kept: " + kept.reason());
    };
    auto expected = IndexedPicture::readPNG(reference);
    if (!expected) {
        keepActual("no reference picture (" + expected.reason() + ")");
        return result;
    }
    if (expected->width() != width || expected->height() != height || rgba.size() < width * height * 4) {
        keepActual(reference.string() + " is " + std::to_string(expected->width()) + "x" + std::to_string(expected->height())
            + " pixels, the picture " + std::to_string(width) + "x" + std::to_string(height));
        return result;
    }

    std::vector<bool> differs(width * height);
    std::unordered_map<std::uint32_t, std::uint8_t> nearest;
    auto nearestEntry = [&](const Colour& colour) -> const Colour& {
        const std::uint32_t key = std::uint32_t(colour[0]) << 24 | std::uint32_t(colour[1]) << 16 | std::uint32_t(colour[2]) << 8 | colour[3];
        auto found = nearest.find(key);
        if (found == nearest.end())
            found = nearest.emplace(key, expected->nearestIndex(colour)).first;
        return expected->palette()[found->second];
    };
    auto takenTo = [&](const Colour& colour, const Colour& wanted) {
        if (nearestEntry(colour) == wanted)
            return true;
        Colour moved = colour;
        for (std::size_t c = 0; c < 4; ++c)
            moved[c] = std::uint8_t(std::clamp(int(wanted[c]), int(colour[c]) - tolerance.channel, int(colour[c]) + tolerance.channel));
        return nearestEntry(moved) == wanted;
    };
    std::size_t left = width, top = height, right = 0, bottom = 0;
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t* actual = &rgba[(y * width + x) * 4];
            const Colour wanted = expected->at(x, y);
            const int by = difference(actual, wanted);
            if (by <= tolerance.channel)
                continue;
            // The palette rounds the colours it does not keep exactly: a colour that it takes to the
            // reference's own entry, as it is or moved by the tolerance towards it, is the colour
            // the reference was made from, or as near as the tolerance allows.
            if (takenTo(Colour { actual[0], actual[1], actual[2], actual[3] }, wanted))
                continue;
            differs[y * width + x] = true;
            ++result.differing;
            result.largest = std::max(result.largest, by);
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x + 1);
            bottom = std::max(bottom, y + 1);
        }
    result.matches = result.differing <= tolerance.pixels;
    if (result.matches) {
        removeQuietly(actualPath);
        removeQuietly(differencePath);
        return result;
    }

    // The reference faded to light grey, the differing pixels in red over it.
    std::vector<std::uint8_t> picture(width * height * 4);
    for (std::size_t i = 0; i < width * height; ++i) {
        std::uint8_t* out = &picture[i * 4];
        if (differs[i]) {
            out[0] = 255;
            out[1] = out[2] = 0;
        } else {
            const Colour c = expected->at(i % width, i / width);
            const int luminance = (c[0] * 299 + c[1] * 587 + c[2] * 114) / 1000;
            out[0] = out[1] = out[2] = std::uint8_t(170 + luminance * 85 / 255);
        }
        out[3] = 255;
    }
    const std::string what = std::to_string(result.differing) + " pixels differ from " + reference.string() + " by more than "
        + std::to_string(tolerance.channel) + " (up to " + std::to_string(result.largest) + "; " + std::to_string(tolerance.pixels)
        + " may), within pixels " + std::to_string(left) + "," + std::to_string(top) + " to " + std::to_string(right) + "," + std::to_string(bottom);
    keepActual(what);
    if (auto drawn = IndexedPicture::fromRGBA(width, height, picture).writePNG(differencePath))
        result.message += "; the differences in red: " + differencePath.string();
    else
        result.message += "; the differences could not be drawn: " + drawn.reason();
    return result;
}

Result<void> writeReference(std::span<const std::uint8_t> rgba, std::size_t width, std::size_t height,
    const std::filesystem::path& reference)
{
    if (rgba.size() < width * height * 4)
        return Failure(reference.string() + ": too few pixels");
    std::error_code ignored;
    std::filesystem::create_directories(reference.parent_path(), ignored);
    DV_TRY(IndexedPicture::fromRGBA(width, height, rgba).writePNG(reference));
    removeQuietly(actualPicturePath(reference));
    removeQuietly(differencePicturePath(reference));
    return {};
}

} // namespace dv::testing
