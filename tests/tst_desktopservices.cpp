#include "platform/DesktopIcons.h"
#include "platform/GioDesktop.h"
#include "platform/LinuxPlatform.h"
#include "support/Fifo.h"
#include "support/TempDir.h"

#include <QColor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QImage>
#include <QTextStream>
#include <QThread>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

using namespace vl;
using vl::test::readAll;
using vl::test::writeAll;

namespace {

// The desktop every test in this process runs on: a home of its own with
// a recording handler as the default application for text files, folders
// and https addresses. GIO reads the XDG folders and ALSA its configuration
// once, at their first use, so main() lays all of it out before anything
// else runs.
struct FakeDesktop {
    QString root;

    QString path(const QString &relative) const { return root + QLatin1Char('/') + relative; }
    QString home() const { return path(QStringLiteral("home")); }
    QString handler() const { return path(QStringLiteral("bin/handler.sh")); }
    // First on the search path; records its call as the handler does.
    QString terminal() const { return path(QStringLiteral("bin/x-terminal-emulator")); }
    QString systemApplications() const { return path(QStringLiteral("system-data/applications")); }
    QString calls() const { return path(QStringLiteral("calls")); }
    QString soundOutput() const { return path(QStringLiteral("sound.raw")); }
};
FakeDesktop desktop;

const char ProbeSwitch[] = "--probe-without-handlers";
const char StreamsSwitch[] = "--probe-streams";

bool writeFile(const QString &path, const QByteArray &data, bool executable = false)
{
    if (!QDir().mkpath(QFileInfo(path).path()) || !writeAll(path, data))
        return false;
    return !executable
           || QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                              | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
}

QByteArray desktopEntry(const QByteArray &keys)
{
    return "[Desktop Entry]\nType=Application\nName=Vorlane test entry\n" + keys;
}

bool layOutDesktop(const QString &root)
{
    desktop.root = QFileInfo(root).canonicalFilePath();
    const QString home = desktop.home();
    const QByteArray handler = QFile::encodeName(desktop.handler());
    const QByteArray calls = QFile::encodeName(desktop.calls());

    // One file per call, moved into place whole, so that a test never reads
    // a call half written.
    const QByteArray script = "#!/bin/sh\n"
                              "echo 'handler wrote to stdout'\n"
                              "echo 'handler wrote to stderr' >&2\n"
                              "tmp=\"" + calls + "/.call-$$\"\n"
                              "{ printf 'pwd=%s\\n' \"$(pwd -P)\"\n"
                              "  for a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done\n"
                              "} > \"$tmp\"\n"
                              "mv \"$tmp\" \"" + calls + "/call-$$\"\n";

    const QString applications = home + QStringLiteral("/.local/share/applications/");
    const bool written =
        QDir().mkpath(desktop.calls()) && writeFile(desktop.handler(), script, true)
        && writeFile(desktop.terminal(), script, true) && QDir().mkpath(desktop.systemApplications())
        && writeFile(applications + QStringLiteral("vorlane-test-handler.desktop"),
                     desktopEntry("Exec=" + handler + " %f\nMimeType=text/plain;inode/directory;\n"))
        && writeFile(applications + QStringLiteral("vorlane-test-browser.desktop"),
                     desktopEntry("Exec=" + handler + " --browser %u\nIcon=folder\nMimeType=x-scheme-handler/https;\n"))
        // Exec values that hand the file to a shell script, and to a
        // program that needs a terminal.
        && writeFile(applications + QStringLiteral("vorlane-test-shell.desktop"),
                     desktopEntry("Exec=sh -c \"" + handler + " --via-shell %f\"\nMimeType=text/csv;\n"))
        && writeFile(applications + QStringLiteral("vorlane-test-terminal.desktop"),
                     desktopEntry("Exec=" + handler + " --in-terminal %f\nTerminal=true\nMimeType=text/markdown;\n"))
        && writeFile(home + QStringLiteral("/.config/mimeapps.list"),
                     "[Default Applications]\n"
                     "text/plain=vorlane-test-handler.desktop\n"
                     "inode/directory=vorlane-test-handler.desktop\n"
                     "x-scheme-handler/https=vorlane-test-browser.desktop\n"
                     "text/csv=vorlane-test-shell.desktop\n"
                     "text/markdown=vorlane-test-terminal.desktop\n")
        // Sound goes into a file instead of a device.
        && writeFile(home + QStringLiteral("/.asoundrc"),
                     "pcm.!default { type file; slave.pcm \"null\"; file \"" + QFile::encodeName(desktop.soundOutput())
                         + "\"; format \"raw\" }\n")
        && QDir().mkpath(desktop.path(QStringLiteral("runtime")))
        && QFile::setPermissions(desktop.path(QStringLiteral("runtime")),
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!written)
        return false;

    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/.local/share")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/.cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(desktop.path(QStringLiteral("runtime"))));
    // One more system data folder before the usual ones, and our terminal
    // before any installed one.
    QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = "/usr/local/share/:/usr/share/";
    qputenv("XDG_DATA_DIRS", QFile::encodeName(QFileInfo(desktop.systemApplications()).path()) + ':' + dataDirs);
    qputenv("PATH", QFile::encodeName(QFileInfo(desktop.terminal()).path()) + ':' + qgetenv("PATH"));
    // Desktop-specific mimeapps lists would be read before ours.
    qunsetenv("XDG_CURRENT_DESKTOP");
    return true;
}

// What one start of the handler script saw: "pwd=<folder>", then
// "arg=<argument>" for each argument. Empty when no call arrived within
// five seconds.
QStringList takeCall()
{
    const QDir calls(desktop.calls());
    QDeadlineTimer deadline(5000);
    QStringList files;
    while ((files = calls.entryList({QStringLiteral("call-*")}, QDir::Files)).isEmpty() && !deadline.hasExpired())
        QTest::qWait(20);
    if (files.isEmpty())
        return {};
    const QString file = calls.filePath(files.first());
    const QString text = QString::fromUtf8(readAll(file));
    QFile::remove(file);
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList expectedCall(const QString &folder, const QStringList &arguments)
{
    QStringList lines{QStringLiteral("pwd=") + QFileInfo(folder).canonicalFilePath()};
    for (const QString &a : arguments)
        lines << QStringLiteral("arg=") + a;
    return lines;
}

// ------------------------------------------------------------ shell links
// Written from the published layout of the shell link binary format.

enum LinkFlag : quint32 {
    HasLinkInfo = 0x2,
    HasRelativePath = 0x8,
    HasArguments = 0x20,
    IsUnicode = 0x80,
};

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray countedUtf16(const QString &text)
{
    QByteArray b = le16(quint16(text.size()));
    for (const QChar c : text)
        b += le16(c.unicode());
    return b;
}

struct LinkParts {
    QByteArray localBasePath; // with a VolumeID, for a target on a local drive
    QByteArray netName;       // "\\server\share", for a target on a share
    QByteArray pathSuffix;    // after the base path or share
    QString relativePath;
    QString arguments;
};

QByteArray shellLink(const LinkParts &parts)
{
    quint32 flags = IsUnicode;
    QByteArray linkInfo;
    if (!parts.localBasePath.isEmpty() || !parts.netName.isEmpty()) {
        flags |= HasLinkInfo;
        const quint32 headerSize = 0x1C;
        quint32 infoFlags = 0;
        QByteArray volume, local, network;
        if (!parts.localBasePath.isEmpty()) {
            infoFlags |= 0x1; // VolumeIDAndLocalBasePath
            const QByteArray label("DATA\0", 5);
            volume = le32(0x10 + label.size()) + le32(3 /* fixed drive */) + le32(0x1234ABCD) + le32(0x10) + label;
            local = parts.localBasePath + '\0';
        }
        if (!parts.netName.isEmpty()) {
            infoFlags |= 0x2; // CommonNetworkRelativeLinkAndPathSuffix
            const QByteArray name = parts.netName + '\0';
            network = le32(0x14 + name.size()) + le32(0) + le32(0x14) + le32(0) + le32(0) + name;
        }
        const QByteArray suffix = parts.pathSuffix + '\0';
        const quint32 volumeAt = volume.isEmpty() ? 0 : headerSize;
        const quint32 localAt = local.isEmpty() ? 0 : headerSize + volume.size();
        const quint32 networkAt = network.isEmpty() ? 0 : headerSize + volume.size() + local.size();
        const quint32 suffixAt = headerSize + volume.size() + local.size() + network.size();
        const QByteArray body = volume + local + network + suffix;
        linkInfo = le32(headerSize + body.size()) + le32(headerSize) + le32(infoFlags) + le32(volumeAt) + le32(localAt)
                   + le32(networkAt) + le32(suffixAt) + body;
    }

    QByteArray strings;
    if (!parts.relativePath.isEmpty()) {
        flags |= HasRelativePath;
        strings += countedUtf16(parts.relativePath);
    }
    if (!parts.arguments.isEmpty()) {
        flags |= HasArguments;
        strings += countedUtf16(parts.arguments);
    }

    // LinkCLSID 00021401-0000-0000-C000-000000000046, fields little-endian.
    const QByteArray clsid = QByteArray::fromHex("0114020000000000c000000000000046");
    const QByteArray header = le32(0x4C) + clsid + le32(flags) + le32(0x20 /* archive */) + QByteArray(24, '\0')
                              + le32(0) + le32(0) + le32(1 /* normal window */) + le16(0) + le16(0) + le32(0) + le32(0);
    return header + linkInfo + strings + le32(0 /* terminal block */);
}

// A quarter second of a 440 Hz tone, 16-bit mono PCM.
QByteArray waveFile()
{
    const int rate = 8000;
    QByteArray samples;
    for (int i = 0; i < rate / 4; ++i)
        samples += le16(quint16(qint16(8000 * std::sin(2 * std::numbers::pi * 440 * i / rate))));
    return "RIFF" + le32(36 + samples.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(rate)
           + le32(rate * 2) + le16(2) + le16(16) + "data" + le32(samples.size()) + samples;
}

} // namespace

class TestDesktopServices : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setUpIconTheme();
        platform_ = std::make_unique<LinuxPlatform>(desktop.path(QStringLiteral("registry.ini")));
        QVERIFY(writeFile(desktop.path(QStringLiteral("docs/my notes.txt")), "some text\n"));
        QVERIFY(QDir().mkpath(desktop.path(QStringLiteral("work"))));
    }

    void init()
    {
        // A call that arrived late for an earlier test must not count here.
        const QDir calls(desktop.calls());
        for (const QString &f : calls.entryList(QDir::Files | QDir::Hidden))
            QFile::remove(calls.filePath(f));
    }

    // --------------------------------------------------------- Exec lines

    void commandForFile_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QStringList>("expected");
        const QString path = QStringLiteral("/data/my file.txt");
        const QString uri = QStringLiteral("file:///data/my%20file.txt");
        const QStringList args{QStringLiteral("-x"), QStringLiteral("two words")};

        QTest::newRow("path") << "viewer %f" << QStringList{"viewer", path} + args;
        QTest::newRow("path list") << "viewer %F --end" << QStringList{"viewer", path} + args + QStringList{"--end"};
        QTest::newRow("uri") << "viewer %u" << QStringList{"viewer", uri} + args;
        QTest::newRow("uri list") << "viewer %U" << QStringList{"viewer", uri} + args;
        QTest::newRow("inside a word") << "viewer --open=%u" << QStringList{"viewer", "--open=" + uri} + args;
        QTest::newRow("no file code") << "viewer --new" << QStringList{"viewer", "--new", path} + args;
        QTest::newRow("other codes dropped") << "viewer %i %c %k %d %D %n %N %v %m %f"
                                             << QStringList{"viewer", path} + args;
        QTest::newRow("only the first file code") << "viewer %f %U" << QStringList{"viewer", path} + args;
        QTest::newRow("percent") << "viewer --zoom=100%% %%f %f"
                                 << QStringList{"viewer", "--zoom=100%", "%f", path} + args;
        QTest::newRow("quoted") << "\"/opt/my viewer/run\" \"say \\\"hi\\\"\" 'a b' %f"
                                << QStringList{"/opt/my viewer/run", "say \"hi\"", "a b", path} + args;
        QTest::newRow("unterminated quote") << "viewer \"open %f" << QStringList{};
        // Words inside a forwarding block are files for the sandbox; the
        // command string is none.
        QTest::newRow("forwarding block")
            << "flatpak run --file-forwarding org.x.Viewer @@u %U @@ --end"
            << QStringList{"flatpak", "run", "--file-forwarding", "org.x.Viewer", "@@u", uri, "@@"} + args
                   + QStringList{"--end"};
        QTest::newRow("forwarding block of paths") << "viewer @@ %F @@" << QStringList{"viewer", "@@", path, "@@"} + args;
        QTest::newRow("unclosed forwarding block") << "viewer @@u %u -x" << QStringList{"viewer", "@@u", uri, "-x"} + args;
        QTest::newRow("after a closed block") << "viewer @@ @@ %f --end"
                                              << QStringList{"viewer", "@@", "@@", path} + args + QStringList{"--end"};
        QTest::newRow("empty") << "" << QStringList{};
    }

    void commandForFile()
    {
        QFETCH(QString, commandLine);
        QFETCH(QStringList, expected);
        QCOMPARE(gio::commandForFile(commandLine, QStringLiteral("/data/my file.txt"),
                                     {QStringLiteral("-x"), QStringLiteral("two words")}),
                 expected);
    }

    // No file name can split a word or become a command: as a word of its
    // own it stays as it is, inside a script it is quoted for the shell.
    void commandForFileKeepsNamesOutOfScripts()
    {
        const QString file = QStringLiteral("/data/$(touch x) it's \"q\" `y`;\\.txt");
        const QString quoted = QStringLiteral("'/data/$(touch x) it'\\''s \"q\" `y`;\\.txt'");
        QCOMPARE(gio::commandForFile(QStringLiteral("sh -c \"viewer %f\" -n"), file, {}),
                 (QStringList{"sh", "-c", "viewer " + quoted, "-n"}));
        QCOMPARE(gio::commandForFile(QStringLiteral("sh -c 'viewer --in=%f'"), file, {}),
                 (QStringList{"sh", "-c", "viewer --in=" + quoted}));
    }

    void commandForRelativeFile()
    {
        const QStringList command = gio::commandForFile(QStringLiteral("viewer %f"), QStringLiteral("notes.txt"), {});
        QCOMPARE(command, (QStringList{"viewer", QDir::current().absoluteFilePath(QStringLiteral("notes.txt"))}));
    }

    // ------------------------------------------------------------- launch

    void launchDocumentPassesFileThenArguments()
    {
        const QString doc = desktop.path(QStringLiteral("docs/my notes.txt"));
        const QString work = desktop.path(QStringLiteral("work"));
        QVERIFY(platform_->launch({LaunchRequest::Kind::Document, doc, {"--flag", "two words"}, work}));
        QCOMPARE(takeCall(), expectedCall(work, {doc, "--flag", "two words"}));
    }

    // This type's application is a shell script around the handler.
    void launchDocumentNameReachesNoShell()
    {
        const QString docs = desktop.path(QStringLiteral("docs"));
        for (const QString name : {"$(touch injected) `touch injected`.csv", "it's \"quoted\".csv"}) {
            const QString doc = docs + QLatin1Char('/') + name;
            QVERIFY(writeFile(doc, "a,b\n"));
            QVERIFY(platform_->launch({LaunchRequest::Kind::Document, doc, {}, docs}));
            QCOMPARE(takeCall(), expectedCall(docs, {"--via-shell", doc}));
        }
        QVERIFY(!QFileInfo::exists(docs + QStringLiteral("/injected")));
        QVERIFY(!QFileInfo::exists(QDir::current().filePath(QStringLiteral("injected"))));
    }

    void launchDocumentInTerminal()
    {
        const QString doc = desktop.path(QStringLiteral("docs/read me.md"));
        QVERIFY(writeFile(doc, "# Title\n"));
        QVERIFY(platform_->launch({LaunchRequest::Kind::Document, doc, {"--flag"}, {}}));
        QCOMPARE(takeCall(),
                 expectedCall(QDir::currentPath(), {"-e", desktop.handler(), "--in-terminal", doc, "--flag"}));
    }

    void launchDocumentTypedByContent()
    {
        // Plain text is known by its content under any name; a file that
        // is not there is never handed on.
        const QString data = desktop.path(QStringLiteral("docs/notes.unknownext"));
        QVERIFY(writeFile(data, "plain words\n"));
        QVERIFY(platform_->launch({LaunchRequest::Kind::Document, data, {}, {}}));
        QCOMPARE(takeCall(), expectedCall(QDir::currentPath(), {data}));

        const QString gone = desktop.path(QStringLiteral("docs/gone.txt"));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::Document, gone, {}, {}}));
    }

    void launchFolder()
    {
        const QString docs = desktop.path(QStringLiteral("docs"));
        QVERIFY(platform_->launch({LaunchRequest::Kind::Folder, docs, {"ignored"}, {}}));
        QCOMPARE(takeCall(), expectedCall(QDir::currentPath(), {docs}));

        const QString file = desktop.path(QStringLiteral("docs/my notes.txt"));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::Folder, file, {}, {}}));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::Folder, desktop.path(QStringLiteral("nowhere")), {}, {}}));
    }

    void launchProgramTakesArgumentsVerbatim()
    {
        const QString work = desktop.path(QStringLiteral("work"));
        const QStringList args{"two words", "\"quoted\"", "$(touch injected)", "*", "", "semi;colon", "ünïcödé"};
        QVERIFY(platform_->launch({LaunchRequest::Kind::Program, desktop.handler(), args, work}));
        QCOMPARE(takeCall(), expectedCall(work, args));
        QVERIFY(!QFileInfo::exists(desktop.path(QStringLiteral("work/injected"))));
        QVERIFY(!QFileInfo::exists(QDir::current().filePath(QStringLiteral("injected"))));
    }

    void launchProgramInMissingFolderStartsHere()
    {
        QVERIFY(platform_->launch(
            {LaunchRequest::Kind::Program, desktop.handler(), {"x"}, desktop.path(QStringLiteral("no/such/folder"))}));
        QCOMPARE(takeCall(), expectedCall(QDir::currentPath(), {"x"}));
    }

    void launchProgramThatCannotStart()
    {
        QVERIFY(!platform_->launch({LaunchRequest::Kind::Program, desktop.path(QStringLiteral("bin/absent")), {}, {}}));
        const QString plain = desktop.path(QStringLiteral("bin/not-executable"));
        QVERIFY(writeFile(plain, "#!/bin/sh\n"));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::Program, plain, {}, {}}));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::Program, QString(), {}, {}}));
    }

    void launchDesktopEntry()
    {
        const QString docs = desktop.path(QStringLiteral("docs"));
        const QString entry = desktop.path(QStringLiteral("launchers/uris.desktop"));
        QVERIFY(writeFile(entry, desktopEntry("Exec=" + QFile::encodeName(desktop.handler()) + " --entry %U\n")));

        // Relative paths are taken from the working folder; URIs pass as
        // they are. (GIO hands local files to %U as paths, which the
        // launcher format allows.)
        QVERIFY(platform_->launch({LaunchRequest::Kind::DesktopEntry, entry,
                                   {"my notes.txt", "https://example.org/page?q=1"}, docs}));
        QCOMPARE(takeCall(), expectedCall(docs, {"--entry", docs + QStringLiteral("/my notes.txt"),
                                                 "https://example.org/page?q=1"}));

        const QString single = desktop.path(QStringLiteral("launchers/single.desktop"));
        QVERIFY(writeFile(single, desktopEntry("Exec=" + QFile::encodeName(desktop.handler()) + " %f\n")));
        QVERIFY(platform_->launch({LaunchRequest::Kind::DesktopEntry, single,
                                   {docs + QStringLiteral("/my notes.txt")}, {}}));
        QCOMPARE(takeCall(), expectedCall(QDir::currentPath(), {docs + QStringLiteral("/my notes.txt")}));
    }

    void launchDesktopEntryOwnFolderWins()
    {
        const QString own = desktop.path(QStringLiteral("own folder"));
        QVERIFY(QDir().mkpath(own));
        const QString entry = desktop.path(QStringLiteral("launchers/path.desktop"));
        QVERIFY(writeFile(entry, desktopEntry("Exec=" + QFile::encodeName(desktop.handler()) + "\nPath="
                                              + QFile::encodeName(own) + "\n")));
        const QString work = desktop.path(QStringLiteral("work"));
        QVERIFY(platform_->launch({LaunchRequest::Kind::DesktopEntry, entry, {}, work}));
        QCOMPARE(takeCall(), expectedCall(own, {}));
    }

    void launchLinkEntryOpensItsAddress()
    {
        const QString entry = desktop.path(QStringLiteral("launchers/site.desktop"));
        QVERIFY(writeFile(entry, "[Desktop Entry]\nType=Link\nName=Site\nURL=https://example.org/linked\n"));
        QVERIFY(platform_->launch({LaunchRequest::Kind::DesktopEntry, entry, {}, {}}));
        QCOMPARE(takeCall(), expectedCall(QDir::currentPath(), {"--browser", "https://example.org/linked"}));
    }

    void launchUnusableDesktopEntryFails()
    {
        const QString garbage = desktop.path(QStringLiteral("launchers/garbage.desktop"));
        QVERIFY(writeFile(garbage, "this is\nno key file\x01\x02"));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::DesktopEntry, garbage, {}, {}}));

        const QString missingProgram = desktop.path(QStringLiteral("launchers/missing.desktop"));
        const QByteArray absent = QFile::encodeName(desktop.path(QStringLiteral("bin/absent")));
        QVERIFY(writeFile(missingProgram, desktopEntry("Exec=" + absent + " %f\n")));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::DesktopEntry, missingProgram, {}, {}}));

        const QString none = desktop.path(QStringLiteral("launchers/none.desktop"));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::DesktopEntry, none, {}, {}}));
    }

    void launchAddress()
    {
        QVERIFY(platform_->launch({LaunchRequest::Kind::Address, "https://example.org/a?b=c&d=e#f", {}, {}}));
        QCOMPARE(takeCall(), expectedCall(QDir::currentPath(), {"--browser", "https://example.org/a?b=c&d=e#f"}));

        // Words to go with the address follow it.
        QVERIFY(platform_->launch({LaunchRequest::Kind::Address, "https://example.org/p", {"--private", "two words"}, {}}));
        QCOMPARE(takeCall(),
                 expectedCall(QDir::currentPath(), {"--browser", "https://example.org/p", "--private", "two words"}));

        QVERIFY(!platform_->launch({LaunchRequest::Kind::Address, "vorlane-nothing-handles-this:x", {}, {}}));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::Address, "vorlane-nothing-handles-this:x", {"-a"}, {}}));
        QVERIFY(!platform_->launch({LaunchRequest::Kind::Address, "not an address", {}, {}}));
    }

    void defaultBrowser()
    {
        QCOMPARE(platform_->defaultBrowserCommand(), desktop.handler() + QStringLiteral(" --browser %u"));
        // The browser's launcher names the folder icon.
        QCOMPARE(platform_->webIcon().name(), QStringLiteral("folder"));
    }

    // Without any handler the process must be set up from the start: GIO
    // reads the application folders once.
    void withoutHandlers()
    {
        QTemporaryDir empty;
        QVERIFY(empty.isValid());
        const QString doc = desktop.path(QStringLiteral("docs/my notes.txt"));
        // With no browser, web shortcuts show the theme's generic picture.
        QCOMPARE(runProbe(empty.path(), {doc}),
                 (QStringList{"browser=", "webIcon=web-browser", "address=0", "document=0", "folder=0"}));
        QVERIFY(QDir(desktop.calls()).isEmpty());
    }

    // A machine with a text editor and no browser. HTML is plain text too,
    // so the editor opens it, but that makes it no browser.
    void textEditorIsNoBrowser()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QVERIFY(writeFile(home.filePath(QStringLiteral("data/applications/editor.desktop")),
                          desktopEntry("Exec=" + QFile::encodeName(desktop.handler())
                                       + " --editor %F\nIcon=accessories-text-editor\nMimeType=text/plain;\n")));
        QVERIFY(writeFile(home.filePath(QStringLiteral("config/mimeapps.list")),
                          "[Default Applications]\ntext/plain=editor.desktop\n"));
        // The type database, which says that HTML derives from plain text.
        const QString types = QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("mime"),
                                                     QStandardPaths::LocateDirectory);
        if (types.isEmpty())
            QSKIP("no shared MIME database on this machine");
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("system-data"))));
        QVERIFY(QFile::link(types, home.filePath(QStringLiteral("system-data/mime"))));
        QCOMPARE(runProbe(home.path(), {}), (QStringList{"browser=", "webIcon=web-browser"}));
    }

    // Whoever reads our output to its end must not wait for what we start.
    void startedProgramsGetNoStreams_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("target");
        const QString entry = desktop.path(QStringLiteral("launchers/streams.desktop"));
        QVERIFY(writeFile(entry, desktopEntry("Exec=" + QFile::encodeName(desktop.handler()) + " %f\n")));
        QTest::newRow("program") << int(LaunchRequest::Kind::Program) << desktop.handler();
        QTest::newRow("desktop entry") << int(LaunchRequest::Kind::DesktopEntry) << entry;
        QTest::newRow("document") << int(LaunchRequest::Kind::Document)
                                  << desktop.path(QStringLiteral("docs/my notes.txt"));
        QTest::newRow("folder") << int(LaunchRequest::Kind::Folder) << desktop.path(QStringLiteral("docs"));
        QTest::newRow("address") << int(LaunchRequest::Kind::Address) << QStringLiteral("https://example.org/");
    }

    void startedProgramsGetNoStreams()
    {
        QFETCH(int, kind);
        QFETCH(QString, target);
        // The child launches and stays until the handler has finished, so
        // anything the handler wrote to inherited streams is in its output.
        QProcess probe;
        probe.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(StreamsSwitch), QString::number(kind), target});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        QVERIFY(!takeCall().isEmpty());
        QCOMPARE(probe.readAllStandardOutput(), QByteArray());
        QVERIFY2(!probe.readAllStandardError().contains("handler wrote"), "the handler kept our stderr");
    }

    // ---------------------------------------------------------- shell links

    void readLink_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("arguments");

        LinkParts local;
        local.localBasePath = "C:\\Program Files\\Tool\\tool.exe";
        local.arguments = QStringLiteral("--title \"Grüße\" /x");
        QTest::newRow("local with arguments") << shellLink(local) << "C:\\Program Files\\Tool\\tool.exe"
                                              << "--title \"Grüße\" /x";

        LinkParts network;
        network.netName = "\\\\server\\share";
        network.pathSuffix = "dir\\tool.exe";
        network.arguments = QStringLiteral("-n");
        QTest::newRow("network") << shellLink(network) << "\\\\server\\share\\dir\\tool.exe" << "-n";

        LinkParts bare;
        bare.localBasePath = "D:\\Games\\";
        bare.pathSuffix = "game.exe";
        QTest::newRow("no arguments") << shellLink(bare) << "D:\\Games\\game.exe" << "";

        LinkParts relative;
        relative.relativePath = QStringLiteral("..\\bin\\tool.exe");
        relative.arguments = QStringLiteral("a");
        QTest::newRow("relative only") << shellLink(relative) << "..\\bin\\tool.exe" << "a";

        LinkParts nothing;
        nothing.arguments = QStringLiteral("only arguments");
        QTest::newRow("no target") << shellLink(nothing) << "" << "only arguments";
    }

    void readLink()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, path);
        QFETCH(QString, arguments);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("target.lnk"));
        QVERIFY(writeAll(file, content));
        const std::optional<LinkTarget> link = platform_->readLink(file);
        QVERIFY(link);
        QCOMPARE(link->path, path);
        QCOMPARE(link->arguments, arguments);
    }

    void readLinkOfNoLink_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray noise(300, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        QTest::newRow("random bytes") << noise;
        QTest::newRow("empty") << QByteArray();
        LinkParts local;
        local.localBasePath = "C:\\tool.exe";
        QTest::newRow("cut inside the header") << shellLink(local).left(40);
        QByteArray wrongClass = shellLink(local);
        wrongClass[4] = 0x02;
        QTest::newRow("another class id") << wrongClass;
    }

    void readLinkOfNoLink()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("not.lnk"));
        QVERIFY(writeAll(file, content));
        QVERIFY(!platform_->readLink(file));
        QVERIFY(!platform_->readLink(dir.filePath(QStringLiteral("missing.lnk"))));
        QVERIFY(!platform_->readLink(dir.path()));
    }

    // ---------------------------------------------------------- executables

    void isExecutableFile()
    {
        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("program"));
        const QString plain = dir.filePath(QStringLiteral("plain.txt"));
        const QString link = dir.filePath(QStringLiteral("link"));
        const QString folder = dir.filePath(QStringLiteral("folder"));
        QVERIFY(writeFile(program, "#!/bin/sh\n", true));
        QVERIFY(writeFile(plain, "text\n"));
        QVERIFY(QFile::link(program, link));
        QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::ExeUser | QFileDevice::ExeOwner);

        QVERIFY(platform_->isExecutableFile(program));
        QVERIFY(platform_->isExecutableFile(link));
        QVERIFY(!platform_->isExecutableFile(plain));

        // The permission alone makes no program: shares and unpacked
        // archives give it to every file.
        const QString binary = dir.filePath(QStringLiteral("binary"));
        const QString document = dir.filePath(QStringLiteral("document.txt"));
        const QString empty = dir.filePath(QStringLiteral("empty"));
        QVERIFY(writeFile(binary, QByteArray("\x7f" "ELF\x02\x01\x01") + QByteArray(57, '\0'), true));
        QVERIFY(writeFile(document, "#not a script\n", true));
        QVERIFY(writeFile(empty, "", true));
        QVERIFY(platform_->isExecutableFile(binary));
        QVERIFY(!platform_->isExecutableFile(document));
        QVERIFY(!platform_->isExecutableFile(empty));
        QVERIFY(!platform_->isExecutableFile(folder));
        QVERIFY(!platform_->isExecutableFile(dir.filePath(QStringLiteral("missing"))));
    }

    // A launcher runs without asking when it was made executable or is
    // installed; one that was only downloaded is asked about.
    void trustedLaunchers()
    {
        const QByteArray entry = desktopEntry("Exec=true\n");
        const QString userApps = desktop.home() + QStringLiteral("/.local/share/applications");
        const QString user = userApps + QStringLiteral("/sub/user.desktop");
        const QString system = desktop.systemApplications() + QStringLiteral("/system.desktop");
        const QString downloaded = desktop.path(QStringLiteral("downloads/fresh.desktop"));
        const QString marked = desktop.path(QStringLiteral("downloads/marked.desktop"));
        const QString nameless = desktop.path(QStringLiteral("downloads/nameless.desktop"));
        QVERIFY(writeFile(user, entry) && writeFile(system, entry) && writeFile(downloaded, entry));
        QVERIFY(writeFile(marked, entry, true));
        QVERIFY(writeFile(userApps + QStringLiteral("-old/fresh.desktop"), entry));
        QVERIFY(writeFile(nameless, "[Desktop Entry]\nType=Application\nExec=true\n"));

        QVERIFY(platform_->isTrustedLauncher(user));
        QVERIFY(platform_->isTrustedLauncher(system));
        QVERIFY(platform_->isTrustedLauncher(marked));
        QVERIFY(!platform_->isTrustedLauncher(downloaded));
        QVERIFY(!platform_->isTrustedLauncher(userApps + QStringLiteral("/../../../../downloads/fresh.desktop")));
        QVERIFY(!platform_->isTrustedLauncher(userApps + QStringLiteral("-old/fresh.desktop")));
        QVERIFY(!platform_->isTrustedLauncher(desktop.path(QStringLiteral("downloads/missing.desktop"))));

        QCOMPARE(platform_->launcherName(downloaded), QStringLiteral("Vorlane test entry"));
        QCOMPARE(platform_->launcherName(nameless), QString());
    }

    // ---------------------------------------------------------------- icons

    void fileIcons()
    {
        QTemporaryDir dir;
        const QString text = dir.filePath(QStringLiteral("notes.txt"));
        const QString program = dir.filePath(QStringLiteral("program"));
        const QString picture = dir.filePath(QStringLiteral("picture.png"));
        QVERIFY(writeFile(text, "words\n"));
        QVERIFY(writeFile(program, "#!/bin/sh\n", true));
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(picture));

        QCOMPARE(platform_->fileIcon(dir.path()).name(), QStringLiteral("folder"));
        const QIcon textIcon = platform_->fileIcon(text);
        QVERIFY(!textIcon.isNull());
        QVERIFY(!textIcon.pixmap(32).isNull());
        QCOMPARE(platform_->fileIcon(program).name(), QStringLiteral("application-x-executable"));
        QVERIFY(platform_->fileIcon(dir.filePath(QStringLiteral("missing.txt"))).isNull());

        // A launcher shows its own icon: a theme name (even written as an
        // image file name), or an image path.
        const QString byName = dir.filePath(QStringLiteral("by-name.desktop"));
        QVERIFY(writeFile(byName, desktopEntry("Exec=true\nIcon=folder\n")));
        QCOMPARE(platform_->fileIcon(byName).name(), QStringLiteral("folder"));
        const QString byFileName = dir.filePath(QStringLiteral("by-file-name.desktop"));
        QVERIFY(writeFile(byFileName, desktopEntry("Exec=true\nIcon=folder.png\n")));
        QCOMPARE(platform_->fileIcon(byFileName).name(), QStringLiteral("folder"));
        const QString byPath = dir.filePath(QStringLiteral("by-path.desktop"));
        QVERIFY(writeFile(byPath, desktopEntry("Exec=true\nIcon=" + QFile::encodeName(picture) + "\n")));
        const QIcon pathIcon = platform_->fileIcon(byPath);
        QVERIFY(!pathIcon.isNull());
        const QImage shown = pathIcon.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown.pixel(8, 8), QColor(Qt::red).rgba());
        // An unknown icon name falls back to the launcher file's type.
        const QString unknown = dir.filePath(QStringLiteral("unknown.desktop"));
        QVERIFY(writeFile(unknown, desktopEntry("Exec=true\nIcon=vorlane-no-such-icon\n")));
        QVERIFY(!platform_->fileIcon(unknown).isNull());
    }

    void themeFromTheDesktopIsKept()
    {
        const QString before = QIcon::themeName();
        QIcon::setThemeName(QStringLiteral("Vorlane-Desktop-Theme"));
        setUpIconTheme();
        QCOMPARE(QIcon::themeName(), QStringLiteral("Vorlane-Desktop-Theme"));
        QIcon::setThemeName(before);
    }

    void applicationIcon()
    {
        const QIcon icon = platform_->applicationIcon();
        QVERIFY(!icon.isNull());
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
        QVERIFY(icon.availableSizes().contains(QSize(64, 64)));
        QCOMPARE(icon.pixmap(32).size(), QSize(32, 32));
    }

    // ---------------------------------------------------------------- sound

    void playSound()
    {
        // Neither blocks nor fails loudly: an empty name, a missing file and
        // a file that is no sound.
        platform_->playSound(QString());
        platform_->playSound(desktop.path(QStringLiteral("no-such-sound.wav")));
        platform_->playSound(desktop.path(QStringLiteral("docs/my notes.txt")));

        // The fake ALSA device of this home writes what it plays to a file.
        const QString wave = desktop.path(QStringLiteral("beep.wav"));
        QVERIFY(writeFile(wave, waveFile()));
        platform_->playSound(wave);
        QDeadlineTimer deadline(5000);
        while (QFileInfo(desktop.soundOutput()).size() == 0 && !deadline.hasExpired())
            QTest::qWait(50);
        if (QFileInfo(desktop.soundOutput()).size() == 0)
            QSKIP("no sound reached the fake ALSA device on this machine");
    }

    // ------------------------------------------------------ special files

    // A FIFO where a shell link, a launcher or the wave file should be is refused as a file that
    // cannot be read, at once: the libraries that read those files by name would otherwise wait
    // for a writer, and the window with them.
    void specialFilesNeverBlock()
    {
        QTemporaryDir dir;
        vl::test::BlockingFifo link(dir.filePath(QStringLiteral("tool.lnk")));
        vl::test::BlockingFifo launcher(dir.filePath(QStringLiteral("tool.desktop")));
        vl::test::BlockingFifo wave(dir.filePath(QStringLiteral("beep.wav")));
        QVERIFY(link.made() && launcher.made() && wave.made());

        QVERIFY(!platform_->readLink(link.path()));
        QCOMPARE(platform_->launcherName(launcher.path()), QString());
        QVERIFY(!platform_->isTrustedLauncher(launcher.path()));
        // The picture of a shortcut to it: no launcher's own icon, the type's.
        QVERIFY(!platform_->fileIcon(launcher.path()).isNull());
        platform_->playSound(wave.path());

        QStringList waited;
        for (const vl::test::BlockingFifo *fifo : {&link, &launcher, &wave}) {
            if (fifo->released())
                waited << QFileInfo(fifo->path()).fileName();
        }
        QVERIFY2(waited.isEmpty(), qPrintable(QStringLiteral("waited for a writer: ") + waited.join(u", ")));
    }

private:
    // The probe's report, run on the applications of the given home alone.
    static QStringList runProbe(const QString &home, const QStringList &arguments)
    {
        const QDir dir(home);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), dir.filePath(QStringLiteral("system-data")));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), dir.filePath(QStringLiteral("system-config")));
        QProcess probe;
        probe.setProcessEnvironment(env);
        probe.start(QCoreApplication::applicationFilePath(), QStringList{QString::fromLatin1(ProbeSwitch)} + arguments);
        if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            return {QStringLiteral("probe failed")};
        return QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    std::unique_ptr<LinuxPlatform> platform_;
};

namespace {

// Runs in a child process on a home and system without the usual
// applications: reports the browser and, given a document, what starts.
int probeWithoutHandlers(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    setUpIconTheme();
    LinuxPlatform platform(QDir(QDir::homePath()).filePath(QStringLiteral("registry.ini")));
    QTextStream out(stdout);
    out << "browser=" << platform.defaultBrowserCommand() << '\n';
    const QIcon webIcon = platform.webIcon();
    out << "webIcon=" << (webIcon.isNull() ? QStringLiteral("null") : webIcon.name()) << '\n';
    if (argc < 3)
        return 0;
    const QString doc = QString::fromLocal8Bit(argv[2]);
    out << "address=" << platform.launch({LaunchRequest::Kind::Address, "https://example.org/", {}, {}}) << '\n';
    out << "document=" << platform.launch({LaunchRequest::Kind::Document, doc, {}, {}}) << '\n';
    out << "folder=" << platform.launch({LaunchRequest::Kind::Folder, QFileInfo(doc).path(), {}, {}}) << '\n';
    return 0;
}

// Runs in a child process on the test desktop: one launch, then waits for
// the handler's call to arrive.
int probeStreams(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    LinuxPlatform platform(QDir(QDir::homePath()).filePath(QStringLiteral("registry.ini")));
    const QDir calls(desktop.calls());
    const auto kind = LaunchRequest::Kind(QByteArray(argv[2]).toInt());
    if (!platform.launch({kind, QString::fromLocal8Bit(argv[3]), {}, {}}))
        return 2;
    QDeadlineTimer deadline(5000);
    while (calls.entryList({QStringLiteral("call-*")}, QDir::Files).isEmpty() && !deadline.hasExpired())
        QThread::msleep(20);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if ((argc == 2 || argc == 3) && qstrcmp(argv[1], ProbeSwitch) == 0)
        return probeWithoutHandlers(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], StreamsSwitch) == 0) {
        // The parent's desktop, found again from the home it gave us.
        desktop.root = QFileInfo(QDir::homePath()).path();
        return probeStreams(argc, argv);
    }

    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/tst_desktopservices-XXXXXX"));
    if (!root.isValid() || !layOutDesktop(root.path())) {
        std::fprintf(stderr, "cannot lay out the test desktop\n");
        return 1;
    }
    QGuiApplication app(argc, argv);
    TestDesktopServices test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktopservices.moc"
