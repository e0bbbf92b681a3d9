// Arranging shortcuts on the grid and by name, keeping a pasted shortcut on
// the page, and the program's own clipboard for shortcuts, driven through a
// window that records what it was told.
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "surface/Arrangement.h"
#include "surface/ItemClipboard.h"
#include "surface/Selection.h"
#include "surface/ShortcutCommands.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;

namespace {

// Stands in for the main window: both the shortcut view and the
// arrangement's view, and it drops destroyed shortcuts from the clipboard
// and the selection as the window does.
class WindowView : public ShortcutView, public ArrangeView {
public:
    explicit WindowView(Workspace &ws) : ws_(ws) {}

    void itemAdded(ShortcutItem &) override { log << QStringLiteral("added"); }
    void itemChanged(ShortcutItem &item) override { log << QStringLiteral("changed ") + item.Label_Caption; }
    void itemRemoving(ShortcutItem &item) override
    {
        if (removingCalls++ == failRemovingAt)
            throw std::runtime_error("view failed");
        bool held = false;
        for (int i = 0; i < ws_.desktopCount(); ++i)
            held = held || ws_.desktop(i).indexOfItem(&item) >= 0;
        removedTooEarly = removedTooEarly || !held;
        log << QStringLiteral("removing ") + item.Label_Caption;
        clipboard->forget(&item);
        selection->forget(&item);
    }
    void pictureDecoded(const QString &path, const QImage &picture) override
    {
        if (!picture.isNull())
            decoded << path;
    }
    void Modified() override { log << QStringLiteral("modified"); }
    void RefreshAll() override { log << QStringLiteral("refresh"); }
    void executeItem(ShortcutItem &) override {}

    QSize tabControlSize() override { return tab; }
    QRect pageGeometry() override { return page; }
    int captionHeight(ShortcutItem &) override { return caption; }
    void itemsMoved() override { log << QStringLiteral("moved"); }

    QSize tab{1000, 1000};
    QRect page{0, 0, 1000, 1000};
    int caption = 15;
    QStringList log;
    QStringList decoded;
    int failRemovingAt = -1;
    int removingCalls = 0;
    bool removedTooEarly = false;
    ItemClipboard *clipboard = nullptr;
    Selection *selection = nullptr;

private:
    Workspace &ws_;
};

class BrokenLinkPlatform : public FakePlatform {
public:
    std::optional<LinkTarget> readLink(const QString &) override { throw std::runtime_error("broken link"); }
};

// Two desktops, the first active.
template <class PlatformT = FakePlatform>
struct Rig {
    Rig()
    {
        ws.CreateNewTabSheet();
        ws.CreateNewTabSheet();
        ws.setActiveIndex(0);
        view.clipboard = &clip;
        view.selection = &selection;
        clip.onPasteEnabledChanged = [this](bool on) { enabledLog << on; };
    }

    ShortcutItem &add(const QString &caption, QPoint pos = {}, int desk = 0)
    {
        ShortcutItem &item = ws.desktop(desk).addItem();
        item.Label_Caption = caption;
        item.AttachedFile = QStringLiteral("/opt/") + caption;
        item.CommandString = QStringLiteral("--") + caption;
        item.Item_Left = pos.x();
        item.Item_Top = pos.y();
        return item;
    }
    ShortcutItem *find(const QString &caption, int desk = 0)
    {
        for (const auto &item : ws.desktop(desk).items)
            if (item->Label_Caption == caption)
                return item.get();
        return nullptr;
    }
    void select(const QStringList &captions)
    {
        selection.UnFocused();
        for (const QString &c : captions)
            selection.Focused(*find(c), true);
    }
    void pasteAt(QPoint p)
    {
        ws.work.NewElementPosition = p;
        clip.mnuItemPasteClick();
    }
    QStringList captions(int desk = 0) const
    {
        QStringList out;
        for (const auto &item : ws.desktop(desk).items)
            out << item->Label_Caption;
        return out;
    }
    QList<QPoint> positions(int desk = 0, int from = 0) const
    {
        QList<QPoint> out;
        const auto &items = ws.desktop(desk).items;
        for (std::size_t i = std::size_t(from); i < items.size(); ++i)
            out << QPoint(items[i]->Item_Left, items[i]->Item_Top);
        return out;
    }

    Workspace ws;
    FakePrompt prompt;
    PlatformT platform;
    Selection selection{ws};
    WindowView view{ws};
    ShortcutCommands cmd{ws, prompt, platform, selection, view};
    Arrangement arrange{ws, view};
    ItemClipboard clip{ws, prompt, platform, selection, cmd, arrange, view};
    QList<bool> enabledLog;
};

// Where a 32-pixel picture sits in grid cell (col, row) of the default grid.
QPoint cell(int col, int row) { return {col * 92 + 30, row * 82 + 8}; }

} // namespace

class ArrangementTest : public QObject {
    Q_OBJECT

private slots:
    // ------------------------------------------------------------ by grid

    void byGridSnapsTheCorner_data()
    {
        QTest::addColumn<QSize>("tab");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        const QSize big(1000, 1000);
        QTest::newRow("past half") << big << QPoint(50, 60) << QPoint(122, 90);
        QTest::newRow("exact halves go down to even") << big << QPoint(46, 41) << QPoint(30, 8);
        QTest::newRow("exact halves go up to even") << big << QPoint(138, 123) << QPoint(214, 172);
        QTest::newRow("negative halves go to zero") << big << QPoint(-46, -41) << QPoint(30, 8);
        QTest::newRow("on a cell stays") << big << QPoint(122, 90) << QPoint(122, 90);
        QTest::newRow("one column back") << QSize(400, 1000) << QPoint(350, 10) << QPoint(306, 8);
        QTest::newRow("one column back only") << QSize(400, 1000) << QPoint(600, 10) << QPoint(582, 8);
        QTest::newRow("one row back") << QSize(1000, 200) << QPoint(30, 170) << QPoint(30, 90);
    }
    void byGridSnapsTheCorner()
    {
        QFETCH(QSize, tab);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        Rig r;
        r.view.tab = tab;
        r.add(QStringLiteral("a"), from);
        r.add(QStringLiteral("elsewhere"), from, 1);
        Note &note = r.ws.desktop(0).addNote();
        note.Note_Left = from.x();

        r.arrange.mnuEqualizeClick();

        QCOMPARE(r.positions(0), QList<QPoint>{to});
        QCOMPARE(r.positions(1), QList<QPoint>{from});
        QCOMPARE(note.Note_Left, from.x());
        QCOMPARE(r.view.log, QStringList({"moved", "refresh", "modified"}));
    }

    // ------------------------------------------------------------ by name

    void captionRanks_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<std::vector<int>>("ranks");
        QTest::newRow("equal captions share, the next skips") << QStringList{"a", "B", "b", "c"}
                                                              << std::vector<int>{0, 1, 1, 3};
        QTest::newRow("prefix first") << QStringList{"ab", "a", ""} << std::vector<int>{2, 1, 0};
        // Folded to upper case, "B" (0x42) comes before "_" (0x5F).
        QTest::newRow("other characters by code") << QStringList{"_a", "b"} << std::vector<int>{1, 0};
        QTest::newRow("only a to z folded") << QStringList{"\u00e9", "\u00c9", "z"} << std::vector<int>{2, 1, 0};
    }
    void captionRanks()
    {
        QFETCH(QStringList, captions);
        QFETCH(std::vector<int>, ranks);
        Rig r;
        for (const QString &c : captions)
            r.add(c);
        QCOMPARE(Arrangement::captionRanks(r.ws.desktop(0)), ranks);
    }

    void byNameFillsCellsAroundNotes_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<int>("tabWidth");
        QTest::addColumn<QList<QRect>>("notes");
        QTest::addColumn<QList<QPoint>>("cells"); // per shortcut, in element order
        QTest::newRow("equal captions in element order")
            << QStringList{"beta", "Alpha", "alpha"} << 400 << QList<QRect>()
            << QList<QPoint>{cell(2, 0), cell(0, 0), cell(1, 0)};
        QTest::newRow("rows of two") << QStringList{"e", "d", "c", "b", "a"} << 200 << QList<QRect>()
                                     << QList<QPoint>{cell(0, 2), cell(1, 1), cell(0, 1), cell(1, 0), cell(0, 0)};
        QTest::newRow("narrower than a cell: one column")
            << QStringList{"b", "a", "c"} << 50 << QList<QRect>()
            << QList<QPoint>{cell(0, 1), cell(0, 0), cell(0, 2)};
        QTest::newRow("note covering cell 1") << QStringList{"a", "b", "c"} << 400
                                              << QList<QRect>{QRect(130, 20, 10, 10)}
                                              << QList<QPoint>{cell(0, 0), cell(2, 0), cell(3, 0)};
        QTest::newRow("note touching cell 1") << QStringList{"a", "b"} << 400
                                              << QList<QRect>{QRect(100, 0, 22, 8)}
                                              << QList<QPoint>{cell(0, 0), cell(2, 0)};
        QTest::newRow("note a pixel off cell 1") << QStringList{"a", "b"} << 400
                                                 << QList<QRect>{QRect(100, 0, 21, 8)}
                                                 << QList<QPoint>{cell(0, 0), cell(1, 0)};
    }
    void byNameFillsCellsAroundNotes()
    {
        QFETCH(QStringList, captions);
        QFETCH(int, tabWidth);
        QFETCH(QList<QRect>, notes);
        QFETCH(QList<QPoint>, cells);
        Rig r;
        r.view.tab = QSize(tabWidth, 100);
        for (const QString &c : captions)
            r.add(c, QPoint(500, 500));
        for (const QRect &n : notes) {
            Note &note = r.ws.desktop(0).addNote();
            note.Note_Left = n.x();
            note.Note_Top = n.y();
            note.Note_Width = n.width();
            note.Note_Height = n.height();
        }
        r.add(QStringLiteral("elsewhere"), QPoint(500, 500), 1);

        r.arrange.mnuByNameClick();

        QCOMPARE(r.positions(0), cells);
        QCOMPARE(r.positions(1), QList<QPoint>{QPoint(500, 500)});
        for (std::size_t i = 0; i < r.ws.desktop(0).notes.size(); ++i)
            QCOMPARE(r.ws.desktop(0).notes[i]->Note_Left, notes[int(i)].x());
        QCOMPARE(r.view.log, QStringList({"moved", "refresh", "modified"}));
    }

    void checkOverlapNote_data()
    {
        QTest::addColumn<QRect>("candidate");
        QTest::addColumn<bool>("overlaps");
        // The note spans x 100..150 and y 100..140.
        QTest::newRow("left edge on the note's right") << QRect(150, 100, 32, 32) << true;
        QTest::newRow("a pixel right of it") << QRect(151, 100, 32, 32) << false;
        QTest::newRow("right edge on the note's left") << QRect(68, 100, 32, 32) << true;
        QTest::newRow("a pixel left of it") << QRect(67, 100, 32, 32) << false;
        QTest::newRow("top on the note's bottom") << QRect(100, 140, 32, 32) << true;
        QTest::newRow("a pixel below it") << QRect(100, 141, 32, 32) << false;
        QTest::newRow("inside") << QRect(110, 110, 5, 5) << true;
    }
    void checkOverlapNote()
    {
        QFETCH(QRect, candidate);
        QFETCH(bool, overlaps);
        Rig r;
        Note &note = r.ws.desktop(0).addNote();
        note.Note_Left = 100;
        note.Note_Top = 100;
        note.Note_Width = 50;
        note.Note_Height = 40;
        Note &elsewhere = r.ws.desktop(1).addNote();
        elsewhere.Note_Left = elsewhere.Note_Top = 0;
        elsewhere.Note_Width = elsewhere.Note_Height = 1000;
        QCOMPARE(r.arrange.CheckOverlapNote(candidate.x(), candidate.y(), candidate.width(), candidate.height()),
                 overlaps);
    }

    // ------------------------------------------------------------ keep inside

    void checkOutBounds_data()
    {
        QTest::addColumn<QRect>("page");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        // The page sits 20 pixels down in its tab control; captions are 15 high.
        const QRect page(0, 20, 400, 300);
        QTest::newRow("negative: the page's offsets") << page << QPoint(-10, -10) << QPoint(0, 20);
        QTest::newRow("past the right") << page << QPoint(390, 100) << QPoint(368, 100);
        QTest::newRow("caption past the bottom") << page << QPoint(100, 260) << QPoint(100, 253);
        QTest::newRow("inside stays") << page << QPoint(100, 100) << QPoint(100, 100);
        QTest::newRow("page smaller than the shortcut") << QRect(0, 20, 20, 30) << QPoint(-5, -5)
                                                        << QPoint(-12, -17);
    }
    void checkOutBounds()
    {
        QFETCH(QRect, page);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        Rig r;
        r.view.page = page;
        ShortcutItem &item = r.add(QStringLiteral("a"), from);
        r.arrange.CheckOutBounds(item);
        QCOMPARE(QPoint(item.Item_Left, item.Item_Top), to);
        QCOMPARE(r.view.log.contains(QStringLiteral("moved")), from != to);
    }

    // ------------------------------------------------------------ clipboard

    void pasteKeepsTheLayoutAroundTheAnchor_data()
    {
        QTest::addColumn<QRect>("page");
        QTest::addColumn<QList<QPoint>>("copies");
        QTest::newRow("room enough") << QRect(0, 0, 1000, 1000)
                                     << QList<QPoint>{{300, 200}, {400, 200}, {300, 290}};
        QTest::newRow("narrow page") << QRect(0, 0, 420, 1000)
                                     << QList<QPoint>{{300, 200}, {388, 200}, {300, 290}};
        QTest::newRow("low page") << QRect(0, 0, 1000, 320) << QList<QPoint>{{300, 200}, {400, 200}, {300, 273}};
    }
    void pasteKeepsTheLayoutAroundTheAnchor()
    {
        QFETCH(QRect, page);
        QFETCH(QList<QPoint>, copies);
        Rig r;
        r.view.page = page;
        r.add(QStringLiteral("a"), {10, 10});
        r.add(QStringLiteral("b"), {110, 10});
        r.add(QStringLiteral("c"), {10, 100});
        r.select({"a", "b", "c"});
        r.clip.mnuItemCopyClick();
        QVERIFY(r.clip.pasteEnabled());

        r.pasteAt({300, 200});

        QCOMPARE(r.positions(0, 3), copies);
        const auto &items = r.ws.desktop(0).items;
        for (int i = 0; i < 3; ++i) {
            const ShortcutItem &source = *items[std::size_t(i)], &copy = *items[std::size_t(i) + 3];
            QCOMPARE(copy.Label_Caption, source.Label_Caption);
            QCOMPARE(copy.AttachedFile, source.AttachedFile);
            QCOMPARE(copy.CommandString, source.CommandString);
            QVERIFY(!copy.Selected);
        }
        QCOMPARE(r.selection.count(), 3);
        QCOMPARE(r.ws.work.CurrentElement.item, items.back().get());
        QVERIFY(!r.view.log.contains(QStringLiteral("modified")));
        QCOMPARE(r.enabledLog, QList<bool>({true, false}));

        r.clip.mnuItemPasteClick();
        QCOMPARE(items.size(), std::size_t(6));
    }

    void cutCompletesWithItsPasteOnly_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("modified");
        QTest::newRow("copy") << QStringList{"select a b", "copy", "paste"} << QStringList{"a", "b", "c", "a", "b"} << 0;
        QTest::newRow("cut, select another")
            << QStringList{"select a b", "cut", "select c", "paste"} << QStringList{"c", "a", "b"} << 1;
        QTest::newRow("cut, then copy") << QStringList{"select a b", "cut", "select c", "copy", "paste"}
                                        << QStringList{"a", "b", "c", "c"} << 0;
        QTest::newRow("copy of nothing") << QStringList{"select", "copy", "paste"} << QStringList{"a", "b", "c"} << 0;
        QTest::newRow("cut of nothing") << QStringList{"select", "cut", "paste"} << QStringList{"a", "b", "c"} << 1;
        QTest::newRow("second paste") << QStringList{"select a", "cut", "paste", "paste"}
                                      << QStringList{"b", "c", "a"} << 1;
    }
    void cutCompletesWithItsPasteOnly()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, after);
        QFETCH(int, modified);
        Rig r;
        for (const char *c : {"a", "b", "c"})
            r.add(QString::fromLatin1(c), {10, 10});
        for (const QString &step : steps) {
            QStringList words = step.split(QLatin1Char(' '));
            const QString verb = words.takeFirst();
            if (verb == QLatin1String("select"))
                r.select(words);
            else if (verb == QLatin1String("copy"))
                r.clip.mnuItemCopyClick();
            else if (verb == QLatin1String("cut"))
                r.clip.mnuItemCutClick();
            else
                r.pasteAt({50, 50});
        }
        QCOMPARE(r.captions(), after);
        QCOMPARE(r.view.log.count(QStringLiteral("modified")), modified);
        QVERIFY(!r.view.removedTooEarly);
        QVERIFY(!r.clip.pasteEnabled());
        QVERIFY(!r.clip.cutPending());
        QCOMPARE(r.clip.count(), 0);
        if (modified) {
            QCOMPARE(r.selection.count(), 0);
            QVERIFY(r.ws.work.CurrentElement.empty());
        }
    }

    void cutOnOneDesktopPastedOnAnotherMovesThem()
    {
        Rig r;
        r.add(QStringLiteral("a"), {10, 10});
        r.add(QStringLiteral("b"), {110, 10});
        r.add(QStringLiteral("c"), {10, 10});
        r.select({"a", "b"});
        r.clip.mnuItemCutClick();
        r.ws.setActiveIndex(1);
        r.selection.UnFocused();

        r.pasteAt({50, 60});

        QCOMPARE(r.captions(0), QStringList{"c"});
        QCOMPARE(r.captions(1), QStringList({"a", "b"}));
        QCOMPARE(r.positions(1), QList<QPoint>({{50, 60}, {150, 60}}));
        QVERIFY(!r.view.removedTooEarly);
    }

    void pasteReadsTheSourcesAsTheyAreThen_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<QPoint>("firstCopy");
        QTest::newRow("renamed") << "rename" << QStringList{"renamed", "b"} << QPoint(300, 200);
        // The next source anchors the layout in place of the deleted one.
        QTest::newRow("first deleted") << "delete" << QStringList{"b"} << QPoint(300, 200);
        QTest::newRow("desktop deleted") << "delete desktop" << QStringList{} << QPoint();
    }
    void pasteReadsTheSourcesAsTheyAreThen()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, copies);
        QFETCH(QPoint, firstCopy);
        Rig r;
        r.ws.setActiveIndex(1);
        r.add(QStringLiteral("a"), {10, 10}, 1);
        r.add(QStringLiteral("b"), {110, 10}, 1);
        r.selection.Focused(*r.ws.desktop(1).items[0], false);
        r.selection.Focused(*r.ws.desktop(1).items[1], true);
        r.clip.mnuItemCutClick();
        if (meanwhile == QLatin1String("rename")) {
            r.ws.desktop(1).items[0]->Label_Caption = QStringLiteral("renamed");
        } else if (meanwhile == QLatin1String("delete")) {
            r.selection.UnFocused();
            r.selection.Focused(*r.ws.desktop(1).items[0], false);
            r.prompt.answer(ModalResult::OK);
            QVERIFY(r.cmd.DeleteItem());
        } else {
            r.clip.forgetDesktop(&r.ws.desktop(1));
            r.ws.deleteDesktop(1);
        }
        r.ws.setActiveIndex(0);

        r.pasteAt({300, 200});

        QCOMPARE(r.captions(0), copies);
        if (!copies.isEmpty())
            QCOMPARE(r.positions(0).front(), firstCopy);
        if (r.ws.desktopCount() > 1)
            QVERIFY(r.ws.desktop(1).items.empty());
    }

    void pictureOfACopy_data()
    {
        QTest::addColumn<QString>("picture"); // "png": a readable picture file
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("decoded");
        QTest::newRow("none") << "NONE" << 0 << 0;
        QTest::newRow("automatic") << "" << 0 << 0;
        QTest::newRow("readable") << "png" << 0 << 2;
        QTest::newRow("unreadable, told once") << "missing.png" << 1 << 0;
    }
    void pictureOfACopy()
    {
        QFETCH(QString, picture);
        QFETCH(int, messages);
        QFETCH(int, decoded);
        QTemporaryDir tmp;
        if (picture == QLatin1String("png")) {
            picture = tmp.filePath(QStringLiteral("p.png"));
            QImage image(8, 8, QImage::Format_ARGB32);
            image.fill(Qt::red);
            QVERIFY(image.save(picture, "PNG"));
        } else if (picture.endsWith(QLatin1String(".png"))) {
            picture = tmp.filePath(picture);
        }
        Rig r;
        r.add(QStringLiteral("a"), {10, 10}).Picture = picture;
        r.add(QStringLiteral("b"), {110, 10}).Picture = picture;
        r.select({"a", "b"});
        r.clip.mnuItemCopyClick();

        r.pasteAt({300, 200});

        QCOMPARE(r.captions(), QStringList({"a", "b", "a", "b"}));
        QCOMPARE(r.ws.desktop(0).items[2]->Picture, picture);
        QCOMPARE(r.ws.desktop(0).items[3]->Picture, picture);
        QCOMPARE(r.prompt.count(ItemClipboard::PasteError), messages);
        QCOMPARE(r.ws.work.ErrorsOccurred, messages > 0);
        QCOMPARE(r.view.decoded.size(), decoded);
    }

    void failuresKeepWhatCannotBeCopied()
    {
        // A copy that fails halfway stays as far as it got and leaves its
        // source; a view that fails on the second removal leaves that one
        // and the rest.
        QTemporaryDir tmp;
        const QString link = tmp.filePath(QStringLiteral("x.lnk"));
        QVERIFY(vl::test::writeAll(link, "L"));
        Rig<BrokenLinkPlatform> r;
        r.add(QStringLiteral("a"), {10, 10}).AttachedFile = link;
        for (const char *c : {"b", "c", "d"})
            r.add(QString::fromLatin1(c), {10, 10});
        r.view.failRemovingAt = 1;
        r.select({"a", "b", "c", "d"});
        r.clip.mnuItemCutClick();

        r.pasteAt({50, 50});

        QCOMPARE(r.captions(), QStringList({"a", "c", "d", "", "b", "c", "d"}));
        QCOMPARE(r.prompt.texts(), QStringList({ItemClipboard::PasteError, ItemClipboard::CuttingError}));
        QVERIFY(r.ws.work.ErrorsOccurred);
        QVERIFY(!r.clip.cutPending());
        QCOMPARE(r.view.log.count(QStringLiteral("modified")), 1);
    }

    void aCutMadeWhileAMessageIsOpenIsKept()
    {
        QTemporaryDir tmp;
        Rig r;
        r.add(QStringLiteral("a"), {10, 10}).Picture = tmp.filePath(QStringLiteral("missing.png"));
        r.add(QStringLiteral("b"), {10, 10});
        r.select({"a"});
        r.clip.mnuItemCopyClick();
        r.prompt.onDialog = [&r](const QString &) {
            r.select({"b"});
            r.clip.mnuItemCutClick();
        };

        r.pasteAt({50, 50});

        QCOMPARE(r.captions(), QStringList({"a", "b", "a"}));
        QVERIFY(r.clip.cutPending());
        QVERIFY(r.clip.pasteEnabled());
        QCOMPARE(r.clip.count(), 1);
    }
};

QTEST_MAIN(ArrangementTest)
#include "tst_arrangement.moc"
