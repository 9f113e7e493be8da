#include "foundation/http/internal/PreferredLanguages.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/system/NSUserDefaults.h"

#include <cstdlib>
#include <mutex>

namespace dv::internal {

namespace {

std::mutex s_mutex;
std::optional<std::vector<std::string>> s_override;

// "zh_CN.UTF-8" -> "zh-CN"; "C" and "POSIX" name no language.
std::string tagFromLocaleName(std::string name)
{
    if (auto dot = name.find_first_of(".@"); dot != std::string::npos)
        name.resize(dot);
    for (char& c : name)
        if (c == '_')
            c = '-';
    if (name.empty() || name == "C" || name == "POSIX")
        return {};
    return name;
}

} // namespace

Ref<NSArray> preferredLanguages()
{
    {
        std::lock_guard lock(s_mutex);
        if (s_override) {
            auto list = NSMutableArray::array();
            for (const auto& language : *s_override)
                list->addObject(NSString::fromUTF8(language));
            return list;
        }
    }
    if (auto defaults = NSUserDefaults::standardUserDefaults()) {
        if (auto languages = defaults->arrayForKey("AppleLanguages"_ns); languages && languages->count() > 0)
            return languages;
    }
    auto list = NSMutableArray::array();
    if (const char* language = std::getenv("LANGUAGE"); language && *language) {
        std::string all = language;
        std::size_t start = 0;
        while (start <= all.size()) {
            std::size_t colon = all.find(':', start);
            if (colon == std::string::npos)
                colon = all.size();
            if (auto tag = tagFromLocaleName(all.substr(start, colon - start)); !tag.empty())
                list->addObject(NSString::fromUTF8(tag));
            start = colon + 1;
        }
    }
    if (list->count() == 0) {
        if (const char* lang = std::getenv("LANG"); lang && *lang)
            if (auto tag = tagFromLocaleName(lang); !tag.empty())
                list->addObject(NSString::fromUTF8(tag));
    }
    if (list->count() == 0)
        list->addObject("en"_ns);
    return list;
}

void setPreferredLanguagesForTesting(std::optional<std::vector<std::string>> languages)
{
    std::lock_guard lock(s_mutex);
    s_override = std::move(languages);
}

} // namespace dv::internal
