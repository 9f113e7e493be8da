// Keyed archives of the project's own classes from anywhere (a file, a pasteboard): the HTTP
// layer's serialisers, security policy and session managers, and a model archived through the
// model operations. Nothing crashes, and an object read archives again and reads back as the same
// class.
#include "ArchivedModel.h"

#include "foundation/http/PNCompoundResponseSerializer.h"
#include "foundation/http/PNHTTPSessionManager.h"
#include "foundation/http/PNImageResponseSerializer.h"
#include "foundation/http/PNJSONRequestSerializer.h"
#include "foundation/http/PNJSONResponseSerializer.h"
#include "foundation/http/PNPropertyListRequestSerializer.h"
#include "foundation/http/PNPropertyListResponseSerializer.h"
#include "foundation/http/PNSecurityPolicy.h"
#include "foundation/http/PNXMLParserResponseSerializer.h"
#include "platform/base/Base.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"

#include <cstdint>
#include <cstdlib>

// An archive may make objects refer to each other in a cycle (the unarchiver hands out an object
// still being decoded, as the platform's does), and such a graph is never freed. The leak check
// would stop at every one; it is off for this target.
extern "C" int __lsan_is_turned_off() { return 1; }

namespace {

void release(const id& object)
{
    // A session manager owns a URL session with its own queue and connections.
    if (auto manager = dv::as<PNURLSessionManager>(object))
        manager->invalidateSessionCancelingTasks(true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<Class> classes = { PNHTTPRequestSerializer::class_(), PNJSONRequestSerializer::class_(),
        PNPropertyListRequestSerializer::class_(), PNHTTPResponseSerializer::class_(), PNJSONResponseSerializer::class_(),
        PNXMLParserResponseSerializer::class_(), PNPropertyListResponseSerializer::class_(), PNImageResponseSerializer::class_(),
        PNCompoundResponseSerializer::class_(), PNSecurityPolicy::class_(), PNURLSessionManager::class_(),
        PNHTTPSessionManager::class_(), FZArchivedModel::class_() };
    auto bytes = NSData::dataWithBytes(data, size);
    Ref<NSError> error;
    // An archive without a root object gives nil without an error, as the platform's does.
    id object = NSKeyedUnarchiver::unarchivedObjectOfClasses(classes, bytes, &error);
    if (object) {
        (void)object->description();
        auto archived = NSKeyedArchiver::archivedDataWithRootObject(object, true, &error);
        if (!archived)
            std::abort();
        id again = NSKeyedUnarchiver::unarchivedObjectOfClasses(classes, archived, &error);
        if (!again || again->getClass() != object->getClass())
            std::abort();
        release(again);
        release(object);
    }
    // Without secure coding, any registered class may be asked for.
    release(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(bytes, &error));
    return 0;
}
