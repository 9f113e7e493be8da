// Image views loading remote pictures: memory hits set at once, placeholders (shown, deferred,
// kept on failure), a new request cancelling the old one (a reused cell never shows the picture of
// its previous row), the spinner, the manual image set, animation frames, calls from other
// threads, and a 500-row table of remote pictures scrolled with the driver.
#include "WebImageTestSupport.h"

#include "platform/base/NSIndexPath.h"
#include "platform/net/NSURLError.h"
#include "platform/ui/NSLayoutConstraint.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UITableViewCell.h"
#include "ui/images/UIImageViewWebCache.h"
#include "ui/images/UIViewWebCacheOperation.h"

#include <atomic>
#include <set>
#include <thread>

namespace dv::test {
namespace {

using dv::testing::DragOptions;
using dv::testing::RecordedRequest;
using dv::testing::ScriptedReply;

class ImageViewLoadingTest : public WebImageTest {
protected:
    Ref<UIImageView> makeView(CGRect frame = CGRectMake(20, 40, 100, 100))
    {
        auto view = alloc<UIImageView>()->initWithFrame(frame);
        window()->addSubview(view);
        return view;
    }
    // Replies to "/pic?i=..." only once the gate opens.
    std::shared_ptr<Gate> holdPictures()
    {
        auto gate = std::make_shared<Gate>();
        server.route("/pic", [gate](const RecordedRequest& request) {
            gate->pass();
            return imageReply(colourPNG(colourOf(std::stoul(request.query.substr(2)))));
        });
        return gate;
    }
    // A few turns of the main loop (passes included), without waiting for held downloads.
    static void turnLoop()
    {
        int turns = 0;
        dv::testing::runMainLoopUntil([&turns] { return ++turns > 3; });
    }
    bool waitForImage(const Ref<UIImageView>& view, int index)
    {
        return dv::testing::runMainLoopUntil([&] { return indexOf(middleOf(view->image())) == index; });
    }

    Ref<UIImage> placeholder = colourImage({255, 255, 255, 255});
};

TEST_F(ImageViewLoadingTest, AMemoryHitOnTheMainThreadSetsTheImageBeforeTheCallReturns)
{
    auto view = makeView();
    auto picture = colourImage(colourOf(3));
    cache->storeImage(picture, pictureURL(3)->absoluteString(), false);
    std::vector<ViewCall> calls;
    ri_setImageWithURL(view, pictureURL(3), placeholder, recordInto(calls));
    EXPECT_EQ(view->image(), picture);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].cacheType, RIImageCacheTypeMemory);
    EXPECT_TRUE(dv::equal(calls[0].url, pictureURL(3)));
    EXPECT_FALSE(manager->isRunning());
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(ImageViewLoadingTest, AViewMadeWhereAnotherDiedHasNoneOfItsURLOrSettings)
{
    // The allocator gives a view the place of the one just freed: what the library remembers of
    // the view last set must not pass to the new one.
    std::set<const UIImageView*> seen;
    int reused = 0;
    for (std::size_t i = 0; i < 12; ++i) {
        turnLoop(); // the view before is gone
        auto view = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 0, 40, 40));
        reused += !seen.insert(view.get()).second;
        EXPECT_FALSE(ri_imageURL(view)) << i;
        EXPECT_FALSE(showActivityIndicatorView(view)) << i;
        cache->storeImage(colourImage(colourOf(i)), pictureURL(i)->absoluteString(), false);
        ri_setImageWithURL(view, pictureURL(i));
        setShowActivityIndicatorView(view, true);
        EXPECT_EQ(indexOf(middleOf(view->image())), int(i));
        EXPECT_TRUE(dv::equal(ri_imageURL(view), pictureURL(i)));
    }
#if !defined(__SANITIZE_ADDRESS__)
    // The address sanitizer keeps freed memory out of use for a while, so there no place is reused.
    EXPECT_GT(reused, 0) << "no view was made where another had been";
#else
    (void)reused;
#endif
}

TEST_F(ImageViewLoadingTest, ThePlaceholderShowsUntilThePictureArrives)
{
    auto gate = holdPictures();
    auto view = makeView();
    view->setImage(colourImage(colourOf(100)));
    std::vector<ViewCall> calls;
    ri_setImageWithURL(view, pictureURL(4), placeholder, recordInto(calls));
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_TRUE(dv::equal(ri_imageURL(view), pictureURL(4)));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->arrived() == 1; }));
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_TRUE(calls.empty());
    gate->open();
    ASSERT_TRUE(waitForImage(view, 4));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].onMainThread);
    EXPECT_EQ(calls[0].cacheType, RIImageCacheTypeNone);
    EXPECT_EQ(calls[0].image, view->image());
    // What a person sees: the picture fills the view.
    const dv::testing::Pixels shot(ui().screenshot(1));
    EXPECT_EQ(indexOf(shot.at(70, 90)), 4);
}

TEST_F(ImageViewLoadingTest, AProgressiveLoadShowsEachPartAndCallsTheBlockOnceAtTheEnd)
{
    PacedPicture paced(noisyPNG(64, 64));
    auto view = makeView();
    std::vector<ViewCall> calls;
    ri_setImageWithURL(view, paced.url(), placeholder, RIWebImageLoadProgressive, recordInto(calls));
    EXPECT_EQ(view->image(), placeholder);
    Ref<UIImage> shown = placeholder;
    for (int part = 1; part < 3; ++part) {
        // Each part replaces what the view showed, without a call of the block.
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return view->image() != shown; })) << part;
        shown = view->image();
        EXPECT_TRUE(calls.empty()) << part;
        paced.release(part);
        // Partial images come at most once per interval: the part is shown when it ends.
        clock().advance(RIWebImageDownloaderOperation::partialImageInterval);
    }
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !calls.empty(); }));
    turnLoop();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].image);
    EXPECT_FALSE(calls[0].error);
    EXPECT_TRUE(calls[0].onMainThread);
    EXPECT_EQ(view->image(), calls[0].image);
}

TEST_F(ImageViewLoadingTest, ANilURLShowsThePlaceholderAndAnswersWithAnError)
{
    auto gate = holdPictures();
    auto view = makeView();
    setShowActivityIndicatorView(view, true);
    ri_setImageWithURL(view, pictureURL(1));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->arrived() == 1; }));
    EXPECT_TRUE(activityIndicator(view));

    std::vector<ViewCall> calls;
    ri_setImageWithURL(view, nil, placeholder, recordInto(calls));
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_FALSE(ri_imageURL(view));
    EXPECT_FALSE(activityIndicator(view));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(dv::str(calls[0].error->domain()), "RIWebImageErrorDomain");
    EXPECT_EQ(calls[0].error->code(), -1);
    EXPECT_EQ(dv::str(calls[0].error->localizedDescription()), "Trying to load a nil url");
    EXPECT_FALSE(calls[0].url);
    // The earlier load was cancelled: its picture never comes.
    gate->open();
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return downloader->currentDownloadCount() == 0; }));
    ui().runUntilIdle();
    EXPECT_EQ(view->image(), placeholder);

    // The short form, as the carousel uses it: placeholder, nothing else.
    ri_setImageWithURL(view, nil, colourImage(colourOf(9)));
    EXPECT_EQ(indexOf(middleOf(view->image())), 9);
}

TEST_F(ImageViewLoadingTest, ADeferredPlaceholderShowsOnlyWhenNothingCame)
{
    servePictures();
    server.route("/missing.png", ScriptedReply {.status = 404});
    auto view = makeView();
    auto before = colourImage(colourOf(50));
    view->setImage(before);
    std::vector<ViewCall> calls;
    ri_setImageWithURL(view, url("/missing.png"), placeholder, RIWebImageLoadDeferPlaceholder, recordInto(calls));
    EXPECT_EQ(view->image(), before);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return calls.size() == 1; }));
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(calls[0].error->code(), 404);

    ri_setImageWithURL(view, pictureURL(6), placeholder, RIWebImageLoadDeferPlaceholder, recordInto(calls));
    EXPECT_EQ(view->image(), placeholder);
    ASSERT_TRUE(waitForImage(view, 6));
}

TEST_F(ImageViewLoadingTest, AFailedURLIsRememberedUntilRetried)
{
    std::atomic<bool> missing { true };
    server.route("/later.png", [&missing](const RecordedRequest&) {
        return missing ? ScriptedReply {.status = 404} : imageReply(colourPNG(colourOf(12)));
    });
    auto view = makeView();
    std::vector<ViewCall> calls;
    ri_setImageWithURL(view, url("/later.png"), placeholder, recordInto(calls));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return calls.size() == 1; }));
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(calls[0].error->code(), 404);

    missing = false;
    ri_setImageWithURL(view, url("/later.png"), placeholder, recordInto(calls));
    ASSERT_EQ(calls.size(), 2u) << "a known failure answers at once";
    EXPECT_EQ(calls[1].error->code(), NSURLErrorFileDoesNotExist);
    EXPECT_EQ(server.requestCount("/later.png"), 1u);

    ri_setImageWithURL(view, url("/later.png"), placeholder, RIWebImageLoadRetryFailedURL, recordInto(calls));
    ASSERT_TRUE(waitForImage(view, 12));
    EXPECT_EQ(server.requestCount("/later.png"), 2u);
    EXPECT_FALSE(manager->failedURLs()->containsObject(url("/later.png")));
}

TEST_F(ImageViewLoadingTest, ANewRequestCancelsTheOldOneSoItsPictureNeverShows)
{
    auto gate = holdPictures();
    auto view = makeView();
    std::vector<ViewCall> first, second;
    ri_setImageWithURL(view, pictureURL(1), placeholder, recordInto(first));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->arrived() == 1; }));
    ri_setImageWithURL(view, pictureURL(2), placeholder, recordInto(second));
    EXPECT_TRUE(dv::equal(ri_imageURL(view), pictureURL(2)));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->arrived() == 2; }));
    gate->open();
    ASSERT_TRUE(waitForImage(view, 2));
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return downloader->currentDownloadCount() == 0; }));
    dv::testing::runUntilIdle();
    EXPECT_TRUE(first.empty());
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(indexOf(middleOf(view->image())), 2);
    // The cancelled download was not kept.
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey(pictureURL(1)->absoluteString()));
}

TEST_F(ImageViewLoadingTest, ViewsSharingADownloadKeepTheirOwnWhenTheFirstMovesOn)
{
    auto gate = holdPictures();
    auto a = makeView(CGRectMake(0, 40, 100, 100)), b = makeView(CGRectMake(120, 40, 100, 100));
    std::vector<ViewCall> calls;
    ri_setImageWithURL(a, pictureURL(5), placeholder);
    ri_setImageWithURL(b, pictureURL(5), placeholder, recordInto(calls));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->arrived() == 1; }));
    EXPECT_EQ(downloader->currentDownloadCount(), 1u);
    ri_setImageWithURL(a, pictureURL(6), placeholder);
    gate->open();
    ASSERT_TRUE(waitForImage(a, 6));
    ASSERT_TRUE(waitForImage(b, 5));
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(server.requestCount("/pic"), 2u);
}

TEST_F(ImageViewLoadingTest, AViewGoneBeforeItsPictureHearsNothing)
{
    auto gate = holdPictures();
    std::vector<ViewCall> calls;
    {
        auto view = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 0, 10, 10));
        ri_setImageWithURL(view, pictureURL(7), placeholder, recordInto(calls));
    }
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->arrived() == 1; }));
    gate->open();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return downloader->currentDownloadCount() == 0 && !manager->isRunning(); }));
    dv::testing::runUntilIdle();
    EXPECT_TRUE(calls.empty());
    // The picture was still fetched and kept.
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey(pictureURL(7)->absoluteString()));
}

TEST_F(ImageViewLoadingTest, TheSpinnerTurnsInTheMiddleWhileTheLoadRuns)
{
    auto gate = holdPictures();
    auto view = makeView(CGRectMake(20, 40, 200, 120));
    EXPECT_FALSE(showActivityIndicatorView(view));
    EXPECT_EQ(getIndicatorStyle(view), UIActivityIndicatorViewStyleWhiteLarge);
    setShowActivityIndicatorView(view, true);
    setIndicatorStyle(view, UIActivityIndicatorViewStyleGray);
    ri_setImageWithURL(view, pictureURL(8), placeholder);
    turnLoop();
    auto spinner = ui().find<UIActivityIndicatorView>();
    ASSERT_TRUE(spinner);
    EXPECT_EQ(spinner, activityIndicator(view));
    EXPECT_EQ(spinner->superview(), view);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_EQ(spinner->activityIndicatorViewStyle(), UIActivityIndicatorViewStyleGray);
    EXPECT_FALSE(spinner->translatesAutoresizingMaskIntoConstraints());
    EXPECT_TRUE(CGRectEqualToRect(ui().frameInWindow(spinner), CGRectMake(110, 90, 20, 20)));

    // A second request while it shows keeps the one spinner.
    ri_setImageWithURL(view, pictureURL(9), placeholder);
    turnLoop();
    EXPECT_EQ(ui().findAll<UIActivityIndicatorView>().size(), 1u);

    gate->open();
    ASSERT_TRUE(waitForImage(view, 9));
    ui().runUntilIdle();
    EXPECT_FALSE(activityIndicator(view));
    EXPECT_FALSE(spinner->superview());
    EXPECT_FALSE(ui().find<UIActivityIndicatorView>(true));
}

TEST_F(ImageViewLoadingTest, AManualImageSetLeavesTheViewToTheCaller)
{
    servePictures();
    auto view = makeView();
    std::vector<ViewCall> calls;
    ri_setImageWithURL(view, pictureURL(10), placeholder, RIWebImageLoadManualImageSet, recordInto(calls));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return calls.size() == 1; }));
    EXPECT_EQ(indexOf(middleOf(calls[0].image)), 10);
    EXPECT_EQ(view->image(), placeholder);

    // Without a block there is no one to hand it to: it is set as usual.
    ri_setImageWithURL(view, pictureURL(11), placeholder, RIWebImageLoadManualImageSet);
    ASSERT_TRUE(waitForImage(view, 11));
}

TEST_F(ImageViewLoadingTest, AnimationFramesAreAppendedAsTheyArrive)
{
    servePictures();
    server.route("/missing.png", ScriptedReply {.status = 404});
    auto view = makeView();
    auto urls = NSArray::of({pictureURL(1), url("/missing.png"), pictureURL(2)});
    ri_setAnimationImagesWithURLs(view, urls);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return view->animationImages() && view->animationImages()->count() == 2; }));
    EXPECT_TRUE(view->isAnimating());
    ri_setAnimationImagesWithURLs(view, NSArray::of({pictureURL(3)}));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return view->animationImages()->count() == 3; }));
    std::set<int> firstTwo {indexOf(middleOf(dv::as<UIImage>(view->animationImages()->objectAtIndex(0)))),
        indexOf(middleOf(dv::as<UIImage>(view->animationImages()->objectAtIndex(1))))};
    EXPECT_EQ(firstTwo, (std::set<int> {1, 2}));
    EXPECT_EQ(indexOf(middleOf(dv::as<UIImage>(view->animationImages()->objectAtIndex(2)))), 3);
    EXPECT_TRUE(view->isAnimating());
}

TEST_F(ImageViewLoadingTest, CancellingTheAnimationLoadsStopsEveryOne)
{
    auto gate = holdPictures();
    auto view = makeView();
    ri_setAnimationImagesWithURLs(view, NSArray::of({pictureURL(1), pictureURL(2)}));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->arrived() == 2; }));
    EXPECT_EQ(manager->runningOperations()->count(), 2u);
    ri_cancelCurrentAnimationImagesLoad(view);
    EXPECT_FALSE(manager->isRunning());
    gate->open();
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return downloader->currentDownloadCount() == 0; }));
    dv::testing::runUntilIdle();
    EXPECT_FALSE(view->animationImages());
}

TEST_F(ImageViewLoadingTest, CallsFromAnotherThreadReachTheViewOnTheMainThread)
{
    auto gate = holdPictures();
    auto view = makeView();
    view->setImage(colourImage(colourOf(60)));
    std::vector<ViewCall> calls;
    std::atomic<bool> returned { false };
    std::thread worker([&] {
        ri_setImageWithURL(view, pictureURL(13), placeholder, recordInto(calls));
        returned = true;
    });
    worker.join();
    // The placeholder is queued for the main thread, not set from the worker.
    EXPECT_EQ(indexOf(middleOf(view->image())), 60);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return view->image() == placeholder; }));
    gate->open();
    ASSERT_TRUE(waitForImage(view, 13));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].onMainThread);
}

TEST_F(ImageViewLoadingTest, ThePreviousCachedImageStandsInWhileRefreshing)
{
    auto gate = holdPictures();
    auto view = makeView();
    auto u = pictureURL(14);
    cache->storeImage(colourImage(colourOf(200)), false, colourPNG(colourOf(200)), u->absoluteString(), true);
    (void)cache->getSize();
    cache->clearMemory();
    ri_setImageWithPreviousCachedImageWithURL(view, u, placeholder, RIWebImageLoadRefreshFromServer, nil, nil);
    EXPECT_EQ(indexOf(middleOf(view->image())), 200);
    gate->open();
    ASSERT_TRUE(waitForImage(view, 14));
}

TEST_F(ImageViewLoadingTest, TheOlderNamesForward)
{
    servePictures();
    auto view = makeView();
    int called = 0;
    setImageWithURL(view, pictureURL(15), placeholder, 0, [&](const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType) {
        ++called;
        EXPECT_TRUE(image);
        EXPECT_FALSE(error);
    });
    EXPECT_TRUE(dv::equal(imageURL(view), pictureURL(15)));
    ASSERT_TRUE(waitForImage(view, 15));
    EXPECT_EQ(called, 1);
    // The older forms pass a block of their own: a manual image set leaves the view alone.
    setImageWithURL(view, pictureURL(16), placeholder, RIWebImageLoadManualImageSet, RIWebImageCompletedBlock());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return cache->imageFromMemoryCacheForKey(pictureURL(16)->absoluteString()) != nil; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(view->image(), placeholder);
    cancelCurrentImageLoad(view);
    setAnimationImagesWithURLs(view, NSArray::of({pictureURL(15)}));
    EXPECT_EQ(view->animationImages()->count(), 1u) << "a memory hit, at once";
    cancelCurrentArrayLoad(view);
}

// --- A list of remote pictures, scrolled --------------------------------------------------------

// An image view that notes every picture set on it that is not the one of its current row.
class CheckedImageView : public UIImageView {
public:
    NSInteger row = -1;
    Ref<UIImage> placeholder;
    std::vector<std::string>* wrong = nullptr;
    void setImage(const Ref<UIImage>& image) override
    {
        if (image && image != placeholder) {
            const int shown = indexOf(middleOf(image));
            if (shown != row)
                wrong->push_back("row " + std::to_string(row) + " got picture " + std::to_string(shown));
        }
        UIImageView::setImage(image);
    }
};

class PictureCell : public UITableViewCell {
public:
    Ref<CheckedImageView> picture;
};

class PictureList : public NSObject, public UITableViewDataSource, public UITableViewDelegate {
public:
    static constexpr NSInteger rows = 500;
    std::function<Ref<NSURL>(NSInteger)> urlFor;
    Ref<UIImage> placeholder;
    std::vector<std::string> wrong;
    int cellsMade = 0;

    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) override { return rows; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>& table, const Ref<NSIndexPath>& path) override
    {
        auto cell = std::static_pointer_cast<PictureCell>(table->dequeueReusableCellWithIdentifier("picture"_ns));
        if (!cell) {
            cell = alloc<PictureCell>();
            cell->initWithStyle(UITableViewCellStyleDefault, "picture"_ns);
            cell->picture = alloc<CheckedImageView>();
            cell->picture->initWithFrame(CGRectMake(10, 10, 60, 60));
            cell->picture->placeholder = placeholder;
            cell->picture->wrong = &wrong;
            cell->contentView()->addSubview(cell->picture);
            ++cellsMade;
        }
        cell->picture->row = path->row();
        ri_setImageWithURL(cell->picture, urlFor(path->row()), placeholder);
        return cell;
    }
};

TEST_F(ImageViewLoadingTest, AScrolledListShowsEachRowItsOwnPicture)
{
    // Every third picture comes late, so loads end out of order.
    servePictures(std::chrono::milliseconds(15));
    auto list = alloc<PictureList>();
    list->placeholder = placeholder;
    list->urlFor = [this](NSInteger row) { return pictureURL(std::size_t(row)); };
    auto table = alloc<UITableView>()->initWithFrame(window()->bounds());
    table->setRowHeight(80);
    table->setDataSource(list);
    table->setDelegate(list);
    window()->addSubview(table);
    ui().runUntilIdle();

    auto everyVisibleRowShowsItsPicture = [&] {
        auto cells = table->visibleCells();
        for (NSUInteger i = 0; i < cells->count(); ++i) {
            auto cell = std::static_pointer_cast<PictureCell>(cells->objectAtIndex(i));
            if (indexOf(middleOf(cell->picture->image())) != cell->picture->row)
                return false;
        }
        return cells->count() > 0;
    };
    NSInteger deepest = 0;
    auto checkScreen = [&](const std::string& when) {
        ASSERT_TRUE(dv::testing::runMainLoopUntil(everyVisibleRowShowsItsPicture)) << when;
        ui().runUntilIdle();
        const dv::testing::Pixels shot(ui().screenshot(1));
        auto paths = table->indexPathsForVisibleRows();
        ASSERT_GT(paths->count(), 0u);
        int checked = 0;
        for (NSUInteger i = 0; i < paths->count(); ++i) {
            auto path = dv::as<NSIndexPath>(paths->objectAtIndex(i));
            auto cell = std::static_pointer_cast<PictureCell>(table->cellForRowAtIndexPath(path));
            auto frame = ui().frameInWindow(cell->picture);
            const CGFloat midY = CGRectGetMidY(frame);
            if (midY < 0 || midY >= CGRectGetHeight(window()->bounds()))
                continue; // its middle is off screen
            EXPECT_EQ(indexOf(shot.at(CGRectGetMidX(frame), midY)), path->row()) << when << ", row " << path->row();
            deepest = std::max(deepest, path->row());
            ++checked;
        }
        EXPECT_GE(checked, 7) << when;
    };
    checkScreen("at the top");

    struct Stroke {
        CGFloat distance;
        CGFloat flingSpeed;
    };
    const std::vector<Stroke> strokes = {{400, 0}, {900, 6000}, {-300, 0}, {1500, 9000}, {2500, 12000}, {-1200, 8000},
        {4000, 15000}, {240, 0}, {6000, 15000}, {8000, 15000}, {9000, 15000}, {12000, 15000}, {-700, 5000}};
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        DragOptions options;
        options.releaseVelocity = CGPointMake(0, strokes[i].flingSpeed * (strokes[i].distance < 0 ? -1 : 1));
        ASSERT_TRUE(ui().dragScrollView(table, CGPointMake(0, strokes[i].distance), options));
        checkScreen("after stroke " + std::to_string(i) + " at offset " + std::to_string(table->contentOffset().y));
    }
    // The strokes reached the end of the list.
    EXPECT_EQ(deepest, PictureList::rows - 1);
    EXPECT_TRUE(list->wrong.empty()) << list->wrong.front();
    EXPECT_LE(list->cellsMade, 20) << "cells are reused";
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !manager->isRunning(); }));
}

} // namespace
} // namespace dv::test
