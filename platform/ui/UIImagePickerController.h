// UIImagePickerController: the system's screens for choosing a picture, shown modally. The photo
// library shows the album's pictures (and those the runner or a test put in the library) as a
// grid under the title "照片" with a "取消" button; the camera shows what it sees with a shutter
// and "取消". With allowsEditing, a chosen picture goes through the "移动和缩放" screen, whose
// "选取" gives the edited picture too (the centred square). The picker asks for access to the
// photos or the camera when it first appears (see dv::PrivacyAccess); refused, it shows why and
// can only be cancelled. The result goes to the delegate: the info dictionary with the media
// type, the original image, and with editing the edited image and its crop rectangle; a cancel
// goes to imagePickerControllerDidCancel, and without that method the picker dismisses itself.
// Main thread only.
//
//   auto picker = alloc<UIImagePickerController>()->init();
//   picker->setDelegate(self()); picker->setAllowsEditing(true);
//   if (UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceRear))
//       picker->setSourceType(UIImagePickerControllerSourceTypeCamera);
//   presentViewController(picker, true);
#pragma once

#include "platform/ui/UINavigationController.h"

#include <vector>

class UIImage;
class UIImagePickerController;

enum UIImagePickerControllerSourceType : NSInteger {
    UIImagePickerControllerSourceTypePhotoLibrary = 0,
    UIImagePickerControllerSourceTypeCamera = 1,
    UIImagePickerControllerSourceTypeSavedPhotosAlbum = 2,
};

enum UIImagePickerControllerCameraDevice : NSInteger {
    UIImagePickerControllerCameraDeviceRear = 0,
    UIImagePickerControllerCameraDeviceFront = 1,
};

extern const Ref<NSString> UIImagePickerControllerMediaType;     // "public.image"
extern const Ref<NSString> UIImagePickerControllerOriginalImage;
extern const Ref<NSString> UIImagePickerControllerEditedImage;
extern const Ref<NSString> UIImagePickerControllerCropRect;      // NSValue of a rectangle, in pixels

// The delegate protocol; every method is optional (false: not implemented).
class UIImagePickerControllerDelegate : public UINavigationControllerDelegate {
public:
    virtual bool imagePickerControllerDidFinishPickingMediaWithInfo(const Ref<UIImagePickerController>&, const Ref<NSDictionary>&) { return false; }
    virtual bool imagePickerControllerDidCancel(const Ref<UIImagePickerController>&) { return false; }
};

class UIImagePickerController : public UINavigationController {
    DV_CLASS(UIImagePickerController, UINavigationController)

    UIImagePickerController() = default;
    Ref<UIImagePickerController> init();

    // The library is always there; the camera when the device has one (dv::Cameras).
    static bool isSourceTypeAvailable(UIImagePickerControllerSourceType type);
    static bool isCameraDeviceAvailable(UIImagePickerControllerCameraDevice device);
    static Ref<NSArray> availableMediaTypesForSourceType(UIImagePickerControllerSourceType type);

    UIImagePickerControllerSourceType sourceType() const { return m_sourceType; }
    // Raises for a source the device does not have, as the platform does.
    void setSourceType(UIImagePickerControllerSourceType type);
    UIImagePickerControllerCameraDevice cameraDevice() const { return m_cameraDevice; }
    void setCameraDevice(UIImagePickerControllerCameraDevice device) { m_cameraDevice = device; }
    bool allowsEditing() const { return m_allowsEditing; }
    void setAllowsEditing(bool allows) { m_allowsEditing = allows; }
    Ref<NSArray> mediaTypes() const { return m_mediaTypes; }
    void setMediaTypes(const Ref<NSArray>& types) { m_mediaTypes = types; }

    Ref<UIImagePickerControllerDelegate> delegate() const { return m_pickerDelegate.lock(); }
    // Also the navigation delegate.
    void setDelegate(const Ref<UIImagePickerControllerDelegate>& delegate);

    // What the picker's screens do when a person uses them: choose a picture (shown in the
    // library, or taken with the camera), confirm the edit, cancel.
    void choosePicture(const Ref<UIImage>& image);
    void confirmEdit(const Ref<UIImage>& image);
    void cancel();

    // The runner's and the tests' stand-ins for the device: pictures in the library besides the
    // album's, and what the camera sees.
    static void addLibraryPicture(const Ref<UIImage>& image);
    static std::vector<Ref<UIImage>> libraryPictures(); // the album's, then the added ones
    static void setCameraScene(const Ref<UIImage>& image);
    static Ref<UIImage> cameraScene();
    static void resetDevicePictures();

private:
    void handleFinish(const Ref<UIImage>& original, const Ref<UIImage>& edited, CGRect crop);

    Weak<UIImagePickerControllerDelegate> m_pickerDelegate;
    Ref<NSArray> m_mediaTypes;
    UIImagePickerControllerSourceType m_sourceType = UIImagePickerControllerSourceTypePhotoLibrary;
    UIImagePickerControllerCameraDevice m_cameraDevice = UIImagePickerControllerCameraDeviceRear;
    bool m_allowsEditing = false;
};
