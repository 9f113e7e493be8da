#include "platform/net/internal/DownloadFile.h"

#include "platform/base/Check.h"
#include "platform/net/internal/TaskSupport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace dv::internal::net {

void DownloadFile::adopt(std::string path, std::int64_t offset)
{
    // The resume data was checked to name a file of ours at least this long; whatever came after
    // the offset was never reported and goes.
    std::error_code ignored;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(offset), ignored);
    m_path = std::move(path);
}

Result<void> DownloadFile::open(std::int64_t keep)
{
    if (m_path.empty())
        m_path = temporaryDownloadPath();
    m_handle.reset(std::fopen(m_path.c_str(), keep > 0 ? "ab" : "wb"));
    if (!m_handle)
        return Failure("download file " + m_path + ": " + std::strerror(errno));
    m_written = keep;
    return {};
}

Result<void> DownloadFile::write(std::string_view bytes)
{
    DV_CHECK_MSG(m_handle, "a download written before its file was opened");
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_handle.get()) != bytes.size())
        return Failure("download file " + m_path + ": " + std::strerror(errno));
    m_written += static_cast<std::int64_t>(bytes.size());
    return {};
}

Result<void> DownloadFile::close()
{
    if (!m_handle)
        return {};
    // The handle is let go whatever fclose answers.
    if (std::fclose(m_handle.release()) != 0)
        return Failure("download file " + m_path + ": " + std::strerror(errno));
    return {};
}

void DownloadFile::createIfMissing()
{
    if (!m_path.empty())
        return;
    m_path = temporaryDownloadPath();
    m_handle.reset(std::fopen(m_path.c_str(), "wb"));
    m_handle.reset();
}

void DownloadFile::remove()
{
    m_handle.reset();
    if (m_path.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
    m_path.clear();
}

} // namespace dv::internal::net
