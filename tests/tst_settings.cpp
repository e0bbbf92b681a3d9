#include "app/Maintenance.h"
#include "app/SettingsLocation.h"
#include "storage/BigIni.h"
#include "storage/ModelJson.h"
#include "storage/SettingsFile.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRect>
#include <QStringDecoder>
#include <QTest>

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace vl;
using vl::test::FakePrompt;
using vl::test::readAll;
using vl::test::writeAll;
using Result = SettingsFile::SaveResult;

namespace {

const QString DefaultFontText = u"Sans Serif,9,1,0000,clWindowText"_s;

using Keys = QList<std::pair<QString, QString>>;

// The "General" keys of an untouched workspace, in the order a save writes them.
Keys generalKeys()
{
    return {{u"FormMaximized_Key"_s, u"0"_s}, {u"FormWidth_Key"_s, u"700"_s},  {u"FormHeight_Key"_s, u"500"_s},
            {u"FormTop_Key"_s, u"100"_s},     {u"FormLeft_Key"_s, u"200"_s},   {u"ShortcutFont"_s, DefaultFontText},
            {u"TabFont"_s, DefaultFontText},  {u"Immediate_Save"_s, u"0"_s},  {u"Leave_Missing"_s, u"1"_s},
            {u"Tab_Position"_s, u"1"_s},      {u"Tab_Multiline"_s, u"0"_s},    {u"Cell_Height"_s, u"82"_s},
            {u"Cell_Width"_s, u"92"_s},       {u"Page_Count"_s, u"1"_s},       {u"Active_Page"_s, u"0"_s},
            {u"Auto_Save"_s, u"0"_s},         {u"AutoSave_Time"_s, u"10"_s},   {u"Wave_File"_s, QString()},
            {u"Always_OnBack"_s, u"0"_s},     {u"Drop_Enabled"_s, u"0"_s},     {u"OpenIn_NewWindow"_s, u"0"_s},
            {u"bStatusBar_Enabled"_s, u"1"_s}, {u"Single_Click"_s, u"0"_s},    {u"SingleClick_Time"_s, u"10"_s}};
}

QByteArray section(const QString &name, const Keys &keys)
{
    QByteArray out = '[' + name.toUtf8() + "]\r\n";
    for (const auto &[key, value] : keys)
        out += (key + u'=' + value).toUtf8() + "\r\n";
    return out + "\r\n";
}

QByteArray iniText(const QStringList &lines) { return lines.join(u"\r\n"_s).toUtf8() + "\r\n"; }

// The non-empty lines of one section of a written file, in file order.
QStringList linesOf(const QByteArray &file, const QString &name)
{
    QStringList out;
    bool inside = false;
    for (const QString &line : QString::fromUtf8(file).split(u"\r\n"_s)) {
        if (line.startsWith(u'[') && line.endsWith(u']'))
            inside = line.mid(1, line.size() - 2) == name;
        else if (inside && !line.isEmpty())
            out << line;
    }
    return out;
}

QStringList sectionsOf(const QByteArray &file)
{
    QStringList out;
    for (const QString &line : QString::fromUtf8(file).split(u"\r\n"_s)) {
        if (line.startsWith(u'[') && line.endsWith(u']'))
            out << line.mid(1, line.size() - 2);
    }
    return out;
}

QString valueOf(const QByteArray &file, const QString &name, const QString &key)
{
    for (const QString &line : linesOf(file, name)) {
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    }
    return u"<absent>"_s;
}

// Content, inode and modification time: an atomic rewrite always changes
// the inode, so an equal stamp proves the file was not replaced.
struct Stamp {
    QByteArray bytes;
    quint64 inode = 0;
    qint64 mtimeNs = 0;
    bool operator==(const Stamp &) const = default;
};

Stamp stampOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {readAll(path), static_cast<quint64>(st.st_ino),
            static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

class RecordingHost : public SettingsHost {
public:
    void captureWindowState(GlobalSettings &g) override
    {
        if (maximizeOnSave)
            g.FormMaximized_Key = true;
        if (onCapture)
            onCapture();
    }
    void setSaveState(const QString &text) override { saveStates << text; }
    void desktopChanged() override { reloadingAtDesktopChange = ws && ws->work.Reloading; }
    void reloadStarted() override { ++reloadsStarted; }
    void reloadFinished() override { ++reloadsFinished; }

    Workspace *ws = nullptr;
    bool maximizeOnSave = false;
    std::function<void()> onCapture;
    QStringList saveStates;
    bool reloadingAtDesktopChange = false;
    int reloadsStarted = 0;
    int reloadsFinished = 0;
};

struct Session {
    explicit Session(const QString &path) : file(ws, prompt, host, path) { host.ws = &ws; }
    Workspace ws;
    FakePrompt prompt;
    RecordingHost host;
    SettingsFile file;
};

QStringList labelsOf(const Desktop &d)
{
    QStringList out;
    for (const auto &item : d.items)
        out << item->Label_Caption;
    return out;
}

QStringList captionsOf(const Workspace &ws)
{
    QStringList out;
    for (int p = 0; p < ws.desktopCount(); ++p)
        out << ws.desktop(p).Desktop_Caption;
    return out;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString at(const QString &name) const { return tmp_->filePath(name); }
    QString iniPath() const { return at(u"vorlane.ini"_s); }

private slots:
    void init()
    {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
    }
    void cleanup() { setSystemColourResolver({}); }

    void freshFileIsExactAndRewritesKeepBackup()
    {
        Session s(iniPath());
        s.file.LoadAll();
        QVERIFY(s.prompt.calls.isEmpty());
        s.ws.work.NewElementPosition = QPoint(30, 40);
        ShortcutItem &item = s.ws.CreateNewItem();
        item.AttachedFile = u"/Opt/Tools/Editor.SH"_s; // letter case is kept
        item.CommandString = u"--new"_s;
        item.Label_Caption = u"Editor"_s;
        QCOMPARE(s.file.SaveAll(), Result::Saved);
        QCOMPARE(s.host.saveStates, QStringList{u"Saved"_s});

        // Page0 existed before Page0\Item1 was created, so the counts land in it.
        const Keys page0 = {{u"ShortcutFont"_s, DefaultFontText}, {u"Desktop_Caption"_s, u"New Desktop"_s},
                            {u"Background_Picture"_s, QString()}, {u"Password"_s, QString()},
                            {u"Password_On_Desktop"_s, u"1"_s},   {u"Background_Stretch"_s, u"0"_s},
                            {u"Background_Center"_s, u"1"_s},     {u"BG_Color"_s, u"12632256"_s},
                            {u"BG_Shortcut"_s, u"12632256"_s},    {u"Transparent"_s, u"1"_s},
                            {u"Item_CountTrue"_s, u"1"_s},        {u"Note_CountTrue"_s, u"0"_s}};
        const Keys item1 = {{u"AttachedFile"_s, u"/Opt/Tools/Editor.SH"_s}, {u"CommandString"_s, u"--new"_s},
                            {u"Picture"_s, QString()},                       {u"Label_Caption"_s, u"Editor"_s},
                            {u"Item_Left"_s, u"30"_s},                       {u"Item_Top"_s, u"40"_s}};
        const QByteArray expected =
            section(u"General"_s, generalKeys()) + section(u"Page0"_s, page0) + section(u"Page0\\Item1"_s, item1);
        QCOMPARE(readAll(iniPath()), expected);
        QVERIFY(!QFile::exists(iniPath() + u".bak"_s));

        item.Label_Caption = u"Editor 2"_s;
        QCOMPARE(s.file.SaveAll(), Result::Saved);
        QCOMPARE(readAll(iniPath() + u".bak"_s), expected);
        QCOMPARE(valueOf(readAll(iniPath()), u"Page0\\Item1"_s, u"Label_Caption"_s), u"Editor 2"_s);
    }

    void workingFontsFollowTheFileOrder()
    {
        const QString beta = u"Beta,11,0,1000,clNavy"_s;
        const QString gamma = u"Gamma,12,0,0100,$00123456"_s;
        const QString delta = u"Delta,7,0,0010,clRed"_s;
        // The last desktop is the one shown: reading still goes in file order.
        QVERIFY(writeAll(iniPath(), iniText({u"[General]"_s, u"ShortcutFont=Alpha,8,0,0000,clBlack"_s,
                                             u"Page_Count=3"_s, u"Active_Page=2"_s, u"[Page0]"_s,
                                             u"ShortcutFont="_s + beta, u"Desktop_Caption=One"_s,
                                             u"Note_CountTrue=1"_s, u"[Page0\\Note1]"_s, u"Note_Font="_s + delta,
                                             u"[Page1]"_s, u"Desktop_Caption=Two"_s, u"BG_Shortcut=255"_s,
                                             u"Transparent=0"_s, u"[Page2]"_s, u"ShortcutFont="_s + gamma,
                                             u"Desktop_Caption=Three"_s, u"BG_Shortcut=65280"_s, u"Transparent=0"_s,
                                             u"Note_CountTrue=1"_s, u"[Page2\\Note1]"_s, u"Count=0"_s})));
        Session s(iniPath());
        s.file.LoadAll();
        QVERIFY(s.prompt.calls.isEmpty());
        // A note without a font of its own takes the one read before it.
        QCOMPARE(FontToString(s.ws.desktop(2).notes.at(0)->Note_Font), delta);
        // A desktop without a font of its own takes the one before it.
        QCOMPARE(FontToString(s.ws.desktop(0).settings.ShortcutFont), beta);
        QCOMPARE(FontToString(s.ws.desktop(1).settings.ShortcutFont), beta);
        QCOMPARE(FontToString(s.ws.desktop(2).settings.ShortcutFont), gamma);
        QCOMPARE(s.ws.desktop(1).settings.BG_Shortcut, Colour(255));
        QVERIFY(!s.ws.desktop(1).settings.Transparent);
        QCOMPARE(FontToString(s.ws.global.ShortcutFont), gamma);

        // A desktop the user adds now takes the last loaded desktop's look.
        const Desktop &added = s.ws.CreateNewTabSheet();
        QCOMPARE(FontToString(added.settings.ShortcutFont), gamma);
        QCOMPARE(added.settings.BG_Shortcut, Colour(65280));
        QVERIFY(!added.settings.Transparent);
        s.ws.deleteDesktop(3);

        QCOMPARE(s.file.SaveAll(), Result::Saved);
        const QByteArray file = readAll(iniPath());
        QCOMPARE(valueOf(file, u"General"_s, u"ShortcutFont"_s), gamma);
        QCOMPARE(valueOf(file, u"Page1"_s, u"ShortcutFont"_s), beta);
    }

    void leaveMissingDropsWhatIsNoFile_data()
    {
        QTest::addColumn<bool>("leaveMissing");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("dropped") << false << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("kept") << true << QStringList{u"a"_s, u"gone"_s, u"folder"_s, u"url"_s, u"b"_s};
    }
    void leaveMissingDropsWhatIsNoFile()
    {
        QFETCH(bool, leaveMissing);
        QFETCH(QStringList, kept);
        QVERIFY(writeAll(at(u"a.txt"_s), "a") && writeAll(at(u"b.txt"_s), "b"));
        QVERIFY(QDir(tmp_->path()).mkdir(u"folder"_s));
        const QList<std::pair<QString, QString>> items = {{u"a"_s, at(u"a.txt"_s)},
                                                          {u"gone"_s, at(u"gone.txt"_s)},
                                                          {u"folder"_s, at(u"folder"_s)},
                                                          {u"url"_s, u"https://example.org/"_s},
                                                          {u"b"_s, at(u"b.txt"_s)}};
        QStringList lines = {u"[General]"_s, u"Leave_Missing="_s + QString::number(leaveMissing), u"[Page0]"_s,
                             u"Item_CountTrue=5"_s};
        for (int i = 0; i < items.size(); ++i) {
            lines << u"[Page0\\Item%1]"_s.arg(i + 1) << u"AttachedFile="_s + items[i].second
                  << u"Label_Caption="_s + items[i].first << u"Item_Left=%1"_s.arg(10 * (i + 1));
        }
        QVERIFY(writeAll(iniPath(), iniText(lines)));

        Session s(iniPath());
        s.file.LoadAll();
        QVERIFY(s.prompt.calls.isEmpty());
        QCOMPARE(labelsOf(s.ws.desktop(0)), kept);
        QCOMPARE(s.file.SaveAll(), Result::Saved);

        const QByteArray file = readAll(iniPath());
        QCOMPARE(valueOf(file, u"Page0"_s, u"Item_CountTrue"_s), QString::number(kept.size()));
        for (int i = 0; i < kept.size(); ++i)
            QCOMPARE(valueOf(file, u"Page0\\Item%1"_s.arg(i + 1), u"Label_Caption"_s), kept[i]);
        QCOMPARE(valueOf(file, u"Page0\\Item2"_s, u"Item_Left"_s), leaveMissing ? u"20"_s : u"50"_s);
        // Higher-numbered sections stay behind, but the count hides them.
        QVERIFY(sectionsOf(file).contains(u"Page0\\Item5"_s));
        Session again(iniPath());
        again.file.LoadAll();
        QCOMPARE(labelsOf(again.ws.desktop(0)), kept);
    }

    void elementsAreNumberedAndNoteLinesMoveOnce()
    {
        Session s(iniPath());
        s.file.LoadAll();
        s.ws.CreateNewItem().Label_Caption = u"i1"_s;
        s.ws.CreateNewItem().Label_Caption = u"i2"_s;
        s.ws.work.NewElementPosition = QPoint(5, 6);
        s.ws.CreateNewNote().Lines = QStringList{u"first"_s, u"second"_s};
        s.ws.CreateNewItem().Label_Caption = u"i3"_s;
        QCOMPARE(s.file.SaveAll(), Result::Saved);

        const Stamp first = stampOf(iniPath());
        QCOMPARE(sectionsOf(first.bytes), (QStringList{u"General"_s, u"Page0"_s, u"Page0\\Item1"_s,
                                                       u"Page0\\Item2"_s, u"Page0\\Note1"_s, u"Page0\\Item3"_s}));
        QCOMPARE(valueOf(first.bytes, u"Page0\\Item3"_s, u"Label_Caption"_s), u"i3"_s);
        QCOMPARE(valueOf(first.bytes, u"Page0"_s, u"Item_CountTrue"_s), u"3"_s);
        QCOMPARE(valueOf(first.bytes, u"Page0"_s, u"Note_CountTrue"_s), u"1"_s);
        const QStringList noteKeys = {u"Note_Width=50"_s, u"Note_Height=30"_s, u"Note_Left=5"_s, u"Note_Top=6"_s,
                                      u"Note_Font="_s + DefaultFontText, u"Note_Color=0000FFFF"_s,
                                      u"UseParentColor=0"_s};
        const QStringList noteLines = {u"1=first"_s, u"2=second"_s};
        QCOMPARE(linesOf(first.bytes, u"Page0\\Note1"_s), QStringList{u"Count=2"_s} + noteLines + noteKeys);

        // The second save deletes and re-adds the numbered lines behind the
        // other keys: a real change, so the file is rewritten once.
        QCOMPARE(s.file.SaveAll(), Result::Saved);
        const Stamp second = stampOf(iniPath());
        QVERIFY(second.inode != first.inode);
        QCOMPARE(readAll(iniPath() + u".bak"_s), first.bytes);
        QCOMPARE(linesOf(second.bytes, u"Page0\\Note1"_s), QStringList{u"Count=2"_s} + noteKeys + noteLines);

        QCOMPARE(s.file.SaveAll(), Result::Saved);
        QVERIFY(stampOf(iniPath()) == second);

        // Loading puts the shortcuts first, each kind in its own order.
        Session loaded(iniPath());
        loaded.file.LoadAll();
        const Desktop &d = loaded.ws.desktop(0);
        QCOMPARE(labelsOf(d), (QStringList{u"i1"_s, u"i2"_s, u"i3"_s}));
        QCOMPARE(int(d.notes.size()), 1);
        QCOMPARE(d.notes[0]->Lines, (QStringList{u"first"_s, u"second"_s}));
    }

    void unchangedSaveLeavesFileAlone()
    {
        {
            Session s(iniPath());
            s.file.LoadAll();
            s.ws.CreateNewItem().AttachedFile = u"/bin/sh"_s;
            s.ws.CreateNewTabSheet().Desktop_Caption = u"Second"_s;
            QCOMPARE(s.file.SaveAll(), Result::Saved);
        }
        // A leftover section from an earlier, larger model.
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::Append));
        f.write("[Page0\\Item7]\r\nAttachedFile=leftover\r\n\r\n");
        f.close();
        const Stamp before = stampOf(iniPath());

        Session s(iniPath());
        s.file.LoadAll();
        QCOMPARE(s.file.SaveAll(), Result::Saved);
        QCOMPARE(s.host.saveStates, QStringList{u"Saved"_s});
        QVERIFY(stampOf(iniPath()) == before);
        QVERIFY(!QFile::exists(iniPath() + u".bak"_s));
    }

    void maximizedWindowKeepsStoredPosition()
    {
        QVERIFY(writeAll(iniPath(), iniText({u"[General]"_s, u"FormMaximized_Key=0"_s, u"FormWidth_Key=321"_s,
                                             u"FormHeight_Key=234"_s, u"FormTop_Key=22"_s, u"FormLeft_Key=11"_s})));
        Session s(iniPath());
        s.file.LoadAll();
        QCOMPARE(QRect(s.ws.global.FormLeft_Key, s.ws.global.FormTop_Key, s.ws.global.FormWidth_Key,
                       s.ws.global.FormHeight_Key),
                 QRect(11, 22, 321, 234));
        s.ws.global.FormWidth_Key = 999; // the normal geometry moved while maximized
        s.host.maximizeOnSave = true;
        QCOMPARE(s.file.SaveAll(), Result::Saved);
        const QStringList general = linesOf(readAll(iniPath()), u"General"_s);
        QCOMPARE(general.mid(0, 5), (QStringList{u"FormMaximized_Key=1"_s, u"FormWidth_Key=321"_s,
                                                 u"FormHeight_Key=234"_s, u"FormTop_Key=22"_s, u"FormLeft_Key=11"_s}));
    }

    void desktopListIsNeverEmpty_data()
    {
        QTest::addColumn<QByteArray>("content"); // or "<none>": no file, "<dir>": a directory at the path
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<bool>("loadError");
        QTest::newRow("missing file") << QByteArray("<none>") << QStringList{u"New Desktop"_s} << false;
        QTest::newRow("count beyond sections")
            << iniText({u"[General]"_s, u"Page_Count=3"_s, u"[Page0]"_s, u"Desktop_Caption=A"_s, u"[Page1]"_s,
                        u"Desktop_Caption=B"_s})
            << QStringList{u"A"_s, u"B"_s, u"New Desktop"_s} << false;
        QTest::newRow("zero") << iniText({u"[General]"_s, u"Page_Count=0"_s}) << QStringList{u"New Desktop"_s}
                              << true;
        QTest::newRow("negative") << iniText({u"[General]"_s, u"Page_Count=-4"_s})
                                  << QStringList{u"New Desktop"_s} << true;
        QTest::newRow("unreadable") << QByteArray("<dir>") << QStringList{u"New Desktop"_s} << true;
    }
    void desktopListIsNeverEmpty()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, captions);
        QFETCH(bool, loadError);
        if (content == "<dir>")
            QVERIFY(QDir().mkdir(iniPath()));
        else if (content != "<none>")
            QVERIFY(writeAll(iniPath(), content));
        Session s(iniPath());
        if (!loadError)
            s.ws.global.FormWidth_Key = 1; // whatever the window had before is replaced
        s.file.LoadAll();
        QCOMPARE(captionsOf(s.ws), captions);
        QCOMPARE(s.ws.work.ErrorsOccurred, loadError);
        QCOMPARE(s.prompt.headlines(), loadError ? QStringList{SettingsFile::LoadError} : QStringList());
        QVERIFY(!s.ws.work.Loading);
        QVERIFY(s.ws.activeDesktop());
        const Desktop &last = s.ws.desktop(s.ws.desktopCount() - 1);
        QCOMPARE(last.settings.BG_Color, Colour(0xC0C0C0));
        QVERIFY(last.settings.Background_Center && last.settings.Transparent);
        QVERIFY(last.settings.Background_Picture.isEmpty());
        QCOMPARE(last.settings.Password_On_Desktop, 1);
        QVERIFY(last.items.empty() && last.notes.empty());
        const GlobalSettings &g = s.ws.global;
        QVERIFY(!g.FormMaximized_Key);
        QCOMPARE(QRect(g.FormLeft_Key, g.FormTop_Key, g.FormWidth_Key, g.FormHeight_Key), QRect(200, 100, 700, 500));
        QVERIFY2(QFileInfo::exists(iniPath()) == (content != "<none>"), "loading must not create the file");
    }

    void emptyCaptionEndsSaveEarly()
    {
        Session s(iniPath());
        s.file.LoadAll();
        s.ws.desktop(0).Desktop_Caption = u"First"_s;
        s.ws.CreateNewTabSheet().Desktop_Caption.clear();
        s.ws.CreateNewItem();
        s.ws.CreateNewTabSheet().Desktop_Caption = u"Third"_s;
        QCOMPARE(s.file.SaveAll(), Result::Incomplete);
        QCOMPARE(s.prompt.texts(), QStringList{SettingsFile::EmptyCaptionError});
        QVERIFY(s.host.saveStates.isEmpty());
        QVERIFY(!s.ws.work.ErrorsOccurred);
        QVERIFY(!s.ws.work.Saving);

        const QByteArray file = readAll(iniPath());
        QCOMPARE(sectionsOf(file), (QStringList{u"General"_s, u"Page0"_s, u"Page1"_s}));
        QCOMPARE(valueOf(file, u"General"_s, u"Page_Count"_s), u"3"_s);
        QCOMPARE(valueOf(file, u"Page0"_s, u"Item_CountTrue"_s), u"0"_s);
        QCOMPARE(linesOf(file, u"Page1"_s), QStringList{u"ShortcutFont="_s + DefaultFontText});

        s.ws.desktop(1).Desktop_Caption = u"Second"_s;
        QCOMPARE(s.file.SaveAll(), Result::Saved);
        QCOMPARE(valueOf(readAll(iniPath()), u"Page2"_s, u"Desktop_Caption"_s), u"Third"_s);
    }

    void pictureMessages_data()
    {
        QTest::addColumn<bool>("messagesOn");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("messagesShown");
        QTest::newRow("yes: all") << true << int(ModalResult::Yes) << 3;
        QTest::newRow("cancel: all") << true << int(ModalResult::Cancel) << 3;
        QTest::newRow("no: first only") << true << int(ModalResult::No) << 1;
        QTest::newRow("messages off") << false << int(ModalResult::Yes) << 0;
    }
    void pictureMessages()
    {
        QFETCH(bool, messagesOn);
        QFETCH(int, answer);
        QFETCH(int, messagesShown);
        QVERIFY(writeAll(at(u"x.png"_s), "\x01\x02garbage, not a picture\xff\xfe"));
        QVERIFY(writeAll(at(u"y.png"_s), "more garbage"));
        QVERIFY(writeAll(iniPath(),
                         iniText({u"[General]"_s, u"Page_Count=3"_s, u"[Page0]"_s, u"Desktop_Caption=Home"_s,
                                  u"Background_Picture="_s + at(u"x.png"_s), u"[Page1]"_s, u"Desktop_Caption=Work"_s,
                                  u"Background_Picture="_s + at(u"y.png"_s), u"Item_CountTrue=1"_s,
                                  u"[Page1\\Item1]"_s, u"AttachedFile=/bin/sh"_s,
                                  u"Picture="_s + at(u"missing.png"_s), u"[Page2]"_s, u"Desktop_Caption=Away"_s,
                                  u"Background_Picture="_s + at(u"absent.png"_s)})));
        const QByteArray before = readAll(iniPath());
        Session s(iniPath());
        s.prompt.defaultAnswer = ModalResult(answer);
        s.file.LoadAll(messagesOn);

        const QStringList shown = {u"Error by loading background picture  "_s + at(u"x.png"_s) + u" in Home desktop"_s,
                                   u"Error by loading background picture  "_s + at(u"y.png"_s) + u" in Work desktop"_s,
                                   u"Error in TFormMain.LoadAll-AttachedFile: /bin/sh Picture: "_s
                                       + at(u"missing.png"_s)};
        QCOMPARE(s.prompt.calls.size(), 2 * messagesShown);
        for (int i = 0; i < messagesShown; ++i) {
            const FakePrompt::Call &message = s.prompt.calls[2 * i];
            const FakePrompt::Call &question = s.prompt.calls[2 * i + 1];
            QCOMPARE(message.kind, FakePrompt::Call::Message);
            QCOMPARE(message.text, shown[i]);
            QCOMPARE(question.text, SettingsFile::SimilarMessagesQuestion);
            QCOMPARE(question.type, MsgDlgType::Confirmation);
            QCOMPARE(question.buttons, unsigned(mbYes | mbNo | mbCancel));
        }
        QVERIFY(s.ws.work.ErrorsOccurred);
        QVERIFY(s.ws.desktop(0).settings.Background_Picture.isEmpty());
        QVERIFY(s.ws.desktop(1).settings.Background_Picture.isEmpty());
        QCOMPARE(s.ws.desktop(1).items[0]->Picture, at(u"missing.png"_s));
        QCOMPARE(s.ws.desktop(2).settings.Background_Picture, at(u"absent.png"_s));

        s.prompt.calls.clear();
        s.prompt.answer(ModalResult::No);
        QCOMPARE(s.file.SaveAll(), Result::Declined);
        QCOMPARE(s.prompt.calls.size(), 1);
        const FakePrompt::Call &ask = s.prompt.calls[0];
        QCOMPARE(ask.text, SettingsFile::SaveErrorsQuestion);
        QCOMPARE(ask.type, MsgDlgType::Warning);
        QCOMPARE(ask.buttons, unsigned(mbYes | mbNo | mbHelp));
        QCOMPARE(ask.helpContext, 10);
        QCOMPARE(readAll(iniPath()), before);
        QVERIFY(!s.ws.work.Saving);
    }

    void shortcutPictures_data()
    {
        QTest::addColumn<QString>("picture"); // "@name": a file in the test folder
        QTest::addColumn<bool>("fails");
        QTest::newRow("marker") << u"NONE"_s << false;
        QTest::newRow("automatic") << QString() << false;
        QTest::newRow("readable file") << u"@ok.png"_s << false;
        QTest::newRow("missing file") << u"@missing.png"_s << true;
        QTest::newRow("garbage file") << u"@x.png"_s << true;
        QTest::newRow("lower-case marker is a path") << u"none"_s << true;
    }
    void shortcutPictures()
    {
        QFETCH(QString, picture);
        QFETCH(bool, fails);
        if (picture.startsWith(u'@'))
            picture = at(picture.mid(1));
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(at(u"ok.png"_s)));
        QVERIFY(writeAll(at(u"x.png"_s), "garbage"));
        QVERIFY(writeAll(iniPath(), iniText({u"[Page0]"_s, u"Item_CountTrue=1"_s, u"[Page0\\Item1]"_s,
                                             u"AttachedFile=/Bin/Tool"_s, u"Picture="_s + picture})));
        Session s(iniPath());
        s.file.LoadAll();
        const QStringList expected = fails ? QStringList{u"Error in TFormMain.LoadAll-AttachedFile: /Bin/Tool Picture: "_s
                                                             + picture,
                                                         SettingsFile::SimilarMessagesQuestion}
                                           : QStringList();
        QCOMPARE(s.prompt.texts(), expected);
        QCOMPARE(s.ws.work.ErrorsOccurred, fails);
        QCOMPARE(s.ws.desktop(0).items[0]->Picture, picture);
        QCOMPARE(s.ws.desktop(0).items[0]->AttachedFile, u"/Bin/Tool"_s);
    }

    void reloadSeesPictureChanges()
    {
        const QString picture = at(u"late.png"_s);
        QVERIFY(writeAll(iniPath(), iniText({u"[Page0]"_s, u"Item_CountTrue=1"_s, u"[Page0\\Item1]"_s,
                                             u"AttachedFile=/bin/sh"_s, u"Picture="_s + picture})));
        const QString message = u"Error in TFormMain.LoadAll-AttachedFile: /bin/sh Picture: "_s + picture;
        Session s(iniPath());
        s.file.LoadAll();
        QCOMPARE(s.prompt.count(message), 1);

        // Repaired between two loads of one window: no message any more.
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(picture, "PNG"));
        s.prompt.calls.clear();
        s.file.ReloadAll();
        QCOMPARE(s.prompt.count(message), 0);

        // Broken again: reported again.
        QVERIFY(writeAll(picture, "garbage"));
        s.file.ReloadAll();
        QCOMPARE(s.prompt.count(message), 1);
    }

    void invalidValuesStopLoading_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QList<int>>("notes");
        QTest::newRow("note colour")
            << iniText({u"[General]"_s, u"Page_Count=2"_s, u"[Page0]"_s, u"Desktop_Caption=A"_s,
                        u"Note_CountTrue=1"_s, u"[Page0\\Note1]"_s, u"Note_Color=00FF00FF"_s, u"[Page1]"_s,
                        u"Desktop_Caption=B"_s, u"Note_CountTrue=2"_s, u"[Page1\\Note1]"_s, u"Note_Color=XYZ"_s,
                        u"[Page1\\Note2]"_s})
            << QStringList{u"A"_s, u"B"_s} << QList<int>{1, 0};
        QTest::newRow("on the desktop shown first")
            << iniText({u"[General]"_s, u"Page_Count=3"_s, u"Active_Page=1"_s, u"[Page0]"_s, u"Desktop_Caption=A"_s,
                        u"Note_CountTrue=1"_s, u"[Page1]"_s, u"Desktop_Caption=B"_s, u"Note_CountTrue=1"_s,
                        u"[Page1\\Note1]"_s, u"Note_Color=XYZ"_s, u"[Page2]"_s, u"Desktop_Caption=C"_s})
            << QStringList{u"A"_s, u"B"_s} << QList<int>{1, 0};
        QTest::newRow("active page beyond")
            << iniText({u"[General]"_s, u"Active_Page=3"_s, u"[Page0]"_s, u"Desktop_Caption=A"_s})
            << QStringList{u"A"_s} << QList<int>{0};
        QTest::newRow("negative active page")
            << iniText({u"[General]"_s, u"Active_Page=-1"_s, u"[Page0]"_s, u"Desktop_Caption=A"_s,
                        u"Note_CountTrue=1"_s})
            << QStringList{u"A"_s} << QList<int>{1};
    }
    void invalidValuesStopLoading()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, captions);
        QFETCH(QList<int>, notes);
        QVERIFY(writeAll(iniPath(), content));
        Session s(iniPath());
        s.file.LoadAll();
        QCOMPARE(s.prompt.headlines(), QStringList{SettingsFile::LoadError});
        QVERIFY(s.ws.work.ErrorsOccurred);
        QVERIFY(!s.ws.work.Loading);
        // What was loaded before the error stays.
        QCOMPARE(captionsOf(s.ws), captions);
        QList<int> loadedNotes;
        for (int p = 0; p < s.ws.desktopCount(); ++p)
            loadedNotes << int(s.ws.desktop(p).notes.size());
        QCOMPARE(loadedNotes, notes);
    }

    void invalidTextsKeepPreviousValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("no comma") << u"Bogus"_s << false;
        QTest::newRow("size not a number") << u"Mono,big,1,0000,clRed"_s << false;
        QTest::newRow("three style digits") << u"Mono,10,1,000,clRed"_s << false;
        QTest::newRow("unknown colour") << u"Mono,10,1,0000,clNoSuchColour"_s << false;
        QTest::newRow("valid") << u"Mono,10,0,1010,clRed"_s << true;
    }
    void invalidTextsKeepPreviousValues()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QVERIFY(writeAll(iniPath(), iniText({u"[General]"_s, u"TabFont="_s + text, u"Cell_Width=wide"_s,
                                             u"Tab_Position=yes"_s})));
        Session s(iniPath());
        FontSpec previous = defaultFont();
        previous.Name = u"Previous"_s;
        previous.Size = 14;
        s.ws.global.TabFont = previous;
        s.file.LoadAll();
        QVERIFY(s.prompt.calls.isEmpty());
        QVERIFY(!s.ws.work.ErrorsOccurred);
        QCOMPARE(FontToString(s.ws.global.TabFont), valid ? text : FontToString(previous));
        QCOMPARE(s.ws.global.Cell_Width, 92);
        QVERIFY(s.ws.global.Tab_Position);
    }

    void reloadReplacesDesktops()
    {
        QVERIFY(writeAll(iniPath(), iniText({u"[General]"_s, u"Page_Count=2"_s, u"Active_Page=1"_s, u"[Page0]"_s,
                                             u"Desktop_Caption=A"_s, u"Item_CountTrue=1"_s, u"[Page1]"_s,
                                             u"Desktop_Caption=B"_s, u"Password_On_Desktop=1"_s})));
        Session s(iniPath());
        s.file.LoadAll();
        QVERIFY(!s.host.reloadingAtDesktopChange);
        s.ws.desktop(0).Desktop_Caption = u"changed"_s;
        s.ws.CreateNewTabSheet();
        s.ws.CreateNewItem();

        s.file.ReloadAll();
        QCOMPARE(captionsOf(s.ws), (QStringList{u"A"_s, u"B"_s}));
        QCOMPARE(s.ws.activeIndex(), 1);
        QCOMPARE(int(s.ws.desktop(0).items.size()), 1);
        QCOMPARE(s.host.saveStates, QStringList{u"Unmodified"_s});
        QVERIFY(s.host.reloadingAtDesktopChange); // no password is asked during a reload
        QCOMPARE(s.host.reloadsStarted, 1);
        QCOMPARE(s.host.reloadsFinished, 1);
        QVERIFY(!s.ws.work.Reloading);
        QVERIFY(!s.ws.work.Loading);
    }

    void saveWhileSavingIsRefused()
    {
        Session s(iniPath());
        s.file.LoadAll();
        s.ws.work.Saving = true;
        s.ws.work.ErrorsOccurred = true;
        QCOMPARE(s.file.SaveAll(), Result::Busy);
        QVERIFY(s.ws.work.Saving); // the running save still owns the flag
        QVERIFY(s.prompt.calls.isEmpty());
        QVERIFY(!QFile::exists(iniPath()));

        s.ws.work.Saving = false;
        s.ws.work.ErrorsOccurred = false;
        Result inner = Result::Saved;
        s.host.onCapture = [&] { inner = s.file.SaveAll(); };
        QCOMPARE(s.file.SaveAll(), Result::Saved);
        QCOMPARE(inner, Result::Busy);
        QVERIFY(!s.ws.work.Saving);
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("parent is a file") << u"parent"_s;
        QTest::newRow("path is a directory") << u"directory"_s;
        QTest::newRow("exception mid-save") << u"exception"_s;
    }
    void failedSaveKeepsOldFile()
    {
        QFETCH(QString, how);
        const QString dir = at(u"cfg"_s);
        const QString path = dir + u"/vorlane.ini"_s;
        QVERIFY(QDir().mkdir(dir));
        {
            Session first(path);
            first.file.LoadAll();
            first.ws.CreateNewItem().AttachedFile = u"/bin/sh"_s;
            QCOMPARE(first.file.SaveAll(), Result::Saved);
        }
        const QByteArray old = readAll(path);
        Session s(path);
        s.file.LoadAll();
        s.ws.global.Cell_Width = 120;
        s.ws.desktop(0).settings.BG_Color = clr::clBtnFace;

        if (how == u"parent") {
            QVERIFY(QDir().rename(dir, dir + u".away"_s) && writeAll(dir, "in the way"));
        } else if (how == u"directory") {
            QVERIFY(QFile::rename(path, path + u".away"_s) && QDir().mkdir(path));
        } else {
            // Raised after "General" has been changed in memory.
            setSystemColourResolver([](int) -> Colour { throw std::runtime_error("palette unavailable"); });
        }
        QCOMPARE(s.file.SaveAll(), Result::Failed);
        QCOMPARE(s.prompt.texts(), QStringList{SettingsFile::SaveError});
        QVERIFY(s.ws.work.ErrorsOccurred);
        QVERIFY(!s.ws.work.Saving);
        QVERIFY(!s.host.saveStates.contains(u"Saved"_s));

        if (how == u"parent") {
            QVERIFY(QFile::remove(dir) && QDir().rename(dir + u".away"_s, dir));
        } else if (how == u"directory") {
            QVERIFY(QDir().rmdir(path) && QFile::rename(path + u".away"_s, path));
        } else {
            setSystemColourResolver({});
        }
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{u"vorlane.ini"_s});

        // Not wedged: the next save asks about the error, then writes.
        s.prompt.calls.clear();
        s.prompt.answer(ModalResult::Yes);
        QCOMPARE(s.file.SaveAll(), Result::Saved);
        QCOMPARE(s.prompt.texts(), QStringList{SettingsFile::SaveErrorsQuestion});
        QVERIFY(!s.ws.work.ErrorsOccurred);
        QCOMPARE(valueOf(readAll(path), u"General"_s, u"Cell_Width"_s), u"120"_s);
    }

    void longTextsSurvive()
    {
        const QString file = u"/Data/MixedCase/"_s + QString(1000, u'x') + u".TXT"_s;
        const QString line = QString(997, u'a') + u"äöü"_s;
        {
            Session s(iniPath());
            s.file.LoadAll();
            ShortcutItem &item = s.ws.CreateNewItem();
            item.AttachedFile = file;
            item.Label_Caption = line;
            s.ws.CreateNewNote().Lines = QStringList{line, QString(), line};
            QCOMPARE(s.file.SaveAll(), Result::Saved);
        }
        Session s(iniPath());
        s.file.LoadAll();
        const Desktop &d = s.ws.desktop(0);
        QCOMPARE(d.items[0]->AttachedFile, file);
        QCOMPARE(d.items[0]->Label_Caption, line);
        QCOMPARE(d.notes[0]->Lines, (QStringList{line, QString(), line}));
    }

    void windows1252FileLoadsAndSavesAsUtf8()
    {
        QVERIFY(writeAll(iniPath(), "[General]\r\nPage_Count=1\r\n[Page0]\r\nDesktop_Caption=Caf\xe9 \x80 Stra\xdf"
                                    "e\r\n"));
        const QString caption = u"Café € Straße"_s;
        Session s(iniPath());
        s.file.LoadAll();
        QVERIFY(s.prompt.calls.isEmpty());
        QCOMPARE(s.ws.desktop(0).Desktop_Caption, caption);
        QCOMPARE(s.file.SaveAll(), Result::Saved);

        const QByteArray saved = readAll(iniPath());
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8(saved);
        QVERIFY(!utf8.hasError());
        QVERIFY(decoded.contains(u"Desktop_Caption="_s + caption));
        Session again(iniPath());
        again.file.LoadAll();
        QCOMPARE(again.ws.desktop(0).Desktop_Caption, caption);
    }

    void foreignFileIsNeverOverwritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary zeros") << QByteArray(4096, '\0');
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator gen(20240611);
        for (char &c : noise) {
            c = static_cast<char>(gen.bounded(256));
            if (c == '[')
                c = '{';
        }
        QTest::newRow("random bytes") << noise;
        QTest::newRow("one huge line") << QByteArray(3 * 1024 * 1024, 'x');
        QTest::newRow("keys without section") << iniText({u"Page_Count=1"_s, u"Desktop_Caption=Imposter"_s});
    }
    void foreignFileIsNeverOverwritten()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeAll(iniPath(), content));
        Session s(iniPath());
        s.file.LoadAll();
        QCOMPARE(s.prompt.headlines(), QStringList{SettingsFile::LoadError});
        QVERIFY(s.ws.work.ErrorsOccurred);
        QCOMPARE(captionsOf(s.ws), QStringList{u"New Desktop"_s});

        s.prompt.calls.clear();
        s.prompt.answer(ModalResult::No);
        QCOMPARE(s.file.SaveAll(), Result::Declined);
        QCOMPARE(s.prompt.texts(), QStringList{SettingsFile::SaveErrorsQuestion});
        QCOMPARE(readAll(iniPath()), content);
        QVERIFY(!QFile::exists(iniPath() + u".bak"_s));
    }

    void countsAreBoundedYetPlausibleOnesHold()
    {
        // A hand-edited or truncated file: the counts name more than it holds,
        // and what is missing loads with defaults.
        QVERIFY(writeAll(iniPath(), iniText({u"[General]"_s, u"Page_Count=3"_s, u"[Page0]"_s, u"Item_CountTrue=6"_s,
                                             u"Note_CountTrue=1"_s, u"[Page0\\Note1]"_s, u"Count=3"_s, u"1=a"_s})));
        Session plausible(iniPath());
        plausible.file.LoadAll();
        QCOMPARE(captionsOf(plausible.ws), (QStringList{u"New Desktop"_s, u"New Desktop"_s, u"New Desktop"_s}));
        QCOMPARE(int(plausible.ws.desktop(0).items.size()), 6);
        QCOMPARE(plausible.ws.desktop(0).notes.at(0)->Lines,
                 (QStringList{u"a"_s, u"This is Note"_s, u"This is Note"_s}));
        QVERIFY(plausible.prompt.calls.isEmpty());

        // Absurd counts are bounded per file: by what it holds plus the
        // allowance for missing sections and note lines, never multiplied
        // by the number of desktops.
        QStringList lines = {u"[General]"_s, u"Page_Count=2000000000"_s};
        const int pages = 200;
        for (int p = 0; p < pages; ++p)
            lines << u"[Page%1]"_s.arg(p) << u"Item_CountTrue=2000000000"_s << u"Note_CountTrue=2000000000"_s;
        lines << u"[Page0\\Note1]"_s << u"Count=2000000000"_s << u"1=hello"_s;
        QVERIFY(writeAll(iniPath(), iniText(lines)));
        Session many(iniPath());
        many.file.LoadAll();
        const int sections = pages + 2;
        const int allowed = sections + SettingsFile::MissingSectionAllowance;
        int elements = 0;
        qsizetype noteLines = 0;
        for (int p = 0; p < many.ws.desktopCount(); ++p) {
            const Desktop &d = many.ws.desktop(p);
            elements += int(d.items.size() + d.notes.size());
            for (const auto &note : d.notes)
                noteLines += note->Lines.size();
        }
        QVERIFY2(many.ws.desktopCount() + elements <= allowed, qPrintable(QString::number(elements)));
        QVERIFY(noteLines <= 3 + SettingsFile::MissingNoteLineAllowance);
        QCOMPARE(many.ws.desktop(0).notes.at(0)->Lines.value(0), u"hello"_s);
    }

    void modelJsonHasFileShape()
    {
        QVERIFY(writeAll(iniPath(), iniText({u"[General]"_s, u"Page_Count=2"_s, u"Active_Page=1"_s, u"[Page0]"_s,
                                             u"Item_CountTrue=1"_s, u"[Page0\\Item1]"_s, u"AttachedFile=/bin/sh"_s,
                                             u"Item_Left=42"_s, u"[Page1]"_s, u"Note_CountTrue=1"_s,
                                             u"[Page1\\Note1]"_s, u"Count=2"_s, u"1=l1"_s, u"2=l2"_s})));
        Session s(iniPath());
        s.file.LoadAll();
        const QString tricky = u"He said \"hi\"\t\\ é ✓ "_s + QChar(0x01);
        s.ws.desktop(0).Desktop_Caption = tricky;

        const QByteArray raw = QByteArray::fromStdString(modelToJson(s.ws));
        QJsonParseError error{};
        const QJsonObject root = QJsonDocument::fromJson(raw, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(root.keys(), (QStringList{u"ErrorsOccurred"_s, u"General"_s, u"Pages"_s}));
        QCOMPARE(root.value(u"ErrorsOccurred"_s), QJsonValue(false));

        const QJsonObject general = root.value(u"General"_s).toObject();
        QCOMPARE(general.size(), 24);
        qsizetype last = -1;
        for (const auto &[key, value] : generalKeys()) {
            QVERIFY2(general.contains(key), qPrintable(key));
            const qsizetype pos = raw.indexOf('"' + key.toUtf8() + "\":");
            QVERIFY2(pos > last, qPrintable(key + u" is out of the file's order"_s));
            last = pos;
        }
        QCOMPARE(general.value(u"Active_Page"_s).toInt(), 1);
        QCOMPARE(general.value(u"ShortcutFont"_s).toString(), DefaultFontText);

        const QJsonArray pages = root.value(u"Pages"_s).toArray();
        QCOMPARE(pages.size(), 2);
        for (const QJsonValue &page : pages) {
            QVERIFY(page.toObject().value(u"Items"_s).isArray());
            QVERIFY(page.toObject().value(u"Notes"_s).isArray());
        }
        const QJsonObject page0 = pages[0].toObject();
        QCOMPARE(page0.value(u"Desktop_Caption"_s).toString(), tricky);
        QCOMPARE(page0.value(u"BG_Color"_s).toInt(), 0xC0C0C0);
        const QJsonObject item = page0.value(u"Items"_s).toArray().at(0).toObject();
        QCOMPARE(item.value(u"AttachedFile"_s).toString(), u"/bin/sh"_s);
        QCOMPARE(item.value(u"Item_Left"_s).toInt(), 42);
        const QJsonObject note = pages[1].toObject().value(u"Notes"_s).toArray().at(0).toObject();
        QCOMPARE(note.value(u"Lines"_s).toArray(), (QJsonArray{u"l1"_s, u"l2"_s}));
        QCOMPARE(note.value(u"Note_Color"_s).toInt(), 0xFFFF);
    }

    void resaveExitCodes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<int>("exitCode");
        QTest::newRow("saved") << u"vorlane.ini"_s << QByteArray() << 0;
        QTest::newRow("declined after load error")
            << u"vorlane.ini"_s << iniText({u"[General]"_s, u"Active_Page=9"_s}) << 2;
        QTest::newRow("write fails") << u"no-such-folder/vorlane.ini"_s << QByteArray() << 1;
        QTest::newRow("empty caption") << u"vorlane.ini"_s << iniText({u"[Page0]"_s, u"Desktop_Caption="_s}) << 1;
    }
    void resaveExitCodes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, exitCode);
        const QString path = at(name);
        if (!content.isEmpty())
            QVERIFY(writeAll(path, content));
        QCOMPARE(runResave(path), exitCode);
        if (exitCode == 0)
            QCOMPARE(valueOf(readAll(path), u"General"_s, u"Page_Count"_s), u"1"_s);
        if (exitCode == 2)
            QCOMPARE(readAll(path), content);
    }

    void settingsLocation_data()
    {
        QTest::addColumn<QString>("programDir"); // relative names are inside the test folder
        QTest::addColumn<QString>("env");
        QTest::addColumn<QString>("installedDir");
        QTest::addColumn<QString>("expected");
        QTest::newRow("environment wins") << u"prog"_s << u"@custom/my.ini"_s << QString() << u"@custom/my.ini"_s;
        QTest::newRow("writable program folder") << u"prog"_s << QString() << QString() << u"@prog/vorlane.ini"_s;
        QTest::newRow("missing program folder") << u"gone"_s << QString() << QString() << u"@cfg/vorlane/vorlane.ini"_s;
        QTest::newRow("program path is a file") << u"plain"_s << QString() << QString() << u"@cfg/vorlane/vorlane.ini"_s;
        QTest::newRow("no program folder") << QString() << QString() << QString() << u"@cfg/vorlane/vorlane.ini"_s;
        // Root can write /usr/bin; the installed program is no portable copy.
        QTest::newRow("installed folder") << u"prog"_s << QString() << u"@prog"_s << u"@cfg/vorlane/vorlane.ini"_s;
        QTest::newRow("installed folder by another name")
            << u"prog"_s << QString() << u"@prog/../prog/"_s << u"@cfg/vorlane/vorlane.ini"_s;
        QTest::newRow("a copy elsewhere") << u"prog"_s << QString() << u"@cfg"_s << u"@prog/vorlane.ini"_s;
        QTest::newRow("installed folder, environment wins")
            << u"prog"_s << u"@custom/my.ini"_s << u"@prog"_s << u"@custom/my.ini"_s;
    }
    void settingsLocation()
    {
        QFETCH(QString, programDir);
        QFETCH(QString, env);
        QFETCH(QString, installedDir);
        QFETCH(QString, expected);
        const auto resolve = [&](const QString &p) { return p.startsWith(u'@') ? at(p.mid(1)) : p; };
        QVERIFY(QDir().mkdir(at(u"prog"_s)) && writeAll(at(u"plain"_s), "x"));
        const QString program = programDir.isEmpty() ? QString() : at(programDir);
        QCOMPARE(settingsFilePath(program, resolve(env), at(u"cfg"_s), resolve(installedDir)), resolve(expected));
        // Only the configuration fallback creates its folder.
        QCOMPARE(QFileInfo(at(u"cfg/vorlane"_s)).isDir(), expected.startsWith(u"@cfg"_s));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
