#include "storage/SettingsHistory.h"

#include "platform/SafeFile.h"
#include "storage/BigIni.h"
#include "storage/SectionName.h"
#include "storage/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>

#include <algorithm>
#include <limits>

namespace vl {

namespace {

const QString CopyPrefix = QStringLiteral("vorlane-");

// The copies' names: vorlane-20261207-152500Z.ini, vorlane-20261207-152500Z-1.ini.
const QRegularExpression &copyName()
{
    static const QRegularExpression re(QStringLiteral("^vorlane-(\\d{8}-\\d{6})Z(?:-(\\d{1,6}))?\\.ini$"));
    return re;
}

QString nameFor(const QDateTime &utc, int sequence)
{
    QString name = CopyPrefix + utc.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1Char('Z');
    if (sequence > 0)
        name += QLatin1Char('-') + QString::number(sequence);
    return name + QStringLiteral(".ini");
}

qint64 localHour(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    return local.date().toJulianDay() * 24 + local.time().hour();
}

// Settings files and their copies are read whole; only regular files are.
std::optional<QByteArray> readWhole(const QString &path, QString *error)
{
    return tryReadRegularFile(path, TBigIniFile::MaxFileBytes, error);
}

bool sameContent(const QString &path, const QByteArray &data)
{
    if (QFileInfo(path).size() != data.size())
        return false;
    const std::optional<QByteArray> other = readWhole(path, nullptr);
    return other && *other == data;
}

// Every copy holds the passwords the settings file holds: it is created
// for its owner alone, whatever the settings file's own mode.
bool writeCopy(const QString &path, const QByteArray &data, QString *error, bool keepBackup)
{
    try {
        writeFileAtomically(path, std::string_view(data.constData(), static_cast<std::size_t>(data.size())),
                            WriteOptions{NewFileMode::Private, keepBackup});
        return true;
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return false;
    }
}

} // namespace

SettingsHistory::SettingsHistory(QString settingsPath) : path_(std::move(settingsPath)) {}

QDateTime SettingsHistory::now() const
{
    return (clock_ ? clock_() : QDateTime::currentDateTimeUtc()).toUTC();
}

QString SettingsHistory::folder() const
{
    const QFileInfo info(path_);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".history"));
}

QString SettingsHistory::displayTime(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::vector<HistoryCopy> SettingsHistory::copies() const
{
    std::vector<HistoryCopy> out;
    const QDir dir(folder());
    const QFileInfoList entries =
        dir.entryInfoList({CopyPrefix + QStringLiteral("*.ini")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch m = copyName().match(entry.fileName());
        // A pipe or a device named like a copy would block its reader.
        if (!m.hasMatch() || !entry.isFile())
            continue;
        // Read as UTC from the start: read as local time first, a name
        // inside a daylight-saving gap would come out shifted or invalid.
        const QString stamp = m.captured(1);
        const QDateTime time(QDate::fromString(stamp.left(8), QStringLiteral("yyyyMMdd")),
                             QTime::fromString(stamp.mid(9), QStringLiteral("HHmmss")), QTimeZone::utc());
        if (!time.isValid())
            continue;
        out.push_back({entry.filePath(), time, m.captured(2).toInt(), entry.size()});
    }
    std::sort(out.begin(), out.end(), [](const HistoryCopy &a, const HistoryCopy &b) {
        return a.time != b.time ? a.time > b.time : a.sequence > b.sequence;
    });
    return out;
}

HistorySummary SettingsHistory::summarize(const QString &path)
{
    HistorySummary s;
    try {
        TBigIniFile ini(path);
        // Reading drops duplicate sections, which the engine would write
        // back on the way out; a copy is only ever looked at.
        ini.Abandon();
        if (!ini.lastRead().existed || !SettingsFile::holdsSettingsText(ini))
            return s;
        // The counts a load would act on, bounded as a load bounds them.
        const int limit = ini.SectionCount() + SettingsFile::MissingSectionAllowance;
        const int pages = std::clamp(ini.ReadInteger("General", "Page_Count", 1), 0, limit);
        SectionName name;
        qint64 shortcuts = 0;
        for (int p = 0; p < pages; ++p)
            shortcuts += std::clamp(ini.ReadInteger(name.page(p), "Item_CountTrue", 0), 0, limit);
        s.desktops = std::max(pages, 1); // a load always ends with a desktop
        s.shortcuts = static_cast<int>(std::min<qint64>(shortcuts, std::numeric_limits<int>::max()));
        s.readable = true;
    } catch (const std::exception &) {
        s = {};
    }
    return s;
}

// A copy on its way: written whole under a temporary name in the folder,
// put in place by finish(), removed again when dropped unfinished.
struct SettingsHistory::Prepared {
    std::optional<PendingFile> file;
    QDateTime time;
    qint64 hour = 0;
};

std::function<void()> SettingsHistory::prepareBeforeReplace() noexcept
{
    try {
        QString why;
        auto prepared = std::make_shared<Prepared>();
        if (!prepare(true, nullptr, *prepared, &why)) {
            reportFailure(why);
            return {};
        }
        return [this, prepared] {
            QString failed;
            if (!finish(*prepared, nullptr, &failed))
                reportFailure(failed);
        };
    } catch (...) {
        reportFailure(QStringLiteral("unexpected error"));
        return {};
    }
}

bool SettingsHistory::keepNow(QString *error)
{
    QString why;
    Prepared prepared;
    const bool kept = prepare(false, nullptr, prepared, &why) && finish(prepared, nullptr, &why);
    if (!kept) {
        reportFailure(why);
        if (error)
            *error = why;
    }
    return kept;
}

std::optional<QString> SettingsHistory::keepContent(const QByteArray &content, QString *error)
{
    Prepared prepared;
    QString name;
    if (!prepare(false, &content, prepared, error) || !finish(prepared, &name, error))
        return std::nullopt;
    return name;
}

void SettingsHistory::reportFailure(const QString &why)
{
    if (failureReported_)
        return;
    failureReported_ = true;
    if (report_)
        report_(QStringLiteral("Earlier version not kept: %1").arg(why));
}

bool SettingsHistory::prepare(bool hourly, const QByteArray *content, Prepared &out, QString *error)
{
    const QDateTime t = now();
    out.time = t;
    out.hour = localHour(t);
    if (hourly && hourDone_ == out.hour)
        return true;
    if (!content && !regularFileSize(path_)) {
        // Nothing to keep yet: the first save of a new file.
        return true;
    }
    std::vector<HistoryCopy> list = copies();
    if (hourly && !list.empty() && localHour(list.front().time) == out.hour)
        return true;
    std::optional<QByteArray> read;
    if (!content) {
        read = readWhole(path_, error);
        if (!read)
            return false;
        content = &*read;
    }
    if (!list.empty() && sameContent(list.front().path, *content)) {
        out.time = list.front().time; // kept already, as the newest copy
        return true;
    }
    const QString dir = folder();
    const bool newFolder = !QFileInfo::exists(dir);
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(dir);
        return false;
    }
    // Only its owner may list or read what was kept.
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QDateTime second = t.addMSecs(-t.time().msec());
    int sequence = 0;
    for (const HistoryCopy &c : list) {
        if (c.time == second)
            sequence = std::max(sequence, c.sequence + 1);
    }
    try {
        out.file.emplace(QDir(dir).filePath(nameFor(second, sequence)),
                         std::string_view(content->constData(), static_cast<std::size_t>(content->size())),
                         WriteOptions{NewFileMode::Private, false});
    } catch (const FileIoError &e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        // A failed first copy leaves no empty folder behind.
        if (newFolder)
            QDir().rmdir(dir);
        return false;
    }
    return true;
}

bool SettingsHistory::finish(Prepared &prepared, QString *name, QString *error)
{
    if (prepared.file) {
        try {
            prepared.file->commit();
        } catch (const FileIoError &e) {
            if (error)
                *error = QString::fromLocal8Bit(e.what());
            return false;
        }
        if (name)
            *name = prepared.file->target();
        thin(prepared.time);
    } else if (name) {
        const std::vector<HistoryCopy> list = copies();
        *name = list.empty() ? QString() : list.front().path;
    }
    // The content is kept (now, or already as the newest copy).
    hourDone_ = prepared.hour;
    failureReported_ = false;
    return true;
}

void SettingsHistory::thin(const QDateTime &now)
{
    const std::vector<HistoryCopy> list = copies(); // newest first
    if (list.empty())
        return;
    const QDate today = now.toLocalTime().date();
    // What goes first when the copies take too much room: earlier months,
    // then the current day's steps, then whole days.
    enum Tier { Month, Today, Day };
    std::vector<std::pair<const HistoryCopy *, Tier>> kept;
    std::vector<const HistoryCopy *> dropped;
    QSet<qint64> daysSeen;
    QSet<int> monthsSeen;
    for (const HistoryCopy &c : list) {
        const QDate day = c.time.toLocalTime().date();
        // A copy dated after today (the clock was set back) counts as today's.
        if (day >= today) {
            kept.emplace_back(&c, Today);
        } else if (day.daysTo(today) <= KeptDays) {
            // Newest first: the first copy met of a day is its newest.
            if (daysSeen.contains(day.toJulianDay())) {
                dropped.push_back(&c);
            } else {
                daysSeen.insert(day.toJulianDay());
                kept.emplace_back(&c, Day);
            }
        } else {
            const int month = day.year() * 12 + day.month();
            if (monthsSeen.contains(month)) {
                dropped.push_back(&c);
            } else {
                monthsSeen.insert(month);
                kept.emplace_back(&c, Month);
            }
        }
    }
    qint64 total = 0;
    for (const auto &k : kept)
        total += k.first->size;
    const HistoryCopy *newest = &list.front();
    for (const Tier tier : {Month, Today, Day}) {
        // Oldest first: kept is newest first.
        for (auto it = kept.rbegin(); it != kept.rend() && total > maxBytes_; ++it) {
            if (it->second != tier || !it->first || it->first == newest)
                continue;
            total -= it->first->size;
            dropped.push_back(it->first);
            it->first = nullptr;
        }
    }
    for (const HistoryCopy *c : dropped)
        QFile::remove(c->path); // a copy that will not go is simply still there next time
}

std::optional<QByteArray> SettingsHistory::take(const HistoryCopy &copy, QString *error)
{
    if (!summarize(copy.path).readable) {
        if (error)
            *error = QStringLiteral("%1 cannot be read as settings").arg(copy.path);
        return std::nullopt;
    }
    return readWhole(copy.path, error);
}

bool SettingsHistory::restore(const QByteArray &content, QString *error)
{
    QString why;
    if (!keepNow(&why)) {
        if (error)
            *error = QStringLiteral("the current settings could not be kept: %1").arg(why);
        return false;
    }
    // The same atomic write as a save's, with the same backup.
    return writeCopy(path_, content, error, true);
}

void SettingsHistory::markUnsavedSession(const QString &copyPath)
{
    const QByteArray name = QFile::encodeName(QFileInfo(copyPath).fileName());
    try {
        writeFileAtomically(QDir(folder()).filePath(UnsavedSessionMark), std::string_view(name.constData(), name.size()));
    } catch (const FileIoError &e) {
        reportFailure(QString::fromLocal8Bit(e.what()));
    }
}

std::optional<HistoryCopy> SettingsHistory::takeUnsavedSessionMark()
{
    const QString mark = QDir(folder()).filePath(UnsavedSessionMark);
    if (!QFileInfo::exists(mark))
        return std::nullopt;
    const std::optional<QByteArray> name = tryReadRegularFile(mark, 4096);
    QFile::remove(mark);
    if (!name)
        return std::nullopt;
    const QString wanted = QFile::decodeName(name->trimmed());
    for (const HistoryCopy &c : copies()) {
        if (QFileInfo(c.path).fileName() == wanted)
            return c;
    }
    return std::nullopt;
}

std::optional<QString> SettingsHistory::keepUnreadable(const QString &settingsPath, const QDateTime &now,
                                                       QString *error)
{
    const std::optional<QByteArray> data = readWhole(settingsPath, error);
    if (!data)
        return std::nullopt;
    const QFileInfo info(settingsPath);
    const QString stem = info.fileName() + QStringLiteral(".unreadable-");
    // A file that stays unreadable is met again at every load and reload.
    const QFileInfoList earlier = info.dir().entryInfoList({stem + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QFileInfo &e : earlier) {
        if (sameContent(e.filePath(), *data))
            return e.filePath();
    }
    const QString base = info.dir().filePath(stem + now.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    if (!writeCopy(target, *data, error, false))
        return std::nullopt;
    return target;
}

} // namespace vl
