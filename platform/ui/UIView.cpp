#include "platform/ui/UIView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/base/Scope.h"
#include "platform/dispatch/MainThreadCheck.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/AnimationRecorder.h"
#include "platform/ui/internal/BitmapTarget.h"
#include "platform/ui/internal/PassScheduler.h"
#include "platform/ui/internal/ViewFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <typeindex>
#include <unordered_map>

DV_DEFINE_CLASS(UIView)

namespace {

// Set by the default drawRect, so the display pass learns which classes draw nothing.
thread_local bool t_reachedBaseDrawRect = false;

// Per C++ type: does drawRect draw anything? Learnt on the first display of each type.
std::unordered_map<std::type_index, bool>& drawingKinds()
{
    static std::unordered_map<std::type_index, bool> s_kinds;
    return s_kinds;
}

} // namespace

const std::string* dv::descriptionField(const DescriptionFields& fields, std::string_view key)
{
    for (auto& [k, v] : fields)
        if (k == key)
            return &v;
    return nullptr;
}

CGRect dv::rectForContentMode(UIViewContentMode mode, CGSize size, CGRect bounds)
{
    const CGFloat bw = bounds.size.width, bh = bounds.size.height;
    const CGFloat w = size.width, h = size.height;
    CGFloat x = bounds.origin.x, y = bounds.origin.y;
    switch (mode) {
    case UIViewContentModeScaleToFill:
    case UIViewContentModeRedraw:
        return bounds;
    case UIViewContentModeScaleAspectFit:
    case UIViewContentModeScaleAspectFill: {
        if (w <= 0 || h <= 0)
            return bounds;
        const CGFloat sx = bw / w, sy = bh / h;
        const CGFloat s = mode == UIViewContentModeScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
        return CGRectMake(x + (bw - w * s) / 2, y + (bh - h * s) / 2, w * s, h * s);
    }
    case UIViewContentModeCenter:
        return CGRectMake(x + (bw - w) / 2, y + (bh - h) / 2, w, h);
    case UIViewContentModeTop:
        return CGRectMake(x + (bw - w) / 2, y, w, h);
    case UIViewContentModeBottom:
        return CGRectMake(x + (bw - w) / 2, y + bh - h, w, h);
    case UIViewContentModeLeft:
        return CGRectMake(x, y + (bh - h) / 2, w, h);
    case UIViewContentModeRight:
        return CGRectMake(x + bw - w, y + (bh - h) / 2, w, h);
    case UIViewContentModeTopLeft:
        return CGRectMake(x, y, w, h);
    case UIViewContentModeTopRight:
        return CGRectMake(x + bw - w, y, w, h);
    case UIViewContentModeBottomLeft:
        return CGRectMake(x, y + bh - h, w, h);
    case UIViewContentModeBottomRight:
        return CGRectMake(x + bw - w, y + bh - h, w, h);
    }
    return bounds;
}

UIView::UIView() = default;

UIView::~UIView() = default;

Ref<UIView> UIView::init() { return initWithFrame(CGRectZero); }

Ref<UIView> UIView::initWithFrame(CGRect frame)
{
    DV_CHECK_MAIN_THREAD();
    m_bounds = CGRectMake(0, 0, frame.size.width, frame.size.height);
    m_center = CGPointMake(frame.origin.x + frame.size.width / 2, frame.origin.y + frame.size.height / 2);
    return self<UIView>();
}

void UIView::awakeFromNib() { }

// Geometry

CGRect UIView::frame() const
{
    const CGSize size = m_bounds.size;
    if (CGAffineTransformIsIdentity(m_transform))
        return CGRectMake(m_center.x - size.width / 2, m_center.y - size.height / 2, size.width, size.height);
    CGRect r = CGRectApplyAffineTransform(CGRectMake(-size.width / 2, -size.height / 2, size.width, size.height), m_transform);
    return CGRectOffset(r, m_center.x, m_center.y);
}

void UIView::setFrame(CGRect frame)
{
    const CGRect oldBounds = m_bounds;
    const CGPoint oldCenter = m_center;
    m_center = CGPointMake(frame.origin.x + frame.size.width / 2, frame.origin.y + frame.size.height / 2);
    m_bounds.size = frame.size;
    handleGeometryChange(oldBounds, oldCenter);
}

void UIView::setBounds(CGRect bounds)
{
    const CGRect oldBounds = m_bounds;
    m_bounds = bounds;
    handleGeometryChange(oldBounds, m_center);
}

void UIView::setCenter(CGPoint center)
{
    const CGPoint oldCenter = m_center;
    m_center = center;
    handleGeometryChange(m_bounds, oldCenter);
}

void UIView::setTransform(CGAffineTransform transform)
{
    if (CGAffineTransformEqualToTransform(transform, m_transform))
        return;
    m_transform = transform;
    handleAnimatableChange("transform");
}

void UIView::handleGeometryChange(CGRect oldBounds, CGPoint oldCenter)
{
    const bool sizeChanged = !CGSizeEqualToSize(oldBounds.size, m_bounds.size);
    const bool originChanged = !CGPointEqualToPoint(oldBounds.origin, m_bounds.origin);
    if (!CGPointEqualToPoint(oldCenter, m_center))
        handleAnimatableChange("position");
    if (!sizeChanged && !originChanged)
        return;
    handleAnimatableChange("bounds");
    if (sizeChanged)
        handleResizeSubviews(oldBounds.size);
    // A new size, or a new visible part of the content (scrolling), is laid out again, and so is
    // the superview around it.
    setNeedsLayout();
    if (auto super = superview())
        super->setNeedsLayout();
    if (sizeChanged && m_contentMode == UIViewContentModeRedraw)
        setNeedsDisplay();
    if (sizeChanged && CGRectIsEmpty(oldBounds) && m_needsDisplay)
        dv::internal::uikit::PassScheduler::shared().reviveDeferredDisplays();
}

namespace {

// Shares `delta` among the flexible parts of one axis in proportion to their sizes (equally
// when they are all zero), as autoresizing does.
void resizeAxis(CGFloat delta, CGFloat superSize, CGFloat& origin, CGFloat& size, bool flexibleMin, bool flexibleSize, bool flexibleMax)
{
    const int count = int(flexibleMin) + int(flexibleSize) + int(flexibleMax);
    if (delta == 0 || count == 0)
        return;
    const CGFloat minPart = std::max<CGFloat>(origin, 0);
    const CGFloat sizePart = std::max<CGFloat>(size, 0);
    const CGFloat maxPart = std::max<CGFloat>(superSize - origin - size, 0);
    const CGFloat total = (flexibleMin ? minPart : 0) + (flexibleSize ? sizePart : 0) + (flexibleMax ? maxPart : 0);
    auto share = [&](bool flexible, CGFloat part) -> CGFloat {
        if (!flexible)
            return 0;
        return total > 0 ? delta * part / total : delta / count;
    };
    const CGFloat originShare = share(flexibleMin, minPart);
    const CGFloat sizeShare = share(flexibleSize, sizePart);
    origin += originShare;
    size += sizeShare;
}

} // namespace

void UIView::handleResizeSubviews(CGSize oldSize)
{
    if (!m_autoresizesSubviews)
        return;
    const auto subviews = m_subviews;
    for (auto& sub : subviews) {
        const UIViewAutoresizing mask = sub->m_autoresizingMask;
        if (mask == UIViewAutoresizingNone)
            continue;
        CGRect f = sub->frame();
        resizeAxis(m_bounds.size.width - oldSize.width, oldSize.width, f.origin.x, f.size.width, mask & UIViewAutoresizingFlexibleLeftMargin,
            mask & UIViewAutoresizingFlexibleWidth, mask & UIViewAutoresizingFlexibleRightMargin);
        resizeAxis(m_bounds.size.height - oldSize.height, oldSize.height, f.origin.y, f.size.height, mask & UIViewAutoresizingFlexibleTopMargin,
            mask & UIViewAutoresizingFlexibleHeight, mask & UIViewAutoresizingFlexibleBottomMargin);
        sub->setFrame(f);
    }
}

void UIView::handleAnimatableChange(const char* keyPath) { dv::internal::uikit::AnimationRecorder::shared().recordChange(*this, keyPath); }

CGAffineTransform UIView::handleTransformToSuperview() const
{
    CGAffineTransform t = CGAffineTransformMakeTranslation(-(m_bounds.origin.x + m_bounds.size.width / 2),
        -(m_bounds.origin.y + m_bounds.size.height / 2));
    t = CGAffineTransformConcat(t, m_transform);
    return CGAffineTransformConcat(t, CGAffineTransformMakeTranslation(m_center.x, m_center.y));
}

// Look

void UIView::setAlpha(CGFloat alpha)
{
    alpha = std::clamp<CGFloat>(alpha, 0, 1);
    if (alpha == m_alpha)
        return;
    m_alpha = alpha;
    handleAnimatableChange("opacity");
}

void UIView::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (!hidden)
        dv::internal::uikit::PassScheduler::shared().reviveDeferredDisplays();
}

Ref<UIColor> UIView::backgroundColor() const { return m_backgroundColor; }

void UIView::setBackgroundColor(const Ref<UIColor>& color)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UIView>("backgroundColor", [color](UIView& view) { view.setBackgroundColor(color); });
        return;
    }
    noteAppearanceSetterCalled("backgroundColor");
    if (dv::equal(color, m_backgroundColor))
        return;
    m_backgroundColor = color;
    handleAnimatableChange("backgroundColor");
}

bool UIView::clipsToBounds() const { return m_layer && m_layer->masksToBounds(); }

void UIView::setClipsToBounds(bool clips) { layer()->setMasksToBounds(clips); }

Ref<UIColor> UIView::tintColor() const
{
    for (Ref<const UIView> view = self<UIView>(); view; view = view->superview())
        if (view->m_tintColor)
            return view->m_tintColor;
    static const Ref<UIColor> s_systemBlue = dv::keepingForever([] { return UIColor::colorWithRed(0, 122 / 255.0, 1, 1); });
    return s_systemBlue;
}

void UIView::setTintColor(const Ref<UIColor>& color)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UIView>("tintColor", [color](UIView& view) { view.setTintColor(color); });
        return;
    }
    noteAppearanceSetterCalled("tintColor");
    m_tintColor = color;
}

Ref<CALayer> UIView::layer() const
{
    if (!m_layer) {
        m_layer = alloc<CALayer>();
        m_layer->m_view = std::const_pointer_cast<UIView>(self<UIView>());
    }
    return m_layer;
}

// Layout

void UIView::setNeedsLayout()
{
    DV_CHECK_MAIN_THREAD();
    m_needsLayout = true;
    if (!m_window.expired())
        dv::internal::uikit::PassScheduler::shared().scheduleLayout(*this);
}

void UIView::layoutIfNeeded()
{
    DV_CHECK_MAIN_THREAD();
    if (m_needsLayout)
        handleLayout();
    const auto subviews = m_subviews;
    for (auto& sub : subviews)
        sub->layoutIfNeeded();
}

void UIView::handleLayout()
{
    m_needsLayout = false;
    // A controller's root view tells its controller around each layout.
    auto controller = std::dynamic_pointer_cast<UIViewController>(m_viewController.lock());
    if (controller)
        controller->viewWillLayoutSubviews();
    layoutSubviews();
    if (controller)
        controller->viewDidLayoutSubviews();
}

void UIView::layoutSubviews() { handleApplyConstraints(); }

CGSize UIView::sizeThatFits(CGSize) const { return m_bounds.size; }

void UIView::sizeToFit()
{
    CGRect f = frame();
    f.size = sizeThatFits(m_bounds.size);
    setFrame(f);
}

CGSize UIView::intrinsicContentSize() const { return CGSizeMake(UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric); }

void UIView::invalidateIntrinsicContentSize()
{
    if (auto super = superview())
        super->setNeedsLayout();
}

std::size_t UIView::handleDepth() const
{
    std::size_t depth = 0;
    for (auto super = superview(); super; super = super->superview())
        ++depth;
    return depth;
}

// Drawing

void UIView::drawRect(CGRect) { t_reachedBaseDrawRect = true; }

void UIView::setNeedsDisplay()
{
    DV_CHECK_MAIN_THREAD();
    m_needsDisplay = true;
    if (!m_window.expired())
        dv::internal::uikit::PassScheduler::shared().scheduleDisplay(*this);
}

void UIView::setContentsImage(const Ref<UIImage>& image)
{
    const bool changed = image != m_contents || m_contentsSupplied != bool(image);
    m_contentsSupplied = bool(image);
    m_contents = image;
    if (!image && changed)
        setNeedsDisplay();
}

void UIView::handleDisplay()
{
    m_needsDisplay = false;
    if (m_contentsSupplied)
        return;
    auto& kinds = drawingKinds();
    const std::type_index type(typeid(*this));
    auto known = kinds.find(type);
    if (known != kinds.end() && !known->second) {
        // A kind that has drawn nothing so far may still draw now (its drawing may depend on its
        // state): it draws into a one-pixel probe spanning its bounds first, which costs next to
        // nothing, and only a probe that received any drawing call is followed by a real bitmap.
        // From then on the kind is drawn as any other.
        if (!drawsInto(dv::internal::uikit::BitmapTarget(m_bounds.size, 1 / std::max(m_bounds.size.width, m_bounds.size.height)))) {
            m_contents = nil;
            return;
        }
        known->second = true;
    }
    dv::internal::uikit::BitmapTarget target(m_bounds.size, 0);
    if (!target.context())
        return;
    drawsInto(target);
    const bool blank = known == kinds.end() && t_reachedBaseDrawRect && target.isBlank();
    auto image = target.finish();
    if (known == kinds.end()) {
        // A kind that only reached the default drawRect and left the bitmap empty draws nothing
        // (for now: see above).
        const bool draws = !blank;
        kinds[type] = draws;
        if (!draws) {
            m_contents = nil;
            return;
        }
    }
    m_contents = image;
}

bool UIView::drawsInto(const dv::internal::uikit::BitmapTarget& target)
{
    if (!target.context())
        return false;
    CGContextTranslateCTM(target.context(), -m_bounds.origin.x, -m_bounds.origin.y);
    UIGraphicsPushContext(target.context());
    dv::ScopeExit pop([] { UIGraphicsPopContext(); });
    t_reachedBaseDrawRect = false;
    drawRect(m_bounds);
    return target.drawnInto();
}

// Conversion

// From `from`'s coordinates to `to`'s; nil stands for the window (the topmost ancestor's own
// coordinates). Views under different roots meet in the roots' common outer space.
CGAffineTransform UIView::handleConversion(const UIView& from, const UIView* to)
{
    auto toRoot = [](const UIView& view, Ref<const UIView>& root) {
        CGAffineTransform t = CGAffineTransformIdentity;
        Ref<const UIView> current = view.self<UIView>();
        while (auto super = current->superview()) {
            t = CGAffineTransformConcat(t, current->handleTransformToSuperview());
            current = super;
        }
        root = current;
        return t;
    };
    Ref<const UIView> rootA, rootB;
    CGAffineTransform a = toRoot(from, rootA);
    if (!to)
        return a;
    CGAffineTransform b = toRoot(*to, rootB);
    if (rootA != rootB) {
        a = CGAffineTransformConcat(a, rootA->handleTransformToSuperview());
        b = CGAffineTransformConcat(b, rootB->handleTransformToSuperview());
    }
    return CGAffineTransformConcat(a, CGAffineTransformInvert(b));
}

CGPoint UIView::convertPointToView(CGPoint point, const Ref<UIView>& view) const
{
    return CGPointApplyAffineTransform(point, handleConversion(*this, view.get()));
}

CGPoint UIView::convertPointFromView(CGPoint point, const Ref<UIView>& view) const
{
    if (view)
        return CGPointApplyAffineTransform(point, handleConversion(*view, this));
    return CGPointApplyAffineTransform(point, CGAffineTransformInvert(handleConversion(*this, nullptr)));
}

CGRect UIView::convertRectToView(CGRect rect, const Ref<UIView>& view) const
{
    return CGRectApplyAffineTransform(rect, handleConversion(*this, view.get()));
}

CGRect UIView::convertRectFromView(CGRect rect, const Ref<UIView>& view) const
{
    if (view)
        return CGRectApplyAffineTransform(rect, handleConversion(*view, this));
    return CGRectApplyAffineTransform(rect, CGAffineTransformInvert(handleConversion(*this, nullptr)));
}

// Touches

Ref<UIView> UIView::hitTest(CGPoint point, const Ref<UIEvent>& event)
{
    if (m_hidden || !m_userInteractionEnabled || m_alpha < 0.01 || !pointInside(point, event))
        return nil;
    const auto subviews = m_subviews;
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        const CGPoint local = CGPointApplyAffineTransform(point, CGAffineTransformInvert((*it)->handleTransformToSuperview()));
        if (auto hit = (*it)->hitTest(local, event))
            return hit;
    }
    return self<UIView>();
}

bool UIView::pointInside(CGPoint point, const Ref<UIEvent>&) const { return CGRectContainsPoint(m_bounds, point); }

bool UIView::endEditing(bool force)
{
    auto window = this->window();
    auto responder = window ? window->firstResponder() : nil;
    auto view = dv::as<UIView>(responder);
    if (!view || !view->isDescendantOfView(std::const_pointer_cast<UIView>(self<UIView>())))
        return true;
    if (responder->resignFirstResponder())
        return true;
    if (!force)
        return false;
    // Forced: the responder resigns without asking its delegate; one that still refuses loses
    // the status all the same.
    responder->handleForcedResign();
    if (window->firstResponder() == responder)
        window->handleSetFirstResponder(nil);
    return true;
}

Ref<UIResponder> UIView::nextResponder() const
{
    if (auto controller = m_viewController.lock())
        return controller;
    return superview();
}

Ref<UIWindow> UIView::windowForFirstResponder() const { return window(); }

bool UIView::gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>&) { return true; }

// Description

void UIView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    using dv::internal::uikit::ViewFormat;
    if (m_tag != 0)
        fields.emplace_back("tag", std::to_string(m_tag));
    if (m_hidden)
        fields.emplace_back("hidden", "");
    if (m_alpha != 1)
        fields.emplace_back("alpha", ViewFormat::number(m_alpha));
    if (m_userInteractionEnabled != isUserInteractionEnabledByDefault())
        fields.emplace_back("interaction", m_userInteractionEnabled ? "on" : "off");
    if (clipsToBounds())
        fields.emplace_back("clips", "");
    if (!CGAffineTransformIsIdentity(m_transform))
        fields.emplace_back("transform", ViewFormat::transform(m_transform));
    if (m_layer && m_layer->cornerRadius() > 0)
        fields.emplace_back("radius", ViewFormat::number(m_layer->cornerRadius()));
    if (m_layer && m_layer->borderWidth() > 0)
        fields.emplace_back("border", ViewFormat::number(m_layer->borderWidth()) + " " + ViewFormat::color(m_layer->borderColor()));
    if (auto color = backgroundColor(); color && color->alphaComponent() > 0)
        fields.emplace_back("bg", ViewFormat::color(color->CGColor()));
}

Ref<NSString> UIView::description() const
{
    dv::DescriptionFields fields;
    appendDescriptionFields(fields);
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    std::string text = "<" + className()->utf8() + ": " + address + "; frame = " + dv::internal::uikit::ViewFormat::frame(frame());
    for (auto& [key, value] : fields)
        text += "; " + key + " = " + (value.empty() ? "YES" : value);
    return NSString::fromUTF8(text + ">");
}
