// Finding shortcuts and notes by their texts: the ranking, the index kept
// current through every kind of change, the desktops whose password was not
// given, and the search field driven through the real window.
#include "search/FindPopup.h"
#include "search/SearchIndex.h"
#include "shell/DropURLTarget.h"
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "notes/NoteBoard.h"
#include "notes/TResizer.h"
#include "surface/DesktopCommands.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMain.h"
#include "surface/ItemClipboard.h"
#include "surface/PasswordGate.h"
#include "surface/Selection.h"
#include "surface/ShortcutCommands.h"
#include "surface/TabStrip.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <random>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;

namespace {

ShortcutItem &addShortcut(Desktop &d, const QString &caption, const QString &file = {}, const QString &command = {})
{
    ShortcutItem &item = d.addItem();
    item.Label_Caption = caption;
    item.AttachedFile = file;
    item.CommandString = command;
    return item;
}

// Everything a result says, its identity included, one line per result.
QStringList describe(const std::vector<SearchHit> &hits)
{
    QStringList out;
    for (const SearchHit &h : hits) {
        out << QStringLiteral("%1 | %2 | %3%4 | %5")
                   .arg(h.caption, h.desktopCaption)
                   .arg(int(h.field))
                   .arg(h.wordStart ? QLatin1Char('w') : QLatin1Char('s'))
                   .arg(quintptr(h.item ? static_cast<const void *>(h.item) : h.note));
    }
    return out;
}

QStringList captions(const std::vector<SearchHit> &hits)
{
    QStringList out;
    for (const SearchHit &h : hits)
        out << h.caption;
    return out;
}

// What an index built from nothing finds: the answer a kept index must give.
QStringList fresh(const Workspace &ws, const QString &typed, const std::function<bool(const Desktop &)> &visible = {})
{
    SearchIndex index(ws);
    return describe(index.find(typed, visible, 100000));
}

struct Shortcut {
    Shortcut(QString caption, QString file, QString command = {})
        : caption(std::move(caption)), file(std::move(file)), command(std::move(command))
    {
    }
    QString caption, file, command;
};
struct Page {
    Page(QString caption, QList<Shortcut> items, QStringList note = {}, QByteArray extra = {})
        : caption(std::move(caption)), items(std::move(items)), note(std::move(note)), extra(std::move(extra))
    {
    }
    QString caption;
    QList<Shortcut> items;
    QStringList note; // no note when empty
    QByteArray extra;
};

QByteArray settingsOf(const QList<Page> &pages, int active = 0, const QByteArray &general = {})
{
    QByteArray text = "[General]\r\nPage_Count=" + QByteArray::number(pages.size()) + "\r\nActive_Page="
        + QByteArray::number(active) + "\r\n" + general + "\r\n";
    for (int p = 0; p < pages.size(); ++p) {
        const Page &page = pages[p];
        const QByteArray sec = "Page" + QByteArray::number(p);
        text += "[" + sec + "]\r\nDesktop_Caption=" + page.caption.toUtf8() + "\r\nItem_CountTrue="
            + QByteArray::number(page.items.size()) + "\r\nNote_CountTrue=" + (page.note.isEmpty() ? "0" : "1")
            + "\r\n" + page.extra + "\r\n";
        for (int i = 0; i < page.items.size(); ++i) {
            const Shortcut &s = page.items[i];
            text += "[" + sec + "\\Item" + QByteArray::number(i + 1) + "]\r\nAttachedFile=" + s.file.toUtf8()
                + "\r\nCommandString=" + s.command.toUtf8() + "\r\nLabel_Caption=" + s.caption.toUtf8()
                + "\r\nItem_Left=" + QByteArray::number(10 + 100 * (i % 5))
                + "\r\nItem_Top=" + QByteArray::number(10 + 90 * (i / 5)) + "\r\n\r\n";
        }
        if (!page.note.isEmpty()) {
            text += "[" + sec + "\\Note1]\r\nCount=" + QByteArray::number(page.note.size()) + "\r\n";
            for (int l = 0; l < page.note.size(); ++l)
                text += QByteArray::number(l + 1) + "=" + page.note[l].toUtf8() + "\r\n";
            text += "Note_Left=500\r\nNote_Top=300\r\nNote_Width=120\r\nNote_Height=60\r\n\r\n";
        }
    }
    return text;
}

QByteArray passwordLines(const QString &password, int mode)
{
    return "Password=" + storedPasswordText(password).toLatin1() + "\r\nPassword_On_Desktop="
        + QByteArray::number(mode) + "\r\n";
}

} // namespace

class SearchTest : public QObject, vl::test::WindowFixture {
    Q_OBJECT

    TFormMain &start(const QByteArray &settings, bool shown = false)
    {
        WindowFixture::start(settings);
        if (shown) {
            form_->resize(800, 600);
            form_->show();
            form_->activateWindow();
            if (!QTest::qWaitForWindowExposed(form_.get()))
                qFatal("no window");
        }
        return *form_;
    }
    // The window's index against one built from nothing, for queries typed
    // one letter at a time as the field sends them.
    void expectCurrent(TFormMain &w, const char *when)
    {
        const auto visible = [&w](const Desktop &d) { return w.passwordGate().unlocked(d); };
        for (const char *typed : {"a", "al", "alp", "e", "x", "note", "zebra"}) {
            const QStringList kept = describe(w.searchIndex().find(typed, visible, 100000));
            if (kept != fresh(w.workspace(), typed, visible)) {
                qWarning() << when << typed << kept << fresh(w.workspace(), typed, visible);
                QFAIL(when);
            }
        }
    }
    ShortcutItem &item(int desktop, int i)
    {
        return *form_->workspace().desktop(desktop).items.at(std::size_t(i));
    }

private slots:
    void init()
    {
        resetWindowFixture();
        platform_.launches.clear();
        platform_.sounds.clear();
        platform_.webPicture = QIcon();
    }
    void cleanup() { form_.reset(); }

    // Word starts before text inside words, then caption, file, command
    // string and note text, then caption order; case and accents do not
    // count, in the text or in the query.
    void rankingAndFolding()
    {
        Workspace ws;
        Desktop &work = ws.CreateNewTabSheet();
        work.Desktop_Caption = QStringLiteral("Work");
        addShortcut(work, "Report 2024", "/docs/a.pdf");
        addShortcut(work, "Misreported", "/x/c");
        addShortcut(work, "Budget", "/home/u/report.ods");
        addShortcut(work, "Zeta", "/x/zreport");
        addShortcut(work, "Tools", "/usr/bin/tool", "--report-all");
        work.addNote().Lines = {"Call about the", "REPORT tomorrow"};
        Desktop &home = ws.CreateNewTabSheet();
        home.Desktop_Caption = QStringLiteral("Home");
        addShortcut(home, "Quarterly report", "/x/b.pdf");
        addShortcut(home, QString::fromUtf8("Crème Brûlée Café"), "/recipes/dessert");
        addShortcut(home, QString::fromUtf8("Straße"), "/maps");
        addShortcut(home, QString::fromUtf8("İstanbul"), "/maps/tr");

        SearchIndex index(ws);
        std::size_t total = 0;
        const auto hits = index.find("  rEpOrT ", {}, 100, &total);
        // A caption that begins with the text before one with a word that
        // does; a note by the line that matched.
        QCOMPARE(captions(hits), QStringList({"Report 2024", "Quarterly report", "Budget", "Tools", "REPORT tomorrow",
                                              "Misreported", "Zeta"}));
        QCOMPARE(total, std::size_t(7));
        QCOMPARE(hits[1].desktopCaption, QStringLiteral("Home"));
        QCOMPARE(hits[1].desktopIndex, 1);
        QCOMPARE(hits[2].field, FoundIn::File);
        QCOMPARE(hits[3].field, FoundIn::Command);
        QVERIFY(hits[4].note && hits[4].field == FoundIn::NoteText && hits[4].wordStart);
        QVERIFY(!hits[5].wordStart && hits[5].field == FoundIn::Caption);
        QVERIFY(!hits[6].wordStart && hits[6].field == FoundIn::File);
        // The limit keeps the best; the total still counts them all.
        QCOMPARE(captions(index.find("report", {}, 2, &total)), QStringList({"Report 2024", "Quarterly report"}));
        QCOMPARE(total, std::size_t(7));

        const QString creme = QString::fromUtf8("Crème Brûlée Café");
        for (const char *typed : {"creme", "CAFE", "brûl", "e\xcc\x81", "cafe\xcc\x81", "crème  brulee"})
            QVERIFY2(captions(index.find(QString::fromUtf8(typed), {}, 10)).contains(creme), typed);
        QCOMPARE(captions(index.find("strasse", {}, 10)), QStringList({QString::fromUtf8("Straße")}));
        QCOMPARE(captions(index.find("istan", {}, 10)), QStringList({QString::fromUtf8("İstanbul")}));
        QVERIFY(index.find(" \t", {}, 10).empty());
        QVERIFY(index.find("reports", {}, 10).empty());
        // Hidden desktops give nothing, not even to the count.
        const auto workOnly = [&](const Desktop &d) { return &d == &work; };
        QCOMPARE(captions(index.find("report", workOnly, 100, &total)).size(), 6);
        QCOMPARE(total, std::size_t(6));
    }

    // Numbers in captions by their value; a note by its line that matched,
    // a match across lines by the line it begins on.
    void captionOrderAndNoteLines()
    {
        Workspace ws;
        Desktop &d = ws.CreateNewTabSheet();
        for (const char *caption : {"Item 10", "Itemized list", "An item", "Item 9", "item 2b", "Item 02", "Item 1000",
                                    "Item 100"})
            addShortcut(d, caption);
        d.addNote().Lines = {"Shopping", "", "  buy milk", "call the item shop  "};
        d.addNote().Lines = {"first half of an", "item list"};
        SearchIndex index(ws);
        QCOMPARE(captions(index.find("item", {}, 100)),
                 QStringList({"Item 02", "item 2b", "Item 9", "Item 10", "Item 100", "Item 1000", "Itemized list",
                              "An item", "item list", "call the item shop"}));
        QCOMPARE(captions(index.find("an item", {}, 100)), QStringList({"An item", "first half of an"}));
        QCOMPARE(captions(index.find("milk", {}, 100)), QStringList({"buy milk"}));
    }

    // Typing, erasing and retyping reuse earlier queries; whatever the
    // path, the answer is the one of an index that saw only this query,
    // however the workspace changes in between, when the changes are
    // reported as the window reports them.
    void keptIndexAgreesWithAFreshOneThroughRandomChanges()
    {
        const QStringList words = {"report", "Rapport", QString::fromUtf8("crème"), QString::fromUtf8("CAFÉ"),
                                   QString::fromUtf8("straße"), "budget", "re", "port", "alpha",
                                   QString::fromUtf8("Ωmega"), QString::fromUtf8("naïve"), "x-ray", "2024", ""};
        const QStringList queries = {"r", "re", "rep", "repo", "rep", "port", "a", "al", "ca", QString::fromUtf8("café"),
                                     "x", "x-r", QString::fromUtf8("ω"), "2", "e r"};
        std::mt19937 rng(20261207);
        const auto pick = [&](std::size_t n) { return std::size_t(rng() % std::max<std::size_t>(n, 1)); };
        const auto text = [&] { return words[int(pick(words.size()))] + ' ' + words[int(pick(words.size()))]; };

        Workspace ws;
        for (int i = 0; i < 3; ++i)
            ws.CreateNewTabSheet().Desktop_Caption = text();
        SearchIndex index(ws);
        std::size_t q = 0, most = 0;
        for (int step = 0; step < 400; ++step) {
            Desktop &d = ws.desktop(int(pick(std::size_t(ws.desktopCount()))));
            switch (rng() % 11) {
            case 0:
            case 1: addShortcut(d, text(), text(), text()); index.desktopChanged(&d); break;
            case 2:
            case 3:
                if (!d.items.empty()) {
                    ShortcutItem &it = *d.items[pick(d.items.size())];
                    (rng() % 3 == 0 ? it.Label_Caption : rng() % 2 ? it.AttachedFile : it.CommandString) = text();
                    index.recordChanged(&it);
                }
                break;
            case 4:
                if (!d.items.empty()) {
                    const ShortcutItem *it = d.items[pick(d.items.size())].get();
                    index.recordChanged(it);
                    d.removeItem(it);
                }
                break;
            case 5: d.addNote().Lines = {text(), text()}; index.desktopChanged(&d); break;
            case 6:
                if (!d.notes.empty()) {
                    Note &n = *d.notes[pick(d.notes.size())];
                    if (rng() % 2) {
                        n.Lines.append(text());
                        index.recordChanged(&n);
                    } else {
                        index.recordChanged(&n);
                        d.removeNote(&n);
                    }
                }
                break;
            case 7:
                ws.CreateNewTabSheet().Desktop_Caption = text();
                index.desktopChanged(nullptr);
                break;
            case 8:
                if (ws.desktopCount() > 1 && rng() % 4 == 0) {
                    index.desktopRemoving(&d);
                    ws.deleteDesktop(ws.indexOf(&d));
                }
                break;
            case 9: ws.moveDesktop(int(pick(std::size_t(ws.desktopCount()))), ws.indexOf(&d)); break;
            case 10: d.Desktop_Caption = text(); break;
            }
            for (int k = 0; k < 3; ++k, ++q) {
                const QString &typed = queries[int(q % std::size_t(queries.size()))];
                const QStringList kept = describe(index.find(typed, {}, 100000));
                if (kept != fresh(ws, typed))
                    QFAIL(qPrintable(QStringLiteral("step %1, query \"%2\"").arg(step).arg(typed)));
            }
            most = std::max(most, index.entryCount());
        }
        QVERIFY2(most > 60, qPrintable(QString::number(most)));
    }

    // The window reports every change it makes; a result kept from before
    // a deletion does nothing when chosen.
    void windowKeepsTheIndexCurrent()
    {
        TFormMain &w = start(settingsOf({{"Alpha desk", {{"Alpha one", "https://example.org/1"},
                                                         {"Beta", "https://example.org/alpha"},
                                                         {"Gamma", "https://example.org/g", "--alpha"}},
                                          {"first note", "alpha"}},
                                         {"Other", {{"Delta", "https://example.org/d"}}}}));
        Workspace &ws = w.workspace();
        expectCurrent(w, "loaded");

        w.selection().Focused(item(0, 1), false);
        prompt_.renameAnswers = {QStringLiteral("Zebra alpaca")};
        w.shortcutCommands().mnuItemRenameClick();
        QCOMPARE(item(0, 1).Label_Caption, QStringLiteral("Zebra alpaca"));
        expectCurrent(w, "renamed");

        const std::vector<SearchHit> before = w.searchIndex().find("gamma", {}, 10);
        QCOMPARE(before.size(), std::size_t(1));
        w.selection().Focused(item(0, 2), false);
        prompt_.answer(ModalResult::OK);
        QVERIFY(w.shortcutCommands().DeleteItem());
        expectCurrent(w, "deleted");
        w.startFound(before[0]);
        w.showFound(before[0]);
        QVERIFY(platform_.launches.isEmpty());
        QVERIFY(w.searchIndex().find("gamma", {}, 10).empty());

        // Copied on one desktop, cut from it and pasted onto another.
        w.selection().Focused(item(0, 0), false);
        w.clipboard().mnuItemCopyClick();
        w.clipboard().mnuItemPasteClick();
        expectCurrent(w, "pasted");
        w.selection().Focused(item(0, 0), false);
        w.clipboard().mnuItemCutClick();
        w.PageControl1()->setCurrentIndex(1);
        QCOMPARE(ws.activeIndex(), 1);
        w.clipboard().mnuItemPasteClick();
        expectCurrent(w, "cut and pasted");

        DropData drop;
        drop.URL = QStringLiteral("https://example.org/zebra");
        drop.Title = QStringLiteral("Zebra crossing");
        w.DragDropFileDrop(drop, w.surface()->mapToGlobal(QPoint(300, 200)));
        expectCurrent(w, "dropped");

        // Text typed into a note reaches the index when the note gives it up.
        w.PageControl1()->setCurrentIndex(0);
        Note &note = *ws.desktop(0).notes.at(0);
        TResizer *controller = w.notes().controllerOf(&note);
        QVERIFY(controller);
        controller->popEditClick();
        QTest::keyClicks(controller->memo(), QStringLiteral(" xylophone"));
        QVERIFY(!w.findPopup().isOpen()); // typing into a note is no search
        controller->flush();
        QVERIFY(note.Lines.join(' ').contains(QStringLiteral("xylophone")));
        expectCurrent(w, "note typed");
        QCOMPARE(w.searchIndex().find("xylo", {}, 10).size(), std::size_t(1));

        w.desktopCommands().mnuNewTabSheetClick();
        prompt_.renameAnswers = {QStringLiteral("Renamed alpha")};
        w.desktopCommands().mnuRenameTabSheetClick();
        expectCurrent(w, "desktop added and renamed");
        QCOMPARE(w.searchIndex().find("delta", {}, 10).at(0).desktopCaption, QStringLiteral("Other"));

        // Deleting the desktop that holds the pasted shortcuts.
        w.PageControl1()->setCurrentIndex(1);
        prompt_.answer(ModalResult::OK);
        w.desktopCommands().mnuDeleteTabSheetClick();
        QCOMPARE(ws.desktopCount(), 2);
        expectCurrent(w, "desktop deleted");
        QVERIFY(w.searchIndex().find("delta", {}, 10).empty());

        // A reload brings back the file, and nothing of what was before.
        vl::test::writeAll(path_, settingsOf({{"Fresh", {{"Alpine", "https://example.org/alp"}}}}));
        prompt_.answer(ModalResult::OK);
        w.mnuReloadClick();
        expectCurrent(w, "reloaded");
        QCOMPARE(captions(w.searchIndex().find("al", {}, 10)), QStringList({"Alpine"}));
        QVERIFY(w.searchIndex().find("zebra", {}, 10).empty());
    }

    // A desktop whose password is asked on opening it is found once the
    // password was given in this run; a changed password, a reload or a
    // wrong answer hide it again. One asked only on its menus hides nothing.
    void passwordsHideDesktopsUntilGiven()
    {
        TFormMain &w = start(settingsOf({{"Open", {{"alpha one", "https://example.org/1"}}},
                                         {"Safe", {{"alpha two", "https://example.org/2"}}, {}, passwordLines("s1", 1)},
                                         {"Menus", {{"alpha three", "https://example.org/3"}}, {"alpha note"},
                                          passwordLines("s2", 0)}}));
        Workspace &ws = w.workspace();
        const auto found = [&w] {
            w.findPopup().open(QStringLiteral("alpha"));
            QStringList out = captions(w.findPopup().hits());
            w.findPopup().close();
            return out;
        };
        // The menu desktop shows its page to anyone: its content is listed
        // without a question. What is left out is said when nothing is found.
        QCOMPARE(found(), QStringList({"alpha one", "alpha three", "alpha note"}));
        QVERIFY(prompt_.passwordCaptions.isEmpty());
        const auto nothingFound = [&w] {
            w.findPopup().open(QStringLiteral("zebra"));
            const QString said = w.findPopup().findChild<QLabel *>(QStringLiteral("lblFound"))->text();
            w.findPopup().close();
            return said;
        };
        QCOMPARE(nothingFound(), QStringLiteral("Nothing found. 1 desktop behind its password was not searched."));

        prompt_.passwordAnswers = {QStringLiteral("wrong")};
        w.PageControl1()->setCurrentIndex(1);
        QCOMPARE(found(), QStringList({"alpha one", "alpha three", "alpha note"}));
        w.PageControl1()->setCurrentIndex(0);
        prompt_.passwordAnswers = {QStringLiteral("s1")};
        w.PageControl1()->setCurrentIndex(1);
        QCOMPARE(found(), QStringList({"alpha one", "alpha three", "alpha two", "alpha note"}));
        QCOMPARE(nothingFound(), QStringLiteral("Nothing found"));
        w.PageControl1()->setCurrentIndex(2);
        QVERIFY(prompt_.passwordCaptions.size() == 2);

        // Alt+Enter passes the same question as a click on the tab would.
        prompt_.passwordCaptions.clear();
        prompt_.passwordAnswers = {QStringLiteral("s1")};
        const std::vector<SearchHit> hits = w.searchIndex().find("alpha two", {}, 10);
        w.showFound(hits.at(0));
        QCOMPARE(prompt_.passwordCaptions, QStringList({"Safe"}));
        QCOMPARE(ws.activeIndex(), 1);
        QCOMPARE(w.selection().items(), std::vector<ShortcutItem *>({&item(1, 0)}));

        ws.desktop(1).settings.Password = storedPasswordText(QStringLiteral("changed"));
        QCOMPARE(found(), QStringList({"alpha one", "alpha three", "alpha note"}));
        ws.desktop(1).settings.Password = QStringLiteral("0");
        QCOMPARE(found().size(), 4);
        // Asked on opening and on the menus both: hidden like one asked on opening.
        ws.desktop(2).settings.Password_On_Desktop = 2;
        QCOMPARE(found(), QStringList({"alpha one", "alpha two"}));
        ws.desktop(2).settings.Password_On_Desktop = 0;

        prompt_.answer(ModalResult::OK);
        w.PageControl1()->setCurrentIndex(0);
        w.mnuReloadClick();
        QCOMPARE(found(), QStringList({"alpha one", "alpha three", "alpha note"}));
    }

    // Ctrl+F, a few letters, Down and Enter start the second result once,
    // as a double click would (with its sound), and not the shortcut that
    // was current; Escape closes; a letter typed on the page opens the
    // field with it; Alt+Enter switches and selects; a shortcut that
    // arrives while the list shows joins it; no field opens over a question.
    void keyboardFindsAndStarts()
    {
        platform_.webPicture = FakePlatform::fixedFileIcon();
        TFormMain &w = start(settingsOf({{"Main", {{"Report draft", "https://example.org/draft"},
                                                   {"Reports", "https://example.org/reports"},
                                                   {"Unrelated", "https://example.org/u"}}},
                                         {"Second", {{"Report archive", "https://example.org/archive"}}}},
                                        0, "Wave_File=/sounds/start.wav\r\n"),
                             true);
        FindPopup &popup = w.findPopup();
        w.selection().Focused(item(0, 2), false); // Enter on the page would start it
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(popup.isOpen());
        QCOMPARE(QApplication::focusWidget(), popup.field());
        QTest::keyClicks(popup.field(), QStringLiteral("rep"));
        QCOMPARE(captions(popup.hits()), QStringList({"Report archive", "Report draft", "Reports"}));
        QCOMPARE(popup.list()->topLevelItem(0)->text(1), QStringLiteral("Second"));
        QVERIFY(!popup.list()->topLevelItem(1)->icon(0).isNull());
        QTest::keyClick(popup.field(), Qt::Key_Down);
        QTest::keyClick(popup.field(), Qt::Key_Return);
        QCOMPARE(platform_.launches.size(), 1);
        QCOMPARE(platform_.launches[0].target, QStringLiteral("https://example.org/draft"));
        QCOMPARE(platform_.sounds, QStringList({"/sounds/start.wav"}));
        QVERIFY(!popup.isOpen());
        QCOMPARE(w.workspace().work.CurrentElement.item, &item(0, 0));

        // A letter on the page opens the field with it; Escape closes it.
        w.surface()->setFocus();
        QTest::keyClick(w.surface(), Qt::Key_U);
        QVERIFY(popup.isOpen());
        QCOMPARE(popup.field()->text(), QStringLiteral("u"));
        QCOMPARE(captions(popup.hits()), QStringList({"Unrelated"}));
        QTest::keyClick(popup.field(), Qt::Key_Escape);
        QVERIFY(!popup.isOpen());
        QCOMPARE(platform_.launches.size(), 1);

        // While the list shows, a drop adds a shortcut that matches.
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(popup.field(), QStringLiteral("archive"));
        DropData drop;
        drop.URL = QStringLiteral("https://example.org/old");
        drop.Title = QStringLiteral("Old archive");
        w.DragDropFileDrop(drop, w.surface()->mapToGlobal(QPoint(300, 300)));
        QTRY_COMPARE(captions(popup.hits()), QStringList({"Old archive", "Report archive"}));
        QTest::keyClick(popup.field(), Qt::Key_Down);
        QTest::keyClick(popup.field(), Qt::Key_Return, Qt::AltModifier);
        QCOMPARE(w.workspace().activeIndex(), 1);
        QCOMPARE(w.selection().items(), std::vector<ShortcutItem *>({&item(1, 0)}));
        QCOMPARE(platform_.launches.size(), 1);

        // Over an open question the field stays shut.
        bool triedDuringQuestion = false;
        prompt_.onDialog = [&](const QString &) {
            triedDuringQuestion = true;
            w.mnuFindClick();
            QVERIFY(!popup.isOpen());
        };
        prompt_.renameAnswers = {std::nullopt};
        w.shortcutCommands().mnuItemRenameClick();
        QVERIFY(triedDuringQuestion);
        QVERIFY(!popup.isOpen());
    }
};

QTEST_MAIN(SearchTest)
#include "tst_search.moc"
