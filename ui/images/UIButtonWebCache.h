// UIButton(WebCache): a button's image and background image per control state from URLs, through
// the shared image manager. Each slot (image of a state, background of a state) runs at most one
// load, kept in the view's operation table under "UIButtonImageOperation<state>" or
// "UIButtonBackgroundImageOperation<state>"; a new request for a slot cancels the old one first.
// The URL asked for each state's image is remembered. Main thread for set-up; images and blocks
// always reach the button on the main thread.
//
//   ri_setImageWithURL(button, url, UIControlStateHighlighted, placeholder);
//   ri_currentImageURL(button); // the highlighted state's URL while highlighted, else the normal one
#pragma once

#include "platform/ui/UIButton.h"
#include "ui/images/RIWebImageManager.h"

Ref<NSURL> ri_currentImageURL(const Ref<UIButton>& button);
Ref<NSURL> ri_imageURLForState(const Ref<UIButton>& button, UIControlState state);

// The image for a state: the placeholder (or none) at once, then the loaded image. The shorter
// forms pass no placeholder, options 0 and no block.
void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state);
void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder);
void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options);
void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, RIWebImageCompletionBlock completed);
void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageCompletionBlock completed);
void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageCompletionBlock completed);

// The same for the background image of a state; it remembers no URL.
void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state);
void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder);
void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options);
void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    RIWebImageCompletionBlock completed);
void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageCompletionBlock completed);
void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options, RIWebImageCompletionBlock completed);

void ri_setImageLoadOperation(const Ref<UIButton>& button, const id& operation, UIControlState state);
void ri_cancelImageLoadForState(const Ref<UIButton>& button, UIControlState state);
void ri_setBackgroundImageLoadOperation(const Ref<UIButton>& button, const id& operation, UIControlState state);
void ri_cancelBackgroundImageLoadForState(const Ref<UIButton>& button, UIControlState state);

// The URLs asked for per state's image (keys: the states as numbers), made empty on first use.
Ref<NSMutableDictionary> imageURLStorage(const Ref<UIButton>& button);

// UIButton(WebCacheDeprecated): the older names, forwarding to the forms above; their blocks get
// no URL.
Ref<NSURL> currentImageURL(const Ref<UIButton>& button);
Ref<NSURL> imageURLForState(const Ref<UIButton>& button, UIControlState state);
void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state);
void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder);
void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options);
void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, RIWebImageCompletedBlock completed);
void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageCompletedBlock completed);
void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageCompletedBlock completed);
void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state);
void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder);
void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options);
void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    RIWebImageCompletedBlock completed);
void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageCompletedBlock completed);
void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options, RIWebImageCompletedBlock completed);
// The load of the button's current state.
void cancelCurrentImageLoad(const Ref<UIButton>& button);
void cancelBackgroundImageLoadForState(const Ref<UIButton>& button, UIControlState state);
