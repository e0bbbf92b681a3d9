// Undo and redo: the change journal on the model alone, and the window's
// Undo and Redo with their menu, keys, password gates and saves.
#include "model/ChangeJournal.h"
#include "storage/BigIni.h"
#include "storage/SettingsFile.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "surface/DesktopCommands.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMain.h"
#include "surface/MainActions.h"
#include "surface/PasswordGate.h"
#include "surface/ShortcutCommands.h"
#include "surface/StatusBarMain.h"
#include "surface/TabStrip.h"
#include "surface/UndoCommands.h"

#include <QAction>
#include <QMenu>
#include <QTest>

using namespace vl;
using namespace Qt::StringLiterals;
using vl::test::FakePrompt;

namespace {

// Two desktops: "Work" with three shortcuts and a note, "Play" empty.
void fill(Workspace &ws)
{
    Desktop &work = ws.CreateNewTabSheet();
    work.Desktop_Caption = u"Work"_s;
    for (int i = 1; i <= 3; ++i) {
        ws.work.NewElementPosition = QPoint(100 * i, 20);
        ws.CreateNewItem().Label_Caption = u"s%1"_s.arg(i);
        if (i == 2)
            ws.CreateNewNote().Lines = QStringList{u"between"_s};
    }
    ws.CreateNewTabSheet().Desktop_Caption = u"Play"_s;
    ws.setActiveIndex(0);
}

// Everything a user can see of the model, element order included.
QString shape(const Workspace &ws)
{
    QStringList out;
    out << u"cells %1x%2"_s.arg(ws.global.Cell_Width).arg(ws.global.Cell_Height);
    for (int p = 0; p < ws.desktopCount(); ++p) {
        const Desktop &d = ws.desktop(p);
        QString line = d.Desktop_Caption + u" bg "_s + QString::number(d.settings.BG_Color, 16) + u":"_s;
        d.forEachElement(
            [&](const ShortcutItem &i) {
                line += u" [%1 %2,%3 #%4]"_s.arg(i.Label_Caption).arg(i.Item_Left).arg(i.Item_Top).arg(i.creationOrder);
            },
            [&](const Note &n) { line += u" {%1 #%2}"_s.arg(n.Lines.join(u'/')).arg(n.creationOrder); });
        out << line;
    }
    return out.join(u'\n');
}

} // namespace

class UndoTest : public QObject, vl::test::WindowFixture {
    Q_OBJECT

private slots:
    void init() { resetWindowFixture(); }

    // Each kind of change is a step named after it; undo puts back exactly
    // what was, order and creation order included, and redo what came.
    void everyChangeIsAStepThatUndoesAndRedoes_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("rename a shortcut") << u"Shortcut Change"_s;
        QTest::newRow("move shortcuts") << u"Move"_s;
        QTest::newRow("delete a shortcut") << u"Delete Shortcut"_s;
        QTest::newRow("paste two") << u"Paste"_s;
        QTest::newRow("edit a note") << u"Note Text"_s;
        QTest::newRow("delete a note") << u"Delete Note"_s;
        QTest::newRow("new desktop") << u"New Desktop"_s;
        QTest::newRow("delete a desktop") << u"Delete Desktop"_s;
        QTest::newRow("reorder desktops") << u"Desktop Order"_s;
        QTest::newRow("rename a desktop") << u"Rename Desktop"_s;
        QTest::newRow("desktop options") << u"Desktop Options"_s;
        QTest::newRow("common options") << u"Common Options"_s;
    }

    void everyChangeIsAStepThatUndoesAndRedoes()
    {
        QFETCH(QString, what);
        Workspace ws;
        fill(ws);
        ChangeJournal journal(ws);
        QVERIFY(!journal.record()); // nothing changed yet
        const QString before = shape(ws);
        Desktop &work = ws.desktop(0);
        if (what == u"Shortcut Change")
            work.items[1]->Label_Caption = u"renamed"_s;
        else if (what == u"Move")
            work.items[0]->Item_Left = work.items[2]->Item_Top = 7;
        else if (what == u"Delete Shortcut")
            work.removeItem(work.items[1].get());
        else if (what == u"Paste")
            ws.CreateNewItem(), ws.CreateNewItem();
        else if (what == u"Note Text")
            work.notes[0]->Lines = QStringList{u"typed"_s, u"more"_s};
        else if (what == u"Delete Note")
            work.removeNote(work.notes[0].get());
        else if (what == u"New Desktop")
            ws.CreateNewTabSheet();
        else if (what == u"Delete Desktop")
            ws.deleteDesktop(0);
        else if (what == u"Desktop Order")
            ws.moveDesktop(0, 1);
        else if (what == u"Rename Desktop")
            work.Desktop_Caption = u"Job"_s;
        else if (what == u"Desktop Options")
            work.settings.BG_Color = 0xff;
        else if (what == u"Common Options")
            ws.global.Cell_Width = 120;
        const QString after = shape(ws);
        QVERIFY(after != before);
        QVERIFY(journal.record());
        QCOMPARE(journal.undoText(), what);

        QVERIFY(journal.undo());
        QCOMPARE(shape(ws), before);
        QCOMPARE(journal.redoText(), what);
        QVERIFY(journal.redo());
        QCOMPARE(shape(ws), after);
        QVERIFY(journal.undo());
        QCOMPARE(shape(ws), before);
        // Whatever was created afterwards continues the creation order.
        Desktop &first = ws.desktop(0);
        ws.setActiveIndex(0);
        std::uint64_t highest = 0;
        first.forEachElement([&](const ShortcutItem &i) { highest = std::max(highest, i.creationOrder); },
                             [&](const Note &n) { highest = std::max(highest, n.creationOrder); });
        QVERIFY(ws.CreateNewItem().creationOrder > highest);
    }

    // A deleted desktop comes back at its place, every element with it, and
    // the next save writes it as it was: same sections, same numbers.
    void anUndoneDeletionSavesAsBefore()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vorlane.ini"_s);
        Workspace ws;
        FakePrompt prompt;
        SettingsHost host;
        SettingsFile file(ws, prompt, host, path);
        fill(ws);
        // Twice: a note's first save puts its lines where later saves move them.
        QCOMPARE(file.SaveAll(), SettingsFile::SaveResult::Saved);
        QCOMPARE(file.SaveAll(), SettingsFile::SaveResult::Saved);
        const QByteArray saved = vl::test::readAll(path);
        ChangeJournal journal(ws);
        ws.deleteDesktop(0);
        QVERIFY(journal.record());
        QVERIFY(journal.undo());
        QCOMPARE(ws.desktop(0).Desktop_Caption, u"Work"_s);
        QCOMPARE(file.SaveAll(), SettingsFile::SaveResult::Saved);
        QCOMPARE(vl::test::readAll(path), saved);
    }

    // A new change after an undo drops what could be redone; steps beyond
    // the journal's length go, the oldest first, and at least a hundred stay.
    void redoEndsWithANewChangeAndTheOldestStepsGo()
    {
        Workspace ws;
        fill(ws);
        ChangeJournal journal(ws);
        for (int i = 0; i < 250; ++i) {
            ws.desktop(0).items[0]->Item_Left = i + 1000;
            QVERIFY(journal.record());
        }
        int undone = 0;
        while (journal.undo())
            ++undone;
        QVERIFY(undone >= 100);
        QCOMPARE(ws.desktop(0).items[0]->Item_Left, 1000 + 250 - undone - 1);
        QVERIFY(journal.canRedo());
        ws.desktop(0).Desktop_Caption = u"changed"_s;
        QVERIFY(!journal.redo()); // the change is a step of its own, and ends redo
        QVERIFY(!journal.canRedo());
        QCOMPARE(journal.undoText(), u"Rename Desktop"_s);
    }

    // The window: Undo and Redo head the desktop menu, named after the step
    // and with their keys; an undone change is saved like any change; a
    // desktop that guards its menus asks for its password first.
    void theWindowUndoesThroughItsMenuAndGates()
    {
        const QString pw = storedPasswordText(u"key"_s);
        TFormMain &w = start(vl::test::desktopsSettings(
            {u"Open"_s, u"Guarded"_s}, 0, "Immediate_Save=1\r\nLeave_Missing=1\r\n",
            {"Item_CountTrue=1\r\n\r\n[Page0\\Item1]\r\nLabel_Caption=one\r\nAttachedFile=/srv/one.txt\r\n",
             "Password=" + pw.toLatin1() + "\r\nPassword_On_Desktop=0\r\n"}));
        QMenu *menu = w.PopupMenuMain();
        QAction *undo = w.actions()[ActionId::Undo];
        QAction *redo = w.actions()[ActionId::Redo];
        QCOMPARE(menu->actions().at(0), undo);
        QCOMPARE(menu->actions().at(1), redo);
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        QCOMPARE(undo->shortcut(), QKeySequence(u"Ctrl+Z"_s));
        QVERIFY(redo->shortcuts().contains(QKeySequence(u"Ctrl+Y"_s)));

        // Delete the shortcut through its command: the file follows at once.
        Desktop &open = w.workspace().desktop(0);
        w.selection().Focused(*open.items[0], false);
        prompt_.answer(ModalResult::OK);
        w.shortcutCommands().mnuItemDeleteClick();
        QVERIFY(open.items.empty());
        QCOMPARE(undo->text(), u"Undo Delete Shortcut"_s);
        const auto savedCount = [&] {
            TBigIniFile ini(path_);
            ini.Abandon();
            return ini.ReadInteger("Page0", "Item_CountTrue", -1);
        };
        QCOMPARE(savedCount(), 0);
        undo->trigger();
        QCOMPARE(open.items.size(), std::size_t(1));
        QCOMPARE(open.items[0]->Label_Caption, u"one"_s);
        QCOMPARE(savedCount(), 1); // saved as a change
        QCOMPARE(w.StatusBar()->message(), u"Undone: Delete Shortcut"_s);
        QCOMPARE(redo->text(), u"Redo Delete Shortcut"_s);

        // A change on the guarded desktop; its undo passes its menu gate.
        w.workspace().desktop(1).Desktop_Caption = u"Renamed"_s;
        w.Modified();
        prompt_.passwordAnswers = {std::nullopt};
        undo->trigger();
        QCOMPARE(prompt_.passwordCaptions, QStringList{u"Renamed"_s});
        QCOMPARE(w.workspace().desktop(1).Desktop_Caption, u"Renamed"_s); // refused: nothing undone
        prompt_.passwordAnswers = {u"key"_s};
        undo->trigger();
        QCOMPARE(w.workspace().desktop(1).Desktop_Caption, u"Guarded"_s);
        QCOMPARE(w.PageControl1()->tabText(1), u"Guarded"_s);

        // Reload starts afresh, and says so.
        prompt_.answer(ModalResult::OK);
        w.mnuReloadClick();
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        QCOMPARE(w.StatusBar()->message(), TFormMain::UndoClearedMessage);
    }
};

QTEST_MAIN(UndoTest)
#include "tst_undo.moc"
