#include "app/Maintenance.h"

#include "app/ConsolePrompt.h"
#include "platform/RegistryFile.h"
#include "storage/LegacyImport.h"
#include "storage/ModelJson.h"
#include "storage/SettingsFile.h"

namespace vl {

int runDumpModel(const QString &settingsPath, std::FILE *out)
{
    Workspace ws;
    ConsolePrompt prompt;
    SettingsHost host;
    SettingsFile file(ws, prompt, host, settingsPath);
    file.LoadAll(false);
    const std::string json = modelToJson(ws);
    if (std::fwrite(json.data(), 1, json.size(), out) != json.size() || std::fflush(out) != 0)
        return 1;
    return 0;
}

namespace {

int saveStatus(SettingsFile &file)
{
    switch (file.SaveAll()) {
    case SettingsFile::SaveResult::Saved:
        return 0;
    case SettingsFile::SaveResult::Declined:
        return 2;
    case SettingsFile::SaveResult::Busy:
    case SettingsFile::SaveResult::Incomplete:
    case SettingsFile::SaveResult::Failed:
        break;
    }
    return 1;
}

} // namespace

int runResave(const QString &settingsPath)
{
    Workspace ws;
    ConsolePrompt prompt;
    SettingsHost host;
    SettingsFile file(ws, prompt, host, settingsPath);
    file.LoadAll(true);
    return saveStatus(file);
}

int runImportRegistry(const QString &settingsPath, const QString &registryPath, std::FILE *err)
{
    // Read before anything else: a file that cannot be imported leaves the
    // settings file as it was.
    QString error;
    const std::optional<RegistryFile> registry = RegistryFile::read(registryPath, &error);
    if (!registry) {
        std::fprintf(err, "vorlane: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    // Importing a file without the key would replace every desktop by one
    // empty desktop: surely the wrong file.
    if (!LegacyImport::holdsSettings(*registry)) {
        std::fprintf(err, "vorlane: %s: no key HKEY_CURRENT_USER\\%s\n", registryPath.toLocal8Bit().constData(),
                     LegacyImport::Key.toLocal8Bit().constData());
        return 1;
    }
    Workspace ws;
    ConsolePrompt prompt(err);
    SettingsHost host;
    SettingsFile file(ws, prompt, host, settingsPath);
    file.LoadAll(true);
    // The import replaces the desktops, as "Load from Registry" does.
    while (ws.desktopCount() > 0)
        ws.deleteDesktop(ws.activeIndex());
    LegacyImport import(ws, prompt, host);
    import.LoadFromRegistry(*registry);
    return saveStatus(file);
}

} // namespace vl
