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
    if (std::strcmp(word, "--import-registry") == 0 || std::strncmp(word, "--import-registry=", 18) == 0)
        return CommandLine::Action::ImportRegistry;
    if (std::strcmp(word, "--list-history") == 0)
        return CommandLine::Action::ListHistory;
    if (std::strcmp(word, "--restore") == 0 || std::strncmp(word, "--restore=", 10) == 0)
        return CommandLine::Action::RestoreHistory;
    if (std::strcmp(word, "--show") == 0)
        return CommandLine::Action::Show;
    if (std::strcmp(word, "--toggle") == 0)
        return CommandLine::Action::Toggle;
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
            std::string file;
            if (action == CommandLine::Action::ImportRegistry || action == CommandLine::Action::RestoreHistory) {
                const char *equals = std::strchr(word, '=');
                if (equals) {
                    file = equals + 1;
                } else if (i + 1 < argc) {
                    file = argv[++i];
                } else {
                    line.action = CommandLine::Action::MissingArgument;
                    line.unknownOption = word;
                    return line;
                }
                if (file.empty()) {
                    line.action = CommandLine::Action::MissingArgument;
                    line.unknownOption =
                        action == CommandLine::Action::ImportRegistry ? "--import-registry" : "--restore";
                    return line;
                }
            }
            if (line.action == CommandLine::Action::Run) {
                line.action = action;
                line.importFile = std::move(file);
            }
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
       vorlane --import-registry FILE
       vorlane --list-history | --restore N
       vorlane --show | --toggle
       vorlane --help | --version

Vorlane shows several desktops of shortcuts and notes in one window. With FILE
(a path or a web address) it adds a shortcut for it to the active desktop; when
Vorlane already runs, the running copy adds it and comes to the front. "--" ends
the options, for a FILE whose name starts with "-".

Options:
  --dump-model  load the settings file as start-up would, ask nothing, and
                print the whole model as JSON on standard output
  --resave      load the settings file and save it once, as "Save All" would
  --import-registry FILE
                import the settings of a Vorlane older than 1.7 from FILE, a
                registry export (REGEDIT4 or version 5.00) or a Wine prefix's
                user.reg that holds the key
                HKEY_CURRENT_USER\Software\Quendry\Vorlane: check FILE whole,
                then load the settings file, replace all its desktops by the
                imported ones, answer every question No, and save once
  --list-history
                list the earlier versions of the settings kept in the history,
                newest first: number, date, desktops, shortcuts and name of
                each
  --restore N   make version N of --list-history (its number, or its name,
                which does not shift when a save keeps a copy) the settings
                file: the current file is kept in the history first; refused
                while Vorlane runs
  --show        bring the window that runs on the settings file back (from
                minimised, the notification area or the compact strip) and
                raise it; start Vorlane when none runs
  --toggle      hide that window when it is shown and active, show it
                otherwise; start Vorlane when none runs
  --help        print this help and exit
  --version     print the version and exit
The maintenance commands --dump-model, --resave, --import-registry,
--list-history and --restore need no display; their messages go to standard
error.

Files:
  vorlane.ini   the settings: $VORLANE_SETTINGS when set; otherwise beside the
                program when that folder can be written and is not the one
                it was installed to (a portable copy); otherwise
                $XDG_CONFIG_HOME/vorlane/vorlane.ini
                (~/.config/vorlane/vorlane.ini). Each save keeps the previous
                content as vorlane.ini.bak. A settings file that cannot be
                read is kept as vorlane.ini.unreadable-DATE-TIME before
                anything can replace it.
  vorlane.history/
                beside the settings file: earlier versions, the first of each
                hour before a save replaces the file; of earlier days only the
                newest of each day, at most 20 and 50 MB in all.
  registry.ini  holds the switch that lets several copies run (multiinstance=1
                under [HKEY_LOCAL_MACHINE\Software\Quendry\Vorlane]):
                $VORLANE_REGISTRY when set, otherwise
                $XDG_CONFIG_HOME/vorlane/registry.ini.
  vorlane-<uid>.handoff/
                the hand-off folder that passes FILE to the running copy, one
                file for each start; it lives with the instance lock and
                wake-up socket in $XDG_RUNTIME_DIR when that is a private
                folder (yours, mode 0700), otherwise in /tmp/vorlane-<uid>.

Environment:
  VORLANE_SETTINGS  the settings file to use
  VORLANE_REGISTRY  the file that holds the multi-instance switch
  XDG_CONFIG_HOME   the folder of the settings and registry files when neither
                    is named (default ~/.config)
  XDG_RUNTIME_DIR   the private folder of the lock, wake-up socket and hand-off
                    folder

Exit status:
  0   done; also when the running copy took FILE over
  1   --dump-model could not write its output, or --resave could not save;
      --import-registry could not read FILE, FILE is no registry export or
      holds no Vorlane settings (the settings file is untouched), or the
      save failed; --restore: Vorlane runs, N is no version that can be read, or the
      current file could not be kept (the settings file is untouched)
  2   --resave, --import-registry: errors of the load (or the import) made
      the save ask; it answered No and left the settings file untouched
  64  an unknown option, --import-registry without FILE or --restore
      without N
)";
}

} // namespace vl
