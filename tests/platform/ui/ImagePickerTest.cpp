#include "ControllerTestSupport.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/system/AddressBook.h"
#include "platform/system/PhotoAlbum.h"

#include <thread>

using namespace dv::test;

namespace {

class PickerRecorder : public NSObject, public UIImagePickerControllerDelegate {
public:
    Ref<NSDictionary> info;
    int cancels = 0;
    bool handlesCancel = true;
    bool dismissOnPick = true;

    bool imagePickerControllerDidFinishPickingMediaWithInfo(const Ref<UIImagePickerController>& picker, const Ref<NSDictionary>& i) override
    {
        info = i;
        if (dismissOnPick)
            picker->dismissViewControllerAnimated(true);
        return true;
    }
    bool imagePickerControllerDidCancel(const Ref<UIImagePickerController>& picker) override
    {
        if (!handlesCancel)
            return false;
        ++cancels;
        picker->dismissViewControllerAnimated(true);
        return true;
    }
};

class ImagePickerTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        dv::PrivacyAccess::reset();
        dv::Cameras::reset();
        UIImagePickerController::resetDevicePictures();
        m_form = RecordingController::make(&m_journal, "F");
        m_window->setRootViewController(m_form);
        m_delegate = std::make_shared<PickerRecorder>();
        m_ui.runUntilIdle();
    }
    void TearDown() override
    {
        dv::PrivacyAccess::reset();
        dv::Cameras::reset();
        UIImagePickerController::resetDevicePictures();
        ControllerTest::TearDown();
    }

    Ref<UIImagePickerController> present(UIImagePickerControllerSourceType source, bool editing)
    {
        auto picker = alloc<UIImagePickerController>()->init();
        picker->view()->setTag(111);
        picker->setDelegate(m_delegate);
        picker->setModalTransitionStyle(UIModalTransitionStyleCoverVertical);
        picker->setAllowsEditing(editing);
        picker->setSourceType(source);
        m_form->presentViewController(picker, true);
        m_ui.advance(0.5);
        return picker;
    }

    Ref<RecordingController> m_form;
    std::shared_ptr<PickerRecorder> m_delegate;
    Ref<UIImage> m_picture = twoColourImage(CGSizeMake(40, 20), UIColor::redColor(), UIColor::blueColor());
};

} // namespace

TEST_F(ImagePickerTest, ALibraryPictureChosenAndEditedReachesTheDelegateWithBothImages)
{
    auto picker = present(UIImagePickerControllerSourceTypePhotoLibrary, true);
    EXPECT_EQ(m_ui.imagePicker(), picker);
    EXPECT_EQ(m_ui.permissionPromptCount(dv::PrivacyService::photos), 1) << "the library asks for the photos first";
    EXPECT_EQ(m_ui.navigationTitle(), "照片");
    ASSERT_TRUE(m_ui.pickImage(m_picture));
    ASSERT_TRUE(m_delegate->info);
    EXPECT_EQ(m_delegate->info->objectForKey(UIImagePickerControllerOriginalImage), m_picture);
    auto edited = dv::as<UIImage>(m_delegate->info->objectForKey(UIImagePickerControllerEditedImage));
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->size(), CGSizeMake(20, 20)) << "the centred square";
    EXPECT_TRUE(near(pixelOf(edited, 2, 10), Pixel {255, 0, 0, 255}));
    EXPECT_TRUE(near(pixelOf(edited, 18, 10), Pixel {0, 0, 255, 255}));
    EXPECT_EQ(dv::as<NSValue>(m_delegate->info->objectForKey(UIImagePickerControllerCropRect))->CGRectValue(), CGRectMake(10, 0, 20, 20));
    EXPECT_TRUE(dv::str(m_delegate->info->objectForKey(UIImagePickerControllerMediaType)) == "public.image");
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.imagePicker(), nil);
    EXPECT_EQ(m_form->presentedViewController(), nil);

    // Without editing the choice goes straight to the delegate, without an edited image.
    m_delegate->info = nil;
    present(UIImagePickerControllerSourceTypePhotoLibrary, false);
    ASSERT_TRUE(m_ui.pickImage(m_picture));
    ASSERT_TRUE(m_delegate->info);
    EXPECT_EQ(m_delegate->info->objectForKey(UIImagePickerControllerEditedImage), nil);
    EXPECT_EQ(m_ui.permissionPromptCount(dv::PrivacyService::photos), 1) << "answered once for good";
}

TEST_F(ImagePickerTest, CancellingGoesToTheDelegateOrElseThePickerDismissesItself)
{
    present(UIImagePickerControllerSourceTypePhotoLibrary, true);
    ASSERT_TRUE(m_ui.cancelImagePicker());
    EXPECT_EQ(m_delegate->cancels, 1);
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.imagePicker(), nil);

    m_delegate->handlesCancel = false;
    present(UIImagePickerControllerSourceTypePhotoLibrary, true);
    ASSERT_TRUE(m_ui.cancelImagePicker());
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.imagePicker(), nil);
    EXPECT_EQ(m_delegate->cancels, 1);
    EXPECT_EQ(m_delegate->info, nil);
}

TEST_F(ImagePickerTest, TheCameraIsThereOnlyWhenTheDeviceHasOneAndTheUserAllowsIt)
{
    EXPECT_TRUE(UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceRear));
    m_ui.setCameraPresent(dv::CameraPosition::rear, false);
    m_ui.setCameraPresent(dv::CameraPosition::front, false);
    EXPECT_FALSE(UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceRear));
    EXPECT_FALSE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    auto picker = alloc<UIImagePickerController>()->init();
    EXPECT_THROW(picker->setSourceType(UIImagePickerControllerSourceTypeCamera), dv::RaisedException);
    EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);

    m_ui.setCameraPresent(dv::CameraPosition::rear, true);
    m_ui.setPermissionAnswer(dv::PrivacyService::camera, false);
    present(UIImagePickerControllerSourceTypeCamera, false);
    EXPECT_FALSE(m_ui.pickImage(m_picture)) << "refused: nothing to take a picture with";
    EXPECT_TRUE(m_ui.viewWithText("此应用没有权限使用相机。\n您可以在“隐私设置”中启用访问。"));
    ASSERT_TRUE(m_ui.cancelImagePicker());
    m_ui.advance(0.5);

    dv::PrivacyAccess::setStatus(dv::PrivacyService::camera, dv::PrivacyStatus::authorized);
    present(UIImagePickerControllerSourceTypeCamera, true);
    ASSERT_TRUE(m_ui.pickImage(m_picture));
    ASSERT_TRUE(m_delegate->info);
    EXPECT_EQ(m_delegate->info->objectForKey(UIImagePickerControllerOriginalImage), m_picture);
}

TEST_F(ImagePickerTest, RefusedPhotosLeaveOnlyTheCancelButton)
{
    m_ui.setPermissionAnswer(dv::PrivacyService::photos, false);
    present(UIImagePickerControllerSourceTypePhotoLibrary, false);
    EXPECT_EQ(ALAssetsLibrary::authorizationStatus(), ALAuthorizationStatusDenied);
    EXPECT_FALSE(m_ui.pickImage(m_picture));
    EXPECT_EQ(m_delegate->info, nil);
    ASSERT_TRUE(m_ui.cancelImagePicker());
}

TEST_F(ImagePickerTest, AnAddressBookRequestIsAnsweredWhileTheMainThreadWaitsOnASemaphore)
{
    const auto main = std::this_thread::get_id();
    auto book = ABAddressBookCreateWithOptions(nil, nullptr);
    ASSERT_TRUE(book) << "before the answer the handle exists, empty";

    // The user answers the prompt while the application's main thread is blocked.
    dv::PrivacyAccess::setPromptsHeld(true);
    auto semaphore = dispatch_semaphore_create(0);
    std::atomic<bool> granted {true};
    std::atomic<bool> onMain {true};
    // The completion keeps the semaphore, as a block would: the waiter may go on before the
    // signalling thread has left the semaphore.
    ABAddressBookRequestAccessWithCompletion(book, [&, semaphore](bool answer, const Ref<NSError>&) {
        granted = answer;
        onMain = std::this_thread::get_id() == main;
        dispatch_semaphore_signal(semaphore);
    });
    ASSERT_TRUE(m_ui.isPermissionPromptShowing(dv::PrivacyService::addressBook));
    std::thread person([&] { m_ui.answerPermissionPrompt(dv::PrivacyService::addressBook, false); });
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, dispatch_time(DISPATCH_TIME_NOW, 20 * NSEC_PER_SEC)), 0);
    person.join();
    EXPECT_FALSE(granted);
    EXPECT_FALSE(onMain);
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusDenied);

    // Known answers come without a prompt, still off the main thread.
    ABAddressBookRequestAccessWithCompletion(book, [&, semaphore](bool answer, const Ref<NSError>&) {
        granted = answer;
        dispatch_semaphore_signal(semaphore);
    });
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, dispatch_time(DISPATCH_TIME_NOW, 20 * NSEC_PER_SEC)), 0);
    EXPECT_EQ(m_ui.permissionPromptCount(dv::PrivacyService::addressBook), 1);
    EXPECT_EQ(ABAddressBookCreateWithOptions(nil, nullptr), nil);

    // With the preset answer, the prompt answers by itself.
    dv::PrivacyAccess::reset();
    ABAddressBookRequestAccessWithCompletion(book, [&, semaphore](bool answer, const Ref<NSError>&) {
        granted = answer;
        dispatch_semaphore_signal(semaphore);
    });
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, dispatch_time(DISPATCH_TIME_NOW, 20 * NSEC_PER_SEC)), 0);
    EXPECT_TRUE(granted);
}
