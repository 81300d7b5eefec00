#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::cli {

// morvane-cli's commands and options, each written once in one table. The command line is read from it with
// getopt_long, and the usage, each command's help, the check that an option belongs to the command and the bash
// completion are all made from it.

enum class Option { Prefix, DataDir, Quiet, Help, Version, Drives, Details, Json, Yes, Restore, DryRun };

// What an option's value is: none, a folder, any text, or one of its choices.
enum class ValueKind { None, Folder, Text, Choice };

struct OptionSpec {
    Option option;
    const char* name;  // the long name, without "--"
    char letter;       // the short name, 0 for none
    ValueKind kind;
    const char* value;                 // the value's name in the help ("DIR"); nullptr without a value
    std::vector<std::string> choices;  // the values a Choice takes, in the order of their meaning
    bool common;                       // taken by every command
    const char* help;                  // one line
};

struct CommandSpec {
    const char* name;
    const char* operand;          // "NAME", "N", or "" for none
    std::vector<Option> options;  // its own options besides the common ones
    const char* summary;          // its line in the usage
    const char* help;             // the text of `morvane-cli COMMAND --help`, below its usage line
};

const std::vector<OptionSpec>& Options();
const std::vector<CommandSpec>& Commands();
const OptionSpec& SpecOf(Option option);
// nullptr for an unknown command.
const CommandSpec* FindCommand(std::string_view name);

// A command line as read: the command, its operands and the options given, each with its value ("" for none;
// the last one given wins).
struct CommandLine {
    std::string command;
    std::vector<std::string> operands;
    std::map<Option, std::string> options;

    bool has(Option option) const { return options.contains(option); }
    // The option's value; `otherwise` when it was not given.
    std::string value(Option option, std::string otherwise = {}) const;
    // The position of a Choice option's value among its choices; 0 when it was not given.
    std::size_t choice(Option option) const;
};

// Reads argv (the program's name first) with getopt_long. Options may come before or after the command; "--"
// ends them. The error text when the line is wrong: an unknown or ambiguous option, one of another command, a
// missing or unexpected value, a value that is not one of the choices, an unknown command. The operands are
// not checked here.
std::optional<std::string> ParseCommandLine(int argc, char** argv, CommandLine& line);

// `morvane-cli --help`.
std::string UsageText();
// `morvane-cli COMMAND --help`.
std::string CommandHelpText(const CommandSpec& command);
// The bash completion of morvane-cli, a script for share/bash-completion/completions.
std::string BashCompletion();

}  // namespace morvane::cli
