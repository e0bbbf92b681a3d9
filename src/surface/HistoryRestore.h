#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace vl {

class Prompt;
class RunningCopies;
class SettingsFile;

// "Restore...": an earlier version of the settings in place of the current
// one. The list is read first, then asked about; only the version chosen is
// acted on. Before it replaces anything, the current state is saved and the
// file kept in the history, so a restore can itself be undone.
class HistoryRestore {
public:
    // reload: the window's reload path, run once the chosen version is the
    // settings file; status: a remark in the status bar.
    HistoryRestore(SettingsFile &file, Prompt &prompt, std::function<void()> reload,
                   std::function<void(const QString &)> status = {});

    void run();
    // This window's running mark: with several copies allowed, another
    // window on the same file would save its own state over the restore.
    void setRunningMark(RunningCopies *mark) { mark_ = mark; }

    // The version as the question and the remark name it: "7 Dec 2026 14:00
    // (3 desktops, 120 shortcuts)", in local time.
    static QString describe(const QDateTime &time, int desktops, int shortcuts);
    static inline const QString Question = QStringLiteral("Replace the current settings with the version of %1?");
    static inline const QString RestoredMessage = QStringLiteral("Restored the version of %1");
    static inline const QString NoVersionsMessage = QStringLiteral("No earlier versions of the settings are kept.");
    static inline const QString FailedMessage = QStringLiteral("The chosen version was not restored: %1");
    static inline const QString OthersRunningMessage =
        QStringLiteral("Vorlane runs more than once; end the other copies before restoring an earlier version.");

private:
    SettingsFile &file_;
    Prompt &prompt_;
    std::function<void()> reload_;
    std::function<void(const QString &)> status_;
    RunningCopies *mark_ = nullptr;
};

} // namespace vl
