// RFRefreshGifHeader: a state header with an image view left of its text that shows a sequence
// of images per state: while the header is pulled into view, the idle images follow the pulling
// percentage one by one; pulling and refreshing play their own sequences (or show their one
// image). With both labels hidden the images stand in the middle. Weak link to the image view.
//
//   header->setImages(idleFrames, RefreshStateIdle);
//   header->setImages(spinFrames, 0.6, RefreshStateRefreshing);
#pragma once

#include "ui/toolkit/refresh/RFRefreshStateHeader.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

class NSArray;
class UIImageView;

class RFRefreshGifHeader : public RFRefreshStateHeader {
    DV_CLASS(RFRefreshGifHeader, RFRefreshStateHeader)

    static Ref<RFRefreshGifHeader> headerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshGifHeader>(std::move(block));
    }
    static Ref<RFRefreshGifHeader> headerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshGifHeader>(target, action);
    }

    // Made on first use and added to the header.
    Ref<UIImageView> gifView();
    // State number → array of images; state number → seconds of one round (NSNumber).
    Ref<NSMutableDictionary> stateImages();
    Ref<NSMutableDictionary> stateDurations();

    // Nil images are ignored. A first image taller than the header makes the header as tall.
    void setImages(const Ref<NSArray>& images, NSTimeInterval duration, RefreshState state);
    // 0.1 s per image.
    void setImages(const Ref<NSArray>& images, RefreshState state);

    void setPullingPercent(CGFloat pullingPercent) override;
    void placeSubviews() override;
    void setState(RefreshState state) override;

private:
    dv::internal::toolkit::GifImages m_images;
};
