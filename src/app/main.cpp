#include "app/Maintenance.h"
#include "app/SettingsLocation.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>

#include <cstring>

int main(int argc, char *argv[])
{
    // The maintenance commands run without a display.
    if (argc >= 2 && (std::strcmp(argv[1], "--dump-model") == 0 || std::strcmp(argv[1], "--resave") == 0)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("vorlane"));
        const QString path = vl::settingsFilePath();
        return std::strcmp(argv[1], "--dump-model") == 0 ? vl::runDumpModel(path) : vl::runResave(path);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorlane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vorlane"));
    QLabel window(QStringLiteral("Vorlane"));
    window.resize(700, 500);
    window.show();
    return app.exec();
}
