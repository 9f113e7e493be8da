// The application paths: one handler per path, each reading the request's fields and answering
// with a JSON reply, a page or a picture. Bad input is answered with a refusal (`status` 0 and a
// `msg` saying what is wrong) or a 404, never with an exception; a store that fails is answered
// with a 500 error page, its reason on standard error.
//
// Which paths give `status`, `pageSize` and `totalCount` as numbers and which as numeric strings
// is fixed per path (see the server's header); a refusal keeps the path's choice for `status`.
#pragma once

#include "platform/graphics/RemoteImageLimit.h"
#include "tools/devserver/internal/Pictures.h"
#include "tools/devserver/internal/Reply.h"
#include "tools/devserver/internal/SharedPictures.h"
#include "tools/devserver/internal/Store.h"

#include <cstdint>
#include <functional>

namespace dv::internal::devserver {

struct ApiSettings {
    std::size_t maxImageBytes = 2 * 1024 * 1024;
    std::uint64_t maxImagePixels = dv::kRemoteImageMaximumPixels;
    UploadQuota quota {};
    // Unix seconds; tests may pin it.
    std::function<std::int64_t()> now;
};

class Api {
public:
    Api(Store& store, Pictures& pictures, ApiSettings settings);

    Reply handle(const ApiRequest& request);

    static constexpr std::int64_t kCodePageSize = 10;
    static constexpr std::int64_t kPhonePageSize = 20;
    static constexpr std::int64_t kIndustryPageSize = 10;

private:
    Result<Reply> login(const ApiRequest& request);
    Result<Reply> homeIndex(const ApiRequest& request);
    Result<Reply> artifactIndex(const ApiRequest& request);
    Result<Reply> listCode(const ApiRequest& request);
    Result<Reply> getDetail(const ApiRequest& request);
    Result<Reply> getChangeDetail(const ApiRequest& request);
    Result<Reply> saveCode(const ApiRequest& request);
    Result<Reply> listSubDistrict(const ApiRequest& request);
    Result<Reply> listPhone(const ApiRequest& request);
    Result<Reply> listAccuratePhone(const ApiRequest& request);
    Result<Reply> listCategory(const ApiRequest& request);
    Result<Reply> listIndustry(const ApiRequest& request);
    Result<Reply> learnPage(const ApiRequest& request);
    Result<Reply> agentLetter(const ApiRequest& request);
    Result<Reply> categoryWebPage(const ApiRequest& request);
    Result<Reply> consultWebPage(const ApiRequest& request);
    Result<Reply> picture(const ApiRequest& request);
    Result<Reply> storedPicture(const ApiRequest& request, const CodeRecord& code);

    Json codeJson(const CodeRecord& code, const std::string& base) const;

    Store& m_store;
    Pictures& m_pictures;
    ApiSettings m_settings;
    SharedPictures m_sharedPictures; // the uploaded pictures being answered now
};

} // namespace dv::internal::devserver
