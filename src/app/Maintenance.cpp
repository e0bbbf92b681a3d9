#include "app/Maintenance.h"

#include "app/ConsolePrompt.h"
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

int runResave(const QString &settingsPath)
{
    Workspace ws;
    ConsolePrompt prompt;
    SettingsHost host;
    SettingsFile file(ws, prompt, host, settingsPath);
    file.LoadAll(true);
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

} // namespace vl
