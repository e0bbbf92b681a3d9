// The maintenance commands of the real binary, end to end.
#include "support/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
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

    Run run(const QString &command)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"VORLANE_SETTINGS"_s, path_);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(QStringLiteral(VORLANE_BINARY), {command});
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
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
