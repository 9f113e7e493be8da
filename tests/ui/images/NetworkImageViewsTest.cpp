// Image views and buttons loading through the network image downloader set for their class, from
// a loopback server: placeholders, one load per view or button slot (asking again for the same URL
// changes nothing, another URL withdraws silently), shared downloads, success blocks taking the
// image, answers from the cache (also when the cache fills between the view's lookup and the
// downloader's), failures, views that go first, and the button's eight slots.
#include "NetworkImageTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "ui/images/PNAutoPurgingImageCache.h"
#include "ui/images/UIButtonPNNetworking.h"
#include "ui/images/UIImageViewPNNetworking.h"

namespace dv::test {
namespace {

class NetworkImageViewsTest : public NetworkImageTest {
protected:
    void SetUp() override
    {
        NetworkImageTest::SetUp();
        setSharedImageDownloader(UIImageView::class_(), downloader);
        setSharedImageDownloader(UIButton::class_(), downloader);
    }
    void TearDown() override
    {
        setSharedImageDownloader(UIImageView::class_(), nil);
        setSharedImageDownloader(UIButton::class_(), nil);
        NetworkImageTest::TearDown();
    }
    static Ref<UIImageView> makeView() { return alloc<UIImageView>()->initWithFrame(CGRectMake(0, 0, 40, 40)); }
    bool waitForImage(const Ref<UIImageView>& view, int index)
    {
        return waitFor([&] { return indexOf(middleOf(view->image())) == index; });
    }

    Ref<UIImage> placeholder = colourImage({255, 255, 255, 255});
};

// A cache that answers its first lookup with a miss while holding the image: as if another
// download had stored it between the view's lookup and the downloader's.
class LateFillingCache : public NSObject, public PNImageRequestCache {
    DV_CLASS(LateFillingCache, NSObject)

public:
    Ref<PNAutoPurgingImageCache> store = alloc<PNAutoPurgingImageCache>()->init();
    int lookups = 0;

    void addImage(const Ref<UIImage>& image, const Ref<NSString>& identifier) override { store->addImage(image, identifier); }
    bool removeImageWithIdentifier(const Ref<NSString>& identifier) override { return store->removeImageWithIdentifier(identifier); }
    bool removeAllImages() override { return store->removeAllImages(); }
    Ref<UIImage> imageWithIdentifier(const Ref<NSString>& identifier) override { return store->imageWithIdentifier(identifier); }
    void addImage(const Ref<UIImage>& image, const Ref<NSURLRequest>& request, const Ref<NSString>& extra) override
    {
        store->addImage(image, request, extra);
    }
    bool removeImageforRequest(const Ref<NSURLRequest>& request, const Ref<NSString>& extra) override
    {
        return store->removeImageforRequest(request, extra);
    }
    Ref<UIImage> imageforRequest(const Ref<NSURLRequest>& request, const Ref<NSString>& extra) override
    {
        return ++lookups == 1 ? nil : store->imageforRequest(request, extra);
    }
};
DV_DEFINE_CLASS(LateFillingCache)

TEST_F(NetworkImageViewsTest, ThePlaceholderShowsUntilThePictureArrives)
{
    auto gate = holdPictures();
    auto view = makeView();
    setImageWithURL(view, pictureURL(5), placeholder);
    EXPECT_EQ(view->image(), placeholder);
    ASSERT_TRUE(pn_activeImageDownloadReceipt(view));
    EXPECT_TRUE(isActiveTaskURLEqualToURLRequest(view, pictureRequest(5)));
    EXPECT_FALSE(isActiveTaskURLEqualToURLRequest(view, pictureRequest(6)));
    gate->open();
    ASSERT_TRUE(waitForImage(view, 5));
    EXPECT_FALSE(pn_activeImageDownloadReceipt(view));
    EXPECT_FALSE(isActiveTaskURLEqualToURLRequest(view, pictureRequest(5)));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].header("accept"), "image/*");
    EXPECT_EQ(sharedImageDownloader(UIImageView::class_()), downloader);
}

TEST_F(NetworkImageViewsTest, AskingAgainForTheURLThatIsLoadingChangesNothing)
{
    auto gate = holdPictures();
    auto view = makeView();
    NetworkCalls calls;
    setImageWithURLRequest(view, pictureRequest(1), placeholder, calls.success("first"), calls.failure("first"));
    auto receipt = pn_activeImageDownloadReceipt(view);
    auto other = colourImage({0, 0, 0, 255});
    setImageWithURLRequest(view, pictureRequest(1), other, calls.success("second"), calls.failure("second"));
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(pn_activeImageDownloadReceipt(view), receipt);
    gate->open();
    ASSERT_TRUE(waitFor([&] { return calls.total() == 1; }));
    turnLoop();
    EXPECT_EQ(calls.order, (std::vector<std::string> {"first"}));
    EXPECT_EQ(server.requestCount("/pic"), 1u);
}

TEST_F(NetworkImageViewsTest, AnotherURLWithdrawsTheFirstLoadWhoseBlocksNeverRun)
{
    auto gate = holdPictures();
    auto view = makeView();
    NetworkCalls calls;
    setImageWithURLRequest(view, pictureRequest(1), placeholder, calls.success("one"), calls.failure("one"));
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
    setImageWithURL(view, pictureURL(2));
    gate->open();
    ASSERT_TRUE(waitForImage(view, 2));
    // The first download still completes into the cache, but never reaches the view.
    ASSERT_TRUE(waitFor([&] { return bool(downloader->imageCache()->imageforRequest(pictureRequest(1), nil)); }));
    turnLoop();
    EXPECT_EQ(calls.total(), 0u);
    EXPECT_EQ(indexOf(middleOf(view->image())), 2);
}

TEST_F(NetworkImageViewsTest, TwoViewsShareOneDownloadAndCancellingOneLeavesTheOther)
{
    auto gate = holdPictures();
    auto a = makeView();
    auto b = makeView();
    setImageWithURL(a, pictureURL(3), placeholder);
    setImageWithURL(b, pictureURL(3), placeholder);
    EXPECT_EQ(pn_activeImageDownloadReceipt(a)->task(), pn_activeImageDownloadReceipt(b)->task());
    cancelImageDownloadTask(a);
    EXPECT_FALSE(pn_activeImageDownloadReceipt(a));
    gate->open();
    ASSERT_TRUE(waitForImage(b, 3));
    turnLoop();
    EXPECT_EQ(a->image(), placeholder);
    EXPECT_EQ(server.requestCount("/pic"), 1u);
}

TEST_F(NetworkImageViewsTest, ASuccessBlockTakesTheImageInsteadOfTheView)
{
    auto view = makeView();
    NetworkCalls calls;
    setImageWithURLRequest(view, pictureRequest(4), placeholder, calls.success("download"), calls.failure());
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 1; }));
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(indexOf(middleOf(calls.successes[0].image)), 4);
    EXPECT_TRUE(calls.successes[0].response);
    EXPECT_FALSE(pn_activeImageDownloadReceipt(view));

    // From the cache the block runs inside the call, without response, whatever the cache policy.
    setImageWithURLRequest(view, pictureRequest(4, NSURLRequestReloadIgnoringLocalCacheData), nil, calls.success("cache"),
        calls.failure());
    ASSERT_EQ(calls.successes.size(), 2u);
    EXPECT_FALSE(calls.successes[1].response);
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_FALSE(pn_activeImageDownloadReceipt(view));

    // Without a block the cached image is set at once.
    setImageWithURL(view, pictureURL(4));
    EXPECT_EQ(indexOf(middleOf(view->image())), 4);
    EXPECT_EQ(server.requestCount("/pic"), 1u);
}

TEST_F(NetworkImageViewsTest, WithoutPlaceholderTheImageStaysAndWithoutURLThePlaceholderShows)
{
    auto gate = holdPictures();
    auto view = makeView();
    auto current = colourImage(colourOf(40));
    view->setImage(current);
    setImageWithURL(view, pictureURL(6));
    EXPECT_EQ(view->image(), current);
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));

    // No URL: the running load is withdrawn and the placeholder shown (nil included).
    NetworkCalls calls;
    setImageWithURLRequest(view, NSURLRequest::requestWithURL(nil), placeholder, calls.success(), calls.failure());
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_FALSE(pn_activeImageDownloadReceipt(view));
    setImageWithURL(view, nil);
    EXPECT_FALSE(view->image());
    gate->open();
    ASSERT_TRUE(waitFor([&] { return downloader->activeRequestCount() == 0; }));
    turnLoop();
    EXPECT_FALSE(view->image());
    EXPECT_EQ(calls.total(), 0u);
}

TEST_F(NetworkImageViewsTest, AnAnswerFromTheDownloadersCacheStillReachesTheView)
{
    auto cache = alloc<LateFillingCache>();
    cache->addImage(colourImage(colourOf(7)), pictureRequest(7), nil);
    auto manager = downloader->sessionManager();
    downloader = alloc<PNImageDownloader>()->initWithSessionManager(manager, PNImageDownloadPrioritizationFIFO, 4, cache);
    setSharedImageDownloader(UIImageView::class_(), downloader);

    auto view = makeView();
    NetworkCalls calls;
    setImageWithURL(view, pictureURL(7), placeholder);
    EXPECT_EQ(view->image(), placeholder); // the view's own lookup missed
    EXPECT_EQ(cache->lookups, 2);
    ASSERT_TRUE(waitForImage(view, 7));
    EXPECT_FALSE(pn_activeImageDownloadReceipt(view));
    EXPECT_EQ(server.requestCount("/pic"), 0u);

    cache->lookups = 0;
    auto other = makeView();
    setImageWithURLRequest(other, pictureRequest(7), placeholder, calls.success("block"), calls.failure());
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 1; }));
    EXPECT_FALSE(calls.successes[0].response);
    EXPECT_EQ(other->image(), placeholder);
}

TEST_F(NetworkImageViewsTest, FailuresReachTheFailureBlockUnchanged)
{
    server.route("/gone", dv::testing::ScriptedReply {.status = 410, .body = "gone"});
    auto view = makeView();
    NetworkCalls calls;
    auto request = NSURLRequest::requestWithURL(url("/gone"));
    setImageWithURLRequest(view, request, placeholder, calls.success(), calls.failure("failed"));
    ASSERT_TRUE(waitFor([&] { return calls.failures.size() == 1; }));
    EXPECT_EQ(calls.failures[0].error->code(), NSURLErrorBadServerResponse);
    EXPECT_EQ(calls.failures[0].response->statusCode(), 410);
    EXPECT_EQ(calls.failures[0].request, request);
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_FALSE(pn_activeImageDownloadReceipt(view));
}

TEST_F(NetworkImageViewsTest, AViewGoneBeforeItsPictureHearsNothing)
{
    auto gate = holdPictures();
    auto calls = std::make_shared<NetworkCalls>();
    Weak<UIImageView> weak;
    {
        auto view = makeView();
        weak = view;
        setImageWithURLRequest(view, pictureRequest(8), placeholder, calls->success(), calls->failure());
    }
    EXPECT_FALSE(weak.lock());
    gate->open();
    ASSERT_TRUE(waitFor([&] { return bool(downloader->imageCache()->imageforRequest(pictureRequest(8), nil)); }));
    turnLoop();
    EXPECT_EQ(calls->total(), 0u);
}

TEST_F(NetworkImageViewsTest, ASubclassLoadsThroughItsOwnClassSetting)
{
    EXPECT_EQ(sharedImageDownloader(UIImageView::class_()), downloader);
    // A class without a setting of its own uses the process's default downloader.
    EXPECT_EQ(sharedImageDownloader(UIButton::class_()), downloader);
    setSharedImageDownloader(UIButton::class_(), nil);
    EXPECT_EQ(sharedImageDownloader(UIButton::class_()), PNImageDownloader::defaultInstance());
    setSharedImageDownloader(UIButton::class_(), downloader);
}

TEST_F(NetworkImageViewsTest, AButtonHasOneSlotPerKindForEachOfItsFourStates)
{
    auto gate = holdPictures();
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    NetworkCalls calls;
    setImageForState(button, UIControlStateNormal, pictureRequest(1), placeholder, nullptr, calls.failure("normal"));
    EXPECT_EQ(button->imageForState(UIControlStateNormal), placeholder);
    // Highlighted and disabled together is no slot of its own: it withdraws the normal state's load.
    setImageForState(button, UIControlStateHighlighted | UIControlStateDisabled, pictureURL(2));
    EXPECT_FALSE(isActiveTaskURLEqualToURLRequest(button, pictureRequest(1), UIControlStateNormal));
    EXPECT_TRUE(isActiveTaskURLEqualToURLRequest(button, pictureRequest(2), UIControlStateNormal));
    setImageForState(button, UIControlStateHighlighted, pictureURL(3));
    setImageForState(button, UIControlStateSelected, pictureURL(4));
    setImageForState(button, UIControlStateDisabled, pictureURL(5));
    setBackgroundImageForState(button, UIControlStateNormal, pictureURL(6), placeholder);
    EXPECT_TRUE(isActiveTaskURLEqualToURLRequest(button, pictureRequest(3), UIControlStateHighlighted));
    EXPECT_TRUE(isActiveBackgroundTaskURLEqualToURLRequest(button, pictureRequest(6), UIControlStateNormal));
    EXPECT_FALSE(isActiveBackgroundTaskURLEqualToURLRequest(button, pictureRequest(2), UIControlStateNormal));
    gate->open();
    ASSERT_TRUE(waitFor([&] {
        return button->imageForState(UIControlStateHighlighted | UIControlStateDisabled)
            && button->imageForState(UIControlStateHighlighted) && button->imageForState(UIControlStateSelected)
            && button->imageForState(UIControlStateDisabled) && button->backgroundImageForState(UIControlStateNormal) != placeholder;
    }));
    EXPECT_EQ(indexOf(middleOf(button->imageForState(UIControlStateHighlighted | UIControlStateDisabled))), 2);
    EXPECT_EQ(indexOf(middleOf(button->imageForState(UIControlStateHighlighted))), 3);
    EXPECT_EQ(indexOf(middleOf(button->imageForState(UIControlStateSelected))), 4);
    EXPECT_EQ(indexOf(middleOf(button->imageForState(UIControlStateDisabled))), 5);
    EXPECT_EQ(indexOf(middleOf(button->backgroundImageForState(UIControlStateNormal))), 6);
    // The withdrawn normal-state load left its placeholder and told nobody.
    EXPECT_EQ(button->imageForState(UIControlStateNormal), placeholder);
    EXPECT_EQ(calls.total(), 0u);
}

TEST_F(NetworkImageViewsTest, ABackgroundLoadNeverDisturbsTheImageLoadOfItsState)
{
    auto gate = holdPictures();
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    setImageForState(button, UIControlStateSelected, pictureURL(1), placeholder);
    setBackgroundImageForState(button, UIControlStateSelected, pictureURL(2));
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 2; }));
    gate->open();
    ASSERT_TRUE(waitFor([&] { return bool(button->backgroundImageForState(UIControlStateSelected)); }));
    ASSERT_TRUE(waitFor([&] { return indexOf(middleOf(button->imageForState(UIControlStateSelected))) == 1; }));
    EXPECT_EQ(indexOf(middleOf(button->backgroundImageForState(UIControlStateSelected))), 2);

    // Loaded once, the same URL again sets it again, at once, from the cache.
    button->setBackgroundImage(nil, UIControlStateSelected);
    setBackgroundImageForState(button, UIControlStateSelected, pictureURL(2));
    EXPECT_EQ(indexOf(middleOf(button->backgroundImageForState(UIControlStateSelected))), 2);
    EXPECT_EQ(server.requestCount("/pic"), 2u);

    // Cancelling a slot withdraws only that slot's load.
    auto held = holdPictures();
    setBackgroundImageForState(button, UIControlStateDisabled, pictureURL(8), placeholder);
    setImageForState(button, UIControlStateDisabled, pictureURL(9), placeholder);
    ASSERT_TRUE(waitFor([&] { return held->waiting() == 2; }));
    cancelBackgroundImageDownloadTaskForState(button, UIControlStateDisabled);
    EXPECT_FALSE(pn_backgroundImageDownloadReceiptForState(button, UIControlStateDisabled));
    held->open();
    ASSERT_TRUE(waitFor([&] { return indexOf(middleOf(button->imageForState(UIControlStateDisabled))) == 9; }));
    ASSERT_TRUE(waitFor([&] { return downloader->activeRequestCount() == 0; }));
    turnLoop();
    EXPECT_EQ(button->backgroundImageForState(UIControlStateDisabled), placeholder);
}

TEST_F(NetworkImageViewsTest, AButtonRequestWithoutURLShowsThePlaceholderAndDownloadsNothing)
{
    auto gate = holdPictures();
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    setImageForState(button, UIControlStateNormal, pictureURL(1));
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
    NetworkCalls calls;
    setImageForState(button, UIControlStateNormal, NSURLRequest::requestWithURL(nil), placeholder, calls.success(), calls.failure());
    EXPECT_EQ(button->imageForState(UIControlStateNormal), placeholder);
    EXPECT_FALSE(pn_imageDownloadReceiptForState(button, UIControlStateNormal));
    setBackgroundImageForState(button, UIControlStateNormal, Ref<NSURL>(), placeholder);
    EXPECT_EQ(button->backgroundImageForState(UIControlStateNormal), placeholder);
    gate->open();
    ASSERT_TRUE(waitFor([&] { return downloader->activeRequestCount() == 0; }));
    turnLoop();
    EXPECT_EQ(button->imageForState(UIControlStateNormal), placeholder);
    EXPECT_EQ(calls.total(), 0u);
    EXPECT_EQ(server.requestCount("/pic"), 1u);
}

} // namespace
} // namespace dv::test
