// How the directory's lists step through the server's batches: on to the next one, and back to
// the first after the last, the last found from the count and the batch size of the last good
// reply.
//
//   if (auto next = dv::internal::directory::nextBatch(m_page, m_totalCount, m_pageSize)) { m_page = *next; requestData(); }
#pragma once

#include "platform/base/Forward.h"

#include <optional>

namespace dv::internal::directory {

// The batch after `page`: page + 1 up to the last one, then 0 (also from a page beyond the last).
// nullopt when the count and the size cannot describe a list (either is zero or less): nothing is
// to be asked then.
std::optional<NSInteger> nextBatch(NSInteger page, NSInteger totalCount, NSInteger pageSize);

} // namespace dv::internal::directory
