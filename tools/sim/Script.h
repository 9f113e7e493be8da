// The runner's script language: one driver command per line, acted out as a person would (see
// ScriptRunner). Words are separated by blanks; a text with blanks goes in double quotes (inside
// them a backslash escapes a quote, a backslash, n or t); a line whose first word starts with #
// is a comment. `push` takes the rest of its line as a JSON object.
//
//   # open the group list and a code
//   tap 加粉
//   wait-for "群二维码" 15
//   tap-row 0
//   screenshot detail
//
// parseScript reads a whole script before anything runs, so that a bad line stops the run
// before the application starts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dv::sim {

struct ScriptCommand {
    std::string verb;
    std::vector<std::string> arguments;
    int line = 0;          // from 1
    std::string source;    // the line as written, for messages

    double number(std::size_t index) const; // an argument that parsing checked is a number
};

struct Script {
    std::string name;      // the file name (or "tour") in messages
    std::vector<ScriptCommand> commands;
};

struct ParsedScript {
    std::optional<Script> script;
    std::string error; // "NAME:LINE: what is wrong", set when script is empty
};

ParsedScript parseScript(std::string_view text, const std::string& name);
// Reads and parses a file; an unreadable file is an error like a bad line.
ParsedScript loadScript(const std::string& path);

// The commands with their arguments, one per line, for help texts.
std::string scriptLanguageSummary();

// Whether a command needs the application to be running (everything but the set-up commands:
// faults, network, permissions, launch itself).
bool commandNeedsApplication(const ScriptCommand& command);

} // namespace dv::sim
