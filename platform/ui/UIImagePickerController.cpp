#include "platform/ui/UIImagePickerController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/AVCaptureDevice.h"
#include "platform/system/PhotoAlbum.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationItem.h"

#include <algorithm>
#include <cmath>

const Ref<NSString> UIImagePickerControllerMediaType = "UIImagePickerControllerMediaType"_ns;
const Ref<NSString> UIImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage"_ns;
const Ref<NSString> UIImagePickerControllerEditedImage = "UIImagePickerControllerEditedImage"_ns;
const Ref<NSString> UIImagePickerControllerCropRect = "UIImagePickerControllerCropRect"_ns;

namespace {

constexpr CGFloat kThumbnail = 75;
constexpr CGFloat kThumbnailGap = 4;
constexpr CGFloat kCameraBarHeight = 96;

// Posted when the library's pictures change, so that a grid on screen shows them.
const Ref<NSString> kLibraryDidChange = "UIImagePickerLibraryDidChange"_ns;

std::vector<Ref<UIImage>>& addedPictures()
{
    static std::vector<Ref<UIImage>> s_pictures;
    return s_pictures;
}

Ref<UIImage>& scene()
{
    static Ref<UIImage> s_scene;
    return s_scene;
}

Ref<UILabel> messageLabel(CGRect frame, const char* text, const Ref<UIColor>& colour)
{
    auto label = alloc<UILabel>()->initWithFrame(frame);
    label->setText(NSString::fromUTF8(text));
    label->setNumberOfLines(0);
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setFont(UIFont::systemFontOfSize(15));
    label->setTextColor(colour);
    return label;
}

Ref<UIButton> textButton(const char* title, const Ref<UIColor>& colour, CGRect frame)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTitle(NSString::fromUTF8(title), UIControlStateNormal);
    button->setTitleColor(colour, UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::systemFontOfSize(18));
    button->setFrame(frame);
    return button;
}

// The centred square of the picture, in pixels.
CGRect centredSquare(const Ref<UIImage>& image)
{
    const CGFloat w = CGFloat(CGImageGetWidth(image->CGImage())), h = CGFloat(CGImageGetHeight(image->CGImage()));
    const CGFloat side = std::min(w, h);
    return CGRectMake(std::floor((w - side) / 2), std::floor((h - side) / 2), side, side);
}

} // namespace

// The picker's first screen: the library's grid or the camera.
class UIImagePickerScreen : public UIViewController {
    DV_CLASS(UIImagePickerScreen, UIViewController)
public:
    UIImagePickerScreen() = default;
    Weak<UIImagePickerController> picker;
    std::vector<Ref<UIImage>> shown; // the pictures of the grid, by button tag

    bool isCamera() const
    {
        auto p = picker.lock();
        return p && p->sourceType() == UIImagePickerControllerSourceTypeCamera;
    }

    ~UIImagePickerScreen() override { NSNotificationCenter::defaultCenter()->removeObserver(this); }

    void libraryDidChange(const Ref<NSNotification>&)
    {
        if (isViewLoaded() && !isCamera())
            build();
    }

    void viewDidLoad() override
    {
        UIViewController::viewDidLoad();
        NSNotificationCenter::defaultCenter()->addObserver(self<UIImagePickerScreen>(), &UIImagePickerScreen::libraryDidChange, kLibraryDidChange, nil);
        if (!isCamera()) {
            setTitle("照片"_ns);
            navigationItem()->setRightBarButtonItem(
                alloc<UIBarButtonItem>()->initWithBarButtonSystemItem(UIBarButtonSystemItemCancel, self(), "cancelTapped"));
        }
    }

    void viewWillAppear(bool animated) override
    {
        UIViewController::viewWillAppear(animated);
        if (auto p = picker.lock())
            p->setNavigationBarHidden(isCamera(), false);
        build();
    }

    // Fills the screen for what the user allows now, asking first when he has not said.
    void build()
    {
        auto v = view();
        const auto old = v->subviews();
        for (auto& sub : old->items())
            std::static_pointer_cast<UIView>(sub)->removeFromSuperview();
        const auto service = isCamera() ? dv::PrivacyService::camera : dv::PrivacyService::photos;
        const auto status = dv::PrivacyAccess::status(service);
        if (status == dv::PrivacyStatus::notDetermined) {
            Weak<UIImagePickerScreen> weak = self<UIImagePickerScreen>();
            dv::PrivacyAccess::requestAccess(service, [weak](bool) {
                dispatch_async(dispatch_get_main_queue(), [weak] {
                    if (auto screen = weak.lock())
                        screen->build();
                });
            });
        }
        if (isCamera())
            buildCamera(status == dv::PrivacyStatus::authorized);
        else
            buildLibrary(status);
    }

    void buildLibrary(dv::PrivacyStatus status)
    {
        auto v = view();
        v->setBackgroundColor(UIColor::whiteColor());
        const CGRect b = v->bounds();
        if (status == dv::PrivacyStatus::denied || status == dv::PrivacyStatus::restricted) {
            v->addSubview(messageLabel(CGRectMake(20, b.size.height / 3, b.size.width - 40, 60),
                "此应用没有权限访问您的照片或视频。\n您可以在“隐私设置”中启用访问。", UIColor::grayColor()));
            return;
        }
        if (status != dv::PrivacyStatus::authorized)
            return;
        shown = UIImagePickerController::libraryPictures();
        const int columns = std::max(1, int((b.size.width + kThumbnailGap) / (kThumbnail + kThumbnailGap)));
        const CGFloat top = 64 + kThumbnailGap;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            auto button = UIButton::buttonWithType(UIButtonTypeCustom);
            button->setBackgroundImage(shown[i], UIControlStateNormal);
            button->setTag(NSInteger(i));
            const CGFloat x = kThumbnailGap + CGFloat(int(i) % columns) * (kThumbnail + kThumbnailGap);
            const CGFloat y = top + CGFloat(int(i) / columns) * (kThumbnail + kThumbnailGap);
            button->setFrame(CGRectMake(x, y, kThumbnail, kThumbnail));
            button->addTarget(self(), "photoTapped:", UIControlEventTouchUpInside);
            v->addSubview(button);
        }
    }

    void buildCamera(bool allowed)
    {
        auto v = view();
        v->setBackgroundColor(UIColor::blackColor());
        const CGRect b = v->bounds();
        if (allowed) {
            auto preview = alloc<UIImageView>()->initWithImage(UIImagePickerController::cameraScene());
            preview->setFrame(CGRectMake(0, 0, b.size.width, b.size.height - kCameraBarHeight));
            preview->setContentMode(UIViewContentModeScaleAspectFill);
            preview->setClipsToBounds(true);
            v->addSubview(preview);
            auto shutter = UIButton::buttonWithType(UIButtonTypeCustom);
            shutter->setFrame(CGRectMake((b.size.width - 66) / 2, b.size.height - kCameraBarHeight + 15, 66, 66));
            shutter->setBackgroundColor(UIColor::whiteColor());
            shutter->layer()->setCornerRadius(33);
            shutter->setAccessibilityLabel("拍照"_ns);
            shutter->addTarget(self(), "shutterTapped", UIControlEventTouchUpInside);
            v->addSubview(shutter);
        } else {
            v->addSubview(messageLabel(CGRectMake(20, b.size.height / 3, b.size.width - 40, 60), "此应用没有权限使用相机。\n您可以在“隐私设置”中启用访问。",
                UIColor::whiteColor()));
        }
        auto cancel = textButton("取消", UIColor::whiteColor(), CGRectMake(10, b.size.height - kCameraBarHeight + 26, 60, 44));
        cancel->addTarget(self(), "cancelTapped", UIControlEventTouchUpInside);
        v->addSubview(cancel);
    }

    void photoTapped(NSInteger index)
    {
        auto p = picker.lock();
        if (p && index >= 0 && std::size_t(index) < shown.size())
            p->choosePicture(shown[std::size_t(index)]);
    }
    void shutterTapped()
    {
        auto p = picker.lock();
        if (p && UIImagePickerController::cameraScene())
            p->choosePicture(UIImagePickerController::cameraScene());
    }
    void cancelTapped()
    {
        if (auto p = picker.lock())
            p->cancel();
    }
};

// "移动和缩放": the chosen picture with the square that will be kept, "取消" and "选取".
class UIImagePickerEditScreen : public UIViewController {
    DV_CLASS(UIImagePickerEditScreen, UIViewController)
public:
    UIImagePickerEditScreen() = default;
    Weak<UIImagePickerController> picker;
    Ref<UIImage> image;

    void viewDidLoad() override
    {
        UIViewController::viewDidLoad();
        auto v = view();
        v->setBackgroundColor(UIColor::blackColor());
        const CGRect b = v->bounds();
        auto title = messageLabel(CGRectMake(0, 30, b.size.width, 24), "移动和缩放", UIColor::whiteColor());
        v->addSubview(title);
        auto photo = alloc<UIImageView>()->initWithImage(image);
        photo->setContentMode(UIViewContentModeScaleAspectFill);
        photo->setClipsToBounds(true);
        photo->setFrame(CGRectMake(0, (b.size.height - b.size.width) / 2, b.size.width, b.size.width));
        v->addSubview(photo);
        auto cancel = textButton("取消", UIColor::whiteColor(), CGRectMake(10, b.size.height - 60, 60, 44));
        cancel->addTarget(self(), "cancelTapped", UIControlEventTouchUpInside);
        v->addSubview(cancel);
        auto choose = textButton("选取", UIColor::whiteColor(), CGRectMake(b.size.width - 70, b.size.height - 60, 60, 44));
        choose->addTarget(self(), "chooseTapped", UIControlEventTouchUpInside);
        v->addSubview(choose);
    }

    void viewWillAppear(bool animated) override
    {
        UIViewController::viewWillAppear(animated);
        if (auto p = picker.lock())
            p->setNavigationBarHidden(true, false);
    }

    void cancelTapped()
    {
        if (auto p = picker.lock())
            p->popViewControllerAnimated(true);
    }
    void chooseTapped()
    {
        if (auto p = picker.lock())
            p->confirmEdit(image);
    }
};

DV_DEFINE_CLASS(UIImagePickerController)
DV_DEFINE_CLASS_WITH(UIImagePickerScreen, b)
{
    b.method("photoTapped:", "v24@0:8@16", [](UIImagePickerScreen& screen, std::span<const id> args) {
        if (auto button = args.empty() ? nil : dv::as<UIView>(args[0]))
            screen.photoTapped(button->tag());
        return nil;
    });
    b.method("shutterTapped", "v16@0:8", [](UIImagePickerScreen& screen, std::span<const id>) {
        screen.shutterTapped();
        return nil;
    });
    b.method("cancelTapped", "v16@0:8", [](UIImagePickerScreen& screen, std::span<const id>) {
        screen.cancelTapped();
        return nil;
    });
}
DV_DEFINE_CLASS_WITH(UIImagePickerEditScreen, b)
{
    b.method("cancelTapped", "v16@0:8", [](UIImagePickerEditScreen& screen, std::span<const id>) {
        screen.cancelTapped();
        return nil;
    });
    b.method("chooseTapped", "v16@0:8", [](UIImagePickerEditScreen& screen, std::span<const id>) {
        screen.chooseTapped();
        return nil;
    });
}

Ref<UIImagePickerController> UIImagePickerController::init()
{
    UINavigationController::init();
    m_mediaTypes = NSArray::of({"public.image"_ns});
    auto me = self<UIImagePickerController>();
    auto screen = alloc<UIImagePickerScreen>();
    screen->picker = me;
    screen->init();
    addChildViewController(screen);
    screen->didMoveToParentViewController(me);
    return me;
}

bool UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType type)
{
    if (type == UIImagePickerControllerSourceTypeCamera)
        return dv::Cameras::isPresent(dv::CameraPosition::rear) || dv::Cameras::isPresent(dv::CameraPosition::front);
    return type == UIImagePickerControllerSourceTypePhotoLibrary || type == UIImagePickerControllerSourceTypeSavedPhotosAlbum;
}

bool UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDevice device)
{
    return dv::Cameras::isPresent(device == UIImagePickerControllerCameraDeviceFront ? dv::CameraPosition::front : dv::CameraPosition::rear);
}

Ref<NSArray> UIImagePickerController::availableMediaTypesForSourceType(UIImagePickerControllerSourceType type)
{
    return isSourceTypeAvailable(type) ? NSArray::of({"public.image"_ns}) : nil;
}

void UIImagePickerController::setSourceType(UIImagePickerControllerSourceType type)
{
    if (!isSourceTypeAvailable(type))
        NSException::raise(NSInvalidArgumentException, "Source type " + std::to_string(type) + " not available");
    m_sourceType = type;
}

void UIImagePickerController::setDelegate(const Ref<UIImagePickerControllerDelegate>& delegate)
{
    m_pickerDelegate = delegate;
    UINavigationController::setDelegate(delegate);
}

void UIImagePickerController::choosePicture(const Ref<UIImage>& image)
{
    if (!image)
        return;
    if (!m_allowsEditing) {
        handleFinish(image, nil, CGRectZero);
        return;
    }
    auto edit = alloc<UIImagePickerEditScreen>();
    edit->picker = self<UIImagePickerController>();
    edit->image = image;
    edit->init();
    pushViewController(edit, true);
}

void UIImagePickerController::confirmEdit(const Ref<UIImage>& image)
{
    if (!image || !image->CGImage())
        return;
    const CGRect crop = centredSquare(image);
    auto edited = UIImage::imageWithCGImage(CGImageCreateWithImageInRect(image->CGImage(), crop), image->scale(), image->imageOrientation());
    handleFinish(image, edited, crop);
}

void UIImagePickerController::handleFinish(const Ref<UIImage>& original, const Ref<UIImage>& edited, CGRect crop)
{
    auto info = NSMutableDictionary::of({{UIImagePickerControllerMediaType, "public.image"_ns}, {UIImagePickerControllerOriginalImage, original}});
    if (edited) {
        info->setObjectForKey(edited, UIImagePickerControllerEditedImage);
        info->setObjectForKey(NSValue::valueWithCGRect(crop), UIImagePickerControllerCropRect);
    }
    if (auto d = delegate())
        d->imagePickerControllerDidFinishPickingMediaWithInfo(self<UIImagePickerController>(), info);
}

void UIImagePickerController::cancel()
{
    auto me = self<UIImagePickerController>();
    auto d = delegate();
    if (!d || !d->imagePickerControllerDidCancel(me))
        dismissViewControllerAnimated(true);
}

void UIImagePickerController::addLibraryPicture(const Ref<UIImage>& image)
{
    if (!image)
        return;
    addedPictures().push_back(image);
    NSNotificationCenter::defaultCenter()->postNotificationName(kLibraryDidChange, nil);
}

std::vector<Ref<UIImage>> UIImagePickerController::libraryPictures()
{
    std::vector<Ref<UIImage>> pictures;
    if (auto paths = dv::PhotoAlbum::savedImagePaths())
        for (auto& path : paths->items())
            if (auto image = UIImage::imageWithContentsOfFile(dv::as<NSString>(path)))
                pictures.push_back(image);
    const auto& added = addedPictures();
    pictures.insert(pictures.end(), added.begin(), added.end());
    return pictures;
}

void UIImagePickerController::setCameraScene(const Ref<UIImage>& image) { scene() = image; }

Ref<UIImage> UIImagePickerController::cameraScene() { return scene(); }

void UIImagePickerController::resetDevicePictures()
{
    addedPictures().clear();
    scene() = nil;
}
