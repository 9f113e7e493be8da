#include "ui/images/PNCachedImage.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"

DV_DEFINE_CLASS(PNCachedImage)

Ref<PNCachedImage> PNCachedImage::initWithImage(const Ref<UIImage>& image, const Ref<NSString>& identifier)
{
    init();
    m_image = image;
    m_identifier = identifier;
    m_totalBytes = costOfImage(image);
    dv::MutexLocker lock(m_dateMutex);
    m_lastAccessDate = NSDate::date();
    return self<PNCachedImage>();
}

std::uint64_t PNCachedImage::costOfImage(const Ref<UIImage>& image)
{
    if (!image)
        return 0;
    const auto size = image->size();
    const double pixels = (size.width * image->scale()) * (size.height * image->scale());
    if (!(pixels > 0))
        return 0;
    return std::uint64_t(pixels) * 4; // the pixel count's whole part
}

Ref<NSDate> PNCachedImage::lastAccessDate() const
{
    dv::MutexLocker lock(m_dateMutex);
    return m_lastAccessDate;
}

Ref<UIImage> PNCachedImage::accessImage()
{
    auto now = NSDate::date();
    dv::MutexLocker lock(m_dateMutex);
    m_lastAccessDate = std::move(now);
    return m_image;
}

Ref<NSString> PNCachedImage::description() const
{
    return NSString::stringWithFormat("Idenfitier: %@  lastAccessDate: %@ ", m_identifier, lastAccessDate());
}
