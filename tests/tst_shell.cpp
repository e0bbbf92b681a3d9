// The window and the desktop's shell: drops from file managers and browsers
// (synthetic drag events, as offscreen has no real drags), the tray icon,
// the button that rolls the window into the compact strip and back, F1.
#include "common/WindowSystem.h"
#include "help/HelpSystem.h"
#include "help/HelpViewer.h"
#include "shell/CompactStrip.h"
#include "shell/DropURLTarget.h"
#include "shell/Titlebutn.h"
#include "shell/TrayIcon.h"
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMain.h"
#include "surface/MainActions.h"
#include "surface/Selection.h"
#include "surface/StatusBarMain.h"
#include "surface/TabStrip.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include <memory>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;

namespace {

QByteArray settingsWith(const QByteArray &general = {}, const QByteArray &page = {})
{
    return vl::test::desktopsSettings({QStringLiteral("Home")}, 0, general, {page});
}

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// Enter, one move and the drop at pos (window coordinates); whether the
// enter was accepted.
bool dropOn(QWidget &w, QMimeData &data, QPoint pos, Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction,
            Qt::KeyboardModifiers keys = Qt::NoModifier)
{
    QDragEnterEvent enter(pos, allowed, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(&w, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(pos, allowed, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(&w, &move);
    QDropEvent drop(pos, allowed, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(&w, &drop);
    return drop.isAccepted();
}

// Whether a widget's faces put the symbol where expected: the bounding box
// of the pixels in the given colour.
QRect pixelsOf(const QImage &image, QRgb colour)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class ShellTest : public QObject, vl::test::WindowFixture {
    Q_OBJECT

    TFormMain &start(const QByteArray &settings = settingsWith())
    {
        WindowFixture::start(settings);
        form_->resize(600, 400);
        form_->show();
        if (!QTest::qWaitForWindowExposed(form_.get()))
            qFatal("window not exposed");
        return *form_;
    }
    std::vector<std::unique_ptr<ShortcutItem>> &items() { return form_->workspace().activeDesktop()->items; }
    QPoint onPage(QPoint p) const { return form_->surface()->mapTo(form_.get(), p); }

private slots:
    void init()
    {
        resetWindowFixture();
        platform_.links.clear();
    }
    void cleanup() { form_.reset(); }

    // What a drop carries, by what the source offers. The file manager
    // offers its list as text too; browsers offer a link with its title.
    void dropFormatsAndTheirPreference_data()
    {
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<QList<QByteArray>>("payloads");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("caption");

        const QByteArray files = "# dragged from a file manager\r\nfile:///home/u/Reports/Q3%20plan.ODT\r\n"
                                 "file:///home/u/b.txt\r\nfile:///home/u/c.txt\r\n";
        QTest::newRow("browser link, UTF-16, with everything else")
            << QStringList{"text/uri-list", "text/plain", "text/x-moz-url"}
            << QList<QByteArray>{"https://other.example/\r\n", "some text", utf16("https://qt.io/page\nQt Page")}
            << "https://qt.io/page" << "Qt Page";
        QTest::newRow("link of an X11 browser, no title")
            << QStringList{"_NETSCAPE_URL", "text/plain"} << QList<QByteArray>{"http://a.example/x", "ignored"}
            << "http://a.example/x" << "http://a.example/x";
        QTest::newRow("three files and their text: the first file")
            << QStringList{"text/uri-list", "text/plain"}
            << QList<QByteArray>{files, "/home/u/Reports/Q3 plan.ODT\n/home/u/b.txt"}
            << "/home/u/Reports/Q3 plan.ODT" << "Q3 plan.ODT";
        QTest::newRow("a launcher, its ending in any case")
            << QStringList{"text/uri-list"} << QList<QByteArray>{"file:///usr/share/applications/Tool.DESKTOP\n"}
            << "/usr/share/applications/Tool.DESKTOP" << "Tool";
        QTest::newRow("a folder with its final slash")
            << QStringList{"text/uri-list"} << QList<QByteArray>{"file:///home/u/Music/\n"} << "/home/u/Music"
            << "Music";
        QTest::newRow("text beats a list of addresses")
            << QStringList{"text/uri-list", "text/plain"}
            << QList<QByteArray>{"https://list.example/\n", "  first line \nsecond line"} << "first line"
            << "first line";
        QTest::newRow("text from an editor: its first line that is not blank")
            << QStringList{"text/plain"} << QList<QByteArray>{"\r\n  \n\thttps://qt.io/after-blank \nnext"}
            << "https://qt.io/after-blank" << "https://qt.io/after-blank";
        QTest::newRow("an address in a list") << QStringList{"text/uri-list"}
                                              << QList<QByteArray>{"#c\nsftp://host/dir\n"} << "sftp://host/dir"
                                              << "sftp://host/dir";
    }

    void dropFormatsAndTheirPreference()
    {
        QFETCH(QStringList, formats);
        QFETCH(QList<QByteArray>, payloads);
        QFETCH(QString, file);
        QFETCH(QString, caption);
        TFormMain &w = start();
        ShortcutItem &before = w.shortcutCommands().CreateNewItem();
        w.selection().Focused(before, false);

        QMimeData data;
        for (int i = 0; i < formats.size(); ++i)
            data.setData(formats[i], payloads[i]);
        QVERIFY(dropOn(w, data, onPage({200, 120})));
        QCOMPARE(items().size(), std::size_t(1)); // made on a later turn
        QTRY_COMPARE(items().size(), std::size_t(2));

        ShortcutItem &made = *items().back();
        QCOMPARE(made.AttachedFile, file);
        QCOMPARE(made.Label_Caption, caption);
        QVERIFY(made.Picture.isEmpty());
        QCOMPARE(w.selection().count(), 1);
        QVERIFY(w.selection().contains(&made));
        QCOMPARE(w.StatusBar()->saveState(), QStringLiteral("Modified"));
    }

    void dropsWithoutUsableDataAreRefused()
    {
        TFormMain &w = start();
        QMimeData custom;
        custom.setData(QStringLiteral("application/x-other-program"), "x");
        QVERIFY(!dropOn(w, custom, onPage({50, 50})));
        // Understood formats with nothing in them: accepted at enter, nothing made.
        QMimeData blank;
        blank.setData(QStringLiteral("text/plain"), " \n");
        dropOn(w, blank, onPage({50, 50}));
        QTest::qWait(20);
        QVERIFY(items().empty());
    }

    // Nothing lands where it could not be seen: on a page behind its
    // password, or on the strip the window is rolled up into.
    void dropsOnAHiddenPageAreRefused()
    {
        TFormMain &w = start(settingsWith({}, "Password=12345\r\nPassword_On_Desktop=1\r\n"));
        QVERIFY(w.surface()->isLocked());
        QMimeData file;
        file.setData(QStringLiteral("text/uri-list"), "file:///home/u/a.txt\n");
        QVERIFY(!dropOn(w, file, onPage({50, 50})));
        QTest::qWait(20);
        QVERIFY(items().empty());

        resetWindowFixture();
        TFormMain &open = start();
        QTest::mouseClick(&open.titleButton(), Qt::LeftButton);
        QVERIFY(!open.normalMode());
        QVERIFY(!dropOn(open, file, QPoint(open.width() - 20, 5)));
        QTest::qWait(20);
        QVERIFY(items().empty());
        QTest::mouseClick(&open.titleButton(), Qt::LeftButton);
        QVERIFY(dropOn(open, file, onPage({50, 50})));
        QTRY_COMPARE(items().size(), std::size_t(1));
    }

    // On X11 a browser's link reaches the window as a bare address in a
    // file list; the title is then asked of the drag's source itself, for
    // the link format alone and only when the drag hides it.
    void linkTitleAskedOfTheSourceWhenTheListHidesIt()
    {
        TFormMain &w = start();
        QStringList asked;
        std::optional<QByteArray> answer = utf16(QStringLiteral("https://qt.io/page\nQt Page \u2013 notes"));
        w.dropTarget().ForeignData = [&](const QByteArray &format) {
            asked << QString::fromLatin1(format);
            return answer;
        };
        QMimeData folded;
        folded.setData(QStringLiteral("text/uri-list"), "https://qt.io/page\r\n");
        folded.setData(QStringLiteral("text/plain"), "https://qt.io/page");
        QVERIFY(dropOn(w, folded, onPage({40, 40})));
        QTRY_COMPARE(items().size(), std::size_t(1));
        QCOMPARE(asked, QStringList{QStringLiteral("text/x-moz-url")});
        QCOMPARE(items()[0]->AttachedFile, QStringLiteral("https://qt.io/page"));
        QCOMPARE(items()[0]->Label_Caption, QStringLiteral("Qt Page \u2013 notes"));

        // A real file list: the source refuses the link format, the file wins.
        answer.reset();
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(QStringLiteral("/home/u/a b.txt"))});
        QVERIFY(dropOn(w, files, onPage({140, 40})));
        QTRY_COMPARE(items().size(), std::size_t(2));
        QCOMPARE(items()[1]->AttachedFile, QStringLiteral("/home/u/a b.txt"));
        QCOMPARE(items()[1]->Label_Caption, QStringLiteral("a b.txt"));

        // A link the drag shows as it is is read from the drag, not asked for.
        asked.clear();
        QMimeData link;
        link.setData(QStringLiteral("text/uri-list"), "https://a.example/\r\n");
        link.setData(QStringLiteral("text/x-moz-url"), utf16(QStringLiteral("https://a.example/\nShown")));
        QVERIFY(dropOn(w, link, onPage({240, 40})));
        QTRY_COMPARE(items().size(), std::size_t(3));
        QVERIFY(asked.isEmpty());
        QCOMPARE(items()[2]->Label_Caption, QStringLiteral("Shown"));
    }

    void droppedLinkFileBecomesItsTarget()
    {
        TFormMain &w = start();
        QTemporaryDir tmp;
        const QString link = tmp.filePath(QStringLiteral("Editor.LNK"));
        const QString target = tmp.filePath(QStringLiteral("editor"));
        vl::test::writeAll(link, "L");
        vl::test::writeAll(target, "x");
        platform_.links.insert(link, LinkTarget{target, QStringLiteral("--new-window")});
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(link)});
        QVERIFY(dropOn(w, data, onPage({10, 10})));
        QTRY_COMPARE(items().size(), std::size_t(1));
        QCOMPARE(items()[0]->AttachedFile, target);
        QCOMPARE(items()[0]->CommandString, QStringLiteral("--new-window"));
        QCOMPARE(items()[0]->Label_Caption, QStringLiteral("Editor"));
    }

    // 16 pixels left of the pointer, never corrected; the top kept between
    // 0 and 10 pixels above the page's bottom.
    void dropPlacement()
    {
        TFormMain &w = start(settingsWith("bStatusBar_Enabled=1\r\n"));
        const int h = w.surface()->height();
        const auto dropText = [&](QPoint windowPos) {
            QMimeData data;
            data.setText(QStringLiteral("x"));
            QVERIFY(dropOn(w, data, windowPos));
        };
        dropText(onPage({100, 40}));
        dropText(w.PageControl1()->mapTo(&w, QPoint(8, 2))); // over the tabs, above the page
        dropText(w.StatusBar()->mapTo(&w, QPoint(300, 5)));  // over the status bar, below it
        QTRY_COMPARE(items().size(), std::size_t(3));
        QCOMPARE(QPoint(items()[0]->Item_Left, items()[0]->Item_Top), QPoint(84, 40));
        QCOMPARE(items()[1]->Item_Top, 0);
        QCOMPARE(items()[1]->Item_Left, w.PageControl1()->mapTo(&w, QPoint(8, 0)).x() - onPage({}).x() - 16);
        QCOMPARE(items()[2]->Item_Top, h - 10);
        QVERIFY(items()[1]->Item_Left < 0);
    }

    void dropEffectChoice()
    {
        const Qt::DropActions all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        const TDragTypes any = dtCopy | dtMove | dtLink;
        const Qt::KeyboardModifiers both = Qt::ShiftModifier | Qt::ControlModifier;
        QCOMPARE(GetValidDropEffect(Qt::NoModifier, all, any), Qt::CopyAction);
        QCOMPARE(GetValidDropEffect(both, all, any), Qt::LinkAction);
        QCOMPARE(GetValidDropEffect(both, Qt::CopyAction | Qt::MoveAction, any), Qt::CopyAction);
        QCOMPARE(GetValidDropEffect(Qt::ControlModifier, Qt::LinkAction, any), Qt::LinkAction);
        // A move is never granted: the source must not delete what the new
        // shortcut points at.
        QCOMPARE(GetValidDropEffect(Qt::ShiftModifier, Qt::CopyAction | Qt::MoveAction, any), Qt::CopyAction);
        QCOMPARE(GetValidDropEffect(Qt::NoModifier, Qt::MoveAction, any), Qt::CopyAction);
        QCOMPARE(GetValidDropEffect(both, all, dtCopy), Qt::CopyAction);
        QCOMPARE(GetValidDropEffect(Qt::NoModifier, Qt::LinkAction, dtCopy), Qt::IgnoreAction);
    }

    // A drag that offers nothing but a move is refused at once: Qt would
    // turn the copy answered into a move, and the source would delete the
    // file the shortcut points at. With Ctrl too it offers a copy again.
    void moveOnlyDragIsRefused()
    {
        TFormMain &w = start();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/home/u/keep.txt"))});
        const QPoint at = onPage({30, 30});
        QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(&w, &enter);
        QVERIFY(!enter.isAccepted());
        QVERIFY(!dropOn(w, data, at, Qt::MoveAction, Qt::ShiftModifier));
        QTest::qWait(20);
        QVERIFY(items().empty());

        QVERIFY(dropOn(w, data, at, Qt::CopyAction | Qt::MoveAction, Qt::ShiftModifier));
        QTRY_COMPARE(items().size(), std::size_t(1));
    }

    // A drop that arrives while a question is open waits for its answer,
    // and a drop that fails says so.
    void dropWaitsForAnOpenQuestionAndReportsFailure()
    {
        TFormMain &w = start();
        int duringQuestion = -1;
        prompt_.onDialog = [&](const QString &) {
            QMimeData data;
            data.setText(QStringLiteral("https://example.org"));
            dropOn(w, data, onPage({60, 60}));
            QTest::qWait(20);
            duringQuestion = int(items().size());
        };
        prompt_.answer(ModalResult::No);
        w.mnuReloadClick();
        QCOMPARE(duringQuestion, 0);
        QTRY_COMPARE(items().size(), std::size_t(1));

        class Throwing : public FakePlatform {
        public:
            std::optional<LinkTarget> readLink(const QString &) override { throw std::runtime_error("broken"); }
        } broken;
        prompt_.onDialog = nullptr;
        TFormMain w2(prompt_, broken, path_);
        w2.FormCreate();
        DropData link;
        link.FileName = dir_.filePath(QStringLiteral("x.lnk"));
        vl::test::writeAll(link.FileName, "L");
        w2.DragDropFileDrop(link, w2.surface()->mapToGlobal(QPoint(30, 30)));
        QCOMPARE(prompt_.texts().last(), QStringLiteral("Error in TFormMain.DragDrop1FileDrop"));
        QVERIFY(w2.workspace().work.ErrorsOccurred);
    }

    void trayIcon()
    {
        TTrayIcon tray;
        tray.setToolTip(QString(70, QChar('a')));
        QCOMPARE(tray.ToolTip().size(), 62);
        // Never half a character.
        tray.setToolTip(QString(61, QChar('a')) + QStringLiteral("\U0001F600z"));
        QCOMPARE(tray.ToolTip(), QString(61, QChar('a')));

        TFormMain &w = start();
        QCOMPARE(w.trayIcon().ToolTip(), QStringLiteral("Vorlane"));
        QVERIFY(w.trayIcon().Active());
        QStringList texts;
        for (QAction *a : w.PopupMenuTray()->actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(texts, QStringList({"About", "-", "Exit"}));

        // The close box only minimises; the tray's double click brings the
        // window back.
        w.close();
        QVERIFY(w.isMinimized());
        QVERIFY(!w.closeAllowed());
        w.OnTrayIconDblClick();
        QVERIFY(!w.isMinimized());
        QVERIFY(w.isVisible());

        // "About" from the tray while a question is open comes after it.
        bool aboutDuringQuestion = false;
        prompt_.onDialog = [&](const QString &text) {
            if (text == QLatin1String("About"))
                return;
            w.PopupMenuTray()->actions().first()->trigger();
            aboutDuringQuestion = prompt_.count(QStringLiteral("About")) > 0;
        };
        prompt_.answer(ModalResult::No);
        w.mnuReloadClick();
        QVERIFY(!aboutDuringQuestion);
        QTRY_COMPARE(prompt_.count(QStringLiteral("About")), 1);
    }

    void captionButtonFacesAndClicks()
    {
        QPalette pal;
        pal.setColor(QPalette::ButtonText, QColor(0, 0, 255));
        const QSize size(24, 20);
        const QRect up = pixelsOf(TTitlebutn::buildFace(TTitlebutn::stUp, size, pal), qRgb(0, 0, 255));
        const QRect down = pixelsOf(TTitlebutn::buildFace(TTitlebutn::stDown, size, pal), qRgb(0, 0, 255));
        QVERIFY(!up.isEmpty());
        QVERIFY(up.bottom() > size.height() / 2); // near the bottom centre
        QCOMPARE(down.topLeft(), up.topLeft() + QPoint(1, 1));

        QWidget form;
        TTitlebutn button(&form, &form);
        QStringList log;
        button.Action = [&] { log << QString::number(button.State()); };
        button.SetVisible(true);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(button.isVisible());

        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(log, QStringList({"0"})); // the action runs before the flip
        QCOMPARE(button.State(), TTitlebutn::stDown);
        QTest::mouseClick(&button, Qt::RightButton);
        QTest::mouseDClick(&button, Qt::LeftButton);
        QCOMPARE(log.size(), 1);
        button.SetEnabled(false);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(log.size(), 1);
        QCOMPARE(button.State(), TTitlebutn::stDown);

        // One button per form; none on a window without a frame.
        TTitlebutn second(&form, &form);
        button.SetVisible(false);
        second.SetVisible(true);
        QVERIFY(button.Visible());
        QVERIFY(!second.Visible());
        QWidget bare(nullptr, Qt::FramelessWindowHint);
        TTitlebutn none(&bare, &bare);
        none.SetVisible(true);
        QVERIFY(!none.Visible());
    }

    // Rolled up and out again, the window is exactly where and as large as
    // it was; a save meanwhile stores that place, not the strip's.
    void compactStripRestoresExactly()
    {
        TFormMain &w = start(settingsWith("Tab_Position=0\r\nbStatusBar_Enabled=1\r\n"));
        w.move(130, 90);
        w.resize(640, 420);
        QTest::qWait(10);
        const QRect before = w.geometry();
        const QPoint posBefore = w.pos();

        QTest::mouseClick(&w.titleButton(), Qt::LeftButton);
        QVERIFY(!w.normalMode());
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!w.StatusBar()->isVisible());
        QCOMPARE(w.PageControl1()->shape(), TabStrip::Top);
        QCOMPARE(w.minimumSize(), w.maximumSize()); // not resizable
        QVERIFY(w.height() < 100);
        QCOMPARE(w.titleButton().State(), TTitlebutn::stDown);

        w.mnuSaveClick();
        const QByteArray saved = vl::test::readAll(path_);
        QVERIFY(saved.contains("FormWidth_Key=" + QByteArray::number(before.width()) + "\r\n"));
        QVERIFY(saved.contains("FormLeft_Key=" + QByteArray::number(posBefore.x()) + "\r\n"));

        // A left click on the tabs rolls it out.
        QTest::mouseClick(w.PageControl1(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(w.normalMode());
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.geometry(), before);
        QVERIFY(!w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w.StatusBar()->isVisible());
        QCOMPARE(w.PageControl1()->shape(), TabStrip::Bottom);
        QCOMPARE(w.titleButton().State(), TTitlebutn::stUp);
        w.resize(700, 450); // resizable again
        QCOMPARE(w.size(), QSize(700, 450));
    }

    // Where the program has no say in where its windows go (Wayland) and
    // Qt cannot keep a menu on a screen it does not know the window's place
    // on, a menu opens within the window: upwards near its bottom,
    // leftwards near its right edge, against its top when taller.
    void menusStayWithinTheWindow_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QSize>("menu");
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QPoint>("opened");
        const QRect window(0, 0, 800, 600);
        QTest::newRow("room below and right") << QPoint(100, 100) << QSize(200, 300) << window << QPoint(100, 100);
        QTest::newRow("near the bottom: upwards") << QPoint(100, 500) << QSize(200, 300) << window << QPoint(100, 200);
        QTest::newRow("near the right: leftwards") << QPoint(700, 100) << QSize(200, 300) << window << QPoint(500, 100);
        QTest::newRow("in the corner") << QPoint(790, 590) << QSize(200, 300) << window << QPoint(590, 290);
        QTest::newRow("taller than the window") << QPoint(100, 500) << QSize(200, 700) << window << QPoint(100, 0);
        QTest::newRow("a window elsewhere") << QPoint(300, 300) << QSize(120, 100) << QRect(50, 40, 400, 300)
                                            << QPoint(300, 200);
    }
    void menusStayWithinTheWindow()
    {
        QFETCH(QPoint, at);
        QFETCH(QSize, menu);
        QFETCH(QRect, window);
        QFETCH(QPoint, opened);
        QCOMPARE(menuPositionWithin(at, menu, window), opened);
    }

    // There, the window rolls up into a plain small window instead of a
    // strip it could not place: its own frame, one row of tabs, as wide as
    // it was; rolled out it is as before.
    void plainStripWhereWindowsCannotBePlaced()
    {
        struct View : CompactStrip::View {
            bool compact = false;
            void compactLook(bool c) override { compact = c; }
            int stripHeight() override { return 28; }
        } view;
        QWidget window;
        window.setGeometry(120, 90, 640, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect before = window.geometry();
        const Qt::WindowFlags flags = window.windowFlags();
        CompactStrip strip(window, view);
        strip.setPlainWindow(true);
        strip.enter();
        QVERIFY(!strip.normal() && view.compact);
        QCOMPARE(window.windowFlags(), flags);
        QTRY_COMPARE(window.size(), QSize(640, 28));
        strip.leave();
        QVERIFY(strip.normal() && !view.compact);
        QTRY_COMPARE(window.geometry(), before);
        window.resize(500, 300); // resizable again
        QCOMPARE(window.size(), QSize(500, 300));
    }

    void f1ShowsTheManualsContentsWhenThereIsOne()
    {
        TFormMain &w = start();
        // The desktop menu's "Help" names its key, as its other commands do.
        QAction *help = w.actions()[ActionId::Help];
        QVERIFY(w.PopupMenuMain()->actions().contains(help));
        QCOMPARE(help->shortcut(), QKeySequence(Qt::Key_F1));
        w.help().setApplicationHelpFile(dir_.filePath(QStringLiteral("missing.chm")));
        QTest::keyClick(&w, Qt::Key_F1);
        QVERIFY(!w.help().viewer());
        w.help().setApplicationHelpFile(QStringLiteral(VORLANE_HELP_FIXTURES "/vorlane-test.chm"));
        QTest::keyClick(&w, Qt::Key_F1);
        QVERIFY(w.help().viewer());
        QTRY_VERIFY(w.help().viewer()->isVisible());
        w.mnuExitClick();
        QTRY_VERIFY(!w.help().viewer());
    }
};

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
