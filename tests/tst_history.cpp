// Earlier versions of the settings: how they are kept and thinned, what
// happens when one cannot be kept, unreadable files kept aside, and restoring
// one from the command line and from the window.
#include "app/SingleInstance.h"
#include "storage/BigIni.h"
#include "storage/SettingsFile.h"
#include "platform/RunningCopies.h"
#include "storage/SettingsHistory.h"
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "surface/FormMain.h"
#include "surface/HistoryDialog.h"
#include "surface/HistoryRestore.h"
#include "surface/MainActions.h"
#include "surface/PasswordGate.h"
#include "surface/DesktopSurface.h"
#include "surface/StatusBarMain.h"
#include "surface/TabStrip.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <QTreeWidget>

#include <memory>

using namespace vl;
using namespace Qt::StringLiterals;
using vl::test::FakePlatform;
using vl::test::FakePrompt;
using vl::test::readAll;
using vl::test::writeAll;

namespace {

QByteArray settingsWith(const QStringList &captions, int shortcutsOnFirst = 0)
{
    QList<QByteArray> first;
    if (shortcutsOnFirst > 0)
        first.append("Item_CountTrue=" + QByteArray::number(shortcutsOnFirst) + "\r\n");
    QByteArray text = vl::test::desktopsSettings(captions, 0, {}, first);
    for (int i = 1; i <= shortcutsOnFirst; ++i)
        text += "[Item0_" + QByteArray::number(i) + "]\r\nLabel_Caption=s" + QByteArray::number(i) + "\r\n\r\n";
    return text;
}

// The first desktop's caption as a copy holds it.
QString captionIn(const QString &path)
{
    TBigIniFile ini(path);
    ini.Abandon();
    return ini.ReadString("Page0", "Desktop_Caption", QString());
}

QStringList captionsOf(const std::vector<HistoryCopy> &copies)
{
    QStringList out;
    for (const HistoryCopy &c : copies)
        out.append(captionIn(c.path));
    return out;
}

QStringList captionsOf(Workspace &ws)
{
    QStringList out;
    for (int i = 0; i < ws.desktopCount(); ++i)
        out.append(ws.desktop(i).Desktop_Caption);
    return out;
}

// Local time: days and hours are the user's.
QDateTime at(int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, 6, 1).addDays(day), QTime(hour, minute));
}

class RecordingHost : public SettingsHost {
public:
    QStringList remarks;
    void statusMessage(const QString &text) override { remarks.append(text); }
};

// The settings file alone, with its own clock.
struct Settings {
    Workspace ws;
    FakePrompt prompt;
    RecordingHost host;
    SettingsFile file;
    QDateTime now;

    explicit Settings(const QString &path) : file(ws, prompt, host, path)
    {
        file.history().setClock([this] { return now; });
    }
    // One save at the given time, with the first desktop renamed first.
    void saveAs(const QString &caption, const QDateTime &when)
    {
        now = when;
        ws.desktop(0).Desktop_Caption = caption;
        QCOMPARE(file.SaveAll(), SettingsFile::SaveResult::Saved);
    }
};

} // namespace

class HistoryTest : public QObject, vl::test::WindowFixture {
    Q_OBJECT

    QDateTime now_;

    QString historyFolder() const { return dir_.filePath(u"vorlane.history"_s); }

    TFormMain &start(const QByteArray &settings)
    {
        build(settings).settingsFile().history().setClock([this] { return now_; });
        form_->FormCreate();
        return *form_;
    }

    struct Run {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    Run run(const QStringList &arguments, const QString &runtime)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"VORLANE_SETTINGS"_s, path_);
        env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VORLANE_BINARY), arguments);
        p.closeWriteChannel();
        Run r;
        // Events go on meanwhile: a running copy in this process would
        // answer a wake-up.
        const QDeadlineTimer deadline(60000);
        while (p.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(10);
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        if (p.exitStatus() == QProcess::NormalExit)
            r.exitCode = p.exitCode();
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        resetWindowFixture();
        QDir(historyFolder()).removeRecursively();
        QFile::remove(historyFolder());
        for (const QString &name : QDir(dir_.path()).entryList(QDir::Files))
            QFile::remove(dir_.filePath(name));
        now_ = at(0, 9);
    }
    void cleanup() { form_.reset(); }

    // Today's copies all stay, of the 30 days before it the newest of each
    // day, of earlier months the newest of each month; a long day of hourly
    // saves never pushes yesterday out. Above the size bound the monthly
    // copies go first, then today's, then the days, oldest first.
    void copiesAreHourlyTodayDailyThenMonthly()
    {
        writeAll(path_, settingsWith({u"v0"_s}));
        QVERIFY(QDir().mkpath(historyFolder()));
        QVERIFY(writeAll(dir_.filePath(u"vorlane.history/notes.txt"_s), "mine"));
        Settings s(path_);
        s.file.LoadAll(false);
        SettingsHistory &h = s.file.history();

        // The first save of an hour keeps the file as it was before it.
        s.saveAs(u"a"_s, at(0, 9, 10));
        s.saveAs(u"b"_s, at(0, 9, 40));
        s.saveAs(u"c"_s, at(0, 10, 5));
        QCOMPARE(captionsOf(h.copies()), QStringList({u"b"_s, u"v0"_s}));
        QCOMPARE(h.copies().front().time, at(0, 10, 5).toUTC());

        // A new day: of the day before only its newest copy stays.
        s.saveAs(u"d"_s, at(1, 8));
        QCOMPARE(captionsOf(h.copies()), QStringList({u"c"_s, u"b"_s}));

        // One a day for 40 days (June 3 to July 12): the 30 days before
        // the last one each keep theirs, June before them its newest.
        for (int day = 2; day < 42; ++day)
            s.saveAs(u"day%1"_s.arg(day), at(day, 12));
        QStringList expected;
        for (int day = 40; day >= 9; --day)
            expected.append(u"day%1"_s.arg(day));
        QCOMPARE(captionsOf(h.copies()), expected);

        // A long day of hourly saves: every hour of it, and every day before.
        for (int hour = 0; hour < 20; ++hour)
            s.saveAs(u"h%1"_s.arg(hour), at(42, hour, 30));
        expected.clear();
        for (int hour = 18; hour >= 0; --hour)
            expected.append(u"h%1"_s.arg(hour));
        for (int day = 41; day >= 10; --day)
            expected.append(u"day%1"_s.arg(day));
        QCOMPARE(captionsOf(h.copies()), expected);

        // The size bound: June and today's earlier copies go before any day.
        qint64 days = 0;
        for (const HistoryCopy &c : h.copies()) {
            if (c.time.toLocalTime().date() < at(42, 0).date() && c.time.toLocalTime().date() > at(11, 0).date())
                days += c.size;
        }
        h.setMaxBytes(QFileInfo(path_).size() + days);
        s.saveAs(u"x"_s, at(42, 20, 1));
        expected = expected.mid(20, 30);
        expected.prepend(u"h19"_s);
        QCOMPARE(captionsOf(h.copies()), expected);
        // The newest copy stays, whatever the bound.
        h.setMaxBytes(1);
        s.saveAs(u"y"_s, at(43, 0, 1));
        QCOMPARE(captionsOf(h.copies()), QStringList({u"x"_s}));

        // Two copies within one second keep both, in order.
        h.setMaxBytes(SettingsHistory::MaxBytes);
        QVERIFY(h.keepNow());
        s.saveAs(u"z"_s, at(43, 0, 1));
        QVERIFY(h.keepNow());
        QVERIFY(h.keepNow()); // unchanged content is not kept twice
        const std::vector<HistoryCopy> copies = h.copies();
        QCOMPARE(captionsOf(copies), QStringList({u"z"_s, u"y"_s, u"x"_s}));
        QCOMPARE(copies[0].time, copies[2].time);
        QCOMPARE((std::vector{copies[0].sequence, copies[1].sequence, copies[2].sequence}), (std::vector{2, 1, 0}));

        // What is not a copy stays in the folder.
        QCOMPARE(readAll(dir_.filePath(u"vorlane.history/notes.txt"_s)), QByteArray("mine"));
        QVERIFY(s.host.remarks.isEmpty());
        QVERIFY(s.prompt.calls.isEmpty());
    }

    // The copies hold the desktops' passwords: no more open than the file.
    // And nothing named like a copy that is not a plain file is read.
    void copiesAreAsPrivateAsTheFileAndPlainFiles()
    {
        writeAll(path_, settingsWith({u"private"_s}));
        QVERIFY(QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        SettingsHistory h(path_);
        h.setClock([] { return at(3, 9); });
        QVERIFY(h.keepNow());
        QCOMPARE(int(h.copies().size()), 1);
        // The user, group and other bits (the owner's repeat the user's).
        QCOMPARE(QFileInfo(h.copies().front().path).permissions() & 0x0FFF,
                 QFileDevice::ReadUser | QFileDevice::WriteUser);
        QCOMPARE(QFileInfo(h.folder()).permissions() & 0x0077, QFileDevice::Permissions());

        const QByteArray fifo = QFile::encodeName(QDir(h.folder()).filePath(u"vorlane-20261201-120000Z.ini"_s));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        QCOMPARE(int(h.copies().size()), 1);
    }

    void aCopyThatCannotBeKeptNeverFailsTheSave()
    {
        TFormMain &w = start(settingsWith({u"A"_s}));
        StatusBarMain *bar = w.StatusBar();
        // The folder's name is taken by a file: no copy can be made.
        QVERIFY(writeAll(historyFolder(), "in the way"));
        const auto saveAs = [&](const QString &caption, const QDateTime &when) {
            now_ = when;
            w.workspace().desktop(0).Desktop_Caption = caption;
            w.mnuSaveClick();
            QCOMPARE(w.saver().lastResult(), SettingsFile::SaveResult::Saved);
            QCOMPARE(bar->saveState(), u"Saved"_s);
            QVERIFY(readAll(path_).contains("Desktop_Caption=" + caption.toUtf8()));
        };

        saveAs(u"B"_s, at(0, 10));
        QVERIFY2(bar->message().startsWith(u"Earlier version not kept"_s), qPrintable(bar->message()));
        bar->showMessage(QString());
        saveAs(u"C"_s, at(0, 11));
        QCOMPARE(bar->message(), QString()); // once, not at every save

        // Once copies can be made again, a new failure is news again.
        QVERIFY(QFile::remove(historyFolder()));
        saveAs(u"D"_s, at(0, 12));
        QCOMPARE(captionsOf(w.settingsFile().history().copies()), QStringList({u"C"_s}));
        QVERIFY(QDir(historyFolder()).removeRecursively());
        QVERIFY(writeAll(historyFolder(), "in the way"));
        saveAs(u"E"_s, at(0, 13));
        QVERIFY(bar->message().startsWith(u"Earlier version not kept"_s));
        QVERIFY2(prompt_.calls.isEmpty(), qPrintable(prompt_.texts().join(u'|')));
    }

    void anUnreadableFileIsKeptAsideAndNeverOverwritten()
    {
        const QByteArray first = "this is a letter, not settings\n";
        const QByteArray second = QByteArray("binary\0zeros", 12);
        writeAll(path_, first);
        Settings s(path_);
        s.now = at(3, 14, 15);
        s.file.LoadAll(false);
        QVERIFY(s.ws.work.ErrorsOccurred);
        QCOMPARE(s.prompt.headlines(), QStringList({SettingsFile::LoadError}));
        const QString aside = path_ + u".unreadable-"_s + at(3, 14, 15).toString(u"yyyyMMdd-HHmmss"_s);
        // The message says where the file went.
        QVERIFY2(s.prompt.texts().constFirst().endsWith(aside), qPrintable(s.prompt.texts().constFirst()));
        QCOMPARE(s.file.unreadableCopy(), aside);
        QCOMPARE(readAll(aside), first);

        // Saving over it, when the user says so, leaves the copy aside alone.
        s.prompt.answer(ModalResult::Yes);
        QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Saved);
        QVERIFY(readAll(path_).startsWith("[General]"));

        // Another unreadable file in the same second gets a name of its own;
        // the same one met again is not kept twice.
        writeAll(path_, second);
        s.file.ReloadAll();
        QCOMPARE(s.file.unreadableCopy(), aside + u"-2"_s);
        s.file.ReloadAll();
        QCOMPARE(s.file.unreadableCopy(), aside + u"-2"_s);
        QCOMPARE(readAll(aside), first);
        QCOMPARE(readAll(aside + u"-2"_s), second);
        QCOMPARE(QDir(dir_.path()).entryList({u"vorlane.ini.unreadable-*"_s}).size(), 2);

        // A file that reads well leaves nothing aside.
        writeAll(path_, settingsWith({u"fine"_s}));
        s.file.ReloadAll();
        QCOMPARE(s.file.unreadableCopy(), QString());
        QCOMPARE(QDir(dir_.path()).entryList({u"vorlane.ini.unreadable-*"_s}).size(), 2);
    }

    void restoreFromTheCommandLine()
    {
        // Twenty-one versions on the last days, the newest unreadable. The
        // program keeps its copies by the real clock: recent ones all stay.
        const auto recent = [](int day) { return QDateTime(QDate::currentDate().addDays(day - 21), QTime(8, 0)); };
        SettingsHistory h(path_);
        for (int day = 0; day < 20; ++day) {
            writeAll(path_, settingsWith({u"v%1"_s.arg(day), u"second"_s}, day % 3));
            h.setClock([day, recent] { return recent(day); });
            QVERIFY(h.keepNow());
        }
        writeAll(path_, "no settings here");
        h.setClock([recent] { return recent(20); });
        QVERIFY(h.keepNow());
        QCOMPARE(int(h.copies().size()), 21);
        const QByteArray current = settingsWith({u"now"_s});
        writeAll(path_, current);

        const auto paths = [&h] {
            QStringList out;
            for (const HistoryCopy &c : h.copies())
                out.append(c.path);
            return out;
        };
        const QStringList kept = paths();
        QTemporaryDir runtime; // private, as the runtime folder must be
        QVERIFY(runtime.isValid());
        Run r = run({u"--list-history"_s}, runtime.path());
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 21);
        const auto named = [&](int i) { return "  " + QFileInfo(kept[i]).fileName().toUtf8(); };
        QCOMPARE(lines[0], "1  " + SettingsHistory::displayTime(recent(20)).toUtf8() + "  cannot be read" + named(0));
        QCOMPARE(lines[1],
                 "2  " + SettingsHistory::displayTime(recent(19)).toUtf8() + "  desktops 2  shortcuts 1" + named(1));
        QCOMPARE(lines[20],
                 "21  " + SettingsHistory::displayTime(recent(0)).toUtf8() + "  desktops 2  shortcuts 0" + named(20));

        // Refused: while a copy runs (which is not woken), for numbers that
        // are no version that can be read. The file stays as it was.
        {
            TPBJustOne running(runtime.path());
            QCOMPARE(running.start(), TPBJustOne::Outcome::FirstInstance);
            QSignalSpy woken(&running, &TPBJustOne::wakeUp);
            r = run({u"--restore"_s, u"2"_s}, runtime.path());
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains("running"), r.err.constData());
            QTest::qWait(50);
            QCOMPARE(woken.count(), 0);
        }
        {
            // A window of a setup that allows several copies holds no
            // single-copy lock, and is running all the same.
            RunningCopies window(path_);
            QVERIFY(window.markRunning());
            r = run({u"--restore"_s, u"2"_s}, runtime.path());
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains("running"), r.err.constData());
        }
        for (const QString &n : {u"0"_s, u"22"_s, u"x"_s, u"1"_s}) {
            r = run({u"--restore=%1"_s.arg(n)}, runtime.path());
            QCOMPARE(r.exitCode, 1);
            QVERIFY(!r.err.isEmpty());
        }
        QCOMPARE(readAll(path_), current);
        QCOMPARE(paths(), kept);

        // The oldest version is restored, and the current file is kept.
        const QByteArray oldest = readAll(h.copies().back().path);
        r = run({u"--restore"_s, u"21"_s}, runtime.path());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(readAll(path_), oldest);
        QCOMPARE(readAll(path_ + u".bak"_s), current);
        QCOMPARE(captionIn(h.copies().front().path), u"now"_s);
        QCOMPARE(int(h.copies().size()), 22);

        // What a start would load is the version chosen.
        Workspace ws;
        FakePrompt prompt;
        SettingsHost host;
        SettingsFile file(ws, prompt, host, path_);
        file.LoadAll(false);
        QCOMPARE(captionsOf(ws), QStringList({u"v0"_s, u"second"_s}));
        QCOMPARE(int(ws.desktop(0).items.size()), 0);
        QVERIFY(!ws.work.ErrorsOccurred);

        // The restore kept a copy, so the numbers shifted; a name as the
        // list showed it still means the same version.
        const QByteArray second = readAll(kept[1]);
        r = run({u"--restore"_s, QFileInfo(kept[1]).completeBaseName()}, runtime.path());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(readAll(path_), second);
    }

    void restoreFromTheDesktopMenu()
    {
        // Three versions: the newest cannot be read.
        QVERIFY(QDir().mkpath(historyFolder()));
        SettingsHistory h(path_);
        writeAll(path_, settingsWith({u"old"_s, u"two"_s, u"three"_s}, 2));
        h.setClock([] { return at(0, 8); });
        QVERIFY(h.keepNow());
        writeAll(path_, settingsWith({u"older"_s}));
        h.setClock([] { return at(0, 7); });
        QVERIFY(h.keepNow());
        writeAll(path_, QByteArray("\0\0\0", 3));
        h.setClock([] { return at(0, 9); });
        QVERIFY(h.keepNow());

        now_ = at(0, 9, 30);
        TFormMain &w = start(settingsWith({u"current"_s}));
        QStringList menu;
        for (QAction *a : w.PopupMenuMain()->actions())
            menu.append(a->text());
        QCOMPARE(menu.indexOf(u"Restore..."_s), menu.indexOf(u"Reload"_s) + 1);
        // A change not saved yet: the restore must not lose it.
        w.desktopCommands().mnuNewTabSheetClick();
        QAction *restore = w.actions()[ActionId::Restore];

        // Cancelled at the list, or at the question: nothing changes.
        restore->trigger();
        prompt_.historyAnswers = {1};
        prompt_.answer(ModalResult::Cancel);
        restore->trigger();
        QCOMPARE(prompt_.historyLists.size(), 2);
        const QList<HistoryVersion> &listed = prompt_.historyLists.first();
        QCOMPARE(listed.size(), 3);
        QVERIFY(!listed[0].readable);
        QCOMPARE(listed[1].time, SettingsHistory::displayTime(at(0, 8)));
        QCOMPARE((std::pair{listed[1].desktops, listed[1].shortcuts}), (std::pair{3, 2}));
        QCOMPARE((std::pair{listed[2].desktops, listed[2].shortcuts}), (std::pair{1, 0}));
        // The question names the version it would bring back.
        QCOMPARE(prompt_.calls.last().text,
                 u"Replace the current settings with the version of 1 Jun 2026 08:00 (3 desktops, 2 shortcuts)?"_s);
        QCOMPARE(captionsOf(w.workspace()), QStringList({u"current"_s, u" NewDesktop"_s}));
        QCOMPARE(int(w.settingsFile().history().copies().size()), 3);

        // An unreadable version cannot be chosen, whatever answers.
        prompt_.calls.clear();
        prompt_.historyAnswers = {0};
        restore->trigger();
        QCOMPARE(prompt_.calls.size(), 1);

        // Another window on the same file (several copies allowed) would
        // save its own state over the restore: refused.
        RunningCopies mine(path_);
        QVERIFY(mine.markRunning());
        w.setRunningMark(&mine);
        {
            RunningCopies other(path_);
            QVERIFY(other.markRunning());
            const QByteArray before = readAll(path_);
            prompt_.historyAnswers = {1};
            prompt_.answer(ModalResult::OK);
            restore->trigger();
            QCOMPARE(prompt_.texts().last(), HistoryRestore::OthersRunningMessage);
            QCOMPARE(readAll(path_), before);
            QCOMPARE(captionsOf(w.workspace()), QStringList({u"current"_s, u" NewDesktop"_s}));
        }

        prompt_.historyAnswers = {1};
        prompt_.answer(ModalResult::OK);
        restore->trigger();
        QCOMPARE(captionsOf(w.workspace()), QStringList({u"old"_s, u"two"_s, u"three"_s}));
        QCOMPARE(int(w.workspace().desktop(0).items.size()), 2);
        QCOMPARE(w.PageControl1()->count(), 3);
        QCOMPARE(w.StatusBar()->saveState(), u"Unmodified"_s);
        QCOMPARE(w.StatusBar()->message(), u"Restored the version of 1 Jun 2026 08:00 (3 desktops, 2 shortcuts)"_s);
        QCOMPARE(readAll(path_), settingsWith({u"old"_s, u"two"_s, u"three"_s}, 2));
        // The state before, unsaved desktop and all, is now the newest version.
        const std::vector<HistoryCopy> copies = w.settingsFile().history().copies();
        QCOMPARE(int(copies.size()), 4);
        TBigIniFile kept(copies.front().path);
        kept.Abandon();
        QCOMPARE(kept.ReadString("Page1", "Desktop_Caption", QString()), u" NewDesktop"_s);
    }

    // Restoring used to go ahead after "There were errors, ..." was answered
    // No, and the unsaved state was then in neither the file, ".bak" nor the
    // history. And a restored protected desktop showed without its password.
    void restoreKeepsUnsavedWorkAndAsksForTheRestoredPassword()
    {
        QVERIFY(QDir().mkpath(historyFolder()));
        SettingsHistory h(path_);
        const QByteArray pw = "Password=" + storedPasswordText(u"key"_s).toLatin1() + "\r\nPassword_On_Desktop=1\r\n";
        writeAll(path_, vl::test::desktopsSettings({u"open"_s, u"Locked"_s}, 1, {}, {{}, pw}));
        h.setClock([] { return at(0, 8); });
        QVERIFY(h.keepNow());

        now_ = at(0, 9);
        TFormMain &w = start(settingsWith({u"current"_s}));
        w.desktopCommands().mnuNewTabSheetClick();
        w.workspace().work.ErrorsOccurred = true;
        const QByteArray before = readAll(path_);
        QAction *restore = w.actions()[ActionId::Restore];

        prompt_.historyAnswers = {0};
        prompt_.answer(ModalResult::OK);
        prompt_.answer(ModalResult::No); // There were errors, ...
        restore->trigger();
        QCOMPARE(prompt_.count(SettingsFile::SaveErrorsQuestion), 1);
        QCOMPARE(captionsOf(w.workspace()), QStringList({u"current"_s, u" NewDesktop"_s}));
        QCOMPARE(readAll(path_), before);

        prompt_.historyAnswers = {0};
        prompt_.answer(ModalResult::OK);
        prompt_.answer(ModalResult::Yes);
        restore->trigger();
        QCOMPARE(captionsOf(w.workspace()), QStringList({u"open"_s, u"Locked"_s}));
        QCOMPARE(w.workspace().activeIndex(), 1);
        // Asked as at start-up; cancelled, the page shows nothing.
        QCOMPARE(prompt_.passwordCaptions, QStringList{u"Locked"_s});
        QVERIFY(w.surface()->isLocked());
        QVERIFY(!w.workspace().work.ErrorsOccurred);
    }

    void theChooserOffersOnlyWhatCanBeRead()
    {
        const QList<HistoryVersion> versions = {{u"2026-06-02 10:00:00"_s, 0, 0, false},
                                                {u"2026-06-01 10:00:00"_s, 2, 5, true}};
        TfrmHistory dialog(versions, nullptr);
        dialog.show();
        QCOMPARE(dialog.lvVersions->topLevelItemCount(), 2);
        // The newest that can be read is offered.
        QCOMPARE(dialog.chosen(), std::optional<int>(1));
        QVERIFY(dialog.btnOk->isEnabled());
        const auto click = [&](int row) {
            QTreeWidget *list = dialog.lvVersions;
            const QRect r = list->visualItemRect(list->topLevelItem(row));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        };
        click(0);
        QCOMPARE(dialog.chosen(), std::optional<int>(1));
        dialog.lvVersions->clearSelection();
        QVERIFY(!dialog.btnOk->isEnabled());
        click(1);
        QVERIFY(dialog.btnOk->isEnabled());
        dialog.btnOk->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(HistoryTest)
#include "tst_history.moc"
