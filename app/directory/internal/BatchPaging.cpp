#include "app/directory/internal/BatchPaging.h"

namespace dv::internal::directory {

std::optional<NSInteger> nextBatch(NSInteger page, NSInteger totalCount, NSInteger pageSize)
{
    if (pageSize <= 0 || totalCount <= 0)
        return std::nullopt;
    const NSInteger quotient = totalCount / pageSize;
    const NSInteger last = totalCount % pageSize == 0 ? quotient - 1 : quotient;
    return page < last ? page + 1 : 0;
}

} // namespace dv::internal::directory
