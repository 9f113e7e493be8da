#include "platform/ui/internal/ViewRenderer.h"

#include "platform/base/Scope.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIView.h"

#include <algorithm>
#include <cmath>

namespace dv::internal::uikit {

void addRoundedRect(const CGContextRef& c, CGRect r, CGFloat radius)
{
    radius = std::clamp<CGFloat>(radius, 0, std::min(r.size.width, r.size.height) / 2);
    if (radius <= 0) {
        CGContextAddRect(c, r);
        return;
    }
    const CGFloat minX = CGRectGetMinX(r), maxX = CGRectGetMaxX(r), minY = CGRectGetMinY(r), maxY = CGRectGetMaxY(r);
    CGContextMoveToPoint(c, minX + radius, minY);
    CGContextAddArc(c, maxX - radius, minY + radius, radius, -M_PI / 2, 0, 0);
    CGContextAddArc(c, maxX - radius, maxY - radius, radius, 0, M_PI / 2, 0);
    CGContextAddArc(c, minX + radius, maxY - radius, radius, M_PI / 2, M_PI, 0);
    CGContextAddArc(c, minX + radius, minY + radius, radius, M_PI, 3 * M_PI / 2, 0);
    CGContextClosePath(c);
}

void ViewRenderer::renderTree(const CGContextRef& context, UIView& root)
{
    if (!context)
        return;
    UIGraphicsPushContext(context); // contents are drawn through UIImage, which draws into the current context
    dv::ScopeExit pop([] { UIGraphicsPopContext(); });
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, -root.m_bounds.origin.x, -root.m_bounds.origin.y);
    renderLayer(context, root);
    CGContextRestoreGState(context);
}

void ViewRenderer::renderSubview(const CGContextRef& context, UIView& view)
{
    if (view.m_hidden || view.m_alpha <= 0)
        return;
    CGContextSaveGState(context);
    CGContextConcatCTM(context, view.handleTransformToSuperview());
    renderLayer(context, view);
    CGContextRestoreGState(context);
}

void ViewRenderer::renderLayer(const CGContextRef& context, UIView& view)
{
    const bool group = view.m_alpha < 1;
    if (group) {
        CGContextSetAlpha(context, view.m_alpha);
        CGContextBeginTransparencyLayer(context, nil);
    }
    const CGRect bounds = view.m_bounds;
    const CALayer* layer = view.m_layer.get();
    const CGFloat radius = layer ? layer->cornerRadius() : 0;

    if (auto background = view.backgroundColor(); background && background->alphaComponent() > 0) {
        CGContextSetFillColorWithColor(context, background->CGColor());
        addRoundedRect(context, bounds, radius);
        CGContextFillPath(context);
    }

    const bool clips = layer && layer->masksToBounds();
    if (clips) {
        CGContextSaveGState(context);
        addRoundedRect(context, bounds, radius);
        CGContextClip(context);
    }
    if (view.m_contents)
        view.m_contents->drawInRect(rectForContentMode(view.m_contentMode, view.m_contents->size(), bounds));
    const auto subviews = view.m_subviews;
    for (auto& sub : subviews)
        renderSubview(context, *sub);
    if (clips)
        CGContextRestoreGState(context);

    if (layer && layer->borderWidth() > 0 && layer->borderColor() && CGColorGetAlpha(layer->borderColor()) > 0) {
        const CGFloat width = layer->borderWidth();
        CGContextSetStrokeColorWithColor(context, layer->borderColor());
        CGContextSetLineWidth(context, width);
        addRoundedRect(context, CGRectInset(bounds, width / 2, width / 2), std::max<CGFloat>(radius - width / 2, 0));
        CGContextStrokePath(context);
    }
    if (group)
        CGContextEndTransparencyLayer(context);
}

} // namespace dv::internal::uikit
