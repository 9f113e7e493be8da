// Any bytes as the application server's reply: a loopback server answers the server client's
// call with them (under a chosen HTTP status and content type), and whatever reaches the
// client's blocks is read as a screen would read it, into every reply model. Each input ends in
// exactly one block, and in a reply object or an error, never in a crash. A call over loopback
// takes milliseconds, so most inputs skip the transport: they go through the response serialiser
// the client's manager uses, and what it accepts is read the same way.
//
// Input: byte 0 chooses the call (% 8: 0 form POST, 1 multipart POST, 2 GET, 3 to 7 the
// serialiser alone) and, in bits 3 to 5, the content type; byte 1 the HTTP status; the rest is
// the reply body.
#include "fuzz/FuzzerDefaults.h"

#include "app/shell/models/VQAdModel.h"
#include "app/shell/models/VQBuyResourceModel.h"
#include "app/shell/models/VQCategoryModel.h"
#include "app/shell/models/VQCityModel.h"
#include "app/shell/models/VQMainBtnModel.h"
#include "app/shell/models/VQPassiveModel.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ServerSettings.h"
#include "app/shell/server/ZHFormData.h"
#include "app/shell/server/ZHHttpTool.h"
#include "foundation/http/PNJSONResponseSerializer.h"
#include "platform/base/Base.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "push/PSDictionaryCategories.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

const char* const kContentTypes[] = { "application/json", "text/json", "text/javascript", "application/json;charset=UTF-8",
    "text/javascript; charset=gbk", "text/html", "text/plain", "application/octet-stream" };
const int kStatuses[] = { 200, 201, 204, 299, 304, 404, 500 };

// The reply the loopback server gives next.
struct NextReply {
    dv::Mutex mutex;
    dv::testing::ScriptedReply reply DV_GUARDED_BY(mutex);
};

NextReply& nextReply()
{
    static NextReply s_next;
    return s_next;
}

dv::testing::LoopbackServer& server()
{
    static dv::testing::LoopbackServer* s_server = [] {
        auto* loopback = new dv::testing::LoopbackServer(dv::testing::LoopbackServer::Scheme::Http, 4);
        loopback->route("/DV/r.do", dv::testing::LoopbackServer::Script([](const dv::testing::RecordedRequest&) {
            dv::MutexLocker lock(nextReply().mutex);
            return nextReply().reply;
        }));
        return loopback;
    }();
    return *s_server;
}

template <class T>
void readModels(const id& records)
{
    auto models = dv::app::replyModels<T>(records);
    for (const id& object : *models)
        (void)object->description();
}

// What a screen reads of a reply.
void readReply(const id& json)
{
    auto reply = ServerReply::fromObject(json);
    if (!reply)
        std::abort(); // the client hands its success block objects only
    (void)reply->succeeded();
    (void)reply->msg()->utf8();
    (void)reply->textForKey("token"_ns);
    (void)reply->pageSize();
    (void)reply->totalCount();
    (void)reply->infoText();
    readModels<VQPassiveModel>(reply->listItems());
    readModels<VQBuyResourceModel>(reply->listItems());
    readModels<VQCityModel>(reply->infoArray());
    readModels<VQCategoryModel>(reply->infoArray());
    if (auto info = reply->infoDictionary()) {
        readModels<VQMainBtnModel>(info->objectForKey("listCate"_ns));
        readModels<VQAdModel>(info->objectForKey("listAd"_ns));
        (void)mm_modelWithDictionary<VQPassiveModel>(info);
        (void)dv::app::textOfJSON(info->objectForKey("qq"_ns));
    }
}

// The client's acceptance of a reply, without the transport: the JSON serialiser of the form POST
// (or, `mutable`, of the GET), then objects only.
void readWithoutTransport(const std::uint8_t* data, std::size_t size, bool mutableReply)
{
    auto headers = NSDictionary::of({ { "Content-Type"_ns, NSString::fromUTF8(kContentTypes[(data[0] >> 3) % std::size(kContentTypes)]) } });
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(NSURL::URLWithString("http://127.0.0.1/DV/r.do"_ns),
        kStatuses[data[1] % std::size(kStatuses)], "HTTP/1.1"_ns, headers);
    auto serializer = mutableReply
        ? PNJSONResponseSerializer::serializerWithReadingOptions(NSJSONReadingMutableContainers | NSJSONReadingMutableLeaves)
        : PNJSONResponseSerializer::serializer();
    Ref<NSError> error;
    id object = serializer->responseObjectForResponse(response, NSData::dataWithBytes(data + 2, size - 2), &error);
    if (error || !dv::as<NSDictionary>(object))
        return;
    readReply(object);
}

} // namespace

// Most inputs that reach the transport run it on several threads (the session's queues, the
// transport, the server), touching tens of thousands of places each time. libFuzzer's default
// schedule weighs every one of them after every run, and its leak check reruns every input whose
// allocations and frees differ during the run, which the transport's threads always make them:
// together they took six times as long as the input itself. Leaks still show when the run ends.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    dv::fuzz::addDefaultFlags(argc, argv, { "-entropic=0", "-detect_leaks=0" });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = [] {
        PSInstallDictionaryCategories();
        return dv::app::setServerAddress("127.0.0.1", server().port());
    }();
    if (!ready || size < 2)
        return 0;

    {
        dv::MutexLocker lock(nextReply().mutex);
        auto& reply = nextReply().reply;
        reply.status = kStatuses[data[1] % std::size(kStatuses)];
        reply.contentType = kContentTypes[(data[0] >> 3) % std::size(kContentTypes)];
        reply.body.assign(reinterpret_cast<const char*>(data + 2), size - 2);
        // Every call makes a session of its own and never uses its connection again: it closes
        // at once instead of holding one of the server's few workers for its idle second. The
        // body goes as it is: compressing each one would cost more than everything else here.
        reply.headers = { { "Connection", "close" } };
        reply.compressible = false;
    }

    auto url = dv::app::serverURL("r.do");
    auto fields = NSDictionary::of({ { "clientId"_ns, "0123456789abcdef0123456789abcdef"_ns } });
    // Counted outside this frame: a block called late must not write into a finished call.
    auto calls = std::make_shared<int>(0);
    auto success = [calls](const id& json) {
        ++*calls;
        readReply(json);
    };
    auto failure = [calls](const Ref<NSError>& error) {
        ++*calls;
        if (!error)
            std::abort();
        (void)error->description();
    };
    const int kind = data[0] % 8;
    if (kind > 2) {
        readWithoutTransport(data, size, kind % 2 == 1);
        return 0;
    }
    switch (kind) {
    case 0:
        ZHHttpTool::postWithURL(url, fields, success, failure);
        break;
    case 1:
        ZHHttpTool::postWithURL(url, fields, NSArray::of({ ZHFormData::codePicture(NSData::fromString("png")) }), success, failure);
        break;
    default:
        ZHHttpTool::getWithURL(url, fields, success, failure);
        break;
    }
    if (!dv::testing::runMainLoopUntil([&] { return *calls > 0; }, 10) || *calls != 1)
        std::abort();
    // The call's session winds down after its block: let it finish here, so that the next input
    // starts from the same state.
    dv::testing::runUntilIdle(10);
    return 0;
}
