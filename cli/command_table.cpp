#include "cli/command_table.h"

#include <getopt.h>

#include <algorithm>

namespace morvane::cli {

namespace {

// getopt_long's value of an option without a short name: its position in the table, from here.
constexpr int kFirstLong = 256;
// The furthest column where the help text of a usage line starts; a longer line puts it on the next line.
constexpr std::size_t kHelpColumn = 35;

// clang-format off
const std::vector<OptionSpec> kOptions = {
    {Option::Prefix, "prefix", 0, ValueKind::Folder, "DIR", {}, true,
     "work on the drives of the Wine prefix DIR (instead of $WINEPREFIX or ~/.wine)"},
    {Option::DataDir, "data-dir", 0, ValueKind::Folder, "DIR", {}, true,
     "keep the record files and the manual in the folder DIR"},
    {Option::Quiet, "quiet", 'q', ValueKind::None, nullptr, {}, true,
     "no progress, no informational messages and no one-line result"},
    {Option::Help, "help", 'h', ValueKind::None, nullptr, {}, true,
     "show this help (or a command's, after the command) and exit"},
    {Option::Version, "version", 'v', ValueKind::None, nullptr, {}, true, "show the version and exit"},
    {Option::Drives, "drives", 0, ValueKind::Text, "LETTERS", {}, false,
     "the letters of the drives to record, such as CD (default C)"},
    {Option::Details, "details", 0, ValueKind::None, nullptr, {}, false,
     "add the directories, the files and the configuration lines added and removed"},
    {Option::Json, "json", 0, ValueKind::None, nullptr, {}, false, "print all of it as one JSON document"},
    {Option::Yes, "yes", 0, ValueKind::None, nullptr, {}, false,
     "answer Yes to the confirmation (and to the per-file questions)"},
    {Option::Restore, "restore", 0, ValueKind::Choice, "ANSWER", {"ask", "keep", "replace", "merge"}, false,
     "answer the restoration questions: keep, replace, merge (or ask)"},
    {Option::DryRun, "dry-run", 0, ValueKind::None, nullptr, {}, false,
     "print each step the command would take, ask nothing and change nothing"},
};
// clang-format on

const std::vector<CommandSpec> kCommands = {
    {"before",
     "NAME",
     {Option::Drives},
     "record the drives before NAME is installed (default drive C)",
     "Creates the BEFORE file for the program NAME about to be installed: every directory and file of the drives\n"
     "LETTERS (default C) and copies of AUTOEXEC.BAT, CONFIG.SYS, WIN.INI and SYSTEM.INI. Progress goes to\n"
     "standard error when it is a terminal, and so does one line with the numbers recorded unless -q.\n"
     "Ctrl-C stops the scan and leaves no BEFORE file.\n"},
    {"after",
     "",
     {},
     "record what the installation added; prints the installation report",
     "Creates the AFTER file of the pending BEFORE file and prints the installation report; one line on\n"
     "standard error names the AFTER file and its numbers unless -q. The BEFORE file is deleted once the AFTER\n"
     "file is complete. Ctrl-C stops the scan and leaves no AFTER file.\n"},
    {"list",
     "",
     {},
     "the recorded programs: number and name; a pending BEFORE file last",
     "Prints the recorded programs, one per line: the number N of the AFTER file, a tab and the program name,\n"
     "in the order of the selection window. A pending BEFORE file follows as 'pending', a tab and its name.\n"},
    {"report",
     "N",
     {Option::Details, Option::Json},
     "what the installation of program N changed",
     "Prints what the installation of program N changed: the numbers of directories and files added and\n"
     "whether each configuration file changed. --details adds the directories and the files, each with a tab\n"
     "and its path on disk, and the lines added to and removed from the configuration files; --json prints all\n"
     "of it as one JSON document. For a program installed in a Wine prefix it also says whether the registry\n"
     "changed and how many desktop entries were added, and --details lists the registry changes and the\n"
     "desktop entries.\n"},
    {"remove",
     "N",
     {Option::Yes, Option::Restore, Option::DryRun},
     "delete program N and restore its configuration changes",
     "Deletes program N: its new directories and files, then restores its configuration files and deletes its\n"
     "AFTER file. --yes answers every confirmation and every per-file question Yes. --restore answers the\n"
     "restoration questions: keep the file, replace it with the original, or merge (keep later changes).\n"
     "--dry-run asks nothing, changes nothing and prints one line per step: delete, rmdir, keep, write (followed\n"
     "by the file's lines) or ask (a restoration that would be asked), the Windows path, a tab and the path on\n"
     "disk; then, in a Wine prefix, each step that takes back a registry change or a desktop entry.\n"},
    {"forget",
     "N",
     {Option::Yes},
     "delete the AFTER file of program N",
     "Deletes the AFTER file of program N; the program stays on the disk.\n"},
    {"forget-before", "", {Option::Yes}, "delete the BEFORE file", "Deletes the BEFORE file.\n"},
    {"forget-safety",
     "",
     {Option::Yes},
     "delete the safety copies (.QRV) and missing-line files (.MIS)",
     "Deletes the safety copies (.QRV) and missing-line files (.MIS) left beside the configuration files.\n"},
};

const OptionSpec* specOfValue(int value)
{
    for (std::size_t k = 0; k < kOptions.size(); ++k) {
        const int own = kOptions[k].letter != 0 ? kOptions[k].letter : kFirstLong + static_cast<int>(k);
        if (own == value) {
            return &kOptions[k];
        }
    }
    return nullptr;
}

std::string longName(const OptionSpec& spec)
{
    return std::string("--") + spec.name;
}

// "ask|keep|replace|merge" for a Choice, else the value's name.
std::string valueText(const OptionSpec& spec)
{
    if (spec.kind != ValueKind::Choice) {
        return spec.value ? spec.value : "";
    }
    std::string text;
    for (const std::string& choice : spec.choices) {
        text += (text.empty() ? "" : "|") + choice;
    }
    return text;
}

// "--restore ask|keep|replace|merge", "-q, --quiet".
std::string optionText(const OptionSpec& spec)
{
    std::string text = spec.letter != 0 ? std::string("-") + spec.letter + ", " : "";
    text += longName(spec);
    if (spec.value) {
        text += " " + valueText(spec);
    }
    return text;
}

// "report N [--details] [--json]".
std::string synopsis(const CommandSpec& command)
{
    std::string text = command.name;
    if (*command.operand != '\0') {
        text += std::string(" ") + command.operand;
    }
    for (const Option option : command.options) {
        const OptionSpec& spec = SpecOf(option);
        text += " [" + longName(spec) + (spec.value ? " " + valueText(spec) : "") + "]";
    }
    return text;
}

// Two columns, indented by two: the second three blanks after the longest first one, but no further than
// kHelpColumn; after a longer first one it starts on the next line.
std::string columns(const std::vector<std::pair<std::string, std::string>>& rows)
{
    std::size_t column = 0;
    for (const auto& [left, right] : rows) {
        if (2 + left.size() + 3 <= kHelpColumn) {
            column = std::max(column, 2 + left.size() + 3);
        }
    }
    std::string text;
    for (const auto& [left, right] : rows) {
        text += "  " + left;
        if (2 + left.size() + 3 > column) {
            text += "\n" + std::string(column, ' ');
        } else {
            text.append(column - 2 - left.size(), ' ');
        }
        text += right + "\n";
    }
    return text;
}

// The words of a bash list, separated by blanks.
std::string bashWords(const std::vector<std::string>& list)
{
    std::string text;
    for (const std::string& word : list) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

std::vector<std::string> optionWords(const std::vector<const OptionSpec*>& specs)
{
    std::vector<std::string> words;
    for (const OptionSpec* spec : specs) {
        if (spec->letter != 0) {
            words.push_back(std::string("-") + spec->letter);
        }
        words.push_back(longName(*spec));
    }
    return words;
}

std::vector<const OptionSpec*> commonOptions()
{
    std::vector<const OptionSpec*> specs;
    for (const OptionSpec& spec : kOptions) {
        if (spec.common) {
            specs.push_back(&spec);
        }
    }
    return specs;
}

// The error for the option getopt_long did not take: `word` is the argument it came in.
std::string unknownOption(std::string_view word, int optionValue)
{
    if (word.starts_with("--")) {
        const std::string_view name =
            word.substr(2, word.find('=') == std::string_view::npos ? word.npos : word.find('=') - 2);
        if (const OptionSpec* spec = specOfValue(optionValue); spec && optionValue != 0) {
            return "The option '" + longName(*spec) + "' takes no value.";
        }
        std::string matches;
        int count = 0;
        for (const OptionSpec& spec : kOptions) {
            if (std::string_view(spec.name).starts_with(name)) {
                matches += (count++ == 0 ? "" : ", ") + longName(spec);
            }
        }
        if (count > 1 && !name.empty()) {
            return "Ambiguous option '--" + std::string(name) + "': " + matches + ".";
        }
        return "Unknown option '--" + std::string(name) + "'.";
    }
    return "Unknown option '-" + std::string(1, static_cast<char>(optionValue)) + "'.";
}

}  // namespace

const std::vector<OptionSpec>& Options()
{
    return kOptions;
}

const std::vector<CommandSpec>& Commands()
{
    return kCommands;
}

const OptionSpec& SpecOf(Option option)
{
    return *std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpec& s) { return s.option == option; });
}

const CommandSpec* FindCommand(std::string_view name)
{
    const auto found =
        std::find_if(kCommands.begin(), kCommands.end(), [&](const CommandSpec& c) { return c.name == name; });
    return found == kCommands.end() ? nullptr : &*found;
}

std::string CommandLine::value(Option option, std::string otherwise) const
{
    const auto found = options.find(option);
    return found == options.end() ? std::move(otherwise) : found->second;
}

std::size_t CommandLine::choice(Option option) const
{
    const std::vector<std::string>& choices = SpecOf(option).choices;
    const auto found = std::find(choices.begin(), choices.end(), value(option));
    return found == choices.end() ? 0 : static_cast<std::size_t>(found - choices.begin());
}

std::optional<std::string> ParseCommandLine(int argc, char** argv, CommandLine& line)
{
    // "-": every word that is not an option comes back in its place, whatever POSIXLY_CORRECT says, so that
    // options may follow the command; ":": a missing value is told apart from an unknown option.
    std::string shortOptions = "-:";
    std::vector<struct option> longOptions;
    for (std::size_t k = 0; k < kOptions.size(); ++k) {
        const OptionSpec& spec = kOptions[k];
        const int value = spec.letter != 0 ? spec.letter : kFirstLong + static_cast<int>(k);
        longOptions.push_back({spec.name, spec.value ? required_argument : no_argument, nullptr, value});
        if (spec.letter != 0) {
            shortOptions += spec.letter;
            shortOptions += spec.value ? ":" : "";
        }
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});

    const auto word = [&](const char* text) -> std::optional<std::string> {
        if (line.command.empty()) {
            if (!FindCommand(text)) {
                return "Unknown command '" + std::string(text) + "'.";
            }
            line.command = text;
        } else {
            line.operands.emplace_back(text);
        }
        return std::nullopt;
    };

    optind = 0;  // starts getopt_long afresh
    opterr = 0;  // its messages are ours
    for (;;) {
        const int c = getopt_long(argc, argv, shortOptions.c_str(), longOptions.data(), nullptr);
        if (c == -1) {
            break;
        }
        if (c == 1) {
            if (auto error = word(optarg)) {
                return error;
            }
            continue;
        }
        if (c == '?') {
            const bool longOption =
                optind > 0 && optind <= argc && std::string_view(argv[optind - 1]).starts_with("--");
            return unknownOption(longOption ? argv[optind - 1] : "-", optopt);
        }
        if (c == ':') {
            return "Missing value after '" + longName(*specOfValue(optopt)) + "'.";
        }
        const OptionSpec& spec = *specOfValue(c);
        line.options[spec.option] = optarg ? optarg : "";
    }
    for (int k = optind; k < argc; ++k) {
        if (auto error = word(argv[k])) {
            return error;
        }
    }

    // A command's own options may come before it as well as after; another command's are wrong. Without a
    // command there is nothing to check them against.
    const CommandSpec* command = FindCommand(line.command);
    for (const auto& [option, value] : line.options) {
        const OptionSpec& spec = SpecOf(option);
        if (!spec.common && command &&
            std::find(command->options.begin(), command->options.end(), option) == command->options.end()) {
            return "Unknown option '" + longName(spec) + "' for " + command->name + ".";
        }
        if (spec.kind == ValueKind::Choice &&
            std::find(spec.choices.begin(), spec.choices.end(), value) == spec.choices.end()) {
            std::string choices;
            for (std::size_t k = 0; k < spec.choices.size(); ++k) {
                choices += (k == 0 ? "" : k + 1 == spec.choices.size() ? " or " : ", ") + spec.choices[k];
            }
            return longName(spec) + " takes " + choices + ".";
        }
    }
    return std::nullopt;
}

std::string UsageText()
{
    std::string text =
        "Usage: morvane-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
        "Records what the installation of a program adds to the drives, and deletes the program again.\n"
        "The same records as the windowed program morvane, from a terminal.\n"
        "\n"
        "Commands:\n";
    std::vector<std::pair<std::string, std::string>> commands;
    for (const CommandSpec& command : kCommands) {
        commands.emplace_back(synopsis(command), command.summary);
    }
    text += columns(commands) + "\nOptions:\n";
    std::vector<std::pair<std::string, std::string>> options;
    for (const OptionSpec* spec : commonOptions()) {
        options.emplace_back(optionText(*spec), spec->help);
    }
    text += columns(options);
    text +=
        "\n"
        "Questions are asked on the terminal. When standard input is not a terminal, nothing is asked: --yes and\n"
        "--restore give the answers, and a command that needs an answer it was not given stops with status 1.\n"
        "Exit status: 0 success, 1 the command failed or was refused, 2 a wrong command line.\n";
    return text;
}

std::string CommandHelpText(const CommandSpec& command)
{
    std::string text = "Usage: morvane-cli " + synopsis(command) + "\n" + command.help;
    if (!command.options.empty()) {
        std::vector<std::pair<std::string, std::string>> options;
        for (const Option option : command.options) {
            options.emplace_back(optionText(SpecOf(option)), SpecOf(option).help);
        }
        text += "\nOptions:\n" + columns(options);
    }
    // The common options by their shortest names.
    const std::vector<const OptionSpec*> common = commonOptions();
    text += "\nThe options of every command: ";
    for (std::size_t k = 0; k < common.size(); ++k) {
        const OptionSpec& spec = *common[k];
        text += k == 0 ? "" : k + 1 == common.size() ? " and " : ", ";
        text += spec.letter != 0 ? std::string("-") + spec.letter : longName(spec) + " " + valueText(spec);
    }
    return text + " (see morvane-cli --help).\n";
}

std::string BashCompletion()
{
    std::vector<std::string> commands;
    for (const CommandSpec& command : kCommands) {
        commands.emplace_back(command.name);
    }
    std::string withValue;  // "--prefix|--data-dir|..."
    std::string values;     // a case per option with a value: what its value is completed with
    for (const OptionSpec& spec : kOptions) {
        if (!spec.value) {
            continue;
        }
        withValue += (withValue.empty() ? "" : "|") + longName(spec);
        values += "    " + longName(spec) + ")\n";
        switch (spec.kind) {
        case ValueKind::Folder:
            values += "        compopt -o filenames 2>/dev/null\n        _morvane_cli_reply -d\n";
            break;
        case ValueKind::Choice: values += "        _morvane_cli_reply -W '" + bashWords(spec.choices) + "'\n"; break;
        case ValueKind::Text:
        case ValueKind::None: break;
        }
        values += "        return\n        ;;\n";
    }
    std::string own;  // a case per command: the options it takes
    for (const CommandSpec& command : kCommands) {
        std::vector<const OptionSpec*> specs = commonOptions();
        for (const Option option : command.options) {
            specs.push_back(&SpecOf(option));
        }
        own += std::string("    ") + command.name + ") options='" + bashWords(optionWords(specs)) + "' ;;\n";
    }

    std::string script =
        R"(# bash completion for morvane-cli, made from its table of commands and options when it was built.

# COMPREPLY: what compgen gives for its arguments and the word being completed, one reply per line.
_morvane_cli_reply()
{
    mapfile -t COMPREPLY < <(compgen "$@" -- "$cur")
}

_morvane_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command='' i options
    COMPREPLY=()
    # bash splits "--restore=merge" at the "=".
    if [[ $cur == = ]]; then
        cur=''
    elif [[ $prev == = ]] && ((COMP_CWORD > 2)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    # The command is the first word that is neither an option nor an option's value.
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        @WITH_VALUE@)
            [[ ${COMP_WORDS[i + 1]} == = ]] && ((i++))
            ((i++))
            ;;
        -*) ;;
        *)
            command=${COMP_WORDS[i]}
            break
            ;;
        esac
    done
    case $prev in
@VALUES@    esac
    case $command in
@OWN@    '')
        if [[ $cur != -* ]]; then
            _morvane_cli_reply -W '@COMMANDS@'
            return
        fi
        options='@COMMON@'
        ;;
    *) return ;;
    esac
    if [[ $cur == -* ]]; then
        _morvane_cli_reply -W "$options"
    fi
}
complete -F _morvane_cli morvane-cli
)";
    const auto put = [&](std::string_view mark, const std::string& text) {
        script.replace(script.find(mark), mark.size(), text);
    };
    put("@WITH_VALUE@", withValue);
    put("@VALUES@", values);
    put("@OWN@", own);
    put("@COMMANDS@", bashWords(commands));
    put("@COMMON@", bashWords(optionWords(commonOptions())));
    return script;
}

}  // namespace morvane::cli
