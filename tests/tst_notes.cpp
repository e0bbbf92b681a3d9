// Notes on a page: the arithmetic of moves and resizes, the keys, the menu's
// two faces, deleting, typed text reaching the record, the board across
// desktops, real pointer drags of the handles, selecting and copying the
// text while reading, the colour of the text and handles that show on any
// colour; and in the window, the keys of a note being edited.
#include "common/ColourConv.h"
#include "notes/NoteBoard.h"
#include "notes/NoteHost.h"
#include "notes/NoteWidgets.h"
#include "notes/TResizer.h"
#include "notes/TfrmNote.h"
#include "options/TfrmFont.h"
#include "support/FakePrompt.h"
#include "support/WindowFixture.h"
#include "surface/FormMain.h"
#include "surface/ItemClipboard.h"
#include "surface/Selection.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDialog>
#include <QImage>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QPointer>
#include <QKeyEvent>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <memory>

using namespace vl;
using vl::test::FakePrompt;
using Edges = TResizer::Edges;

Q_DECLARE_METATYPE(Edges)

namespace {

struct RecordingHost : NoteHost {
    QList<Qt::MouseButton> presses;
    int menuRequests = 0;
    int properties = 0;
    QList<TResizer *> deleted;
    std::function<void(TResizer &)> onDeleted;

    void NoteMouseDown(TResizer &, Qt::MouseButton button, QPoint) override { presses.append(button); }
    void noteMenuRequested(TResizer &, QPoint) override { ++menuRequests; }
    void noteProperties(TResizer &) override { ++properties; }
    void noteDeleted(TResizer &note) override
    {
        deleted.append(&note);
        if (onDeleted)
            onDeleted(note);
    }
};

// The key presses and mouse releases that reach the page itself.
struct PageSpy : QObject {
    QList<int> keys;
    int releases = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress)
            keys.append(static_cast<QKeyEvent *>(e)->key());
        releases += e->type() == QEvent::MouseButtonRelease;
        return false;
    }
};

QStringList visibleTexts(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) {
        if (a->isVisible())
            out.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    return out;
}

} // namespace

class NotesTest : public QObject, vl::test::WindowFixture {
    Q_OBJECT

    RecordingHost host_;
    std::unique_ptr<QWidget> page_;
    std::unique_ptr<Desktop> desk_;
    std::unique_ptr<NoteBoard> board_;

    static constexpr QSize PageSize{400, 300};

    // A page with one desktop holding one note per rectangle, shown.
    void start(const QList<QRect> &notes)
    {
        page_ = std::make_unique<QWidget>();
        page_->resize(PageSize);
        desk_ = std::make_unique<Desktop>();
        for (const QRect &r : notes) {
            Note &n = desk_->addNote();
            n.Note_Left = r.x();
            n.Note_Top = r.y();
            n.Note_Width = r.width();
            n.Note_Height = r.height();
        }
        board_ = std::make_unique<NoteBoard>(page_.get(), host_, prompt_);
        board_->show(desk_.get());
        page_->show();
        QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    }
    Note &note(int i) { return *desk_->notes.at(std::size_t(i)); }
    TResizer &ctl(int i) { return *board_->controllerOf(&note(i)); }

private slots:
    void init()
    {
        resetWindowFixture();
        platform_.launches.clear();
        host_ = {};
        QGuiApplication::clipboard()->clear();
    }
    void cleanup()
    {
        form_.reset();
        board_.reset();
        page_.reset();
        desk_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void moveArithmetic_data()
    {
        QTest::addColumn<Edges>("start");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<Edges>("expected");
        const Edges n{100, 100, 150, 130};
        QTest::newRow("7 right: one step") << n << QPoint(7, 0) << true << Edges{104, 100, 154, 130};
        QTest::newRow("3 right: none") << n << QPoint(3, 3) << true << n;
        QTest::newRow("9 left: two steps") << n << QPoint(-9, 0) << true << Edges{92, 100, 142, 130};
        QTest::newRow("down and up truncate toward zero") << n << QPoint(-5, 11) << true << Edges{96, 108, 146, 138};
        QTest::newRow("past the right edge stops on it") << n << QPoint(400, 0) << true << Edges{350, 100, 400, 130};
        QTest::newRow("past the top left stops on it") << n << QPoint(-300, -300) << true << Edges{0, 0, 50, 30};
        QTest::newRow("wider than the page: right edge wins")
            << Edges{0, 10, 500, 40} << QPoint(8, 0) << true << Edges{-100, 10, 400, 40};
        QTest::newRow("taller than the page: bottom edge wins")
            << Edges{10, 0, 40, 360} << QPoint(0, -20) << true << Edges{10, -60, 40, 300};
        QTest::newRow("without the page clamp") << n << QPoint(400, -200) << false << Edges{500, -100, 550, -70};
    }
    void moveArithmetic()
    {
        QFETCH(Edges, start);
        QFETCH(QPoint, delta);
        QFETCH(bool, keep);
        QFETCH(Edges, expected);
        Desktop d;
        Note &n = d.addNote();
        QWidget page;
        TResizer c(n, &page, host_, prompt_);
        c.KeepInParent = keep;
        QCOMPARE(c.movedBy(start, delta, PageSize), expected);
    }

    void resizeArithmetic_data()
    {
        QTest::addColumn<Edges>("start");
        QTest::addColumn<Edges>("current");
        QTest::addColumn<int>("handle");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<Edges>("expected");
        const Edges n{100, 100, 150, 130};
        QTest::newRow("bottom right by -100,-100: 4 by 4 at the same corner")
            << n << n << 7 << QPoint(-100, -100) << Edges{100, 100, 104, 104};
        QTest::newRow("top left by 7,-9") << n << n << 0 << QPoint(7, -9) << Edges{104, 92, 150, 130};
        QTest::newRow("top middle drags only the top") << n << n << 1 << QPoint(50, -8) << Edges{100, 92, 150, 130};
        QTest::newRow("middle right drags only the right") << n << n << 4 << QPoint(8, 50) << Edges{100, 100, 158, 130};
        QTest::newRow("bottom left") << n << n << 5 << QPoint(-8, 8) << Edges{92, 100, 150, 138};
        QTest::newRow("left past the right pushes it along")
            << n << n << 3 << QPoint(80, 0) << Edges{180, 100, 184, 130};
        QTest::newRow("page edges stop the drag") << n << n << 7 << QPoint(1000, 1000) << Edges{100, 100, 400, 300};
        QTest::newRow("and the top left ones") << n << n << 0 << QPoint(-1000, -1000) << Edges{0, 0, 150, 130};
        // An edge the handle does not drag keeps where an earlier step's
        // clamp pushed it.
        QTest::newRow("pushed edge stays pushed")
            << n << Edges{180, 100, 184, 130} << 3 << QPoint(20, 0) << Edges{120, 100, 184, 130};
    }
    void resizeArithmetic()
    {
        QFETCH(Edges, start);
        QFETCH(Edges, current);
        QFETCH(int, handle);
        QFETCH(QPoint, delta);
        QFETCH(Edges, expected);
        Desktop d;
        Note &n = d.addNote();
        QWidget page;
        TResizer c(n, &page, host_, prompt_);
        QCOMPARE(c.resizedBy(start, current, handle, delta, PageSize), expected);
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("mods");
        QTest::addColumn<QRect>("at");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<bool>("reachesPage");
        const QRect r(100, 100, 50, 30);
        QTest::newRow("Ctrl+Right moves") << int(Qt::Key_Right) << Qt::KeyboardModifiers(Qt::ControlModifier) << r
                                          << QRect(104, 100, 50, 30) << false;
        QTest::newRow("Shift+Down grows") << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::ShiftModifier) << r
                                          << QRect(100, 100, 50, 34) << false;
        QTest::newRow("Ctrl+Shift+Left moves, then narrows")
            << int(Qt::Key_Left) << (Qt::ControlModifier | Qt::ShiftModifier) << r << QRect(96, 100, 46, 30) << false;
        QTest::newRow("Alt does not matter") << int(Qt::Key_Up) << (Qt::ControlModifier | Qt::AltModifier) << r
                                             << QRect(100, 96, 50, 30) << false;
        QTest::newRow("Ctrl+Left at the page edge") << int(Qt::Key_Left) << Qt::KeyboardModifiers(Qt::ControlModifier)
                                                    << QRect(0, 0, 50, 30) << QRect(0, 0, 50, 30) << false;
        QTest::newRow("Shift+Up stops at the smallest height")
            << int(Qt::Key_Up) << Qt::KeyboardModifiers(Qt::ShiftModifier) << QRect(100, 100, 50, 4)
            << QRect(100, 100, 50, 4) << false;
        QTest::newRow("plain arrow left alone") << int(Qt::Key_Right) << Qt::KeyboardModifiers() << r << r << true;
        QTest::newRow("Ctrl with another key left alone")
            << int(Qt::Key_A) << Qt::KeyboardModifiers(Qt::ControlModifier) << r << r << true;
    }
    void keys()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, mods);
        QFETCH(QRect, at);
        QFETCH(QRect, expected);
        QFETCH(bool, reachesPage);
        start({at});
        PageSpy spy;
        page_->installEventFilter(&spy);
        ctl(0).setActive(true);
        QVERIFY(ctl(0).handlesShown());
        QTest::keyClick(ctl(0).mover(), Qt::Key(key), mods);
        const Note &n = note(0);
        QCOMPARE(QRect(n.Note_Left, n.Note_Top, n.Note_Width, n.Note_Height), expected);
        QCOMPARE(ctl(0).memo()->geometry(), expected);
        QCOMPARE(spy.keys.contains(key), reachesPage);
    }

    void keysNeedMoveAndResizeMode()
    {
        start({{100, 100, 50, 30}});
        ctl(0).ShowHandles();
        QTest::keyClick(ctl(0).mover(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(note(0).Note_Left, 100);
    }

    void menuFaces_data()
    {
        QTest::addColumn<int>("toggles");
        QTest::addColumn<QStringList>("shown");
        const QStringList reading{"Edit", "Move && Resize", "Properties", "-", "Delete"};
        QTest::newRow("reading") << 0 << reading;
        QTest::newRow("editing") << 1
                                 << QStringList{"Block", "-", "Cut", "Copy", "Paste", "Select All", "-",
                                                "Move && Resize", "Properties"};
        QTest::newRow("back to reading") << 2 << reading;
    }
    void menuFaces()
    {
        QFETCH(int, toggles);
        QFETCH(QStringList, shown);
        start({{100, 100, 50, 30}});
        for (int i = 0; i < toggles; ++i)
            ctl(0).menu()->actions().at(0)->trigger();
        QCOMPARE(ctl(0).menu()->actions().size(), 11);
        QCOMPARE(visibleTexts(ctl(0).menu()), shown);
        QCOMPARE(ctl(0).editing(), toggles % 2 == 1);
    }

    void menuCommands()
    {
        start({{100, 100, 50, 30}});
        const QList<QAction *> a = ctl(0).menu()->actions();
        a.at(7)->trigger();
        QVERIFY(ctl(0).Active());
        QVERIFY(ctl(0).handlesShown());
        QVERIFY(ctl(0).mover()->isVisible());
        QCOMPARE(ctl(0).mover()->geometry(), QRect(100, 100, 50, 30));
        QCOMPARE(ctl(0).sizer(7)->geometry(), QRect(147, 127, 6, 6));
        QCOMPARE(ctl(0).sizer(1)->geometry(), QRect(122, 97, 6, 6));
        a.at(8)->trigger();
        QCOMPARE(host_.properties, 1);
        // A background click hides them; the mode stays.
        board_->hideAllHandles();
        QVERIFY(!ctl(0).mover()->isVisible());
        QVERIFY(ctl(0).Active());
    }

    void deleting_data()
    {
        QTest::addColumn<ModalResult>("answer");
        QTest::newRow("Yes deletes") << ModalResult::Yes;
        QTest::newRow("No keeps") << ModalResult::No;
    }
    void deleting()
    {
        QFETCH(ModalResult, answer);
        start({{100, 100, 50, 30}, {200, 100, 50, 30}});
        QPointer<TResizer> c = &ctl(0);
        QPointer<QWidget> memo = c->memo();
        host_.onDeleted = [&](TResizer &t) {
            Note *record = &t.note();
            board_->remove(record);
            desk_->removeNote(record);
        };
        prompt_.answer(answer);
        c->menu()->actions().at(10)->trigger();

        QCOMPARE(prompt_.calls.size(), 1);
        QCOMPARE(prompt_.calls[0].text, QStringLiteral("You are sure? Delete this note?"));
        QCOMPARE(prompt_.calls[0].type, MsgDlgType::Confirmation);
        QCOMPARE(prompt_.calls[0].buttons, unsigned(mbYes | mbNo));
        const bool yes = answer == ModalResult::Yes;
        QCOMPARE(host_.deleted.size(), yes ? 1 : 0);
        QCOMPARE(desk_->notes.size(), yes ? std::size_t(1) : std::size_t(2));
        // The controller outlives its own menu command either way.
        QVERIFY(c);
        QCOMPARE(memo->isVisible(), !yes);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(c.isNull(), yes);
        QCOMPARE(memo.isNull(), yes);
        // Switching away and back neither revives nor loses anything.
        board_->show(nullptr);
        board_->show(desk_.get());
        QCOMPARE(page_->findChildren<QWidget *>(QStringLiteral("noteView")).size(), yes ? 1 : 2);
    }

    void typedText_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("after");
        const QStringList two{"first", "second"};
        QTest::newRow("board flush") << two << "flush" << QStringList{"first", "second", "x"};
        QTest::newRow("Block") << two << "block" << QStringList{"first", "second", "x"};
        QTest::newRow("focus lost") << two << "focus" << QStringList{"first", "second", "x"};
        QTest::newRow("empty text, no lines") << two << "clear" << QStringList{};
        QTest::newRow("into an empty note") << QStringList{} << "flush" << QStringList{"", "x"};
    }
    void typedText()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, how);
        QFETCH(QStringList, after);
        start({{100, 100, 120, 80}});
        QWidget elsewhere(page_.get());
        elsewhere.setFocusPolicy(Qt::StrongFocus);
        elsewhere.show();
        page_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page_.get()));
        note(0).Lines = before;
        ctl(0).popEditClick();
        auto *edit = qobject_cast<QPlainTextEdit *>(ctl(0).memo());
        QVERIFY(edit);
        QCOMPARE(edit->toPlainText(), before.join('\n'));
        QVERIFY(edit->hasFocus());
        if (how == QLatin1String("clear")) {
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Delete);
        } else {
            QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClicks(edit, QStringLiteral("x"));
        }
        QCOMPARE(note(0).Lines, before); // nothing reaches the record before it is taken
        if (how == QLatin1String("block") || how == QLatin1String("clear"))
            ctl(0).popEditClick();
        else if (how == QLatin1String("focus"))
            elsewhere.setFocus();
        else
            board_->flush();
        QCOMPARE(note(0).Lines, after);
    }

    void pressesOnTheText_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("reading, right") << false << Qt::RightButton;
        QTest::newRow("reading, left") << false << Qt::LeftButton;
        QTest::newRow("editing, right") << true << Qt::RightButton;
        QTest::newRow("editing, left") << true << Qt::LeftButton;
    }
    void pressesOnTheText()
    {
        QFETCH(bool, editing);
        QFETCH(Qt::MouseButton, button);
        start({{100, 100, 80, 40}});
        if (editing)
            ctl(0).popEditClick();
        PageSpy spy;
        page_->installEventFilter(&spy);
        QWidget *target = ctl(0).memo();
        if (auto *edit = qobject_cast<QPlainTextEdit *>(target))
            target = edit->viewport();
        QTest::mouseClick(target, button, {}, QPoint(10, 10));
        QCOMPARE(host_.presses, QList<Qt::MouseButton>{button});
        // A right release reaching the page would open the desktop's menu.
        QCOMPARE(spy.releases, 0);
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), target->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(target, &key);
        QCOMPARE(host_.menuRequests, 1);
    }

    void readingViewScrollsByLines()
    {
        start({{100, 100, 200, 40}});
        QStringList lines;
        for (int i = 0; i < 100; ++i)
            lines.append(QStringLiteral("line %1").arg(i));
        note(0).Lines = lines;
        ctl(0).applyRecord();
        auto *view = dynamic_cast<TNoteView *>(ctl(0).memo());
        QVERIFY(view);
        auto wheel = [&](int notches) {
            QWheelEvent e(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view, &e);
        };
        const int perNotch = QApplication::wheelScrollLines();
        wheel(-1);
        QCOMPARE(view->firstLine(), perNotch);
        wheel(2);
        QCOMPARE(view->firstLine(), 0);
        // Down as far as it goes: the last line shows, and no further.
        wheel(-1000);
        QVERIFY(view->firstLine() > 90 && view->firstLine() < 100);
        QCOMPARE(view->scrollBy(1), 0);

        // A long line wraps, and the wheel moves through its parts.
        note(0).Lines = {QString(200, QLatin1Char('w')), QStringLiteral("end")};
        view->scrollToTop();
        view->resize(60, 20);
        QCOMPARE(view->scrollBy(1), 1);
        QCOMPARE(view->firstLine(), 0);
        QCOMPARE(view->firstSubLine(), 1);
        QCOMPARE(view->scrollBy(-5), 1);
    }

    // The reading view keeps its last picture; every way the record's text
    // changes must still show.
    void readingViewFollowsTheRecord_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("inkAfter");
        QTest::newRow("lines replaced") << "replace" << false;
        QTest::newRow("a line changed in place") << "inPlace" << false;
        QTest::newRow("typed, then Block") << "type" << true;
        QTest::newRow("emptied, then Block") << "clear" << false;
    }
    void readingViewFollowsTheRecord()
    {
        QFETCH(QString, how);
        QFETCH(bool, inkAfter);
        start({{100, 100, 120, 60}});
        note(0).Note_Color = clr::clWhite;
        note(0).Note_Font.Color = clr::clBlack;
        ctl(0).applyRecord();
        auto inked = [&] {
            const QImage img = ctl(0).memo()->grab().toImage();
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (img.pixelColor(x, y) != Qt::white)
                        return true;
            return false;
        };
        note(0).Lines = {how == QLatin1String("type") ? QString() : QStringLiteral("WWWW")};
        QCOMPARE(inked(), how != QLatin1String("type"));
        if (how == QLatin1String("replace")) {
            note(0).Lines = QStringList{QString()};
        } else if (how == QLatin1String("inPlace")) {
            note(0).Lines[0].clear();
        } else {
            ctl(0).popEditClick();
            if (how == QLatin1String("type")) {
                QTest::keyClicks(ctl(0).memo(), QStringLiteral("WWWW"));
            } else {
                QTest::keyClick(ctl(0).memo(), Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(ctl(0).memo(), Qt::Key_Delete);
            }
            ctl(0).popEditClick();
        }
        QCOMPARE(inked(), inkAfter);
    }

    void desktopsKeepTheirNotes()
    {
        start({{10, 10, 50, 30}, {70, 10, 50, 30}});
        Desktop other;
        other.addNote();
        QCOMPARE(page_->findChildren<QWidget *>(QStringLiteral("noteView")).size(), 2);
        // The later note lies above the earlier, on the desktop's layer.
        const QObjectList kids = ctl(0).memo()->parentWidget()->children();
        QVERIFY(kids.indexOf(ctl(0).memo()) < kids.indexOf(ctl(1).memo()));

        board_->show(&other);
        QVERIFY(!ctl(0).memo()->isVisible());
        QVERIFY(board_->controllerOf(other.notes[0].get())->memo()->isVisible());
        board_->show(nullptr);
        QVERIFY(!board_->controllerOf(other.notes[0].get())->memo()->isVisible());
        board_->show(desk_.get());
        QVERIFY(ctl(0).memo()->isVisible());
        QCOMPARE(page_->findChildren<QWidget *>(QStringLiteral("noteView")).size(), 3);

        // A note made on the shown desktop shows at once.
        Note &made = desk_->addNote();
        QVERIFY(board_->add(made).memo()->isVisible());
        // Shown again before it was added: still one controller.
        Note &shownFirst = desk_->addNote();
        board_->show(desk_.get());
        QCOMPARE(&board_->add(shownFirst), board_->controllerOf(&shownFirst));
        QCOMPARE(page_->findChildren<QWidget *>(QStringLiteral("noteView")).size(), 5);
        board_->forget(&other);
    }

    void forgettingADesktop()
    {
        start({{10, 10, 50, 30}, {70, 10, 50, 30}});
        ctl(0).setActive(true);       // handles made
        ctl(1).popEditClick();        // an editor made
        QTest::keyClicks(ctl(1).memo(), QStringLiteral("typed"));
        ctl(0).menu();                // a menu made
        QPointer<QWidget> sizer = ctl(0).sizer(3);
        QPointer<QWidget> edit = ctl(1).memo();
        board_->forget(desk_.get());
        QVERIFY(!board_->shown());
        QVERIFY(sizer.isNull());
        QVERIFY(edit.isNull());
        desk_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(page_->findChildren<QWidget *>().isEmpty()); // the desktop's layer went too
    }

    void removedControllerOutlivesItsPage()
    {
        start({{10, 10, 50, 30}});
        ctl(0).setActive(true);
        Note *record = &note(0);
        board_->remove(record);
        desk_->removeNote(record);
        // The page goes before the deferred deletion runs.
        page_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void dragTheMoveHandle_data()
    {
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<QPoint>("landsAt");
        QTest::newRow("7 right: 4") << QPoint(7, 0) << QPoint(104, 100);
        QTest::newRow("9 left: 8") << QPoint(-9, 0) << QPoint(92, 100);
        QTest::newRow("past the right edge") << QPoint(390, 17) << QPoint(350, 116);
    }
    void dragTheMoveHandle()
    {
        QFETCH(QPoint, by);
        QFETCH(QPoint, landsAt);
        start({{100, 100, 50, 30}});
        TResizer &c = ctl(0);
        c.setActive(true);
        QWidget *mover = c.mover();
        const QPoint from(20, 10);
        QTest::mousePress(mover, Qt::LeftButton, {}, from);
        QVERIFY(!c.handlesShown());
        QVERIFY(!c.sizer(0)->isVisible());
        QTest::mouseMove(mover, from + by / 2);
        QTest::mouseMove(mover, from + by);
        // Only the outline follows; the note waits for the release.
        QCOMPARE(c.outline(), QRect(landsAt, QSize(50, 30)));
        QCOMPARE(note(0).Note_Left, 100);
        QTest::mouseRelease(mover, Qt::LeftButton, {}, from + by);
        QCOMPARE(QPoint(note(0).Note_Left, note(0).Note_Top), landsAt);
        QCOMPARE(c.memo()->pos(), landsAt);
        QVERIFY(c.outline().isNull());
        QVERIFY(c.handlesShown());
        QCOMPARE(c.sizer(0)->pos(), landsAt - QPoint(3, 3));
    }

    void dragASizeHandle_data()
    {
        QTest::addColumn<int>("handle");
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("bottom right to the smallest") << 7 << QPoint(-100, -100) << true << QRect(100, 100, 4, 4);
        // Without the clamp the left edge crosses the right; the release
        // puts them in order.
        QTest::newRow("left past right, swapped") << 3 << QPoint(80, 0) << false << QRect(150, 100, 30, 30);
        QTest::newRow("top past bottom, swapped") << 1 << QPoint(0, 40) << false << QRect(100, 130, 50, 10);
    }
    void dragASizeHandle()
    {
        QFETCH(int, handle);
        QFETCH(QPoint, by);
        QFETCH(bool, keep);
        QFETCH(QRect, expected);
        start({{100, 100, 50, 30}});
        TResizer &c = ctl(0);
        c.KeepInParent = keep;
        c.setActive(true);
        QWidget *sizer = c.sizer(handle);
        const QPoint from(3, 3);
        QTest::mousePress(sizer, Qt::LeftButton, {}, from);
        QTest::mouseMove(sizer, from + by);
        QVERIFY(!c.sizer(handle == 0 ? 7 : 0)->isVisible());
        QVERIFY(!c.outline().isNull());
        QCOMPARE(c.memo()->geometry(), QRect(100, 100, 50, 30));
        QTest::mouseRelease(sizer, Qt::LeftButton, {}, from + by);
        const Note &n = note(0);
        QCOMPARE(QRect(n.Note_Left, n.Note_Top, n.Note_Width, n.Note_Height), expected);
        QCOMPARE(c.memo()->geometry(), expected);
        QVERIFY(c.handlesShown());
        for (int i = 0; i < 8; ++i)
            QVERIFY(c.sizer(i)->isVisible());
    }

    // ---------------------------------------------------------------- reading

    // The text of a note can be selected and copied without editing it, a
    // huge one too: it stays the reading view, which builds no document.
    void readingTextIsSelectedAndCopied_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("copied");
        QTest::newRow("a drag across lines") << "drag" << "beta gamma\nsecond";
        QTest::newRow("Shift+click") << "shift" << "alpha";
        QTest::newRow("a double click: the word") << "double" << "gamma";
        QTest::newRow("Ctrl+A") << "all" << "alpha beta gamma\nsecond line\nthird";
        QTest::newRow("scrolled down: the word shown") << "scrolled" << "12";
        QTest::newRow("a huge note, all of it") << "huge" << "";
    }
    void readingTextIsSelectedAndCopied()
    {
        QFETCH(QString, how);
        QFETCH(QString, copied);
        start({{10, 10, 300, 120}});
        if (how == QLatin1String("scrolled") || how == QLatin1String("huge")) {
            const int lines = how == QLatin1String("huge") ? 100000 : 100;
            note(0).Lines.clear();
            for (int i = 0; i < lines; ++i)
                note(0).Lines.append(QStringLiteral("line %1").arg(i));
            if (copied.isEmpty())
                copied = note(0).Lines.join(QLatin1Char('\n'));
        } else {
            note(0).Lines = {"alpha beta gamma", "second line", "third"};
        }
        const QStringList before = note(0).Lines;
        auto *view = dynamic_cast<TNoteView *>(ctl(0).memo());
        QVERIFY(view);
        page_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page_.get()));
        const QFontMetrics metrics(view->font());
        // The middle of line `line` (as shown), just right of character `pos`.
        const auto at = [&](int line, int pos) {
            const QString &text = note(0).Lines.at(view->firstLine() + line);
            return QPoint(TNoteView::Margin + metrics.horizontalAdvance(text.left(pos)) + 1,
                          TNoteView::Margin + line * metrics.lineSpacing() + metrics.lineSpacing() / 2);
        };
        if (how == QLatin1String("drag")) {
            QTest::mousePress(view, Qt::LeftButton, {}, at(0, 6));
            QTest::mouseMove(view, at(1, 2));
            QTest::mouseMove(view, at(1, 6));
            QTest::mouseRelease(view, Qt::LeftButton, {}, at(1, 6));
        } else if (how == QLatin1String("shift")) {
            QTest::mouseClick(view, Qt::LeftButton, {}, at(0, 0));
            QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, at(0, 5));
        } else if (how == QLatin1String("double")) {
            QTest::mouseDClick(view, Qt::LeftButton, {}, at(0, 13));
        } else if (how == QLatin1String("scrolled")) {
            view->scrollBy(12);
            QTest::mouseDClick(view, Qt::LeftButton, {}, at(0, 6));
        } else {
            QTest::mouseClick(view, Qt::LeftButton, {}, at(0, 1));
            QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        }
        // Every press told the window, as before; the left one selects too.
        QVERIFY(!host_.presses.isEmpty());
        QVERIFY(view->hasFocus());
        QCOMPARE(view->selectedText(), copied);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
        // Still reading: the same view, no editor and no document anywhere.
        QCOMPARE(ctl(0).memo(), view);
        QVERIFY(!ctl(0).editing());
        QVERIFY(page_->findChildren<QTextDocument *>().isEmpty());
        QCOMPARE(note(0).Lines, before);
        // The selection is shown in the highlight's colour.
        const QImage shot = view->grab().toImage();
        const QColor highlight = view->palette().color(QPalette::Active, QPalette::Highlight);
        bool shown = false;
        for (int y = 0; y < shot.height() && !shown; ++y)
            for (int x = 0; x < shot.width() && !shown; ++x)
                shown = shot.pixelColor(x, y) == highlight;
        QVERIFY(shown);
        // A plain press elsewhere starts afresh.
        QTest::mouseClick(view, Qt::LeftButton, {}, at(0, 1));
        QVERIFY(!view->hasSelection());
    }

    // ---------------------------------------------------------------- colours

    // The handles of a note and the outline of a drag show on a page of any
    // colour, also around a note of the page's own colour.
    void handlesShowOnAnyColour_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::newRow("black") << QColor(Qt::black);
        QTest::newRow("white") << QColor(Qt::white);
        QTest::newRow("middle grey") << QColor(0x80, 0x80, 0x80);
        QTest::newRow("just below it") << QColor(0x7F, 0x7F, 0x7F);
        QTest::newRow("navy") << QColor(0, 0, 0x80);
        QTest::newRow("yellow") << QColor(Qt::yellow);
    }
    void handlesShowOnAnyColour()
    {
        QFETCH(QColor, colour);
        start({{100, 100, 80, 40}});
        QPalette palette = page_->palette();
        palette.setColor(QPalette::Window, colour);
        page_->setPalette(palette);
        page_->setAutoFillBackground(true);
        note(0).Note_Color = fromQColor(colour);
        ctl(0).applyRecord();
        // The strongest difference from the page among the pixels of r.
        const auto standsOut = [&](const QImage &shot, const QRect &r) {
            int best = 0;
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    best = std::max(best, std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green())
                                              + std::abs(c.blue() - colour.blue()));
                }
            }
            return best;
        };
        ctl(0).setActive(true);
        QImage shot = page_->grab().toImage();
        for (int i = 0; i < 8; ++i)
            QVERIFY2(standsOut(shot, ctl(0).sizer(i)->geometry()) >= 250, qPrintable(QString::number(i)));
        QWidget *mover = ctl(0).mover();
        QTest::mousePress(mover, Qt::LeftButton, {}, QPoint(20, 10));
        QTest::mouseMove(mover, QPoint(40, 30));
        const QRect outline = ctl(0).outline();
        QVERIFY(!outline.isNull());
        shot = page_->grab().toImage();
        for (const QRect &edge : {QRect(outline.left(), outline.top(), outline.width(), 2),
                                  QRect(outline.left(), outline.bottom() - 1, outline.width(), 2)})
            QVERIFY(standsOut(shot, edge) >= 250);
        QTest::mouseRelease(mover, Qt::LeftButton, {}, QPoint(40, 30));
    }

    // The font chooser of a note chooses the colour of its text too; a
    // cancelled colour keeps the one it had, and the tabs' font, drawn in the
    // style's colours, is chosen without one.
    void theFontChooserChoosesTheColour()
    {
        FontSpec preset = defaultFont();
        preset.Color = 0x000000;
        TfrmFont chooser(prompt_, preset, FontColour::Chosen, nullptr);
        QVERIFY(chooser.btnColor);
        chooser.fonts->setCurrentFont(QFont(QStringLiteral("DejaVu Serif"), 15));
        prompt_.colourAnswers = {std::nullopt, Colour(0x00FFFF)};
        chooser.btnColor->click();
        QCOMPARE(chooser.font().Color, Colour(0x000000));
        chooser.btnColor->click();
        QCOMPARE(chooser.font().Color, Colour(0x00FFFF));
        QCOMPARE(chooser.font().Name, QStringLiteral("DejaVu Serif"));
        QCOMPARE(chooser.font().Size, 15);
        QCOMPARE(chooser.font().Charset, preset.Charset);
        TfrmFont plain(prompt_, preset, FontColour::Kept, nullptr);
        QVERIFY(!plain.btnColor);
        QCOMPARE(plain.font().Color, preset.Color);

        // Through the note's properties to the text on the page.
        start({{20, 20, 120, 40}});
        note(0).Lines = {"WWWWWWWW"};
        note(0).Note_Color = 0x000000; // a black note, as on a black desktop
        FontSpec yellow = preset;
        yellow.Color = 0x00FFFF;
        prompt_.fontAnswers = {yellow};
        TfrmNote properties(prompt_, {note(0).Note_Font, note(0).Note_Color, true}, nullptr);
        properties.btnFont->click();
        QCOMPARE(prompt_.fontColours, QList<FontColour>({FontColour::Chosen}));
        note(0).Note_Font = properties.look().font;
        ctl(0).applyRecord();
        const QImage shot = ctl(0).memo()->grab().toImage();
        bool yellowText = false;
        for (int y = 0; y < shot.height() && !yellowText; ++y)
            for (int x = 0; x < shot.width() && !yellowText; ++x)
                yellowText = shot.pixelColor(x, y) == QColor(Qt::yellow);
        QVERIFY(yellowText);
    }

    // ---------------------------------------------------------------- in the window

    // While a note's text is being edited its keys are the text's, even
    // when a shortcut became current without taking the focus (a click on
    // its caption, a hand-off): no shortcut starts, none is asked about,
    // renamed, copied or cut.
    void anEditedNoteKeepsItsKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("Return") << int(Qt::Key_Return) << 0 << "\n world" << "";
        QTest::newRow("Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "\n world" << "";
        QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << " world" << "";
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier) << "hello world" << "hello";
        QTest::newRow("Ctrl+X") << int(Qt::Key_X) << int(Qt::ControlModifier) << " world" << "hello";
        QTest::newRow("Ctrl+R") << int(Qt::Key_R) << int(Qt::ControlModifier) << "hello world" << "";
    }
    void anEditedNoteKeepsItsKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(QString, clipboard);
        TFormMain &w = WindowFixture::start(vl::test::desktopsSettings(
            {"A"}, 0, {},
            {"Item_CountTrue=1\r\nNote_CountTrue=1\r\n\r\n[Page0\\Item1]\r\nAttachedFile=/bin/sh\r\n"
             "Label_Caption=Shell\r\nItem_Left=300\r\nItem_Top=10\r\n\r\n[Page0\\Note1]\r\nCount=1\r\n"
             "1=hello world\r\nNote_Left=20\r\nNote_Top=20\r\nNote_Width=120\r\nNote_Height=60\r\n"}));
        w.resize(500, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        Desktop &d = w.workspace().desktop(0);
        TResizer *note = w.notes().controllerOf(d.notes[0].get());
        QVERIFY(note);
        note->popEditClick();
        auto *edit = qobject_cast<QPlainTextEdit *>(note->memo());
        QVERIFY(edit);
        QTRY_VERIFY(edit->hasFocus());
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
        // What a click on the caption does: the shortcut is current, the
        // note keeps the focus.
        w.selection().Focused(*d.items[0], false);
        QCOMPARE(w.workspace().work.CurrentElement.item, d.items[0].get());
        QVERIFY(edit->hasFocus());
        prompt_.calls.clear();

        QTest::keyClick(edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(edit->toPlainText(), text);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
        QVERIFY(platform_.launches.isEmpty());
        QVERIFY(prompt_.calls.isEmpty());
        QVERIFY(!w.clipboard().pasteEnabled());
        QCOMPARE(int(d.items.size()), 1);
        QCOMPARE(w.workspace().work.CurrentElement.item, d.items[0].get());
    }
};

QTEST_MAIN(NotesTest)
#include "tst_notes.moc"
