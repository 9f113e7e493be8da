#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/graphics/CGColorSpace.h"

#include "platform/base/NSString.h"

DV_DEFINE_CLASS(CGColorSpace)

Ref<CGColorSpace> CGColorSpace::initWithModel(CGColorSpaceModel model)
{
    m_model = model;
    return self<CGColorSpace>();
}

std::size_t CGColorSpace::numberOfComponents() const
{
    switch (m_model) {
    case kCGColorSpaceModelMonochrome:
        return 1;
    case kCGColorSpaceModelRGB:
    case kCGColorSpaceModelLab:
        return 3;
    case kCGColorSpaceModelCMYK:
        return 4;
    default:
        return 0;
    }
}

Ref<NSString> CGColorSpace::description() const
{
    switch (m_model) {
    case kCGColorSpaceModelMonochrome:
        return "<CGColorSpace (kCGColorSpaceDeviceGray)>"_ns;
    case kCGColorSpaceModelRGB:
        return "<CGColorSpace (kCGColorSpaceDeviceRGB)>"_ns;
    case kCGColorSpaceModelCMYK:
        return "<CGColorSpace (kCGColorSpaceDeviceCMYK)>"_ns;
    default:
        return "<CGColorSpace (unknown)>"_ns;
    }
}

CGColorSpaceRef CGColorSpaceCreateDeviceRGB()
{
    static const CGColorSpaceRef space = dv::keepingForever([] { return alloc<CGColorSpace>()->initWithModel(kCGColorSpaceModelRGB); });
    return space;
}

CGColorSpaceRef CGColorSpaceCreateDeviceGray()
{
    static const CGColorSpaceRef space = dv::keepingForever([] { return alloc<CGColorSpace>()->initWithModel(kCGColorSpaceModelMonochrome); });
    return space;
}

CGColorSpaceRef CGColorSpaceCreateDeviceCMYK()
{
    static const CGColorSpaceRef space = dv::keepingForever([] { return alloc<CGColorSpace>()->initWithModel(kCGColorSpaceModelCMYK); });
    return space;
}

CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space)
{
    return space ? space->model() : kCGColorSpaceModelUnknown;
}

std::size_t CGColorSpaceGetNumberOfComponents(const CGColorSpaceRef& space)
{
    return space ? space->numberOfComponents() : 0;
}
