// The commands that create, change and remove shortcuts, driven through a
// scripted prompt and a view that records what it was told, and the two
// dialogs behind them.
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "surface/Selection.h"
#include "surface/ShortcutCommands.h"
#include "surface/ShortcutDialogs.h"
#include "app/WidgetPrompt.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <stdexcept>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;

namespace {

// Records every call in order; can be told to fail on the n-th call of a kind.
class RecordingView : public ShortcutView {
public:
    explicit RecordingView(Workspace &ws) : ws_(ws) {}

    void itemAdded(ShortcutItem &) override { log << QStringLiteral("added"); }
    void itemChanged(ShortcutItem &item) override
    {
        if (changedCalls++ == failChangedAt)
            throw std::runtime_error("view failed");
        log << QStringLiteral("changed ") + item.Label_Caption;
    }
    void itemRemoving(ShortcutItem &item) override
    {
        if (removingCalls++ == failRemovingAt)
            throw std::runtime_error("view failed");
        // The view must still see the record it is told about.
        const Desktop *d = ws_.activeDesktop();
        if (!d || d->indexOfItem(&item) < 0)
            removedTooEarly = true;
        log << QStringLiteral("removing ") + item.Label_Caption;
    }
    void Modified() override { log << QStringLiteral("modified"); }
    void RefreshAll() override { log << QStringLiteral("refresh"); }
    void executeItem(ShortcutItem &item) override { log << QStringLiteral("execute ") + item.Label_Caption; }

    QStringList log;
    int failChangedAt = -1;
    int failRemovingAt = -1;
    int changedCalls = 0;
    int removingCalls = 0;
    bool removedTooEarly = false;

private:
    Workspace &ws_;
};

// A platform whose link reader breaks, to make attaching a file fail halfway.
class BrokenLinkPlatform : public FakePlatform {
public:
    std::optional<LinkTarget> readLink(const QString &) override { throw std::runtime_error("broken link"); }
};

// A prompt whose file chooser breaks.
class BrokenChooserPrompt : public FakePrompt {
protected:
    std::optional<QString> openFileDialog(const QString &, const QString &, bool) override
    {
        throw std::runtime_error("chooser failed");
    }
};

template <class PlatformT = FakePlatform>
struct Rig {
    explicit Rig(bool withDesktop = true)
    {
        if (withDesktop)
            ws.CreateNewTabSheet();
        ws.work.NewElementPosition = QPoint(130, 70);
    }

    Desktop &desk() { return *ws.activeDesktop(); }
    ShortcutItem &add(const QString &caption)
    {
        ShortcutItem &item = desk().addItem();
        item.Label_Caption = caption;
        return item;
    }
    void makeCurrent(ShortcutItem &item) { ws.work.CurrentElement = {&item, nullptr}; }

    Workspace ws;
    FakePrompt prompt;
    PlatformT platform;
    Selection selection{ws};
    RecordingView view{ws};
    ShortcutCommands cmd{ws, prompt, platform, selection, view};
};

QStringList L(std::initializer_list<const char *> items)
{
    QStringList out;
    for (const char *s : items)
        out << QString::fromUtf8(s);
    return out;
}

QString makeFile(const QString &path, const QByteArray &content = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!vl::test::writeAll(path, content))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString makePng(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    if (!image.save(path, "PNG"))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Runs fn on the dialog of type D once it is open; a dialog that never turns
// up, or that fn leaves open, is rejected so that the test cannot hang.
template <class D, class Fn>
void whenOpen(Fn fn)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, fn] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<D *>(w); d && d->isVisible()) {
                timer->deleteLater();
                fn(d);
                if (d->isVisible())
                    d->reject();
                return;
            }
        }
        if (++*tries > 500) {
            timer->deleteLater();
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
                    d->reject();
        }
    });
    timer->start(10);
}

} // namespace

class ShortcutCommandsTest : public QObject {
    Q_OBJECT

private slots:
    // ------------------------------------------------------------ creating

    void newShortcutCancelledStillAddsBlankShortcut()
    {
        Rig r;
        r.cmd.mnuNewItemClick();

        QCOMPARE(r.prompt.fileDialogs.size(), 1);
        QCOMPARE(r.prompt.fileDialogs[0].filter, ShortcutCommands::FileFilter);
        QVERIFY(!r.prompt.fileDialogs[0].picturePreview);
        QCOMPARE(r.desk().items.size(), std::size_t(1));
        ShortcutItem &item = *r.desk().items[0];
        QCOMPARE(QPoint(item.Item_Left, item.Item_Top), QPoint(130, 70));
        QVERIFY(item.AttachedFile.isEmpty());
        QVERIFY(item.Label_Caption.isEmpty());
        QVERIFY(item.Picture.isEmpty());
        QCOMPARE(r.ws.work.CurrentElement.item, &item);
        QVERIFY(!item.Selected);
        QCOMPARE(r.selection.count(), 0);
        QCOMPARE(r.view.log, L({"added", "changed ", "modified", "refresh"}));
    }

    void newShortcutKeepsTheCaseOfTheChosenFile()
    {
        QTemporaryDir tmp;
        const QString exe = makeFile(tmp.filePath(QStringLiteral("Tools/Editor.EXE")));
        Rig r;
        r.prompt.fileAnswers << exe;
        r.cmd.mnuNewItemClick();

        QCOMPARE(r.desk().items.size(), std::size_t(1));
        const ShortcutItem &item = *r.desk().items[0];
        QCOMPARE(item.Label_Caption, QStringLiteral("Editor.EXE"));
        QCOMPARE(item.AttachedFile, exe);
        QVERIFY(item.Picture.isEmpty());
        QCOMPARE(r.view.log, L({"added", "changed Editor.EXE", "modified", "refresh"}));
    }

    void newUrl()
    {
        {
            Rig r;
            r.cmd.mnuNewUrlClick();
            QCOMPARE(r.prompt.urlPresets.size(), 1);
            QCOMPARE(r.prompt.urlPresets[0].caption, QStringLiteral("New Url Shortcut"));
            QCOMPARE(r.prompt.urlPresets[0].link, ShortcutCommands::DefaultUrlLink);
            QVERIFY(r.desk().items.empty());
            QCOMPARE(r.view.log, L({"refresh"}));
        }
        {
            Rig r;
            // Neither text is checked or tidied.
            r.prompt.urlAnswers << UrlShortcutFields{QStringLiteral(" Docs "), QStringLiteral("HTTPS://Example.org/A/b")};
            r.cmd.mnuNewUrlClick();
            QCOMPARE(r.desk().items.size(), std::size_t(1));
            const ShortcutItem &item = *r.desk().items[0];
            QCOMPARE(item.Label_Caption, QStringLiteral(" Docs "));
            QCOMPARE(item.AttachedFile, QStringLiteral("HTTPS://Example.org/A/b"));
            QCOMPARE(QPoint(item.Item_Left, item.Item_Top), QPoint(130, 70));
            QCOMPARE(r.ws.work.CurrentElement.item, &item);
            QCOMPARE(r.view.log, L({"added", "changed  Docs ", "modified", "refresh"}));
            QVERIFY(!r.ws.work.ErrorsOccurred);
        }
        {
            // No desktop to put it on: reported, and the refresh still runs.
            Rig r(false);
            r.prompt.urlAnswers << UrlShortcutFields{QStringLiteral("x"), QStringLiteral("https://x")};
            r.cmd.mnuNewUrlClick();
            QCOMPARE(r.prompt.texts(), QStringList({QStringLiteral("https://"), QStringLiteral("Error in TFormMain.mnuNewUrlClick")}));
            QVERIFY(r.ws.work.ErrorsOccurred);
            QCOMPARE(r.view.log, L({"refresh"}));
        }
    }

    // ------------------------------------------------------------ deleting

    void deleteAsksWithTheSelectionSizeAndCancelKeepsAll()
    {
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("A"));
        ShortcutItem &b = r.add(QStringLiteral("B"));
        ShortcutItem &c = r.add(QStringLiteral("C"));
        r.selection.Focused(c, false);
        r.selection.Focused(a, true);
        r.selection.Focused(b, true);
        r.prompt.answer(ModalResult::Cancel);

        r.cmd.mnuItemDeleteClick();

        QCOMPARE(r.prompt.calls.size(), 1);
        QCOMPARE(r.prompt.calls[0].text, QStringLiteral("Are You sure,that want to delete 3 shortcuts?"));
        QCOMPARE(r.prompt.calls[0].type, MsgDlgType::Warning);
        QCOMPARE(r.prompt.calls[0].buttons, unsigned(mbOK | mbCancel));
        QCOMPARE(r.desk().items.size(), std::size_t(3));
        QCOMPARE(r.selection.count(), 3);
        QCOMPARE(r.view.log, L({"modified"}));
    }

    void deleteRemovesTheSelectionInOrder()
    {
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("A"));
        ShortcutItem &b = r.add(QStringLiteral("B"));
        ShortcutItem &c = r.add(QStringLiteral("C"));
        ShortcutItem &d = r.add(QStringLiteral("D"));
        r.selection.Focused(c, false);
        r.selection.Focused(a, true);
        r.selection.Focused(b, true);
        r.prompt.answer(ModalResult::OK);

        r.cmd.mnuItemDeleteClick();

        QCOMPARE(r.view.log, L({"removing C", "removing A", "removing B", "modified", "modified"}));
        QVERIFY(!r.view.removedTooEarly);
        QCOMPARE(r.desk().items.size(), std::size_t(1));
        QCOMPARE(r.desk().items[0].get(), &d);
        QCOMPARE(r.selection.count(), 0);
        QVERIFY(r.ws.work.CurrentElement.empty());
        QVERIFY(!r.ws.work.ErrorsOccurred);
    }

    void deleteWithNothingSelectedDeletesNothing()
    {
        // The current shortcut need not be selected; the question then says 0.
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("A"));
        r.makeCurrent(a);
        r.prompt.answer(ModalResult::OK);
        r.cmd.mnuItemDeleteClick();
        QCOMPARE(r.prompt.texts(), QStringList{QStringLiteral("Are You sure,that want to delete 0 shortcuts?")});
        QCOMPARE(r.desk().items.size(), std::size_t(1));
        QVERIFY(r.ws.work.CurrentElement.empty());
        QCOMPARE(r.view.log, L({"modified", "modified"}));
    }

    void deleteNeedsAShortcutAsCurrentElement()
    {
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("A"));
        r.selection.Focused(a, false);
        r.ws.CreateNewNote(); // now the current element
        r.prompt.answer(ModalResult::OK);
        r.cmd.mnuItemDeleteClick();
        QVERIFY(r.prompt.calls.isEmpty());
        QCOMPARE(r.desk().items.size(), std::size_t(1));
        QVERIFY(r.view.log.isEmpty());
    }

    void deleteFailingHalfwayKeepsWhatIsGone()
    {
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("A"));
        ShortcutItem &b = r.add(QStringLiteral("B"));
        ShortcutItem &c = r.add(QStringLiteral("C"));
        for (ShortcutItem *i : {&a, &b, &c})
            r.selection.Focused(*i, true);
        r.view.failRemovingAt = 1;
        r.prompt.answer(ModalResult::OK);

        QVERIFY(r.cmd.DeleteItem());

        QCOMPARE(r.prompt.texts().last(), QStringLiteral("Item Delete Error"));
        QVERIFY(r.ws.work.ErrorsOccurred);
        QCOMPARE(r.desk().items.size(), std::size_t(2));
        QCOMPARE(r.desk().indexOfItem(&a), -1);
        QCOMPARE(r.selection.count(), 0);
        QVERIFY(!b.Selected && !c.Selected);
        QVERIFY(r.ws.work.CurrentElement.empty());
        QCOMPARE(r.view.log, L({"removing A", "modified"}));
    }

    // ------------------------------------------------------------ changing

    void rename()
    {
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("Old"));
        r.makeCurrent(a);

        r.cmd.mnuItemRenameClick(); // cancelled
        QCOMPARE(r.prompt.renamePresets, QStringList{QStringLiteral("Old")});
        QCOMPARE(a.Label_Caption, QStringLiteral("Old"));
        QVERIFY(r.view.log.isEmpty());

        r.prompt.renameAnswers << QStringLiteral("New name");
        r.cmd.mnuItemRenameClick();
        QCOMPARE(a.Label_Caption, QStringLiteral("New name"));
        QCOMPARE(r.view.log, L({"changed New name", "modified"}));

        r.view.log.clear();
        r.view.failChangedAt = r.view.changedCalls;
        r.prompt.renameAnswers << QStringLiteral("Third");
        r.cmd.mnuItemRenameClick();
        QCOMPARE(a.Label_Caption, QStringLiteral("New name"));
        QCOMPARE(r.prompt.texts().last(), QStringLiteral("Error of renaming of Shortcut"));
        QVERIFY(r.ws.work.ErrorsOccurred);
        QVERIFY(r.view.log.isEmpty());
    }

    void commandsOnCurrentElementNeedAShortcut()
    {
        Rig r;
        r.add(QStringLiteral("A"));
        r.ws.CreateNewNote();
        r.prompt.renameAnswers << QStringLiteral("x");
        r.prompt.fileAnswers << QStringLiteral("/x") << QStringLiteral("/y");
        r.cmd.mnuItemRenameClick();
        r.cmd.mnuAttachedFileClick();
        r.cmd.mnuItemPictureClick();
        r.cmd.mnuItemAttributesClick();
        QVERIFY(r.prompt.calls.isEmpty());
        QVERIFY(r.view.log.isEmpty());
    }

    void attachedFileChooser()
    {
        QTemporaryDir tmp;
        const QString old = makeFile(tmp.filePath(QStringLiteral("Old Place/old.txt")));
        const QString chosen = makeFile(tmp.filePath(QStringLiteral("New/Editor.EXE")));
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("old"));
        a.AttachedFile = old;
        a.Picture = ShortcutItem::NoPicture;
        r.makeCurrent(a);

        r.cmd.mnuAttachedFileClick(); // cancelled
        QCOMPARE(r.prompt.fileDialogs[0].filter, ShortcutCommands::FileFilter);
        QCOMPARE(r.prompt.fileDialogs[0].startFolder, tmp.filePath(QStringLiteral("Old Place")));
        QCOMPARE(a.AttachedFile, old);
        QCOMPARE(a.Picture, ShortcutItem::NoPicture);
        QCOMPARE(r.view.log, L({"modified", "refresh"}));

        r.view.log.clear();
        r.prompt.fileAnswers << chosen;
        r.cmd.mnuAttachedFileClick();
        QCOMPARE(a.AttachedFile, chosen);
        QVERIFY(a.Picture.isEmpty());
        QCOMPARE(a.Label_Caption, QStringLiteral("Editor.EXE"));
        QCOMPARE(r.view.log, L({"changed Editor.EXE", "modified", "refresh"}));
    }

    void attachedUrlFileBecomesItsAddress()
    {
        QTemporaryDir tmp;
        const QString url = makeFile(tmp.filePath(QStringLiteral("Site.URL")),
                                     "[InternetShortcut]\r\nURL=https://example.org/x\r\n");
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("a"));
        a.AttachedFile = QStringLiteral("https://example.org/old");
        r.makeCurrent(a);
        r.prompt.fileAnswers << url;
        r.cmd.mnuAttachedFileClick();
        // A web address has no folder to start in.
        QCOMPARE(r.prompt.fileDialogs[0].startFolder, QString());
        QCOMPARE(a.AttachedFile, QStringLiteral("https://example.org/x"));
        QCOMPARE(a.Label_Caption, QStringLiteral("Site.URL"));
    }

    void startFolders()
    {
        QCOMPARE(ShortcutCommands::startFolderOf(QString()), QString());
        QCOMPARE(ShortcutCommands::startFolderOf(QStringLiteral("NONE")), QString());
        QCOMPARE(ShortcutCommands::startFolderOf(QStringLiteral("mailto:someone@example.org")), QString());
        QCOMPARE(ShortcutCommands::startFolderOf(QStringLiteral("/Data/Pics/A b.PNG")), QStringLiteral("/Data/Pics"));
        // The folder counts even when the file is gone.
        QCOMPARE(ShortcutCommands::startFolderOf(QStringLiteral("/gone/away/x")), QStringLiteral("/gone/away"));
    }

    void pictureChooser()
    {
        QTemporaryDir tmp;
        const QString png = makePng(tmp.filePath(QStringLiteral("Pics/Star.png")));
        const QString bad = makeFile(tmp.filePath(QStringLiteral("Pics/broken.png")), "this is no picture");
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("a"));
        a.Picture = ShortcutItem::NoPicture;
        r.makeCurrent(a);

        r.cmd.mnuItemPictureClick(); // cancelled
        const QString filter = r.prompt.fileDialogs[0].filter;
        QVERIFY(filter.startsWith(ShortcutCommands::PictureFilter + QLatin1Char('|')));
        QVERIFY(filter.endsWith(QLatin1Char('|') + ShortcutCommands::DesktopIconsFilter));
        QCOMPARE(filter.split(QLatin1Char('|')).size(), 12);
        QVERIFY(r.prompt.fileDialogs[0].picturePreview);
        QCOMPARE(a.Picture, ShortcutItem::NoPicture);
        QCOMPARE(r.view.log, L({"modified", "refresh"}));

        r.view.log.clear();
        r.prompt.fileAnswers << png;
        r.cmd.mnuItemPictureClick();
        QCOMPARE(a.Picture, png);
        QCOMPARE(r.view.log, L({"changed a", "modified", "refresh"}));
        QVERIFY(r.prompt.texts().filter(QStringLiteral("Error")).isEmpty());

        r.view.log.clear();
        r.prompt.fileAnswers << bad;
        r.cmd.mnuItemPictureClick();
        QVERIFY(a.Picture.isEmpty());
        QCOMPARE(r.prompt.texts().last(), QStringLiteral("Error in TFormMain.mnuItemPictureClick"));
        QVERIFY(r.ws.work.ErrorsOccurred);
        QCOMPARE(r.view.log, L({"changed a", "modified", "refresh"}));
    }

    void attributesPresetAndCancel()
    {
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("Cap"));
        a.AttachedFile = QStringLiteral("/usr/bin/Tool");
        a.CommandString = QStringLiteral("--x");
        a.Picture = ShortcutItem::NoPicture;
        r.makeCurrent(a);
        r.cmd.mnuItemAttributesClick();
        QCOMPARE(r.prompt.attributesPresets.size(), 1);
        const ShortcutAttributes &p = r.prompt.attributesPresets[0];
        QCOMPARE(p.caption, QStringLiteral("Cap"));
        QCOMPARE(p.attachedFile, QStringLiteral("/usr/bin/Tool"));
        QCOMPARE(p.commandString, QStringLiteral("--x"));
        QCOMPARE(p.picture, QStringLiteral("NONE"));
        QCOMPARE(a.Label_Caption, QStringLiteral("Cap"));
        QCOMPARE(a.Picture, QStringLiteral("NONE"));
        QCOMPARE(r.prompt.calls.size(), 1);
        QCOMPARE(r.view.log, L({"refresh"}));
    }

    void attributesOk_data()
    {
        QTest::addColumn<QString>("picture");     // as the dialog returns it; "<png>"/"<missing>" stand for files
        QTest::addColumn<QString>("expected");    // the Picture afterwards
        QTest::addColumn<bool>("loadError");
        QTest::newRow("no picture") << "NONE" << "NONE" << false;
        QTest::newRow("automatic") << "" << "" << false;
        QTest::newRow("picture file") << "<png>" << "<png>" << false;
        QTest::newRow("missing file") << "<missing>" << "" << true;
    }

    void attributesOk()
    {
        QFETCH(QString, picture);
        QFETCH(QString, expected);
        QFETCH(bool, loadError);
        QTemporaryDir tmp;
        const QString png = makePng(tmp.filePath(QStringLiteral("p.png")));
        const QString missing = tmp.filePath(QStringLiteral("Gone.bmp"));
        const auto subst = [&](QString s) {
            return s.replace(QStringLiteral("<png>"), png).replace(QStringLiteral("<missing>"), missing);
        };
        const QString target = makeFile(tmp.filePath(QStringLiteral("Bin/Run Me")));

        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("Cap"));
        a.Picture = png;
        r.makeCurrent(a);
        // An empty caption is fine here, unlike in the rename dialog.
        r.prompt.attributesAnswers << ShortcutAttributes{QString(), target, QStringLiteral("\"/a b\" -v"), subst(picture)};
        r.cmd.mnuItemAttributesClick();

        QCOMPARE(a.Label_Caption, QString());
        QCOMPARE(a.AttachedFile, target);
        QCOMPARE(a.CommandString, QStringLiteral("\"/a b\" -v"));
        QCOMPARE(a.Picture, subst(expected));
        QCOMPARE(r.ws.work.ErrorsOccurred, loadError);
        if (loadError)
            QCOMPARE(r.prompt.texts().last(),
                     QStringLiteral("Error in TFormMain.mnuItemAttributesClick-Picture.LoadFromFile: ") + missing);
        else
            QCOMPARE(r.prompt.calls.size(), 1);
        QCOMPARE(r.view.log, L({"changed ", "modified", "refresh"}));
    }

    void attributesTypedCommandStringWinsOverLinkArguments()
    {
        QTemporaryDir tmp;
        const QString link = makeFile(tmp.filePath(QStringLiteral("App.lnk")));
        const QString target = makeFile(tmp.filePath(QStringLiteral("App")));
        Rig r;
        r.platform.links.insert(link, LinkTarget{target, QStringLiteral("--from-link")});
        ShortcutItem &a = r.add(QStringLiteral("a"));
        r.makeCurrent(a);
        r.prompt.attributesAnswers << ShortcutAttributes{QStringLiteral("App"), link, QStringLiteral("--typed"), QString()};
        r.cmd.mnuItemAttributesClick();
        QCOMPARE(a.AttachedFile, target);
        QCOMPARE(a.CommandString, QStringLiteral("--typed"));
    }

    void attributesFailingHalfwayKeepsWhatWasSet()
    {
        QTemporaryDir tmp;
        const QString link = makeFile(tmp.filePath(QStringLiteral("App.lnk")));
        Rig<BrokenLinkPlatform> r;
        ShortcutItem &a = r.add(QStringLiteral("Before"));
        a.CommandString = QStringLiteral("--old");
        r.makeCurrent(a);
        r.prompt.attributesAnswers << ShortcutAttributes{QStringLiteral("After"), link, QStringLiteral("--new"), QString()};
        r.cmd.mnuItemAttributesClick();
        QCOMPARE(a.Label_Caption, QStringLiteral("After"));
        QCOMPARE(a.CommandString, QStringLiteral("--old"));
        QCOMPARE(r.prompt.texts().last(), QStringLiteral("Error in TFormMain.mnuItemAttributesClick"));
        QVERIFY(r.ws.work.ErrorsOccurred);
        QCOMPARE(r.view.log, L({"changed After", "refresh"}));
    }

    // ------------------------------------------------------------ opening, caption look

    void doubleClickOnCaptionStartsThatShortcut()
    {
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("A"));
        ShortcutItem &b = r.add(QStringLiteral("B"));
        r.makeCurrent(a);
        r.cmd.OnLabelDblClick(b);
        QCOMPARE(r.ws.work.CurrentElement.item, &b);
        QCOMPARE(r.view.log, L({"execute B"}));
    }

    void refreshShortcutFont()
    {
        Rig r;
        ShortcutItem &a = r.add(QStringLiteral("A"));
        r.add(QStringLiteral("B"));
        r.add(QStringLiteral("C"));
        r.selection.Focused(a, false);
        r.cmd.RefreshShortcutFont();
        QCOMPARE(r.view.log, L({"changed A", "changed B", "changed C"}));
        // Selected shortcuts keep their selection and their look.
        QVERIFY(a.Selected);
        QCOMPARE(r.selection.count(), 1);

        r.view.log.clear();
        r.view.failChangedAt = r.view.changedCalls + 1;
        r.cmd.RefreshShortcutFont();
        QCOMPARE(r.view.log, L({"changed A"}));
        QCOMPARE(r.prompt.texts(), QStringList{QStringLiteral("Error in TFormMain.RefreshShortcutFont")});
        QVERIFY(r.ws.work.ErrorsOccurred);
    }

    // ------------------------------------------------------------ the dialogs

    void dialogTexts()
    {
        FakePrompt prompt;
        TfrmAttributes attributes(prompt, nullptr);
        QCOMPARE(attributes.windowTitle(), QStringLiteral("Shortcut Attributes"));
        const std::pair<const char *, const char *> labels[] = {
            {"lblItemCaption", "Shortcut Caption"}, {"lblAttachedFile", "Attached File"},
            {"Label1", "Command String"},           {"lblPicture", "Shortcut Picture"}};
        for (const auto &[name, text] : labels) {
            auto *label = attributes.findChild<QLabel *>(QLatin1String(name));
            QVERIFY2(label, name);
            QCOMPARE(label->text(), QString::fromUtf8(text));
            QVERIFY(label->font().bold());
        }
        QCOMPARE(attributes.btnClearPicture->text(), QStringLiteral("Clear current Picture"));
        QCOMPARE(attributes.btnClearPicture->toolTip(), QStringLiteral("Clear current Picture"));
        QCOMPARE(attributes.btnDefaultPicture->text(), QStringLiteral("Picture by Default"));
        QCOMPARE(attributes.btnDefaultPicture->toolTip(), QStringLiteral("Picture by Default"));
        QCOMPARE(attributes.btnOk->text(), QStringLiteral("Ok"));
        QVERIFY(attributes.btnOk->isDefault());
        QCOMPARE(attributes.btnCancel->text(), QStringLiteral("Cancel"));
        QVERIFY(!attributes.editPicture->isEnabled());

        TfrmUrlShortcut url(nullptr);
        QCOMPARE(url.windowTitle(), QStringLiteral("Url Shortcut"));
        QCOMPARE(url.lblUrlCaption->text(), QStringLiteral("Url Caption"));
        QCOMPARE(url.lblUrlLink->text(), QStringLiteral("Url Link"));
        QVERIFY(url.lblUrlLink->font().bold());
        QVERIFY(url.btnOk->isDefault());
        QCOMPARE(url.btnCancel->text(), QStringLiteral("Cancel"));
    }

    void attributesDialogChoosers()
    {
        FakePrompt prompt;
        TfrmAttributes dialog(prompt, nullptr);
        dialog.setFields({QStringLiteral("Cap"), QStringLiteral("/opt/Some App/bin/app"), QString(),
                          QStringLiteral("/home/u/Pics/old.png")});

        prompt.fileAnswers << QStringLiteral("/tmp/My Tools/run me.sh");
        dialog.btnCommandString->click();
        QCOMPARE(dialog.editCommandString->text(), QStringLiteral("\"/tmp/My Tools/run me.sh\""));
        QCOMPARE(prompt.fileDialogs.last().filter, ShortcutCommands::FileFilter);
        QCOMPARE(prompt.fileDialogs.last().startFolder, QStringLiteral("/opt/Some App/bin"));
        dialog.btnCommandString->click(); // cancelled: kept
        QCOMPARE(dialog.editCommandString->text(), QStringLiteral("\"/tmp/My Tools/run me.sh\""));

        prompt.fileAnswers << QStringLiteral("/srv/Tools/Editor.EXE");
        dialog.btnOpenFile->click();
        QCOMPARE(prompt.fileDialogs.last().filter, ShortcutCommands::FileFilter);
        QCOMPARE(prompt.fileDialogs.last().startFolder, QStringLiteral("/opt/Some App/bin"));
        QCOMPARE(dialog.editAttachedFile->text(), QStringLiteral("/srv/Tools/Editor.EXE"));
        QCOMPARE(dialog.editItemCaption->text(), QStringLiteral("Editor.EXE"));

        prompt.fileAnswers << QStringLiteral("/srv/Icons/new.ico");
        dialog.btnOpenPicture->click();
        const auto &pic = prompt.fileDialogs.last();
        QVERIFY(pic.filter.startsWith(ShortcutCommands::AttributesPictureFilter + QLatin1Char('|')));
        QVERIFY(pic.filter.endsWith(QLatin1Char('|') + ShortcutCommands::DesktopIconsFilter));
        QCOMPARE(pic.filter.split(QLatin1Char('|')).size(), 8);
        QCOMPARE(pic.startFolder, QStringLiteral("/home/u/Pics"));
        QVERIFY(pic.picturePreview);
        QCOMPARE(dialog.editPicture->text(), QStringLiteral("/srv/Icons/new.ico"));

        dialog.btnClearPicture->click();
        QCOMPARE(dialog.editPicture->text(), QStringLiteral("NONE"));
        dialog.btnDefaultPicture->click();
        QCOMPARE(dialog.editPicture->text(), QString());
        QVERIFY(prompt.texts().filter(QStringLiteral("Error")).isEmpty());

        const ShortcutAttributes out = dialog.fields();
        QCOMPARE(out.caption, QStringLiteral("Editor.EXE"));
        QCOMPARE(out.attachedFile, QStringLiteral("/srv/Tools/Editor.EXE"));
        QCOMPARE(out.commandString, QStringLiteral("\"/tmp/My Tools/run me.sh\""));
        QCOMPARE(out.picture, QString());
    }

    void attributesDialogPictureChooserFailing()
    {
        BrokenChooserPrompt prompt;
        TfrmAttributes dialog(prompt, nullptr);
        dialog.setFields({QStringLiteral("c"), QString(), QString(), QStringLiteral("/p/x.png")});
        dialog.btnOpenPicture->click();
        QCOMPARE(prompt.texts(), QStringList{QStringLiteral("Error in TfrmAttributes.btnOpenPictureClick")});
        QCOMPARE(dialog.editPicture->text(), QString());
    }

    void attributesDialogAcceptsEmptyCaption()
    {
        FakePrompt prompt;
        TfrmAttributes dialog(prompt, nullptr);
        dialog.setFields({QString(), QString(), QString(), QString()});
        dialog.btnOk->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(prompt.calls.isEmpty());
    }

    void widgetPromptRunsTheDialogs()
    {
        WidgetPrompt prompt;
        TfrmUrlShortcut *first = nullptr;
        whenOpen<TfrmUrlShortcut>([&](TfrmUrlShortcut *d) {
            first = d;
            QCOMPARE(d->editUrlCaption->text(), QStringLiteral("New Url Shortcut"));
            QCOMPARE(d->editUrlLink->text(), QStringLiteral("https://"));
            d->editUrlLink->setText(QStringLiteral("https://example.org/"));
            d->btnOk->click();
        });
        const auto fields = prompt.UrlShortcutDialog({QStringLiteral("New Url Shortcut"), QStringLiteral("https://")});
        QVERIFY(fields);
        QCOMPARE(fields->caption, QStringLiteral("New Url Shortcut"));
        QCOMPARE(fields->link, QStringLiteral("https://example.org/"));

        // The same dialog again, preset afresh; Cancel gives nothing.
        TfrmUrlShortcut *second = nullptr;
        whenOpen<TfrmUrlShortcut>([&](TfrmUrlShortcut *d) {
            second = d;
            QCOMPARE(d->editUrlLink->text(), QStringLiteral("ftp://x"));
            d->btnCancel->click();
        });
        QVERIFY(!prompt.UrlShortcutDialog({QStringLiteral("c"), QStringLiteral("ftp://x")}));
        QVERIFY(first);
        QCOMPARE(second, first);

        whenOpen<TfrmAttributes>([](TfrmAttributes *d) {
            QCOMPARE(d->editAttachedFile->text(), QStringLiteral("/a"));
            d->editItemCaption->clear();
            d->btnClearPicture->click();
            d->btnOk->click();
        });
        const auto attrs = prompt.AttributesDialog({QStringLiteral("c"), QStringLiteral("/a"), QStringLiteral("-x"),
                                                    QString()});
        QVERIFY(attrs);
        QCOMPARE(attrs->caption, QString());
        QCOMPARE(attrs->attachedFile, QStringLiteral("/a"));
        QCOMPARE(attrs->commandString, QStringLiteral("-x"));
        QCOMPARE(attrs->picture, QStringLiteral("NONE"));
    }
};

QTEST_MAIN(ShortcutCommandsTest)
#include "tst_shortcutcommands.moc"
