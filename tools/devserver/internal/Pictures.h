// The pictures behind the URLs the server hands out: tile and category icons, advertisement
// banners, the fixed picture tile and the QR codes of the directory. Each is drawn here (distinct
// colours and the item's own text) and encoded as PNG; QR pictures are real codes of the code's
// account that any scanner reads. Drawn pictures are kept in a small cache.
//
// Drawing goes through the platform's graphics layer, which is serialised here, so the renderer
// may be called from any of the server's threads. Decoding an upload to check it takes no lock
// that drawing or any other request needs (each decode is a stream of its own); what bounds it is
// a gate of a few decodes at once, whose wait has a deadline.
#pragma once

#include "platform/base/Mutex.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dv::internal::devserver {

struct Picture {
    std::vector<std::uint8_t> bytes;
    std::string contentType;
};

enum class PictureCheck {
    Decodes,
    TooManyPixels,          // one image past the limit
    TooManyAnimationPixels, // each frame of an animation within it, all of them together past it
    Damaged,
    Busy, // as many decodes as the gate lets through were under way for all of the wait
};

class Pictures {
public:
    // 120 x 120 pixels: a coloured disc with the first character of the name.
    Picture icon(const std::string& key, std::int64_t colourSeed, const std::string& name);
    // 750 x 300 pixels: a banner with the advertisement's name.
    Picture banner(std::int64_t adId, const std::string& name);
    // The QR code of `text`, 8 pixels per module with a quiet zone of 4 modules; nullopt when the
    // text cannot be encoded.
    std::optional<Picture> qrCode(const std::string& text);

    // Whether the bytes are a picture the platform can decode (not merely the right first bytes)
    // of at most `maxPixels` pixels, every frame of an animation counted, as the application
    // counts them before it shows a picture (platform/graphics/RemoteImageLimit.h). The size is
    // read from the header and the frame records first: a larger picture is refused before a
    // pixel of it is decoded. Then it is decoded once kDecodesAtOnce leave room for it, waited
    // for at most kDecodeWait (Busy past it), so that the memory of decodes stays bounded and no
    // upload waits without end behind slow ones.
    PictureCheck check(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);

    // Module size and quiet zone of the QR pictures, for readers of them.
    static constexpr int kModulePixels = 8;
    static constexpr int kQuietModules = 4;
    // A picture at the limit of 4096 x 4096 pixels decodes into 64 MiB.
    static constexpr int kDecodesAtOnce = 2;
    static constexpr std::chrono::milliseconds kDecodeWait { 1000 };

private:
    std::optional<Picture> cached(const std::string& key);
    void remember(const std::string& key, const Picture& picture);

    // Whether a decode may begin within kDecodeWait; each one taken is given back.
    bool takeDecodeTurn();
    void giveBackDecodeTurn();

    // The platform's drawing runs under it, one picture at a time; it guards no field here.
    dv::Mutex m_drawMutex;
    dv::Mutex m_decodeMutex;
    dv::ConditionVariable m_decodeEnded;
    int m_decoding DV_GUARDED_BY(m_decodeMutex) = 0;
    dv::Mutex m_cacheMutex;
    std::map<std::string, Picture> m_cache DV_GUARDED_BY(m_cacheMutex);
};

// "png", "jpg", "gif" or "webp" by the first bytes; "" for anything else.
std::string imageTypeOf(std::span<const std::uint8_t> bytes);
std::string contentTypeOf(const std::string& imageType);

} // namespace dv::internal::devserver
