#include "tools/sim/Script.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace dv::sim {

namespace {

// What an argument must be.
enum class Kind { Text, Number, Choice };

struct Argument {
    Kind kind;
    const char* name;
    std::vector<std::string> choices {}; // Choice
};

struct Grammar {
    const char* verb;
    std::vector<Argument> arguments;
    std::size_t required;
    bool restOfLine = false; // the only argument is the rest of the line, as written
    bool needsApplication = true;
    const char* help;
};

const std::vector<Grammar>& grammars()
{
    static const std::vector<Grammar> table = {
        { "launch", {}, 0, false, false, "starts the application (done before the first command that needs it)" },
        { "wait", { { Kind::Number, "SECONDS" } }, 1, false, true, "lets SECONDS pass while the application runs" },
        { "wait-for", { { Kind::Text, "TEXT" }, { Kind::Number, "SECONDS" } }, 1, false, true,
            "until a visible view shows TEXT (at most SECONDS, default 15)" },
        { "wait-gone", { { Kind::Text, "TEXT" }, { Kind::Number, "SECONDS" } }, 1, false, true,
            "until no visible view shows TEXT (at most SECONDS, default 15)" },
        { "wait-idle", { { Kind::Number, "SECONDS" } }, 0, false, true,
            "until no loading overlay or toast shows and nothing moves or loads (at most SECONDS, default 15)" },
        { "expect", { { Kind::Text, "TEXT" } }, 1, false, true, "fails unless a visible view shows TEXT now" },
        { "expect-no", { { Kind::Text, "TEXT" } }, 1, false, true, "fails if a visible view shows TEXT now" },
        { "expect-title", { { Kind::Text, "TEXT" } }, 1, false, true, "fails unless the navigation bar's title is TEXT" },
        { "expect-screen", { { Kind::Text, "CLASS" } }, 1, false, true, "fails unless the screen on top is of class CLASS" },
        { "expect-opened", { { Kind::Text, "URL" } }, 1, false, true,
            "fails unless the application has handed a URL containing URL to the system browser" },
        { "tap", { { Kind::Text, "TEXT" } }, 1, false, true, "taps the view that shows TEXT (waits for it up to 15 s)" },
        { "tap-at", { { Kind::Number, "X" }, { Kind::Number, "Y" } }, 2, false, true, "taps the point X,Y of the screen (points)" },
        { "tap-row", { { Kind::Number, "ROW" }, { Kind::Number, "SECTION" } }, 1, false, true,
            "taps row ROW (from 0) of the list on screen, scrolling to it (waits for it up to 15 s)" },
        { "long-press", { { Kind::Text, "TEXT" } }, 1, false, true, "holds a finger on the view that shows TEXT" },
        { "long-press-at", { { Kind::Number, "X" }, { Kind::Number, "Y" } }, 2, false, true, "holds a finger on the point X,Y" },
        { "drag", { { Kind::Number, "X" }, { Kind::Number, "Y" }, { Kind::Number, "DX" }, { Kind::Number, "DY" } }, 4, false, true,
            "drags a finger from X,Y by DX,DY" },
        { "scroll", { { Kind::Number, "DX" }, { Kind::Number, "DY" } }, 2, false, true,
            "drags the scroll view on screen so that its content moves by DX,DY" },
        { "swipe", { { Kind::Choice, "DIRECTION", { "left", "right", "up", "down" } } }, 1, false, true,
            "a quick stroke that turns a page of the scroll view on screen" },
        { "spin", { { Kind::Number, "WHEEL" }, { Kind::Number, "ROW" } }, 2, false, true,
            "turns wheel WHEEL (from 0) of the picker on screen to row ROW with the finger" },
        { "focus", { { Kind::Text, "TEXT" } }, 1, false, true, "taps the text field showing TEXT or the placeholder TEXT" },
        { "type", { { Kind::Text, "TEXT" } }, 1, false, true, "types TEXT into the focused field (\\n presses return)" },
        { "delete", { { Kind::Number, "TIMES" } }, 0, false, true, "presses the delete key (TIMES times)" },
        { "return", {}, 0, false, true, "presses the return key" },
        { "hide-keyboard", {}, 0, false, true, "ends editing, as a tap outside the field does" },
        { "tap-bar", { { Kind::Choice, "SIDE", { "left", "right" } } }, 1, false, true,
            "taps the left or right button of the navigation bar" },
        { "back", {}, 0, false, true, "goes back: the navigation bar's back button, or the back swipe" },
        { "open", { { Kind::Text, "CLASS" }, { Kind::Text, "TITLE" } }, 1, false, true,
            "pushes a new screen of class CLASS (titled TITLE), as a home tile does, for screens no tile leads to" },
        { "alert", { { Kind::Text, "BUTTON" } }, 1, false, true, "taps BUTTON of the alert on top" },
        { "pick-image", {}, 0, false, true, "picks a picture in the image picker on screen" },
        { "screenshot", { { Kind::Text, "NAME" }, { Kind::Choice, "now", { "now" } } }, 1, false, true,
            "writes NAME.png and NAME.txt (the dump) once the screen rests; \"now\": at once (a toast after wait-for)" },
        { "push", { { Kind::Text, "JSON" } }, 1, true, true, "delivers a remote notification with the JSON payload" },
        { "state", { { Kind::Choice, "STATE", { "active", "background" } } }, 1, false, true,
            "sends the application to the background or brings it back" },
        { "fault", { { Kind::Text, "PATH" }, { Kind::Text, "FAULT" } }, 2, false, false,
            "switches on a fault of the local server (as dovrelta-devserver --fault)" },
        { "clear-faults", { { Kind::Text, "PATH" } }, 0, false, false, "clears the local server's faults (or PATH's)" },
        { "network", { { Kind::Choice, "STATE", { "on", "off" } } }, 1, false, false, "the machine goes offline or online" },
        { "permission", { { Kind::Choice, "SERVICE", { "addressbook", "photos", "camera" } },
                           { Kind::Choice, "ANSWER", { "allow", "deny" } } }, 2, false, false,
            "what the user answers the service's permission prompt" },
    };
    return table;
}

const Grammar* grammarFor(std::string_view verb)
{
    for (const auto& grammar : grammars())
        if (verb == grammar.verb)
            return &grammar;
    return nullptr;
}

bool isNumber(const std::string& text)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && errno == 0 && std::isfinite(value);
}

// Splits a line into words; false and a reason for an unterminated quote or a bad escape.
bool splitWords(std::string_view line, std::vector<std::string>& words, std::string& error)
{
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
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
                    default:
                        error = "unknown escape \\";
                        error += escaped;
                        error += " in a quoted text";
                        return false;
                    }
                } else {
                    word += c;
                }
            }
            if (!closed) {
                error = "a quoted text is not closed";
                return false;
            }
            if (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                error = "a quoted text must be followed by a blank";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return true;
}

std::string usageOf(const Grammar& grammar)
{
    std::string usage = grammar.verb;
    for (std::size_t i = 0; i < grammar.arguments.size(); ++i) {
        const auto& argument = grammar.arguments[i];
        std::string name = argument.name;
        if (argument.kind == Kind::Choice) {
            name.clear();
            for (const auto& choice : argument.choices)
                name += (name.empty() ? "" : "|") + choice;
        }
        usage += i < grammar.required ? " " + name : " [" + name + "]";
    }
    return usage;
}

std::string trimmed(std::string_view text)
{
    auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos)
        return {};
    auto end = text.find_last_not_of(" \t\r");
    return std::string(text.substr(begin, end - begin + 1));
}

} // namespace

double ScriptCommand::number(std::size_t index) const
{
    return index < arguments.size() ? std::strtod(arguments[index].c_str(), nullptr) : 0;
}

ParsedScript parseScript(std::string_view text, const std::string& name)
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
        auto fail = [&](const std::string& message) {
            return ParsedScript { std::nullopt, name + ":" + std::to_string(lineNumber) + ": " + message };
        };

        auto verbEnd = line.find_first_of(" \t");
        std::string verb = line.substr(0, verbEnd);
        const Grammar* grammar = grammarFor(verb);
        if (!grammar)
            return fail("unknown command \"" + verb + "\" (`dovrelta-sim --print-tour` lists the commands)");

        ScriptCommand command { verb, {}, lineNumber, line };
        std::string rest = verbEnd == std::string::npos ? std::string() : trimmed(line.substr(verbEnd));
        if (grammar->restOfLine) {
            if (!rest.empty())
                command.arguments.push_back(rest);
        } else {
            std::string error;
            if (!splitWords(rest, command.arguments, error))
                return fail(error);
        }
        if (command.arguments.size() < grammar->required || command.arguments.size() > grammar->arguments.size())
            return fail("usage: " + usageOf(*grammar) + " (quote texts with blanks)");
        for (std::size_t i = 0; i < command.arguments.size(); ++i) {
            const auto& expected = grammar->arguments[i];
            const auto& value = command.arguments[i];
            if (expected.kind == Kind::Number && !isNumber(value))
                return fail(std::string(expected.name) + " of " + verb + " is a number, not \"" + value + "\"");
            if (expected.kind == Kind::Number && std::strtod(value.c_str(), nullptr) < 0 && verb != "drag" && verb != "scroll")
                return fail(std::string(expected.name) + " of " + verb + " cannot be negative");
            if (expected.kind == Kind::Choice && std::find(expected.choices.begin(), expected.choices.end(), value) == expected.choices.end())
                return fail("usage: " + usageOf(*grammar));
            if (expected.kind == Kind::Text && value.empty())
                return fail(std::string(expected.name) + " of " + verb + " is empty");
        }
        if (verb == "screenshot" && command.arguments[0].find_first_of("/\\") != std::string::npos)
            return fail("a screenshot's NAME is a file name, without folders");
        script.commands.push_back(std::move(command));
    }
    return { std::move(script), {} };
}

ParsedScript loadScript(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return { std::nullopt, path + ": cannot be read" };
    std::stringstream text;
    text << file.rdbuf();
    if (file.bad())
        return { std::nullopt, path + ": cannot be read" };
    return parseScript(text.str(), path);
}

std::string scriptLanguageSummary()
{
    std::string summary;
    for (const auto& grammar : grammars()) {
        std::string usage = usageOf(grammar);
        summary += "#   " + usage + std::string(usage.size() < 34 ? 34 - usage.size() : 1, ' ') + grammar.help + "\n";
    }
    return summary;
}

bool commandNeedsApplication(const ScriptCommand& command)
{
    const Grammar* grammar = grammarFor(command.verb);
    return grammar && grammar->needsApplication;
}

} // namespace dv::sim
