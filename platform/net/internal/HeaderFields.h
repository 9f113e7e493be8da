// HTTP header field lists: names compared without regard to case, the first spelling kept,
// insertion order preserved.
#pragma once

#include "platform/base/Forward.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dv::internal::net {

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

bool headerNamesEqual(std::string_view a, std::string_view b);
std::optional<std::string> findHeader(const HeaderFields& fields, std::string_view name);
void setHeader(HeaderFields& fields, std::string_view name, std::string value);
void removeHeader(HeaderFields& fields, std::string_view name);
bool sameHeaders(const HeaderFields& a, const HeaderFields& b);
Ref<NSDictionary> headerDictionary(const HeaderFields& fields);

} // namespace dv::internal::net
