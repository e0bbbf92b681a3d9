#include "app/CommandLine.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vl {

namespace {

CommandLine::Action knownOption(const char *word)
{
    if (std::strcmp(word, "--help") == 0)
        return CommandLine::Action::Help;
    if (std::strcmp(word, "--version") == 0)
        return CommandLine::Action::Version;
    if (std::strcmp(word, "--dump-model") == 0)
        return CommandLine::Action::DumpModel;
    if (std::strcmp(word, "--resave") == 0)
        return CommandLine::Action::Resave;
    return CommandLine::Action::UnknownOption;
}

// The working folder joined with path, as the hand-off joins a relative path (not cleaned), so
// the running copy gets the same text either way. Unchanged when the folder is gone.
std::string absolute(const std::string &path)
{
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return path;
        buffer.resize(buffer.size() * 2);
    }
    std::string result = buffer.data();
    if (result.empty() || result.back() != '/')
        result += '/';
    return result + path;
}

} // namespace

CommandLine parseCommandLine(int argc, const char *const argv[])
{
    CommandLine line;
    line.programArguments.emplace_back(argc > 0 && argv[0] ? argv[0] : "vorlane");
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char *word = argv[i];
        if (!optionsEnded && std::strcmp(word, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && word[0] == '-') {
            const CommandLine::Action action = knownOption(word);
            if (action == CommandLine::Action::UnknownOption) {
                line.action = action;
                line.unknownOption = word;
                return line;
            }
            if (line.action == CommandLine::Action::Run)
                line.action = action;
        } else {
            line.programArguments.push_back(word[0] == '-' ? absolute(word) : std::string(word));
        }
    }
    return line;
}

const char *usageText()
{
    return R"(Usage: vorlane [--] [FILE]
       vorlane --dump-model | --resave
       vorlane --help | --version

Vorlane shows several desktops of shortcuts and notes in one window. With FILE
(a path or a web address) it adds a shortcut for it to the active desktop; when
Vorlane already runs, the running copy adds it and comes to the front. "--" ends
the options, for a FILE whose name starts with "-".

Options:
  --dump-model  load the settings file as start-up would, ask nothing, and
                print the whole model as JSON on standard output
  --resave      load the settings file and save it once, as "Save All" would
  --help        print this help and exit
  --version     print the version and exit
The maintenance commands --dump-model and --resave need no display; their
messages go to standard error.

Files:
  vorlane.ini   the settings: $VORLANE_SETTINGS when set; otherwise beside the
                program when that folder can be written (a portable copy);
                otherwise $XDG_CONFIG_HOME/vorlane/vorlane.ini
                (~/.config/vorlane/vorlane.ini). Each save keeps the previous
                content as vorlane.ini.bak.
  registry.ini  holds the switch that lets several copies run (multiinstance=1
                under [HKEY_LOCAL_MACHINE\Software\Quendry\Vorlane]):
                $VORLANE_REGISTRY when set, otherwise
                $XDG_CONFIG_HOME/vorlane/registry.ini.
  vl30399.tmp   the hand-off file that passes FILE to the running copy; it lives
                with the instance lock and wake-up socket in $XDG_RUNTIME_DIR
                when that is a private folder (yours, mode 0700), otherwise in
                /tmp/vorlane-<uid>.

Environment:
  VORLANE_SETTINGS  the settings file to use
  VORLANE_REGISTRY  the file that holds the multi-instance switch
  XDG_CONFIG_HOME   the folder of the settings and registry files when neither
                    is named (default ~/.config)
  XDG_RUNTIME_DIR   the private folder of the lock, wake-up socket and hand-off
                    file

Exit status:
  0   done; also when the running copy took FILE over
  1   --dump-model could not write its output, or --resave could not save
  2   --resave: earlier errors made the save ask; it answered No and left the
      file untouched
  64  an unknown option
)";
}

} // namespace vl
