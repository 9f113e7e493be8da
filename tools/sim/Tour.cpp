#include "tools/sim/Tour.h"

namespace dv::sim {

const std::string& tourScript()
{
    static const std::string tour = R"(# The tour: every screen of the application, one picture each.
launch
screenshot launch
)";
    return tour;
}

} // namespace dv::sim
