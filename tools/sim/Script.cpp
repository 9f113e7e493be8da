#include "tools/sim/Script.h"

#include "tools/sim/internal/Verbs.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace dv::sim {

namespace {

bool isNumber(const std::string& text)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && errno == 0 && std::isfinite(value);
}

// Splits a line into words, at most `most` of them (`stoppedAt` then tells where the rest
// begins); a failure for an unterminated quote or a bad escape.
Result<void> splitWords(std::string_view line, std::vector<std::string>& words, std::size_t most = std::string::npos,
    std::size_t* stoppedAt = nullptr)
{
    std::size_t i = 0;
    std::size_t taken = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (taken++ == most)
            break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\') {
                    if (i >= line.size())
                        break;
                    char escaped = line[i++];
                    switch (escaped) {
                    case '"': word += '"'; break;
                    case '\\': word += '\\'; break;
                    case 'n': word += '\n'; break;
                    case 't': word += '\t'; break;
                    default: {
                        std::string reason = "unknown escape \\";
                        reason += escaped;
                        reason += " in a quoted text";
                        return Failure(reason);
                    }
                    }
                } else {
                    word += c;
                }
            }
            if (!closed)
                return Failure("a quoted text is not closed");
            if (i < line.size() && line[i] != ' ' && line[i] != '\t')
                return Failure("a quoted text must be followed by a blank");
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                word += line[i++];
        }
        words.push_back(std::move(word));
    }
    if (stoppedAt)
        *stoppedAt = std::min(i, line.size());
    return {};
}

std::string trimmed(std::string_view text)
{
    auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos)
        return {};
    auto end = text.find_last_not_of(" \t\r");
    return std::string(text.substr(begin, end - begin + 1));
}

// The verb a line starts with: two words when a verb has them ("defaults set"), else one.
const internal::sim::Verb* verbOf(const std::string& line, std::string& name, std::string& rest)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    std::vector<std::size_t> ends;
    for (int i = 0; i < 2 && at < line.size(); ++i) {
        auto begin = line.find_first_not_of(" \t", at);
        if (begin == std::string::npos)
            break;
        auto end = line.find_first_of(" \t", begin);
        if (end == std::string::npos)
            end = line.size();
        words.push_back(line.substr(begin, end - begin));
        ends.push_back(end);
        at = end;
    }
    if (words.size() == 2) {
        if (const auto* verb = internal::sim::findVerb(words[0] + " " + words[1])) {
            name = verb->name;
            rest = trimmed(std::string_view(line).substr(ends[1]));
            return verb;
        }
    }
    name = words.empty() ? std::string() : words[0];
    rest = words.empty() ? std::string() : trimmed(std::string_view(line).substr(ends[0]));
    return internal::sim::findVerb(name);
}

// One command line, checked against its verb's arguments and its own check.
Result<ScriptCommand> parseLine(const std::string& line, int lineNumber)
{
    ScriptCommand command;
    command.line = lineNumber;
    command.source = line;
    std::string body = line;
    if (body.rfind("check", 0) == 0 && (body.size() == 5 || body[5] == ' ' || body[5] == '\t')) {
        command.check = true;
        body = trimmed(std::string_view(body).substr(5));
        if (body.empty())
            return Failure("usage: check VERB ... (an expect... command)");
    }
    std::string rest;
    const internal::sim::Verb* verb = verbOf(body, command.verb, rest);
    if (!verb)
        return Failure("unknown command \"" + command.verb + "\" (`dovrelta-sim --print-tour` lists the commands)");
    if (command.check && verb->checkable != internal::sim::Checkable::Yes)
        return Failure("\"" + verb->name + "\" has no check form (only the expect... commands have one)");
    const auto& expected = verb->arguments;
    const bool takesRest = !expected.empty() && expected.back().kind == internal::sim::ArgumentKind::RestOfLine;
    // The words before a rest-of-line argument are split as usual, the rest is taken as written.
    std::size_t restAt = 0;
    DV_TRY(splitWords(rest, command.arguments, takesRest ? expected.size() - 1 : std::string::npos, &restAt));
    if (takesRest && restAt < rest.size())
        command.arguments.push_back(trimmed(std::string_view(rest).substr(restAt)));
    const std::string usage = "usage: " + (command.check ? std::string("check ") : std::string()) + internal::sim::usageOf(*verb);
    if (command.arguments.size() < verb->required || command.arguments.size() > expected.size())
        return Failure(usage + " (quote texts with blanks)");
    for (std::size_t i = 0; i < command.arguments.size(); ++i) {
        const auto& argument = expected[i];
        const auto& value = command.arguments[i];
        const std::string what = std::string(argument.name) + " of " + verb->name;
        switch (argument.kind) {
        case internal::sim::ArgumentKind::Number:
        case internal::sim::ArgumentKind::SignedNumber:
            if (!isNumber(value))
                return Failure(what + " is a number, not \"" + value + "\"");
            if (argument.kind == internal::sim::ArgumentKind::Number && std::strtod(value.c_str(), nullptr) < 0)
                return Failure(what + " cannot be negative");
            break;
        case internal::sim::ArgumentKind::Choice:
            if (std::find(argument.choices.begin(), argument.choices.end(), value) == argument.choices.end())
                return Failure(usage);
            break;
        case internal::sim::ArgumentKind::FileName:
            if (value.find_first_of("/\\") != std::string::npos || value == "." || value == "..")
                return Failure(what + " is a file name, without folders");
            [[fallthrough]];
        case internal::sim::ArgumentKind::Text:
        case internal::sim::ArgumentKind::RestOfLine:
            if (value.empty())
                return Failure(what + " is empty");
            break;
        }
    }
    if (verb->checkLine)
        DV_TRY(verb->checkLine(command));
    return command;
}

} // namespace

double ScriptCommand::number(std::size_t index) const
{
    return index < arguments.size() ? std::strtod(arguments[index].c_str(), nullptr) : 0;
}

Result<Script> parseScript(std::string_view text, const std::string& name)
{
    Script script;
    script.name = name;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#')
            continue;
        auto command = parseLine(line, lineNumber);
        if (!command)
            return std::move(command).failure().context(name + ":" + std::to_string(lineNumber));
        script.commands.push_back(std::move(command).value());
    }
    return script;
}

Result<Script> loadScript(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Failure(path + ": cannot be read");
    std::stringstream text;
    text << file.rdbuf();
    if (file.bad())
        return Failure(path + ": cannot be read");
    return parseScript(text.str(), path);
}

std::string scriptLanguageSummary()
{
    std::string summary;
    for (const auto& section : internal::sim::verbSections()) {
        summary += std::string("# ") + section.title + ":\n";
        for (const auto& verb : section.verbs) {
            std::string usage = internal::sim::usageOf(verb) + (verb.checkable == internal::sim::Checkable::Yes ? " (check)" : "");
            summary += "#   " + usage;
            // The help in a column of its own, broken between words.
            constexpr std::size_t column = 40, width = 74;
            std::size_t used = usage.size();
            if (used >= column) {
                summary += "\n#   ";
                used = 0;
            }
            summary += std::string(column - used, ' ');
            std::string_view help = verb.help;
            while (!help.empty()) {
                std::size_t cut = help.size();
                if (cut > width) {
                    cut = help.rfind(' ', width);
                    if (cut == std::string_view::npos || cut == 0)
                        cut = width;
                }
                summary += std::string(help.substr(0, cut)) + "\n";
                help.remove_prefix(std::min(help.size(), cut + 1));
                if (!help.empty())
                    summary += "#   " + std::string(column, ' ');
            }
        }
    }
    summary += "# `check` before a command marked (check) records its failure and goes on; the run ends with a\n"
               "# summary of the failed checks and a failed status.\n";
    return summary;
}

bool commandNeedsApplication(const ScriptCommand& command)
{
    const auto* verb = internal::sim::findVerb(command.verb);
    return verb && verb->phase == internal::sim::Phase::Application;
}

} // namespace dv::sim
