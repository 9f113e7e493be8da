#include "foundation/http/internal/MIMETypes.h"

#include "platform/base/NSString.h"

#include <string_view>
#include <unordered_map>

namespace dv::internal::http {

Ref<NSString> preferredMIMETypeForExtension(const Ref<NSString>& extension)
{
    static const std::unordered_map<std::string_view, std::string_view> table = {
        {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"}, {"jpe", "image/jpeg"}, {"png", "image/png"}, {"gif", "image/gif"},
        {"bmp", "image/bmp"}, {"tif", "image/tiff"}, {"tiff", "image/tiff"}, {"ico", "image/vnd.microsoft.icon"},
        {"webp", "image/webp"}, {"heic", "image/heic"}, {"svg", "image/svg+xml"},
        {"txt", "text/plain"}, {"text", "text/plain"}, {"html", "text/html"}, {"htm", "text/html"}, {"css", "text/css"},
        {"csv", "text/csv"}, {"xml", "application/xml"}, {"rtf", "text/rtf"}, {"vcf", "text/vcard"},
        {"js", "text/javascript"}, {"json", "application/json"}, {"plist", "application/x-plist"},
        {"pdf", "application/pdf"}, {"zip", "application/zip"}, {"gz", "application/x-gzip"}, {"tar", "application/x-tar"},
        {"doc", "application/msword"}, {"xls", "application/vnd.ms-excel"}, {"ppt", "application/vnd.ms-powerpoint"},
        {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
        {"mp3", "audio/mpeg"}, {"m4a", "audio/mp4"}, {"wav", "audio/vnd.wave"}, {"aac", "audio/aac"}, {"amr", "audio/amr"},
        {"mp4", "video/mp4"}, {"m4v", "video/x-m4v"}, {"mov", "video/quicktime"}, {"3gp", "video/3gpp"}, {"avi", "video/avi"},
    };
    if (!extension)
        return nil;
    auto key = extension->lowercaseString();
    auto found = table.find(key->utf8());
    return found == table.end() ? nil : NSString::fromUTF8(found->second);
}

} // namespace dv::internal::http
