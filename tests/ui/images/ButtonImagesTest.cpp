// Buttons' images and background images per state, and image views' highlighted images, from a
// loopback server: one load per slot, placeholders, the remembered URLs, the nil-URL answer, the
// manual image set, and what a person sees while pressing.
#include "WebImageTestSupport.h"

#include "platform/ui/UIButton.h"
#include "ui/images/UIButtonWebCache.h"
#include "ui/images/UIImageViewHighlightedWebCache.h"
#include "ui/images/UIViewWebCacheOperation.h"

namespace dv::test {
namespace {

using dv::testing::RecordedRequest;
using dv::testing::ScriptedReply;

class ButtonImagesTest : public WebImageTest {
protected:
    Ref<UIButton> makeButton()
    {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setFrame(CGRectMake(40, 100, 120, 120));
        button->setAdjustsImageWhenHighlighted(false);
        window()->addSubview(button);
        return button;
    }
    std::shared_ptr<Gate> holdPictures()
    {
        auto gate = std::make_shared<Gate>();
        server.route("/pic", [gate](const RecordedRequest& request) {
            gate->pass();
            return imageReply(colourPNG(colourOf(std::stoul(request.query.substr(2)))));
        });
        return gate;
    }
    bool waitUntil(const std::function<bool()>& condition) { return dv::testing::runMainLoopUntil(condition); }
    int shownIndex(const Ref<UIImage>& image) { return indexOf(middleOf(image)); }

    Ref<UIImage> placeholder = colourImage({255, 255, 255, 255});
};

TEST_F(ButtonImagesTest, EachStateLoadsItsOwnImageInItsOwnSlot)
{
    auto gate = holdPictures();
    auto button = makeButton();
    ri_setImageWithURL(button, pictureURL(1), UIControlStateNormal, placeholder);
    ri_setImageWithURL(button, pictureURL(2), UIControlStateHighlighted, placeholder);
    EXPECT_EQ(button->imageForState(UIControlStateNormal), placeholder);
    EXPECT_EQ(button->imageForState(UIControlStateHighlighted), placeholder);
    ASSERT_TRUE(waitUntil([&] { return gate->arrived() == 2; }));
    EXPECT_EQ(manager->runningOperations()->count(), 2u);

    // The highlighted state's load is the one under its key; the normal one keeps running.
    ri_cancelImageLoadOperationWithKey(button, "UIButtonImageOperation1"_ns);
    EXPECT_EQ(manager->runningOperations()->count(), 1u);
    gate->open();
    ASSERT_TRUE(waitUntil([&] { return shownIndex(button->imageForState(UIControlStateNormal)) == 1; }));
    ASSERT_TRUE(waitUntil([&] { return !manager->isRunning(); }));
    EXPECT_EQ(button->imageForState(UIControlStateHighlighted), placeholder);

    // Asked again, the highlighted picture comes and shows while a finger presses the button.
    ri_setImageWithURL(button, pictureURL(2), UIControlStateHighlighted, placeholder);
    ASSERT_TRUE(waitUntil([&] { return shownIndex(button->imageForState(UIControlStateHighlighted)) == 2; }));
    ui().runUntilIdle();
    auto centre = *ui().tapPoint(button);
    EXPECT_EQ(indexOf(dv::testing::Pixels(ui().screenshot(1)).at(centre.x, centre.y)), 1);
    auto touch = ui().touchDown(centre);
    ui().runUntilIdle();
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_EQ(indexOf(dv::testing::Pixels(ui().screenshot(1)).at(centre.x, centre.y)), 2);
    ui().touchUp(touch, centre);
}

TEST_F(ButtonImagesTest, TheCurrentURLFallsBackToTheNormalState)
{
    servePictures();
    auto button = makeButton();
    EXPECT_FALSE(ri_currentImageURL(button));
    ri_setImageWithURL(button, pictureURL(3), UIControlStateNormal);
    ri_setImageWithURL(button, pictureURL(4), UIControlStateSelected);
    EXPECT_TRUE(dv::equal(ri_imageURLForState(button, UIControlStateNormal), pictureURL(3)));
    EXPECT_TRUE(dv::equal(ri_imageURLForState(button, UIControlStateSelected), pictureURL(4)));
    EXPECT_FALSE(ri_imageURLForState(button, UIControlStateHighlighted));

    auto centre = *ui().tapPoint(button);
    auto touch = ui().touchDown(centre);
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_TRUE(dv::equal(ri_currentImageURL(button), pictureURL(3)));
    ui().touchUp(touch, centre);
    button->setSelected(true);
    EXPECT_TRUE(dv::equal(ri_currentImageURL(button), pictureURL(4)));
    EXPECT_TRUE(dv::equal(currentImageURL(button), pictureURL(4)));
    EXPECT_TRUE(dv::equal(imageURLForState(button, UIControlStateNormal), pictureURL(3)));
}

TEST_F(ButtonImagesTest, ANilURLClearsTheSlotForgetsTheURLAndAnswersWithAnError)
{
    servePictures();
    auto button = makeButton();
    ri_setImageWithURL(button, pictureURL(5), UIControlStateNormal);
    ASSERT_TRUE(waitUntil([&] { return shownIndex(button->imageForState(UIControlStateNormal)) == 5; }));
    std::vector<ViewCall> calls;
    ri_setImageWithURL(button, nil, UIControlStateNormal, recordInto(calls));
    EXPECT_FALSE(button->imageForState(UIControlStateNormal));
    EXPECT_FALSE(ri_imageURLForState(button, UIControlStateNormal));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].error->code(), -1);
    EXPECT_EQ(dv::str(calls[0].error->domain()), "RIWebImageErrorDomain");
    EXPECT_EQ(dv::str(calls[0].error->localizedDescription()), "Trying to load a nil url");
    EXPECT_FALSE(calls[0].url);
    EXPECT_EQ(calls[0].cacheType, RIImageCacheTypeNone);
}

TEST_F(ButtonImagesTest, BackgroundImagesHaveSlotsOfTheirOwnAndNoRememberedURL)
{
    auto gate = holdPictures();
    auto button = makeButton();
    std::vector<ViewCall> calls;
    ri_setImageWithURL(button, pictureURL(6), UIControlStateNormal, placeholder);
    ri_setBackgroundImageWithURL(button, pictureURL(7), UIControlStateNormal, placeholder, recordInto(calls));
    EXPECT_EQ(button->backgroundImageForState(UIControlStateNormal), placeholder);
    ASSERT_TRUE(waitUntil([&] { return gate->arrived() == 2; }));
    // A new background request replaces only the background load.
    ri_setBackgroundImageWithURL(button, pictureURL(8), UIControlStateNormal, placeholder, recordInto(calls));
    EXPECT_EQ(manager->runningOperations()->count(), 2u);
    gate->open();
    ASSERT_TRUE(waitUntil([&] { return calls.size() == 1 && shownIndex(button->imageForState(UIControlStateNormal)) == 6; }));
    EXPECT_EQ(shownIndex(button->backgroundImageForState(UIControlStateNormal)), 8);
    EXPECT_TRUE(dv::equal(calls[0].url, pictureURL(8)));
    EXPECT_TRUE(dv::equal(ri_imageURLForState(button, UIControlStateNormal), pictureURL(6)));
    EXPECT_EQ(imageURLStorage(button)->count(), 1u);
    ASSERT_TRUE(waitUntil([&] { return downloader->currentDownloadCount() == 0; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(calls.size(), 1u) << "the replaced load never answers";
}

TEST_F(ButtonImagesTest, AFailedDownloadKeepsThePlaceholder)
{
    server.route("/gone.png", ScriptedReply {.status = 410});
    auto button = makeButton();
    std::vector<ViewCall> calls;
    ri_setImageWithURL(button, url("/gone.png"), UIControlStateNormal, placeholder, recordInto(calls));
    ASSERT_TRUE(waitUntil([&] { return calls.size() == 1; }));
    EXPECT_EQ(calls[0].error->code(), 410);
    EXPECT_FALSE(calls[0].image);
    EXPECT_EQ(button->imageForState(UIControlStateNormal), placeholder);
}

TEST_F(ButtonImagesTest, AManualImageSetHandsTheImageToTheBlockOnly)
{
    servePictures();
    auto button = makeButton();
    std::vector<ViewCall> calls;
    ri_setBackgroundImageWithURL(button, pictureURL(9), UIControlStateNormal, placeholder, RIWebImageLoadManualImageSet,
        recordInto(calls));
    ASSERT_TRUE(waitUntil([&] { return calls.size() == 1; }));
    EXPECT_EQ(shownIndex(calls[0].image), 9);
    EXPECT_TRUE(calls[0].onMainThread);
    EXPECT_EQ(button->backgroundImageForState(UIControlStateNormal), placeholder);
}

TEST_F(ButtonImagesTest, AButtonGoneBeforeItsImageHearsNothing)
{
    auto gate = holdPictures();
    std::vector<ViewCall> calls;
    {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        ri_setImageWithURL(button, pictureURL(10), UIControlStateNormal, recordInto(calls));
    }
    ASSERT_TRUE(waitUntil([&] { return gate->arrived() == 1; }));
    gate->open();
    ASSERT_TRUE(waitUntil([&] { return downloader->currentDownloadCount() == 0 && !manager->isRunning(); }));
    dv::testing::runUntilIdle();
    EXPECT_TRUE(calls.empty());
}

TEST_F(ButtonImagesTest, TheOlderNamesForward)
{
    auto gate = holdPictures();
    auto button = makeButton();
    int called = 0;
    setImageWithURL(button, pictureURL(11), UIControlStateNormal, placeholder,
        [&](const Ref<UIImage>& image, const Ref<NSError>&, RIImageCacheType) { called += image ? 1 : 0; });
    setBackgroundImageWithURL(button, pictureURL(12), UIControlStateNormal);
    ASSERT_TRUE(waitUntil([&] { return gate->arrived() == 2; }));
    // The current state is normal: its image load is the one cancelled.
    cancelCurrentImageLoad(button);
    EXPECT_EQ(manager->runningOperations()->count(), 1u);
    cancelBackgroundImageLoadForState(button, UIControlStateNormal);
    EXPECT_FALSE(manager->isRunning());
    gate->open();
    ASSERT_TRUE(waitUntil([&] { return downloader->currentDownloadCount() == 0; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(called, 0);
    EXPECT_EQ(button->imageForState(UIControlStateNormal), placeholder);
}

// --- Highlighted images -----------------------------------------------------------------------

TEST_F(ButtonImagesTest, AnImageViewsHighlightedImageLoadsWithoutTouchingItsImage)
{
    auto gate = holdPictures();
    auto view = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 100, 80, 80));
    window()->addSubview(view);
    auto image = colourImage(colourOf(40));
    auto oldHighlighted = colourImage(colourOf(41));
    view->setImage(image);
    view->setHighlightedImage(oldHighlighted);
    std::vector<ViewCall> calls;
    ri_setHighlightedImageWithURL(view, pictureURL(13), recordInto(calls));
    EXPECT_EQ(view->highlightedImage(), oldHighlighted) << "no placeholder";
    ASSERT_TRUE(waitUntil([&] { return gate->arrived() == 1; }));
    ri_setHighlightedImageWithURL(view, pictureURL(14), recordInto(calls));
    gate->open();
    ASSERT_TRUE(waitUntil([&] { return shownIndex(view->highlightedImage()) == 14; }));
    EXPECT_EQ(view->image(), image);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(dv::equal(calls[0].url, pictureURL(14)));
    view->setHighlighted(true);
    EXPECT_EQ(indexOf(dv::testing::Pixels(ui().screenshot(1)).at(40, 140)), 14);

    // No URL: the block hears of it, the highlighted image stays.
    ri_setHighlightedImageWithURL(view, nil, recordInto(calls));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].error->code(), -1);
    EXPECT_EQ(shownIndex(view->highlightedImage()), 14);
}

TEST_F(ButtonImagesTest, TheOlderHighlightedFormsPassTheirOptionsOn)
{
    servePictures();
    auto view = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 0, 20, 20));
    std::vector<std::pair<Ref<UIImage>, Ref<NSError>>> calls;
    auto note = [&calls](const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType) { calls.emplace_back(image, error); };
    setHighlightedImageWithURL(view, pictureURL(15), RIWebImageLoadManualImageSet, nil, note);
    setHighlightedImageWithURL(view, pictureURL(16), RIWebImageLoadManualImageSet, note);
    ASSERT_TRUE(waitUntil([&] { return calls.size() == 1; }));
    ASSERT_TRUE(waitUntil([&] { return !manager->isRunning(); }));
    dv::testing::runUntilIdle();
    // The first was replaced by the second; the manual set left the view alone.
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(shownIndex(calls[0].first), 16);
    EXPECT_FALSE(view->highlightedImage());
    setHighlightedImageWithURL(view, pictureURL(17));
    ASSERT_TRUE(waitUntil([&] { return shownIndex(view->highlightedImage()) == 17; }));
    cancelCurrentHighlightedImageLoad(view);
}

} // namespace
} // namespace dv::test
