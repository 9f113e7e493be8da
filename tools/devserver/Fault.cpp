#include "tools/devserver/Fault.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace dv::devserver {

namespace {

bool parseInt(std::string_view text, int& out)
{
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseSeconds(std::string_view text, double& out)
{
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out) && out >= 0 && out <= 3600;
}

} // namespace

Result<Fault> parseFault(std::string_view text)
{
    Fault fault;
    // A trailing "*N" limits the fault to N requests.
    if (auto star = text.rfind('*'); star != std::string_view::npos) {
        int times = 0;
        if (!parseInt(text.substr(star + 1), times) || times <= 0)
            return Failure("the count after '*' must be a positive number");
        fault.times = times;
        text = text.substr(0, star);
    }
    auto colon = text.find(':');
    std::string_view name = text.substr(0, colon);
    std::string_view argument = colon == std::string_view::npos ? std::string_view {} : text.substr(colon + 1);
    bool hasArgument = colon != std::string_view::npos;

    if (name == "delay") {
        fault.kind = FaultKind::Delay;
        if (hasArgument && !parseSeconds(argument, fault.delaySeconds))
            return Failure("delay takes seconds between 0 and 3600");
    } else if (name == "http") {
        fault.kind = FaultKind::HttpError;
        if (hasArgument && (!parseInt(argument, fault.httpStatus) || fault.httpStatus < 400 || fault.httpStatus > 599))
            return Failure("http takes a status from 400 to 599");
    } else if (name == "html" || name == "malformed" || name == "array" || name == "null" || name == "close"
        || name == "cut" || name == "hold") {
        if (hasArgument)
            return Failure(std::string(name) + " takes no argument");
        fault.kind = name == "html"        ? FaultKind::Html
                   : name == "malformed"   ? FaultKind::MalformedJson
                   : name == "array"       ? FaultKind::JsonArray
                   : name == "null"        ? FaultKind::JsonNull
                   : name == "close"       ? FaultKind::CloseConnection
                   : name == "cut"         ? FaultKind::CutConnection
                                           : FaultKind::Hold;
    } else if (name == "wrongtypes") {
        fault.kind = FaultKind::WrongTypes;
        if (hasArgument && argument != "status")
            return Failure("wrongtypes takes no argument or \"status\"");
        fault.wrongStatus = hasArgument;
    } else if (name == "status") {
        fault.kind = FaultKind::Refusal;
        if (hasArgument) {
            auto second = argument.find(':');
            if (!parseInt(argument.substr(0, second), fault.status))
                return Failure("status takes a whole number");
            if (second != std::string_view::npos)
                fault.message = std::string(argument.substr(second + 1));
        }
    } else {
        return Failure("unknown fault \"" + std::string(name) + "\"");
    }
    return fault;
}

std::string formatFault(const Fault& fault)
{
    std::string text;
    switch (fault.kind) {
    case FaultKind::Delay: {
        char buffer[32];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), fault.delaySeconds);
        text = "delay:" + std::string(buffer, ec == std::errc() ? end : buffer);
        break;
    }
    case FaultKind::HttpError: text = "http:" + std::to_string(fault.httpStatus); break;
    case FaultKind::Html: text = "html"; break;
    case FaultKind::MalformedJson: text = "malformed"; break;
    case FaultKind::JsonArray: text = "array"; break;
    case FaultKind::JsonNull: text = "null"; break;
    case FaultKind::WrongTypes: text = fault.wrongStatus ? "wrongtypes:status" : "wrongtypes"; break;
    case FaultKind::Refusal: text = "status:" + std::to_string(fault.status) + ":" + fault.message; break;
    case FaultKind::CloseConnection: text = "close"; break;
    case FaultKind::CutConnection: text = "cut"; break;
    case FaultKind::Hold: text = "hold"; break;
    }
    if (fault.times > 0)
        text += "*" + std::to_string(fault.times);
    return text;
}

Result<std::pair<std::string, Fault>> parsePathAndFault(std::string_view text)
{
    auto equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0)
        return Failure("PATH=FAULT expected");
    DV_TRY_ASSIGN(Fault fault, parseFault(text.substr(equals + 1)));
    return std::make_pair(std::string(text.substr(0, equals)), std::move(fault));
}

std::string normalizeFaultPath(std::string_view path)
{
    if (path.starts_with("/DV/"))
        path.remove_prefix(4);
    while (path.starts_with('/'))
        path.remove_prefix(1);
    return std::string(path);
}

void FaultTable::set(std::string_view path, Fault fault)
{
    std::string key = normalizeFaultPath(path);
    {
        dv::MutexLocker lock(m_mutex);
        ++m_changes[key];
        auto it = std::find_if(m_faults.begin(), m_faults.end(), [&](const auto& entry) { return entry.first == key; });
        if (it != m_faults.end())
            it->second = std::move(fault);
        else
            m_faults.emplace_back(std::move(key), std::move(fault));
    }
    m_released.notifyAll();
}

void FaultTable::clear(std::string_view path)
{
    std::string key = normalizeFaultPath(path);
    {
        dv::MutexLocker lock(m_mutex);
        std::erase_if(m_faults, [&](const auto& entry) { return entry.first == key; });
        ++m_changes[key];
    }
    m_released.notifyAll();
}

void FaultTable::clearAll()
{
    {
        dv::MutexLocker lock(m_mutex);
        m_faults.clear();
        ++m_allCleared;
    }
    m_released.notifyAll();
}

std::uint64_t FaultTable::releasesOf(const std::string& key) const
{
    auto it = m_changes.find(key);
    return m_allCleared + (it == m_changes.end() ? 0 : it->second);
}

bool FaultTable::waitForRelease(const Fault& hold)
{
    dv::MutexLocker lock(m_mutex);
    m_released.wait(lock, [&]() DV_REQUIRES(m_mutex) { return m_closed || releasesOf(hold.holdKey) != hold.holdMark; });
    return !m_closed;
}

void FaultTable::close()
{
    {
        dv::MutexLocker lock(m_mutex);
        m_closed = true;
    }
    m_released.notifyAll();
}

std::optional<Fault> FaultTable::take(std::string_view path)
{
    dv::MutexLocker lock(m_mutex);
    // The exact path first, then the longest prefix ending in '*'.
    auto best = m_faults.end();
    std::size_t bestLength = 0;
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        const std::string& key = it->first;
        if (key == path) {
            best = it;
            break;
        }
        if (key.ends_with('*')) {
            std::string_view prefix(key.data(), key.size() - 1);
            if (path.starts_with(prefix) && (best == m_faults.end() || prefix.size() + 1 > bestLength)) {
                best = it;
                bestLength = prefix.size() + 1;
            }
        }
    }
    if (best == m_faults.end())
        return std::nullopt;
    Fault fault = best->second;
    if (fault.kind == FaultKind::Hold) {
        fault.holdKey = best->first;
        fault.holdMark = releasesOf(best->first);
    }
    if (best->second.times > 0 && --best->second.times == 0)
        m_faults.erase(best);
    return fault;
}

std::vector<std::pair<std::string, Fault>> FaultTable::list() const
{
    dv::MutexLocker lock(m_mutex);
    return m_faults;
}

} // namespace dv::devserver
