// What arrives from outside while the program is in the middle of something:
// a timer tick, a termination signal, a later start's wake-up with a
// hand-off, delivered for real (signal handler, local socket, timer) while a
// question is open or a file is being read.
#include "app/SingleInstance.h"
#include "app/SplashWindow.h"
#include "common/HandOff.h"
#include "platform/SignalWatcher.h"
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMain.h"
#include "surface/HandOffPickup.h"
#include "surface/PasswordGate.h"
#include "surface/Selection.h"
#include "surface/StatusBarMain.h"
#include "surface/TabStrip.h"

#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;
using vl::test::readAll;
using vl::test::writeAll;

namespace {

QByteArray page(int p, const QByteArray &caption, const QByteArray &keys = {})
{
    return "[Page" + QByteArray::number(p) + "]\r\nDesktop_Caption=" + caption + "\r\n" + keys + "\r\n";
}

QByteArray item(int p, int i, const QByteArray &file)
{
    return "[Page" + QByteArray::number(p) + "\\Item" + QByteArray::number(i) + "]\r\nAttachedFile=" + file
        + "\r\nLabel_Caption=" + file + "\r\n\r\n";
}

// Counts the paints of a widget, with its text at the time.
class PaintLog : public QObject {
public:
    explicit PaintLog(QLabel *label) : label_(label) { label->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            texts.append(label_->text());
        return false;
    }

private:
    QLabel *label_;
};

} // namespace

class ReentrancyTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;
    QString runtime_;
    FakePrompt prompt_;
    FakePlatform platform_;
    std::unique_ptr<TFormMain> form_;
    std::unique_ptr<SignalWatcher> signals_;

    // The window as start-up builds it: termination signals end its session.
    TFormMain &create(const QByteArray &settings)
    {
        writeAll(path_, settings);
        form_ = std::make_unique<TFormMain>(prompt_, platform_, path_);
        signals_ = std::make_unique<SignalWatcher>();
        connect(signals_.get(), &SignalWatcher::terminationRequested, form_.get(), [this] { form_->endSession(); });
        return *form_;
    }
    TFormMain &start(const QByteArray &settings)
    {
        TFormMain &w = create(settings);
        w.FormCreate();
        return w;
    }
    QString brokenPicture()
    {
        const QString path = dir_.filePath(QStringLiteral("broken.bmp"));
        writeAll(path, "BM this is no picture at all");
        return path;
    }
    int itemsOf(int p) { return int(form_->workspace().desktop(p).items.size()); }

private slots:
    void init()
    {
        prompt_ = FakePrompt();
        path_ = dir_.filePath(QStringLiteral("vorlane.ini"));
        QFile::remove(path_);
        runtime_ = dir_.filePath(QStringLiteral("run"));
        QDir(runtime_).removeRecursively();
        QDir().mkpath(runtime_);
        QFile::setPermissions(runtime_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    void cleanup()
    {
        form_.reset();
        signals_.reset();
    }

    // A timer tick and a later start's hand-off during the delete questions
    // wait for the answer; then the hand-off lands on the desktop that is
    // left, the save runs after it, and the deletions take exactly what the
    // questions named.
    void ticksAndHandOffsWaitForTheQuestion()
    {
        const QString handed = dir_.filePath(QStringLiteral("handed.txt"));
        writeAll(handed, "x");
        TFormMain &w = start("[General]\r\nPage_Count=3\r\nActive_Page=1\r\n\r\n" + page(0, "A", "Item_CountTrue=1\r\n")
                             + item(0, 1, "/a1") + page(1, "B") + page(2, "C"));
        w.show();
        HandOff handOff(runtime_);
        w.setHandOff(&handOff);
        TPBJustOne first(runtime_);
        QCOMPARE(first.start(), TPBJustOne::Outcome::FirstInstance);
        connect(&first, &TPBJustOne::wakeUp, &w, &TFormMain::wakeUp);
        const QByteArray before = readAll(path_);

        QStringList seenInside;
        prompt_.onDialog = [&](const QString &question) {
            const QByteArray atAsk = readAll(path_);
            QVERIFY(handOff.SaveTempOpenFile(QFile::encodeName(handed)));
            TPBJustOne second(runtime_);
            QCOMPARE(second.start(), TPBJustOne::Outcome::HandedOver);
            w.saver().tmAutoSaveTimer().start(1);
            QTest::qWait(60);
            seenInside << question;
            QVERIFY(handOff.HandOffExists());
            QCOMPARE(readAll(path_), atAsk);
        };
        prompt_.answer(ModalResult::OK);
        w.desktopCommands().mnuDeleteTabSheetClick();
        QCOMPARE(w.workspace().desktopCount(), 2);
        QCOMPARE(w.workspace().activeDesktop()->Desktop_Caption, QStringLiteral("A"));
        QTRY_VERIFY(!handOff.HandOffExists());
        QTRY_VERIFY(readAll(path_) != before);
        w.saver().tmAutoSaveTimer().stop();
        QCOMPARE(itemsOf(0), 2);
        QCOMPARE(w.workspace().desktop(0).items.back()->AttachedFile, handed);
        QVERIFY(readAll(path_).contains("AttachedFile=" + handed.toUtf8()));
        QVERIFY(readAll(path_).contains("Page_Count=2"));

        // The shortcut delete: the selected /a1 goes, the handed one stays.
        w.selection().UnFocused();
        w.selection().Focused(*w.workspace().desktop(0).items.front(), false);
        prompt_.answer(ModalResult::OK);
        QVERIFY(w.shortcutCommands().DeleteItem());
        QTRY_VERIFY(!handOff.HandOffExists());
        QCOMPARE(seenInside.size(), 2);
        QCOMPARE(seenInside.last(), QStringLiteral("Are You sure,that want to delete 1 shortcuts?"));
        QStringList left;
        for (const auto &i : w.workspace().desktop(0).items)
            left << i->AttachedFile;
        QCOMPARE(left, QStringList({handed, handed}));
    }

    // A termination during a question closes it as cancelled (the command
    // does nothing), every later question is answered at once, and the
    // program saves and ends, with a file handed over before the signal;
    // with earlier errors that save is declined, the file stays as it was
    // and the handed file waits for the next start.
    void terminationCancelsTheQuestionThenSaves_data()
    {
        QTest::addColumn<bool>("earlierErrors");
        QTest::newRow("saves") << false;
        QTest::newRow("errors keep the file") << true;
    }
    void terminationCancelsTheQuestionThenSaves()
    {
        QFETCH(bool, earlierErrors);
        TFormMain &w = start("[General]\r\nPage_Count=2\r\n\r\n" + page(0, "A") + page(1, "B"));
        w.show();
        w.desktopCommands().mnuNewTabSheetClick();
        w.workspace().work.ErrorsOccurred = earlierErrors;
        const QByteArray before = readAll(path_);
        QSignalSpy ended(&w, &TFormMain::ended);

        // Two later starts hand files over first, then the signal comes.
        const QString handed = dir_.filePath(QStringLiteral("handed.txt"));
        const QString handed2 = dir_.filePath(QStringLiteral("handed 2.txt"));
        writeAll(handed, "x");
        writeAll(handed2, "y");
        HandOff handOff(runtime_);
        w.setHandOff(&handOff);
        TPBJustOne first(runtime_);
        QCOMPARE(first.start(), TPBJustOne::Outcome::FirstInstance);
        QSignalSpy woken(&first, &TPBJustOne::wakeUp);
        connect(&first, &TPBJustOne::wakeUp, &w, &TFormMain::wakeUp);
        prompt_.onDialog = [&](const QString &) {
            QVERIFY(handOff.SaveTempOpenFile(QFile::encodeName(handed)));
            QVERIFY(handOff.SaveTempOpenFile(QFile::encodeName(handed2)));
            TPBJustOne second(runtime_);
            QCOMPARE(second.start(), TPBJustOne::Outcome::HandedOver);
            QTRY_COMPARE(woken.count(), 1);
            ::raise(SIGTERM);
            QTRY_COMPARE(prompt_.cancelledByDismissal, 1);
            QVERIFY(w.isVisible()); // nothing closes inside the question
        };
        prompt_.answer(ModalResult::OK);
        w.desktopCommands().mnuDeleteTabSheetClick();
        prompt_.onDialog = nullptr;
        QCOMPARE(w.workspace().desktopCount(), 3);

        const int asked = int(prompt_.calls.size());
        QCOMPARE(prompt_.MessageDlg(QStringLiteral("later"), MsgDlgType::Warning, mbYes | mbNo, 0), ModalResult::Cancel);
        QCOMPARE(int(prompt_.calls.size()), asked);

        QTRY_COMPARE(ended.count(), 1);
        if (earlierErrors) {
            QCOMPARE(readAll(path_), before);
            QCOMPARE(handOff.waiting().size(), 2); // both, for the next start
        } else {
            QVERIFY(readAll(path_).contains("Page_Count=3"));
            QVERIFY(readAll(path_).contains("AttachedFile=" + handed.toUtf8()));
            QVERIFY(readAll(path_).contains("AttachedFile=" + handed2.toUtf8()));
            QVERIFY(!handOff.HandOffExists());
        }
    }

    // A termination, a tick or a save while the file is being read (here
    // inside a picture message of a later desktop) must not write the part
    // read so far; the load finishes whole and the program ends without
    // saving. The same holds inside a reload.
    void terminationWhileReadingEndsWithoutSaving_data()
    {
        QTest::addColumn<bool>("reload");
        QTest::newRow("start-up") << false;
        QTest::newRow("reload") << true;
    }
    void terminationWhileReadingEndsWithoutSaving()
    {
        QFETCH(bool, reload);
        QByteArray text = "[General]\r\nPage_Count=2\r\nActive_Page=0\r\nAuto_Save=1\r\n\r\n" + page(0, "A")
            + page(1, "B", "Background_Picture=" + brokenPicture().toUtf8() + "\r\nItem_CountTrue=5\r\n");
        for (int i = 1; i <= 5; ++i)
            text += item(1, i, "/b" + QByteArray::number(i));
        TFormMain &w = create(text);
        if (reload) {
            prompt_.defaultAnswer = ModalResult::No; // no more picture messages
            w.FormCreate();
            w.show();
            prompt_ = FakePrompt();
            prompt_.setRequests(&w.requests());
            prompt_.answer(ModalResult::OK); // "Are You Sure?"
        }
        const QByteArray before = readAll(path_);
        QSignalSpy ended(&w, &TFormMain::ended);
        SettingsFile::SaveResult saveInside = SettingsFile::SaveResult::Saved;
        prompt_.onDialog = [&](const QString &text) {
            if (!text.startsWith(QStringLiteral("Error by loading background picture")))
                return;
            saveInside = w.settingsFile().SaveAll();
            w.saver().tmAutoSaveTimer().start(1);
            ::raise(SIGTERM);
            QTest::qWait(30);
        };
        if (reload)
            w.mnuReloadClick();
        else
            w.FormCreate();
        QCOMPARE(saveInside, SettingsFile::SaveResult::Busy);
        QVERIFY(w.endRequested());
        QCOMPARE(w.workspace().desktopCount(), 2);
        QCOMPARE(itemsOf(1), 5);
        // Dismissed, not asked.
        QCOMPARE(prompt_.count(SettingsFile::SimilarMessagesQuestion), 0);
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(readAll(path_), before);
    }

    // Nothing of a protected desktop shows behind its password prompt, and
    // a later start's wake-up during the start-up prompt does not bring up
    // the window before the password is given.
    void protectedDesktopStaysHiddenWhileItsPasswordIsAsked()
    {
        const QByteArray pw = "Password=" + storedPasswordText(QStringLiteral("s")).toLatin1() + "\r\n";
        TFormMain &w = create("[General]\r\nPage_Count=2\r\nActive_Page=1\r\n\r\n" + page(0, "Open", "Password_On_Desktop=0\r\n")
                              + page(1, "Secret", pw + "Password_On_Desktop=1\r\n"));
        QList<bool> lockedWhileAsked;
        QList<bool> shownWhileAsked;
        prompt_.onDialog = [&](const QString &caption) {
            if (caption != QLatin1String("Secret"))
                return;
            lockedWhileAsked << w.surface()->isLocked();
            w.wakeUp();
            QTest::qWait(20);
            shownWhileAsked << w.isVisible();
        };
        prompt_.passwordAnswers = {QStringLiteral("s")};
        w.FormCreate();
        QCOMPARE(prompt_.passwordCaptions, QStringList({"Secret"}));
        QVERIFY(!w.surface()->isLocked());
        QTRY_VERIFY(w.isVisible()); // the wake-up, once answered

        prompt_.passwordAnswers = {QStringLiteral("wrong")};
        w.PageControl1()->setCurrentIndex(0);
        w.PageControl1()->setCurrentIndex(1);
        QVERIFY(w.surface()->isLocked());
        QCOMPARE(lockedWhileAsked, QList<bool>({true, true}));
        QCOMPARE(shownWhileAsked.first(), false);
    }

    // Every hand-off waiting when the window wakes arrives, in the order
    // the starts were made, however many wake-ups come. One that cannot be
    // read, or leads nowhere, is reported once and keeps no other from
    // arriving; since it changed nothing, the end of the session still
    // saves all of them without asking first.
    void aPickupTakesEveryHandOffAndAFailureCostsNoSave()
    {
        TFormMain &w = start("[General]\r\nPage_Count=1\r\n\r\n" + page(0, "A"));
        w.show();
        HandOff handOff(runtime_);
        w.setHandOff(&handOff);
        QStringList files;
        for (const char *name : {"one.txt", "two.txt", "three.txt"}) {
            files << dir_.filePath(QString::fromLatin1(name));
            writeAll(files.last(), "x");
        }
        QVERIFY(handOff.SaveTempOpenFile(QFile::encodeName(files[0])));
        QVERIFY(handOff.SaveTempOpenFile(QFile::encodeName(dir_.filePath(QStringLiteral("gone.txt")))));
        QVERIFY(handOff.SaveTempOpenFile(QFile::encodeName(files[1])));
        // Not ended as every writer ends an entry: a cut one.
        writeAll(handOff.folderPath() + QStringLiteral("/0000000000000001-00000001-00000000-00000000"), "/cut");
        QVERIFY(handOff.SaveTempOpenFile(QFile::encodeName(files[2])));
        QSignalSpy ended(&w, &TFormMain::ended);

        for (int i = 0; i < 5; ++i)
            w.wakeUp();
        QTRY_VERIFY(!handOff.HandOffExists());
        QTest::qWait(50); // the other wake-ups find nothing more
        QStringList attached;
        for (const auto &item : w.workspace().desktop(0).items)
            attached << item->AttachedFile;
        QCOMPARE(attached, files);
        QCOMPARE(prompt_.texts(), QStringList({"Error in TFormMain.LoadTempOpenFile"}));
        QCOMPARE(w.StatusBar()->saveState(), QStringLiteral("Paint Error"));
        QVERIFY(!w.workspace().work.ErrorsOccurred);

        // A log-out cannot ask; nothing makes it need to.
        w.endSession();
        QTRY_COMPARE(ended.count(), 1);
        for (const QString &f : files)
            QVERIFY(readAll(path_).contains("AttachedFile=" + f.toUtf8()));
    }

    // Each number of the progress window is drawn, also for a small file
    // that loads at once; the last desktop's never is.
    void everyProgressNumberIsDrawn()
    {
        QByteArray text = "[General]\r\nPage_Count=3\r\n\r\n" + page(0, "A") + page(1, "B") + page(2, "C");
        TFormMain &w = create(text);
        TfrmSplash splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        PaintLog log(splash.lblDesktop);
        w.FormCreate(&splash);
        log.texts.removeDuplicates(); // a label may paint twice as it takes its size
        QCOMPARE(log.texts, QStringList({"1", "2"}));
    }

    // The handed path is taken as the kernel takes it: ".." after a
    // symbolic link leads to the link target's parent, and a handed link
    // stays the link.
    void handedPathsKeepTheKernelsMeaning()
    {
        const QString root = QFileInfo(dir_.path()).canonicalFilePath();
        QDir(root).mkpath(QStringLiteral("real/sub"));
        writeAll(root + QStringLiteral("/real/f.txt"), "real");
        writeAll(root + QStringLiteral("/f.txt"), "decoy");
        QFile::link(root + QStringLiteral("/real/sub"), root + QStringLiteral("/link"));
        QFile::link(root + QStringLiteral("/real/f.txt"), root + QStringLiteral("/real/alias.txt"));

        const auto form = [&](const QString &path) { return longFormOf(QFile::encodeName(root + path)); };
        const auto viaLink = form(QStringLiteral("/link/../f.txt"));
        QVERIFY(viaLink);
        QCOMPARE(viaLink->path, root + QStringLiteral("/real/f.txt"));
        QCOMPARE(viaLink->caption, QStringLiteral("f.txt"));
        const auto alias = form(QStringLiteral("/real/./alias.txt"));
        QVERIFY(alias);
        QCOMPARE(alias->path, root + QStringLiteral("/real/alias.txt"));
        QVERIFY(!form(QStringLiteral("/link/../missing.txt")));
        QVERIFY(!longFormOf("f.txt"));
        QCOMPARE(longFormOf("https://example.org/a")->caption, QStringLiteral("https://example.org/a"));
    }
};

QTEST_MAIN(ReentrancyTest)
#include "tst_reentrancy.moc"
