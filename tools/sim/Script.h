// The runner's script language: one driver command per line, acted out as a person would (see
// ScriptRunner). Words are separated by blanks; a text with blanks goes in double quotes (inside
// them a backslash escapes a quote, a backslash, n or t); a line whose first word starts with #
// is a comment. Some verbs are two words ("defaults set"); some take the rest of their line as
// one argument, as written (`push` its JSON payload). `check` before an expectation makes it
// record a failure and go on; the run then ends with a summary and a failed status.
//
//   # open the group list and a code
//   tap 加粉
//   wait-for "群二维码" 15
//   tap-row 0
//   check expect-title 详情
//   screenshot detail
//
// parseScript reads a whole script before anything runs, so that a bad line stops the run
// before the application starts. The verbs are listed in internal/Verbs.h.
#pragma once

#include "platform/base/Result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dv::sim {

struct ScriptCommand {
    std::string verb;      // "tap", "defaults set"
    std::vector<std::string> arguments;
    int line = 0;          // from 1
    std::string source;    // the line as written, for messages
    bool check = false;    // `check ...`: a failure is recorded and the run goes on

    double number(std::size_t index) const; // an argument that parsing checked is a number
};

struct Script {
    std::string name;      // the file name (or "tour") in messages
    std::vector<ScriptCommand> commands;
};

// The script, or the failure of its first bad line: "NAME:LINE: what is wrong".
Result<Script> parseScript(std::string_view text, const std::string& name);
// Reads and parses a file; an unreadable file is a failure like a bad line.
Result<Script> loadScript(const std::string& path);

// The commands with their arguments, one per line under headings, for help texts.
std::string scriptLanguageSummary();

// Whether a command needs the application to be running (everything but the set-up commands:
// the server, the network, the device's settings and stores, the launch itself).
bool commandNeedsApplication(const ScriptCommand& command);

} // namespace dv::sim
