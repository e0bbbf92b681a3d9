#include "app/StartUp.h"

#include "app/FirstPaintReport.h"
#include "common/HandOff.h"
#include "app/SettingsLocation.h"
#include "app/SingleInstance.h"
#include "app/WindowRemote.h"
#include "app/SplashWindow.h"
#include "platform/DesktopIcons.h"
#include "platform/LinuxPlatform.h"
#include "platform/RunningCopies.h"
#include "platform/SignalWatcher.h"
#include "common/ColourConv.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMain.h"
#include "app/WidgetPrompt.h"

#include <QApplication>
#include <QIcon>
#include <QSessionManager>



namespace vl {

namespace {

const QString MultiInstanceKey = QStringLiteral("Software\\Quendry\\Vorlane");

// Whether several copies may run; a store that cannot be read counts as No.
bool GetMIValue(Platform &platform, Prompt &prompt)
{
    try {
        const auto v = platform.registry().readValue(RegistryHive::LocalMachine, MultiInstanceKey,
                                                     QStringLiteral("multiinstance"));
        return v && v->trimmed() != QLatin1String("0") && !v->trimmed().isEmpty();
    } catch (const std::exception &) {
        prompt.ShowMessage(QStringLiteral("Error of opening Registry in TFormMain.GetMIValue"));
        return false;
    }
}

// Diagnostic for the start-up benchmark (bench/bench_startup.cpp), not a
// feature: with VORLANE_REPORT_FIRST_PAINT set, the first paint of the
// desktop surface prints one line to stderr,
//   first-paint-ms <since process start> peak-rss-kib <VmHWM> monotonic-ns <CLOCK_MONOTONIC now>
// and with the value "exit" the program then quits without saving. The
// benchmark times from its own clock reading before exec to monotonic-ns;
// first-paint-ms has only the kernel's start-time resolution (a clock tick).
void reportFirstPaintWhenAsked(TFormMain &form)
{
    const QByteArray mode = qgetenv("VORLANE_REPORT_FIRST_PAINT");
    if (mode.isNull())
        return;
    QObject::connect(
        form.surface(), &DesktopSurface::painted, &form,
        [&form, quit = mode == "exit"] {
            printFirstPaintReport();
            // Not from inside the paint event.
            if (quit) {
                QMetaObject::invokeMethod(
                    &form,
                    [&form] {
                        form.quitWithoutSaving();
                        QCoreApplication::exit(0);
                    },
                    Qt::QueuedConnection);
            }
        },
        Qt::SingleShotConnection);
}

} // namespace

int runProgram(int argc, char *argv[])
{
    // The file to hand over, as the bytes it was given: a name need not be
    // UTF-8, and QCoreApplication::arguments() would decode it for good.
    const std::optional<QByteArray> handed = argc >= 2 ? std::optional(QByteArray(argv[1])) : std::nullopt;
    QApplication app(argc, argv);
    // No display name: Qt would append it to every window title, and the
    // titles are the program's own texts.
    QApplication::setApplicationName(QStringLiteral("vorlane"));
    // The bitmap icon: rendering the scalable one would load the SVG engine
    // on every start.
    QApplication::setWindowIcon(programIcon());
    installPaletteColourResolver();
    setUpIconTheme();

    WidgetPrompt prompt;
    LinuxPlatform platform;

    // A termination signal before the window exists ends the start here,
    // with nothing loaded and nothing saved; once it exists the window
    // decides (see TFormMain::endSession).
    SignalWatcher signalWatcher;
    bool terminateRequested = false;
    auto early = QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &app,
                                  [&](int) { terminateRequested = true; });

    TfrmSplash splash;
    splash.show();
    QCoreApplication::processEvents();

    HandOff handOff;
    if (handed && !handOff.SaveTempOpenFile(*handed))
        prompt.ShowMessage(QStringLiteral("Error in TFormMain.SaveTempOpenFile"));

    TPBJustOne guard;
    if (!GetMIValue(platform, prompt)) {
        if (guard.start() == TPBJustOne::Outcome::HandedOver)
            return 0; // the running copy takes over; nothing here was loaded, nothing is saved
    }
    if (terminateRequested)
        return 0;
    // Several copies may be allowed; commands that replace the settings file
    // still learn that a window runs.
    RunningCopies running(settingsFilePath());
    running.markRunning();

    TFormMain form(prompt, platform, settingsFilePath());
    prompt.setMainWindow(&form);
    form.setHandOff(&handOff);
    form.setRunningMark(&running);
    QObject::disconnect(early);
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &form, [&form](int) { form.endSession(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager &) { form.endSession(); });
    QObject::connect(&guard, &TPBJustOne::wakeUp, &form, &TFormMain::wakeUp);
    // `vorlane --show` and `--toggle` reach this window through its settings
    // file's socket, whether several copies may run or not.
    WindowRemote remote(settingsFilePath());
    remote.listen();
    QObject::connect(&remote, &WindowRemote::commandReceived, &form, [&form](WindowRemote::Command command) {
        if (command == WindowRemote::Command::Show)
            form.showFromAnywhere();
        else
            form.toggleFromAnywhere();
    });
    // Not from inside the close: the save at the end may still be on the stack.
    QObject::connect(&form, &TFormMain::ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    form.FormCreate(&splash);
    splash.close();
    reportFirstPaintWhenAsked(form);

    // Ended while starting: what waits (the close among it) runs in the
    // event loop, and the window is never shown.
    if (!form.endRequested()) {
        form.show();
        form.raise();
        form.activateWindow();
    }
    return app.exec();
}

} // namespace vl
