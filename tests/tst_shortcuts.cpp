// Shortcut files, launching compositions, the painted shortcut items and
// the hand-off pickup.
#include "common/HandOff.h"
#include "shortcuts/DesktopScene.h"
#include "shortcuts/Launching.h"
#include "shortcuts/ShortcutFiles.h"
#include "shortcuts/ShortcutPictures.h"
#include "shortcuts/TImageLabel.h"
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/Fifo.h"
#include "support/TempDir.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMain.h"
#include "surface/StatusBarMain.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScopeGuard>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;

Q_DECLARE_METATYPE(vl::LaunchRequest::Kind)

class ShortcutsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString file(const QString &name, const QByteArray &content = "x")
    {
        const QString path = dir_.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        vl::test::writeAll(path, content);
        return path;
    }

private slots:
    void isUrlPrefixes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("url");
        QTest::newRow("http") << "http://example.org" << true;
        QTest::newRow("HTTPS upper") << "HTTPS://EXAMPLE.ORG/A" << true;
        QTest::newRow("mailto mixed") << "MailTo:someone@example.org" << true;
        QTest::newRow("NEWS") << "NEWS:comp.lang" << true;
        QTest::newRow("file") << "file:///etc/hosts" << true;
        QTest::newRow("wais") << "wais:x" << true;
        QTest::newRow("host only") << "www.example.org" << false;
        QTest::newRow("ftp without slashes") << "ftp:example.org" << false;
        QTest::newRow("path") << "/usr/bin/env" << false;
    }
    void isUrlPrefixes()
    {
        QFETCH(QString, text);
        QFETCH(bool, url);
        QCOMPARE(IsUrl(text), url);
    }

    void folderPartOfPathsAndAddresses_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::newRow("file") << "/home/u/doc.txt" << "/home/u";
        QTest::newRow("root file") << "/vmlinuz" << "/";
        QTest::newRow("double slash") << "/srv//x" << "/srv//";
        QTest::newRow("address") << "http://example.org/a/b" << "http:";
        QTest::newRow("mailto") << "mailto:a@b" << "mailto:";
        QTest::newRow("bare name") << "doc.txt" << "";
    }
    void folderPartOfPathsAndAddresses()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QCOMPARE(folderPart(path), folder);
    }

    void urlFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("address");
        QTest::newRow("plain") << QByteArray("[InternetShortcut]\r\nURL=https://example.org/A?b=1\r\n")
                               << "https://example.org/A?b=1";
        QTest::newRow("lower-case key") << QByteArray("url=http://x.org\n") << "http://x.org";
        QTest::newRow("other section") << QByteArray("[Other]\r\nURL=ftp://f.org/\r\n") << "ftp://f.org/";
        QTest::newRow("first wins") << QByteArray("URL=a\r\nURL=b\r\n") << "a";
        QTest::newRow("no URL line") << QByteArray("[InternetShortcut]\r\nIconIndex=0\r\n") << "";
        QTest::newRow("blank before =") << QByteArray("URL =x\r\n") << "";

        const QString unicodeFile = QStringLiteral("[InternetShortcut]\r\nURL=https://example.org/Grüße/€\r\n");
        for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
            QTest::newRow(encoding == QStringConverter::Utf16LE ? "UTF-16LE" : "UTF-16BE")
                << QByteArray(QStringEncoder(encoding, QStringEncoder::Flag::WriteBom)(unicodeFile))
                << "https://example.org/Grüße/€";
        }
        QTest::newRow("Windows-1252") << QByteArray("[InternetShortcut]\r\nURL=http://x.org/caf\xE9\x80\r\n")
                                      << "http://x.org/café€";
    }
    void urlFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, address);
        QCOMPARE(ReadUrlFile(file(QStringLiteral("a.url"), content)), address);
    }

    // What cannot be read as an Internet shortcut leaves the path as it is: a FIFO (refused at
    // once, not waited on), a folder, a file far larger than any shortcut.
    void urlFilesThatCannotBeRead()
    {
        vl::test::BlockingFifo fifo(dir_.filePath(QStringLiteral("pipe.url")));
        QVERIFY(fifo.made());
        QCOMPARE(ReadUrlFile(fifo.path()), fifo.path());
        QVERIFY2(!fifo.released(), "the reader waited for a writer");

        const QString folder = dir_.filePath(QStringLiteral("folder.url"));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(ReadUrlFile(folder), folder);
        const QString huge = file(QStringLiteral("huge.url"), "URL=http://x.org/\r\n" + QByteArray(2 << 20, ' '));
        QCOMPARE(ReadUrlFile(huge), huge);
    }

    void attachKeepsCaseAndResolvesShortcutFiles()
    {
        FakePlatform platform;
        ShortcutItem item;
        const QString doc = file(QStringLiteral("Docs/Report Final.ODT"));
        AttachFile(item, doc, platform);
        QCOMPARE(item.AttachedFile, doc);

        AttachFile(item, QStringLiteral("HTTPS://Example.org/CaseMatters"), platform);
        QCOMPARE(item.AttachedFile, QStringLiteral("HTTPS://Example.org/CaseMatters"));

        const QString url = file(QStringLiteral("Site.URL"), "[InternetShortcut]\r\nURL=https://example.org/P\r\n");
        AttachFile(item, url, platform);
        QCOMPARE(item.AttachedFile, QStringLiteral("https://example.org/P"));

        const QString noUrl = file(QStringLiteral("empty.url"), "[InternetShortcut]\r\n");
        AttachFile(item, noUrl, platform);
        QVERIFY(item.AttachedFile.isEmpty());

        // A link whose target exists is replaced by it, with its arguments.
        const QString target = file(QStringLiteral("bin/Tool"));
        const QString lnk = file(QStringLiteral("Tool.LNK"), "not parsed by the fake");
        platform.links.insert(lnk, {target, QStringLiteral("--fast \"a b\"")});
        item.CommandString = QStringLiteral("old");
        AttachFile(item, lnk, platform);
        QCOMPARE(item.AttachedFile, target);
        QCOMPARE(item.CommandString, QStringLiteral("--fast \"a b\""));

        // A link to something that is not here stays itself.
        const QString broken = file(QStringLiteral("gone.lnk"));
        platform.links.insert(broken, {QStringLiteral("/nowhere/x.exe"), QStringLiteral("-y")});
        item.CommandString = QStringLiteral("kept");
        AttachFile(item, broken, platform);
        QCOMPARE(item.AttachedFile, broken);
        QCOMPARE(item.CommandString, QStringLiteral("kept"));

        // Not a link at all: unchanged.
        const QString junk = file(QStringLiteral("junk.lnk"));
        AttachFile(item, junk, platform);
        QCOMPARE(item.AttachedFile, junk);
    }

    void browserCommandSplitting()
    {
        BrowserCommand b = SplitBrowserCommand(QStringLiteral("firefox-esr %u"));
        QCOMPARE(b.program, QStringLiteral("firefox-esr"));
        QVERIFY(b.arguments.isEmpty());
        QCOMPARE(b.newWindowSwitch, QStringLiteral("--new-window"));

        b = SplitBrowserCommand(QStringLiteral("\"/opt/My Browser/browse\" --private %U"));
        QCOMPARE(b.program, QStringLiteral("/opt/My Browser/browse"));
        QCOMPARE(b.arguments, QStringList({"--private"}));
        QVERIFY(b.newWindowSwitch.isEmpty());

        QVERIFY(SplitBrowserCommand(QString()).program.isEmpty());
    }

    void launchCompositions()
    {
        FakePlatform platform;
        FakePrompt prompt;
        GlobalSettings g;
        g.Wave_File = QStringLiteral("/sounds/click.wav");
        Launching l(platform, prompt, g);

        // An executable: started directly, arguments split by quoting rules,
        // in its own folder.
        ShortcutItem prog;
        prog.AttachedFile = file(QStringLiteral("tools/run me"));
        prog.CommandString = QStringLiteral("-v \"two words\" 'single q' $HOME");
        platform.executables.insert(prog.AttachedFile);
        QVERIFY(l.Execute(prog));
        LaunchRequest r = platform.launches.takeLast();
        QCOMPARE(r.kind, LaunchRequest::Kind::Program);
        QCOMPARE(r.target, prog.AttachedFile);
        QCOMPARE(r.arguments, QStringList({"-v", "two words", "'single", "q'", "$HOME"}));
        QCOMPARE(r.workingFolder, dir_.filePath(QStringLiteral("tools")));

        // A document goes to its default application, its words following it.
        ShortcutItem doc;
        doc.AttachedFile = file(QStringLiteral("notes.txt"));
        doc.CommandString = QStringLiteral("--line 3");
        QVERIFY(l.Execute(doc));
        r = platform.launches.takeLast();
        QCOMPARE(r.kind, LaunchRequest::Kind::Document);
        QCOMPARE(r.arguments, QStringList({"--line", "3"}));

        // A launcher runs as one.
        ShortcutItem entry;
        entry.AttachedFile = file(QStringLiteral("app.Desktop"), "[Desktop Entry]\n");
        platform.trustedLaunchers.insert(entry.AttachedFile);
        l.Execute(entry);
        QCOMPARE(platform.launches.takeLast().kind, LaunchRequest::Kind::DesktopEntry);

        // A folder opens in the file manager.
        ShortcutItem folder;
        folder.AttachedFile = dir_.path();
        l.Execute(folder);
        r = platform.launches.takeLast();
        QCOMPARE(r.kind, LaunchRequest::Kind::Folder);
        QCOMPARE(r.target, dir_.path());

        // An address goes to its handler with the command string.
        ShortcutItem web;
        web.AttachedFile = QStringLiteral("https://example.org/x");
        web.CommandString = QStringLiteral("--private \"a b\"");
        l.Execute(web);
        r = platform.launches.takeLast();
        QCOMPARE(r.kind, LaunchRequest::Kind::Address);
        QCOMPARE(r.target, web.AttachedFile);
        QCOMPARE(r.arguments, QStringList({"--private", "a b"}));

        // In a new window: the browser itself, its arguments, its switch,
        // then the address.
        g.OpenIn_NewWindow = true;
        platform.browserCommand = QStringLiteral("/usr/bin/chromium --incognito %U");
        l.Execute(web);
        r = platform.launches.takeLast();
        QCOMPARE(r.kind, LaunchRequest::Kind::Program);
        QCOMPARE(r.target, QStringLiteral("/usr/bin/chromium"));
        QCOMPARE(r.arguments, QStringList({"--incognito", "--new-window", "https://example.org/x"}));
        platform.browserCommand.clear();
        QVERIFY(!l.Execute(web));

        // A missing file starts nothing, but the sound still plays.
        platform.sounds.clear();
        ShortcutItem gone;
        gone.AttachedFile = dir_.filePath(QStringLiteral("deleted.txt"));
        QVERIFY(!l.Execute(gone));
        QVERIFY(platform.launches.isEmpty());
        QCOMPARE(platform.sounds, QStringList({g.Wave_File}));

        // One shortcut dropped on another: the target with the dragged file.
        // It is quoted into a command string that is split again, and every
        // name must come back as itself.
        ShortcutItem target;
        target.AttachedFile = QStringLiteral("/not/here/viewer");
        for (const QString name : {"/data/a picture.png", "/d/say \"hi\".txt", "/d/\"", "/d/a\"\"\"b",
                                   "/d/x\" \"y", "/d/two  blanks\t\"", "\"/d/start"}) {
            ShortcutItem dragged;
            dragged.AttachedFile = name;
            l.SourceToSender(target, dragged);
            r = platform.launches.takeLast();
            QCOMPARE(r.arguments, QStringList{name});
            QCOMPARE(r.workingFolder, QStringLiteral("/not/here"));
        }
        QVERIFY(prompt.calls.isEmpty());
    }

    void relativeNamesStartWhatWasTested()
    {
        FakePlatform platform;
        FakePrompt prompt;
        GlobalSettings g;
        Launching l(platform, prompt, g);
        const QString program = file(QStringLiteral("cwd/bin/tool"));
        file(QStringLiteral("cwd/tool"));
        platform.executables = {program, dir_.filePath(QStringLiteral("cwd/tool"))};
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.filePath(QStringLiteral("cwd"))));
        const auto back = qScopeGuard([&] { QDir::setCurrent(before); });

        // Neither below its own folder nor on the search path: the file
        // that was found.
        ShortcutItem item;
        item.AttachedFile = QStringLiteral("bin/tool");
        QVERIFY(l.Execute(item));
        LaunchRequest r = platform.launches.takeLast();
        QCOMPARE(r.target, program);
        QCOMPARE(r.workingFolder, QFileInfo(program).path());
        item.AttachedFile = QStringLiteral("tool");
        QVERIFY(l.Execute(item));
        QCOMPARE(platform.launches.takeLast().target, dir_.filePath(QStringLiteral("cwd/tool")));

        // A link's relative target is found from the link's folder, in the
        // link's Windows spelling too.
        const QString target = file(QStringLiteral("apps/Tool Box/run"));
        const QString lnk = file(QStringLiteral("apps/links/Tool.lnk"));
        platform.links.insert(lnk, {QStringLiteral("..\\Tool Box\\run"), QStringLiteral("-v")});
        AttachFile(item, lnk, platform);
        QCOMPARE(item.AttachedFile, target);
        QCOMPARE(item.CommandString, QStringLiteral("-v"));
        platform.links.insert(lnk, {QStringLiteral("../Tool Box/run"), QString()});
        AttachFile(item, lnk, platform);
        QCOMPARE(item.AttachedFile, target);
        // Relative to the current folder it would exist, but not from the link.
        platform.links.insert(lnk, {QStringLiteral("tool"), QString()});
        AttachFile(item, lnk, platform);
        QCOMPARE(item.AttachedFile, lnk);
    }

    // A launcher that merely arrived on the disk runs only when the user
    // agrees; installed or executable ones run at once.
    void untrustedLaunchersAsk()
    {
        FakePlatform platform;
        FakePrompt prompt;
        GlobalSettings g;
        Launching l(platform, prompt, g);
        ShortcutItem named;
        named.AttachedFile = file(QStringLiteral("Downloads/named.desktop"), "[Desktop Entry]\n");
        platform.launcherNames.insert(named.AttachedFile, QStringLiteral("Photo Viewer"));
        ShortcutItem unnamed;
        unnamed.AttachedFile = file(QStringLiteral("Downloads/unnamed.desktop"), "[Desktop Entry]\n");

        prompt.answer(ModalResult::No);
        QVERIFY(!l.Execute(named));
        QVERIFY(platform.launches.isEmpty());
        QCOMPARE(prompt.calls.size(), 1);
        QCOMPARE(prompt.calls[0].text, QStringLiteral("Run untrusted launcher \"Photo Viewer\"?"));
        QCOMPARE(prompt.calls[0].type, MsgDlgType::Warning);
        QCOMPARE(prompt.calls[0].buttons, unsigned(mbYes | mbNo));

        // Closing the question is no yes; a dropped file asks as well.
        ShortcutItem dragged;
        dragged.AttachedFile = QStringLiteral("/d/x.png");
        QVERIFY(!l.SourceToSender(unnamed, dragged));
        QCOMPARE(prompt.calls.last().text, QStringLiteral("Run untrusted launcher \"unnamed.desktop\"?"));
        QVERIFY(platform.launches.isEmpty());

        prompt.answer(ModalResult::Yes);
        QVERIFY(l.Execute(named));
        QCOMPARE(platform.launches.takeLast().kind, LaunchRequest::Kind::DesktopEntry);

        prompt.calls.clear();
        platform.trustedLaunchers.insert(unnamed.AttachedFile);
        QVERIFY(l.Execute(unnamed));
        QCOMPARE(platform.launches.size(), 1);
        QVERIFY(prompt.calls.isEmpty());
    }

    void labelGeometryAndHits()
    {
        ShortcutItem item;
        item.Item_Left = 100;
        item.Item_Top = 50;
        item.Label_Caption = QStringLiteral("Short");
        CaptionStyle style;
        style.font = QFont(QStringLiteral("Sans Serif"), 9);
        style.wrapWidth = 87;
        TImageLabel label(item);
        const QRect cap = label.captionRect(style);
        QCOMPARE(cap.left(), 100 + (32 - 87) / 2);
        QCOMPARE(cap.top(), 50 + 32 + 3);
        QCOMPARE(cap.width(), 87);
        QCOMPARE(label.frameRect(style), cap.adjusted(-1, -1, 1, 1));
        const int oneLine = cap.height();

        item.Label_Caption = QStringLiteral("A caption long enough to wrap onto several lines of text");
        QVERIFY(label.captionRect(style).height() >= 3 * oneLine);
        // One endless word still wraps inside the cell.
        item.Label_Caption = QString(60, QLatin1Char('W'));
        QVERIFY(label.captionRect(style).height() > oneLine);
        QCOMPARE(label.captionRect(style).width(), 87);

        QCOMPARE(label.hitTest({110, 60}, style), TImageLabel::Hit::Picture);
        QCOMPARE(label.hitTest({80, 90}, style), TImageLabel::Hit::Caption);
        QCOMPARE(label.hitTest({300, 300}, style), TImageLabel::Hit::None);
        label.ItemEnabled = false;
        QCOMPARE(label.hitTest({110, 60}, style), TImageLabel::Hit::None);
    }

    void sceneHitsTheTopmostAndPaintsOnlyWhatIsExposed()
    {
        Desktop d;
        ShortcutItem &below = d.addItem();
        ShortcutItem &above = d.addItem();
        below.Item_Left = above.Item_Left = 10;
        below.Item_Top = above.Item_Top = 10;
        for (int i = 0; i < 1000; ++i) {
            ShortcutItem &far = d.addItem();
            far.Item_Left = 10 + (i % 10) * 92;
            far.Item_Top = 2000 + (i / 10) * 82;
        }
        CaptionStyle style;
        style.font = QFont(QStringLiteral("Sans Serif"), 9);
        DesktopScene scene(d);
        QCOMPARE(scene.itemAt({20, 20}, style).item, &above);
        scene.label(above).ItemEnabled = false;
        QCOMPARE(scene.itemAt({20, 20}, style).item, &below);

        FakePlatform platform;
        ShortcutPictures pictures(platform);
        QImage image(400, 300, QImage::Format_RGB32);
        QPainter p(&image);
        scene.paint(p, image.rect(), style, pictures);
        // The shortcuts far below were never laid out.
        QCOMPARE(scene.labelCount(), std::size_t(2));
    }

    void captionLayoutFollowsTheLookOfEachDesktop()
    {
        GlobalSettings global;
        FakePlatform platform;
        ShortcutPictures pictures(platform);
        DesktopSurface surface(global, pictures);
        Desktop small, large;
        large.settings.ShortcutFont.Size = 20;
        ShortcutItem &a = small.addItem();
        ShortcutItem &b = large.addItem();
        a.Label_Caption = b.Label_Caption = QStringLiteral("Two words");

        surface.setDesktop(&small);
        const quint64 smallLook = surface.captionStyle().version;
        const int smallHeight = surface.scene()->itemRect(a, surface.captionStyle()).height();
        surface.setDesktop(&large);
        QVERIFY(surface.scene()->itemRect(b, surface.captionStyle()).height() > smallHeight);

        // Coming back to an unchanged desktop keeps its look, and with it
        // the captions already laid out.
        surface.setDesktop(&small);
        QCOMPARE(surface.captionStyle().version, smallLook);
        QCOMPARE(surface.scene()->itemRect(a, surface.captionStyle()).height(), smallHeight);

        // A font changed while the desktop was not shown is a new look.
        surface.setDesktop(&large);
        small.settings.ShortcutFont.Size = 20;
        surface.setDesktop(&small);
        QVERIFY(surface.captionStyle().version != smallLook);
        QVERIFY(surface.scene()->itemRect(a, surface.captionStyle()).height() > smallHeight);
    }

    void automaticPictures()
    {
        FakePlatform platform;
        ShortcutPictures pictures(platform);
        ShortcutItem item;
        item.Picture = QStringLiteral("NONE");
        QVERIFY(!pictures.pictureFor(item));
        // The marker is exact; in lower case it names a file (missing here).
        item.Picture = QStringLiteral("none");
        QVERIFY(!pictures.pictureFor(item));
        item.Picture.clear();

        item.AttachedFile = dir_.filePath(QStringLiteral("missing.bin"));
        const QPixmap *standard = pictures.pictureFor(item);
        QVERIFY(standard);
        item.AttachedFile = file(QStringLiteral("present.txt"));
        const QPixmap *own = pictures.pictureFor(item);
        QVERIFY(own && own != standard);

        // No default browser: a web shortcut shows no picture at all.
        item.AttachedFile = QStringLiteral("https://example.org/");
        QVERIFY(!pictures.pictureFor(item));
        platform.webPicture = FakePlatform::fixedFileIcon();
        pictures.clear();
        QVERIFY(pictures.pictureFor(item));
        // Lookups are cached by attached file.
        const int requests = platform.iconRequests.size();
        item.AttachedFile = dir_.filePath(QStringLiteral("present.txt"));
        pictures.pictureFor(item);
        pictures.pictureFor(item);
        QCOMPARE(platform.iconRequests.size(), requests + 1);
    }

    // High-resolution screens: a file's icon is drawn for the device pixels
    // of the painted square, once per icon and ratio; the pictures handed
    // out stay valid however many more icons are looked up afterwards.
    void picturesAtDevicePixelSize()
    {
        // Every file has an icon of its own, red at 32 px and blue at 64.
        struct IconPerFile : FakePlatform {
            QHash<QString, QIcon> icons;
            QIcon fileIcon(const QString &path) override
            {
                FakePlatform::fileIcon(path);
                QIcon &icon = icons[path];
                if (icon.isNull()) {
                    QPixmap small(32, 32), large(64, 64);
                    small.fill(Qt::red);
                    large.fill(Qt::blue);
                    icon.addPixmap(small);
                    icon.addPixmap(large);
                }
                return icon;
            }
        } platform;
        ShortcutPictures pictures(platform);
        const auto itemFor = [&](int i) {
            ShortcutItem item;
            item.AttachedFile = file(QStringLiteral("hidpi/%1.txt").arg(i));
            return item;
        };
        const ShortcutItem first = itemFor(0);
        const QPixmap *at1 = pictures.pictureFor(first, 1.0);
        const QPixmap *at2 = pictures.pictureFor(first, 2.0);
        const QPixmap *at15 = pictures.pictureFor(first, 1.5);
        QVERIFY(at1 && at2 && at15);
        QCOMPARE(at1->size(), QSize(32, 32));
        QCOMPARE(at1->toImage().pixelColor(16, 16), QColor(Qt::red));
        // At ratio 2 the 64 px picture itself, not the 32 px one scaled up.
        QCOMPARE(at2->size(), QSize(64, 64));
        QCOMPARE(at2->devicePixelRatio(), 2.0);
        QCOMPARE(at2->toImage().pixelColor(32, 32), QColor(Qt::blue));
        QCOMPARE(at15->size(), QSize(48, 48));
        QCOMPARE(at15->devicePixelRatio(), 1.5);
        // Painted at every ratio, each covers the same 32 logical pixels.
        for (const QPixmap *shown : {at1, at2, at15})
            QCOMPARE(shown->deviceIndependentSize(), QSizeF(32, 32));

        for (int i = 1; i <= 300; ++i) {
            pictures.pictureFor(itemFor(i), 1.0);
            pictures.pictureFor(itemFor(i), 2.0);
        }
        const int requests = int(platform.iconRequests.size());
        QCOMPARE(pictures.pictureFor(first, 1.0), at1);
        QCOMPARE(pictures.pictureFor(first, 2.0), at2);
        QCOMPARE(platform.iconRequests.size(), requests);
        QCOMPARE(at1->size(), QSize(32, 32));
        QCOMPARE(at1->toImage().pixelColor(5, 5), QColor(Qt::red));
        QCOMPARE(at2->toImage().pixelColor(60, 60), QColor(Qt::blue));

        // A picture forgotten is looked up again at every ratio.
        pictures.forget(first);
        pictures.pictureFor(first, 1.0);
        pictures.pictureFor(first, 2.0);
        QCOMPARE(platform.iconRequests.size(), requests + 2);
    }

    // The raised frame of a selected caption at scales 1, 1.5 and 2, also
    // where the painter is moved by one logical pixel (half a device pixel
    // at 1.5): each side is as wide as the others, and nothing of the page
    // shows between the frame and the caption's highlight.
    void selectedFrameInWholeDevicePixels_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("line");
        QTest::newRow("1") << 1.0 << 0 << 1;
        QTest::newRow("1.5") << 1.5 << 0 << 1;
        QTest::newRow("1.5 moved") << 1.5 << 1 << 1;
        QTest::newRow("2") << 2.0 << 0 << 2;
        QTest::newRow("2 moved") << 2.0 << 1 << 2;
    }
    void selectedFrameInWholeDevicePixels()
    {
        QFETCH(qreal, ratio);
        QFETCH(int, offset);
        QFETCH(int, line);
        const QColor page(0, 255, 0), highlight(0, 0, 255), light(255, 255, 255), dark(64, 64, 64);
        ShortcutItem item;
        item.Label_Caption = QStringLiteral("i");
        item.Item_Left = 61; // the caption reaches 28 px to either side
        item.Item_Top = 7;
        item.Selected = true;
        CaptionStyle style;
        style.font = QFont(QStringLiteral("DejaVu Sans"), 9);
        style.text = style.highlightText = highlight; // no text pixels of their own
        style.highlight = highlight;
        style.version = 1;
        TImageLabel label(item);

        QImage image((QSizeF(160, 120) * ratio).toSize(), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(page);
        {
            QPainter p(&image);
            p.translate(offset, offset);
            label.Paint(p, style, nullptr);
        }
        // Runs of one colour along a line through the middle of the caption.
        const auto runs = [&](bool across) {
            const QRect cap = label.captionRect(style).translated(offset, offset);
            const QPoint mid = (QPointF(cap.center()) * ratio).toPoint();
            QList<std::pair<QColor, int>> out;
            const int end = across ? image.width() : image.height();
            for (int t = 0; t < end; ++t) {
                const QColor c = across ? image.pixelColor(t, mid.y()) : image.pixelColor(mid.x(), t);
                if (out.isEmpty() || out.last().first != c)
                    out.append({c, 0});
                ++out.last().second;
            }
            return out;
        };
        for (const bool across : {true, false}) {
            const auto r = runs(across);
            QCOMPARE(r.size(), 5);
            QCOMPARE(r[0].first, page);
            QCOMPARE(r[1], std::pair(light, line));
            QCOMPARE(r[2].first, highlight);
            QCOMPARE(r[3], std::pair(dark, line));
            QCOMPARE(r[4].first, page);
        }
    }

    void handOffPickup()
    {
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        HandOff handOff(runtime.path());
        QVERIFY(handOff.isValid());
        FakePrompt prompt;
        FakePlatform platform;
        const QString settings = dir_.filePath(QStringLiteral("pickup.ini"));
        TFormMain w(prompt, platform, settings);
        w.FormCreate();
        w.setHandOff(&handOff);
        w.resize(600, 400);

        QDir(dir_.path()).mkpath(QStringLiteral("sub"));
        const QString doc = file(QStringLiteral("sub/../Handed File.txt"));
        QVERIFY(handOff.SaveTempOpenFile(QFile::encodeName(doc)));
        w.pickupHandOff();
        QVERIFY(!handOff.HandOffExists());
        Desktop &d = *w.workspace().activeDesktop();
        QCOMPARE(int(d.items.size()), 1);
        ShortcutItem &item = *d.items.front();
        QCOMPARE(item.AttachedFile, QDir::cleanPath(doc));
        QCOMPARE(item.Label_Caption, QStringLiteral("Handed File.txt"));
        QVERIFY(item.Selected);
        QCOMPARE(w.selection().count(), 1);
        QVERIFY(QRect(QPoint(0, 0), w.surface()->size()).contains(QPoint(item.Item_Left, item.Item_Top)));
        QCOMPARE(w.StatusBar()->saveState(), QStringLiteral("Modified"));

        // A path that leads nowhere is reported, not added; the entry goes.
        QVERIFY(handOff.SaveTempOpenFile(QFile::encodeName(dir_.filePath(QStringLiteral("no such file")))));
        w.pickupHandOff();
        QVERIFY(!handOff.HandOffExists());
        QCOMPARE(int(d.items.size()), 1);
        QCOMPARE(w.StatusBar()->saveState(), QStringLiteral("Paint Error"));
    }
};

QTEST_MAIN(ShortcutsTest)
#include "tst_shortcuts.moc"
