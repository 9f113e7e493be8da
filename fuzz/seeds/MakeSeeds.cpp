// Writes the seed corpus of every fuzz target (fuzz/corpus/<target>/) with the project's own
// writers: JSON, property lists and keyed archives from the serialisers, cache, keychain and
// address-book files from those stores, certificates from the test authority, resume data from
// the download code, text in every encoding from the string encoder. Small valid inputs, so that
// fuzzing starts deep inside each reader instead of at its first check.
//
//   dv_fuzz_seeds <corpus folder>        (scripts/fuzz --seeds runs it)
//
// Inputs that several targets read with a leading choice byte get it here too, as each target's
// own comment describes. The image targets keep corpora of their own, written by
// fuzz/graphics/MakeImageCorpus.cpp (scripts/fuzz --seeds runs both), and are left alone here.
#include "../base/FuzzEncodings.h"
#include "../http/ArchivedModel.h"

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
#include "platform/base/Base64.h"
#include "platform/base/NSCharacterSet.h"
#include "platform/base/NSDecimalNumber.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSURLComponents.h"
#include "platform/base/NSURLQueryItem.h"
#include "platform/base/NSUUID.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/internal/TaskSupport.h"
#include "platform/system/ABMultiValue.h"
#include "platform/system/AddressBook.h"
#include "platform/system/Security.h"
#include "platform/testing/TestCertificates.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLSession.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "tools/devserver/Server.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path s_corpus;
int s_written = 0;

std::string bytesOf(const Ref<NSData>& data) { return data ? std::string(data->view()) : std::string(); }

void seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    fs::create_directories(s_corpus / target);
    std::ofstream(s_corpus / target / name, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ++s_written;
}

std::string fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string json(const id& object)
{
    Ref<NSError> error;
    return bytesOf(NSJSONSerialization::dataWithJSONObject(object, NSJSONWritingFragmentsAllowed, &error));
}

std::string plist(const id& object, NSPropertyListFormat format)
{
    Ref<NSError> error;
    return bytesOf(NSPropertyListSerialization::dataWithPropertyList(object, format, 0, &error));
}

std::string archive(const id& object, bool secure = true)
{
    Ref<NSError> error;
    return bytesOf(NSKeyedArchiver::archivedDataWithRootObject(object, secure, &error));
}

std::string der(const dv::testing::TestCertificate& certificate)
{
    return std::string(certificate.der.begin(), certificate.der.end());
}

// A server reply as the application server sends them, and other shapes JSON takes.
Ref<NSDictionary> serverReply()
{
    auto record = NSDictionary::of({ { "qrcodeId"_ns, "1024"_ns }, { "title"_ns, "信聊群 · 深圳"_ns }, { "areaName"_ns, "广东 深圳"_ns },
        { "addTime"_ns, "2016-05-01 12:30:00"_ns }, { "position"_ns, NSNumber::from(3) } });
    auto info = NSDictionary::of({ { "pageSize"_ns, NSNumber::from(20) }, { "totalCount"_ns, NSNumber::from(1) },
        { "listItems"_ns, NSArray::of({ record }) } });
    return NSDictionary::of({ { "status"_ns, NSNumber::from(1) }, { "msg"_ns, "成功"_ns }, { "info"_ns, info } });
}

void formatSeeds()
{
    auto reply = serverReply();
    auto odd = NSArray::of({ NSNumber::numberWithDouble(-0.5), NSNumber::numberWithDouble(1e300), NSNumber::numberWithLongLong(-9007199254740993),
        NSNumber::numberWithBool(true), NSNull::null(), "tab\t\"quote\" \\ \u00e9 \U0001F600"_ns, NSDictionary::dictionary(), NSArray::array() });
    // fuzz_json: the first byte holds the reading options.
    seed("fuzz_json", "reply.json", std::string(1, '\0') + json(reply));
    seed("fuzz_json", "values.json", std::string(1, '\x07') + json(odd));
    seed("fuzz_json", "fragment.json", std::string(1, '\x04') + json("文本"_ns));

    seed("fuzz_plist", "reply.binary.plist", plist(reply, NSPropertyListBinaryFormat_v1_0));
    seed("fuzz_plist", "reply.xml.plist", plist(reply, NSPropertyListXMLFormat_v1_0));
    auto typed = NSDictionary::of({ { "data"_ns, NSData::fromString("\x01\x02\x03") }, { "date"_ns, NSDate::dateWithTimeIntervalSinceReferenceDate(500000000) },
        { "real"_ns, NSNumber::numberWithDouble(2.5) }, { "list"_ns, odd->subarrayWithRange(NSMakeRange(0, 4)) } });
    seed("fuzz_plist", "typed.binary.plist", plist(typed, NSPropertyListBinaryFormat_v1_0));
    seed("fuzz_plist", "typed.xml.plist", plist(typed, NSPropertyListXMLFormat_v1_0));
    seed("fuzz_plist", "reply.archive", archive(reply));

    seed("fuzz_xml", "reply.xml.plist", plist(reply, NSPropertyListXMLFormat_v1_0));
    seed("fuzz_xml", "namespaces.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:m=\"urn:m\">"
        "<entry m:id=\"1\"><title>标题 &amp; more</title><![CDATA[<raw>]]><!-- note --><m:empty/></entry></feed>\n");

    std::string bytes;
    for (int i = 0; i < 200; ++i)
        bytes += static_cast<char>(i * 7);
    auto data = NSData::fromString(bytes);
    seed("fuzz_base64", "plain.b64", data->base64EncodedStringWithOptions(0)->utf8());
    seed("fuzz_base64", "lines76.b64", data->base64EncodedStringWithOptions(NSDataBase64Encoding76CharacterLineLength | NSDataBase64EncodingEndLineWithCarriageReturn | NSDataBase64EncodingEndLineWithLineFeed)->utf8());
    seed("fuzz_base64", "lines64.b64", NSData::fromString("ab")->base64EncodedStringWithOptions(NSDataBase64Encoding64CharacterLineLength)->utf8());
}

void baseSeeds()
{
    // fuzz_url: the first byte, modulo the input's length plus one, splits base from reference.
    auto components = NSURLComponents::componentsWithString("http://user:pw@shop.example.com:8092/DV/qrcode/listCode.do"_ns);
    components->setQueryItems(NSArray::of({ NSURLQueryItem::queryItemWithName("province"_ns, "广东"_ns),
        NSURLQueryItem::queryItemWithName("page"_ns, "2"_ns), NSURLQueryItem::queryItemWithName("q"_ns, "a b&c"_ns) }));
    components->setFragment("top"_ns);
    std::string full = components->URL()->absoluteString()->utf8();
    seed("fuzz_url", "whole.txt", std::string(1, '\0') + full);
    std::string base = "http://example.com/a/b/c;p?q";
    std::string reference = "../../g?y#s";
    seed("fuzz_url", "relative.txt", std::string(1, static_cast<char>(base.size() + 1)) + base + reference);
    seed("fuzz_url", "file.txt", std::string(1, '\0') + NSURL::fileURLWithPath("/tmp/dir with space/文件.txt"_ns, false)->absoluteString()->utf8());

    int index = 0;
    for (auto* text : { "0", "-42", "3.14159", "1e-7", "-1.5E+300", "18446744073709551615", "0x1F", "  +7.25e2xyz" })
        seed("fuzz_number", "number-" + std::to_string(index++) + ".txt", text);
    seed("fuzz_number", "decimal.txt", NSDecimalNumber::decimalNumberWithMantissa(12345678901234567890ull, -12, true)->stringValue()->utf8());

    auto text = "订单 a b&c=d/é?#%"_ns;
    seed("fuzz_percent_escapes", "query.txt", text->stringByAddingPercentEncodingWithAllowedCharacters(NSCharacterSet::URLQueryAllowedCharacterSet())->utf8());
    seed("fuzz_percent_escapes", "path.txt", text->stringByAddingPercentEncodingWithAllowedCharacters(NSCharacterSet::URLPathAllowedCharacterSet())->utf8());
    seed("fuzz_percent_escapes", "plain.txt", text->utf8());
    seed("fuzz_percent_escapes", "broken.txt", "%E4%B8%zz%4%%41");

    auto uuid = NSUUID::UUID()->UUIDString();
    seed("fuzz_uuid_string", "upper.txt", uuid->utf8());
    seed("fuzz_uuid_string", "lower.txt", uuid->lowercaseString()->utf8());
    seed("fuzz_uuid_string", "nil.txt", "00000000-0000-0000-0000-000000000000");

    // fuzz_string_encodings: the first byte picks the encoding.
    auto sample = "中文 繁體 日本語 한국어 Ä ö € ∑ abc 123\n"_ns;
    const auto& encodings = dv::fuzz::textEncodings();
    for (std::size_t i = 0; i < encodings.size(); ++i) {
        auto encoded = sample->dataUsingEncoding(encodings[i], true);
        if (encoded)
            seed("fuzz_string_encodings", "encoding-" + std::to_string(i), std::string(1, static_cast<char>(i)) + bytesOf(encoded));
    }
}

void netSeeds(const fs::path& scratch)
{
    // fuzz_http_response: "Name: value" lines.
    seed("fuzz_http_response", "cookies.txt",
        "Content-Type: text/html; charset=\"GBK\"\nContent-Length: 120\nContent-Disposition: attachment; filename=\"报表.xls\"\n"
        "Set-Cookie: sid=abc123; Domain=.example.com; Path=/; Expires=Wed, 09 Jun 2038 10:18:14 GMT; Secure; HttpOnly\n"
        "Set-Cookie: lang=zh; Max-Age=3600\nSet-Cookie: evil=1; Domain=other.org\nCache-Control: max-age=60\n");
    seed("fuzz_http_response", "encoded.txt", "Content-Encoding: gzip\nContent-Length: 10\nContent-Type: application/json\nETag: \"v1\"\n");

    // fuzz_status_line: heads as libcurl hands them over.
    seed("fuzz_status_line", "ok.txt", "HTTP/1.1 200 OK\r\nContent-Type: application/json;charset=UTF-8\r\nContent-Length: 27\r\nConnection: keep-alive\r\n\r\n");
    seed("fuzz_status_line", "continue.txt", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nLocation: /x\r\nContent-Length: 0, 0\r\n\r\n");
    seed("fuzz_status_line", "chunked.txt", "HTTP/1.0 404 Not Found\r\nTransfer-Encoding: chunked\r\n\r\nX-Trailer: t\r\n\r\n");
    seed("fuzz_status_line", "conflict.txt", "HTTP/1.1 200 OK\r\nContent-Length: 8\r\nContent-Length: 20\r\n\r\n");

    // fuzz_url_cache_file: entries as the cache writes them.
    auto folder = scratch / "cache";
    auto cache = alloc<NSURLCache>()->initWithMemoryCapacity(0, 10 << 20, NSString::fromUTF8(folder.string()));
    auto url = NSURL::URLWithString("http://127.0.0.1/x"_ns);
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(url, 200,
        std::vector<std::pair<std::string, std::string>> { { "Content-Type", "application/json" }, { "Cache-Control", "max-age=600" }, { "ETag", "\"e1\"" } });
    cache->storeCachedResponse(alloc<NSCachedURLResponse>()->initWithResponse(response, NSData::fromString(json(serverReply()))),
        NSURLRequest::requestWithURL(url));
    for (auto& entry : fs::directory_iterator(folder))
        seed("fuzz_url_cache_file", "entry.cache", fileBytes(entry.path()));

    // fuzz_resume_data: "@DL@" stands for the target's download folder, "@HOME@" for its home.
    using dv::internal::net::ResumeData;
    auto resume = [](const std::string& path) {
        return dv::internal::net::encodeResumeData(ResumeData { .url = "http://127.0.0.1:8092/DV/video.mp4", .validator = "\"v1\"", .offset = 32, .path = path });
    };
    seed("fuzz_resume_data", "partial.txt", resume("@DL@/CFNetworkDownload_partial.tmp"));
    seed("fuzz_resume_data", "link.txt", resume("@DL@/CFNetworkDownload_link.tmp"));
    seed("fuzz_resume_data", "outside.txt", resume("@HOME@/CFNetworkDownload_outside.tmp"));
    seed("fuzz_resume_data", "climb.txt", resume("@DL@/../CFNetworkDownload_outside.tmp"));
    seed("fuzz_resume_data", "deep.txt", resume("@DL@/sub/CFNetworkDownload_deep.tmp"));

    // fuzz_certificate: chains back to back, leaf first.
    const auto& test = dv::testing::TestCertificates::shared();
    seed("fuzz_certificate", "chain.der", der(test.leaf) + der(test.intermediate) + der(test.root));
    seed("fuzz_certificate", "expired.der", der(test.expired) + der(test.intermediate) + der(test.root));
    seed("fuzz_certificate", "future.der", der(test.notYetValid) + der(test.intermediate) + der(test.root));
    seed("fuzz_certificate", "rogue.der", der(test.rogue));
    seed("fuzz_certificate", "other-host.der", der(test.otherHost) + der(test.intermediate));
}

void httpSeeds()
{
    // fuzz_response_serializers: status, content type and character set bytes, then the body.
    auto reply = json(serverReply());
    seed("fuzz_response_serializers", "json.bin", std::string("\0\0\1", 3) + reply);
    seed("fuzz_response_serializers", "json-500.bin", std::string("\5\1\0", 3) + reply);
    auto gbk = "{\"msg\":\"中文\"}"_ns->dataUsingEncoding(CFStringConvertEncodingToNSStringEncoding(kCFStringEncodingGBK_95));
    seed("fuzz_response_serializers", "json-gbk.bin", std::string("\0\0\2", 3) + bytesOf(gbk));
    seed("fuzz_response_serializers", "xml.bin", std::string("\0\3\1", 3) + plist(serverReply(), NSPropertyListXMLFormat_v1_0));
    seed("fuzz_response_serializers", "plist.bin", std::string("\0\5\0", 3) + plist(serverReply(), NSPropertyListBinaryFormat_v1_0));
    UIGraphicsBeginImageContext(CGSizeMake(3, 2));
    UIColor::redColor()->setFill();
    UIRectFill(CGRectMake(0, 0, 2, 2));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    seed("fuzz_response_serializers", "png.bin", std::string("\0\6\0", 3) + bytesOf(UIImagePNGRepresentation(image)));

    // fuzz_model_json: a record with every kind of property the target's model has.
    auto node = NSMutableDictionary::dictionaryWithDictionary(NSDictionary::of({ { "name"_ns, "节点"_ns },
        { "int64"_ns, NSNumber::numberWithLongLong(-42) }, { "uint64"_ns, "18446744073709551615"_ns },
        { "a"_ns, NSDictionary::of({ { "b"_ns, NSDictionary::of({ { "c"_ns, NSNumber::from(7) } }) } }) }, { "d"_ns, "2.5"_ns },
        { "flag"_ns, "true"_ns }, { "number"_ns, "12"_ns }, { "date"_ns, "2016-05-01T12:30:00+0800"_ns },
        { "url"_ns, "http://example.com/a b"_ns }, { "data"_ns, "AQID"_ns }, { "text"_ns, "mutable"_ns }, { "cls"_ns, "NSString"_ns },
        { "selector"_ns, "description"_ns }, { "rect"_ns, "{{1, 2}, {3, 4}}"_ns } }));
    auto leafNode = NSDictionary::of({ { "name"_ns, "leaf"_ns }, { "int32"_ns, NSNumber::from(1) } });
    node->setObjectForKey(NSArray::of({ leafNode, leafNode }), "children"_ns);
    node->setObjectForKey(NSDictionary::of({ { "k"_ns, leafNode } }), "byKey"_ns);
    node->setObjectForKey(NSArray::of({ leafNode }), "set"_ns);
    node->setObjectForKey(leafNode, "child"_ns);
    seed("fuzz_model_json", "node.json", json(node));
    seed("fuzz_model_json", "nodes.json", json(NSArray::of({ node, leafNode })));

    // fuzz_keyed_archive: each coded class of the HTTP layer, and a model.
    auto request = PNJSONRequestSerializer::serializer();
    request->setTimeoutInterval(10);
    request->setValueForHTTPHeaderField("zh-Hans"_ns, "Accept-Language"_ns);
    seed("fuzz_keyed_archive", "json-request.archive", archive(request));
    seed("fuzz_keyed_archive", "plist-request.archive", archive(PNPropertyListRequestSerializer::serializer()));
    auto jsonResponse = PNJSONResponseSerializer::serializer();
    jsonResponse->setRemovesKeysWithNullValues(true);
    seed("fuzz_keyed_archive", "compound.archive", archive(PNCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        NSArray::of({ jsonResponse, PNXMLParserResponseSerializer::serializer(), PNPropertyListResponseSerializer::serializer(),
            PNImageResponseSerializer::serializer() }))));
    const auto& test = dv::testing::TestCertificates::shared();
    auto policy = PNSecurityPolicy::policyWithPinningModeWithPinnedCertificates(PNSSLPinningModePublicKey,
        NSSet::setWithArray(NSArray::of({ NSData::dataWithVector(test.root.der) })));
    policy->setValidatesDomainName(true);
    seed("fuzz_keyed_archive", "policy.archive", archive(policy));
    auto manager = alloc<PNHTTPSessionManager>()->initWithBaseURL(NSURL::URLWithString("http://127.0.0.1:8092/DV/"_ns));
    manager->setSecurityPolicy(policy);
    seed("fuzz_keyed_archive", "session-manager.archive", archive(manager));
    manager->invalidateSessionCancelingTasks(true);
    auto model = alloc<FZArchivedModel>();
    model->m_title = "标题"_ns;
    model->m_count = -3;
    model->m_ratio = 0.25;
    model->m_flag = true;
    model->m_tags = NSArray::of({ "a"_ns, "b"_ns });
    model->m_extra = NSDictionary::of({ { "k"_ns, NSNumber::from(1) } });
    model->m_date = NSDate::dateWithTimeIntervalSinceReferenceDate(500000000);
    model->m_child = alloc<FZArchivedModel>();
    seed("fuzz_keyed_archive", "model.archive", archive(model, false));

    // fuzz_pinned_certificates: certificate files; the last byte also picks the policy's settings.
    seed("fuzz_pinned_certificates", "root.cer", der(test.root));
    seed("fuzz_pinned_certificates", "intermediate.cer", der(test.intermediate));
    seed("fuzz_pinned_certificates", "leaf-and-root.cer", der(test.leaf) + der(test.root));
    seed("fuzz_pinned_certificates", "rogue.cer", der(test.rogue));
    seed("fuzz_pinned_certificates", "junk.cer", "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
}

void systemSeeds(const fs::path& scratch)
{
    // fuzz_strings_file: tables as the application ships them, in UTF-8 and UTF-16.
    auto table = "/* 首页 */\n\"home.title\" = \"首页\";\n\"escaped\" = \"line\\nbreak \\\"quoted\\\" \\U4E2D\";\n// comment\nunquoted = value;\n"_ns;
    seed("fuzz_strings_file", "utf8.strings", table->utf8());
    seed("fuzz_strings_file", "utf16.strings", bytesOf(table->dataUsingEncoding(NSUTF16StringEncoding)));

    ::setenv("DOVRELTA_HOME", scratch.c_str(), 1);
    fs::create_directories(scratch / "device");
    // fuzz_keychain_file: a keychain with a couple of items, one under the account the target asks for.
    for (auto* account : { "a", "device" }) {
        (void)SecItemAdd(NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "com.dovrelta.identity"_ns },
                             { kSecAttrAccount, NSString::fromUTF8(account) }, { kSecValueData, NSData::fromString("0123456789abcdef") } }),
            nullptr);
    }
    seed("fuzz_keychain_file", "keychain.db", fileBytes(dv::KeychainSettings::databasePath()));

    // fuzz_address_book_file: prospects as the import writes them.
    dv::AddressBookAccess::setStatus(kABAuthorizationStatusAuthorized);
    auto book = ABAddressBookCreate();
    for (auto* number : { "13800000001", "13800000002" }) {
        auto person = ABPersonCreate();
        (void)ABRecordSetValue(person, kABPersonFirstNameProperty, "客户"_ns, nullptr);
        (void)ABRecordSetValue(person, kABPersonBirthdayProperty, NSDate::dateWithTimeIntervalSinceReferenceDate(500000000.5), nullptr);
        auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
        (void)ABMultiValueAddValueAndLabel(phones, NSString::fromUTF8(number), "iphone"_ns, nullptr);
        (void)ABRecordSetValue(person, kABPersonPhoneProperty, phones, nullptr);
        (void)ABAddressBookAddRecord(book, person, nullptr);
    }
    (void)ABAddressBookSave(book, nullptr);
    seed("fuzz_address_book_file", "address-book.db", fileBytes(dv::AddressBookAccess::databasePath()));
}

// fuzz_server_reply: the local application server's own replies, as it sends them. Byte 0 picks
// the call and the content type (0: form POST, application/json; 2: GET; 3: the serialiser
// alone), byte 1 the HTTP status (0: 200); the body follows.
void appSeeds(const fs::path& scratch)
{
    auto started = dv::devserver::Server::start({ .dataFolder = (scratch / "server").string() });
    if (!started) {
        std::cerr << "no local server for fuzz_server_reply: " << started.reason() << "\n";
        return;
    }
    auto server = std::move(started).value();
    auto fetch = [&](const std::string& path, const std::string& form) {
        auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(server->baseURL() + path)));
        request->setHTTPMethod("POST"_ns);
        request->setValueForHTTPHeaderField("application/x-www-form-urlencoded"_ns, "Content-Type"_ns);
        request->setHTTPBody(NSData::fromString(form));
        auto body = std::make_shared<std::string>();
        auto done = std::make_shared<std::atomic<bool>>(false);
        NSURLSession::sharedSession()->dataTaskWithRequest(request, [body, done](const Ref<NSData>& data, const Ref<NSURLResponse>&, const Ref<NSError>&) {
            *body = bytesOf(data);
            *done = true;
        })->resume();
        dv::testing::runMainLoopUntil([done] { return done->load(); });
        return *body;
    };
    const std::string client = "clientId=0123456789abcdef0123456789abcdef";
    const std::string reply("\0\0", 2);
    seed("fuzz_server_reply", "login.json", reply + fetch("client/login.do", client));
    const std::string home = fetch("home/index.do", "");
    seed("fuzz_server_reply", "home.json", reply + home);
    seed("fuzz_server_reply", "home-serializer.json", std::string("\3\0", 2) + home);
    seed("fuzz_server_reply", "about.json", std::string("\2\0", 2) + fetch("home/artifactIndex.do", ""));
    const std::string codes = fetch("qrcode/listCode.do", "type=3&page=2");
    seed("fuzz_server_reply", "codes.json", reply + codes);
    seed("fuzz_server_reply", "codes-serializer.json", std::string("\3\0", 2) + codes);
    seed("fuzz_server_reply", "detail.json", reply + fetch("qrcode/getDetail.do", "id=1&position=0"));
    seed("fuzz_server_reply", "first.json", reply + fetch("qrcode/getChangeDetail.do", "id=1&position=0&flag=0"));
    seed("fuzz_server_reply", "cities.json", reply + fetch("district/listSubDistrict.do", "parentId=440000"));
    const std::string categories = fetch("data/listCategory.do", client);
    seed("fuzz_server_reply", "categories.json", reply + categories);
    Ref<NSError> parseError;
    auto list = dv::as<NSDictionary>(NSJSONSerialization::JSONObjectWithData(NSData::fromString(categories), 0, &parseError));
    auto first = list ? dv::as<NSArray>(list->objectForKey("info"_ns)) : nil;
    auto category = first && first->count() ? dv::as<NSDictionary>(first->firstObject()) : nil;
    auto categoryId = category ? category->objectForKey("categoryId"_ns) : nil;
    if (categoryId)
        seed("fuzz_server_reply", "industry.json",
            reply + fetch("data/listIndustry.do", client + "&categoryId=" + dv::str(categoryId->description()) + "&page=0"));
    seed("fuzz_server_reply", "phones.json", reply + fetch("data/listAccuratePhone.do", client + "&proviceId=440000&page=0&phone=13800"));
    seed("fuzz_server_reply", "refusal.json", reply + fetch("qrcode/saveCode.do", client));
    server->setFault("qrcode/listCode.do", dv::devserver::Fault::of(dv::devserver::FaultKind::WrongTypes));
    seed("fuzz_server_reply", "wrongtypes.json", reply + fetch("qrcode/listCode.do", "type=11&page=1"));
    server->stop();
}

// fuzz_request_reader: requests as clients send them to the local server. Byte 0 picks the size
// of the pieces they arrive in (7: seven bytes at a time, 0: all at once), byte 1 the memory budget
// (0: none, 2: 4 KiB); the bytes on the connection follow.
void devserverSeeds()
{
    const std::string form = "clientId=0123456789abcdef0123456789abcdef";
    const std::string login = "POST /DV/client/login.do HTTP/1.1\r\nHost: 127.0.0.1:8092\r\nAccept: */*\r\n"
                              "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
        + std::to_string(form.size()) + "\r\n\r\n" + form;
    const std::string home = "GET /DV/home/index.do HTTP/1.1\r\nHost: 127.0.0.1:8092\r\nAccept-Encoding: gzip\r\n\r\n";
    const std::string multipart = "--Boundary+0123\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\n群\r\n"
                                  "--Boundary+0123\r\nContent-Disposition: form-data; name=\"code\"; filename=\"1111.png\"\r\n"
                                  "Content-Type: jpg\r\n\r\n\x89PNG\r\n\x1a\n\r\n--Boundary+0123--\r\n";
    const std::string upload = "POST /DV/qrcode/saveCode.do HTTP/1.1\r\nHost: 127.0.0.1:8092\r\n"
                               "Content-Type: multipart/form-data; boundary=Boundary+0123\r\nExpect: 100-continue\r\nContent-Length: "
        + std::to_string(multipart.size()) + "\r\n\r\n" + multipart;
    const std::string chunked = "POST /_control/fault HTTP/1.1\r\nHost: localhost:8092\r\nOrigin: http://localhost:8092\r\n"
                                "Transfer-Encoding: chunked\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n"
                                "9;ext=1\r\npath=home\r\n15\r\n%2Findex.do&fault=cut\r\n0\r\nX-Trailer: 1\r\n\r\n";
    const std::string allAtOnce("\0\0", 2), inPieces("\7\0", 2), withBudget("\0\2", 2);
    seed("fuzz_request_reader", "login", allAtOnce + login);
    seed("fuzz_request_reader", "pipelined", inPieces + home + login + home);
    seed("fuzz_request_reader", "upload", inPieces + upload);
    seed("fuzz_request_reader", "chunked", allAtOnce + chunked);
    seed("fuzz_request_reader", "budget", withBudget + upload + chunked);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: dv_fuzz_seeds <corpus folder>\n";
        return 2;
    }
    s_corpus = argv[1];
    std::string pattern = (fs::temp_directory_path() / "dv-fuzz-seeds-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return 1;
    fs::path scratch = pattern;
    formatSeeds();
    baseSeeds();
    netSeeds(scratch);
    httpSeeds();
    systemSeeds(scratch);
    appSeeds(scratch);
    devserverSeeds();
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    std::cout << s_written << " seeds written under " << s_corpus.string() << "\n";
    return 0;
}
