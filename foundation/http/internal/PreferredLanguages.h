// The user's preferred languages, most preferred first, as language tags ("zh-Hans", "en"). The
// platform layer has no locale class yet, so this reads them where the system keeps them: the
// "AppleLanguages" array of the user defaults, else $LANGUAGE (colon-separated), else $LANG.
// Tests replace the list.
#pragma once

#include "platform/base/Forward.h"

#include <optional>
#include <string>
#include <vector>

namespace dv::internal {

Ref<NSArray> preferredLanguages();
// A fixed list in place of the system's; std::nullopt goes back to the system's.
void setPreferredLanguagesForTesting(std::optional<std::vector<std::string>> languages);

} // namespace dv::internal
