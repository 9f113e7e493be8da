#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLError.h"

#include "platform/base/NSError.h"

#include <gtest/gtest.h>

namespace {

TEST(NSURLRequestTest, DefaultsMatchThePlatform)
{
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1/a"_ns));
    EXPECT_EQ(request->HTTPMethod()->utf8(), "GET");
    EXPECT_EQ(request->timeoutInterval(), 60.0);
    EXPECT_EQ(request->cachePolicy(), NSURLRequestUseProtocolCachePolicy);
    EXPECT_TRUE(request->HTTPShouldHandleCookies());
    EXPECT_FALSE(request->HTTPShouldUsePipelining());
    EXPECT_FALSE(request->allHTTPHeaderFields());
    EXPECT_FALSE(request->HTTPBody());
}

TEST(NSURLRequestTest, HeaderNamesIgnoreCaseAndKeepTheFirstSpelling)
{
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1/a"_ns));
    request->setValueForHTTPHeaderField("text/plain"_ns, "Content-Type"_ns);
    request->setValueForHTTPHeaderField("application/json"_ns, "content-type"_ns);
    request->addValueForHTTPHeaderField("b"_ns, "X-List"_ns);
    request->addValueForHTTPHeaderField("c"_ns, "x-list"_ns);
    EXPECT_EQ(request->valueForHTTPHeaderField("CONTENT-TYPE"_ns)->utf8(), "application/json");
    EXPECT_EQ(request->valueForHTTPHeaderField("X-List"_ns)->utf8(), "b,c");
    auto all = request->allHTTPHeaderFields();
    ASSERT_EQ(all->count(), 2u);
    EXPECT_TRUE(all->objectForKey("Content-Type"));
    request->setValueForHTTPHeaderField(nil, "CONTENT-type"_ns);
    EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Type"_ns));
    request->setHTTPMethod(nil);
    EXPECT_EQ(request->HTTPMethod()->utf8(), "GET");
}

TEST(NSURLRequestTest, CopiesAreIndependentAndEqualByValue)
{
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1/a"_ns));
    request->setHTTPMethod("POST"_ns);
    request->setHTTPBody(NSData::fromString("body"));
    auto frozen = std::static_pointer_cast<NSURLRequest>(request->copy());
    EXPECT_FALSE(dv::as<NSMutableURLRequest>(frozen));
    EXPECT_TRUE(frozen->isEqual(request.get()));
    request->setHTTPMethod("PUT"_ns);
    EXPECT_EQ(frozen->HTTPMethod()->utf8(), "POST");
    EXPECT_FALSE(frozen->isEqual(request.get()));
    auto again = std::static_pointer_cast<NSMutableURLRequest>(frozen->mutableCopy());
    EXPECT_EQ(again->HTTPBody()->view(), "body");
}

TEST(NSHTTPURLResponseTest, DerivesTypeEncodingAndLengthFromTheFields)
{
    auto url = NSURL::URLWithString("http://127.0.0.1/files/report.json"_ns);
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(url, 200,
        { { "Content-Type", "Application/JSON; charset=\"UTF-8\"" }, { "Content-Length", "42" }, { "Set-Cookie", "a=1" }, { "set-cookie", "b=2" } });
    EXPECT_EQ(response->statusCode(), 200);
    EXPECT_EQ(response->MIMEType()->utf8(), "application/json");
    EXPECT_EQ(response->textEncodingName()->utf8(), "utf-8");
    EXPECT_EQ(response->expectedContentLength(), 42);
    EXPECT_EQ(response->valueForHTTPHeaderField("SET-COOKIE"_ns)->utf8(), "a=1, b=2");
    EXPECT_EQ(response->suggestedFilename()->utf8(), "report.json");

    auto unknown = alloc<NSHTTPURLResponse>()->initWithURL(url, 200, { { "Content-Length", "12abc" } });
    EXPECT_EQ(unknown->expectedContentLength(), -1);
    auto encoded = alloc<NSHTTPURLResponse>()->initWithURL(url, 200, { { "Content-Length", "10" }, { "Content-Encoding", "gzip" } });
    EXPECT_EQ(encoded->expectedContentLength(), -1);
}

TEST(NSHTTPURLResponseTest, SuggestedFilenameNeverEscapesItsDirectory)
{
    auto url = NSURL::URLWithString("http://127.0.0.1/"_ns);
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(url, 200, { { "Content-Disposition", "attachment; filename=\"../../etc/passwd\"" } });
    EXPECT_EQ(response->suggestedFilename()->utf8(), "passwd");
    auto none = alloc<NSHTTPURLResponse>()->initWithURL(url, 200, std::vector<std::pair<std::string, std::string>> {});
    EXPECT_EQ(none->suggestedFilename()->utf8(), "Unknown");
}

TEST(NSURLErrorTest, ErrorsCarryDescriptionAndFailingURL)
{
    auto url = NSURL::URLWithString("https://127.0.0.1:8443/x"_ns);
    auto error = dv::makeURLError(NSURLErrorServerCertificateUntrusted, url);
    EXPECT_EQ(error->domain()->utf8(), "NSURLErrorDomain");
    EXPECT_EQ(error->code(), -1202);
    EXPECT_NE(error->localizedDescription()->utf8().find("“127.0.0.1”"), std::string::npos);
    EXPECT_TRUE(dv::equal(error->userInfo()->objectForKey(NSURLErrorFailingURLErrorKey), url));
    EXPECT_EQ(dv::as<NSString>(error->userInfo()->objectForKey("NSErrorFailingURLStringKey"))->utf8(), "https://127.0.0.1:8443/x");
    EXPECT_EQ(dv::makeURLError(NSURLErrorTimedOut, nil)->localizedDescription()->utf8(), "The request timed out.");
}

} // namespace
