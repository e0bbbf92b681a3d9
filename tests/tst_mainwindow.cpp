// The main window's life with a scripted prompt: desktop commands and the
// activation rules, password gates, the saving policy and closing.
#include "app/SaveController.h"
#include "storage/SettingsFile.h"
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "surface/DesktopCommands.h"
#include "surface/DesktopSurface.h"
#include "surface/Dialogs.h"
#include "surface/FormMain.h"
#include "surface/ItemClipboard.h"
#include "surface/PasswordGate.h"
#include "surface/StatusBarMain.h"
#include "notes/NoteBoard.h"
#include "notes/TResizer.h"
#include "notes/TfrmNote.h"
#include "surface/MainActions.h"
#include "surface/Selection.h"
#include "surface/TabStrip.h"
#include "app/WidgetPrompt.h"
#include "app/SplashWindow.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QStyle>

#include <QProgressBar>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <functional>
#include <memory>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;

namespace {

// perPage goes into every page.
QByteArray settingsWith(const QStringList &captions, int active, const QByteArray &extraGeneral = {},
                        const QByteArray &perPage = {})
{
    return vl::test::desktopsSettings(captions, active, extraGeneral, QList<QByteArray>(captions.size(), perPage));
}

QStringList captionsOf(Workspace &ws)
{
    QStringList out;
    for (int i = 0; i < ws.desktopCount(); ++i)
        out.append(ws.desktop(i).Desktop_Caption);
    return out;
}

// A prompt whose password question cannot be put on screen.
class BrokenPasswordPrompt : public FakePrompt {
protected:
    std::optional<QString> passwordForDesktop(const QString &) override { throw std::runtime_error("no dialog"); }
};

} // namespace

class MainWindowTest : public QObject, vl::test::WindowFixture {
    Q_OBJECT

    QString status() const { return form_->StatusBar()->saveState(); }

private slots:
    void init()
    {
        resetWindowFixture();
        platform_.drives.clear();
    }
    void cleanup() { form_.reset(); }

    // A new user met one grey empty desktop and nothing else: the empty
    // page explains itself until its first element, and the first start
    // says where the desktops are kept.
    void anEmptyDesktopExplainsItselfAndTheFirstStartSaysWhereItsKept()
    {
        // Pixels of the page's middle band, left of where a new shortcut
        // appears, that differ from the desktop's colour.
        const auto hinted = [](TFormMain &w) {
            DesktopSurface *page = w.surface();
            const QImage shot = page->grab().toImage();
            const QRgb bg = shot.pixel(shot.width() - 3, shot.height() - 3);
            int differ = 0;
            for (int y = shot.height() / 2 - 40; y < shot.height() / 2 + 40; ++y)
                for (int x = shot.width() / 8; x < shot.width() / 2 - 60; ++x)
                    differ += shot.pixel(x, y) != bg;
            return differ;
        };
        QFile::remove(path_);
        form_ = std::make_unique<TFormMain>(prompt_, platform_, path_);
        TFormMain &w = *form_;
        w.resize(800, 500);
        w.FormCreate();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.StatusBar()->message(), TFormMain::FirstStartMessage.arg(path_));
        QVERIFY2(hinted(w) > 100, "the empty desktop shows no hint");

        w.mnuNewNoteClick();
        QCOMPARE(hinted(w), 0);
        w.desktopCommands().mnuNewTabSheetClick();
        QVERIFY(hinted(w) > 100);
        w.shortcutCommands().mnuNewItemClick();
        QCOMPARE(hinted(w), 0);

        // Not on a later start, and never in the file.
        QCOMPARE(w.settingsFile().SaveAll(), SettingsFile::SaveResult::Saved);
        QVERIFY(!vl::test::readAll(path_).contains("empty"));
        TFormMain &again = start(vl::test::readAll(path_));
        QVERIFY(again.StatusBar()->message().isEmpty());
    }

    // A window smaller than the desktop's layout used to leave what lay
    // beyond its edge out of reach. The page scrolls instead; no stored
    // position changes, and new elements land in the part on show.
    void everyElementStaysWithinReach()
    {
        const QByteArray page = "Item_CountTrue=2\r\nNote_CountTrue=1\r\n\r\n"
                                "[Page0\\Item1]\r\nAttachedFile=/srv/near.txt\r\nItem_Left=20\r\nItem_Top=20\r\n\r\n"
                                "[Page0\\Item2]\r\nAttachedFile=/srv/far.txt\r\nItem_Left=1500\r\nItem_Top=300\r\n\r\n"
                                "[Page0\\Note1]\r\nCount=1\r\n1=low\r\nNote_Left=40\r\nNote_Top=1100\r\n"
                                "Note_Width=120\r\nNote_Height=60\r\n";
        TFormMain &w = start(settingsWith({"A"}, 0, "Leave_Missing=1\r\n", page));
        w.resize(500, 400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *area = w.findChild<QScrollArea *>(QStringLiteral("PageScroller"));
        QVERIFY(area);
        DesktopSurface *surface = w.surface();
        ShortcutItem &far = *w.workspace().desktop(0).items.at(1);
        QTRY_VERIFY(surface->width() > 1500 && surface->height() > 1160);
        QVERIFY(area->horizontalScrollBar()->maximum() > 0);
        QVERIFY(area->verticalScrollBar()->maximum() > 0);
        const auto onShow = [&](const QRect &r) {
            return QRect(-surface->pos(), area->viewport()->size()).contains(r);
        };
        QVERIFY(!onShow(surface->itemRect(far)));

        // The keyboard's current shortcut brings the page along.
        surface->setFocus();
        QTest::keyClick(surface, Qt::Key_Right);
        QTest::keyClick(surface, Qt::Key_Right);
        QCOMPARE(w.workspace().work.CurrentElement.item, &far);
        QVERIFY(onShow(surface->itemRect(far)));
        // A handed-over file lands in the middle of what is on show.
        w.FromSendTo(QStringLiteral("new"), QStringLiteral("/srv/new.txt"));
        QVERIFY(onShow(surface->itemRect(*w.workspace().desktop(0).items.back())));

        // Arranged by name, the shortcuts fill the part on show, not the
        // grown page.
        w.arrangement().mnuByNameClick();
        for (const auto &item : w.workspace().desktop(0).items)
            QVERIFY2(item->Item_Left < 500, qPrintable(QString::number(item->Item_Left)));
        QTRY_VERIFY(area->horizontalScrollBar()->maximum() == 0);
        // The note below keeps the page tall: it is still reachable.
        QVERIFY(area->verticalScrollBar()->maximum() > 0);
        QCOMPARE(w.workspace().desktop(0).notes.front()->Note_Top, 1100);
    }

    void newDesktopIsAppendedActiveAndReported()
    {
        TFormMain &w = start(settingsWith({"A", "B", "C"}, 0));
        w.desktopCommands().mnuNewTabSheetClick();
        Workspace &ws = w.workspace();
        QCOMPARE(captionsOf(ws), QStringList({"A", "B", "C", " NewDesktop"}));
        QCOMPARE(ws.activeIndex(), 3);
        QCOMPARE(w.PageControl1()->currentIndex(), 3);
        QCOMPARE(w.PageControl1()->tabText(3), QStringLiteral(" NewDesktop"));
        const DesktopSettings &s = ws.desktop(3).settings;
        QCOMPARE(s.BG_Color, clr::clBtnFace);
        QVERIFY(s.Password.isEmpty());
        QCOMPARE(s.Password_On_Desktop, 0);
        QCOMPARE(s.Background_Center, false);
        QCOMPARE(status(), QStringLiteral("Modified"));
        QCOMPARE(w.surface()->desktop(), &ws.desktop(3));
    }

    void renameAcceptsBlanksAndReportsEvenWhenCancelled()
    {
        TFormMain &w = start(settingsWith({"A", "B"}, 1));
        prompt_.renameAnswers = {QStringLiteral(" "), std::nullopt};
        w.desktopCommands().mnuRenameTabSheetClick();
        QCOMPARE(w.workspace().desktop(1).Desktop_Caption, QStringLiteral(" "));
        QCOMPARE(prompt_.renamePresets, QStringList({"B"}));
        QCOMPARE(w.PageControl1()->tabText(1), QStringLiteral(" "));

        // Under Immediate_Save a cancelled rename still saves at once.
        w.workspace().global.Immediate_Save = true;
        const QByteArray before = vl::test::readAll(path_);
        w.desktopCommands().mnuRenameTabSheetClick();
        QCOMPARE(w.workspace().desktop(1).Desktop_Caption, QStringLiteral(" "));
        QCOMPARE(status(), QStringLiteral("Saved"));
        QVERIFY(vl::test::readAll(path_) != before);
        QVERIFY(vl::test::readAll(path_).contains("Desktop_Caption= \r\n"));
    }

    void renameDialogRefusesAnEmptyName()
    {
        TfrmRename dialog(prompt_, nullptr);
        dialog.setText(QString());
        dialog.show();
        QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
        QCOMPARE(prompt_.texts(), QStringList({"Desktop Caption must not be empty"}));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        dialog.setText(QStringLiteral(" "));
        QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.text(), QStringLiteral(" "));
    }

    void deleteRefusesTheLastDesktop()
    {
        TFormMain &w = start(settingsWith({"Only"}, 0));
        w.desktopCommands().mnuDeleteTabSheetClick();
        QCOMPARE(prompt_.texts(), QStringList({"It is impossible delete last desktop"}));
        QCOMPARE(w.workspace().desktopCount(), 1);
        QCOMPARE(status(), QStringLiteral("Unmodified"));
    }

    void deleteAsksWithTheCaptionAndCancelKeepsAll()
    {
        TFormMain &w = start(settingsWith({"A", "B"}, 0));
        w.desktopCommands().mnuNewTabSheetClick();
        w.StatusBar()->setSaveState(QStringLiteral("Unmodified"));
        prompt_.answer(ModalResult::Cancel);
        w.desktopCommands().mnuDeleteTabSheetClick();
        QCOMPARE(prompt_.calls.last().text, QStringLiteral("Are You sure,that want to delete  NewDesktop desktops?"));
        QCOMPARE(prompt_.calls.last().type, MsgDlgType::Warning);
        QCOMPARE(prompt_.calls.last().buttons, unsigned(mbOK | mbCancel));
        QCOMPARE(w.workspace().desktopCount(), 3);
        QCOMPARE(status(), QStringLiteral("Unmodified"));
    }

    void deleteActivatesByTheTwoStepRule_data()
    {
        QTest::addColumn<QStringList>("desktops");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("active");
        QTest::newRow("second of four") << QStringList{"A", "B", "C", "D"} << 1 << QStringList{"A", "C", "D"} << "D";
        QTest::newRow("last of four") << QStringList{"A", "B", "C", "D"} << 3 << QStringList{"A", "B", "C"} << "B";
        QTest::newRow("first of three") << QStringList{"A", "B", "C"} << 0 << QStringList{"B", "C"} << "C";
        QTest::newRow("first of two") << QStringList{"A", "B"} << 0 << QStringList{"B"} << "B";
        QTest::newRow("second of two") << QStringList{"A", "B"} << 1 << QStringList{"A"} << "A";
    }
    void deleteActivatesByTheTwoStepRule()
    {
        QFETCH(QStringList, desktops);
        QFETCH(int, deleted);
        QFETCH(QStringList, left);
        QFETCH(QString, active);
        // Every desktop asks for a password on opening: the prompt tells
        // whether the switching procedure ran for the one left active.
        TFormMain &w = start(settingsWith(desktops, deleted, {}, "Password=42\r\nPassword_On_Desktop=1\r\n"));
        prompt_.calls.clear();
        prompt_.passwordCaptions.clear();
        prompt_.answer(ModalResult::OK);
        w.desktopCommands().mnuDeleteTabSheetClick();
        Workspace &ws = w.workspace();
        QCOMPARE(captionsOf(ws), left);
        QCOMPARE(ws.activeDesktop()->Desktop_Caption, active);
        QCOMPARE(w.PageControl1()->currentIndex(), ws.activeIndex());
        QCOMPARE(w.PageControl1()->count(), left.size());
        if (left.size() >= 2)
            QCOMPARE(prompt_.passwordCaptions, QStringList({active}));
        else
            QVERIFY(prompt_.passwordCaptions.isEmpty());
        QCOMPARE(status(), QStringLiteral("Modified"));
    }

    void passwordTransform()
    {
        QCOMPARE(TransformToPassword(QString()), 0);
        QCOMPARE(TransformToPassword(QStringLiteral("a")), 0x61 ^ 'K');
        // A character equal to the key byte counts 255, never 0.
        QCOMPARE(TransformToPassword(QStringLiteral("K")), 255);
        // Past the 12 key letters every byte is XORed with 255.
        QCOMPARE(TransformToPassword(QStringLiteral("KalvoRestund\xFE")), 12 * 255 + 1);
        QCOMPARE(TransformToPassword(QString(13, QLatin1Char('K'))) - TransformToPassword(QString(12, QLatin1Char('K'))),
                 'K' ^ 255);
        QVERIFY(TransformToPassword(QString(100, QChar(0x7F))) <= 25500);
        // Accented letters count with their Windows-1252 byte.
        QCOMPARE(TransformToPassword(QStringLiteral("\u00E9")), 0xE9 ^ 'K');
        QCOMPARE(TransformToPassword(QStringLiteral("\u20AC")), 0x80 ^ 'K');
    }

    void gatesFollowThePasswordMode_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("switchAsks");
        QTest::addColumn<bool>("menuAsks");
        const QByteArray pw = "Password=" + storedPasswordText(QStringLiteral("secret")).toLatin1() + "\r\n";
        QTest::newRow("on desktop") << pw + "Password_On_Desktop=1\r\n" << true << false;
        QTest::newRow("on menu") << pw + "Password_On_Desktop=0\r\n" << false << true;
        QTest::newRow("mode 2") << pw + "Password_On_Desktop=2\r\n" << true << true;
        QTest::newRow("stored 0") << QByteArray("Password=0\r\nPassword_On_Desktop=2\r\n") << false << false;
        QTest::newRow("empty") << QByteArray("Password=\r\nPassword_On_Desktop=2\r\n") << false << false;
    }
    void gatesFollowThePasswordMode()
    {
        QFETCH(QByteArray, page);
        QFETCH(bool, switchAsks);
        QFETCH(bool, menuAsks);
        const QByteArray text = "[General]\r\nPage_Count=2\r\nActive_Page=0\r\n\r\n[Page0]\r\nDesktop_Caption=Open\r\n\r\n"
                                "[Page1]\r\nDesktop_Caption=Guarded\r\n"
            + page;
        TFormMain &w = start(text);
        w.resize(500, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        prompt_.calls.clear();

        // Switching: a wrong password locks the page and says so.
        prompt_.passwordAnswers = {QStringLiteral("wrong")};
        QTest::mouseClick(w.PageControl1(), Qt::LeftButton, {}, w.PageControl1()->tabRect(1).center());
        QCOMPARE(w.workspace().activeIndex(), 1);
        QCOMPARE(w.surface()->isLocked(), switchAsks);
        QCOMPARE(prompt_.count(QStringLiteral("You wrong")), switchAsks ? 1 : 0);
        QCOMPARE(prompt_.passwordCaptions.size(), switchAsks ? 1 : 0);

        // Switching away and back asks again; the right password unlocks.
        w.PageControl1()->setCurrentIndex(0);
        prompt_.passwordCaptions.clear();
        prompt_.passwordAnswers = {QStringLiteral("secret")};
        w.PageControl1()->setCurrentIndex(1);
        QVERIFY(!w.surface()->isLocked());
        QCOMPARE(prompt_.passwordCaptions.size(), switchAsks ? 1 : 0);
        if (!switchAsks)
            prompt_.passwordAnswers.clear();

        // The keyboard gate asks every time where menus are guarded.
        prompt_.passwordCaptions.clear();
        prompt_.passwordAnswers = {QStringLiteral("secret"), std::nullopt};
        QCOMPARE(w.CheckPasswordOnPopUpMenu(), true);
        QCOMPARE(w.CheckPasswordOnPopUpMenu(), !menuAsks);
        QCOMPARE(prompt_.passwordCaptions.size(), menuAsks ? 2 : 0);
        if (menuAsks)
            QCOMPARE(prompt_.passwordCaptions.first(), QStringLiteral("Guarded"));
    }

    void desktopMenuOpensThroughTheGate()
    {
        const QByteArray pw = "Password=" + storedPasswordText(QStringLiteral("x")).toLatin1() + "\r\n";
        TFormMain &w = start(settingsWith({"A"}, 0, {}, pw + "Password_On_Desktop=0\r\n"));
        w.resize(400, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        prompt_.passwordAnswers = {std::nullopt};
        QTest::mouseClick(w.surface(), Qt::RightButton, {}, QPoint(30, 40));
        QCOMPARE(w.workspace().work.NewElementPosition, QPoint(30, 40));
        QVERIFY(!w.PopupMenuMain()->isVisible());
        prompt_.passwordAnswers = {QStringLiteral("x")};
        QTest::mouseClick(w.surface(), Qt::RightButton, {}, QPoint(50, 60));
        QTRY_VERIFY(w.PopupMenuMain()->isVisible());
        w.PopupMenuMain()->hide();
        // Any button's release moves the new-element position.
        QTest::mouseClick(w.surface(), Qt::LeftButton, {}, QPoint(70, 80));
        QCOMPARE(w.workspace().work.NewElementPosition, QPoint(70, 80));
    }

    void startUpAsksForTheActiveDesktopsPassword()
    {
        const QByteArray pw = "Password=" + storedPasswordText(QStringLiteral("s")).toLatin1() + "\r\n";
        prompt_.passwordAnswers = {QStringLiteral("s")};
        TFormMain &w = start(settingsWith({"Home"}, 0, {}, pw + "Password_On_Desktop=1\r\n"));
        QCOMPARE(prompt_.passwordCaptions, QStringList({"Home"}));
        QVERIFY(!w.surface()->isLocked());
    }

    void reloadDiscardsChangesOnlyOnOk()
    {
        const QByteArray pw = "Password=" + storedPasswordText(QStringLiteral("s")).toLatin1() + "\r\n";
        prompt_.passwordAnswers = {QStringLiteral("s")};
        TFormMain &w = start(settingsWith({"A", "B"}, 1, {}, pw + "Password_On_Desktop=1\r\n"));
        w.desktopCommands().mnuNewTabSheetClick();
        prompt_.passwordCaptions.clear();

        prompt_.answer(ModalResult::Cancel);
        w.mnuReloadClick();
        QCOMPARE(prompt_.calls.last().text, QStringLiteral("Are You Sure?"));
        QCOMPARE(w.workspace().desktopCount(), 3);
        QCOMPARE(status(), QStringLiteral("Modified"));

        prompt_.answer(ModalResult::OK);
        w.mnuReloadClick();
        QCOMPARE(captionsOf(w.workspace()), QStringList({"A", "B"}));
        QCOMPARE(w.workspace().activeIndex(), 1);
        QCOMPARE(w.PageControl1()->count(), 2);
        QCOMPARE(status(), QStringLiteral("Unmodified"));
        // A reload shows the active desktop without asking.
        QVERIFY(prompt_.passwordCaptions.isEmpty());
        QVERIFY(!w.surface()->isLocked());
        QVERIFY(!w.workspace().work.Reloading);
    }

    void immediateSaveSavesInsteadOfReporting()
    {
        TFormMain &w = start(settingsWith({"A"}, 0, "Immediate_Save=1\r\n"));
        w.desktopCommands().mnuNewTabSheetClick();
        QCOMPARE(status(), QStringLiteral("Saved"));
        QVERIFY(vl::test::readAll(path_).contains("Page_Count=2"));
    }

    void changesWhileLoadingAreNotReported()
    {
        TFormMain &w = start(settingsWith({"A"}, 0, "Immediate_Save=1\r\n"));
        const QByteArray before = vl::test::readAll(path_);
        w.workspace().work.Loading = true;
        w.Modified();
        w.workspace().work.Loading = false;
        QCOMPARE(status(), QStringLiteral("Unmodified"));
        QCOMPARE(vl::test::readAll(path_), before);
    }

    void closeBoxMinimisesExitSavesAltQQuits()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.desktopCommands().mnuNewTabSheetClick();
        const QByteArray before = vl::test::readAll(path_);

        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QCOMPARE(vl::test::readAll(path_), before);

        w.quitWithoutSaving();
        QVERIFY(!w.isVisible());
        QCOMPARE(vl::test::readAll(path_), before);

        TFormMain &w2 = start(before);
        w2.show();
        w2.desktopCommands().mnuNewTabSheetClick();
        w2.mnuExitClick();
        QVERIFY(!w2.isVisible());
        QVERIFY(vl::test::readAll(path_).contains("Page_Count=2"));
    }

    void autoSaveTimerFollowsTheOptions()
    {
        TFormMain &w = start(settingsWith({"A"}, 0, "Auto_Save=1\r\nAutoSave_Time=10\r\n"));
        QVERIFY(w.saver().tmAutoSaveTimer().isActive());
        QCOMPARE(w.saver().tmAutoSaveTimer().interval(), 600000);
        w.workspace().global.AutoSave_Time = 0;
        w.saver().applyAutoSave();
        QCOMPARE(w.saver().tmAutoSaveTimer().interval(), 60000);
        w.workspace().global.Auto_Save = false;
        w.saver().applyAutoSave();
        QVERIFY(!w.saver().tmAutoSaveTimer().isActive());
    }

    // A window saved maximised starts maximised with its normal size and
    // place behind it: restored, it takes them, and the next save keeps them.
    void maximisedStartKeepsItsNormalSize()
    {
        TFormMain &w = start(settingsWith({"A"}, 0,
                                          "FormMaximized_Key=1\r\nFormWidth_Key=555\r\nFormHeight_Key=333\r\n"
                                          "FormTop_Key=66\r\nFormLeft_Key=77\r\n"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.isMaximized());
        w.showNormal();
        QTRY_COMPARE(w.size(), QSize(555, 333));
        QCOMPARE(w.pos(), QPoint(77, 66));
        w.mnuSaveClick();
        const QByteArray saved = vl::test::readAll(path_);
        QVERIFY2(saved.contains("FormMaximized_Key=0\r\nFormWidth_Key=555\r\nFormHeight_Key=333\r\n"
                                "FormTop_Key=66\r\nFormLeft_Key=77\r\n"),
                 saved.left(300).constData());
    }

    void alwaysOnBackIsClearedAfterStartUp()
    {
        TFormMain &w = start(settingsWith({"A"}, 0, "Always_OnBack=1\r\n"));
        QVERIFY(!w.workspace().global.Always_OnBack);
    }

    void statusBarDrivePanels()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        StatusBarMain *bar = w.StatusBar();
        QCOMPARE(bar->panelCount(), 2);
        QVERIFY(bar->panel(1)->text().isEmpty());
        QCOMPARE(bar->panel(1)->width(), 50);

        platform_.drives = {{"/", 12345678901ull}, {"/home", 999}};
        bar->GetDriveInfo();
        QCOMPARE(bar->panelCount(), 3);
        QCOMPARE(bar->panel(1)->text(), QStringLiteral("/ - Free:     11.50 GB"));
        QCOMPARE(bar->panel(2)->text(), QStringLiteral("/home - Free: 999.00 Byte"));

        // A drive that went away leaves its panel and text behind.
        platform_.drives = {{"/", 1000000000ull}};
        bar->GetDriveInfo();
        QCOMPARE(bar->panelCount(), 3);
        QCOMPARE(bar->panel(1)->text(), QStringLiteral("/ - Free:      0.93 GB"));
        QCOMPARE(bar->panel(2)->text(), QStringLiteral("/home - Free: 999.00 Byte"));
    }

    void tabPositionMovesTheStatusBar()
    {
        TFormMain &w = start(settingsWith({"A"}, 0, "Tab_Position=0\r\nbStatusBar_Enabled=1\r\n"));
        w.resize(500, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect page(w.surface()->mapTo(&w, QPoint(0, 0)), w.surface()->size());
        QVERIFY(w.StatusBar()->geometry().bottom() < page.top());
        QVERIFY(w.PageControl1()->mapTo(&w, QPoint(0, 0)).y() > page.bottom());
        QCOMPARE(w.PageControl1()->shape(), TabStrip::Bottom);
    }

    void passwordDialogFaces()
    {
        const QString stored = storedPasswordText(QStringLiteral("old"));
        TfrmPassword dialog(prompt_, QStringLiteral("D"), stored, nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Password for D Desktop"));
        QVERIFY(dialog.showingCurrentFace());

        dialog.editEnterCurrentPassword->setText(QStringLiteral("nope"));
        dialog.btnOkCurrentPassword->click();
        QCOMPARE(prompt_.texts(), QStringList({"You Wrong"}));
        QVERIFY(dialog.editEnterCurrentPassword->text().isEmpty());
        QVERIFY(dialog.showingCurrentFace());

        dialog.editEnterCurrentPassword->setText(QStringLiteral("old"));
        dialog.btnOkCurrentPassword->click();
        QVERIFY(!dialog.showingCurrentFace());

        dialog.editEnterNewPassword->setText(QStringLiteral("a"));
        dialog.editConfirmPassword->setText(QStringLiteral("A"));
        dialog.btnOk->click();
        QCOMPARE(prompt_.texts().last(), QStringLiteral("Mismatch of password"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        dialog.editEnterNewPassword->clear();
        dialog.editConfirmPassword->clear();
        dialog.btnOk->click();
        QCOMPARE(prompt_.texts().last(), QStringLiteral("Warning! Password disabled"));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.stored(), QStringLiteral("0"));

        TfrmPassword fresh(prompt_, QStringLiteral("D"), QStringLiteral("0"), nullptr);
        QVERIFY(!fresh.showingCurrentFace());
        fresh.editEnterNewPassword->setText(QStringLiteral("abc"));
        fresh.editConfirmPassword->setText(QStringLiteral("abc"));
        fresh.btnOk->click();
        QCOMPARE(fresh.stored(), storedPasswordText(QStringLiteral("abc")));
        QVERIFY(fresh.stored().toInt() > 0);

        // A hand-edited stored value that is no number can never be matched.
        QVERIFY(!PasswordChange(QStringLiteral("abc")).checkCurrent(QStringLiteral("abc")));
    }

    void progressShowsNumbersBelowTheTotalOnly()
    {
        // Three desktops: the load reports 1, 2 and 3; 3 never shows.
        TfrmSplash splash;
        QStringList shown;
        splash.setTotal(3);
        for (int n : {0, 1, 2, 3, 4}) {
            splash.setCurrent(n);
            shown.append(splash.lblDesktop->text());
        }
        QCOMPARE(shown, QStringList({"", "1", "2", "2", "2"}));
        QCOMPARE(splash.pbar->value(), 2);
        QCOMPARE(splash.size(), QSize(456, 56));
    }

    // A right press selects what it presses; the menu's gate asks once and
    // the menu's commands do not ask again; Del asks at the keyboard gate
    // and reports nothing when answered with Cancel, unlike the menu's
    // "Delete Shortcut".
    void shortcutMenuAndKeysAskOncePerAction()
    {
        const QByteArray pw = "Password=" + storedPasswordText(QStringLiteral("m")).toLatin1() + "\r\n";
        QByteArray text = settingsWith({"A"}, 0, {}, pw + "Password_On_Desktop=0\r\nItem_CountTrue=2\r\n");
        text += "[Page0\\Item1]\r\nAttachedFile=/a\r\nItem_Left=10\r\nItem_Top=10\r\n\r\n"
                "[Page0\\Item2]\r\nAttachedFile=/b\r\nItem_Left=200\r\nItem_Top=10\r\n\r\n";
        TFormMain &w = start(text);
        w.resize(500, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Desktop &d = w.workspace().desktop(0);
        ShortcutItem *a = d.items[0].get();
        ShortcutItem *b = d.items[1].get();

        QTest::mouseClick(w.surface(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(w.selection().items(), std::vector<ShortcutItem *>({a}));
        prompt_.passwordAnswers = {QStringLiteral("m")};
        QTest::mousePress(w.surface(), Qt::RightButton, {}, QPoint(210, 20));
        QCOMPARE(w.selection().items(), std::vector<ShortcutItem *>({b}));
        QCOMPARE(w.workspace().work.CurrentElement.item, b);
        QTRY_VERIFY(w.PopupMenuItem()->isVisible());
        w.PopupMenuItem()->hide();
        prompt_.answer(ModalResult::OK);
        w.actions()[ActionId::ItemDelete]->trigger();
        QCOMPARE(prompt_.passwordCaptions.size(), 1);
        QCOMPARE(int(d.items.size()), 1);
        QCOMPARE(d.items[0].get(), a);

        // The keyboard: Del passes the gate every time.
        w.selection().Focused(*a, false);
        w.StatusBar()->setSaveState(QStringLiteral("Unmodified"));
        prompt_.passwordAnswers = {QStringLiteral("m")};
        prompt_.answer(ModalResult::Cancel);
        QTest::keyClick(&w, Qt::Key_Delete);
        QCOMPARE(prompt_.passwordCaptions.size(), 2);
        QCOMPARE(prompt_.calls.last().text, QStringLiteral("Are You sure,that want to delete 1 shortcuts?"));
        QCOMPARE(status(), QStringLiteral("Unmodified"));
        QCOMPARE(int(d.items.size()), 1);
        prompt_.answer(ModalResult::Cancel);
        w.actions()[ActionId::ItemDelete]->trigger();
        QCOMPARE(prompt_.passwordCaptions.size(), 2);
        QCOMPARE(status(), QStringLiteral("Modified"));

        // A prompt that cannot be shown refuses and marks the session.
        BrokenPasswordPrompt broken;
        TFormMain w2(broken, platform_, path_);
        w2.FormCreate();
        QVERIFY(!w2.CheckPasswordOnPopUpMenu());
        QVERIFY(w2.workspace().work.ErrorsOccurred);
        QCOMPARE(broken.texts(), QStringList({PasswordGate::creationError("CheckPasswordOnPopUpMenu")}));
    }

    // A picture chosen for a shortcut is decoded once: what the command
    // decoded is what shows (only the part a shortcut shows is kept), even
    // when the file is gone by the time it is painted.
    void chosenPictureIsDecodedOnce()
    {
        const QString png = dir_.filePath(QStringLiteral("wide.png"));
        QImage image(100, 50, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(png));
        TFormMain &w = start(settingsWith({"A"}, 0, {}, "Item_CountTrue=1\r\n"));
        ShortcutItem &item = *w.workspace().desktop(0).items.at(0);
        w.workspace().work.CurrentElement = {&item, nullptr};
        prompt_.fileAnswers = {png};
        w.shortcutCommands().mnuItemPictureClick();
        QCOMPARE(item.Picture, png);
        QVERIFY(QFile::remove(png));
        const QPixmap *shown = w.pictures().pictureFor(item);
        QVERIFY(shown);
        QCOMPARE(shown->size(), QSize(32, 32));
        QCOMPARE(shown->toImage().pixelColor(5, 5), QColor(Qt::red));
    }

    // Ctrl+V pastes only onto a page that shows: not onto a desktop whose
    // password was refused, and the cut waits there until it can land.
    // A desktop guarded only on its menus shows, and takes the paste.
    void pasteLandsOnlyOnAnOpenPage_data()
    {
        QTest::addColumn<int>("mode"); // Password_On_Desktop of the second desktop
        QTest::addColumn<bool>("refused");
        QTest::newRow("password on the desktop, refused") << 1 << true;
        QTest::newRow("password on the menus") << 0 << false;
    }
    void pasteLandsOnlyOnAnOpenPage()
    {
        QFETCH(int, mode);
        QFETCH(bool, refused);
        const QString file = dir_.filePath(QStringLiteral("alpha.txt"));
        vl::test::writeAll(file, "x");
        const QByteArray one = "Item_CountTrue=1\r\n\r\n[Page0\\Item1]\r\nAttachedFile=" + file.toUtf8()
            + "\r\nLabel_Caption=alpha\r\nItem_Left=20\r\nItem_Top=20\r\n";
        const QByteArray two = "Password=" + storedPasswordText(QStringLiteral("s")).toLatin1()
            + "\r\nPassword_On_Desktop=" + QByteArray::number(mode) + "\r\n";
        TFormMain &w = start(vl::test::desktopsSettings({"One", "Two"}, 0, {}, {one, two}));
        w.resize(500, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.selection().Focused(*w.workspace().desktop(0).items.at(0), false);
        w.clipboard().mnuItemCutClick();
        prompt_.passwordAnswers = {std::nullopt};
        w.PageControl1()->setCurrentIndex(1);
        QCOMPARE(w.surface()->isLocked(), refused);
        w.actions()[ActionId::ItemPaste]->trigger();
        QCOMPARE(int(w.workspace().desktop(1).items.size()), refused ? 0 : 1);
        QCOMPARE(int(w.workspace().desktop(0).items.size()), refused ? 1 : 0);
        QCOMPARE(w.clipboard().cutPending(), refused);
        if (!refused)
            return;
        // Given the password, the same paste lands.
        w.PageControl1()->setCurrentIndex(0);
        prompt_.passwordAnswers = {QStringLiteral("s")};
        w.PageControl1()->setCurrentIndex(1);
        QVERIFY(!w.surface()->isLocked());
        w.actions()[ActionId::ItemPaste]->trigger();
        QCOMPARE(int(w.workspace().desktop(1).items.size()), 1);
        QVERIFY(w.workspace().desktop(0).items.empty());
    }

    // A paste whose picture file no longer reads: the copy keeps its
    // Picture and shows its file's icon; the shortcuts that showed that
    // picture before go on showing it, copied or not.
    void aPastedPictureThatNoLongerReadsTouchesNoOtherShortcut_data()
    {
        QTest::addColumn<bool>("removed"); // else overwritten with garbage
        QTest::newRow("picture file removed") << true;
        QTest::newRow("picture file spoilt") << false;
    }
    void aPastedPictureThatNoLongerReadsTouchesNoOtherShortcut()
    {
        QFETCH(bool, removed);
        const QString png = dir_.filePath(QStringLiteral("red.png"));
        QImage red(32, 32, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(png));
        const QString file = dir_.filePath(QStringLiteral("doc.txt"));
        vl::test::writeAll(file, "x");
        QByteArray items = "Item_CountTrue=2\r\n";
        for (int i = 1; i <= 2; ++i) {
            items += "\r\n[Page0\\Item" + QByteArray::number(i) + "]\r\nAttachedFile=" + file.toUtf8()
                + "\r\nPicture=" + png.toUtf8() + "\r\nLabel_Caption=s" + QByteArray::number(i)
                + "\r\nItem_Left=" + QByteArray::number(i * 100) + "\r\nItem_Top=20\r\n";
        }
        TFormMain &w = start(settingsWith({"A"}, 0, {}, items));
        w.resize(500, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto shown = [&](QPoint at) { return w.surface()->grab().toImage().pixelColor(at + QPoint(5, 5)); };
        QCOMPARE(shown(QPoint(100, 20)), QColor(Qt::red));
        QCOMPARE(shown(QPoint(200, 20)), QColor(Qt::red));
        if (removed)
            QVERIFY(QFile::remove(png));
        else
            QVERIFY(vl::test::writeAll(png, "\x89PNG\r\n\x1a\n spoilt"));

        Desktop &d = w.workspace().desktop(0);
        w.selection().Focused(*d.items.at(0), false);
        w.clipboard().mnuItemCopyClick();
        w.workspace().work.NewElementPosition = QPoint(300, 150);
        w.clipboard().mnuItemPasteClick();
        QCOMPARE(prompt_.count(ItemClipboard::PasteError), 1);
        QCOMPARE(int(d.items.size()), 3);
        QCOMPARE(d.items.at(2)->Picture, png);
        QCOMPARE(shown(QPoint(300, 150)), QColor(Qt::darkYellow)); // the file's icon
        QCOMPARE(shown(QPoint(100, 20)), QColor(Qt::red));
        QCOMPARE(shown(QPoint(200, 20)), QColor(Qt::red));
        // A rename of the copy leaves its picture as it is.
        prompt_.renameAnswers = {QStringLiteral("copy")};
        w.workspace().work.CurrentElement = {d.items.at(2).get(), nullptr};
        w.shortcutCommands().mnuItemRenameClick();
        QCOMPARE(d.items.at(2)->Label_Caption, QStringLiteral("copy"));
        QCOMPARE(shown(QPoint(300, 150)), QColor(Qt::darkYellow));
        QCOMPARE(shown(QPoint(100, 20)), QColor(Qt::red));
    }

    // "New Note" puts an empty 50 by 30 note where the menu was opened;
    // its properties change only on OK: a cancelled chooser keeps its value,
    // a cancelled dialog keeps everything, and "Use parent color" takes the
    // desktop's colour of that moment over a colour picked meanwhile.
    void notesAreMadeAndLookedAfter()
    {
        TFormMain &w = start(settingsWith({"A"}, 0, {}, "BG_Color=255\r\n"));
        w.resize(500, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.surface(), Qt::RightButton, {}, QPoint(120, 80));
        QTRY_VERIFY(w.PopupMenuMain()->isVisible());
        w.PopupMenuMain()->hide();
        w.actions()[ActionId::NewNote]->trigger();
        Desktop &d = w.workspace().desktop(0);
        QCOMPARE(int(d.notes.size()), 1);
        Note &note = *d.notes[0];
        QCOMPARE(QRect(note.Note_Left, note.Note_Top, note.Note_Width, note.Note_Height), QRect(120, 80, 50, 30));
        QVERIFY(note.Lines.isEmpty());
        QCOMPARE(w.workspace().work.CurrentElement.note, &note);
        QCOMPARE(w.StatusBar()->saveState(), QStringLiteral("Unmodified"));
        TResizer *controller = w.notes().controllerOf(&note);
        QVERIFY(controller);

        // The dialog itself: choosers cancelled keep, chosen replace.
        FontSpec mono = defaultFont();
        mono.Name = QStringLiteral("Mono");
        TfrmNote dialog(prompt_, {defaultFont(), 0x00FF00, false}, nullptr);
        prompt_.fontAnswers = {std::nullopt, mono};
        prompt_.colourAnswers = {std::nullopt};
        dialog.btnFont->click();
        dialog.btnBackGround->click();
        QCOMPARE(dialog.look().font, defaultFont());
        QCOMPARE(dialog.look().colour, Colour(0x00FF00));
        dialog.btnFont->click();
        QCOMPARE(dialog.look().font, mono);

        // Cancel changes nothing, UseParentColor included.
        const Note before = note;
        prompt_.noteAnswers = {std::nullopt};
        w.noteProperties(*controller);
        QCOMPARE(note.Note_Font, before.Note_Font);
        QCOMPARE(note.Note_Color, before.Note_Color);
        QCOMPARE(note.UseParentColor, before.UseParentColor);

        prompt_.noteAnswers = {NoteLook{mono, 0x123456, true}};
        w.noteProperties(*controller);
        QCOMPARE(note.Note_Font, mono);
        QCOMPARE(note.Note_Color, Colour(255));
        QVERIFY(note.UseParentColor);
        d.settings.BG_Color = 0x00FF00; // later changes of the desktop leave it
        QCOMPARE(note.Note_Color, Colour(255));
        QCOMPARE(w.StatusBar()->saveState(), QStringLiteral("Unmodified"));

        // Typed text reaches the file with the next save, editing or not;
        // the window's keys leave a note's Return and Ctrl+C alone.
        controller->popEditClick();
        QTest::keyClicks(controller->memo(), QStringLiteral("first line"));
        QTest::keyClick(controller->memo(), Qt::Key_Return);
        QTest::keyClicks(controller->memo(), QStringLiteral("second"));
        w.mnuSaveClick();
        QVERIFY(vl::test::readAll(path_).contains("1=first line\r\n2=second"));
        QVERIFY(vl::test::readAll(path_).contains("Count=2"));
    }

    // A press on a note drops the shortcut selection; its menu opens
    // through the desktop's menu gate; a desktop behind its password shows
    // none of its notes.
    void notesFollowTheirDesktopsGates()
    {
        const QByteArray pw = "Password=" + storedPasswordText(QStringLiteral("n")).toLatin1() + "\r\n";
        QByteArray text = "[General]\r\nPage_Count=2\r\n\r\n[Page0]\r\nDesktop_Caption=Menu\r\n" + pw
            + "Password_On_Desktop=0\r\nItem_CountTrue=1\r\nNote_CountTrue=1\r\n\r\n"
              "[Page0\\Item1]\r\nItem_Left=300\r\nItem_Top=10\r\n\r\n"
              "[Page0\\Note1]\r\nCount=1\r\n1=hello\r\nNote_Left=20\r\nNote_Top=20\r\nNote_Width=80\r\n"
              "Note_Height=40\r\n\r\n[Page1]\r\nDesktop_Caption=Open\r\n" + pw + "Password_On_Desktop=1\r\n"
              "Note_CountTrue=1\r\n\r\n[Page1\\Note1]\r\nNote_Left=20\r\nNote_Top=20\r\n\r\n";
        TFormMain &w = start(text);
        w.resize(500, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Desktop &d0 = w.workspace().desktop(0);
        TResizer *note = w.notes().controllerOf(d0.notes[0].get());
        QVERIFY(note && note->memo()->isVisible());
        w.selection().Focused(*d0.items[0], false);

        prompt_.passwordAnswers = {std::nullopt, QStringLiteral("n")};
        QTest::mousePress(note->memo(), Qt::RightButton, {}, QPoint(5, 5));
        QVERIFY(w.selection().items().empty());
        QCOMPARE(prompt_.passwordCaptions.size(), 1);
        QVERIFY(!note->menu() || !note->menu()->isVisible());
        QTest::mouseRelease(note->memo(), Qt::RightButton, {}, QPoint(5, 5));
        QTest::mousePress(note->memo(), Qt::RightButton, {}, QPoint(5, 5));
        QTRY_VERIFY(note->menu() && note->menu()->isVisible());
        note->menu()->hide();
        QTest::mouseRelease(note->memo(), Qt::RightButton, {}, QPoint(5, 5));

        // To the other desktop and its password refused: no note shows.
        prompt_.passwordAnswers = {QStringLiteral("wrong")};
        w.PageControl1()->setCurrentIndex(1);
        QVERIFY(w.surface()->isLocked());
        QVERIFY(!note->memo()->isVisible());
        QVERIFY(!w.notes().controllerOf(w.workspace().desktop(1).notes[0].get())
                || !w.notes().controllerOf(w.workspace().desktop(1).notes[0].get())->memo()->isVisible());
    }

    // The dialogs on screen: a message about a dialog opens above it, titles
    // are the program's own and fit, typed passwords show as "*", and the
    // end of the session closes every open dialog, the innermost first.
    void dialogsOnScreen()
    {
        QWidget main;
        main.resize(600, 400);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        WidgetPrompt prompt;
        prompt.setMainWindow(&main);
        OutsideRequests requests;
        prompt.setRequests(&requests);

        QWidget *messageOwner = nullptr;
        QString messageTitle;
        bool busyInside = false;
        QTimer::singleShot(0, [&] {
            auto *rename = qobject_cast<TfrmRename *>(QApplication::activeModalWidget());
            QVERIFY(rename);
            QCOMPARE(rename->windowTitle(), QStringLiteral("Rename"));
            rename->EditNewName->clear();
            QTimer::singleShot(0, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(box);
                messageOwner = box->parentWidget();
                messageTitle = box->windowTitle();
                busyInside = requests.busy();
                prompt.dismissQuestions();
            });
            rename->btnOk->click();
        });
        QCOMPARE(prompt.RenameDialog(QStringLiteral("old")), std::nullopt);
        QCOMPARE(messageTitle, QStringLiteral("Vorlane"));
        QVERIFY(qobject_cast<TfrmRename *>(messageOwner));
        QVERIFY(busyInside);
        QVERIFY(!requests.busy());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(prompt.PasswordForDesktop(QStringLiteral("any")), std::nullopt); // answered at once
    }

    // A message's Help button shows the topic of its context and leaves the
    // question open until it is answered.
    void helpButtonShowsItsTopicAndAsksAgain()
    {
        QWidget main;
        main.resize(600, 400);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        WidgetPrompt prompt;
        prompt.setMainWindow(&main);
        QList<int> shown;
        prompt.setHelpRequest([&shown](int context) { shown.append(context); });

        int asked = 0;
        std::function<void()> answer = [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                QTimer::singleShot(10, answer);
                return;
            }
            ++asked;
            box->button(asked == 1 ? QMessageBox::Help : QMessageBox::No)->click();
            if (asked == 1)
                QTimer::singleShot(10, answer);
        };
        QTimer::singleShot(0, answer);
        QCOMPARE(prompt.MessageDlg(QStringLiteral("Go on?"), MsgDlgType::Warning, mbYes | mbNo | mbHelp, 10),
                 ModalResult::No);
        QCOMPARE(asked, 2);
        QCOMPARE(shown, QList<int>{10});

        const QString caption = QStringLiteral("A desktop with a rather long caption indeed");
        TfrmPasswordForDesktop ask(caption, &main);
        ask.show();
        QCOMPARE(ask.windowTitle(), QStringLiteral("Password for ") + caption + QStringLiteral(" Desktop"));
        QVERIFY(ask.width() >= PlacedDialog::titleWidth(ask.windowTitle()));
        QCOMPARE(ask.editEnterPassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                            ask.editEnterPassword),
                 int('*'));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
