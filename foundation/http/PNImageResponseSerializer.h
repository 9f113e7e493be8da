// PNImageResponseSerializer: validates an image reply (TIFF, JPEG, GIF, PNG, ICO, BMP types) and
// answers a UIImage at the screen's scale. With `automaticallyInflatesResponseImage` (the default)
// the bitmap is decoded here, on the calling (processing) thread, so that showing it later costs
// no decoding on the main thread; images above 1024 × 1024 pixels are left as decoded.
#pragma once

#include "foundation/http/PNHTTPResponseSerializer.h"
#include "platform/graphics/UIImage.h"

class PNImageResponseSerializer : public PNHTTPResponseSerializer {
    DV_CLASS(PNImageResponseSerializer, PNHTTPResponseSerializer)

    PNImageResponseSerializer() = default;
    Ref<PNImageResponseSerializer> init();
    static Ref<PNImageResponseSerializer> serializer();

    id responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error) override;

    CGFloat imageScale() const { return m_imageScale; }
    void setImageScale(CGFloat scale) { m_imageScale = scale; }
    bool automaticallyInflatesResponseImage() const { return m_automaticallyInflatesResponseImage; }
    void setAutomaticallyInflatesResponseImage(bool inflates) { m_automaticallyInflatesResponseImage = inflates; }

    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    id copyWithZone(NSZone* zone) const override;

protected:
    void applyDefaults() override;

private:
    CGFloat m_imageScale = 1;
    bool m_automaticallyInflatesResponseImage = true;
};

// UIImage(PNNetworkingSafeImageLoading): the image for some data, decoded under one process-wide
// lock so that no two threads decode through the platform at once. nil for undecodable data.
Ref<UIImage> pn_safeImageWithData(const Ref<NSData>& data);

// The image of the data at a scale (animated images as they are).
Ref<UIImage> PNImageFromDataAtScale(const Ref<NSData>& data, CGFloat scale);
// The image of a reply with its bitmap decoded into a fresh RGB bitmap at the scale.
Ref<UIImage> PNInflateImageFromResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, CGFloat scale);
