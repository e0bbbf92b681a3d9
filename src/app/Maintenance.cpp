#include "app/Maintenance.h"

#include "app/ConsolePrompt.h"
#include "app/SingleInstance.h"
#include "platform/RegistryFile.h"
#include "platform/RunningCopies.h"
#include "storage/LegacyImport.h"
#include "storage/ModelJson.h"
#include "storage/SettingsFile.h"
#include "storage/SettingsHistory.h"

#include <QFileInfo>

namespace vl {

namespace {

// Remarks meant for the status bar go to the console.
class ConsoleHost : public SettingsHost {
public:
    explicit ConsoleHost(std::FILE *err = stderr) : err_(err) {}
    void statusMessage(const QString &text) override
    {
        std::fprintf(err_, "vorlane: %s\n", text.toLocal8Bit().constData());
    }

private:
    std::FILE *err_;
};

} // namespace

int runDumpModel(const QString &settingsPath, std::FILE *out)
{
    Workspace ws;
    ConsolePrompt prompt;
    SettingsHost host;
    SettingsFile file(ws, prompt, host, settingsPath);
    // Looking at a file writes nothing, not even the copy of one that
    // cannot be read.
    file.setReadOnly(true);
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
    case SettingsFile::SaveResult::OtherVersion: // not asked here: the console answers No
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
    ConsoleHost host;
    SettingsFile file(ws, prompt, host, settingsPath);
    file.LoadAll(true);
    return saveStatus(file);
}

int runImportRegistry(const QString &settingsPath, const QString &registryPath, std::FILE *err)
{
    // Read and checked before anything else: a file that cannot be imported
    // leaves the settings file as it was.
    QString error;
    const std::optional<RegistryFile> registry = LegacyImport::readForImport(registryPath, &error);
    if (!registry) {
        std::fprintf(err, "vorlane: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    Workspace ws;
    ConsolePrompt prompt(err);
    ConsoleHost host(err);
    SettingsFile file(ws, prompt, host, settingsPath);
    file.LoadAll(true);
    // The import replaces the desktops, as "Load from Registry" does.
    while (ws.desktopCount() > 0)
        ws.deleteDesktop(ws.activeIndex());
    LegacyImport import(ws, prompt, host);
    import.LoadFromRegistry(*registry);
    return saveStatus(file);
}

int runListHistory(const QString &settingsPath, std::FILE *out, std::FILE *err)
{
    const SettingsHistory history(settingsPath);
    const std::vector<HistoryCopy> copies = history.copies();
    if (copies.empty())
        std::fprintf(err, "vorlane: no earlier versions are kept in %s\n", history.folder().toLocal8Bit().constData());
    int number = 0;
    for (const HistoryCopy &c : copies) {
        const HistorySummary s = SettingsHistory::summarize(c.path);
        const QByteArray time = SettingsHistory::displayTime(c.time).toLocal8Bit();
        // The copy's name too: a number shifts when a save keeps a copy or
        // thins one away, the name does not.
        const QByteArray name = QFileInfo(c.path).fileName().toLocal8Bit();
        if (s.readable)
            std::fprintf(out, "%d  %s  desktops %d  shortcuts %d  %s\n", ++number, time.constData(), s.desktops,
                         s.shortcuts, name.constData());
        else
            std::fprintf(out, "%d  %s  cannot be read  %s\n", ++number, time.constData(), name.constData());
    }
    return std::fflush(out) == 0 && !std::ferror(out) ? 0 : 1;
}

int runRestoreHistory(const QString &settingsPath, const QString &number, const QString &runtimeFolder,
                      std::FILE *out, std::FILE *err)
{
    // Held until the file is replaced: no copy may start and load it
    // meanwhile, and one that runs would write its own state over it.
    TPBJustOne guard(runtimeFolder);
    switch (guard.startWithoutWaking()) {
    case TPBJustOne::Outcome::FirstInstance:
        break;
    case TPBJustOne::Outcome::HandedOver:
        std::fprintf(err, "vorlane: Vorlane is running; end it before restoring an earlier version\n");
        return 1;
    case TPBJustOne::Outcome::Failed:
        std::fprintf(err, "vorlane: cannot tell whether Vorlane is running: %s\n",
                     guard.errorString().toLocal8Bit().constData());
        return 1;
    }
    // Copies allowed to run side by side hold no single-copy lock; each
    // window marks itself running all the same.
    RunningCopies windows(settingsPath);
    switch (windows.othersRunning()) {
    case RunningCopies::Others::None:
        break;
    case RunningCopies::Others::Running:
        std::fprintf(err, "vorlane: Vorlane is running; end it before restoring an earlier version\n");
        return 1;
    case RunningCopies::Others::Unknown:
        std::fprintf(err, "vorlane: cannot tell whether Vorlane is running: %s\n",
                     windows.errorString().toLocal8Bit().constData());
        return 1;
    }
    SettingsHistory history(settingsPath);
    const std::vector<HistoryCopy> copies = history.copies();
    bool isNumber = false;
    int n = number.toInt(&isNumber);
    if (!isNumber) {
        // A copy's name, as --list-history shows it, with or without ".ini".
        for (std::size_t i = 0; i < copies.size(); ++i) {
            const QFileInfo copyFile(copies[i].path);
            if (number == copyFile.fileName() || number == copyFile.completeBaseName()) {
                n = static_cast<int>(i) + 1;
                isNumber = true;
            }
        }
    }
    if (!isNumber || n < 1 || n > static_cast<int>(copies.size())) {
        std::fprintf(err, "vorlane: %s is no version in the history (--list-history lists %d)\n",
                     number.toLocal8Bit().constData(), static_cast<int>(copies.size()));
        return 1;
    }
    const HistoryCopy &copy = copies.at(static_cast<std::size_t>(n - 1));
    QString why;
    const std::optional<QByteArray> content = SettingsHistory::take(copy, &why);
    if (!content || !history.restore(*content, &why)) {
        std::fprintf(err, "vorlane: version %d was not restored: %s\n", n, why.toLocal8Bit().constData());
        return 1;
    }
    std::fprintf(out, "restored version %d of %s\n", n, SettingsHistory::displayTime(copy.time).toLocal8Bit().constData());
    return 0;
}

} // namespace vl
