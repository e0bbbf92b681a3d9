#include "surface/HistoryRestore.h"

#include "common/Prompt.h"
#include "platform/RunningCopies.h"
#include "storage/SettingsFile.h"
#include "storage/SettingsHistory.h"

#include <QLocale>

namespace vl {

HistoryRestore::HistoryRestore(SettingsFile &file, Prompt &prompt, std::function<void()> reload,
                               std::function<void(const QString &)> status)
    : file_(file), prompt_(prompt), reload_(std::move(reload)), status_(std::move(status))
{
}

QString HistoryRestore::describe(const QDateTime &time, int desktops, int shortcuts)
{
    const auto count = [](int n, const char *one, const char *many) {
        return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
    };
    // The program's texts are English; so are its month names, whatever the locale.
    return QLocale::c().toString(time.toLocalTime(), QStringLiteral("d MMM yyyy HH:mm")) + QStringLiteral(" (")
        + count(desktops, "desktop", "desktops") + QStringLiteral(", ") + count(shortcuts, "shortcut", "shortcuts")
        + QLatin1Char(')');
}

void HistoryRestore::run()
{
    SettingsHistory &history = file_.history();
    const std::vector<HistoryCopy> copies = history.copies();
    if (copies.empty()) {
        prompt_.ShowMessage(NoVersionsMessage);
        return;
    }
    QList<HistoryVersion> versions;
    for (const HistoryCopy &c : copies) {
        const HistorySummary s = SettingsHistory::summarize(c.path);
        versions.append({SettingsHistory::displayTime(c.time), s.desktops, s.shortcuts, s.readable});
    }
    const std::optional<int> chosen = prompt_.ChooseHistoryVersion(versions);
    if (!chosen || *chosen < 0 || *chosen >= versions.size())
        return;
    const HistoryVersion &version = versions.at(*chosen);
    const QString named = describe(copies.at(static_cast<std::size_t>(*chosen)).time, version.desktops,
                                   version.shortcuts);
    if (prompt_.MessageDlg(Question.arg(named), MsgDlgType::Warning, mbOK | mbCancel, 0) != ModalResult::OK)
        return;

    if (mark_ && !mark_->takeAlone()) {
        prompt_.ShowMessage(OthersRunningMessage);
        return;
    }
    struct Shared {
        RunningCopies *mark;
        ~Shared()
        {
            if (mark)
                mark->backToShared();
        }
    } shared{mark_};

    // Read before the save below: the copy it keeps may thin the chosen one away.
    QString why;
    const std::optional<QByteArray> content = SettingsHistory::take(copies.at(static_cast<std::size_t>(*chosen)), &why);
    if (!content) {
        prompt_.ShowMessage(FailedMessage.arg(why));
        return;
    }
    // The state on screen goes into the file, and with it into the history.
    // A save that did not happen (declined after errors, failed, ended
    // early by an empty caption, or given up for another program's version)
    // would lose that state: nothing is restored.
    switch (file_.SaveAll()) {
    case SettingsFile::SaveResult::Saved:
        break;
    case SettingsFile::SaveResult::Declined:
    case SettingsFile::SaveResult::Busy:
    case SettingsFile::SaveResult::Incomplete:
    case SettingsFile::SaveResult::Failed:
    case SettingsFile::SaveResult::OtherVersion:
        return;
    }
    if (!history.restore(*content, &why)) {
        prompt_.ShowMessage(FailedMessage.arg(why));
        return;
    }
    reload_();
    if (status_)
        status_(RestoredMessage.arg(named));
}

} // namespace vl
