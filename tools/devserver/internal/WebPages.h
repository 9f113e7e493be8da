// The HTML pages of the server: the help pages, the agent's authorisation letter, the category
// pages behind the home tiles, and the error pages. Every value that came from a request is
// escaped before it reaches a page.
#pragma once

#include "tools/devserver/internal/Store.h"

#include <optional>
#include <string>
#include <string_view>

namespace dv::internal::devserver {

std::string htmlEscape(std::string_view text);

// type 1 contact information, 2 instructions for use, 3 common questions; nullopt otherwise.
std::optional<std::string> helpPage(std::string_view type);
// The letter of a known agent, or a page saying that `agentNo` is not an authorised agent.
std::string agentPage(const std::optional<AgentRecord>& agent, std::string_view agentNo);
std::string categoryPage(const CategoryRecord& category, const std::string& bodyHtml);
// The consultation page for the application's script bridge: when the page loads and finds the
// global "LYAppSpeakController", it calls clickOnAndroid("consult"); its consult() (the page's
// "立即咨询") calls clickZiXunAction(), and its "拨打客服电话" clickOnAndroid with the service's
// number. In a plain browser they do nothing.
std::string consultPage();

std::string notFoundPage(std::string_view path);
std::string errorPage(int status);
// What a proxy or a half-deployed server shows in place of the application's reply.
std::string maintenancePage();

} // namespace dv::internal::devserver
