#include "app/shell/server/ServerRequests.h"

#include "app/shell/server/ServerSettings.h"
#include "foundation/http/PNQueryStringPair.h"
#include "foundation/identity/DIUUID.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/system/NSUserDefaults.h"

#include <initializer_list>
#include <utility>

namespace dv::app {

namespace {

using Field = std::pair<const char*, Ref<NSString>>;

// The fields that have a value.
Ref<NSDictionary> fieldsOf(std::initializer_list<Field> fields)
{
    auto dictionary = NSMutableDictionary::dictionary();
    for (const auto& [name, value] : fields)
        if (value)
            dictionary->setObjectForKey(value, NSString::fromUTF8(name));
    return dv::copyAs<NSDictionary>(dictionary);
}

ServerRequest request(const char* path, std::initializer_list<Field> fields)
{
    return { serverURL(path), fieldsOf(fields) };
}

Ref<NSString> pageText(NSInteger page) { return NSString::stringWithFormat("%ld", static_cast<long>(page)); }

Ref<NSString> clientId() { return DIUUID::uuidForDevice(); }

// A value placed in a page's query: everything but letters, digits and "-._~/?" escaped, so "&",
// "=", "#" and spaces stay inside the value. nil gives the empty text.
Ref<NSString> queryValue(const Ref<NSString>& value) { return value ? PNPercentEscapeString(value) : ""_ns; }

} // namespace

Ref<NSString> typeText(QRCodeKind kind)
{
    switch (kind) {
    case QRCodeKind::Public:
        return "11"_ns;
    case QRCodeKind::Personal:
        return "2"_ns;
    case QRCodeKind::Group:
        break;
    }
    return "3"_ns;
}

Ref<NSString> serverURL(std::string_view path)
{
    return NSString::stringWithFormat("%@%@", ServerBaseURL(), NSString::fromUTF8(path));
}

ServerRequest loginRequest() { return request(kLoginPath, { { "clientId", clientId() } }); }

ServerRequest homeIndexRequest() { return { serverURL(kHomeIndexPath), nil }; }

ServerRequest artifactIndexRequest() { return request(kArtifactIndexPath, {}); }

ServerRequest listCodeRequest(QRCodeKind kind, NSInteger page)
{
    return request(kListCodePath, { { "type", typeText(kind) }, { "page", pageText(page) } });
}

ServerRequest codeDetailRequest(const Ref<NSString>& qrcodeId, const Ref<NSString>& position)
{
    return request(kCodeDetailPath, { { "id", qrcodeId }, { "position", position } });
}

ServerRequest changeDetailRequest(const Ref<NSString>& qrcodeId, const Ref<NSString>& position, Neighbour neighbour)
{
    return request(kChangeDetailPath,
        { { "id", qrcodeId }, { "position", position }, { "flag", neighbour == Neighbour::Next ? "1"_ns : "0"_ns } });
}

ServerRequest saveCodeRequest(const SaveCodeFields& fields)
{
    auto token = NSUserDefaults::standardUserDefaults()->stringForKey(NSString::fromUTF8(kUserTokenKey));
    auto orEmpty = [](const Ref<NSString>& value) { return value ? value : ""_ns; };
    return request(kSaveCodePath, {
        { "clientId", orEmpty(clientId()) },
        { "token", orEmpty(token) },
        { "title", orEmpty(fields.title) },
        { "area_id", orEmpty(fields.areaId) },
        { "type", typeText(fields.kind) },
        { "description", orEmpty(fields.description) },
        { "account", orEmpty(fields.account) },
    });
}

ServerRequest subDistrictRequest(const Ref<NSString>& parentId) { return request(kSubDistrictPath, { { "parentId", parentId } }); }

ServerRequest listPhoneRequest(const Ref<NSString>& cityId, NSInteger page)
{
    return request(kListPhonePath, { { "cityId", cityId }, { "page", pageText(page) }, { "clientId", clientId() } });
}

ServerRequest listAccuratePhoneRequest(const Ref<NSString>& proviceId, NSInteger page, const Ref<NSString>& phone)
{
    return request(kListAccuratePhonePath,
        { { "proviceId", proviceId }, { "page", pageText(page) }, { "clientId", clientId() }, { "phone", phone } });
}

ServerRequest listCategoryRequest() { return request(kListCategoryPath, { { "clientId", clientId() } }); }

ServerRequest listIndustryRequest(const Ref<NSString>& categoryId, NSInteger page)
{
    return request(kListIndustryPath, { { "clientId", clientId() }, { "categoryId", categoryId }, { "page", pageText(page) } });
}

Ref<NSString> learnPageURL(LearnPage page)
{
    return NSString::stringWithFormat("%@data/qryLearn.do?type=%@", ServerBaseURL(), pageText(static_cast<NSInteger>(page)));
}

Ref<NSString> agentPageURL(const Ref<NSString>& agentNo)
{
    return NSString::stringWithFormat("%@data/qryAgent.do?agentNo=%@&&clientId=%@", ServerBaseURL(), queryValue(agentNo),
        queryValue(clientId()));
}

Ref<NSString> categoryPageURL(const Ref<NSString>& categoryId)
{
    return NSString::stringWithFormat("%@home/web.do?categoryId=%@&clientId=%@", ServerBaseURL(), queryValue(categoryId),
        queryValue(clientId()));
}

} // namespace dv::app
