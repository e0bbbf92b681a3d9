// Arranging shortcuts by grid and by name, keeping a pasted shortcut on the
// page, and the program's own shortcut clipboard, driven through a window
// that records what it was told.
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

#include <climits>
#include <cstdlib>
#include <stdexcept>

using namespace vl;
using Points = QList<QPoint>;

namespace {

// Both views of the main window; like the window, it drops a destroyed
// shortcut from the clipboard and the selection.
class WindowView : public ShortcutView, public ArrangeView {
public:
    explicit WindowView(Workspace &ws) : ws_(ws) {}
    void itemAdded(ShortcutItem &) override {}
    void itemChanged(ShortcutItem &) override {}
    void itemRemoving(ShortcutItem &item) override
    {
        if (removingCalls++ == failRemovingAt)
            throw std::runtime_error("view failed");
        bool held = false;
        for (int i = 0; i < ws_.desktopCount(); ++i)
            held = held || ws_.desktop(i).indexOfItem(&item) >= 0;
        removedTooEarly = removedTooEarly || !held;
        clipboard->forget(&item);
        selection->forget(&item);
    }
    void pictureDecoded(ShortcutItem &, const QImage &picture) override { decoded += !picture.isNull(); }
    void Modified() override { log << QStringLiteral("modified"); }
    void RefreshAll() override { log << QStringLiteral("refresh"); }
    void executeItem(ShortcutItem &) override {}
    QSize tabControlSize() override { return tab; }
    QRect pageGeometry() override { return page; }
    int captionHeight(ShortcutItem &) override { return 15; }
    void itemsMoved() override { log << QStringLiteral("moved"); }

    QSize tab{1000, 1000};
    QRect page{0, 0, 1000, 1000};
    QStringList log;
    int decoded = 0, failRemovingAt = -1, removingCalls = 0;
    bool removedTooEarly = false;
    ItemClipboard *clipboard = nullptr;
    Selection *selection = nullptr;

private:
    Workspace &ws_;
};

class BrokenLinkPlatform : public vl::test::FakePlatform {
public:
    std::optional<LinkTarget> readLink(const QString &) override { throw std::runtime_error("broken link"); }
};

// Two desktops, the first one active.
template <class PlatformT = vl::test::FakePlatform>
struct Rig {
    Rig()
    {
        ws.CreateNewTabSheet();
        ws.CreateNewTabSheet();
        ws.setActiveIndex(0);
        view.clipboard = &clip;
        view.selection = &selection;
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
    void select(const QStringList &captions)
    {
        selection.UnFocused();
        for (const auto &item : ws.activeDesktop()->items)
            if (captions.contains(item->Label_Caption))
                selection.Focused(*item, true);
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
    Points positions(int desk = 0, std::size_t from = 0) const
    {
        Points out;
        for (std::size_t i = from; i < ws.desktop(desk).items.size(); ++i)
            out << QPoint(ws.desktop(desk).items[i]->Item_Left, ws.desktop(desk).items[i]->Item_Top);
        return out;
    }

    Workspace ws;
    vl::test::FakePrompt prompt;
    PlatformT platform;
    Selection selection{ws};
    WindowView view{ws};
    ShortcutCommands cmd{ws, prompt, platform, selection, view};
    Arrangement arrange{ws, view};
    ItemClipboard clip{ws, prompt, platform, selection, cmd, arrange, view};
};

// A 32-pixel picture in grid cell (col, row) of the default 92 x 82 grid.
QPoint cell(int col, int row) { return {col * 92 + 30, row * 82 + 8}; }

} // namespace

class ArrangementTest : public QObject {
    Q_OBJECT

private slots:
    void byGrid_data()
    {
        QTest::addColumn<QSize>("tab");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        const QSize big(1000, 1000);
        QTest::newRow("past half") << big << QPoint(50, 60) << QPoint(122, 90);
        QTest::newRow("halves down to even") << big << QPoint(46, 41) << QPoint(30, 8);
        QTest::newRow("halves up to even") << big << QPoint(138, 123) << QPoint(214, 172);
        QTest::newRow("negative halves to zero") << big << QPoint(-46, -41) << QPoint(30, 8);
        QTest::newRow("on a cell stays") << big << QPoint(122, 90) << QPoint(122, 90);
        QTest::newRow("one column back") << QSize(400, 1000) << QPoint(350, 10) << QPoint(306, 8);
        QTest::newRow("one column back only") << QSize(400, 1000) << QPoint(600, 10) << QPoint(582, 8);
        QTest::newRow("one row back") << QSize(1000, 200) << QPoint(30, 170) << QPoint(30, 90);
    }
    void byGrid()
    {
        QFETCH(QSize, tab);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        Rig r;
        r.view.tab = tab;
        r.add(QStringLiteral("a"), from);
        r.arrange.mnuEqualizeClick();
        QCOMPARE(r.positions(), Points{to});
        QCOMPARE(r.view.log, QStringList({"moved", "refresh", "modified"}));
    }

    void captionRanks_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<std::vector<int>>("ranks");
        QTest::newRow("ties share, next skips") << QStringList{"a", "B", "b", "c"} << std::vector<int>{0, 1, 1, 3};
        QTest::newRow("prefix first") << QStringList{"ab", "a", ""} << std::vector<int>{2, 1, 0};
        // Folded to upper case, "B" (0x42) comes before "_" (0x5F).
        QTest::newRow("others by code") << QStringList{"_a", "b"} << std::vector<int>{1, 0};
        QTest::newRow("only a-z folded") << QStringList{"\u00e9", "\u00c9", "z"} << std::vector<int>{2, 1, 0};
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

    void byName_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<int>("tabWidth");
        QTest::addColumn<QRect>("note");
        QTest::addColumn<Points>("cells"); // per shortcut, in element order
        const QStringList abc{"a", "b", "c"};
        QTest::newRow("ties in element order") << QStringList{"beta", "Alpha", "alpha"} << 400 << QRect()
                                               << Points{cell(2, 0), cell(0, 0), cell(1, 0)};
        QTest::newRow("rows of two") << QStringList{"c", "b", "a"} << 200 << QRect()
                                     << Points{cell(0, 1), cell(1, 0), cell(0, 0)};
        QTest::newRow("narrower than a cell") << abc << 50 << QRect() << Points{cell(0, 0), cell(0, 1), cell(0, 2)};
        QTest::newRow("note covers cell 1") << abc << 400 << QRect(130, 20, 10, 10)
                                            << Points{cell(0, 0), cell(2, 0), cell(3, 0)};
        QTest::newRow("note touches cell 1") << abc << 400 << QRect(100, 0, 22, 8)
                                             << Points{cell(0, 0), cell(2, 0), cell(3, 0)};
        QTest::newRow("note a pixel off") << abc << 400 << QRect(100, 0, 21, 8)
                                          << Points{cell(0, 0), cell(1, 0), cell(2, 0)};
        QTest::newRow("note's bottom on cell 1") << abc << 400 << QRect(130, 0, 10, 8)
                                                 << Points{cell(0, 0), cell(2, 0), cell(3, 0)};
    }
    void byName()
    {
        QFETCH(QStringList, captions);
        QFETCH(int, tabWidth);
        QFETCH(QRect, note);
        QFETCH(Points, cells);
        Rig r;
        r.view.tab = QSize(tabWidth, 100);
        for (const QString &c : captions)
            r.add(c, QPoint(500, 500));
        Note &n = r.ws.desktop(0).addNote();
        n.Note_Left = note.x(), n.Note_Top = note.y(), n.Note_Width = note.width(), n.Note_Height = note.height();
        r.add(QStringLiteral("elsewhere"), QPoint(500, 500), 1);
        r.arrange.mnuByNameClick();
        QCOMPARE(r.positions(), cells);
        QCOMPARE(r.positions(1), Points{QPoint(500, 500)});
        QCOMPARE(QRect(n.Note_Left, n.Note_Top, n.Note_Width, n.Note_Height), note);
        QCOMPARE(r.view.log, QStringList({"moved", "refresh", "modified"}));
    }

    // "By Name" finds the free cells without trying the covered ones one by
    // one: beside a note reaching to the end of the range, over cells of a
    // pixel, it places at once what it places. Elsewhere it places exactly
    // where trying cell after cell with CheckOverlapNote would.
    void byNameStepsOverNotesAtOnce_data()
    {
        QTest::addColumn<QSize>("cell");
        QTest::addColumn<int>("tabWidth");
        QTest::addColumn<QList<QRect>>("notes");
        QTest::addColumn<Points>("expected"); // empty: as cell after cell finds them
        const int max = INT_MAX;
        QTest::newRow("a note to the end of the range, one-pixel cells")
            << QSize(1, 1) << 1000 << QList<QRect>{QRect(0, 0, max, max)} << Points{{-15, max}, {-14, max}};
        QTest::newRow("a tall note, one column free") << QSize(92, 1) << 1000
                                                      << QList<QRect>{QRect(0, 0, 800, 2000000000)}
                                                      << Points{{858, 8}, {858, 9}, {858, 10}};
        QTest::newRow("notes side by side, a gap between")
            << QSize(92, 82) << 400 << QList<QRect>{QRect(0, 0, 100, 300), QRect(250, 0, 150, 300)} << Points{};
        QTest::newRow("negative sizes cover nothing")
            << QSize(92, 82) << 400 << QList<QRect>{QRect(QPoint(100, 100), QPoint(0, 0))} << Points{};
        // Any layout at all.
        std::srand(18);
        for (int seed = 0; seed < 12; ++seed) {
            QList<QRect> notes;
            for (int n = std::rand() % 6; n > 0; --n)
                notes << QRect(std::rand() % 600 - 50, std::rand() % 600 - 50, std::rand() % 300, std::rand() % 300);
            QTest::addRow("layout %d", seed)
                << QSize(1 + std::rand() % 100, 1 + std::rand() % 100) << std::rand() % 600 << notes << Points{};
        }
    }
    void byNameStepsOverNotesAtOnce()
    {
        QFETCH(QSize, cell);
        QFETCH(int, tabWidth);
        QFETCH(QList<QRect>, notes);
        QFETCH(Points, expected);
        Rig r;
        r.ws.global.Cell_Width = cell.width();
        r.ws.global.Cell_Height = cell.height();
        r.view.tab = QSize(tabWidth, 100);
        const int count = expected.isEmpty() ? 20 : int(expected.size());
        for (int i = 0; i < count; ++i)
            r.add(QStringLiteral("s%1").arg(i, 2, 10, QLatin1Char('0')), QPoint(5000, 5000));
        for (const QRect &rect : notes) {
            Note &n = r.ws.desktop(0).addNote();
            n.Note_Left = rect.x(), n.Note_Top = rect.y(), n.Note_Width = rect.width(), n.Note_Height = rect.height();
        }
        if (expected.isEmpty()) {
            // Cell after cell, as the rule reads.
            const int columns = tabWidth / cell.width();
            int col = 0, row = 0;
            for (int i = 0; i < count; ++i) {
                const auto left = [&] { return col * cell.width() + (cell.width() - 32) / 2; };
                const auto top = [&] { return row * cell.height() + 8; };
                const auto advance = [&] {
                    if (col + 1 >= columns)
                        col = 0, ++row;
                    else
                        ++col;
                };
                while (r.arrange.CheckOverlapNote(left(), top(), 32, 32))
                    advance();
                expected << QPoint(left(), top());
                advance();
            }
        }
        r.arrange.mnuByNameClick();
        QCOMPARE(r.positions(), expected);
    }

    void checkOutBounds_data()
    {
        QTest::addColumn<QRect>("page"); // offset in the tab control, client size
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        const QRect page(0, 20, 400, 300);
        QTest::newRow("negative: the offsets") << page << QPoint(-10, -10) << QPoint(0, 20);
        QTest::newRow("past the right") << page << QPoint(390, 100) << QPoint(368, 100);
        QTest::newRow("caption past the bottom") << page << QPoint(100, 260) << QPoint(100, 253);
        QTest::newRow("smaller page: right and bottom win") << QRect(0, 20, 20, 30) << QPoint(-5, -5)
                                                            << QPoint(-12, -17);
    }
    void checkOutBounds()
    {
        QFETCH(QRect, page);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        Rig r;
        r.view.page = page;
        r.arrange.CheckOutBounds(r.add(QStringLiteral("a"), from));
        QCOMPARE(r.positions(), Points{to});
        QCOMPARE(r.view.log, QStringList{"moved"});
    }

    void pasteKeepsTheLayout_data()
    {
        QTest::addColumn<QRect>("page");
        QTest::addColumn<Points>("copies");
        QTest::newRow("room") << QRect(0, 0, 1000, 1000) << Points{{300, 200}, {400, 200}, {300, 290}};
        QTest::newRow("narrow page") << QRect(0, 0, 420, 1000) << Points{{300, 200}, {388, 200}, {300, 290}};
    }
    void pasteKeepsTheLayout()
    {
        QFETCH(QRect, page);
        QFETCH(Points, copies);
        Rig r;
        r.view.page = page;
        r.add(QStringLiteral("a"), {10, 10});
        r.add(QStringLiteral("b"), {110, 10});
        r.add(QStringLiteral("c"), {10, 100});
        r.select({"c", "a", "b"});
        r.clip.mnuItemCopyClick();
        QVERIFY(r.clip.pasteEnabled());
        r.pasteAt({300, 200});

        QCOMPARE(r.positions(0, 3), copies);
        const ShortcutItem &copy = *r.ws.desktop(0).items[4];
        QCOMPARE(copy.AttachedFile + copy.CommandString, QStringLiteral("/opt/b--b"));
        QVERIFY(!copy.Selected);
        QCOMPARE(r.selection.count(), 3);
        QVERIFY(!r.clip.pasteEnabled());
        QVERIFY(!r.view.log.contains(QStringLiteral("modified")));
    }

    void cutCompletesWithItsPaste_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("modified");
        QTest::newRow("copy") << QStringList{"select a b", "copy", "paste"} << QStringList{"a", "b", "c", "a", "b"} << 0;
        QTest::newRow("cut, select c") << QStringList{"select a b", "cut", "select c", "paste"}
                                       << QStringList{"c", "a", "b"} << 1;
        QTest::newRow("cut, copy c") << QStringList{"select a b", "cut", "select c", "copy", "paste"}
                                     << QStringList{"a", "b", "c", "c"} << 0;
        QTest::newRow("copy of nothing") << QStringList{"select", "copy", "paste"} << QStringList{"a", "b", "c"} << 0;
        QTest::newRow("cut of nothing") << QStringList{"select", "cut", "paste"} << QStringList{"a", "b", "c"} << 1;
        QTest::newRow("second paste") << QStringList{"select a", "cut", "paste", "paste"}
                                      << QStringList{"b", "c", "a"} << 1;
    }
    void cutCompletesWithItsPaste()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, after);
        QFETCH(int, modified);
        Rig r;
        for (const char *c : {"a", "b", "c"})
            r.add(QString::fromLatin1(c));
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
        QVERIFY(!r.clip.cutPending() && !r.clip.pasteEnabled() && r.clip.count() == 0);
        if (modified)
            QVERIFY(r.selection.count() == 0 && r.ws.work.CurrentElement.empty());
    }

    void pasteReadsTheSourcesThen_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QStringList>("copies");
        QTest::newRow("nothing: cut moves them") << "" << QStringList{"a", "b"};
        QTest::newRow("renamed") << "rename" << QStringList{"renamed", "b"};
        QTest::newRow("first deleted") << "delete" << QStringList{"b"}; // b now anchors
        QTest::newRow("desktop deleted") << "delete desktop" << QStringList{};
    }
    void pasteReadsTheSourcesThen()
    {
        // Cut on the second desktop, pasted on the first.
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, copies);
        Rig r;
        r.ws.setActiveIndex(1);
        ShortcutItem &a = r.add(QStringLiteral("a"), {10, 10}, 1);
        r.add(QStringLiteral("b"), {110, 10}, 1);
        r.select({"a", "b"});
        r.clip.mnuItemCutClick();
        if (meanwhile == QLatin1String("rename")) {
            a.Label_Caption = QStringLiteral("renamed");
        } else if (meanwhile == QLatin1String("delete")) {
            r.select({"a"});
            r.prompt.answer(ModalResult::OK);
            QVERIFY(r.cmd.DeleteItem());
        } else if (!meanwhile.isEmpty()) {
            r.clip.forgetDesktop(&r.ws.desktop(1));
            r.ws.deleteDesktop(1);
        }
        r.ws.setActiveIndex(0);
        r.selection.UnFocused();
        r.pasteAt({300, 200});

        QCOMPARE(r.captions(0), copies);
        if (!copies.isEmpty())
            QCOMPARE(r.positions(0).front(), QPoint(300, 200));
        if (r.ws.desktopCount() > 1)
            QCOMPARE(r.captions(1), QStringList());
        QVERIFY(!r.view.removedTooEarly);
    }

    void pictureOfACopy_data()
    {
        QTest::addColumn<QString>("picture"); // "png": a readable picture file
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("decoded");
        QTest::newRow("none") << "NONE" << 0 << 0;
        QTest::newRow("readable") << "png" << 0 << 2;
        QTest::newRow("unreadable, told once") << "missing.png" << 1 << 0;
    }
    void pictureOfACopy()
    {
        QFETCH(QString, picture);
        QFETCH(int, messages);
        QFETCH(int, decoded);
        QTemporaryDir tmp;
        if (picture.contains(QLatin1String("png")))
            picture = tmp.filePath(picture + QStringLiteral(".png"));
        if (!picture.contains(QLatin1String("missing"))) {
            QImage image(8, 8, QImage::Format_ARGB32);
            image.fill(Qt::red);
            image.save(picture, "PNG");
        }
        Rig r;
        r.add(QStringLiteral("a")).Picture = picture;
        r.add(QStringLiteral("b")).Picture = picture;
        r.select({"a", "b"});
        r.clip.mnuItemCopyClick();
        r.pasteAt({300, 200});

        QCOMPARE(r.captions(), QStringList({"a", "b", "a", "b"}));
        QCOMPARE(r.ws.desktop(0).items[3]->Picture, picture);
        QCOMPARE(r.prompt.count(ItemClipboard::PasteError), messages);
        QCOMPARE(r.ws.work.ErrorsOccurred, messages > 0);
        QCOMPARE(r.view.decoded, decoded);
    }

    void failuresKeepWhatWasNotCopied()
    {
        // A copy that fails halfway stays as far as it got, and its source
        // is not cut; a view failing on the second removal keeps the rest.
        QTemporaryDir tmp;
        const QString link = tmp.filePath(QStringLiteral("x.lnk"));
        QVERIFY(vl::test::writeAll(link, "L"));
        Rig<BrokenLinkPlatform> r;
        r.add(QStringLiteral("a")).AttachedFile = link;
        for (const char *c : {"b", "c", "d"})
            r.add(QString::fromLatin1(c));
        r.view.failRemovingAt = 1;
        r.select({"a", "b", "c", "d"});
        r.clip.mnuItemCutClick();
        r.pasteAt({50, 50});

        QCOMPARE(r.captions(), QStringList({"a", "c", "d", "", "b", "c", "d"}));
        QCOMPARE(r.prompt.texts(), QStringList({ItemClipboard::PasteError, ItemClipboard::CuttingError}));
        QVERIFY(r.ws.work.ErrorsOccurred && !r.clip.cutPending());
        QCOMPARE(r.view.log.count(QStringLiteral("modified")), 1);
    }

    void aCutMadeWhileAMessageIsOpenIsKept()
    {
        Rig r;
        r.add(QStringLiteral("a")).Picture = QStringLiteral("/nonexistent/p.png");
        r.add(QStringLiteral("b"));
        r.select({"a"});
        r.clip.mnuItemCopyClick();
        r.prompt.onDialog = [&r](const QString &) {
            r.select({"b"});
            r.clip.mnuItemCutClick();
        };
        r.pasteAt({50, 50});

        QCOMPARE(r.captions(), QStringList({"a", "b", "a"}));
        QVERIFY(r.clip.cutPending() && r.clip.pasteEnabled());
        QCOMPARE(r.clip.count(), 1);
    }
};

QTEST_MAIN(ArrangementTest)
#include "tst_arrangement.moc"
