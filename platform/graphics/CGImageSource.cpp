#include "platform/base/ClassBuilder.h"
#include "platform/graphics/CGImageSource.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/graphics/internal/ImageFormat.h"
#include "platform/graphics/internal/ImageStream.h"

#include <algorithm>

using namespace dv::internal::graphics;

namespace {
// Made directly rather than through the string helpers, so that the constants are usable during
// static initialisation of other files.
Ref<NSString> constant(const char* text) { return std::make_shared<NSString>(text); }
}

const Ref<NSString> kCGImagePropertyPixelWidth = constant("PixelWidth");
const Ref<NSString> kCGImagePropertyPixelHeight = constant("PixelHeight");
const Ref<NSString> kCGImagePropertyOrientation = constant("Orientation");
const Ref<NSString> kCGImagePropertyDepth = constant("Depth");
const Ref<NSString> kCGImagePropertyHasAlpha = constant("HasAlpha");
const Ref<NSString> kCGImagePropertyColorModel = constant("ColorModel");
const Ref<NSString> kCGImagePropertyFileSize = constant("FileSize");
const Ref<NSString> kCGImagePropertyGIFDictionary = constant("{GIF}");
const Ref<NSString> kCGImagePropertyGIFDelayTime = constant("DelayTime");
const Ref<NSString> kCGImagePropertyGIFUnclampedDelayTime = constant("UnclampedDelayTime");
const Ref<NSString> kCGImagePropertyGIFLoopCount = constant("LoopCount");
const Ref<NSString> kCGImagePropertyWebPDictionary = constant("{WebP}");
const Ref<NSString> kCGImagePropertyWebPDelayTime = constant("DelayTime");
const Ref<NSString> kCGImagePropertyWebPUnclampedDelayTime = constant("UnclampedDelayTime");
const Ref<NSString> kCGImagePropertyWebPLoopCount = constant("LoopCount");

const Ref<NSString> kCGImagePropertyFramesOmitted = constant("FramesOmitted");

DV_DEFINE_CLASS(CGImageSource)

CGImageSource::CGImageSource() = default;
CGImageSource::~CGImageSource() = default;

namespace {

// Delays shorter than this are shown at 0.1 s, as browsers do.
constexpr double kMinimumDelay = 0.011;
// How much of the start and of the end of the data received is remembered to recognise it again.
constexpr std::size_t kFingerprint = 32;

CGImageSourceStatus statusOf(StreamState state)
{
    switch (state) {
    case StreamState::Header:
        return kCGImageStatusReadingHeader;
    case StreamState::Partial:
        return kCGImageStatusIncomplete;
    case StreamState::Complete:
        return kCGImageStatusComplete;
    case StreamState::Truncated:
        return kCGImageStatusUnexpectedEOF;
    case StreamState::Damaged:
        break;
    }
    return kCGImageStatusInvalidData;
}

Ref<NSDictionary> delayDictionary(double delay, const Ref<NSString>& clamped, const Ref<NSString>& unclamped)
{
    auto dict = NSMutableDictionary::dictionary();
    dict->setObjectForKey(NSNumber::numberWithDouble(delay < kMinimumDelay ? 0.1 : delay), clamped);
    dict->setObjectForKey(NSNumber::numberWithDouble(delay), unclamped);
    return dict;
}

} // namespace

Ref<CGImageSource> CGImageSource::initWithData(const Ref<NSData>& data, bool final)
{
    updateData(data, final);
    return self<CGImageSource>();
}

void CGImageSource::reset()
{
    m_stream.reset();
    m_format = int(ImageFormat::Unknown);
    m_length = 0;
    m_head.clear();
    m_tail.clear();
    m_input = nil;
    m_copy = nil;
    m_fed = 0;
    m_fedFinal = false;
    m_fedBytes = nullptr;
    m_imageAsked = false;
}

// The caller hands everything received so far each time. Data that is shorter, or whose start or
// whose bytes where the last data ended differ, is other data: the source starts over with it. So
// is more data after the caller said there would be none.
bool CGImageSource::continuesReceived(std::span<const std::uint8_t> bytes) const
{
    if (m_length == 0)
        return true;
    if (bytes.size() < m_length || (m_final && bytes.size() != m_length))
        return false;
    return std::equal(m_head.begin(), m_head.end(), bytes.begin())
        && std::equal(m_tail.begin(), m_tail.end(), bytes.begin() + std::ptrdiff_t(m_length - m_tail.size()));
}

// Immutable data is kept by reference; anything else is copied, appending only what is new.
Ref<NSData> CGImageSource::keep(const Ref<NSData>& data, std::span<const std::uint8_t> bytes)
{
    if (data && data->isMemberOfClass(NSData::class_())) {
        m_copy = nil;
        return data;
    }
    if (!m_copy || m_copy->length() > bytes.size()) {
        m_copy = NSMutableData::dataWithCapacity(bytes.size());
        m_copy->appendBytes(bytes.data(), bytes.size());
    } else {
        m_copy->appendBytes(bytes.data() + m_copy->length(), bytes.size() - m_copy->length());
    }
    return m_copy;
}

void CGImageSource::updateData(const Ref<NSData>& data, bool final)
{
    dv::MutexLocker lock(m_mutex);
    const std::span<const std::uint8_t> bytes = data ? data->span() : std::span<const std::uint8_t>();
    if (!continuesReceived(bytes))
        reset();
    m_final = final;
    m_verdict.reset();
    if (!m_stream && ImageFormat(m_format) == ImageFormat::Unknown) {
        m_format = int(sniffImageFormat(bytes));
        m_stream = ImageStream::make(ImageFormat(m_format));
    }
    m_length = bytes.size();
    if (m_head.size() < kFingerprint)
        m_head.assign(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(bytes.size(), kFingerprint)));
    m_tail.assign(bytes.end() - std::ptrdiff_t(std::min(bytes.size(), kFingerprint)), bytes.end());
    if (!m_stream)
        return;
    if (m_stream->keepsInput() || (data && data->isMemberOfClass(NSData::class_()))) {
        m_input = m_stream->keepsInput() ? keep(data, bytes) : data;
        return;
    }
    // Bytes that may change after this call: the stream takes them now.
    m_input = nil;
    m_stream->update(bytes, final);
    m_fed = bytes.size();
    m_fedFinal = final;
    m_fedBytes = nullptr;
}

void CGImageSource::feedAll()
{
    if (!m_stream || !m_input)
        return;
    // A stream that keeps the bytes is told again when they moved (a copy that grew).
    if (m_fed == m_input->length() && m_fedFinal == m_final && m_fedBytes == m_input->bytes())
        return;
    m_stream->update(m_input->span(), m_final);
    m_fed = m_input->length();
    m_fedFinal = m_final;
    m_fedBytes = m_input->bytes();
    if (!m_stream->keepsInput())
        m_input = nil;
}

void CGImageSource::feedHeader()
{
    if (!m_stream || !m_input)
        return;
    if (m_stream->keepsInput()) {
        feedAll(); // such a stream reads only the structure until pixels are asked for
        return;
    }
    // Growing slices from where the stream is, until the header is in: the rows decoded on the
    // way stay decoded for when the image is asked for.
    const std::size_t length = m_input->length();
    while (!m_stream->header() && m_fed < length) {
        const std::size_t next = std::max<std::size_t>(4096, m_fed * 4);
        if (next >= length) {
            feedAll();
            return;
        }
        m_stream->update(m_input->span().first(next), false);
        m_fed = next;
        m_fedBytes = m_input->bytes();
    }
}

Ref<NSString> CGImageSource::type()
{
    dv::MutexLocker lock(m_mutex);
    const char* uti = uniformTypeIdentifier(ImageFormat(m_format));
    return uti ? NSString::fromUTF8(uti) : nil;
}

CGImageSourceStatus CGImageSource::status()
{
    dv::MutexLocker lock(m_mutex);
    if (ImageFormat(m_format) == ImageFormat::Unknown)
        return m_length < 12 && !m_final ? kCGImageStatusReadingHeader : kCGImageStatusUnknownType;
    if (!m_stream)
        return m_final ? kCGImageStatusInvalidData : kCGImageStatusReadingHeader;
    // All the data is here and its pixels have not been decoded: the verdict comes from a stream
    // that decodes and drops them, so that asking costs no image's memory (and an image asked
    // for later, here or from the same bytes elsewhere, is the only one made). A stream that kept
    // what its image is made of all the same becomes the source's own, so that the image asked
    // for next costs no second decoding.
    const bool decoded = m_imageAsked || (!m_stream->keepsInput() && m_fed == m_length && m_fedFinal);
    if (m_final && !decoded && m_input) {
        if (!m_verdict) {
            auto probe = ImageStream::make(ImageFormat(m_format), PixelUse::Discard);
            probe->update(m_input->span(), true);
            if (probe->keptImageAnyway() && !probe->keepsInput()) {
                m_stream = std::move(probe);
                m_fed = m_input->length();
                m_fedFinal = true;
                m_fedBytes = m_input->bytes();
                m_input = nil;
                return statusOf(m_stream->state());
            }
            m_verdict = probe->state();
        }
        return statusOf(*m_verdict);
    }
    feedAll();
    return statusOf(m_stream->state());
}

std::size_t CGImageSource::countLocked()
{
    feedHeader();
    // Data found damaged has no images, whichever stream found it.
    if (!m_stream || (m_verdict && *m_verdict == StreamState::Damaged))
        return 0;
    return m_stream->count();
}

std::size_t CGImageSource::count()
{
    dv::MutexLocker lock(m_mutex);
    return countLocked();
}

Ref<NSDictionary> CGImageSource::properties()
{
    dv::MutexLocker lock(m_mutex);
    feedHeader();
    auto dict = NSMutableDictionary::dictionary();
    dict->setObjectForKey(NSNumber::numberWithUnsignedLongLong(m_length), kCGImagePropertyFileSize);
    if (!m_stream)
        return dict;
    if (auto loops = m_stream->loopCount()) {
        const bool gif = ImageFormat(m_format) == ImageFormat::GIF;
        dict->setObjectForKey(NSDictionary::dictionaryWithObjectForKey(NSNumber::numberWithInt(*loops),
                                  gif ? kCGImagePropertyGIFLoopCount : kCGImagePropertyWebPLoopCount),
            gif ? kCGImagePropertyGIFDictionary : kCGImagePropertyWebPDictionary);
    }
    if (const std::size_t omitted = m_stream->framesOmitted())
        dict->setObjectForKey(NSNumber::numberWithUnsignedLongLong(omitted), kCGImagePropertyFramesOmitted);
    return dict;
}

Ref<NSDictionary> CGImageSource::propertiesAtIndex(std::size_t index)
{
    dv::MutexLocker lock(m_mutex);
    if (index >= countLocked())
        return nil;
    auto header = m_stream->header();
    if (!header)
        return nil;
    auto dict = NSMutableDictionary::dictionary();
    dict->setObjectForKey(NSNumber::numberWithUnsignedInt(header->width), kCGImagePropertyPixelWidth);
    dict->setObjectForKey(NSNumber::numberWithUnsignedInt(header->height), kCGImagePropertyPixelHeight);
    dict->setObjectForKey(NSNumber::numberWithInt(header->depth), kCGImagePropertyDepth);
    dict->setObjectForKey(NSNumber::numberWithBool(header->hasAlpha), kCGImagePropertyHasAlpha);
    dict->setObjectForKey(NSString::fromUTF8(header->grey ? "Gray" : "RGB"), kCGImagePropertyColorModel);
    if (header->exifOrientation)
        dict->setObjectForKey(NSNumber::numberWithInt(header->exifOrientation), kCGImagePropertyOrientation);
    if (ImageFormat(m_format) == ImageFormat::GIF) {
        auto gif = NSMutableDictionary::dictionaryWithDictionary(
            delayDictionary(m_stream->delaySeconds(index), kCGImagePropertyGIFDelayTime, kCGImagePropertyGIFUnclampedDelayTime));
        if (auto loops = m_stream->loopCount())
            gif->setObjectForKey(NSNumber::numberWithInt(*loops), kCGImagePropertyGIFLoopCount);
        dict->setObjectForKey(gif, kCGImagePropertyGIFDictionary);
    } else if (m_stream->animated()) {
        dict->setObjectForKey(
            delayDictionary(m_stream->delaySeconds(index), kCGImagePropertyWebPDelayTime, kCGImagePropertyWebPUnclampedDelayTime),
            kCGImagePropertyWebPDictionary);
    }
    return dict;
}

CGImageRef CGImageSource::imageAtIndex(std::size_t index)
{
    dv::MutexLocker lock(m_mutex);
    m_imageAsked = true;
    feedAll();
    if (!m_stream || index >= m_stream->count())
        return nil;
    return m_stream->image(index);
}

CGImageSourceRef CGImageSourceCreateWithData(const Ref<NSData>& data, const Ref<NSDictionary>&)
{
    if (!data)
        return nil;
    // Kept until decoded: a copy of data that may change, the data itself otherwise.
    const bool immutable = data->isMemberOfClass(NSData::class_());
    return alloc<CGImageSource>()->initWithData(immutable ? data : NSData::dataWithData(data), true);
}

CGImageSourceRef CGImageSourceCreateIncremental(const Ref<NSDictionary>&)
{
    return alloc<CGImageSource>()->initWithData(nil, false);
}

void CGImageSourceUpdateData(const CGImageSourceRef& source, const Ref<NSData>& data, bool final)
{
    if (source)
        source->updateData(data, final);
}

Ref<NSString> CGImageSourceGetType(const CGImageSourceRef& source) { return source ? source->type() : nil; }
CGImageSourceStatus CGImageSourceGetStatus(const CGImageSourceRef& source)
{
    return source ? source->status() : kCGImageStatusInvalidData;
}
std::size_t CGImageSourceGetCount(const CGImageSourceRef& source) { return source ? source->count() : 0; }
Ref<NSDictionary> CGImageSourceCopyProperties(const CGImageSourceRef& source, const Ref<NSDictionary>&)
{
    return source ? source->properties() : nil;
}
Ref<NSDictionary> CGImageSourceCopyPropertiesAtIndex(const CGImageSourceRef& source, std::size_t index, const Ref<NSDictionary>&)
{
    return source ? source->propertiesAtIndex(index) : nil;
}
CGImageRef CGImageSourceCreateImageAtIndex(const CGImageSourceRef& source, std::size_t index, const Ref<NSDictionary>&)
{
    return source ? source->imageAtIndex(index) : nil;
}
