// RFRefreshAutoGifFooter: an auto-loading state footer that plays an image sequence left of its
// text while loading (in the middle when the loading text is hidden); at rest and with no more
// data the images are hidden. Weak link to the image view.
//
//   footer->setImages(spinFrames, 0.6, RefreshStateRefreshing);
#pragma once

#include "ui/toolkit/refresh/RFRefreshAutoStateFooter.h"

class NSArray;
class UIImageView;

class RFRefreshAutoGifFooter : public RFRefreshAutoStateFooter {
    DV_CLASS(RFRefreshAutoGifFooter, RFRefreshAutoStateFooter)

    static Ref<RFRefreshAutoGifFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshAutoGifFooter>(std::move(block));
    }
    static Ref<RFRefreshAutoGifFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshAutoGifFooter>(target, action);
    }

    // Made on first use and added to the footer.
    Ref<UIImageView> gifView();
    // State number → array of images; state number → seconds of one round (NSNumber).
    Ref<NSMutableDictionary> stateImages();
    Ref<NSMutableDictionary> stateDurations();

    // Nil images are ignored. A first image taller than the footer makes the footer as tall.
    void setImages(const Ref<NSArray>& images, NSTimeInterval duration, RefreshState state);
    // 0.1 s per image.
    void setImages(const Ref<NSArray>& images, RefreshState state);

    void placeSubviews() override;
    void setState(RefreshState state) override;

private:
    dv::internal::toolkit::GifImages m_images;
};
