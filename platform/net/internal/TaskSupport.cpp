#include "platform/net/internal/TaskSupport.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSURLError.h"
#include "platform/net/internal/CachePaths.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <vector>

namespace dv::internal::net {

std::string lowercased(std::string s)
{
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

NSInteger URLErrorCodeFor(TransportError error)
{
    switch (error) {
    case TransportError::None: return 0;
    case TransportError::Cancelled: return NSURLErrorCancelled;
    case TransportError::TimedOut: return NSURLErrorTimedOut;
    case TransportError::BadURL: return NSURLErrorBadURL;
    case TransportError::UnsupportedURL: return NSURLErrorUnsupportedURL;
    case TransportError::CannotFindHost: return NSURLErrorCannotFindHost;
    case TransportError::CannotConnect: return NSURLErrorCannotConnectToHost;
    case TransportError::ConnectionLost: return NSURLErrorNetworkConnectionLost;
    case TransportError::BadServerResponse: return NSURLErrorBadServerResponse;
    case TransportError::SecureConnectionFailed: return NSURLErrorSecureConnectionFailed;
    case TransportError::ServerCertificateRejected: return NSURLErrorServerCertificateUntrusted;
    case TransportError::CannotDecodeContent: return NSURLErrorCannotDecodeContentData;
    case TransportError::BodyStreamFailed: return NSURLErrorRequestBodyStreamExhausted;
    }
    return NSURLErrorNetworkConnectionLost;
}

bool isLoadableURL(const Ref<NSURL>& url)
{
    if (!url || !url->scheme() || !url->host() || url->host()->length() == 0)
        return false;
    auto scheme = lowercased(url->scheme()->utf8());
    return scheme == "http" || scheme == "https";
}

namespace {

constexpr std::string_view kDownloadPrefix = "CFNetworkDownload_";
constexpr std::string_view kDownloadSuffix = ".tmp";

} // namespace

std::string temporaryDownloadPath()
{
    static std::atomic<unsigned> counter { 0 };
    std::random_device random;
    std::ostringstream name;
    name << kDownloadPrefix << std::hex << random() << (counter++) << kDownloadSuffix;
    auto directory = std::filesystem::path(temporaryDirectoryPath());
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    return (directory / name.str()).string();
}

bool isDownloadFilePath(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path given(path);
    auto name = given.filename().string();
    if (!given.is_absolute() || !name.starts_with(kDownloadPrefix) || !name.ends_with(kDownloadSuffix)
        || name.size() <= kDownloadPrefix.size() + kDownloadSuffix.size())
        return false;
    // The file itself may not be a link, and the folder it is in must be the download folder.
    auto folder = fs::canonical(temporaryDirectoryPath(), ec);
    if (ec)
        return false;
    auto parent = fs::canonical(given.parent_path(), ec);
    if (ec || parent != folder)
        return false;
    auto status = fs::symlink_status(given, ec);
    return !ec && fs::is_regular_file(status);
}

std::string encodeResumeData(const ResumeData& resume)
{
    return std::string(kResumeMagic) + "\n" + resume.url + "\n" + resume.validator + "\n" + std::to_string(resume.offset) + "\n"
        + resume.path + "\n";
}

Result<ResumeData> decodeResumeData(std::string_view bytes)
{
    std::vector<std::string> lines;
    while (lines.size() < 5) {
        auto end = bytes.find('\n');
        if (end == std::string_view::npos)
            return Failure("resume data: " + std::to_string(lines.size()) + " of its 5 lines");
        lines.emplace_back(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
    }
    if (lines[0] != kResumeMagic)
        return Failure("resume data: not of a download of ours");
    if (lines[3].empty() || lines[3].size() > 18
        || !std::all_of(lines[3].begin(), lines[3].end(), [](char c) { return c >= '0' && c <= '9'; }))
        return Failure("resume data: offset \"" + lines[3] + "\" is no count of bytes");
    ResumeData resume { .url = lines[1], .validator = lines[2], .offset = std::strtoll(lines[3].c_str(), nullptr, 10), .path = lines[4] };
    if (resume.offset <= 0)
        return Failure("resume data: no bytes to go on from");
    if (!isDownloadFilePath(resume.path))
        return Failure("resume data: " + resume.path + " is no partial download of ours");
    // The partial file must still be there and as long as recorded, or nothing can go on.
    std::error_code ec;
    auto size = std::filesystem::file_size(resume.path, ec);
    if (ec)
        return Failure("resume data: " + resume.path + ": " + ec.message());
    if (static_cast<std::uintmax_t>(resume.offset) > size)
        return Failure("resume data: " + resume.path + " holds " + std::to_string(size) + " of its " + std::to_string(resume.offset) + " bytes");
    return resume;
}

Ref<NSError> URLErrorWithReason(NSInteger code, const Ref<NSURL>& failingURL, const Failure& failure)
{
    auto error = makeURLError(code, failingURL);
    auto info = NSMutableDictionary::dictionaryWithDictionary(error->userInfo());
    info->setObjectForKey(NSString::fromUTF8(failure.reason()), NSLocalizedFailureReasonErrorKey);
    return NSError::errorWithDomain(error->domain(), error->code(), info);
}

} // namespace dv::internal::net
