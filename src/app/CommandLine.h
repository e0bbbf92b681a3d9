#pragma once

#include <string>
#include <vector>

namespace vl {

// What the command line asks for. It is read before any application object exists, so that
// --help, --version and mistakes need no display and a mistake never reaches a running copy.
//
// Words starting with "-" before a "--" are options; every other word, and every word after the
// "--", is an operand (the file to add). An option not understood ends the reading. Of several
// known options the first decides, and operands then count for nothing. "--import-registry" takes
// the next word as its file, whatever it is ("--import-registry=FILE" works too); "--restore" takes
// the next word as the number of the version to restore the same way.
struct CommandLine {
    enum class Action {
        Run,
        Help,
        Version,
        DumpModel,
        Resave,
        ImportRegistry,
        ListHistory,
        RestoreHistory,
        Show,
        Toggle,
        UnknownOption,
        MissingArgument
    };

    Action action = Action::Run;
    // UnknownOption: the word not understood. MissingArgument: the option without its argument.
    std::string unknownOption;
    // ImportRegistry: the registry export to import. RestoreHistory: the number, as given.
    std::string importFile;
    // Run: the argument list for the program with a window: the program name, then the
    // operands, without "--". Qt takes words starting with "-" for its own options (-reverse,
    // -style, ...), so such an operand, which can only be a relative path, is made absolute the
    // way the hand-off would make it.
    std::vector<std::string> programArguments;
};

CommandLine parseCommandLine(int argc, const char *const argv[]);

// The text --help prints, ending in a line break.
const char *usageText();

// Exit status of a command line not understood (EX_USAGE).
inline constexpr int kUsageExitCode = 64;

} // namespace vl
