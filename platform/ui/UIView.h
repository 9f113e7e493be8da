// UIView: a rectangle of the interface with its subviews. Geometry is in points: `bounds` is the
// view's own coordinate system, `center` places it in its superview, `transform` turns it about
// its centre, and `frame` is the resulting rectangle in the superview. The tree owns downwards
// (subviews); the superview, the window and the controller are weak links.
//
// Layout and drawing happen in the passes at the end of each main run-loop turn (see
// internal/PassScheduler.h): setNeedsLayout and setNeedsDisplay only mark the view; the layout
// pass calls layoutSubviews, parents before children, and the display pass calls drawRect for the
// views that are in a window, visible and not empty. A view is laid out when it enters a window,
// after its size changes, and when a subview is added; it is drawn when it first enters a window.
// layoutIfNeeded lays out at once. Subclasses override the documented virtual members
// (layoutSubviews, drawRect, sizeThatFits, the move callbacks, touches...) and never call into
// the bookkeeping. Main thread only.
//
//   auto box = alloc<UIView>()->initWithFrame(CGRectMake(10, 10, 100, 44));
//   box->setBackgroundColor(UIColor::redColor());
//   window->addSubview(box);
//   UIView::animateWithDuration(0.3, [&] { box->setAlpha(0); });
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/UIAccessibility.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UIResponder.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

enum UIViewContentMode : NSInteger {
    UIViewContentModeScaleToFill = 0,
    UIViewContentModeScaleAspectFit = 1,
    UIViewContentModeScaleAspectFill = 2,
    UIViewContentModeRedraw = 3,
    UIViewContentModeCenter = 4,
    UIViewContentModeTop = 5,
    UIViewContentModeBottom = 6,
    UIViewContentModeLeft = 7,
    UIViewContentModeRight = 8,
    UIViewContentModeTopLeft = 9,
    UIViewContentModeTopRight = 10,
    UIViewContentModeBottomLeft = 11,
    UIViewContentModeBottomRight = 12,
};

using UIViewAutoresizing = NSUInteger;
enum : UIViewAutoresizing {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
    UIViewAutoresizingFlexibleWidth = 1 << 1,
    UIViewAutoresizingFlexibleRightMargin = 1 << 2,
    UIViewAutoresizingFlexibleTopMargin = 1 << 3,
    UIViewAutoresizingFlexibleHeight = 1 << 4,
    UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

using UIViewAnimationOptions = NSUInteger;
enum : UIViewAnimationOptions {
    UIViewAnimationOptionLayoutSubviews = 1 << 0,
    UIViewAnimationOptionAllowUserInteraction = 1 << 1,
    UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
    UIViewAnimationOptionRepeat = 1 << 3,
    UIViewAnimationOptionAutoreverse = 1 << 4,
    UIViewAnimationOptionOverrideInheritedDuration = 1 << 5,
    UIViewAnimationOptionOverrideInheritedCurve = 1 << 6,
    UIViewAnimationOptionAllowAnimatedContent = 1 << 7,
    UIViewAnimationOptionShowHideTransitionViews = 1 << 8,
    UIViewAnimationOptionOverrideInheritedOptions = 1 << 9,
    UIViewAnimationOptionCurveEaseInOut = 0 << 16,
    UIViewAnimationOptionCurveEaseIn = 1 << 16,
    UIViewAnimationOptionCurveEaseOut = 2 << 16,
    UIViewAnimationOptionCurveLinear = 3 << 16,
};

// The curve of an animation; the keyboard's own curve is 7.
enum UIViewAnimationCurve : NSInteger {
    UIViewAnimationCurveEaseInOut = 0,
    UIViewAnimationCurveEaseIn = 1,
    UIViewAnimationCurveEaseOut = 2,
    UIViewAnimationCurveLinear = 3,
};

inline constexpr CGFloat UIViewNoIntrinsicMetric = -1;

namespace dv {

namespace internal::uikit {
class BitmapTarget;
}

// Named values a view shows about itself, in order: its key text first ("text", "title",
// "placeholder"), then its state. An empty value is a flag ("hidden"). The description, the tree
// dump and the UI driver read them.
using DescriptionFields = std::vector<std::pair<std::string, std::string>>;
// The value of `key`, or null when the view has no such field.
const std::string* descriptionField(const DescriptionFields& fields, std::string_view key);

// Where content of `size` goes in `bounds` under `mode` (images, drawn contents).
CGRect rectForContentMode(UIViewContentMode mode, CGSize size, CGRect bounds);

} // namespace dv

class UIView : public UIResponder, public UIAppearance, public UIAccessibility {
    DV_CLASS(UIView, UIResponder)
    DV_APPEARANCE(UIView)

    UIView();
    ~UIView() override;

    // init is initWithFrame with a zero frame. A subclass whose set-up lives in its own
    // initWithFrame also defines init to call it: C++ does not reach a hidden initialiser from here.
    Ref<UIView> init();
    Ref<UIView> initWithFrame(CGRect frame);
    // What a view made from an interface file hears once the file's objects are all made and
    // connected, in place of initWithFrame: a subclass finishes its set-up there, after calling
    // the superclass's. The platform builds every view in code and loads no such files itself;
    // whoever decodes a view calls it. Does nothing by default.
    virtual void awakeFromNib();

    // Geometry, in points.
    CGRect frame() const;
    virtual void setFrame(CGRect frame);
    CGRect bounds() const { return m_bounds; }
    virtual void setBounds(CGRect bounds);
    CGPoint center() const { return m_center; }
    virtual void setCenter(CGPoint center);
    CGAffineTransform transform() const { return m_transform; }
    virtual void setTransform(CGAffineTransform transform);

    // Look.
    CGFloat alpha() const { return m_alpha; }
    virtual void setAlpha(CGFloat alpha);
    bool isHidden() const { return m_hidden; }
    virtual void setHidden(bool hidden);
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool opaque) { m_opaque = opaque; }
    virtual Ref<UIColor> backgroundColor() const;
    virtual void setBackgroundColor(const Ref<UIColor>& color);
    UIViewContentMode contentMode() const { return m_contentMode; }
    void setContentMode(UIViewContentMode mode) { m_contentMode = mode; }
    bool clipsToBounds() const;
    void setClipsToBounds(bool clips);
    // The view's own tint, else its superview's, else the system blue.
    virtual Ref<UIColor> tintColor() const;
    virtual void setTintColor(const Ref<UIColor>& color);
    Ref<CALayer> layer() const;

    NSInteger tag() const { return m_tag; }
    void setTag(NSInteger tag) { m_tag = tag; }
    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled) { m_userInteractionEnabled = enabled; }
    bool isExclusiveTouch() const { return m_exclusiveTouch; }
    void setExclusiveTouch(bool exclusive) { m_exclusiveTouch = exclusive; }

    // Resizing: when the view's size changes, each subview's flexible parts share the change in
    // proportion to their sizes.
    UIViewAutoresizing autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(UIViewAutoresizing mask) { m_autoresizingMask = mask; }
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool resizes) { m_autoresizesSubviews = resizes; }

    // Hierarchy.
    Ref<UIView> superview() const { return m_superview.lock(); }
    Ref<NSArray> subviews() const;
    Ref<UIWindow> window() const { return m_window.lock(); }
    void addSubview(const Ref<UIView>& view);
    void insertSubviewAtIndex(const Ref<UIView>& view, NSInteger index);
    void insertSubviewBelowSubview(const Ref<UIView>& view, const Ref<UIView>& sibling);
    void insertSubviewAboveSubview(const Ref<UIView>& view, const Ref<UIView>& sibling);
    void bringSubviewToFront(const Ref<UIView>& view);
    void sendSubviewToBack(const Ref<UIView>& view);
    void removeFromSuperview();
    bool isDescendantOfView(const Ref<UIView>& view) const; // the view itself included
    // This view or the first descendant (depth first, in subview order) with the tag.
    Ref<UIView> viewWithTag(NSInteger tag);

    // Called around every change of superview and of window, in the platform's order:
    // willMoveToSuperview, willMoveToWindow, didMoveToWindow, didMoveToSuperview, then the
    // superview's didAddSubview. A removal starts with willRemoveSubview and passes nil.
    virtual void willMoveToSuperview(const Ref<UIView>& newSuperview);
    virtual void didMoveToSuperview();
    virtual void willMoveToWindow(const Ref<UIWindow>& newWindow);
    virtual void didMoveToWindow();
    virtual void didAddSubview(const Ref<UIView>& subview);
    virtual void willRemoveSubview(const Ref<UIView>& subview);

    // Layout. The default layoutSubviews applies the layout constraints this view holds.
    virtual void layoutSubviews();
    virtual void setNeedsLayout();
    virtual void layoutIfNeeded();
    // The current size by default.
    virtual CGSize sizeThatFits(CGSize size) const;
    // Resizes to sizeThatFits of the current size, keeping the origin.
    virtual void sizeToFit();
    // UIViewNoIntrinsicMetric on both axes by default.
    virtual CGSize intrinsicContentSize() const;
    void invalidateIntrinsicContentSize();
    bool translatesAutoresizingMaskIntoConstraints() const { return m_translatesAutoresizingMaskIntoConstraints; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates) { m_translatesAutoresizingMaskIntoConstraints = translates; }
    Ref<NSArray> constraints() const;
    void addConstraint(const Ref<NSLayoutConstraint>& constraint);
    void addConstraints(const Ref<NSArray>& constraints);
    void removeConstraint(const Ref<NSLayoutConstraint>& constraint);

    // Drawing: drawRect draws the view's own content into the current graphics context, in the
    // bounds' coordinates. The default draws nothing.
    virtual void drawRect(CGRect rect);
    virtual void setNeedsDisplay();

    // Conversion between this view's coordinates and another view's (nil: the window's).
    CGPoint convertPointToView(CGPoint point, const Ref<UIView>& view) const;
    CGPoint convertPointFromView(CGPoint point, const Ref<UIView>& view) const;
    CGRect convertRectToView(CGRect rect, const Ref<UIView>& view) const;
    CGRect convertRectFromView(CGRect rect, const Ref<UIView>& view) const;

    // The deepest view under `point` (in this view's coordinates) that takes touches: hidden
    // views, views with alpha below 0.01 and views without user interaction are passed over with
    // their subviews; later subviews are asked first.
    virtual Ref<UIView> hitTest(CGPoint point, const Ref<UIEvent>& event);
    virtual bool pointInside(CGPoint point, const Ref<UIEvent>& event) const;

    // Makes the first responder resign when it is this view or inside it; with `force` it
    // resigns even when it would refuse. Answers whether it resigned.
    bool endEditing(bool force);

    // Recognisers attached to this view see the touches that land in it or in its subviews
    // (see UIGestureRecognizer.h). Adding one that belongs to another view moves it here.
    Ref<NSArray> gestureRecognizers() const;
    void addGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer);
    // Asked, for the views its touches landed in, before a recogniser begins (or recognises);
    // NO makes it fail. YES by default.
    virtual bool gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer);

    Ref<UIResponder> nextResponder() const override;

    // Animations. Values set inside the block change at once; the change of each animatable
    // property (frame, bounds, center, transform, alpha, background colour) is recorded as a
    // running animation, and the completion runs on the main run loop after delay + duration of
    // clock time: finished YES, or NO when a later animation of the same property began from the
    // current state. A block that changes nothing completes on the next turn.
    using AnimationBlock = std::function<void()>;
    using CompletionBlock = std::function<void(bool finished)>;
    static void animateWithDuration(NSTimeInterval duration, AnimationBlock animations);
    static void animateWithDuration(NSTimeInterval duration, AnimationBlock animations, CompletionBlock completion);
    static void animateWithDuration(NSTimeInterval duration, NSTimeInterval delay, UIViewAnimationOptions options,
        AnimationBlock animations, CompletionBlock completion);
    static void animateWithDuration(NSTimeInterval duration, NSTimeInterval delay, CGFloat dampingRatio, CGFloat velocity,
        UIViewAnimationOptions options, AnimationBlock animations, CompletionBlock completion);
    // The older form: changes between begin and commit form one animation; its delegate gets
    // the did-stop selector with (animation ID, finished as a number, context as a pointer value).
    static void beginAnimations(const Ref<NSString>& animationID, void* context);
    static void commitAnimations();
    static void setAnimationDuration(NSTimeInterval duration);
    static void setAnimationDelay(NSTimeInterval delay);
    static void setAnimationCurve(UIViewAnimationCurve curve);
    static void setAnimationBeginsFromCurrentState(bool fromCurrentState);
    static void setAnimationDelegate(const id& delegate);
    static void setAnimationDidStopSelector(SEL selector);
    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    static void performWithoutAnimation(const AnimationBlock& actions);

    // "<UIView: 0x…; frame = (0 0; 100 44); tag = 3; …>"
    Ref<NSString> description() const override;
    // Appends this view's description fields; a subclass appends its superclass's first.
    virtual void appendDescriptionFields(dv::DescriptionFields& fields) const;

protected:
    Ref<UIWindow> windowForFirstResponder() const override;
    // Classes whose views take no touches unless told (labels, image views) answer NO; the dump
    // then notes interaction only where it differs.
    virtual bool isUserInteractionEnabledByDefault() const { return true; }
    // Shows `image` as the view's contents, placed by the content mode, in place of what drawRect
    // would draw (image views); nil goes back to drawing.
    void setContentsImage(const Ref<UIImage>& image);

private:
    friend class CALayer;
    friend class UIViewController;
    friend class UIWindow;
    friend class dv::internal::uikit::AnimationRecorder;
    friend class dv::internal::uikit::PassScheduler;
    friend class dv::internal::uikit::TouchRouter;
    friend class dv::internal::uikit::ViewRenderer;

    void handleInsertSubview(const Ref<UIView>& view, std::size_t index);
    void handleWillMoveToWindow(const Ref<UIWindow>& newWindow);
    void handleDidMoveToWindow(const Ref<UIWindow>& newWindow);
    void handleGeometryChange(CGRect oldBounds, CGPoint oldCenter);
    void handleResizeSubviews(CGSize oldSize);
    void handleLayout();
    void handleDisplay();
    // Calls drawRect into `target`'s context (none: nothing); whether it drew anything there.
    bool drawsInto(const dv::internal::uikit::BitmapTarget& target);
    void handleApplyConstraints();
    void handleAnimatableChange(const char* keyPath);
    std::vector<const NSObject*> handleContainerChain() const;
    // Local coordinates to the superview's; and from one view's coordinates to another's.
    CGAffineTransform handleTransformToSuperview() const;
    static CGAffineTransform handleConversion(const UIView& from, const UIView* to);
    std::size_t handleDepth() const;

    Weak<UIView> m_superview;
    Weak<UIWindow> m_window;
    Weak<UIResponder> m_viewController; // set by the controller whose root view this is
    std::vector<Ref<UIView>> m_subviews;
    CGRect m_bounds {};
    CGPoint m_center {};
    CGAffineTransform m_transform {};
    CGFloat m_alpha = 1;
    Ref<UIColor> m_backgroundColor;
    Ref<UIColor> m_tintColor;
    mutable Ref<CALayer> m_layer;
    std::vector<Ref<UIGestureRecognizer>> m_gestureRecognizers;
    std::vector<Ref<NSLayoutConstraint>> m_constraints;
    Ref<UIImage> m_contents; // what the display pass drew (or the image set); nil for views that draw nothing
    NSInteger m_tag = 0;
    UIViewContentMode m_contentMode = UIViewContentModeScaleToFill;
    UIViewAutoresizing m_autoresizingMask = UIViewAutoresizingNone;
    bool m_hidden = false;
    bool m_opaque = true;
    bool m_userInteractionEnabled = true;
    bool m_exclusiveTouch = false;
    bool m_autoresizesSubviews = true;
    bool m_translatesAutoresizingMaskIntoConstraints = true;
    bool m_contentsSupplied = false; // m_contents comes from setContentsImage, not from drawRect
    // Pass bookkeeping: a new view needs both; the scheduler clears the scheduled bits.
    bool m_needsLayout = true;
    bool m_layoutScheduled = false;
    bool m_needsDisplay = true;
    bool m_displayScheduled = false;
};
