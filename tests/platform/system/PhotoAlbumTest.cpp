#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/dispatch/NSThread.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/PhotoAlbum.h"
#include "platform/system/PrivacyAccess.h"
#include "TemporaryHome.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <fstream>

// A page that saves a picture and hears the outcome through the documented selector.
class AlbumSaver : public NSObject {
    DV_CLASS(AlbumSaver, NSObject)
public:
    AlbumSaver() = default;
    int calls = 0;
    bool onMainThread = false;
    Ref<UIImage> image;
    Ref<NSError> error;
    void* context = nullptr;

    void imageDidFinishSavingWithErrorContextInfo(const Ref<UIImage>& saved, const Ref<NSError>& failure, void* info)
    {
        ++calls;
        onMainThread = NSThread::isMainThread();
        image = saved;
        error = failure;
        context = info;
    }
};

DV_DEFINE_CLASS_WITH(AlbumSaver, b)
{
    b.method("image:didFinishSavingWithError:contextInfo:", "v40@0:8@16@24^v32", [](AlbumSaver& self, std::span<const id> args) -> id {
        self.imageDidFinishSavingWithErrorContextInfo(
            dv::as<UIImage>(args[0]), dv::as<NSError>(args[1]), args[2] ? const_cast<void*>(dv::as<NSValue>(args[2])->pointerValue()) : nullptr);
        return nil;
    });
}

namespace {

Ref<UIImage> redSquare()
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(4, 4), true, 1);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

class PhotoAlbumTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        dv::PrivacyAccess::reset();
        dv::PhotoAlbum::setAccessAllowed(true);
    }
    dv::test::TemporaryHome m_home;
};

TEST_F(PhotoAlbumTest, SavedPicturesAreNewFilesAndTheTargetHearsOnTheMainThread)
{
    auto saver = alloc<AlbumSaver>();
    int marker = 7;
    auto image = redSquare();
    ASSERT_TRUE(image);
    UIImageWriteToSavedPhotosAlbum(image, saver, SEL("image:didFinishSavingWithError:contextInfo:"), &marker);
    UIImageWriteToSavedPhotosAlbum(image, saver, SEL("image:didFinishSavingWithError:contextInfo:"), &marker);
    EXPECT_EQ(saver->calls, 0);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return saver->calls == 2; }));
    EXPECT_TRUE(saver->onMainThread);
    EXPECT_EQ(saver->error, nil);
    EXPECT_EQ(saver->image, image);
    EXPECT_EQ(saver->context, &marker);

    auto saved = dv::PhotoAlbum::savedImagePaths();
    ASSERT_EQ(saved->count(), 2u);
    EXPECT_NE(dv::str(saved->objectAtIndex(0)), dv::str(saved->objectAtIndex(1)));
    // What was written reads back as the same picture.
    auto back = UIImage::imageWithContentsOfFile(dv::as<NSString>(saved->objectAtIndex(1)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), image->size());
}

TEST_F(PhotoAlbumTest, RefusedAccessMissingImageAndUnwritableAlbumAreReported)
{
    dv::LogCapture capture;
    auto saver = alloc<AlbumSaver>();
    const SEL done("image:didFinishSavingWithError:contextInfo:");
    dv::PhotoAlbum::setAccessAllowed(false);
    UIImageWriteToSavedPhotosAlbum(redSquare(), saver, done, nullptr);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return saver->calls == 1; }));
    ASSERT_TRUE(saver->error);
    EXPECT_EQ(saver->error->code(), ALAssetsLibraryAccessUserDeniedError);
    EXPECT_TRUE(capture.contains("User denied access"));
    dv::PhotoAlbum::setAccessAllowed(true);

    UIImageWriteToSavedPhotosAlbum(nil, saver, done, nullptr);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return saver->calls == 2; }));
    ASSERT_TRUE(saver->error);
    EXPECT_EQ(saver->error->code(), ALAssetsLibraryWriteFailedError);

    // A file where the album folder should be.
    std::filesystem::create_directories(m_home.path() + "/device");
    std::ofstream(dv::PhotoAlbum::folder()) << "in the way";
    UIImageWriteToSavedPhotosAlbum(redSquare(), saver, done, nullptr);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return saver->calls == 3; }));
    ASSERT_TRUE(saver->error);
    EXPECT_EQ(saver->error->code(), ALAssetsLibraryWriteFailedError);

    // Without a target the save still happens, silently.
    std::filesystem::remove(dv::PhotoAlbum::folder());
    UIImageWriteToSavedPhotosAlbum(redSquare(), nil, SEL(), nullptr);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return dv::PhotoAlbum::savedImagePaths()->count() == 1; }));
}

} // namespace

TEST_F(PhotoAlbumTest, AFirstSaveWaitsForThePermissionPromptAndARefusalIsReported)
{
    dv::PrivacyAccess::reset();
    dv::PrivacyAccess::setPromptsHeld(true);
    auto saver = alloc<AlbumSaver>();
    const SEL done("image:didFinishSavingWithError:contextInfo:");
    UIImageWriteToSavedPhotosAlbum(redSquare(), saver, done, nullptr);
    UIImageWriteToSavedPhotosAlbum(redSquare(), saver, done, nullptr);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([] { return dv::PrivacyAccess::isPromptShowing(dv::PrivacyService::photos); }));
    EXPECT_EQ(saver->calls, 0) << "nothing is saved while the user has not answered";
    EXPECT_EQ(ALAssetsLibrary::authorizationStatus(), ALAuthorizationStatusNotDetermined);
    ASSERT_TRUE(dv::PrivacyAccess::answerPrompt(dv::PrivacyService::photos, false));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return saver->calls == 2; }));
    ASSERT_TRUE(saver->error);
    EXPECT_EQ(saver->error->code(), ALAssetsLibraryAccessUserDeniedError);
    EXPECT_EQ(dv::PrivacyAccess::promptCount(dv::PrivacyService::photos), 1) << "one prompt for both saves";
    EXPECT_EQ(dv::PhotoAlbum::savedImagePaths()->count(), 0u);
    EXPECT_FALSE(dv::PrivacyAccess::answerPrompt(dv::PrivacyService::photos, true)) << "no prompt left to answer";
}

TEST_F(PhotoAlbumTest, ResetRefusesRequestsStillWaitingForAnAnswer)
{
    dv::PrivacyAccess::reset();
    dv::PrivacyAccess::setPromptsHeld(true);
    std::atomic<int> answers {0};
    std::atomic<bool> granted {true};
    dv::PrivacyAccess::requestAccess(dv::PrivacyService::camera, [&](bool g) {
        granted = g;
        ++answers;
    });
    PHPhotoLibrary::requestAuthorization([&](PHAuthorizationStatus status) {
        EXPECT_EQ(status, PHAuthorizationStatusDenied);
        ++answers;
    });
    EXPECT_TRUE(dv::PrivacyAccess::isPromptShowing(dv::PrivacyService::camera));
    dv::PrivacyAccess::reset();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return answers == 2; }));
    EXPECT_FALSE(granted);
    EXPECT_EQ(dv::PrivacyAccess::status(dv::PrivacyService::camera), dv::PrivacyStatus::notDetermined);
}
