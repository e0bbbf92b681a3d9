#include "app/Maintenance.h"
#include "app/SettingsLocation.h"
#include "app/StartUp.h"

#include <QCoreApplication>

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
    return vl::runProgram(argc, argv);
}
