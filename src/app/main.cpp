#include "app/CommandLine.h"
#include "app/Maintenance.h"
#include "app/SettingsLocation.h"
#include "app/StartUp.h"
#include "app/WindowRemote.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {

int printed(std::FILE *stream)
{
    return std::fflush(stream) == 0 && !std::ferror(stream) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Past a file size limit (ulimit -f) the kernel would kill us in the
    // middle of a save; ignored, the write fails with EFBIG and the save
    // reports it like any other failed write.
    std::signal(SIGXFSZ, SIG_IGN);
    using Action = vl::CommandLine::Action;
    // Before any application object: Qt's would take words such as "-style" for its own, and
    // QApplication needs a display.
    vl::CommandLine command = vl::parseCommandLine(argc, argv);
    switch (command.action) {
    case Action::Help:
        std::fputs(vl::usageText(), stdout);
        return printed(stdout);
    case Action::Version:
        std::fputs("vorlane " VORLANE_VERSION "\n", stdout);
        return printed(stdout);
    case Action::UnknownOption:
        std::fprintf(stderr, "vorlane: unknown option '%s'\n\n%s", command.unknownOption.c_str(),
                     vl::usageText());
        return vl::kUsageExitCode;
    case Action::MissingArgument:
        std::fprintf(stderr, "vorlane: option '%s' needs %s\n\n%s", command.unknownOption.c_str(),
                     command.unknownOption == "--restore" ? "a number" : "a FILE", vl::usageText());
        return vl::kUsageExitCode;
    case Action::DumpModel:
    case Action::Resave:
    case Action::ImportRegistry:
    case Action::ListHistory:
    case Action::RestoreHistory: {
        // The maintenance commands run without a display.
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("vorlane"));
        const QString path = vl::settingsFilePath();
        if (command.action == Action::ImportRegistry)
            return vl::runImportRegistry(path, QString::fromLocal8Bit(command.importFile));
        if (command.action == Action::ListHistory)
            return vl::runListHistory(path);
        if (command.action == Action::RestoreHistory)
            return vl::runRestoreHistory(path, QString::fromLocal8Bit(command.importFile));
        return command.action == Action::DumpModel ? vl::runDumpModel(path) : vl::runResave(path);
    }
    case Action::Show:
    case Action::Toggle: {
        // Handed to the window on the same settings file, which may be one
        // of several copies; without one, Vorlane starts as usual.
        QCoreApplication app(argc, argv);
        vl::WindowRemote remote(vl::settingsFilePath());
        if (remote.send(command.action == Action::Show ? vl::WindowRemote::Command::Show
                                                       : vl::WindowRemote::Command::Toggle))
            return 0;
        command.programArguments.resize(1);
        break;
    }
    case Action::Run:
        break;
    }
    // The program takes its file as the first argument; "--" is not passed on. The words must
    // outlive the application object, which keeps pointers to them.
    std::vector<char *> programArgv;
    for (std::string &word : command.programArguments)
        programArgv.push_back(word.data());
    programArgv.push_back(nullptr);
    return vl::runProgram(int(command.programArguments.size()), programArgv.data());
}
