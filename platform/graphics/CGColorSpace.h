// CGColorSpace: the colour model of a bitmap or colour. Only the device spaces exist here (RGB,
// grey, CMYK); decoded images and bitmap contexts always use RGB, grey or alpha only. Immutable,
// shared freely between threads.
#pragma once

#include "platform/base/NSObject.h"

enum CGColorSpaceModel : std::int32_t {
    kCGColorSpaceModelUnknown = -1,
    kCGColorSpaceModelMonochrome = 0,
    kCGColorSpaceModelRGB = 1,
    kCGColorSpaceModelCMYK = 2,
    kCGColorSpaceModelLab = 3,
    kCGColorSpaceModelDeviceN = 4,
    kCGColorSpaceModelIndexed = 5,
    kCGColorSpaceModelPattern = 6,
};

class CGColorSpace : public NSObject {
    DV_CLASS(CGColorSpace, NSObject)

    CGColorSpace() = default;
    Ref<CGColorSpace> initWithModel(CGColorSpaceModel model);

    CGColorSpaceModel model() const { return m_model; }
    std::size_t numberOfComponents() const;
    Ref<NSString> description() const override;

private:
    CGColorSpaceModel m_model = kCGColorSpaceModelUnknown;
};

using CGColorSpaceRef = Ref<CGColorSpace>;

// The device spaces are shared singletons.
CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceRef CGColorSpaceCreateDeviceGray();
CGColorSpaceRef CGColorSpaceCreateDeviceCMYK();
// kCGColorSpaceModelUnknown for nil.
CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space);
std::size_t CGColorSpaceGetNumberOfComponents(const CGColorSpaceRef& space);
