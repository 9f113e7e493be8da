// PNCachedImage: one entry of the auto-purging image cache: the image, its identifier, what it
// costs (4 bytes per pixel) and when it was last looked up. Lookups may run at the same time on
// the cache's concurrent queue, so the access date is kept under a small lock of its own.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

class NSDate;
class UIImage;

class PNCachedImage : public NSObject {
    DV_CLASS(PNCachedImage, NSObject)

    PNCachedImage() = default;
    // Costs the image's pixels (points times scale, each way) times 4; dated now.
    Ref<PNCachedImage> initWithImage(const Ref<UIImage>& image, const Ref<NSString>& identifier);

    // The cost of an image as the cache counts it.
    static std::uint64_t costOfImage(const Ref<UIImage>& image);

    Ref<UIImage> image() const { return m_image; }
    Ref<NSString> identifier() const { return m_identifier; }
    std::uint64_t totalBytes() const { return m_totalBytes; }
    Ref<NSDate> lastAccessDate() const;
    // Dates the entry now and answers its image.
    Ref<UIImage> accessImage();

    // "Idenfitier: <identifier>  lastAccessDate: <date> ".
    Ref<NSString> description() const override;

private:
    Ref<UIImage> m_image;
    Ref<NSString> m_identifier;
    std::uint64_t m_totalBytes = 0;
    mutable dv::Mutex m_dateMutex;
    Ref<NSDate> m_lastAccessDate DV_GUARDED_BY(m_dateMutex);
};
