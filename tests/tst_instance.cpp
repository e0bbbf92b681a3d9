#include "common/HandOff.h"
#include "app/SingleInstance.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
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

bool isSymlink(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

class CurrentDirGuard {
public:
    explicit CurrentDirGuard(const QString &dir) : m_old(QDir::currentPath()) { QDir::setCurrent(dir); }
    ~CurrentDirGuard() { QDir::setCurrent(m_old); }

private:
    QString m_old;
};

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
    // ---- hand-off file ----

    void handOffRoundTripWritesOneCrLfLinePrivately()
    {
        PrivateDir dir;
        HandOff handOff(dir.path());
        QVERIFY2(handOff.isValid(), qPrintable(handOff.errorString()));
        QCOMPARE(handOff.filePath(), dir.file(QStringLiteral("vl30399.tmp")));
        QVERIFY(!handOff.HandOffExists());

        const QString path = QStringLiteral("/home/ann/Bilder/Grüße 2024.jpg");
        QVERIFY2(handOff.SaveTempOpenFile(path), qPrintable(handOff.errorString()));
        QCOMPARE(vl::test::readAll(handOff.filePath()), path.toUtf8() + "\r\n");
        QCOMPARE(modeOf(handOff.filePath()), mode_t(0600));
        QVERIFY(handOff.HandOffExists());
        QCOMPARE(handOff.LoadTempOpenFile(), std::optional<QString>(path));

        QVERIFY(handOff.DeleteTempOpenFile());
        QVERIFY(!handOff.HandOffExists());
        QVERIFY(!handOff.LoadTempOpenFile());
        QVERIFY(handOff.DeleteTempOpenFile()); // nothing there is no failure
    }

    void handOffOverwriteTruncatesAndTightensMode()
    {
        PrivateDir dir;
        HandOff handOff(dir.path());
        QVERIFY(vl::test::writeAll(handOff.filePath(), QByteArray(5000, 'x') + "\r\nsecond\r\n"));
        QVERIFY(QFile::setPermissions(handOff.filePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                              | QFile::ReadOther));

        QVERIFY(handOff.SaveTempOpenFile(QStringLiteral("/a")));
        QCOMPARE(vl::test::readAll(handOff.filePath()), QByteArray("/a\r\n"));
        QCOMPARE(modeOf(handOff.filePath()), mode_t(0600));
    }

    void handOffPathIsMadeAbsoluteUnlessUrl_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<bool>("keptAsIs");
        QTest::newRow("relative file") << QStringLiteral("docs/plan.txt") << false;
        QTest::newRow("dot relative") << QStringLiteral("./plan.txt") << false;
        QTest::newRow("parent relative") << QStringLiteral("../plan.txt") << false;
        QTest::newRow("one letter before colon is a name") << QStringLiteral("C:plan.txt") << false;
        QTest::newRow("absolute") << QStringLiteral("/srv/plan.txt") << true;
        QTest::newRow("https") << QStringLiteral("https://example.org/a?b=c") << true;
        QTest::newRow("file url") << QStringLiteral("file:///srv/plan.txt") << true;
        QTest::newRow("mailto") << QStringLiteral("mailto:ann@example.org") << true;
        QTest::newRow("scheme with plus") << QStringLiteral("svn+ssh://host/repo") << true;
    }

    void handOffPathIsMadeAbsoluteUnlessUrl()
    {
        QFETCH(QString, given);
        QFETCH(bool, keptAsIs);
        PrivateDir dir;
        QTemporaryDir cwd;
        HandOff handOff(dir.path());
        {
            CurrentDirGuard guard(cwd.path());
            QVERIFY(handOff.SaveTempOpenFile(given));
        }
        const QString expected = keptAsIs ? given : cwd.path() + QLatin1Char('/') + given;
        QCOMPARE(handOff.LoadTempOpenFile(), std::optional<QString>(expected));
    }

    void handOffNeverWritesThroughASymlink()
    {
        PrivateDir dir;
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("precious.txt"));
        QVERIFY(vl::test::writeAll(target, "keep me\n"));
        HandOff handOff(dir.path());
        QVERIFY(QFile::link(target, handOff.filePath()));

        QVERIFY(!handOff.SaveTempOpenFile(QStringLiteral("/evil")));
        QCOMPARE(vl::test::readAll(target), QByteArray("keep me\n"));
        QVERIFY2(!handOff.LoadTempOpenFile(), "reading must not follow the symlink either");

        // The pickup must see it (to fail on it) and be able to clear it.
        QVERIFY(handOff.HandOffExists());
        QVERIFY(handOff.DeleteTempOpenFile());
        QVERIFY(!isSymlink(handOff.filePath()));
        QCOMPARE(vl::test::readAll(target), QByteArray("keep me\n"));
    }

    void handOffReadsTheFirstLineWhole_data()
    {
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QString>("expected");
        const QByteArray longPath = '/' + QByteArray(100 * 1024, 'a');
        QTest::newRow("100 KB line") << longPath + "\r\n" << QString::fromLatin1(longPath);
        QTest::newRow("100 KB line, more lines") << longPath + "\r\n/second\r\n" << QString::fromLatin1(longPath);
        QTest::newRow("LF only") << QByteArray("/one\n/two\n") << QStringLiteral("/one");
        QTest::newRow("no line end") << QByteArray("/one") << QStringLiteral("/one");
        QTest::newRow("empty file") << QByteArray() << QString();
    }

    void handOffReadsTheFirstLineWhole()
    {
        QFETCH(QByteArray, onDisk);
        QFETCH(QString, expected);
        PrivateDir dir;
        HandOff handOff(dir.path());
        QVERIFY(vl::test::writeAll(handOff.filePath(), onDisk));
        const auto got = handOff.LoadTempOpenFile();
        QVERIFY(got);
        QCOMPARE(got->size(), expected.size());
        QCOMPARE(*got, expected);
    }

    void handOffLongPathSurvivesTheRoundTrip()
    {
        PrivateDir dir;
        HandOff handOff(dir.path());
        const QString longPath = QLatin1Char('/') + QString(100 * 1024, QChar(0x00e9));
        QVERIFY(handOff.SaveTempOpenFile(longPath));
        QCOMPARE(handOff.LoadTempOpenFile(), std::optional<QString>(longPath));
    }

    void handOffRefusesALineBreakInThePath()
    {
        PrivateDir dir;
        HandOff handOff(dir.path());
        QVERIFY(!handOff.SaveTempOpenFile(QStringLiteral("/a\n/b")));
        QVERIFY(!handOff.SaveTempOpenFile(QStringLiteral("/a\r")));
        QVERIFY(!handOff.HandOffExists());
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
        QVERIFY(!handOff.SaveTempOpenFile(QStringLiteral("/a")));
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
    QCoreApplication app(argc, argv);
    TestInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instance.moc"
