#include "common/HandOff.h"
#include "app/SingleInstance.h"
#include "app/WindowRemote.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using vl::HandOff;
using vl::TPBJustOne;

namespace {

// Stands in for the user's runtime folder; never the real one.
class PrivateDir {
public:
    PrivateDir() { ::chmod(QFile::encodeName(m_dir.path()).constData(), 0700); }
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};

mode_t modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
}

// Changes the working folder by its bytes: its name need not be UTF-8.
class CurrentDirGuard {
public:
    explicit CurrentDirGuard(const QByteArray &dir) : m_old(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (::chdir(dir.constData()) != 0)
            qFatal("cannot change to %s", dir.constData());
    }
    ~CurrentDirGuard()
    {
        if (::fchdir(m_old) != 0)
            qFatal("cannot change back");
        ::close(m_old);
    }
    CurrentDirGuard(const CurrentDirGuard &) = delete;
    CurrentDirGuard &operator=(const CurrentDirGuard &) = delete;

private:
    int m_old;
};

// Lines racing children up on one instant, whatever their start-up times.
void waitUntil(qint64 epochMs)
{
    const qint64 wait = epochMs - QDateTime::currentMSecsSinceEpoch();
    if (wait > 0)
        QThread::msleep(static_cast<unsigned long>(wait));
}

// `tst_instance --child-handoff <runtime folder> <path> <writeAtEpochMs>`:
// a start with a file argument that leaves it in the spool at that instant,
// then prints "written".
int runChildHandOff(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 5)
        return 64;
    waitUntil(QByteArray(argv[4]).toLongLong());
    HandOff handOff(QFile::decodeName(argv[2]));
    if (!handOff.SaveTempOpenFile(QByteArray(argv[3]))) {
        std::fprintf(stderr, "%s\n", qPrintable(handOff.errorString()));
        return 1;
    }
    std::printf("written\n");
    return 0;
}

// `tst_instance --child-take <runtime folder> <startAtEpochMs>`: a window
// that takes what waits, from that instant on until nothing is left, and
// prints each path it got.
int runChildTake(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 64;
    HandOff handOff(QFile::decodeName(argv[2]));
    waitUntil(QByteArray(argv[3]).toLongLong());
    for (QStringList waiting = handOff.waiting(); !waiting.isEmpty(); waiting = handOff.waiting()) {
        for (const QString &entry : waiting) {
            const HandOff::Taken taken = handOff.take(entry);
            if (taken.status == HandOff::Taken::Status::Taken)
                std::printf("%s\n", taken.path.constData());
        }
    }
    return 0;
}

const char *outcomeText(TPBJustOne::Outcome o)
{
    switch (o) {
    case TPBJustOne::Outcome::FirstInstance:
        return "FirstInstance";
    case TPBJustOne::Outcome::HandedOver:
        return "HandedOver";
    case TPBJustOne::Outcome::Failed:
        return "Failed";
    }
    return "?";
}

// `tst_instance --child-guard <folder> <stayMs> <wakesToWaitFor> [<startAtEpochMs>]`
// Runs the guard and prints its outcome ("HandedOver" gets "delivered" or
// "undelivered" appended). A first instance then prints "woken" for every
// wake-up and ends after the given number of them or after stayMs.
int runChildGuard(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5)
        return 64;
    const QString folder = args.at(2);
    const int stayMs = args.at(3).toInt();
    const int wakesToWaitFor = args.at(4).toInt();
    if (args.size() > 5) {
        // Lines the racing children up on one instant, whatever their
        // start-up times.
        const qint64 wait = args.at(5).toLongLong() - QDateTime::currentMSecsSinceEpoch();
        if (wait > 0)
            QThread::msleep(static_cast<unsigned long>(wait));
    }

    TPBJustOne guard(folder);
    const TPBJustOne::Outcome outcome = guard.start();
    std::printf("%s%s\n", outcomeText(outcome),
                outcome == TPBJustOne::Outcome::HandedOver ? (guard.delivered() ? " delivered" : " undelivered")
                                                           : "");
    std::fflush(stdout);
    if (outcome != TPBJustOne::Outcome::FirstInstance)
        return 0;

    int wakes = 0;
    QObject::connect(&guard, &TPBJustOne::wakeUp, &app, [&] {
        std::printf("woken\n");
        std::fflush(stdout);
        if (++wakes >= wakesToWaitFor)
            QCoreApplication::quit();
    });
    QTimer::singleShot(stayMs, &app, &QCoreApplication::quit);
    return app.exec();
}

// A child started by the test; killed on the way out if still running, so a
// failed check leaves no process behind.
class Child {
public:
    Child(const QString &folder, int stayMs, int wakesToWaitFor, qint64 startAt = 0)
    {
        QStringList args{QStringLiteral("--child-guard"), folder, QString::number(stayMs),
                         QString::number(wakesToWaitFor)};
        if (startAt)
            args << QString::number(startAt);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationFilePath(), args);
    }
    ~Child()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool waitStarted() { return m_process.waitForStarted(10000); }

    // The next line of output, or "<timeout>".
    QByteArray line(int timeoutMs = 10000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!m_process.canReadLine()) {
            if (deadline.hasExpired())
                return QByteArrayLiteral("<timeout>");
            if (!m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))
                && m_process.state() == QProcess::NotRunning && !m_process.canReadLine())
                return QByteArrayLiteral("<exited>");
        }
        return m_process.readLine().trimmed();
    }

    bool finishedCleanly(int timeoutMs = 10000)
    {
        return m_process.waitForFinished(timeoutMs) && m_process.exitStatus() == QProcess::NormalExit
            && m_process.exitCode() == 0;
    }

    void killHard()
    {
        m_process.kill(); // SIGKILL: no destructor, no clean-up
        m_process.waitForFinished(5000); // reaps it; a zombie would still look alive
    }

private:
    QProcess m_process;
};

} // namespace

class TestInstance : public QObject {
    Q_OBJECT

private slots:
    // ---- the window from anywhere ----

    // `--show` and `--toggle` reach the one window serving the settings
    // file, by whatever name or link the file is given; a second window on
    // it serves nothing, another file's window hears nothing, and a socket
    // left by a dead window is no obstacle.
    void commandsReachTheWindowOfTheSameSettingsFile()
    {
        PrivateDir dir;
        const QString settings = dir.file(QStringLiteral("vorlane.ini"));
        QVERIFY(vl::test::writeAll(settings, "[General]\r\n"));
        QVERIFY(QFile::link(settings, dir.file(QStringLiteral("link.ini"))));
        using vl::WindowRemote;
        WindowRemote nobody(settings, dir.path());
        QVERIFY(!nobody.send(WindowRemote::Command::Show));

        // What a window killed by SIGKILL leaves behind.
        QVERIFY(vl::test::writeAll(nobody.socketPath(), "stale"));
        auto window = std::make_unique<WindowRemote>(settings, dir.path());
        QVERIFY2(window->listen(), qPrintable(window->errorString()));
        WindowRemote second(settings, dir.path());
        QVERIFY(!second.listen());
        WindowRemote other(dir.file(QStringLiteral("other.ini")), dir.path());
        QVERIFY(other.listen());
        QSignalSpy heard(window.get(), &WindowRemote::commandReceived);
        QSignalSpy otherHeard(&other, &WindowRemote::commandReceived);

        QVERIFY(WindowRemote(dir.file(QStringLiteral("link.ini")), dir.path()).send(WindowRemote::Command::Toggle));
        QVERIFY(WindowRemote(settings, dir.path()).send(WindowRemote::Command::Show));
        QTRY_COMPARE(heard.size(), 2);
        QCOMPARE(heard.at(0).at(0).value<WindowRemote::Command>(), WindowRemote::Command::Toggle);
        QCOMPARE(heard.at(1).at(0).value<WindowRemote::Command>(), WindowRemote::Command::Show);
        QCOMPARE(otherHeard.size(), 0);

        // The serving window ends: the next one on the file takes over.
        window.reset();
        QVERIFY(second.listen());
    }

    // ---- hand-off spool ----

    // Each start leaves an entry of its own, private, whole and in bytes;
    // taking it removes it, and an entry is given out once.
    void handOffEntriesRoundTripPrivately()
    {
        PrivateDir dir;
        const mode_t oldMask = ::umask(0777); // must not leave an unusable spool
        HandOff handOff(dir.path());
        ::umask(oldMask);
        QVERIFY2(handOff.isValid(), qPrintable(handOff.errorString()));
        QCOMPARE(handOff.folderPath(), dir.file(QStringLiteral("vorlane-%1.handoff").arg(::geteuid())));
        QCOMPARE(modeOf(handOff.folderPath()), mode_t(0700));
        QVERIFY(!handOff.HandOffExists());

        // Bytes that are no UTF-8, line breaks inside a name, and more than
        // any one line reader would take: all exactly as given.
        const QList<QByteArray> paths{"/home/ann/Gr\xc3\xbc\xc3\x9f" "e.jpg", "/srv/caf\xe9-\xff.txt",
                                      "/tmp/two\nlines\r\n", '/' + QByteArray(200 * 1024, 'a'), "https://example.org/a?b"};
        for (const QByteArray &path : paths)
            QVERIFY2(handOff.SaveTempOpenFile(path), qPrintable(handOff.errorString()));
        QVERIFY(handOff.HandOffExists());
        const QStringList waiting = handOff.waiting();
        QCOMPARE(waiting.size(), paths.size());
        for (const QString &entry : waiting)
            QCOMPARE(modeOf(handOff.folderPath() + QLatin1Char('/') + entry), mode_t(0600));

        QList<QByteArray> taken;
        for (const QString &entry : waiting) {
            const HandOff::Taken t = handOff.take(entry);
            QCOMPARE(t.status, HandOff::Taken::Status::Taken);
            taken << t.path;
            QCOMPARE(handOff.take(entry).status, HandOff::Taken::Status::Gone);
        }
        QCOMPARE(taken, paths); // one writer: in the order it wrote
        QVERIFY(!handOff.HandOffExists());
        QVERIFY(QDir(handOff.folderPath()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

        // Nothing longer than an entry may be is written, not even in part.
        QVERIFY(!handOff.SaveTempOpenFile('/' + QByteArray(HandOff::MaxEntryBytes, 'b')));
        QVERIFY(QDir(handOff.folderPath()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

        // A spool that is a link is refused as the runtime folder would be.
        PrivateDir other;
        PrivateDir planted;
        QVERIFY(QFile::link(planted.path(), other.file(QFileInfo(handOff.folderPath()).fileName())));
        HandOff linked(other.path());
        QVERIFY(!linked.isValid());
        QVERIFY(!linked.SaveTempOpenFile("/a"));
        QVERIFY(QDir(planted.path()).isEmpty());
    }

    void handOffPathIsMadeAbsoluteUnlessUrl_data()
    {
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<bool>("keptAsIs");
        QTest::newRow("relative file") << QByteArray("docs/plan.txt") << false;
        QTest::newRow("dot relative") << QByteArray("./plan.txt") << false;
        QTest::newRow("parent relative") << QByteArray("../plan.txt") << false;
        QTest::newRow("one letter before colon is a name") << QByteArray("C:plan.txt") << false;
        QTest::newRow("name that is no UTF-8") << QByteArray("pl\xe4n.txt") << false;
        QTest::newRow("absolute") << QByteArray("/srv/plan.txt") << true;
        QTest::newRow("https") << QByteArray("https://example.org/a?b=c") << true;
        QTest::newRow("file url") << QByteArray("file:///srv/plan.txt") << true;
        QTest::newRow("mailto") << QByteArray("mailto:ann@example.org") << true;
        QTest::newRow("scheme with plus") << QByteArray("svn+ssh://host/repo") << true;
    }

    // Relative against the writer's own folder, whose name is bytes too.
    void handOffPathIsMadeAbsoluteUnlessUrl()
    {
        QFETCH(QByteArray, given);
        QFETCH(bool, keptAsIs);
        PrivateDir dir;
        QTemporaryDir base;
        const QByteArray cwd = QFile::encodeName(base.path()) + "/Ordner-\xf6";
        QCOMPARE(::mkdir(cwd.constData(), 0700), 0);
        // QTemporaryDir removes by text names, which cannot name this one.
        const auto removeCwd = qScopeGuard([&] { ::rmdir(cwd.constData()); });
        HandOff handOff(dir.path());
        {
            CurrentDirGuard guard(cwd);
            QVERIFY(handOff.SaveTempOpenFile(given));
        }
        const QStringList waiting = handOff.waiting();
        QCOMPARE(waiting.size(), 1);
        QCOMPARE(handOff.take(waiting.first()).path, keptAsIs ? given : cwd + '/' + given);
    }

    // What no writer of ours leaves is refused without blocking or reading
    // through a link, and removed, so it cannot come back on every paint;
    // an entry that cannot even be removed is passed over from then on. A
    // writer that died leaves its temporary file, which goes after a while;
    // one still at work, and anything not ours, stay.
    void handOffRefusesAndClearsWhatIsNoEntry()
    {
        PrivateDir dir;
        QTemporaryDir elsewhere;
        HandOff handOff(dir.path());
        const QString spool = handOff.folderPath() + QLatin1Char('/');
        const QString precious = elsewhere.filePath(QStringLiteral("precious.txt"));
        QVERIFY(vl::test::writeAll(precious, "/keep/me\n"));
        const auto entry = [&](int n) { return QStringLiteral("%1-00000001-00000000-00000000").arg(n, 16, 10, QLatin1Char('0')); };
        QVERIFY(QFile::link(precious, spool + entry(1)));
        QCOMPARE(::mkfifo(QFile::encodeName(spool + entry(2)).constData(), 0600), 0);
        QVERIFY(vl::test::writeAll(spool + entry(3), '/' + QByteArray(HandOff::MaxEntryBytes, 'x') + '\n'));
        QVERIFY(vl::test::writeAll(spool + entry(4), "/cut/short")); // no line end
        QVERIFY(QDir(spool).mkdir(entry(5)));
        QVERIFY(handOff.SaveTempOpenFile("/the/real/one"));
        const QString dead = spool + '.' + entry(6) + QStringLiteral(".tmp-dead1");
        const QString working = spool + '.' + entry(7) + QStringLiteral(".tmp-busy1");
        const QString foreign = spool + QStringLiteral(".notes.tmp-mine");
        for (const QString &f : {dead, working, foreign})
            QVERIFY(vl::test::writeAll(f, "/half"));
        for (const QString &f : {dead, foreign}) {
            QFile file(f);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-HandOff::StaleAfterSeconds - 60),
                                     QFileDevice::FileModificationTime));
        }

        QList<HandOff::Taken::Status> statuses;
        QByteArrayList taken;
        for (const QString &e : handOff.waiting()) {
            const HandOff::Taken t = handOff.take(e);
            statuses << t.status;
            if (t.status == HandOff::Taken::Status::Taken)
                taken << t.path;
        }
        using S = HandOff::Taken::Status;
        QCOMPARE(statuses, QList<S>({S::Unreadable, S::Unreadable, S::Unreadable, S::Unreadable, S::Unreadable, S::Taken}));
        QCOMPARE(taken, QByteArrayList({"/the/real/one"}));
        QCOMPARE(vl::test::readAll(precious), QByteArray("/keep/me\n"));
        QVERIFY(!handOff.HandOffExists());
        QVERIFY(handOff.waiting().isEmpty());
        QCOMPARE(QDir(spool).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 QStringList({QFileInfo(working).fileName(), QFileInfo(foreign).fileName(), entry(5)}));
    }

    // Copies started one after another arrive in that order, whichever
    // writes first: here the later ones are made to write first.
    void handOffsOfManyStartsArriveOnceInStartOrder()
    {
        constexpr int Starts = 12;
        PrivateDir dir;
        const qint64 startAt = QDateTime::currentMSecsSinceEpoch() + 2000;
        std::vector<std::unique_ptr<QProcess>> children;
        QByteArrayList expected;
        for (int i = 0; i < Starts; ++i) {
            const QByteArray path = "/srv/file-" + QByteArray::number(i);
            expected << path;
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--child-handoff"), dir.path(), QString::fromLatin1(path),
                      QString::number(startAt + (Starts - i) * 40)});
            QVERIFY(p->waitForStarted(10000));
            children.push_back(std::move(p));
        }
        for (auto &p : children) {
            QVERIFY(p->waitForFinished(30000));
            QCOMPARE(p->readAllStandardOutput(), QByteArray("written\n"));
        }
        HandOff handOff(dir.path());
        QByteArrayList taken;
        for (const QString &entry : handOff.waiting())
            taken << handOff.take(entry).path;
        QCOMPARE(taken, expected);
    }

    // Two windows (several copies may be allowed to run) taking at the same
    // moment: every entry goes to exactly one of them.
    void twoReadersNeverTakeOneEntryTwice()
    {
        constexpr int Entries = 300;
        PrivateDir dir;
        HandOff writer(dir.path());
        QByteArrayList written;
        for (int i = 0; i < Entries; ++i) {
            written << "/srv/" + QByteArray::number(i);
            QVERIFY(writer.SaveTempOpenFile(written.last()));
        }
        const qint64 startAt = QDateTime::currentMSecsSinceEpoch() + 1000;
        QProcess readers[2];
        for (QProcess &r : readers) {
            r.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            r.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child-take"), dir.path(), QString::number(startAt)});
        }
        QByteArrayList all;
        for (QProcess &r : readers) {
            QVERIFY(r.waitForFinished(30000));
            all += r.readAllStandardOutput().split('\n');
        }
        all.removeAll(QByteArray());
        std::sort(all.begin(), all.end());
        std::sort(written.begin(), written.end());
        QCOMPARE(all, written); // none lost, none twice
    }

    // ---- the private folder ----

    void runtimeFolderPrefersAPrivateXdgFolder()
    {
        PrivateDir xdg;
        QTemporaryDir tmpBase;
        QString error;
        QCOMPARE(vl::privateRuntimeFolder(xdg.path(), tmpBase.path(), &error), std::optional<QString>(xdg.path()));
        QVERIFY(QDir(tmpBase.path()).isEmpty());
    }

    void runtimeFolderFallsBackAndCreates0700_data()
    {
        QTest::addColumn<QString>("xdgKind");
        QTest::newRow("unset") << QString();
        QTest::newRow("xdg mode 0755") << QStringLiteral("open");
        QTest::newRow("xdg relative") << QStringLiteral("relative");
        QTest::newRow("xdg missing") << QStringLiteral("missing");
    }

    void runtimeFolderFallsBackAndCreates0700()
    {
        QFETCH(QString, xdgKind);
        PrivateDir xdgDir;
        QString xdg;
        if (xdgKind == QLatin1String("open")) {
            xdg = xdgDir.path();
            ::chmod(QFile::encodeName(xdg).constData(), 0755);
        } else if (xdgKind == QLatin1String("relative")) {
            xdg = QStringLiteral("run/user");
        } else if (xdgKind == QLatin1String("missing")) {
            xdg = xdgDir.file(QStringLiteral("gone"));
        }
        QTemporaryDir tmpBase;
        const QString expected = tmpBase.path() + QStringLiteral("/vorlane-") + QString::number(::geteuid());

        // A umask that strips the owner's bits must not leave an unusable
        // folder behind.
        const mode_t oldMask = ::umask(0777);
        QString error;
        const auto got = vl::privateRuntimeFolder(xdg, tmpBase.path(), &error);
        ::umask(oldMask);

        QVERIFY2(got, qPrintable(error));
        QCOMPARE(*got, expected);
        QCOMPARE(modeOf(expected), mode_t(0700));
        // A second call takes the folder made by the first.
        QCOMPARE(vl::privateRuntimeFolder(xdg, tmpBase.path(), &error), std::optional<QString>(expected));
    }

    void runtimeFolderRefusesAnUnsafeFallback_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("mode 0755") << QStringLiteral("0755");
        QTest::newRow("mode 0711") << QStringLiteral("0711");
        QTest::newRow("symlink to a private folder") << QStringLiteral("symlink");
        QTest::newRow("regular file") << QStringLiteral("file");
    }

    void runtimeFolderRefusesAnUnsafeFallback()
    {
        QFETCH(QString, kind);
        QTemporaryDir tmpBase;
        PrivateDir realTarget;
        const QString fallback = tmpBase.path() + QStringLiteral("/vorlane-") + QString::number(::geteuid());
        if (kind == QLatin1String("symlink")) {
            QVERIFY(QFile::link(realTarget.path(), fallback));
        } else if (kind == QLatin1String("file")) {
            QVERIFY(vl::test::writeAll(fallback, "x"));
        } else {
            QVERIFY(QDir().mkdir(fallback));
            ::chmod(QFile::encodeName(fallback).constData(), kind.toUInt(nullptr, 8));
        }

        QString error;
        QVERIFY(!vl::privateRuntimeFolder(QString(), tmpBase.path(), &error));
        QVERIFY(!error.isEmpty());
        if (kind != QLatin1String("symlink") && kind != QLatin1String("file"))
            QCOMPARE(modeOf(fallback), mode_t(kind.toUInt(nullptr, 8))); // refused, not repaired

        // The same check guards a folder handed in directly.
        HandOff handOff(fallback);
        QVERIFY(!handOff.isValid());
        QVERIFY(!handOff.SaveTempOpenFile("/a"));
        TPBJustOne guard(fallback);
        QCOMPARE(guard.start(), TPBJustOne::Outcome::Failed);
        QVERIFY(QDir(realTarget.path()).isEmpty());
    }

    // ---- single instance ----

    void secondCopyWakesTheFirst()
    {
        PrivateDir dir;
        auto first = std::make_unique<TPBJustOne>(dir.path());
        QSignalSpy woken(first.get(), &TPBJustOne::wakeUp);
        QCOMPARE(first->start(), TPBJustOne::Outcome::FirstInstance);
        QVERIFY(QFile::exists(first->lockFilePath()));
        QVERIFY(QFile::exists(first->serverPath()));
        QCOMPARE(modeOf(first->serverPath()) & 077, mode_t(0));

        for (int round = 1; round <= 2; ++round) {
            Child second(dir.path(), 0, 0);
            QCOMPARE(second.line(), QByteArray("HandedOver delivered"));
            QVERIFY(second.finishedCleanly());
            QTRY_COMPARE_WITH_TIMEOUT(woken.size(), round, 5000);
        }

        // Leaving frees the name for the next copy.
        first.reset();
        QVERIFY(!QFile::exists(dir.file(QStringLiteral("vorlane-%1.lock").arg(::geteuid()))));
        QVERIFY(!QFile::exists(dir.file(QStringLiteral("vorlane-%1.sock").arg(::geteuid()))));
        TPBJustOne next(dir.path());
        QCOMPARE(next.start(), TPBJustOne::Outcome::FirstInstance);
    }

    void firstCopyInAnotherProcessIsWoken()
    {
        PrivateDir dir;
        Child first(dir.path(), 20000, 1);
        QCOMPARE(first.line(), QByteArray("FirstInstance"));

        TPBJustOne second(dir.path());
        QCOMPARE(second.start(), TPBJustOne::Outcome::HandedOver);
        QVERIFY2(second.delivered(), qPrintable(second.errorString()));
        QCOMPARE(first.line(), QByteArray("woken"));
        QVERIFY(first.finishedCleanly());
    }

    void simultaneousStartsLeaveExactlyOneFirst()
    {
        constexpr int Rounds = 10;
        constexpr int Copies = 3;
        for (int round = 0; round < Rounds; ++round) {
            PrivateDir dir;
            const qint64 startAt = QDateTime::currentMSecsSinceEpoch() + 700;
            std::vector<std::unique_ptr<Child>> children;
            for (int i = 0; i < Copies; ++i)
                children.push_back(std::make_unique<Child>(dir.path(), 20000, Copies - 1, startAt));

            int firsts = 0;
            int handedOver = 0;
            Child *firstChild = nullptr;
            for (auto &child : children) {
                const QByteArray outcome = child->line();
                if (outcome == "FirstInstance") {
                    ++firsts;
                    firstChild = child.get();
                } else if (outcome == "HandedOver delivered") {
                    ++handedOver;
                } else {
                    QFAIL(qPrintable(QStringLiteral("round %1: unexpected outcome \"%2\"")
                                         .arg(round)
                                         .arg(QString::fromUtf8(outcome))));
                }
            }
            QVERIFY2(firsts == 1, qPrintable(QStringLiteral("round %1: %2 first copies").arg(round).arg(firsts)));
            QCOMPARE(handedOver, Copies - 1);
            for (int i = 0; i < Copies - 1; ++i)
                QCOMPARE(firstChild->line(), QByteArray("woken"));
            for (auto &child : children)
                QVERIFY(child->finishedCleanly());
        }
    }

    void killedFirstCopyDoesNotBlockTheNext()
    {
        PrivateDir dir;
        const TPBJustOne names(dir.path());
        {
            Child doomed(dir.path(), 60000, 1);
            QCOMPARE(doomed.line(), QByteArray("FirstInstance"));
            doomed.killHard();
        }
        // Both leftovers are really there; otherwise this proves nothing.
        QVERIFY(QFile::exists(names.lockFilePath()));
        QVERIFY(QFileInfo(names.serverPath()).exists());

        // Several starts racing for the dead copy's lock still give one
        // winner, and the winner's server is reachable.
        const qint64 startAt = QDateTime::currentMSecsSinceEpoch() + 700;
        std::vector<std::unique_ptr<Child>> children;
        for (int i = 0; i < 3; ++i)
            children.push_back(std::make_unique<Child>(dir.path(), 20000, 2, startAt));
        QByteArrayList outcomes;
        for (auto &child : children)
            outcomes << child->line();
        std::sort(outcomes.begin(), outcomes.end());
        QCOMPARE(outcomes, (QByteArrayList{"FirstInstance", "HandedOver delivered", "HandedOver delivered"}));
        for (auto &child : children)
            QVERIFY(child->finishedCleanly());
    }

    void killedFirstCopyIsReplacedInProcess()
    {
        PrivateDir dir;
        {
            Child doomed(dir.path(), 60000, 1);
            QCOMPARE(doomed.line(), QByteArray("FirstInstance"));
            doomed.killHard();
        }
        TPBJustOne next(dir.path());
        QSignalSpy woken(&next, &TPBJustOne::wakeUp);
        QCOMPARE(next.start(), TPBJustOne::Outcome::FirstInstance);
        QVERIFY2(next.errorString().isEmpty(), qPrintable(next.errorString())); // listen worked
        Child second(dir.path(), 0, 0);
        QCOMPARE(second.line(), QByteArray("HandedOver delivered"));
        QTRY_COMPARE_WITH_TIMEOUT(woken.size(), 1, 5000);
    }

    void lockHeldByALiveCopyWithoutServerStillMeansAnotherRuns()
    {
        PrivateDir dir;
        const TPBJustOne names(dir.path());
        // This process stands for a wedged first copy: alive, holding the
        // lock, never answering. A stale socket file makes it more tempting.
        QLockFile wedged(names.lockFilePath());
        QVERIFY(wedged.tryLock(0));
        QVERIFY(vl::test::writeAll(names.serverPath(), ""));

        Child second(dir.path(), 0, 0);
        QCOMPARE(second.line(15000), QByteArray("HandedOver undelivered"));
        QVERIFY(second.finishedCleanly());
        QVERIFY(QFile::exists(names.lockFilePath()));
    }

    void lockFileWithoutOwnerIsTakenOver()
    {
        PrivateDir dir;
        TPBJustOne guard(dir.path());
        // What a holder killed between creating and filling the lock leaves.
        QVERIFY(vl::test::writeAll(guard.lockFilePath(), ""));
        QFile lock(guard.lockFilePath());
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        lock.close();

        QCOMPARE(guard.start(), TPBJustOne::Outcome::FirstInstance);
    }
};

int main(int argc, char *argv[])
{
    if (argc >= 2 && std::strcmp(argv[1], "--child-guard") == 0)
        return runChildGuard(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--child-handoff") == 0)
        return runChildHandOff(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--child-take") == 0)
        return runChildTake(argc, argv);
    QCoreApplication app(argc, argv);
    TestInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instance.moc"
