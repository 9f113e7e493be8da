// NSException: raised only where the platform raises one (programming errors such as an index
// out of range or an unrecognised selector). `raise` throws a dv::RaisedException that carries it.
#pragma once

#include "platform/base/NSObject.h"

#include <exception>
#include <string>

class NSException : public NSObject {
    DV_CLASS(NSException, NSObject)

    NSException() = default;
    Ref<NSException> initWithName(const Ref<NSString>& name, const Ref<NSString>& reason, const Ref<NSDictionary>& userInfo);
    static Ref<NSException> exceptionWithName(const Ref<NSString>& name, const Ref<NSString>& reason, const Ref<NSDictionary>& userInfo);

    // Throws a new exception: [[noreturn]] raise of the platform.
    [[noreturn]] static void raise(const Ref<NSString>& name, const Ref<NSString>& reason);
    [[noreturn]] static void raise(const char* name, std::string reason);
    [[noreturn]] void raise() const;

    Ref<NSString> name() const { return m_name; }
    Ref<NSString> reason() const { return m_reason; }
    Ref<NSDictionary> userInfo() const { return m_userInfo; }
    Ref<NSString> description() const override;

private:
    Ref<NSString> m_name;
    Ref<NSString> m_reason;
    Ref<NSDictionary> m_userInfo;
};

namespace dv {

// What `raise` throws: catch it by reference.
class RaisedException : public std::exception {
public:
    explicit RaisedException(Ref<NSException> exception);
    const Ref<NSException>& exception() const { return m_exception; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    Ref<NSException> m_exception;
    std::string m_what;
};

} // namespace dv

extern const char* const NSInvalidArgumentException;
extern const char* const NSRangeException;
extern const char* const NSInternalInconsistencyException;
extern const char* const NSGenericException;
extern const char* const NSUndefinedKeyException;
extern const char* const NSMallocException;
