// UIImage: a bitmap (CGImage) with a scale and an orientation, or an animation of frame images
// with a total duration. Size is in points: pixels divided by the scale, width and height swapped
// for the four left/right orientations. Images are immutable and may be shared between threads.
//
//   auto image = UIImage::imageWithData(data);          // EXIF orientation applied
//   auto sharp = UIImage::imageWithCGImage(image->CGImage(), 2, image->imageOrientation());
//   Ref<NSData> png = UIImagePNGRepresentation(sharp);
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImage.h"

#include <string>

enum UIImageOrientation : NSInteger {
    UIImageOrientationUp = 0,
    UIImageOrientationDown = 1,
    UIImageOrientationLeft = 2,
    UIImageOrientationRight = 3,
    UIImageOrientationUpMirrored = 4,
    UIImageOrientationDownMirrored = 5,
    UIImageOrientationLeftMirrored = 6,
    UIImageOrientationRightMirrored = 7,
};

enum UIImageRenderingMode : NSInteger {
    UIImageRenderingModeAutomatic = 0,
    UIImageRenderingModeAlwaysOriginal = 1,
    UIImageRenderingModeAlwaysTemplate = 2,
};

class UIImage : public NSObject {
    DV_CLASS(UIImage, NSObject)

    UIImage() = default;

    // The image for a resource name, through the resource resolver (ImageResources.h): the best
    // @Nx variant for the screen's scale, cached by name. nil when no candidate decodes.
    static Ref<UIImage> imageNamed(const Ref<NSString>& name);
    static Ref<UIImage> imageWithContentsOfFile(const Ref<NSString>& path);
    // The first image of the data (the first frame of an animated GIF), scale 1 or the given one,
    // with its EXIF orientation. nil for data that does not decode whole: damaged data, data cut
    // short, and headers claiming more than their data fills, as the image source reports them.
    static Ref<UIImage> imageWithData(const Ref<NSData>& data);
    static Ref<UIImage> imageWithData(const Ref<NSData>& data, CGFloat scale);
    static Ref<UIImage> imageWithCGImage(const CGImageRef& image);
    static Ref<UIImage> imageWithCGImage(const CGImageRef& image, CGFloat scale, UIImageOrientation orientation);
    // An animated image; its size and scale are those of the first frame. nil for no frames.
    static Ref<UIImage> animatedImageWithImages(const Ref<NSArray>& images, NSTimeInterval duration);

    Ref<UIImage> initWithData(const Ref<NSData>& data);
    Ref<UIImage> initWithData(const Ref<NSData>& data, CGFloat scale);
    Ref<UIImage> initWithContentsOfFile(const Ref<NSString>& path);
    Ref<UIImage> initWithCGImage(const CGImageRef& image);
    Ref<UIImage> initWithCGImage(const CGImageRef& image, CGFloat scale, UIImageOrientation orientation);

    CGSize size() const;
    CGFloat scale() const { return m_scale; }
    UIImageOrientation imageOrientation() const { return m_orientation; }
    // The bitmap; for an animated image, the first frame's.
    CGImageRef CGImage() const { return m_cgImage; }
    // Frames of an animated image, nil for a still one.
    Ref<NSArray> images() const { return m_images; }
    NSTimeInterval duration() const { return m_duration; }
    UIImageRenderingMode renderingMode() const { return m_renderingMode; }
    Ref<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;
    // The name imageNamed found the image under ("" for any other image), for dumps and for the
    // runner, which finds buttons and image views by the picture they show.
    const std::string& resourceName() const { return m_resourceName; }

    // Draws into the current context (UIKit coordinates), applying the orientation; nothing
    // happens without a current context.
    void drawInRect(CGRect rect) const;
    void drawInRect(CGRect rect, CGBlendMode blendMode, CGFloat alpha) const;
    void drawAtPoint(CGPoint point) const;

    Ref<NSString> description() const override;

private:
    CGImageRef m_cgImage;
    CGFloat m_scale = 1;
    UIImageOrientation m_orientation = UIImageOrientationUp;
    Ref<NSArray> m_images;
    NSTimeInterval m_duration = 0;
    UIImageRenderingMode m_renderingMode = UIImageRenderingModeAutomatic;
    std::string m_resourceName;
};

// PNG data of the bitmap as stored (the orientation is not applied); nil without a bitmap.
Ref<NSData> UIImagePNGRepresentation(const Ref<UIImage>& image);
// JPEG data; quality 0...1 maps onto the codec's 1...100 so that any small value such as 0.0001
// gives the lowest quality. The orientation is recorded as EXIF. nil without a bitmap.
Ref<NSData> UIImageJPEGRepresentation(const Ref<UIImage>& image, CGFloat compressionQuality);

namespace dv {

// EXIF orientation (1...8) to image orientation; any other value is up.
UIImageOrientation imageOrientationFromEXIF(int exif);
int exifFromImageOrientation(UIImageOrientation orientation);
// The transform that maps the bitmap's pixel grid (y down) onto the displayed image of size
// `displayed` pixels, for an orientation.
CGAffineTransform orientationTransform(UIImageOrientation orientation, CGFloat pixelWidth, CGFloat pixelHeight);
// The JPEG quality (1...100) used for a compression quality of 0...1.
int jpegQualityFor(CGFloat compressionQuality);

} // namespace dv
