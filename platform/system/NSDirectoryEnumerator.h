// NSDirectoryEnumerator: a deep walk of a folder made by NSFileManager, one entry per nextObject
// (relative path strings or file URLs), in sorted order within each folder. Reads the folders as
// it goes; belongs to the thread that uses it.
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <string>
#include <vector>

class NSDirectoryEnumerator : public NSObject {
    DV_CLASS(NSDirectoryEnumerator, NSObject)

    NSDirectoryEnumerator() = default;
    // `asURLs` false gives paths relative to the root.
    Ref<NSDirectoryEnumerator> initWithRoot(const std::string& root, bool asURLs, NSUInteger options,
                                            std::function<bool(const Ref<NSURL>&, const Ref<NSError>&)> errorHandler);

    id nextObject();
    Ref<NSArray> allObjects();
    // Do not enter the folder returned last.
    void skipDescendants();
    NSUInteger level() const { return m_level; }
    // Attributes of the entry returned last (path enumerations), as NSFileManager gives them.
    Ref<NSDictionary> fileAttributes() const;

private:
    struct Frame {
        std::string relative;
        std::vector<std::string> names;
        std::size_t next = 0;
    };
    void pushFolder(const std::string& relative);
    std::string m_root;
    bool m_asURLs = false;
    NSUInteger m_options = 0;
    std::function<bool(const Ref<NSURL>&, const Ref<NSError>&)> m_errorHandler;
    std::vector<Frame> m_stack;
    std::string m_lastRelative;
    bool m_lastIsFolder = false;
    bool m_stopped = false;
    NSUInteger m_level = 0;
};
