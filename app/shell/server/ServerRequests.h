// The application server's paths, and the request of each: its full URL (ServerBaseURL followed
// by the path) and its form fields, all texts. Screens send these through ZHHttpTool, so every
// field name and value format lives here once. The device identifier (DIUUID::uuidForDevice) goes
// out as `clientId`; the login token kept under the user-defaults key "utoken" as `token`.
//
//   auto request = dv::app::listCodeRequest(dv::app::QRCodeKind::Group, 0);
//   ZHHttpTool::postWithURL(request.URL, request.fields, success, failure);
//
// The server's web pages are loaded by web views from URLs built here; their query values are
// percent-encoded, so a value cannot add fields of its own or end the query.
//
// Main thread (the identifier store and the user defaults may be read from any thread, but the
// screens that use these live on the main thread).
#pragma once

#include "platform/base/Forward.h"

#include <string_view>

namespace dv::app {

// Paths, relative to ServerBaseURL.
inline constexpr const char* kLoginPath = "client/login.do";
inline constexpr const char* kHomeIndexPath = "home/index.do";
inline constexpr const char* kArtifactIndexPath = "home/artifactIndex.do";
inline constexpr const char* kListCodePath = "qrcode/listCode.do";
inline constexpr const char* kCodeDetailPath = "qrcode/getDetail.do";
inline constexpr const char* kChangeDetailPath = "qrcode/getChangeDetail.do";
inline constexpr const char* kSaveCodePath = "qrcode/saveCode.do";
inline constexpr const char* kSubDistrictPath = "district/listSubDistrict.do";
inline constexpr const char* kListPhonePath = "data/listPhone.do";
inline constexpr const char* kListAccuratePhonePath = "data/listAccuratePhone.do";
inline constexpr const char* kListCategoryPath = "data/listCategory.do";
inline constexpr const char* kListIndustryPath = "data/listIndustry.do";

// The user-defaults key of the login token.
inline constexpr const char* kUserTokenKey = "utoken";

// One server call.
struct ServerRequest {
    Ref<NSString> URL;
    // nil sends no fields at all (an empty body).
    Ref<NSDictionary> fields;
};

// The kinds of QR code, sent as `type`: "11" public account, "2" personal account, "3" group.
enum class QRCodeKind { Public, Personal, Group };
Ref<NSString> typeText(QRCodeKind kind);

// The neighbour asked for by qrcode/getChangeDetail.do, sent as `flag`: "0" previous, "1" next.
enum class Neighbour { Previous, Next };

// ServerBaseURL followed by the path.
Ref<NSString> serverURL(std::string_view path);

ServerRequest loginRequest();
// No fields (nil).
ServerRequest homeIndexRequest();
// An empty dictionary of fields.
ServerRequest artifactIndexRequest();
// `page` counts batches from 0.
ServerRequest listCodeRequest(QRCodeKind kind, NSInteger page);
ServerRequest codeDetailRequest(const Ref<NSString>& qrcodeId, const Ref<NSString>& position);
ServerRequest changeDetailRequest(const Ref<NSString>& qrcodeId, const Ref<NSString>& position, Neighbour neighbour);

// The text fields of a QR-code upload; the picture goes as ZHFormData::codePicture.
struct SaveCodeFields {
    QRCodeKind kind = QRCodeKind::Group;
    Ref<NSString> title;
    Ref<NSString> areaId;      // the chosen region's id
    Ref<NSString> description;
    Ref<NSString> account;     // the 信聊 id
};
// Multipart: clientId, token, title, area_id, type, description, account. Every field goes out:
// one without a value (no token stored yet, say) as the empty text, for the server to refuse.
ServerRequest saveCodeRequest(const SaveCodeFields& fields);

// "0" for the provinces, else a province's id.
ServerRequest subDistrictRequest(const Ref<NSString>& parentId);
ServerRequest listPhoneRequest(const Ref<NSString>& cityId, NSInteger page);
ServerRequest listAccuratePhoneRequest(const Ref<NSString>& proviceId, NSInteger page, const Ref<NSString>& phone);
ServerRequest listCategoryRequest();
ServerRequest listIndustryRequest(const Ref<NSString>& categoryId, NSInteger page);

// The help pages of data/qryLearn.do, by `type`.
enum class LearnPage { ContactInformation = 1, InstructionsForUse = 2, CommonQuestions = 3 };
// "BASEdata/qryLearn.do?type=T".
Ref<NSString> learnPageURL(LearnPage page);
// "BASEdata/qryAgent.do?agentNo=A&&clientId=C" (the server's own form, with two ampersands).
Ref<NSString> agentPageURL(const Ref<NSString>& agentNo);
// "BASEhome/web.do?categoryId=I&clientId=C".
Ref<NSString> categoryPageURL(const Ref<NSString>& categoryId);

} // namespace dv::app
