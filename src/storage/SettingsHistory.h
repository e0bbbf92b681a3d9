#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace vl {

// One earlier version of the settings file in the history folder.
struct HistoryCopy {
    QString path;
    QDateTime time;   // UTC, as the name carries it
    int sequence = 0; // copies made within the same second: 0, 1, 2, ...
    qint64 size = 0;
};

// What a light read of a copy finds: the desktops and shortcuts a load of it
// would ask for, without loading it.
struct HistorySummary {
    bool readable = false;
    int desktops = 0;
    int shortcuts = 0;
};

// Earlier versions of the settings file, kept in "<name>.history/" beside it
// ("vorlane.history/" for "vorlane.ini"), so that no save can lose a layout
// for good; vorlane.ini.bak only ever holds the version before the last save.
//
// The first time in each hour that the file is about to be replaced, its
// content is copied into the folder as "vorlane-YYYYMMDD-HHMMSSZ.ini" (UTC,
// so names sort by time across daylight-saving changes; "-N" before ".ini"
// when several copies fall into one second). After each copy the folder is
// thinned, by the user's (local) calendar: every copy of the current day
// stays, of each of the KeptDays days before it the newest, of each earlier
// month the newest. A long day of hourly copies thus never pushes yesterday
// out. Together they take at most MaxBytes: above that the monthly copies go
// first (oldest first), then the current day's but its newest, then the
// daily ones, oldest first; the newest copy always stays (a history that
// drops the copy it has just made keeps nothing). Files in the folder that
// are not named like a copy are never touched.
//
// Keeping a copy never fails or holds up a save: a copy that cannot be made
// is reported (once, until a copy succeeds again) and the save goes on.
class SettingsHistory {
public:
    using Clock = std::function<QDateTime()>;
    using Reporter = std::function<void(const QString &)>;

    static constexpr int KeptDays = 30;
    static constexpr qint64 MaxBytes = 50LL * 1024 * 1024;

    explicit SettingsHistory(QString settingsPath);

    void setClock(Clock clock) { clock_ = std::move(clock); }
    // Another bound than MaxBytes (for trying it out).
    void setMaxBytes(qint64 maxBytes) { maxBytes_ = maxBytes; }
    QDateTime now() const;
    // Told why a copy could not be kept: once, until one is kept again.
    void setReporter(Reporter report) { report_ = std::move(report); }

    const QString &settingsPath() const { return path_; }
    QString folder() const;

    // The copies in the folder, newest first.
    std::vector<HistoryCopy> copies() const;
    // A light read of a kept copy (or any settings file); never writes it.
    static HistorySummary summarize(const QString &path);

    // The settings file is about to be replaced: prepares the copy of its
    // content unless one was already made in this hour, written whole but
    // not yet in the folder. The step returned puts it there once the file
    // was replaced; dropped unrun, it removes the copy again, so a save that
    // fails leaves the history as it was. A copy that cannot be made is
    // reported and gives an empty step. Never throws.
    std::function<void()> prepareBeforeReplace() noexcept;
    // Keeps the file's content now, whatever the hour. A content equal to
    // the newest copy's is not kept twice. False with the reason when no
    // copy could be made; true when there was no file to keep.
    bool keepNow(QString *error = nullptr);
    // Keeps the given content as a copy of its own now (a session that
    // could not be saved into the settings file). The copy's path, or
    // nullopt with the reason.
    std::optional<QString> keepContent(const QByteArray &content, QString *error = nullptr);

    // The content of a kept copy, read before anything else happens: what
    // follows may thin the copy away. Nullopt with the reason when it cannot
    // be read or is no settings file.
    static std::optional<QByteArray> take(const HistoryCopy &copy, QString *error = nullptr);
    // Makes content taken from a copy the settings file: the current file
    // is kept in the history first, then the content replaces it in one
    // atomic step (with the usual backup). False with the reason when the
    // current file could not be kept or the write failed; the settings file
    // is then as it was.
    bool restore(const QByteArray &content, QString *error = nullptr);

    // Keeps a settings file that could not be read beside it, as
    // "<path>.unreadable-YYYYMMDD-HHMMSS" (local time; "-2", "-3", ... when
    // that name is taken), before anything can write over it. A content
    // already kept that way is not kept again. The name kept under, or
    // nullopt with the reason.
    static std::optional<QString> keepUnreadable(const QString &settingsPath, const QDateTime &now,
                                                 QString *error = nullptr);

    // A session that ended without being saved into the settings file was
    // kept as the copy at copyPath: the next start names it. The mark is a
    // file in the history folder that holds the copy's name.
    void markUnsavedSession(const QString &copyPath);
    // The copy a mark names, once; the mark is gone afterwards. Nullopt
    // when there is no mark or its copy is gone.
    std::optional<HistoryCopy> takeUnsavedSessionMark();
    static inline const QString UnsavedSessionMark = QStringLiteral("unsaved-session");

    // "yyyy-MM-dd HH:mm:ss" in local time, as lists show a copy's time.
    static QString displayTime(const QDateTime &time);

private:
    struct Prepared;
    // The fallible part of keeping a copy (of content, or of the file when
    // null); finish() puts it in place and thins the folder.
    bool prepare(bool hourly, const QByteArray *content, Prepared &out, QString *error);
    bool finish(Prepared &prepared, QString *name, QString *error);
    void thin(const QDateTime &now);
    void reportFailure(const QString &why);

    QString path_;
    Clock clock_;
    Reporter report_;
    qint64 maxBytes_ = MaxBytes;
    // The hour (in hours since the epoch, local time) already dealt with:
    // later saves in it need not look at the folder again.
    std::optional<qint64> hourDone_;
    bool failureReported_ = false;
};

} // namespace vl
