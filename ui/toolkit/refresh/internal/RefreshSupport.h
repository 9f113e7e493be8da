// What the refresh family's classes share beyond their public surface.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIView.h"
#include "ui/toolkit/refresh/RFRefreshConst.h"

#include <functional>
#include <numbers>

class NSArray;
class NSMutableDictionary;
class UIImage;
class UIImageView;
class UIScrollView;

namespace dv::internal::toolkit {

// The object that holds the scroll view's data-count block (identity only), nil when none: a
// footer takes its own block back when it leaves, and only its own.
id reloadDataBlockHolder(const Ref<UIScrollView>& scrollView);

// The family's arrow, "RFRefresh.bundle/arrow.png" (else where a framework would keep it); nil
// when the resources have neither.
Ref<UIImage> refreshArrowImage();
// The application's demonstration images, those named "re1", "re2" and "re3" (the ones found).
Ref<NSArray> demonstrationImages();
// The arrow's turn: not quite a half turn, so that the way back to identity turns the same way.
inline const CGFloat kRefreshArrowTurn = 0.000001 - std::numbers::pi;

// Whether a subview places itself through layout constraints (then the family leaves it alone).
bool hasLayoutConstraints(const Ref<UIView>& view);

// The index of the image to show of `count` (at least 1) at a pulling percentage: count ×
// percent rounded down, the last image from count on, the first for a percentage that is not a
// positive number.
NSUInteger imageIndexForPullingPercent(NSUInteger count, CGFloat percent);

// A collection view finishes its reload animations before a refresh ends: the end waits this long.
inline constexpr NSTimeInterval kCollectionViewEndDelay = 0.1;

// The family's spinner: of `style`, hidden while stopped.
Ref<UIActivityIndicatorView> makeRefreshSpinner(UIActivityIndicatorViewStyle style);

// Takes the spinner kept in `slot` out of its view and forgets it (a spinner of an old style goes,
// rather than stay behind, unreachable); the next one is made anew.
void dropSpinner(Weak<UIActivityIndicatorView>& slot);

// `block` on the main queue `delay` seconds from now.
void dispatchAfterOnMainQueue(NSTimeInterval delay, std::function<void()> block);

// The subview kept in `slot`; when there is none (not made yet, or taken out and gone), the one
// `make` returns, added to `parent` and kept, weakly, in `slot`.
template <class V, class Make>
Ref<V> subviewMadeOnce(Weak<V>& slot, UIView& parent, Make&& make)
{
    if (auto existing = slot.lock())
        return existing;
    Ref<V> made = make();
    parent.addSubview(made);
    slot = made;
    return made;
}

// A text per state (state number → string), in a dictionary made on first use.
class StateTitles {
public:
    Ref<NSMutableDictionary> dictionary();
    // A nil title is ignored (NO).
    bool set(const Ref<NSString>& title, RefreshState state);
    // Nil when the state has none.
    Ref<NSString> title(RefreshState state);

private:
    Ref<NSMutableDictionary> m_titles;
};

// A sequence of images per state with the seconds one round takes, in dictionaries made on first
// use (state number → array of images, state number → NSNumber).
class StateImages {
public:
    static constexpr NSTimeInterval kSecondsPerImage = 0.1;

    Ref<NSMutableDictionary> images();
    Ref<NSMutableDictionary> durations();
    // Nil images are ignored (NO). A first image taller than `owner` makes `owner` as tall.
    bool set(const Ref<NSArray>& sequence, NSTimeInterval duration, RefreshState state, UIView& owner);
    // Nil when the state has none, or an empty array.
    Ref<NSArray> imagesFor(RefreshState state);
    NSTimeInterval durationFor(RefreshState state);

private:
    Ref<NSMutableDictionary> m_images;
    Ref<NSMutableDictionary> m_durations;
};

// The image view of the Gif header and footers with its images per state, and what the three
// share: the view made on first use and kept weakly, the images set per state (0.1 s an image by
// default), the idle images following the pull, and the view placed beside the text or alone in
// the middle.
class GifImages : public StateImages {
public:
    using StateImages::set;
    Ref<UIImageView> view(UIView& host);
    // 0.1 s per image; nil is ignored.
    void set(const Ref<NSArray>& sequence, RefreshState state, UIView& host);
    // While the host is idle: the idle image the pull has reached.
    void followPull(UIView& host, RefreshState state, CGFloat pullingPercent);
    // Beside the text (the images end this far left of the middle), or alone in the middle when no
    // text shows; a view placed by constraints is left alone.
    void place(UIView& host, bool textShown);
    // Plays the state's images (Shown: and shows the view); false when the state has none.
    enum class View { AsItIs, Shown };
    bool play(UIView& host, RefreshState state, View view);

private:
    Weak<UIImageView> m_view;
};

// Shows `images` (at least one) in `view` from their start: one image as a still picture (the
// last of the array), more as an animation of `duration` seconds a round.
void playImages(UIImageView& view, const Ref<NSArray>& images, NSTimeInterval duration);

} // namespace dv::internal::toolkit
