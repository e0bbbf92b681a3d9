// The mouse and the keys on a desktop, driven through the real window:
// clicks and the rubber band, dragging the selection and where it may land,
// gestures given up when something else takes the input, the press guard
// and single-click starts, and the page worked by the keyboard alone.
#include "app/SaveController.h"
#include "app/WidgetPrompt.h"
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "surface/DesktopSurface.h"
#include "surface/FormKeys.h"
#include "surface/FormMain.h"
#include "surface/PasswordGate.h"
#include "search/FindPopup.h"
#include "surface/Selection.h"
#include "surface/StatusBarMain.h"
#include "surface/SurfaceKeys.h"
#include "surface/TabStrip.h"
#include "storage/BigIni.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <climits>
#include <memory>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;

namespace {

struct Spot {
    const char *name;
    QPoint at;
};

// One desktop with a shortcut per spot, attached to an address so that
// starting it reaches the platform; a note at (400, 300) of 100 by 60.
QByteArray desktopWith(const QList<Spot> &spots, const QByteArray &general = {})
{
    QByteArray text = "[General]\r\nPage_Count=1\r\n" + general + "\r\n[Page0]\r\nDesktop_Caption=D\r\nItem_CountTrue="
        + QByteArray::number(spots.size()) + "\r\nNote_CountTrue=1\r\n\r\n";
    for (int i = 0; i < spots.size(); ++i) {
        text += "[Page0\\Item" + QByteArray::number(i + 1) + "]\r\nAttachedFile=https://example.org/"
            + spots[i].name + "\r\nLabel_Caption=" + spots[i].name + "\r\nItem_Left="
            + QByteArray::number(spots[i].at.x()) + "\r\nItem_Top=" + QByteArray::number(spots[i].at.y()) + "\r\n\r\n";
    }
    text += "[Page0\\Note1]\r\nNote_Left=400\r\nNote_Top=300\r\nNote_Width=100\r\nNote_Height=60\r\n\r\n";
    return text;
}

QPoint posOf(const ShortcutItem &item) { return {item.Item_Left, item.Item_Top}; }

// Rejects the first modal dialog that opens, as a user answering Cancel;
// one that never opens is no hang either.
void cancelTheNextDialog()
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            timer->deleteLater();
            dialog->reject();
        } else if (++*tries > 300) {
            timer->deleteLater();
        }
    });
    timer->start(10);
}

// Whether the row y of the image holds, between x0 and x1, both a dark and a
// light pixel: an outline that shows on whatever lies beneath.
bool outlineInRow(const QImage &image, int y, int x0, int x1)
{
    bool dark = false, light = false;
    for (int x = x0; x <= x1; ++x) {
        const QColor c = image.pixelColor(x, y);
        const int luma = (c.red() * 299 + c.green() * 587 + c.blue() * 114) / 1000;
        dark = dark || luma < 48;
        light = light || luma > 208;
    }
    return dark && light;
}

} // namespace

class GesturesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    FakePrompt prompt_;
    WidgetPrompt widgetPrompt_;
    FakePlatform platform_;
    std::unique_ptr<TFormMain> form_;
    QWidget *page_ = nullptr;

    QString settingsPath() const { return dir_.filePath(QStringLiteral("vorlane.ini")); }
    TFormMain &start(const QList<Spot> &spots, const QByteArray &general = {}, Prompt *prompt = nullptr)
    {
        return startWith(desktopWith(spots, general), prompt);
    }
    TFormMain &startWith(const QByteArray &settings, Prompt *prompt = nullptr)
    {
        form_.reset();
        vl::test::writeAll(settingsPath(), settings);
        form_ = std::make_unique<TFormMain>(prompt ? *prompt : prompt_, platform_, settingsPath());
        form_->FormCreate();
        form_->resize(800, 600);
        form_->show();
        QApplication::setActiveWindow(form_.get());
        if (!QTest::qWaitForWindowExposed(form_.get()))
            qFatal("no window");
        page_ = form_->surface();
        return *form_;
    }
    // What the settings file says of shortcut i (counted from 1) of the first desktop.
    QPoint savedPosition(int i)
    {
        TBigIniFile ini(settingsPath());
        const std::string section = "Page0\\Item" + std::to_string(i);
        return {ini.ReadInteger(section, "Item_Left", -1), ini.ReadInteger(section, "Item_Top", -1)};
    }
    // The key as the display server delivers it: to the focused widget,
    // with a time stamp.
    void key(QEvent::Type type, int code, Qt::KeyboardModifiers mods = {}, ulong time = 0, bool repeat = false)
    {
        QKeyEvent e(type, code, mods, QString(), repeat);
        e.setTimestamp(time);
        QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : form_.get();
        QApplication::sendEvent(to, &e);
    }
    ShortcutItem &item(int i) { return *form_->workspace().desktop(0).items.at(std::size_t(i)); }
    QList<ShortcutItem *> selected()
    {
        const auto &v = form_->selection().items();
        return QList<ShortcutItem *>(v.begin(), v.end());
    }
    // A press on a shortcut's picture, a path of moves, a release.
    void drag(QPoint from, const QList<QPoint> &path, Qt::KeyboardModifiers mods = {})
    {
        QTest::mousePress(page_, Qt::LeftButton, mods, from);
        for (const QPoint &p : path)
            QTest::mouseMove(page_, p);
        QTest::mouseRelease(page_, Qt::LeftButton, mods, path.isEmpty() ? from : path.last());
    }
    int distance() const { return QApplication::startDragDistance(); }
    // What a double click delivers: press, release, double click, release.
    void doubleClick(QPoint at)
    {
        QTest::mouseClick(page_, Qt::LeftButton, {}, at);
        QTest::mouseDClick(page_, Qt::LeftButton, {}, at);
        QTest::mouseRelease(page_, Qt::LeftButton, {}, at);
    }

private slots:
    void init()
    {
        prompt_ = FakePrompt();
        platform_.launches.clear();
    }
    void cleanup()
    {
        form_.reset();
        widgetPrompt_.setMainWindow(nullptr);
    }

    // Clicks select one, Ctrl adds, a click on a selected one keeps them
    // all; a press on the background, any button, clears everything.
    void clicksSelect()
    {
        TFormMain &w = start({{"a", {10, 10}}, {"b", {110, 10}}});
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseClick(page_, Qt::LeftButton, Qt::ControlModifier, QPoint(120, 20));
        QTest::mouseClick(page_, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 20));
        QCOMPARE(selected(), QList<ShortcutItem *>({&item(0), &item(1)}));
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(120, 20));
        QCOMPARE(selected().size(), 2);
        QCOMPARE(w.workspace().work.CurrentElement.item, &item(1));
        QTest::mouseClick(page_, Qt::RightButton, {}, QPoint(300, 200));
        QVERIFY(selected().isEmpty());
        QVERIFY(!item(0).Selected && !item(1).Selected);
        QCOMPARE(w.workspace().work.NewElementPosition, QPoint(300, 200));
        w.PopupMenuMain()->hide();
    }

    // The band selects what has a picture corner strictly inside it, as it
    // was one move before, whichever way it is drawn, and the release does
    // not look again; moving it away deselects and leaves that shortcut
    // current.
    void bandFollowsThePointerOneMoveBehind()
    {
        TFormMain &w = start({{"a", {100, 100}}, {"b", {300, 100}}});
        for (const auto &[from, to] : {std::pair{QPoint(90, 90), QPoint(140, 140)}, {QPoint(140, 90), QPoint(90, 140)}}) {
            QTest::mousePress(page_, Qt::LeftButton, {}, from);
            QTest::mouseMove(page_, to);
            QVERIFY(selected().isEmpty());
            QCOMPARE(w.surface()->band(), QRect(QPoint(90, 90), QPoint(140, 140)));
            QTest::mouseMove(page_, QPoint(200, 200)); // judged by the band to `to`
            QCOMPARE(selected(), QList<ShortcutItem *>({&item(0)}));
            QTest::mouseRelease(page_, Qt::LeftButton, {}, QPoint(90, 90));
            QVERIFY(w.surface()->band().isNull());
            QCOMPARE(selected(), QList<ShortcutItem *>({&item(0)}));
        }
        w.selection().CheckItemInSelect(QRect(QPoint(0, 0), QPoint(50, 50)));
        QVERIFY(selected().isEmpty());
        QCOMPARE(w.workspace().work.CurrentElement.item, &item(0));
    }

    void bandCorners_data()
    {
        QTest::addColumn<QRect>("band");
        QTest::addColumn<QList<int>>("chosen");
        // a covers (100,100)-(132,132), b (300,100)-(332,132).
        QTest::newRow("one corner of each") << QRect(QPoint(120, 120), QPoint(310, 140)) << QList<int>{0, 1};
        QTest::newRow("inside a picture") << QRect(QPoint(105, 105), QPoint(125, 125)) << QList<int>{};
        QTest::newRow("across, no corner") << QRect(QPoint(90, 110), QPoint(140, 120)) << QList<int>{};
        QTest::newRow("corner on the edge") << QRect(QPoint(132, 132), QPoint(150, 150)) << QList<int>{};
        QTest::newRow("corner one inside") << QRect(QPoint(131, 131), QPoint(150, 150)) << QList<int>{0};
    }
    void bandCorners()
    {
        QFETCH(QRect, band);
        QFETCH(QList<int>, chosen);
        start({{"a", {100, 100}}, {"b", {300, 100}}});
        form_->selection().CheckItemInSelect(band);
        QList<ShortcutItem *> expected;
        for (int i : chosen)
            expected << &item(i);
        QCOMPARE(selected(), expected);
    }

    // The whole selection follows the pointer by the same distance, to the
    // exact pixel, also partly off the page; short of the threshold nothing
    // moves; a drag is no change to report.
    void dragMovesTheSelection()
    {
        TFormMain &w = start({{"a", {10, 10}}, {"b", {110, 10}}, {"c", {10, 100}}});
        drag(QPoint(20, 20), {QPoint(20 + distance() - 1, 20)});
        QCOMPARE(posOf(item(0)), QPoint(10, 10));

        QTest::mouseClick(page_, Qt::LeftButton, Qt::ControlModifier, QPoint(120, 20));
        QTest::mouseClick(page_, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 110));
        QCOMPARE(selected().size(), 3);
        drag(QPoint(20, 20), {QPoint(40, 30), QPoint(83, 67)});
        QCOMPARE(posOf(item(0)), QPoint(73, 57));
        QCOMPARE(posOf(item(1)), QPoint(173, 57));
        QCOMPARE(posOf(item(2)), QPoint(73, 147));

        drag(QPoint(180, 60), {QPoint(600, 40), QPoint(795, 5)});
        QCOMPARE(posOf(item(1)), QPoint(788, 2)); // half off the page
        QCOMPARE(posOf(item(2)), QPoint(688, 92));

        // Escape gives the drag up: everything goes back.
        QTest::mousePress(page_, Qt::LeftButton, {}, QPoint(795, 5));
        QTest::mouseMove(page_, QPoint(300, 200));
        // Shown where the pointer takes it; the record waits for the drop.
        QCOMPARE(w.surface()->scene()->label(item(1)).position(), QPoint(293, 197));
        QCOMPARE(posOf(item(1)), QPoint(788, 2));
        QTest::keyClick(&w, Qt::Key_Escape);
        QCOMPARE(posOf(item(1)), QPoint(788, 2));
        QTest::mouseRelease(page_, Qt::LeftButton, {}, QPoint(300, 200));
        QCOMPARE(posOf(item(1)), QPoint(788, 2));
        QCOMPARE(w.StatusBar()->saveState(), QStringLiteral("Unmodified"));
    }

    // Whatever takes the mouse or the keyboard in the middle of a drag or a
    // band gives it up, everything back as after a refused drop: a question
    // (Ctrl+R asks for a name in a real dialog, answered Cancel), a popup
    // menu, the window losing the focus, a release that went elsewhere. The
    // next click then acts as a click, and starts nothing dropped. Another
    // button in the middle changes nothing.
    void interruptionsGiveTheGestureUp_data()
    {
        QTest::addColumn<bool>("band");
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("givenUp");
        for (const bool band : {false, true}) {
            const char *g = band ? "band, " : "drag, ";
            QTest::addRow("%squestion", g) << band << "question" << true;
            QTest::addRow("%spopup menu", g) << band << "popup" << true;
            QTest::addRow("%swindow deactivated", g) << band << "deactivate" << true;
            QTest::addRow("%srelease lost", g) << band << "press again" << true;
            QTest::addRow("%sright button", g) << band << "right button" << false;
        }
    }
    void interruptionsGiveTheGestureUp()
    {
        QFETCH(bool, band);
        QFETCH(QString, what);
        QFETCH(bool, givenUp);
        TFormMain &w = start({{"alpha", {100, 100}}, {"beta", {200, 100}}, {"target", {600, 100}}},
                             "Drop_Enabled=1\r\n", &widgetPrompt_);
        widgetPrompt_.setMainWindow(&w);
        if (band) {
            QTest::mousePress(page_, Qt::LeftButton, {}, QPoint(80, 80));
            QTest::mouseMove(page_, QPoint(250, 150));
            QTest::mouseMove(page_, QPoint(260, 160));
            QCOMPARE(selected().size(), 2);
        } else {
            QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(110, 110));
            QTest::mouseClick(page_, Qt::LeftButton, Qt::ControlModifier, QPoint(210, 110));
            QTest::mousePress(page_, Qt::LeftButton, {}, QPoint(110, 110));
            QTest::mouseMove(page_, QPoint(400, 300));
            QTest::mouseMove(page_, QPoint(584, 434));
        }
        QVERIFY(w.gestures().underWay());
        const QPoint before = w.workspace().work.NewElementPosition;

        if (what == "question") {
            cancelTheNextDialog();
            QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
        } else if (what == "popup") {
            w.PopupMenuMain()->popup(w.mapToGlobal(QPoint(20, 20)));
            QTRY_VERIFY(w.PopupMenuMain()->isVisible());
            w.PopupMenuMain()->hide();
        } else if (what == "deactivate") {
            QEvent away(QEvent::WindowDeactivate);
            QApplication::sendEvent(&w, &away);
        } else if (what == "press again") {
            QTest::mousePress(page_, Qt::LeftButton, {}, QPoint(700, 500));
        } else {
            QTest::mousePress(page_, Qt::RightButton, {}, QPoint(590, 440));
            QTest::mouseRelease(page_, Qt::RightButton, {}, QPoint(590, 440));
            QVERIFY(!w.PopupMenuMain()->isVisible() && !w.PopupMenuItem()->isVisible());
            QCOMPARE(w.workspace().work.NewElementPosition, before);
        }
        QCOMPARE(w.gestures().underWay(), !givenUp || what == "press again");
        QTest::mouseRelease(page_, Qt::LeftButton, {}, QPoint(584, 434));
        QVERIFY(!w.gestures().underWay());
        QVERIFY(w.surface()->band().isNull());
        QCOMPARE(item(0).Label_Caption, QStringLiteral("alpha")); // the question was cancelled

        if (!givenUp) {
            // The gesture went on and ended with its own release.
            if (band)
                QCOMPARE(selected().size(), 2);
            else
                QCOMPARE(posOf(item(0)), QPoint(574, 424));
            return;
        }
        QCOMPARE(posOf(item(0)), QPoint(100, 100));
        QCOMPARE(posOf(item(1)), QPoint(200, 100));
        QCOMPARE(w.surface()->scene()->label(item(0)).position(), QPoint(100, 100));
        // Back on the page as before: the pointer finds them again.
        QCOMPARE(w.surface()->itemAt(QPoint(110, 110)).item, &item(0));
        // The next clicks are clicks: on the background, on another shortcut.
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(584, 434));
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(610, 110));
        QCOMPARE(posOf(item(0)), QPoint(100, 100));
        QCOMPARE(posOf(item(1)), QPoint(200, 100));
        QVERIFY(platform_.launches.isEmpty());
        QCOMPARE(selected(), QList<ShortcutItem *>({&item(2)}));
    }

    // A save in the middle of a drag, the automatic one or the one at the
    // end of the session, writes where the shortcuts were, not where the
    // pointer happens to show them; the drop then counts as usual.
    void aSaveDuringADragWritesTheStartPositions_data()
    {
        QTest::addColumn<bool>("ending");
        QTest::newRow("automatic save") << false;
        QTest::newRow("end of the session") << true;
    }
    void aSaveDuringADragWritesTheStartPositions()
    {
        QFETCH(bool, ending);
        TFormMain &w = start({{"a", {10, 10}}, {"b", {110, 10}}});
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseClick(page_, Qt::LeftButton, Qt::ControlModifier, QPoint(120, 20));
        QTest::mousePress(page_, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseMove(page_, QPoint(220, 220));
        QTest::mouseMove(page_, QPoint(320, 320));
        if (ending) {
            w.endSession();
            QTRY_VERIFY(!w.isVisible());
            QCOMPARE(TBigIniFile(settingsPath()).ReadString("General", "Cell_Width", QString()), QStringLiteral("92"));
        } else {
            // The file as written here lacks most keys; a save adds them.
            w.saver().tmAutoSaveTimer().setInterval(1);
            w.saver().tmAutoSaveTimer().start();
            QTRY_VERIFY(TBigIniFile(settingsPath()).ReadString("General", "Cell_Width", QString()) == "92");
            w.saver().tmAutoSaveTimer().stop();
        }
        QCOMPARE(savedPosition(1), QPoint(10, 10));
        QCOMPARE(savedPosition(2), QPoint(110, 10));
        if (ending)
            return;
        QTest::mouseRelease(page_, Qt::LeftButton, {}, QPoint(320, 320));
        QCOMPARE(posOf(item(0)), QPoint(310, 310));
        w.saver().requestSave();
        QCOMPARE(savedPosition(1), QPoint(310, 310));
        QCOMPARE(savedPosition(2), QPoint(410, 310));
    }

    // A drag moves by the pointer's way in 64 bits and stops at the edge of
    // what a position can hold; it never comes out at the other end.
    void dragStopsAtTheEdgeOfTheRange_data()
    {
        QTest::addColumn<QPoint>("far");
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<QPoint>("expected");
        const int max = INT_MAX, min = INT_MIN;
        QTest::newRow("right and down at the end") << QPoint(max, max) << QPoint(50, 50) << QPoint(max, max);
        QTest::newRow("left and up at the start") << QPoint(min, min) << QPoint(-50, -50) << QPoint(min, min);
        QTest::newRow("near the end") << QPoint(max - 10, 0) << QPoint(50, 0) << QPoint(max, 0);
        QTest::newRow("back from the end") << QPoint(max, max) << QPoint(-50, -50) << QPoint(max - 50, max - 50);
    }
    void dragStopsAtTheEdgeOfTheRange()
    {
        QFETCH(QPoint, far);
        QFETCH(QPoint, by);
        QFETCH(QPoint, expected);
        TFormMain &w = start({{"far", far}, {"near", {300, 300}}});
        // Out of reach of the mouse: selected as a found shortcut is.
        w.selection().Focused(item(0), false);
        const QPoint from(310, 310);
        QTest::mousePress(page_, Qt::LeftButton, Qt::ControlModifier, from);
        QTest::mouseMove(page_, from + by / 2);
        QTest::mouseMove(page_, from + by);
        QTest::mouseRelease(page_, Qt::LeftButton, Qt::ControlModifier, from + by);
        QCOMPARE(posOf(item(0)), expected);
        QCOMPARE(posOf(item(1)), QPoint(300, 300) + by);
    }

    // A drop where nothing accepts puts every dragged shortcut back: on a
    // caption, on a note, outside the page, and on a picture unless drops
    // onto shortcuts are enabled; then only the leader goes back and the
    // target starts with its file.
    void refusedDropsPutEverythingBack_data()
    {
        QTest::addColumn<QPoint>("dropAt");
        QTest::addColumn<bool>("dropEnabled");
        QTest::addColumn<bool>("opened");
        QTest::newRow("on a caption") << QPoint(216, 50) << true << false;
        QTest::newRow("on a note") << QPoint(420, 320) << true << false;
        QTest::newRow("outside the page") << QPoint(-5, 300) << true << false;
        QTest::newRow("on a picture, drops off") << QPoint(216, 20) << false << false;
        QTest::newRow("on a picture, drops on") << QPoint(216, 20) << true << true;
    }
    void refusedDropsPutEverythingBack()
    {
        QFETCH(QPoint, dropAt);
        QFETCH(bool, dropEnabled);
        QFETCH(bool, opened);
        start({{"a", {10, 10}}, {"b", {10, 100}}, {"target", {200, 10}}},
              dropEnabled ? "Drop_Enabled=1\r\n" : "Drop_Enabled=0\r\n");
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseClick(page_, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 110));
        drag(QPoint(20, 20), {QPoint(60, 200), dropAt});
        QCOMPARE(posOf(item(0)), QPoint(10, 10));
        if (opened) {
            QCOMPARE(posOf(item(1)), QPoint(50, 280)); // where the drag left it
            QCOMPARE(platform_.launches.size(), 1);
            QCOMPARE(platform_.launches[0].target, QStringLiteral("https://example.org/target"));
            QVERIFY(platform_.launches[0].arguments.contains(QStringLiteral("https://example.org/a")));
        } else {
            QCOMPARE(posOf(item(1)), QPoint(10, 100));
            QVERIFY(platform_.launches.isEmpty());
        }
        QVERIFY(item(0).Selected && item(1).Selected);
    }

    // A start clears the press guard: the press after it does nothing, the
    // next one works. A double click starts once and drags nothing; with
    // single-click starting on it starts twice, and a slow click not at all.
    void pressGuardAndSingleClicks()
    {
        TFormMain &w = start({{"a", {10, 10}}, {"b", {110, 10}}}, "Single_Click=0\r\nSingleClick_Time=10\r\n");
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::keyClick(&w, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(platform_.launches.size(), 1);
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(120, 20));
        QCOMPARE(selected(), QList<ShortcutItem *>({&item(0)}));
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(120, 20));
        QCOMPARE(selected(), QList<ShortcutItem *>({&item(1)}));

        doubleClick(QPoint(20, 20));
        QCOMPARE(platform_.launches.size(), 2);
        QVERIFY(w.gestures().pressGuard()); // the double click's own press took it
        QTest::mouseMove(page_, QPoint(80, 80));
        QCOMPARE(posOf(item(0)), QPoint(10, 10));

        w.workspace().global.Single_Click = true;
        doubleClick(QPoint(20, 20));
        QCOMPARE(platform_.launches.size(), 4);
        QTest::mousePress(page_, Qt::LeftButton, {}, QPoint(120, 20));
        QTest::qWait(150); // 10 units are 86.4 ms
        QTest::mouseRelease(page_, Qt::LeftButton, {}, QPoint(120, 20));
        QCOMPARE(platform_.launches.size(), 4);
    }

    // The band shows on any colour, above the notes too, and so does the
    // focus frame of the current shortcut while the page has the keyboard.
    void bandAndFocusFrameShowOnAnyColour_data()
    {
        QTest::addColumn<int>("background"); // the desktop's BG_Color, 0x00BBGGRR
        QTest::newRow("grey") << 0x808080;
        QTest::newRow("white") << 0xFFFFFF;
        QTest::newRow("black") << 0x000000;
        QTest::newRow("blue") << 0xFF0000;
    }
    void bandAndFocusFrameShowOnAnyColour()
    {
        QFETCH(int, background);
        QByteArray settings = desktopWith({{"a", {100, 100}}});
        settings.replace("Desktop_Caption=D\r\n", "Desktop_Caption=D\r\nBG_Color=" + QByteArray::number(background) + "\r\n");
        TFormMain &w = startWith(settings);
        // The note lies at (400, 300), 100 by 60; the band's lower edge runs
        // across it.
        QTest::mousePress(page_, Qt::LeftButton, {}, QPoint(300, 200));
        QTest::mouseMove(page_, QPoint(450, 330));
        QTest::mouseMove(page_, QPoint(460, 340));
        QCOMPARE(w.surface()->band(), QRect(QPoint(300, 200), QPoint(460, 340)));
        QImage shot = page_->grab().toImage();
        QVERIFY2(outlineInRow(shot, 200, 310, 450), "the band's top edge on the page");
        QVERIFY2(outlineInRow(shot, 340, 410, 450), "the band's bottom edge over the note");
        QTest::mouseRelease(page_, Qt::LeftButton, {}, QPoint(460, 340));
        shot = page_->grab().toImage();
        QVERIFY(!outlineInRow(shot, 200, 310, 450));

        // The first arrow makes the shortcut current; its frame lies round
        // picture and caption, and goes when the page loses the keyboard.
        page_->setFocus();
        QTest::keyClick(page_, Qt::Key_Right);
        QCOMPARE(w.workspace().work.CurrentElement.item, &item(0));
        const QRect frame = w.surface()->itemRect(item(0)).adjusted(-3, -3, 3, 3);
        shot = page_->grab().toImage();
        QVERIFY2(outlineInRow(shot, frame.top(), frame.left() + 2, frame.right() - 2), "the focus frame");
        w.PageControl1()->setFocus();
        shot = page_->grab().toImage();
        QVERIFY(!outlineInRow(shot, frame.top(), frame.left() + 2, frame.right() - 2));
    }

    // The shortcut an arrow key makes current: the nearest within 45 degrees
    // of its direction, sideways counting double; shortcuts on one spot
    // follow each other in element order; the first arrow takes the
    // top-left one.
    void nearestInEachDirection_data()
    {
        QTest::addColumn<QString>("from"); // "" for none
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("expected"); // "" for none
        using D = SurfaceKeys::Direction;
        const int left = int(D::Left), right = int(D::Right), up = int(D::Up), down = int(D::Down);
        QTest::newRow("first arrow: top-left") << "" << down << "a";
        QTest::newRow("along the row") << "a" << right << "b";
        QTest::newRow("a little lower beats far on the row") << "b" << right << "c";
        QTest::newRow("far, within the angle") << "c" << right << "g";
        QTest::newRow("down and aside") << "d" << right << "e";
        QTest::newRow("same spot, next") << "e" << right << "f";
        QTest::newRow("same spot, previous") << "f" << left << "e";
        QTest::newRow("off the angle is skipped") << "f" << right << "g";
        QTest::newRow("up") << "e" << up << "b";
    }
    void nearestInEachDirection()
    {
        QFETCH(QString, from);
        QFETCH(int, direction);
        QFETCH(QString, expected);
        Desktop d;
        for (const auto &[name, at] : std::initializer_list<std::pair<const char *, QPoint>>{
                 {"a", {100, 100}}, {"b", {200, 100}}, {"c", {300, 130}}, {"d", {100, 200}},
                 {"e", {200, 260}}, {"f", {200, 260}}, {"g", {600, 105}}}) {
            ShortcutItem &item = d.addItem();
            item.Label_Caption = QString::fromLatin1(name);
            item.Item_Left = at.x();
            item.Item_Top = at.y();
        }
        const ShortcutItem *start = nullptr;
        for (const auto &item : d.items)
            if (item->Label_Caption == from)
                start = item.get();
        const ShortcutItem *got = SurfaceKeys::nearest(d, start, SurfaceKeys::Direction(direction));
        QCOMPARE(got ? got->Label_Caption : QString(), expected);
    }

    // The page without a mouse: it has the keyboard from the start; arrows
    // choose (Shift adds, Ctrl only moves), Space and Ctrl+Space select; the
    // menu key and Shift+F10 open the shortcut's menu at it, or the
    // desktop's where new elements go; Ctrl+Tab and its kin switch desktops
    // through the password question, and a refused one leaves the keyboard
    // on the tabs. (Tab, Enter and the menus' commands: e2e_window.)
    void pageByKeyboardAlone()
    {
        QByteArray settings = desktopWith({{"a", {10, 10}}, {"b", {110, 10}}, {"c", {110, 100}}});
        settings.replace("Page_Count=1", "Page_Count=2");
        settings += "[Page1]\r\nDesktop_Caption=Two\r\nPassword=" + storedPasswordText(QStringLiteral("key")).toLatin1()
            + "\r\nPassword_On_Desktop=1\r\n\r\n";
        TFormMain &w = startWith(settings);
        QTRY_COMPARE(QApplication::focusWidget(), page_);

        QTest::keyClick(page_, Qt::Key_Right); // the first: top-left
        QCOMPARE(selected(), QList<ShortcutItem *>({&item(0)}));
        QTest::keyClick(page_, Qt::Key_Right);
        QCOMPARE(selected(), QList<ShortcutItem *>({&item(1)}));
        QTest::keyClick(page_, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(selected(), QList<ShortcutItem *>({&item(1), &item(0)}));
        QTest::keyClick(page_, Qt::Key_Right, Qt::ControlModifier);
        QTest::keyClick(page_, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(w.workspace().work.CurrentElement.item, &item(2));
        QCOMPARE(selected().size(), 2);
        QTest::keyClick(page_, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(selected().size(), 3);
        QTest::keyClick(page_, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(selected().size(), 2);
        QCOMPARE(w.workspace().work.CurrentElement.item, &item(2));
        QTest::keyClick(page_, Qt::Key_Space);
        QCOMPARE(selected(), QList<ShortcutItem *>({&item(2)}));

        // The menus, at the current shortcut and where new elements go.
        for (const auto &[code, mods] : {std::pair(Qt::Key_Menu, Qt::KeyboardModifiers()),
                                         std::pair(Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier))}) {
            QTest::keyClick(page_, code, mods);
            QTRY_VERIFY(w.PopupMenuItem()->isVisible());
            QCOMPARE(w.PopupMenuItem()->pos(), page_->mapToGlobal(QPoint(126, 116)));
            w.PopupMenuItem()->hide();
        }
        w.selection().UnFocused();
        w.workspace().work.NewElementPosition = QPoint(300, 250);
        QTest::keyClick(page_, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(w.PopupMenuMain()->isVisible());
        QCOMPARE(w.PopupMenuMain()->pos(), page_->mapToGlobal(QPoint(300, 250)));
        w.PopupMenuMain()->hide();

        // Desktops: the password is asked; refused, the tabs keep the keys.
        QTest::keyClick(page_, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(prompt_.passwordCaptions, QStringList({"Two"}));
        QCOMPARE(w.workspace().activeIndex(), 1);
        QVERIFY(w.surface()->isLocked());
        QCOMPARE(QApplication::focusWidget(), w.PageControl1());
        QTest::keyClick(w.PageControl1(), Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(w.workspace().activeIndex(), 0);
        prompt_.passwordAnswers = {QStringLiteral("key")};
        QTest::keyClick(w.PageControl1(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.workspace().activeIndex(), 1);
        QVERIFY(!w.surface()->isLocked());
        QCOMPARE(prompt_.passwordCaptions.size(), 2);
    }

    // Enter starts the current shortcut once per press of the key: never
    // with Ctrl or Alt, and not again while it is held, whether the repeats
    // come marked, unmarked, or as the display server's pairs of release
    // and press with one time stamp; from the search field as from the page.
    void enterStartsOncePerPress_data()
    {
        QTest::addColumn<QString>("keys"); // p: press, P: marked repeat, r: release; each with its time
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("starts");
        const int none = Qt::NoModifier;
        QTest::newRow("one press") << "p100 r200" << none << 1;
        QTest::newRow("two presses") << "p100 r200 p400 r500" << none << 2;
        QTest::newRow("marked repeats") << "p100 P600 P630 P660 r700" << none << 1;
        QTest::newRow("unmarked repeats") << "p100 p600 p630 p660 r700" << none << 1;
        QTest::newRow("the server's pairs") << "p100 r600 p600 r630 p630 r700" << none << 1;
        QTest::newRow("with Ctrl") << "p100 r200" << int(Qt::ControlModifier) << 0;
        QTest::newRow("with Alt") << "p100 r200" << int(Qt::AltModifier) << 0;
        QTest::newRow("with Shift") << "p100 r200" << int(Qt::ShiftModifier) << 1;
    }
    void enterStartsOncePerPress()
    {
        QFETCH(QString, keys);
        QFETCH(int, mods);
        QFETCH(int, starts);
        start({{"a", {10, 10}}});
        QTest::mouseClick(page_, Qt::LeftButton, {}, QPoint(20, 20));
        for (const QString &k : keys.split(QLatin1Char(' '))) {
            const ulong time = k.mid(1).toULong();
            const QEvent::Type type = k[0] == QLatin1Char('r') ? QEvent::KeyRelease : QEvent::KeyPress;
            key(type, Qt::Key_Return, Qt::KeyboardModifiers(mods), time, k[0] == QLatin1Char('P'));
        }
        QCOMPARE(platform_.launches.size(), starts);

        // Chosen in the search field, whose Enter starts it; the repeats
        // then land on the page.
        platform_.launches.clear();
        form_->mnuFindClick(QStringLiteral("a"));
        QTRY_VERIFY(form_->findPopup().isVisible());
        QTest::qWait(50); // the results come after a short pause in typing
        key(QEvent::KeyPress, Qt::Key_Return, {}, 1000);
        QTRY_VERIFY(!form_->findPopup().isVisible());
        key(QEvent::KeyPress, Qt::Key_Return, {}, 1500);
        key(QEvent::KeyPress, Qt::Key_Return, {}, 1530);
        key(QEvent::KeyRelease, Qt::Key_Return, {}, 1600);
        QCOMPARE(platform_.launches.size(), 1);
    }

    // Letters want their modifier alone; F5, F1 and Del act at key up with
    // any modifiers; Enter of either keyboard as the character.
    void keysOfTheWindow_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("command"); // -1: none
        const int press = QEvent::KeyPress, release = QEvent::KeyRelease;
        const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier;
        QTest::newRow("Ctrl+C") << press << int(Qt::Key_C) << ctrl << int(KeyCommand::Copy);
        QTest::newRow("Ctrl+Shift+C") << press << int(Qt::Key_C) << (ctrl | shift) << -1;
        QTest::newRow("Ctrl+Alt+X") << press << int(Qt::Key_X) << (ctrl | alt) << -1;
        QTest::newRow("Ctrl+R up") << release << int(Qt::Key_R) << ctrl << -1;
        QTest::newRow("Shift+Del up") << release << int(Qt::Key_Delete) << shift << int(KeyCommand::Delete);
        QTest::newRow("Del down") << press << int(Qt::Key_Delete) << 0 << -1;
        QTest::newRow("Ctrl+F5 up") << release << int(Qt::Key_F5) << ctrl << int(KeyCommand::Repaint);
        QTest::newRow("keypad Enter")
            << press << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << int(KeyCommand::Open);
        QTest::newRow("Ctrl+Enter") << press << int(Qt::Key_Return) << ctrl << -1;
        QTest::newRow("Alt+Enter") << press << int(Qt::Key_Enter) << (alt | int(Qt::KeypadModifier)) << -1;
        QTest::newRow("Ctrl+Tab") << press << int(Qt::Key_Tab) << ctrl << int(KeyCommand::NextDesktop);
        QTest::newRow("Ctrl+Page Down") << press << int(Qt::Key_PageDown) << ctrl << int(KeyCommand::NextDesktop);
        QTest::newRow("Ctrl+Shift+Tab")
            << press << int(Qt::Key_Backtab) << (ctrl | shift) << int(KeyCommand::PreviousDesktop);
        QTest::newRow("Ctrl+Page Up") << press << int(Qt::Key_PageUp) << ctrl << int(KeyCommand::PreviousDesktop);
        QTest::newRow("Alt+Page Down") << press << int(Qt::Key_PageDown) << alt << -1;
    }
    void keysOfTheWindow()
    {
        QFETCH(int, type);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, command);
        const QKeyEvent e(QEvent::Type(type), key, Qt::KeyboardModifiers(mods));
        const std::optional<KeyCommand> got = keyCommandFor(e);
        QCOMPARE(got ? int(*got) : -1, command);
    }
};

QTEST_MAIN(GesturesTest)
#include "tst_gestures.moc"
