#include "platform/ui/CALayer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIView.h"
#include "platform/ui/internal/AnimationRecorder.h"
#include "platform/ui/internal/ViewRenderer.h"

DV_DEFINE_CLASS(CALayer)

Ref<CALayer> CALayer::layer() { return alloc<CALayer>(); }

CGFloat CALayer::opacity() const
{
    auto view = m_view.lock();
    return view ? view->alpha() : m_opacity;
}

void CALayer::setOpacity(CGFloat opacity)
{
    if (auto view = m_view.lock())
        view->setAlpha(opacity);
    else
        m_opacity = opacity;
}

Ref<NSArray> CALayer::animationKeys() const
{
    auto view = m_view.lock();
    if (!view)
        return nil;
    auto keys = dv::internal::uikit::AnimationRecorder::shared().keyPaths(*view);
    if (keys.empty())
        return nil;
    std::vector<id> items;
    for (auto& key : keys)
        items.push_back(NSString::fromUTF8(key));
    return NSArray::fromVector(std::move(items));
}

void CALayer::removeAllAnimations()
{
    if (auto view = m_view.lock())
        dv::internal::uikit::AnimationRecorder::shared().removeAnimations(*view);
}

void CALayer::renderInContext(const CGContextRef& context)
{
    if (auto view = m_view.lock(); view && context)
        dv::internal::uikit::ViewRenderer::renderTree(context, *view);
}
