// RFRefreshBackGifFooter: a back state footer with an image view left of its text (in the middle
// when the text is hidden): while the footer is pulled into view at rest, the idle images follow
// the pull one by one; pulling and refreshing play their own sequences (or show their one image);
// with no more data the images are hidden. Weak link to the image view.
//
//   footer->setImages(idleFrames, RefreshStateIdle);
//   footer->setImages(spinFrames, 0.6, RefreshStateRefreshing);
#pragma once

#include "ui/toolkit/refresh/RFRefreshBackStateFooter.h"

class NSArray;
class UIImageView;

class RFRefreshBackGifFooter : public RFRefreshBackStateFooter {
    DV_CLASS(RFRefreshBackGifFooter, RFRefreshBackStateFooter)

    static Ref<RFRefreshBackGifFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshBackGifFooter>(std::move(block));
    }
    static Ref<RFRefreshBackGifFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshBackGifFooter>(target, action);
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

    void setPullingPercent(CGFloat pullingPercent) override;
    void placeSubviews() override;
    void setState(RefreshState state) override;

private:
    dv::internal::toolkit::GifImages m_images;
};
