// The maintenance commands and options of the real binary, end to end.
#include "app/SingleInstance.h"
#include "common/HandOff.h"
#include "support/TempDir.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using vl::TPBJustOne;
using vl::test::readAll;
using vl::test::writeAll;

class TestMaintenance : public QObject {
    Q_OBJECT

    struct Run {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    QTemporaryDir tmp_;
    QString path_;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"VORLANE_SETTINGS"_s, path_);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        return env;
    }

    Run run(const QString &command) { return run({command}, environment()); }

    Run run(const QStringList &arguments, const QProcessEnvironment &env)
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(QStringLiteral(VORLANE_BINARY), arguments);
        p.closeWriteChannel();
        Run r;
        if (!p.waitForFinished(60000)) {
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

    static QJsonObject parse(const QByteArray &json)
    {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
        return error.error == QJsonParseError::NoError ? doc.object() : QJsonObject();
    }

private slots:
    void init()
    {
        QVERIFY(tmp_.isValid());
        path_ = tmp_.filePath(u"vorlane-%1.ini"_s.arg(QString::fromLatin1(QTest::currentTestFunction())));
    }

    void dumpModelPrintsJsonAndWritesNothing()
    {
        Run r = run(u"--dump-model"_s);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QCOMPARE(parse(r.out).value(u"Pages"_s).toArray().size(), 1);
        QVERIFY2(!QFile::exists(path_), "a dump must not create the settings file");

        QVERIFY(writeAll(path_, "[General]\r\nPage_Count=1\r\n[Page0]\r\nDesktop_Caption=B\xc3\xbcro\r\n"));
        r = run(u"--dump-model"_s);
        QCOMPARE(r.exitCode, 0);
        const QJsonObject root = parse(r.out);
        QCOMPARE(root.value(u"ErrorsOccurred"_s), QJsonValue(false));
        QCOMPARE(root.value(u"Pages"_s).toArray().at(0).toObject().value(u"Desktop_Caption"_s).toString(), u"Büro"_s);
    }

    void messagesGoToStderr()
    {
        const QByteArray broken = "[General]\r\nActive_Page=7\r\n";
        QVERIFY(writeAll(path_, broken));
        Run r = run(u"--dump-model"_s);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(parse(r.out).value(u"ErrorsOccurred"_s), QJsonValue(true));
        QVERIFY2(r.err.contains("Error in TFormMain.LoadAll"), r.err.constData());
        QVERIFY(!r.out.contains("Error in"));

        r = run(u"--resave"_s);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains("There were errors,to continue saving current settings?"), r.err.constData());
        QCOMPARE(readAll(path_), broken);
    }

    void resaveWritesSettings()
    {
        const Run r = run(u"--resave"_s);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QVERIFY(readAll(path_).startsWith("[General]\r\nFormMaximized_Key=0\r\n"));
        QCOMPARE(run(u"--resave"_s).exitCode, 0);
    }

    // Answered before any application object exists. No display can be reached here, so
    // building one would abort the program; and no settings file is read or made.
    void optionsNeedNoDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArrayList>("outHolds"); // standard output is empty when none
        QTest::addColumn<QByteArrayList>("errHolds"); // standard error is empty when none

        QTest::newRow("help") << QStringList{u"--help"_s} << 0
                              << QByteArrayList{"Usage:", "--dump-model", "--resave", "VORLANE_SETTINGS",
                                                "VORLANE_REGISTRY", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR",
                                                "vorlane.ini", "64"}
                              << QByteArrayList{};
        QTest::newRow("version") << QStringList{u"--version"_s} << 0
                                 << QByteArrayList{"vorlane " VORLANE_VERSION "\n"} << QByteArrayList{};
        QTest::newRow("first option decides") << QStringList{u"--version"_s, u"--dump-model"_s} << 0
                                              << QByteArrayList{"vorlane " VORLANE_VERSION "\n"}
                                              << QByteArrayList{};
        const auto unknown = [](const char *word) {
            return QByteArrayList{"unknown option '" + QByteArray(word) + "'", "Usage:"};
        };
        QTest::newRow("unknown") << QStringList{u"--bogus"_s} << 64 << QByteArrayList{} << unknown("--bogus");
        QTest::newRow("unknown after a file") << QStringList{u"file.txt"_s, u"-x"_s} << 64 << QByteArrayList{}
                                              << unknown("-x");
        QTest::newRow("unknown after help") << QStringList{u"--help"_s, u"-h"_s} << 64 << QByteArrayList{}
                                            << unknown("-h");
        // Qt's own options are taken for ours, and refused, before Qt could read them.
        QTest::newRow("an option of Qt's") << QStringList{u"-platform"_s, u"offscreen"_s} << 64
                                           << QByteArrayList{} << unknown("-platform");
    }

    void optionsNeedNoDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArrayList, outHolds);
        QFETCH(QByteArrayList, errHolds);
        QProcessEnvironment env = environment();
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);

        const Run r = run(arguments, env);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(outHolds.isEmpty() == r.out.isEmpty(), r.out.constData());
        for (const QByteArray &piece : outHolds)
            QVERIFY2(r.out.contains(piece), r.out.constData());
        QVERIFY2(errHolds.isEmpty() == r.err.isEmpty(), r.err.constData());
        for (const QByteArray &piece : errHolds)
            QVERIFY2(r.err.contains(piece), r.err.constData());
        QVERIFY(!QFile::exists(path_));
    }

    // "--" ends the options, so a file whose name starts with "-" reaches the running copy (made
    // absolute, as every relative path is); a mistake reaches nothing. The running copy is this
    // test holding the instance lock and server in a runtime folder of its own.
    void handOverToRunningCopy_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("handed"); // relative to the working folder; empty: nothing
        QTest::newRow("file after --") << QStringList{u"--"_s, u"-x"_s} << 0 << u"-x"_s;
        QTest::newRow("word Qt would take, after --") << QStringList{u"--"_s, u"-reverse"_s} << 0 << u"-reverse"_s;
        QTest::newRow("option after --") << QStringList{u"--"_s, u"--help"_s} << 0 << u"--help"_s;
        QTest::newRow("unknown option") << QStringList{u"-x"_s} << 64 << QString();
        QTest::newRow("unknown option before --") << QStringList{u"-x"_s, u"--"_s, u"file"_s} << 64 << QString();
    }

    void handOverToRunningCopy()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, handed);
        QTemporaryDir runtime; // mode 0700, as the runtime folder must be
        QVERIFY(runtime.isValid());
        TPBJustOne running(runtime.path());
        QCOMPARE(running.start(), TPBJustOne::Outcome::FirstInstance);
        QSignalSpy woken(&running, &TPBJustOne::wakeUp);

        QProcessEnvironment env = environment();
        env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        env.insert(u"VORLANE_REGISTRY"_s, tmp_.filePath(u"registry.ini"_s));
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(tmp_.path());
        p.start(QStringLiteral(VORLANE_BINARY), arguments);
        // Events are processed meanwhile, so the wake-up is answered.
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), QProcess::NotRunning, 30000);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);

        vl::HandOff handOff(runtime.path());
        const QStringList waiting = handOff.waiting();
        if (handed.isEmpty()) {
            QVERIFY(waiting.isEmpty());
            QTest::qWait(50);
            QCOMPARE(woken.count(), 0);
        } else {
            const QString expected = QDir(QFileInfo(tmp_.path()).canonicalFilePath()).filePath(handed);
            QCOMPARE(waiting.size(), 1);
            QCOMPARE(handOff.take(waiting.first()).path, QFile::encodeName(expected));
            QTRY_COMPARE(woken.count(), 1);
        }
        QVERIFY(!QFile::exists(path_));
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
