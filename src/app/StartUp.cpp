#include "app/StartUp.h"

#include "app/FirstPaintReport.h"
#include "app/HandOff.h"
#include "app/SettingsLocation.h"
#include "app/SingleInstance.h"
#include "app/SplashWindow.h"
#include "platform/DesktopIcons.h"
#include "platform/LinuxPlatform.h"
#include "platform/SignalWatcher.h"
#include "surface/ColourConv.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMain.h"
#include "surface/WidgetPrompt.h"

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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorlane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vorlane"));
    // The bitmap icon: rendering the scalable one would load the SVG engine
    // on every start.
    QApplication::setWindowIcon(programIcon());
    installPaletteColourResolver();
    setUpIconTheme();

    WidgetPrompt prompt;
    LinuxPlatform platform;

    // A termination signal during start-up must not kill the process with its
    // lock held: it is remembered and honoured once the window can save.
    SignalWatcher signalWatcher;
    bool terminateRequested = false;
    TFormMain *ready = nullptr;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &app, [&](int) {
        if (ready)
            ready->endSession();
        else
            terminateRequested = true;
    });

    TfrmSplash splash;
    splash.show();
    QCoreApplication::processEvents();

    const QStringList args = QCoreApplication::arguments();
    HandOff handOff;
    if (args.size() >= 2 && !handOff.SaveTempOpenFile(args.at(1)))
        prompt.ShowMessage(QStringLiteral("Error in TFormMain.SaveTempOpenFile"));

    TPBJustOne guard;
    if (!GetMIValue(platform, prompt)) {
        if (guard.start() == TPBJustOne::Outcome::HandedOver)
            return 0; // the running copy takes over; nothing here was loaded, nothing is saved
    }
    if (terminateRequested)
        return 0;

    TFormMain form(prompt, platform, settingsFilePath());
    prompt.setMainWindow(&form);
    form.setHandOff(&handOff);
    QObject::connect(&guard, &TPBJustOne::wakeUp, &form, &TFormMain::wakeUp);
    form.FormCreate(&splash, true);
    splash.close();
    reportFirstPaintWhenAsked(form);

    ready = &form;
    if (terminateRequested) {
        form.saver().requestSave(); // as closing would
        return 0;
    }
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager &) { form.endSession(); });

    form.show();
    form.raise();
    form.activateWindow();
    // The desktops not shown load once the first one is on screen.
    QObject::connect(form.surface(), &DesktopSurface::painted, &form, &TFormMain::loadRestSoon,
                     Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    return app.exec();
}

} // namespace vl
