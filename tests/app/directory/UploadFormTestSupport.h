// Shared steps of the upload forms' and the region picker's tests, on top of DirectoryTest: the
// three forms with the list each is opened from, the server's region tree asked of it directly,
// and what a person does on a form: open it from its list, turn the picker's wheels, confirm,
// type into the fields, pick a picture through the photo sheet and the image picker, upload.
#pragma once

#include "DirectoryTestSupport.h"

#include <string>
#include <vector>

class UIPickerView;
namespace dv::app {
class QRCodeUploadController;
}

namespace dv::test {

struct FormCase {
    const char* className;
    const char* listClass;
    const char* listTitle;
    dv::app::QRCodeKind kind;
    const char* type;
    const char* accountLabel;
    CGRect accountLabelFrame;
    CGRect accountFieldFrame; // its width W − 100 for a 375-point screen
    const char* accountPlaceholder;
    const char* uploadTitle;
    CGFloat uploadCornerRadius;
    bool pictureRowOpensSheet;
};

extern const FormCase kGroupForm;
extern const FormCase kPersonalForm;
extern const FormCase kPublicForm;

// One region as the server lists it.
struct ServerRegion {
    std::string id, name;
};

class UploadFormTest : public DirectoryTest {
protected:
    // The device's pictures and cameras as a new device has them.
    void SetUp() override;
    void TearDown() override;

    // The regions under `parentId`, asked of the server directly.
    std::vector<ServerRegion> serverRegions(const std::string& parentId);
    // The row of the region named `name` in `regions` (fails the test when absent).
    static NSInteger rowOf(const std::vector<ServerRegion>& regions, const std::string& name);

    // Opens the form as a person does: the list from its class, then its floating button; runs
    // until the form is on top and, unless told not to, both wheels have rows.
    Ref<dv::app::QRCodeUploadController> openForm(const FormCase& form, bool waitForRegions = true);
    // Makes the form by class name and pushes it (for a server that lists nothing).
    Ref<dv::app::QRCodeUploadController> pushForm(const FormCase& form, bool waitForRegions = true);
    // Runs until both wheels have rows.
    bool waitForWheels();

    Ref<UIPickerView> picker() const;
    // The titles of the wheel's rows from the first to the last one showing (from the picker's
    // row views; the wheel rests on its first rows).
    std::vector<std::string> wheelTitles(NSInteger component) const;
    // Whether the wheel has a row for each region and shows their names in order.
    bool wheelShows(NSInteger component, const std::vector<ServerRegion>& regions) const;
    std::string selectedTitle(NSInteger component) const;
    bool panelShows() const;

    // The region row tapped (opens or closes the panel).
    bool tapRegionRow();
    // Turns the province wheel to `row` and runs until that province's cities have arrived.
    bool spinProvince(NSInteger row);
    bool spinCity(NSInteger row);
    bool tapPanelButton(const std::string& title);
    // Opens the panel, turns both wheels to the named province and city and confirms.
    bool chooseRegion(const std::string& province, const std::string& city);
    std::string regionText() const;

    // A tap on the field, the text typed, and the keyboard sent away.
    bool typeInto(const Ref<UITextField>& field, const std::string& text);
    bool fillTexts(const std::string& title, const std::string& account, const std::string& introduction);
    // The picture button, "相册" (or "拍照") on the sheet, and the picture picked.
    bool pickPicture(const Ref<UIImage>& image, const std::string& source = "相册");
    // Everything a complete upload needs: texts, 北京市北京市, a picture.
    bool fillForm(const std::string& title, const std::string& account, const std::string& introduction);

    // The upload button in the form's footer.
    Ref<UIButton> uploadButton() const;
    // A tap on it; when something is sent, runs until its call has ended and the overlays and a
    // pop have gone on the clock.
    bool tapUpload();
    // A tap on it that only checks: the toast it shows (the newest on the form's view), "" when
    // none; the toast has gone when it returns.
    std::string uploadToast();

    // A picture to pick: `size` points of stripes in colours chosen by `seed`.
    static Ref<UIImage> makePicture(int seed, CGSize size = CGSizeMake(120, 90));

    Ref<dv::app::QRCodeUploadController> m_form;
};

} // namespace dv::test
