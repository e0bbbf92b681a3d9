// The settings file where data crosses the program's edge: every write,
// sync, close, link and rename of a save failing in turn; the modes of the
// files that hold passwords; special files at the settings path; another
// program writing the same file; a session that ends unsaved; binary zeros
// and other text no line can carry; a real full disk and a file size limit.
#include "common/Prompt.h"
#include "platform/SafeFile.h"
#include "storage/BigIni.h"
#include "storage/SettingsFile.h"
#include "storage/SettingsHistory.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "surface/FormMain.h"

#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

using namespace vl;
using namespace Qt::StringLiterals;
using vl::test::FakePrompt;
using vl::test::readAll;
using vl::test::writeAll;

namespace {

using Snapshot = QMap<QString, QByteArray>;

// Every file under dir, hidden ones and the history folder's included, with
// its bytes: "as they were" means this, whole.
Snapshot snapshot(const QString &dir)
{
    Snapshot out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        out.insert(QDir(dir).relativeFilePath(file), readAll(file));
    }
    return out;
}

void putBack(const QString &dir, const Snapshot &snap)
{
    for (const QString &name : snapshot(dir).keys())
        QFile::remove(QDir(dir).filePath(name));
    for (auto it = snap.cbegin(); it != snap.cend(); ++it) {
        QDir().mkpath(QFileInfo(QDir(dir).filePath(it.key())).absolutePath());
        writeAll(QDir(dir).filePath(it.key()), it.value());
    }
}

int modeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QString firstCaption(const QString &path)
{
    TBigIniFile ini(path);
    ini.Abandon();
    return ini.ReadString("Page0", "Desktop_Caption", QString());
}

QStringList historyCaptions(SettingsHistory &history)
{
    QStringList out;
    for (const HistoryCopy &c : history.copies())
        out.append(firstCaption(c.path));
    return out;
}

class RecordingHost : public SettingsHost {
public:
    QStringList remarks;
    int otherVersions = 0;
    void statusMessage(const QString &text) override { remarks.append(text); }
    void otherVersionChosen() override { ++otherVersions; }
};

// One copy of the program's settings side, with its own clock.
struct Settings {
    Workspace ws;
    FakePrompt prompt;
    RecordingHost host;
    SettingsFile file;
    QDateTime now = QDateTime(QDate(2026, 6, 1), QTime(9, 0));

    explicit Settings(const QString &path) : file(ws, prompt, host, path)
    {
        file.history().setClock([this] { return now; });
    }
};

// A model worth losing: three desktops with shortcuts and a note each.
void fill(Workspace &ws)
{
    ws.global.Leave_Missing = true;
    for (int p = 0; p < 3; ++p) {
        Desktop &d = ws.CreateNewTabSheet();
        d.Desktop_Caption = u"Desktop %1"_s.arg(p);
        for (int i = 0; i < 2; ++i) {
            ShortcutItem &item = ws.CreateNewItem();
            item.AttachedFile = u"/srv/file-%1-%2.txt"_s.arg(p).arg(i);
            item.Label_Caption = u"Shortcut %1"_s.arg(i);
        }
        ws.CreateNewNote().Lines = QStringList{u"note of %1"_s.arg(p), u"second line"_s};
    }
    ws.setActiveIndex(0);
}

struct InjectionGuard {
    ~InjectionGuard() { fileFaults::setInjector({}); }
};

// Runs a command as a shell would, with the settings file given; the exit
// status, or -1 when it was killed.
int runBinary(const QString &settings, const QString &shellCommand)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"VORLANE_SETTINGS"_s, settings);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    p.setProcessEnvironment(env);
    p.start(u"/bin/sh"_s, {u"-c"_s, shellCommand});
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return -2;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class FileEdgesTest : public QObject, vl::test::WindowFixture {
    Q_OBJECT

private slots:
    void init() { resetWindowFixture(); }
    void cleanup() { fileFaults::setInjector({}); }

    void everyFailingCallOfASaveLeavesTheFilesAsTheyWere_data()
    {
        QTest::addColumn<int>("error");
        QTest::newRow("I/O error") << EIO;
        QTest::newRow("disk full") << ENOSPC;
        QTest::newRow("file too large") << EFBIG;
    }

    void everyFailingCallOfASaveLeavesTheFilesAsTheyWere()
    {
        QFETCH(int, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vorlane.ini"_s);
        {
            // A file with a ".bak" and a history: two saves an hour apart.
            Settings s(path);
            fill(s.ws);
            QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Saved);
            s.now = s.now.addSecs(3600);
            s.ws.desktop(1).Desktop_Caption = u"renamed"_s;
            QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Saved);
        }
        const Snapshot before = snapshot(dir.path());
        QVERIFY(before.contains(u"vorlane.ini.bak"_s));
        QCOMPARE(before.size(), 3); // the file, ".bak" and one history copy
        QList<QByteArray> versions = before.values();

        InjectionGuard guard;
        std::set<fileFaults::Call> failedAt;
        int calls = 0;
        int failAt = 0;
        fileFaults::setInjector([&](fileFaults::Call call) {
            if (++calls != failAt)
                return 0;
            failedAt.insert(call);
            return error;
        });
        // failAt 0 fails nothing: the save as it goes when all is well, and
        // how many calls it makes. The hour's history copy falls due too.
        int callsOfASave = 0;
        int failedSaves = 0;
        for (failAt = 0; failAt == 0 || failAt <= callsOfASave; ++failAt) {
            putBack(dir.path(), before);
            calls = 0;
            Settings s(path);
            s.now = s.now.addSecs(2 * 3600);
            s.file.LoadAll(false);
            QVERIFY(!s.ws.work.ErrorsOccurred);
            s.ws.desktop(0).Desktop_Caption = u"the change"_s;
            const auto result = s.file.SaveAll();
            const Snapshot after = snapshot(dir.path());
            const QString at = u"failing call %1"_s.arg(failAt);
            if (failAt == 0)
                callsOfASave = calls;
            for (const QString &name : after.keys())
                QVERIFY2(!QFileInfo(name).fileName().startsWith(u'.'), qPrintable(at + u": left "_s + name));
            if (result == SettingsFile::SaveResult::Failed) {
                ++failedSaves;
                QVERIFY2(after == before, qPrintable(at));
                QVERIFY(s.ws.work.ErrorsOccurred);
                QCOMPARE(s.prompt.texts(), QStringList{SettingsFile::SaveError});
                continue;
            }
            // The failure came after the new content was in place (".bak"
            // or the folder's sync), or in the history copy, which never
            // stops a save: whatever was kept is whole.
            QVERIFY2(result == SettingsFile::SaveResult::Saved, qPrintable(at));
            QCOMPARE(firstCaption(path), u"the change"_s);
            for (auto it = after.cbegin(); it != after.cend(); ++it) {
                if (it.key() != u"vorlane.ini"_s)
                    QVERIFY2(versions.contains(it.value()), qPrintable(at + u": "_s + it.key() + u" is cut"_s));
            }
            QVERIFY2(after.value(u"vorlane.ini.bak"_s) == before.value(u"vorlane.ini.bak"_s)
                         || after.value(u"vorlane.ini.bak"_s) == before.value(u"vorlane.ini"_s),
                     qPrintable(at));
        }
        QVERIFY2(callsOfASave >= 10, qPrintable(QString::number(callsOfASave)));
        // A failure of each step that comes before the replacement fails
        // the save; not one of them reports success.
        for (const auto call : {fileFaults::Call::Open, fileFaults::Call::Write, fileFaults::Call::Sync,
                                fileFaults::Call::Close, fileFaults::Call::Rename})
            QVERIFY2(failedAt.count(call), fileFaults::name(call));
        QVERIFY(failedSaves >= 5);
    }

    void filesHoldingPasswordsAreTheOwnersAlone()
    {
        const mode_t oldMask = ::umask(022);
        struct Back {
            mode_t mask;
            ~Back() { ::umask(mask); }
        } back{oldMask};
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vorlane.ini"_s);
        Settings s(path);
        fill(s.ws);
        s.ws.desktop(0).settings.Password = u"1234"_s;
        QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Saved);
        QCOMPARE(modeOf(path), 0600);
        s.now = s.now.addSecs(3600);
        s.ws.desktop(0).Desktop_Caption = u"again"_s;
        QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Saved);
        QCOMPARE(modeOf(path + u".bak"_s), 0600);
        QCOMPARE(s.file.history().copies().size(), std::size_t(1));
        QCOMPARE(modeOf(s.file.history().copies().front().path), 0600);
        QCOMPARE(modeOf(s.file.history().folder()), 0700);

        // A file the user opened up keeps its mode; its copies do not.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        s.now = s.now.addSecs(3600);
        s.ws.desktop(0).Desktop_Caption = u"third"_s;
        QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Saved);
        QCOMPARE(modeOf(path), 0644);
        QCOMPARE(modeOf(s.file.history().copies().front().path), 0600);

        // The copy of a file that could not be read.
        QVERIFY(writeAll(path, "not settings at all"));
        Settings t(path);
        t.file.LoadAll(false);
        QVERIFY(!t.file.unreadableCopy().isEmpty());
        QCOMPARE(modeOf(t.file.unreadableCopy()), 0600);
    }

    void specialFilesAtTheSettingsPathAreRefusedAtOnce_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("a FIFO") << true;
        QTest::newRow("a folder") << false;
    }

    void specialFilesAtTheSettingsPathAreRefusedAtOnce()
    {
        QFETCH(bool, fifo);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vorlane.ini"_s);
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(fifo ? ::mkfifo(name.constData(), 0600) == 0 : QDir().mkdir(path));
        auto unchanged = [&] {
            struct stat st {};
            return ::lstat(name.constData(), &st) == 0 && (fifo ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode));
        };
        // A reader waiting for a FIFO's writer would hang here.
        Settings s(path);
        s.file.LoadAll(false);
        QVERIFY(s.ws.work.ErrorsOccurred);
        QCOMPARE(s.prompt.headlines(), QStringList{SettingsFile::LoadError});
        QCOMPARE(s.ws.desktopCount(), 1);
        s.prompt.answer(ModalResult::Yes);
        QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Failed);
        QVERIFY(unchanged());
        QVERIFY_THROWS_EXCEPTION(FileIoError, writeFileAtomically(path, "x"));
        QVERIFY(unchanged());
        QVERIFY(!tryReadRegularFile(path, 100));
    }

    void anotherWritersVersionIsNeverLostUnseen_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("dismissed");
        QTest::newRow("save over it") << int(ModalResult::No) << false;
        QTest::newRow("take the other version") << int(ModalResult::Yes) << false;
        QTest::newRow("nobody can answer") << int(ModalResult::Cancel) << true;
    }

    // Two copies allowed to run side by side, or a sync tool replacing the
    // file: the copy that saves last used to win without a word.
    void anotherWritersVersionIsNeverLostUnseen()
    {
        QFETCH(int, answer);
        QFETCH(bool, dismissed);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vorlane.ini"_s);
        Settings one(path);
        Settings two(path);
        one.file.LoadAll(false);
        two.file.LoadAll(false);

        one.ws.desktop(0).Desktop_Caption = u"A"_s;
        QCOMPARE(one.file.SaveAll(), SettingsFile::SaveResult::Saved);
        // Rewritten with the same content (a sync tool, a backup that put
        // it back) it is the same version: nothing to ask.
        const QByteArray same = readAll(path);
        QVERIFY(QFile::remove(path));
        QVERIFY(writeAll(path, same));
        one.ws.desktop(0).Desktop_Caption = u"A"_s;
        QCOMPARE(one.file.SaveAll(), SettingsFile::SaveResult::Saved);
        QVERIFY(one.prompt.calls.isEmpty());

        two.ws.desktop(0).Desktop_Caption = u"B"_s;
        if (dismissed)
            two.prompt.dismissQuestions();
        else
            two.prompt.answer(ModalResult(answer));
        const auto result = two.file.SaveAll();
        QCOMPARE(two.prompt.count(SettingsFile::OtherVersionQuestion), dismissed ? 0 : 1);
        QVERIFY(historyCaptions(two.file.history()).contains(u"A"_s));
        if (answer == int(ModalResult::Yes)) {
            QCOMPARE(result, SettingsFile::SaveResult::OtherVersion);
            QCOMPARE(firstCaption(path), u"A"_s);
            QCOMPARE(two.host.otherVersions, 1);
            QVERIFY(historyCaptions(two.file.history()).contains(u"B"_s));
            return;
        }
        QCOMPARE(result, SettingsFile::SaveResult::Saved);
        QCOMPARE(firstCaption(path), u"B"_s);

        // Told once: later versions of the other copy still go into the
        // history first, without another question.
        one.prompt.defaultAnswer = ModalResult::No;
        one.ws.desktop(0).Desktop_Caption = u"A2"_s;
        QCOMPARE(one.file.SaveAll(), SettingsFile::SaveResult::Saved);
        QVERIFY(historyCaptions(one.file.history()).contains(u"B"_s));
        two.ws.desktop(0).Desktop_Caption = u"B2"_s;
        QCOMPARE(two.file.SaveAll(), SettingsFile::SaveResult::Saved);
        QCOMPARE(two.prompt.count(SettingsFile::OtherVersionQuestion), dismissed ? 0 : 1);
        QVERIFY(historyCaptions(two.file.history()).contains(u"A2"_s));
        QCOMPARE(firstCaption(path), u"B2"_s);
    }

    // The end of the session cannot ask "There were errors, ..."; the
    // session used to end unsaved and unseen.
    void aSessionEndingUnsavedIsKeptForTheNextStart()
    {
        const QByteArray file = vl::test::desktopsSettings({u"Work"_s, u"Play"_s});
        TFormMain &w = start(file);
        w.workspace().work.ErrorsOccurred = true;
        w.workspace().desktop(1).Desktop_Caption = u"Unsaved work"_s;
        QSignalSpy ended(&w, &TFormMain::ended);
        w.endSession();
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(readAll(path_), file);

        Settings next(path_);
        next.file.LoadAll(false);
        QCOMPARE(next.prompt.count(SettingsFile::SessionKeptMessage.arg(
                     SettingsHistory::displayTime(next.file.history().copies().front().time))),
                 1);
        TBigIniFile kept(next.file.history().copies().front().path);
        kept.Abandon();
        QCOMPARE(kept.ReadString("Page1", "Desktop_Caption", QString()), u"Unsaved work"_s);
        // Named once.
        Settings after(path_);
        after.file.LoadAll(false);
        QVERIFY(after.prompt.calls.isEmpty());
    }

    void noTextReachesTheFileThatItsReaderWouldRefuse()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vorlane.ini"_s);
        // Whatever way it took into the model, the file holds none of it.
        const QString lone = QString(QChar(0xD800));
        Settings s(path);
        fill(s.ws);
        s.ws.desktop(0).Desktop_Caption = u"Wo\0rk"_s;
        s.ws.desktop(1).Desktop_Caption = u"half "_s + lone;
        s.ws.desktop(2).Desktop_Caption = u"two\r\nlines"_s;
        s.ws.desktop(0).notes.front()->Lines = QStringList{u"pasted \0zero"_s};
        QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Saved);
        QVERIFY(!readAll(path).contains('\0'));

        Settings back(path);
        back.file.LoadAll(false);
        QVERIFY(back.prompt.calls.isEmpty());
        QVERIFY(!back.ws.work.ErrorsOccurred);
        QCOMPARE(back.ws.desktop(0).Desktop_Caption, u"Work"_s);
        QCOMPARE(back.ws.desktop(1).Desktop_Caption, u"half \uFFFD"_s);
        QCOMPARE(back.ws.desktop(2).Desktop_Caption, u"two  lines"_s);

        // The edge itself: what a dialog answers is storable already.
        FakePrompt prompt;
        prompt.renameAnswers = {u"Na\0me\n"_s, QString(QChar(0))};
        QCOMPARE(prompt.RenameDialog(u"x"_s), std::optional<QString>(u"Name "_s));
        QCOMPARE(prompt.RenameDialog(u"x"_s), std::nullopt); // nothing left is no name
    }

    // Older builds wrote a zero pasted into a note as it was, and their
    // reader then refused the whole file: the next save replaced the
    // user's desktops with one empty one.
    void aFileWithBinaryZerosLoadsAndIsKeptAsItWas()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vorlane.ini"_s);
        QByteArray older = vl::test::desktopsSettings(
            {u"Work"_s, u"Play"_s}, 1, {}, {"Note_CountTrue=1\r\n"});
        const char note[] = "[Page0\\Note1]\r\nCount=1\r\n1=pasted \0 here\r\n";
        older += QByteArray(note, sizeof note - 1);
        QVERIFY(writeAll(path, older));
        Settings s(path);
        s.file.LoadAll(false);
        QVERIFY(s.ws.work.ErrorsOccurred);
        QCOMPARE(s.prompt.headlines(), QStringList{SettingsFile::LoadError});
        QVERIFY(s.prompt.texts().constFirst().contains(s.file.unreadableCopy()));
        QCOMPARE(readAll(s.file.unreadableCopy()), older);
        QCOMPARE(s.ws.desktopCount(), 2);
        QCOMPARE(s.ws.activeIndex(), 1);
        QCOMPARE(s.ws.desktop(0).notes.front()->Lines, QStringList{u"pasted  here"_s});

        s.prompt.answer(ModalResult::Yes);
        QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Saved);
        Settings back(path);
        back.file.LoadAll(false);
        QVERIFY(!back.ws.work.ErrorsOccurred);
        QCOMPARE(back.ws.desktopCount(), 2);
    }

    // A real small file system that is full, and a file size limit: the
    // save fails, says so, and the file stays whole. A small file is the
    // trap: its whole new content sat in a write buffer whose failure came
    // too late, and the empty file was renamed into place. Mounting needs
    // root; CI runs as root.
    void aFullDiskOrASizeLimitFailsTheSaveAndKeepsTheFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        // Without most keys: any save adds them.
        QTest::newRow("small") << QByteArray("[General]\r\nPage_Count=1\r\n");
        QByteArray text = "[General]\r\nPage_Count=1\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\nNote_CountTrue=1\r\n\r\n"
                          "[Page0\\Note1]\r\nCount=400\r\n";
        for (int i = 1; i <= 400; ++i)
            text += QByteArray::number(i) + "=a line of a long note, long enough to fill blocks\r\n";
        QTest::newRow("large") << text;
    }

    void aFullDiskOrASizeLimitFailsTheSaveAndKeepsTheFile()
    {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString mount = dir.filePath(u"small"_s);
        QVERIFY(QDir().mkpath(mount));
        const QString path = mount + u"/vorlane.ini"_s;

        // A file size limit first, anywhere: the kernel would kill the save.
        if (text.size() > 8192) {
            QVERIFY(writeAll(path, text));
            const int limited = runBinary(path, u"ulimit -f 8 && exec '%1' --resave"_s.arg(VORLANE_BINARY));
            QCOMPARE(limited, 1);
            QCOMPARE(readAll(path), text);
            QVERIFY(QFile::remove(path));
        }

        if (::geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        if (QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=128k"_s, u"tmpfs"_s, mount}) != 0)
            QSKIP("a tmpfs cannot be mounted here");
        struct Unmount {
            QString at;
            ~Unmount() { QProcess::execute(u"umount"_s, {at}); }
        } unmount{mount};
        QVERIFY(writeAll(path, text));
        // Full up to the last page.
        QFile filler(mount + u"/filler"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray page(4096, 'x');
        while (filler.write(page) == page.size() && filler.flush()) {
        }
        filler.close();

        const int resaved = runBinary(path, u"exec '%1' --resave"_s.arg(VORLANE_BINARY));
        QCOMPARE(resaved, 1);
        QCOMPARE(readAll(path), text);

        Settings s(path);
        s.file.LoadAll(false);
        QCOMPARE(s.file.SaveAll(), SettingsFile::SaveResult::Failed);
        QCOMPARE(s.prompt.texts(), QStringList{SettingsFile::SaveError});
        QCOMPARE(readAll(path), text);
        QCOMPARE(QDir(mount).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({u"filler"_s, u"vorlane.ini"_s}));
    }

    void lookingAtAFileWritesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vorlane.ini"_s);
        // Unreadable, and with a duplicate section the engine would drop.
        QVERIFY(writeAll(path, "[General]\r\nPage_Count=1\r\nActive_Page=7\r\n[General]\r\nPage_Count=2\r\n"
                               "[Page0]\r\nDesktop_Caption=A\r\n"));
        const Snapshot before = snapshot(dir.path());
        QCOMPARE(runBinary(path, u"exec '%1' --dump-model >/dev/null 2>&1"_s.arg(VORLANE_BINARY)), 0);
        QCOMPARE(snapshot(dir.path()), before);
    }
};

QTEST_MAIN(FileEdgesTest)
#include "tst_fileedges.moc"
