// Download resume data from anywhere: whatever is accepted names a regular file directly in the
// download folder, never a file elsewhere, through a link or below a subfolder. "@DL@" in the
// input stands for the download folder, "@HOME@" for the folder above it, so that seeds can name
// real files of this run: a partial download, a file outside, a link to it, a subfolder.
#include "platform/net/internal/CachePaths.h"
#include "platform/net/internal/TaskSupport.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string replaced(std::string text, const std::string& token, const std::string& by)
{
    for (auto at = text.find(token); at != std::string::npos; at = text.find(token, at + by.size()))
        text.replace(at, token.size(), by);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fs::path downloads = [] {
        std::string pattern = (fs::temp_directory_path() / "dv-fuzz-resume-XXXXXX").string();
        ::mkdtemp(pattern.data());
        ::setenv("DOVRELTA_HOME", pattern.c_str(), 1);
        fs::path folder = dv::internal::net::temporaryDirectoryPath();
        fs::create_directories(folder / "sub");
        std::ofstream(folder / "CFNetworkDownload_partial.tmp") << std::string(64, 'p');
        std::ofstream(folder / "sub" / "CFNetworkDownload_deep.tmp") << std::string(64, 'd');
        std::ofstream(fs::path(pattern) / "CFNetworkDownload_outside.tmp") << std::string(64, 'o');
        fs::create_symlink(fs::path(pattern) / "CFNetworkDownload_outside.tmp", folder / "CFNetworkDownload_link.tmp");
        return fs::canonical(folder);
    }();
    std::string text(reinterpret_cast<const char*>(data), size);
    text = replaced(replaced(text, "@DL@", downloads.string()), "@HOME@", downloads.parent_path().parent_path().string());

    auto resume = dv::internal::net::decodeResumeData(text);
    if (!resume)
        return 0;
    std::error_code ec;
    fs::path path(resume->path);
    if (fs::canonical(path.parent_path(), ec) != downloads || fs::is_symlink(path) || !fs::is_regular_file(path)
        || resume->offset <= 0 || static_cast<std::uintmax_t>(resume->offset) > fs::file_size(path, ec))
        std::abort();
    // What was accepted writes back to resume data that reads the same.
    auto again = dv::internal::net::decodeResumeData(dv::internal::net::encodeResumeData(*resume));
    if (resume->url.find('\n') == std::string::npos && resume->validator.find('\n') == std::string::npos
        && (!again || again->path != resume->path || again->offset != resume->offset || again->url != resume->url))
        std::abort();
    return 0;
}
