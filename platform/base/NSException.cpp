#include "platform/base/NSException.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"

const char* const NSInvalidArgumentException = "NSInvalidArgumentException";
const char* const NSRangeException = "NSRangeException";
const char* const NSInternalInconsistencyException = "NSInternalInconsistencyException";
const char* const NSGenericException = "NSGenericException";
const char* const NSUndefinedKeyException = "NSUnknownKeyException";
const char* const NSMallocException = "NSMallocException";

DV_DEFINE_CLASS(NSException)

Ref<NSException> NSException::initWithName(const Ref<NSString>& name, const Ref<NSString>& reason, const Ref<NSDictionary>& userInfo)
{
    m_name = dv::copyAs<NSString>(name);
    m_reason = dv::copyAs<NSString>(reason);
    m_userInfo = userInfo;
    return self<NSException>();
}

Ref<NSException> NSException::exceptionWithName(const Ref<NSString>& name, const Ref<NSString>& reason, const Ref<NSDictionary>& userInfo)
{
    return alloc<NSException>()->initWithName(name, reason, userInfo);
}

void NSException::raise(const Ref<NSString>& name, const Ref<NSString>& reason)
{
    exceptionWithName(name, reason, nullptr)->raise();
}

void NSException::raise(const char* name, std::string reason)
{
    exceptionWithName(NSString::stringWithUTF8String(name), NSString::fromUTF8(reason), nullptr)->raise();
}

void NSException::raise() const { throw dv::RaisedException(std::const_pointer_cast<NSException>(self<NSException>())); }

Ref<NSString> NSException::description() const { return m_reason ? m_reason : NSString::string(); }

namespace dv {

RaisedException::RaisedException(Ref<NSException> exception)
    : m_exception(std::move(exception))
    , m_what(str(m_exception->name()) + ": " + str(m_exception->reason()))
{
}

} // namespace dv
