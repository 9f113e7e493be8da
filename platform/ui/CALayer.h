// CALayer: the drawing side of a view, as far as views here expose it: rounded corners, clipping
// to the bounds, a border, shadow settings, the opacity (one value with its view's alpha), the
// animations running on it, and rendering the view tree below it into a graphics context. Every
// view makes its layer on first use and owns it; the layer refers back to its view weakly. Main
// thread only.
//
//   view->layer()->setCornerRadius(5);
//   view->layer()->setMasksToBounds(true);
//   view->layer()->setBorderColor(UIColor::lightGrayColor()->CGColor());
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/graphics/CGColor.h"
#include "platform/graphics/CGContext.h"
#include "platform/ui/Forward.h"

class CALayer : public NSObject {
    DV_CLASS(CALayer, NSObject)

    CALayer() = default;
    static Ref<CALayer> layer();

    // The view this layer draws for (the platform's layer delegate); nil for a free layer.
    Ref<UIView> delegate() const { return m_view.lock(); }

    CGFloat cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(CGFloat radius) { m_cornerRadius = radius; }
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks) { m_masksToBounds = masks; }
    CGFloat borderWidth() const { return m_borderWidth; }
    void setBorderWidth(CGFloat width) { m_borderWidth = width; }
    // Opaque black by default.
    CGColorRef borderColor() const { return m_borderColor; }
    void setBorderColor(const CGColorRef& color) { m_borderColor = color; }

    // Kept for the code that sets them; the renderer draws no shadows.
    CGColorRef shadowColor() const { return m_shadowColor; }
    void setShadowColor(const CGColorRef& color) { m_shadowColor = color; }
    CGFloat shadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(CGFloat opacity) { m_shadowOpacity = opacity; }
    CGSize shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(CGSize offset) { m_shadowOffset = offset; }
    CGFloat shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(CGFloat radius) { m_shadowRadius = radius; }

    // The view's alpha for a view's layer.
    CGFloat opacity() const;
    void setOpacity(CGFloat opacity);

    // Key paths of the view animations running on this layer ("position", "bounds", "opacity",
    // "transform", "backgroundColor"), nil when none runs.
    Ref<NSArray> animationKeys() const;
    // Ends every animation of the layer; their completions hear finished NO.
    void removeAllAnimations();

    // Draws the layer's view and its subviews into `context` in the context's current user space,
    // the view's bounds origin at the user space origin. The view's own position and transform
    // are left out, as on the platform.
    void renderInContext(const CGContextRef& context);

private:
    friend class UIView;

    Weak<UIView> m_view;
    CGFloat m_cornerRadius = 0;
    bool m_masksToBounds = false;
    CGFloat m_borderWidth = 0;
    CGColorRef m_borderColor = CGColorCreateGenericRGB(0, 0, 0, 1);
    CGColorRef m_shadowColor = CGColorCreateGenericRGB(0, 0, 0, 1);
    CGFloat m_shadowOpacity = 0;
    CGSize m_shadowOffset = CGSizeMake(0, -3);
    CGFloat m_shadowRadius = 3;
    CGFloat m_opacity = 1; // a free layer's own opacity
};
