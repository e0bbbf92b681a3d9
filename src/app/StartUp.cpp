#include "app/StartUp.h"

#include "app/HandOff.h"
#include "app/SettingsLocation.h"
#include "app/SingleInstance.h"
#include "app/SplashWindow.h"
#include "platform/LinuxPlatform.h"
#include "platform/SignalWatcher.h"
#include "surface/ColourConv.h"
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

} // namespace

int runProgram(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorlane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vorlane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vorlane/vorlane.svg")));
    installPaletteColourResolver();

    WidgetPrompt prompt;
    LinuxPlatform platform;

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

    TFormMain form(prompt, platform, settingsFilePath());
    prompt.setMainWindow(&form);
    form.setHandOff(&handOff);
    QObject::connect(&guard, &TPBJustOne::wakeUp, &form, &TFormMain::wakeUp);
    form.FormCreate(&splash);
    splash.close();

    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &form, &TFormMain::endSession);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager &) { form.endSession(); });

    form.show();
    form.raise();
    form.activateWindow();
    return app.exec();
}

} // namespace vl
