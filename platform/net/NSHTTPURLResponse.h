// The response of an HTTP load: status code and header fields (names looked up without regard to
// case; repeated fields joined with ", "), plus what NSURLResponse derives from them. Immutable.
#pragma once

#include "platform/net/NSURLResponse.h"

#include <string>
#include <utility>
#include <vector>

class NSHTTPURLResponse : public NSURLResponse {
    DV_CLASS(NSHTTPURLResponse, NSURLResponse)

    NSHTTPURLResponse() = default;
    Ref<NSHTTPURLResponse> initWithURL(const Ref<NSURL>& url, NSInteger statusCode, const Ref<NSString>& HTTPVersion,
        const Ref<NSDictionary>& headerFields);
    // From the transport: the fields exactly as received, in order.
    Ref<NSHTTPURLResponse> initWithURL(const Ref<NSURL>& url, NSInteger statusCode, std::vector<std::pair<std::string, std::string>> fields);

    NSInteger statusCode() const { return m_statusCode; }
    Ref<NSDictionary> allHeaderFields() const { return m_headerDictionary; }
    Ref<NSString> valueForHTTPHeaderField(const Ref<NSString>& field) const;
    const std::vector<std::pair<std::string, std::string>>& receivedFields() const { return m_fields; }
    Ref<NSString> suggestedFilename() const override;

    static Ref<NSString> localizedStringForStatusCode(NSInteger statusCode);

    Ref<NSString> description() const override;

private:
    void derive();
    NSInteger m_statusCode = 0;
    std::vector<std::pair<std::string, std::string>> m_fields;
    Ref<NSDictionary> m_headerDictionary;
};
