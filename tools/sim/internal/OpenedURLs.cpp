#include "tools/sim/internal/OpenedURLs.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/ui/UIApplication.h"

namespace dv::internal::sim {

namespace {

const char* describe(dv::SystemHandOver handOver)
{
    switch (handOver) {
    case dv::SystemHandOver::HandedOver: return "handed to the system (xdg-open)";
    case dv::SystemHandOver::Failed: return "could not hand to the system (xdg-open could not be started)";
    case dv::SystemHandOver::Off: break;
    }
    return "opened, not handed to the system";
}

} // namespace

std::vector<std::string> OpenedURLs::takeLines()
{
    auto app = UIApplication::sharedApplication();
    if (app != m_app.lock()) {
        m_app = app;
        m_told = 0;
    }
    std::vector<std::string> lines;
    auto urls = app->openedURLs();
    if (m_told == urls->count())
        return lines;
    const auto handOvers = app->openedURLHandOvers();
    for (; m_told < urls->count(); ++m_told)
        if (auto url = dv::as<NSURL>(urls->objectAtIndex(m_told))) {
            const auto handOver = m_told < handOvers.size() ? handOvers[m_told] : dv::SystemHandOver::Off;
            lines.push_back(std::string(describe(handOver)) + ": " + dv::str(url->absoluteString()));
        }
    return lines;
}

} // namespace dv::internal::sim
