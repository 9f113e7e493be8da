#include "platform/base/NSError.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(NSError)

const Ref<NSString> NSLocalizedDescriptionKey = "NSLocalizedDescription"_ns;
const Ref<NSString> NSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason"_ns;
const Ref<NSString> NSLocalizedRecoverySuggestionErrorKey = "NSLocalizedRecoverySuggestion"_ns;
const Ref<NSString> NSUnderlyingErrorKey = "NSUnderlyingError"_ns;
const Ref<NSString> NSFilePathErrorKey = "NSFilePath"_ns;
const Ref<NSString> NSURLErrorKey = "NSURL"_ns;
const Ref<NSString> NSStringEncodingErrorKey = "NSStringEncodingErrorKey"_ns;
const Ref<NSString> NSCocoaErrorDomain = "NSCocoaErrorDomain"_ns;
const Ref<NSString> NSPOSIXErrorDomain = "NSPOSIXErrorDomain"_ns;
const Ref<NSString> NSOSStatusErrorDomain = "NSOSStatusErrorDomain"_ns;

Ref<NSError> NSError::initWithDomain(const Ref<NSString>& domain, NSInteger code, const Ref<NSDictionary>& userInfo)
{
    m_domain = dv::copyAs<NSString>(domain);
    m_code = code;
    m_userInfo = userInfo ? dv::copyAs<NSDictionary>(userInfo) : nullptr;
    return self<NSError>();
}

Ref<NSError> NSError::errorWithDomain(const Ref<NSString>& domain, NSInteger code, const Ref<NSDictionary>& userInfo)
{
    return alloc<NSError>()->initWithDomain(domain, code, userInfo);
}

Ref<NSDictionary> NSError::userInfo() const { return m_userInfo ? m_userInfo : NSDictionary::dictionary(); }

Ref<NSString> NSError::localizedDescription() const
{
    if (m_userInfo)
        if (auto text = dv::as<NSString>(m_userInfo->objectForKey(NSLocalizedDescriptionKey)))
            return text;
    return NSString::stringWithFormat("The operation couldn\u2019t be completed. (%@ error %ld.)", m_domain, static_cast<long>(m_code));
}

Ref<NSString> NSError::localizedFailureReason() const
{
    return m_userInfo ? dv::as<NSString>(m_userInfo->objectForKey(NSLocalizedFailureReasonErrorKey)) : nullptr;
}

Ref<NSString> NSError::localizedRecoverySuggestion() const
{
    return m_userInfo ? dv::as<NSString>(m_userInfo->objectForKey(NSLocalizedRecoverySuggestionErrorKey)) : nullptr;
}

Ref<NSError> NSError::underlyingError() const { return m_userInfo ? dv::as<NSError>(m_userInfo->objectForKey(NSUnderlyingErrorKey)) : nullptr; }

Ref<NSString> NSError::description() const
{
    // "Error Domain=D Code=C "text" UserInfo={k=v, ...}"
    std::string info;
    if (m_userInfo && m_userInfo->count()) {
        info = " UserInfo={";
        bool first = true;
        for (auto& [key, value] : *m_userInfo) {
            if (!first)
                info += ", ";
            first = false;
            info += dv::str(key) + "=" + dv::str(value);
        }
        info += "}";
    }
    return NSString::fromUTF8("Error Domain=" + dv::str(m_domain) + " Code=" + std::to_string(m_code) + " \""
                              + localizedDescription()->utf8() + "\"" + info);
}

bool NSError::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto* error = dynamic_cast<const NSError*>(other);
    return error && error->m_code == m_code && dv::equal(error->m_domain, m_domain) && dv::equal(error->userInfo(), userInfo());
}

NSUInteger NSError::hash() const { return (m_domain ? m_domain->hash() : 0) ^ static_cast<NSUInteger>(m_code); }
id NSError::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSError>(self<NSError>()); }
