#include "platform/system/NSDirectoryEnumerator.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSFileManager.h"
#include "platform/system/internal/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace dv::internal::system {
Ref<NSDictionary> attributesFromStat(const struct stat& st);
}

DV_DEFINE_CLASS(NSDirectoryEnumerator)

Ref<NSDirectoryEnumerator> NSDirectoryEnumerator::initWithRoot(const std::string& root, bool asURLs, NSUInteger options,
                                                               std::function<bool(const Ref<NSURL>&, const Ref<NSError>&)> errorHandler)
{
    m_root = root;
    while (m_root.size() > 1 && m_root.back() == '/')
        m_root.pop_back();
    m_asURLs = asURLs;
    m_options = options;
    m_errorHandler = std::move(errorHandler);
    pushFolder("");
    return self<NSDirectoryEnumerator>();
}

void NSDirectoryEnumerator::pushFolder(const std::string& relative)
{
    const std::string full = relative.empty() ? m_root : m_root + "/" + relative;
    dv::removeStaleTemporaries(full);
    DIR* dir = ::opendir(full.c_str());
    if (!dir) {
        int err = errno;
        if (m_errorHandler && !m_errorHandler(NSURL::fileURLWithPath(NSString::fromUTF8(full)), dv::internal::system::fileError(err, full, false)))
            m_stopped = true;
        return;
    }
    Frame frame;
    frame.relative = relative;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if ((m_options & NSDirectoryEnumerationSkipsHiddenFiles) && name[0] == '.')
            continue;
        frame.names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(frame.names.begin(), frame.names.end());
    m_stack.push_back(std::move(frame));
}

id NSDirectoryEnumerator::nextObject()
{
    if (m_lastIsFolder && !(m_options & NSDirectoryEnumerationSkipsSubdirectoryDescendants)) {
        m_lastIsFolder = false;
        pushFolder(m_lastRelative);
    }
    m_lastIsFolder = false;
    while (!m_stopped && !m_stack.empty()) {
        Frame& top = m_stack.back();
        if (top.next >= top.names.size()) {
            m_stack.pop_back();
            continue;
        }
        const std::string& name = top.names[top.next++];
        m_lastRelative = top.relative.empty() ? name : top.relative + "/" + name;
        m_level = m_stack.size();
        struct stat st {};
        const std::string full = m_root + "/" + m_lastRelative;
        m_lastIsFolder = ::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (m_asURLs)
            return NSURL::fileURLWithPath(NSString::fromUTF8(full), m_lastIsFolder);
        return NSString::fromUTF8(m_lastRelative);
    }
    return nil;
}

Ref<NSArray> NSDirectoryEnumerator::allObjects()
{
    auto list = NSMutableArray::array();
    while (id next = nextObject())
        list->addObject(next);
    return NSArray::arrayWithArray(list);
}

void NSDirectoryEnumerator::skipDescendants() { m_lastIsFolder = false; }

Ref<NSDictionary> NSDirectoryEnumerator::fileAttributes() const
{
    struct stat st {};
    const std::string full = m_root + "/" + m_lastRelative;
    if (m_lastRelative.empty() || ::lstat(full.c_str(), &st) != 0)
        return nil;
    return dv::internal::system::attributesFromStat(st);
}
