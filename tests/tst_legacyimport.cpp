// The older versions' registry settings: the export files that carry them,
// their import into the model, and `vorlane --import-registry` end to end.
#include "platform/RegistryFile.h"
#include "storage/BigIni.h"
#include "storage/LegacyImport.h"
#include "storage/ModelJson.h"
#include "storage/SettingsFile.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace vl;
using vl::test::FakePrompt;
using vl::test::readAll;
using vl::test::writeAll;
using Type = RegistryFile::Value::Type;

namespace {

QByteArray fontRecord(const QByteArray &name, quint32 colour, quint8 charset, qint32 size, quint8 styles,
                      int lengthByte = -1)
{
    QByteArray r(40, '\0');
    r[0] = static_cast<char>(lengthByte < 0 ? name.size() : lengthByte);
    for (int i = 0; i < name.size() && i < 23; ++i)
        r[1 + i] = name[i];
    for (int i = 0; i < 4; ++i) {
        r[24 + i] = static_cast<char>(colour >> (8 * i));
        r[32 + i] = static_cast<char>(static_cast<quint32>(size) >> (8 * i));
    }
    r[28] = static_cast<char>(charset);
    r[36] = static_cast<char>(styles);
    return r;
}

// As the registry editor writes them: 16 bytes a line, continued by a backslash.
QByteArray hexList(const QByteArray &bytes)
{
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out += QByteArray::number(static_cast<quint8>(bytes[i]), 16).rightJustified(2, '0');
        if (i + 1 < bytes.size())
            out += (i % 16 == 15) ? ",\\\n  " : ",";
    }
    return out;
}

const QByteArray FontA = fontRecord("Tahoma", 0, 0, 8, 0);
const QByteArray FontB = fontRecord("Arial", 0x112233, 1, 12, 1);
const QByteArray FontC = fontRecord("Verdana", 0xFF, 204, 10, 2 | 4);
const QByteArray FontE = fontRecord("Courier New", 0, 0, 9, 8);

// One set of settings, written below in each file form.
struct Entry {
    const char *key; // below the key of the older versions
    const char *name;
    char kind; // 's' text, 'e' expand string, 'd' dword, 'b' binary
    QByteArray data; // UTF-8 text, or the bytes
    quint32 number = 0;
};
const QList<Entry> Settings = {
    {"", "ShortcutFont", 'b', FontA}, {"", "TabFont", 'b', FontB}, {"\\General", "FormMaximized_Key", 'd', {}, 0},
    {"\\General", "FormWidth_Key", 's', "800"}, {"\\General", "FormHeight_Key", 'd', {}, 600},
    {"\\General", "FormLeft_Key", 'd', {}, 10}, {"\\General", "FormTop_Key", 'd', {}, 20},
    {"\\General", "Immediate_Save", 'd', {}, 1}, {"\\General", "Tab_Position", 'd', {}, 0},
    {"\\General", "Cell_Height", 's', "90"}, {"\\General", "Page_Count", 'd', {}, 3},
    {"\\General", "Active_Page", 'd', {}, 1}, {"\\General", "Auto_Save", 'd', {}, 1},
    {"\\General", "Wave_File", 's', "C:\\Sounds\\ding.wav"}, {"\\Page0", "ShortcutFont", 'b', FontC},
    {"\\Page0", "Desktop_Caption", 's', "B\xc3\xbcro \"1\""}, {"\\Page0", "Item_CountTrue", 'd', {}, 2},
    {"\\Page0", "Background_Stretch", 'd', {}, 1}, {"\\Page0", "Password_On_Desktop", 'd', {}, 0},
    {"\\Page0", "BG_Color", 'd', {}, 0x00ff8040}, {"\\Page0", "Transparent", 'd', {}, 0},
    {"\\Page0\\Item1", "AttachedFile", 's', "C:\\Programs\\app.exe"},
    {"\\Page0\\Item1", "CommandString", 's', "-x \"a b\""}, {"\\Page0\\Item1", "Picture", 's', "NONE"},
    {"\\Page0\\Item1", "Item_Left", 'd', {}, 100}, {"\\Page0\\Item1", "Item_Top", 's', "50"},
    {"\\Page0\\Item2", "AttachedFile", 'e', "%WINDIR%\\notepad.exe"}, {"\\Page1", "Item_CountTrue", 'd', {}, 0},
    {"\\Page2", "ShortcutFont", 'b', FontE}, {"\\Page2", "Desktop_Caption", 's', "Drei"},
};

QByteArray escaped(const QString &text, bool wine)
{
    QByteArray out;
    for (QChar c : text) {
        if (c == u'\\' || c == u'"')
            out += '\\';
        if (wine && c.unicode() > 127)
            out += "\\x" + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
        else
            out += QString(c).toUtf8();
    }
    return out;
}

// The registry editor's form (as UTF-8 text; the callers encode it) with a
// key of another hive in it, or Wine's user.reg.
QByteArray settingsText(const char *header)
{
    const bool wine = QByteArray(header).startsWith("WINE");
    const bool version5 = QByteArray(header).startsWith("Windows");
    QByteArray out = QByteArray(header) + "\n; older settings\n";
    if (wine)
        out += ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n#arch=win32\n";
    else
        out += "[HKEY_LOCAL_MACHINE\\Software\\Quendry\\Vorlane\\General]\n\"Page_Count\"=dword:00000009\n";
    QByteArray key = "-";
    for (const Entry &e : Settings) {
        if (key != e.key) {
            key = e.key;
            const QByteArray path = "Software\\Quendry\\Vorlane" + key;
            out += wine ? "\n[" + QByteArray(path).replace("\\", "\\\\") + "] 1700000000\n#time=1d9f0a7b3c1e2f0\n"
                        : "\n[HKEY_CURRENT_USER\\" + path + "]\n";
        }
        out += '"' + QByteArray(e.name) + "\"=";
        const QString text = QString::fromUtf8(e.data);
        switch (e.kind) {
        case 's': out += '"' + escaped(text, wine) + "\"\n"; break;
        case 'd': out += "dword:" + QByteArray::number(e.number, 16).rightJustified(8, '0') + '\n'; break;
        case 'b': out += "hex:" + hexList(e.data) + '\n'; break;
        default:
            if (wine) {
                out += "str(2):\"" + escaped(text, true) + "\"\n";
                break;
            }
            const QString z = text + QChar(0);
            out += "hex(2):"
                   + hexList(version5 ? QByteArray(reinterpret_cast<const char *>(z.utf16()), z.size() * 2) : z.toLatin1())
                   + '\n';
        }
    }
    return out.replace("\n", "\r\n");
}

QByteArray utf16(const QString &text, bool bom)
{
    return (bom ? QByteArray("\xFF\xFE") : QByteArray())
           + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

QByteArray regEdit4() { return QString::fromUtf8(settingsText("REGEDIT4")).toLatin1(); }

// A registry editor export of the given lines below the key.
QByteArray regEdit(const QByteArray &body)
{
    return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane]\r\n" + body;
}

// Records what the import asked of the window, and when.
class Host : public SettingsHost {
public:
    explicit Host(Workspace &ws) : ws_(ws) {}
    void applyWindowState(const GlobalSettings &) override { loadingSeen = loadingSeen && ws_.work.Loading; }
    void processEvents() override
    {
        loadingSeen = loadingSeen && ws_.work.Loading;
        immediateSaveSeen = immediateSaveSeen || ws_.global.Immediate_Save;
    }
    void desktopChanged() override
    {
        ++changes;
        immediateSaveSeen = immediateSaveSeen || ws_.global.Immediate_Save;
        loadingAtChange = ws_.work.Loading;
    }
    bool loadingSeen = true;
    bool immediateSaveSeen = false;
    bool loadingAtChange = true;
    int changes = 0;

private:
    Workspace &ws_;
};

struct Imported {
    Workspace ws;
    FakePrompt prompt;
    Host host{ws};
    LegacyImport import{ws, prompt, host};

    // Also false when the check before an import disagrees with the import:
    // refusal() must refuse exactly what would fail part-way.
    bool run(const QByteArray &file)
    {
        QString error;
        const auto reg = RegistryFile::parse(file, &error);
        if (!reg) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        const int errorsBefore = prompt.count(LegacyImport::ImportError);
        import.LoadFromRegistry(*reg);
        const bool failed = prompt.count(LegacyImport::ImportError) > errorsBefore;
        const std::optional<QString> refused = LegacyImport::refusal(*reg);
        if (refused.has_value() != (failed || !LegacyImport::holdsSettings(*reg))) {
            qWarning("the import %s, but the check said %s", failed ? "failed" : "went through",
                     refused ? qPrintable(*refused) : "nothing");
            return false;
        }
        return true;
    }
};

QString describe(const std::optional<RegistryFile::Value> &v)
{
    if (!v)
        return u"absent"_s;
    switch (v->type) {
    case Type::String: return u"text:"_s + v->text;
    case Type::ExpandString: return u"expand:"_s + v->text;
    case Type::MultiString: return u"multi:"_s + v->text;
    case Type::Dword: return u"dword:"_s + QString::number(v->number);
    case Type::Qword: return u"qword:"_s + QString::number(v->number);
    case Type::Binary: return u"binary:"_s + QString::fromLatin1(v->bytes.toHex());
    case Type::Other: return u"other:"_s + QString::fromLatin1(v->bytes.toHex());
    }
    return {};
}

// The file with the older versions' key appended as its producer writes a
// key: Wine's escaped form below the hive the file names, or a registry
// editor's in the file's own encoding and line ends. The caption's "ü"
// shows that the appended text was read in the file's encoding.
QByteArray withVorlaneKey(const QByteArray &file)
{
    if (file.startsWith("\xFF\xFE")) {
        const bool crlf = file.contains(QByteArray("\r\0\n\0", 4));
        QString key = u"\n[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\Page0]\n\"Desktop_Caption\"=\"Büro\"\n"_s;
        if (crlf)
            key.replace(u"\n"_s, u"\r\n"_s);
        return file + utf16(key, false);
    }
    QByteArray key = file.startsWith("WINE")
                         ? "\n[Software\\\\Quendry\\\\Vorlane\\\\Page0] 1700000000\n#time=1da0c2f7b3c1e20\n"
                           "\"Desktop_Caption\"=\"B\\x00fcro\"\n"
                         : "\n[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\Page0]\n\"Desktop_Caption\"=\"B"
                               + QByteArray(file.startsWith("REGEDIT4") ? "\xFC" : "\xC3\xBC") + "ro\"\n";
    if (file.contains("\r\n"))
        key.replace("\n", "\r\n");
    return file + key;
}

} // namespace

class TestLegacyImport : public QObject {
    Q_OBJECT

private slots:
    // Every form of the same settings gives the same model.
    void sameSettingsInEveryForm_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray version5 = settingsText("Windows Registry Editor Version 5.00");
        QTest::newRow("REGEDIT4") << regEdit4();
        QTest::newRow("version 5, UTF-16LE") << utf16(QString::fromUtf8(version5), true);
        QTest::newRow("version 5, UTF-16LE without BOM") << utf16(QString::fromUtf8(version5), false);
        QTest::newRow("version 5, UTF-8") << version5;
        QTest::newRow("version 5, UTF-8 with BOM") << "\xEF\xBB\xBF" + version5;
        QTest::newRow("Wine user.reg") << settingsText("WINE REGISTRY Version 2");
    }
    void sameSettingsInEveryForm()
    {
        QFETCH(QByteArray, file);
        Imported a;
        QVERIFY(a.run(file));
        QVERIFY2(a.prompt.calls.isEmpty(), qPrintable(a.prompt.texts().join(u'|')));
        const GlobalSettings &g = a.ws.global;
        QCOMPARE(g.FormWidth_Key, 800);
        QCOMPARE(g.FormHeight_Key, 600);
        QCOMPARE(g.FormLeft_Key, 10);
        QCOMPARE(g.FormTop_Key, 20);
        QVERIFY(g.Immediate_Save && g.Auto_Save && !g.Tab_Position);
        QCOMPARE(g.Cell_Height, 90);
        QCOMPARE(g.Cell_Width, 92);
        QCOMPARE(g.Wave_File, u"C:\\Sounds\\ding.wav"_s);
        QCOMPARE(FontToString(g.TabFont), u"Arial,12,1,1000,$00112233"_s);
        QCOMPARE(a.ws.desktopCount(), 3); // the other hive's Page_Count is not ours
        QCOMPARE(a.ws.activeIndex(), 1);
        const Desktop &d0 = a.ws.desktop(0);
        QCOMPARE(d0.Desktop_Caption, u"Büro \"1\""_s);
        QCOMPARE(d0.settings.ShortcutFont.Name, u"Verdana"_s);
        QVERIFY(d0.settings.Background_Stretch && d0.settings.Background_Center && !d0.settings.Transparent);
        QCOMPARE(d0.settings.BG_Color, 0x00ff8040);
        QCOMPARE(d0.settings.Password_On_Desktop, 0);
        QCOMPARE(d0.items.size(), std::size_t(2));
        QCOMPARE(d0.items[0]->CommandString, u"-x \"a b\""_s);
        QCOMPARE(d0.items[0]->Item_Left, 100);
        QCOMPARE(d0.items[0]->Item_Top, 50);
        QCOMPARE(d0.items[1]->AttachedFile, u"%WINDIR%\\notepad.exe"_s);
        // Without a font and a caption of its own: the font before it, "NewDesktop".
        QCOMPARE(a.ws.desktop(1).Desktop_Caption, u"NewDesktop"_s);
        QCOMPARE(a.ws.desktop(1).settings.ShortcutFont, d0.settings.ShortcutFont);
        QCOMPARE(a.ws.desktop(2).settings.ShortcutFont.Name, u"Courier New"_s);
        QCOMPARE(g.ShortcutFont, a.ws.desktop(2).settings.ShortcutFont);

        Imported reference;
        QVERIFY(reference.run(regEdit4()));
        QCOMPARE(QString::fromStdString(modelToJson(a.ws)), QString::fromStdString(modelToJson(reference.ws)));
    }

    void values_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key"); // below HKEY_CURRENT_USER
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const QString k = LegacyImport::Key;
        // "a"="C:\\x\"y\"\n": only \\ and \" are escapes.
        QTest::newRow("escapes") << regEdit("\"a\"=\"C:\\\\x\\\"y\\\"\\n\"") << k << u"a"_s << u"text:C:\\x\"y\"\\n"_s;
        QTest::newRow("names any case, default value") << regEdit("@=\"d\"\r\n\"A b\"=\"1\"") << k.toUpper()
                                                        << QString() << u"text:d"_s;
        QTest::newRow("HKCU, doubled backslashes") << QByteArray("REGEDIT4\n[HKCU\\Software\\\\Quendry\\Vorlane\\]\n\"x\"=dword:ffffffff")
                                                   << k << u"x"_s << u"dword:4294967295"_s;
        QTest::newRow("continued hex, comments in and after it")
            << regEdit("\"b\"=hex:01,02,\\\n; note\n  03 ,ff,\\\n  10 ; end\n\"c\"=\"after\"") << k << u"b"_s
            << u"binary:010203ff10"_s;
        QTest::newRow("empty line ends a continued list")
            << regEdit("\"b\"=hex:01,\\\n\n\"c\"=\"after\"") << k << u"c"_s << u"text:after"_s;
        QTest::newRow("qword") << regEdit("\"q\"=hex(b):01,00,00,00,00,00,00,80") << k << u"q"_s
                               << u"qword:9223372036854775809"_s;
        QTest::newRow("multi string") << QByteArray("Windows Registry Editor Version 5.00\n[HKCU\\x]\n\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00")
                                      << u"x"_s << u"m"_s << u"multi:a\nb"_s;
        QTest::newRow("REGEDIT4 expand string is 8-bit") << regEdit("\"e\"=hex(2):e9,41,00") << k << u"e"_s << u"expand:éA"_s;
        QTest::newRow("REGEDIT4 Windows-1252") << regEdit("\"t\"=\"\x80 \xfc\"") << k << u"t"_s << u"text:€ ü"_s;
        QTest::newRow("other type") << regEdit("\"o\"=hex(0):05") << k << u"o"_s << u"other:05"_s;
        QTest::newRow("later value wins") << regEdit("\"v\"=\"1\"\n\"V\"=dword:2") << k << u"v"_s << u"dword:2"_s;
        QTest::newRow("value deleted") << regEdit("\"v\"=\"1\"\n\"v\"=-") << k << u"v"_s << u"absent"_s;
        // The registry editor leaves out a dword of more than 8 digits and
        // imports the rest; so does the reader.
        QTest::newRow("nine-digit dword left out")
            << regEdit("\"d\"=\"1\"\n\"d\"=dword:0ffffffff\n\"e\"=\"2\"") << k << u"d"_s << u"text:1"_s;
        const QByteArray tree = regEdit("\"v\"=\"1\"\n[HKCU\\Software\\Quendry\\Vorlane\\Page0\\Item1]\n\"a\"=\"x\"\n"
                                        "[HKCU\\Software\\Quendry\\Vorlane Old]\n\"a\"=\"kept\"\n"
                                        "[-HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane]\n\"a\"=\"nowhere\"\n"
                                        "[HKCU\\Software\\Quendry\\Vorlane\\Page1]\n\"n\"=\"new\"\n");
        QTest::newRow("key deleted") << tree << k << u"v"_s << u"absent"_s;
        QTest::newRow("subkey deleted") << tree << k + u"\\Page0\\Item1"_s << u"a"_s << u"absent"_s;
        QTest::newRow("sibling kept") << tree << k + u" Old"_s << u"a"_s << u"text:kept"_s;
        QTest::newRow("key added again") << tree << k + u"\\page1"_s << u"N"_s << u"text:new"_s;
        QTest::newRow("other hive") << QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Quendry\\Vorlane]\n\"v\"=\"1\"")
                                    << k << u"v"_s << u"absent"_s;
        const QByteArray wine = "WINE REGISTRY Version 2\n[Software\\\\Quendry\\\\Vorlane] 1700000000\n#time=1\n"
                                "\"s\"=\"a\\\\b\\\"\\x00e9\\x20ac\\t\\101\\q\"\n\"m\"=str(7):\"x\\0y\\0\"\n"
                                "\"w\"=str:\"plain\"\n\"h\"=hex(2):25,00,41,00,00,00\n";
        QTest::newRow("Wine escapes") << wine << k << u"s"_s << u"text:a\\b\"é€\tAq"_s;
        QTest::newRow("Wine multi string") << wine << k << u"m"_s << u"multi:x\ny"_s;
        QTest::newRow("Wine str:") << wine << k << u"w"_s << u"text:plain"_s;
        QTest::newRow("Wine expand string is UTF-16") << wine << k << u"h"_s << u"expand:%A"_s;
        QTest::newRow("Wine userdef.reg is another hive")
            << QByteArray("WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\.Default\n"
                          "[Software\\\\Quendry\\\\Vorlane] 1\n\"v\"=\"1\"\n")
            << k << u"v"_s << u"absent"_s;
        QTest::newRow("Wine system.reg is another hive")
            << QByteArray("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n[Software\\\\Quendry\\\\Vorlane] 1\n\"v\"=\"1\"\n")
            << k << u"v"_s << u"absent"_s;
    }
    void values()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QString error;
        const auto reg = RegistryFile::parse(file, &error);
        QVERIFY2(reg, qPrintable(error));
        QCOMPARE(describe(reg->value(key, name)), expected);
    }

    // Real files of every producer at hand (tests/data/registry/README.md
    // names their sources) are read, and the older versions' key appended in
    // the producer's own syntax imports, unless the file is of another hive.
    void realFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<RegistryFile::Format>("format");
        QTest::addColumn<bool>("imports");
        const auto wine = RegistryFile::Format::Wine;
        const auto v4 = RegistryFile::Format::RegEdit4;
        const auto v5 = RegistryFile::Format::RegEdit5;
        const std::tuple<const char *, RegistryFile::Format, bool> files[] = {
            {"wine-2012-user.reg", wine, true}, {"wine-2012-system.reg", wine, false},
            // A key line with two numbers after the name.
            {"wine-2016-user.reg", wine, true}, {"wine-2016-system.reg", wine, false},
            // "REGISTRY\\User\\S-1-5-...", "REGISTRY\\User\\.Default", "REGISTRY\\Machine".
            {"wine-2025-user.reg", wine, true}, {"wine-2025-userdef.reg", wine, false},
            {"wine-2025-system-excerpt.reg", wine, false},
            {"regedit4-wine-tests.reg", v4, true}, {"regedit4-fonts.reg", v4, true},
            {"regedit5-utf16-caps-to-ctrl.reg", v5, true}, {"regedit5-utf16-photo-viewer.reg", v5, true},
            {"regedit5-utf16-deletions.reg", v5, true}, {"regedit5-8bit-crlf.reg", v5, true},
            // "dword:0ffffffff", which the registry editor leaves out.
            {"regedit5-8bit-long-dword.reg", v5, true}};
        for (const auto &[file, format, imports] : files)
            QTest::newRow(file) << QString::fromLatin1(file) << format << imports;
    }
    void realFiles()
    {
        QFETCH(QString, file);
        QFETCH(RegistryFile::Format, format);
        QFETCH(bool, imports);
        const QString path = QStringLiteral(VORLANE_REGISTRY_FIXTURES "/") + file;
        QString error;
        const auto reg = RegistryFile::read(path, &error);
        QVERIFY2(reg, qPrintable(error));
        QCOMPARE(reg->format(), format);
        const QByteArray appended = withVorlaneKey(readAll(path));
        Imported a;
        QVERIFY(a.run(appended));
        QCOMPARE(!LegacyImport::refusal(*RegistryFile::parse(appended)), imports);
        if (imports)
            QCOMPARE(a.ws.desktop(0).Desktop_Caption, u"Büro"_s);
    }

    // A clear error and no result, whatever the bytes.
    void badInput_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error");
        QTest::newRow("not an export") << QByteArray("[General]\nPage_Count=1\n") << u"not a registry export"_s;
        QTest::newRow("empty") << QByteArray() << u"not a registry export"_s;
        QTest::newRow("binary") << QByteArray("REGEDIT4\n\0\x01", 11) << u"binary data"_s;
        QTest::newRow("UTF-16 without BOM, not an export") << utf16(u"[HKCU]"_s, false) << u"not a registry export"_s;
        QTest::newRow("truncated in a continued value")
            << regEdit("\"ShortcutFont\"=hex:05,41,\\\n  42,\\") << u"line 5: the file ends inside a continued value"_s;
        QTest::newRow("truncated in a text") << regEdit("\"Desktop_Caption\"=\"Bü") << u"line 4: a text without its closing quote"_s;
        QTest::newRow("truncated key name") << QByteArray("REGEDIT4\n[HKCU\\Softw") << u"line 2: a key name without"_s;
        QTest::newRow("bad byte") << regEdit("\"b\"=hex:01,1ff") << u"line 4: \"1ff\" is not a hexadecimal byte"_s;
        QTest::newRow("dword of no digits") << regEdit("\"d\"=dword:12x4") << u"line 4: a dword"_s;
        QTest::newRow("dword cut short") << regEdit("\"d\"=dword:") << u"line 4: a dword"_s;
        QTest::newRow("junk line") << regEdit("Page_Count=1") << u"line 4: neither a key"_s;
        QTest::newRow("text after a value") << regEdit("\"a\"=\"b\" c") << u"line 4: text after the value"_s;
        QTest::newRow("value before a key") << QByteArray("REGEDIT4\n\"a\"=\"b\"") << u"line 2: a value before the first key"_s;
        QTest::newRow("Wine forms in a registry editor export") << regEdit("\"a\"=str(2):\"b\"") << u"line 4: a value of a kind"_s;
        QByteArray deep = "REGEDIT4\n[HKCU";
        for (int i = 0; i < 10000; ++i)
            deep += "\\k";
        QTest::newRow("nested 10,000 deep") << deep + ']' << u"line 2: a key nested deeper than 512 levels"_s;
        QTest::newRow("too large") << QByteArray(RegistryFile::MaxFileSize + 1, ' ') << u"larger than 64 MiB"_s;
    }
    void badInput()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        QString why;
        QVERIFY(!RegistryFile::parse(file, &why));
        QVERIFY2(why.startsWith(error) || why.contains(error), qPrintable(why));
    }

    void randomBytesAndLargeValues()
    {
        QRandomGenerator random(20240611);
        for (int round = 0; round < 300; ++round) {
            QByteArray bytes(random.bounded(1, 400), '\0');
            for (char &c : bytes)
                c = static_cast<char>(random.bounded(256));
            // Every other round behind a valid header, so that lines are parsed too.
            if (round % 2)
                bytes.prepend(round % 4 == 1 ? "REGEDIT4\n[HKCU\\Software\\Quendry\\Vorlane\\Page0]\n" : "WINE REGISTRY Version 2\n");
            Imported a;
            if (const auto reg = RegistryFile::parse(bytes))
                a.import.LoadFromRegistry(*reg);
        }
        // 10 MB values are read; a font value that large is an import error, a caption is kept.
        const QByteArray big(10 * 1000 * 1000, 'x');
        QByteArray file = regEdit("[HKCU\\Software\\Quendry\\Vorlane\\Page0]\n\"Desktop_Caption\"=\"" + big + "\"\n");
        Imported a;
        QVERIFY(a.run(file));
        QCOMPARE(a.ws.desktop(0).Desktop_Caption.size(), big.size());
        file = regEdit("\"ShortcutFont\"=hex:" + QByteArray("01,").repeated(10 * 1000 * 1000) + "\n");
        Imported b;
        QVERIFY(b.run(file));
        QCOMPARE(b.prompt.texts(), QStringList{LegacyImport::ImportError});
    }

    // The main key's "ShortcutFont" as the value given; the record it leaves
    // (or the error) read back through the working shortcut font.
    void fontRecords_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("font"); // the font text form; empty: an import error
        QTest::newRow("colour, charset, styles") << "hex:" + hexList(fontRecord("Arial", 0x00112233, 204, 10, 1 | 4))
                                                  << u"Arial,10,204,1010,$00112233"_s;
        QTest::newRow("all zero: height 8") << "hex:" + hexList(QByteArray(40, '\0')) << u",6,0,0000,clBlack"_s;
        QTest::newRow("name length above 20") << "hex:" + hexList(fontRecord("ABCDEFGHIJKLMNOPQRSTUVW", 0, 0, 9, 0, 30))
                                              << u"ABCDEFGHIJKLMNOPQRST,9,0,0000,clBlack"_s;
        QTest::newRow("Windows-1252 name, negative size") << "hex:" + hexList(fontRecord("Caf\xe9", 0xFF, 0, -12, 2 | 8))
                                                          << u"Café,-12,0,0101,clRed"_s;
        QTest::newRow("shorter: the rest stays") << "hex:" + hexList(fontRecord("Xyz", 0, 0, 0, 0).left(4))
                                                 << u"Xyz,11,1,0100,$00445566"_s;
        QTest::newRow("41 bytes") << "hex:" + hexList(QByteArray(41, '\0')) << QString();
        QTest::newRow("text") << QByteArray("\"Arial\"") << QString();
        QTest::newRow("dword") << QByteArray("dword:00000001") << QString();
        QTest::newRow("other type") << "hex(0):" + hexList(QByteArray(40, '\0')) << QString();
    }
    void fontRecords()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, font);
        Imported a;
        // A first import fills the record; the second one's value goes over it.
        QVERIFY(a.run(regEdit("\"ShortcutFont\"=hex:" + hexList(fontRecord("Before", 0x445566, 1, 11, 2)))));
        a.ws.clearDesktops();
        a.ws.global.Immediate_Save = true;
        QVERIFY(a.run(regEdit("\"ShortcutFont\"=" + value + "\n[HKCU\\Software\\Quendry\\Vorlane\\General]\n"
                              "\"Immediate_Save\"=dword:1\n\"Page_Count\"=dword:2\n")));
        if (font.isEmpty()) {
            QCOMPARE(a.prompt.texts(), QStringList{LegacyImport::ImportError});
            QVERIFY(a.ws.work.ErrorsOccurred);
            // Failed before Immediate_Save was read; still one desktop.
            QVERIFY(!a.ws.global.Immediate_Save);
            QCOMPARE(a.ws.desktopCount(), 1);
            QCOMPARE(a.ws.desktop(0).Desktop_Caption, LegacyImport::DefaultCaption);
        } else {
            QVERIFY2(a.prompt.calls.isEmpty(), qPrintable(a.prompt.texts().join(u'|')));
            QCOMPARE(FontToString(a.ws.global.ShortcutFont), font);
            QCOMPARE(a.ws.desktopCount(), 2);
            QCOMPARE(a.ws.desktop(1).settings.ShortcutFont, a.ws.global.ShortcutFont);
            QVERIFY(a.ws.global.Immediate_Save);
        }
    }

    // A fresh object starts from all-zero records; a value missing later
    // leaves the record as the last import left it.
    void recordsLastForTheObjectsLife()
    {
        Imported a;
        QVERIFY(a.run(regEdit("")));
        QCOMPARE(FontToString(a.ws.global.TabFont), u",6,0,0000,clBlack"_s);
        QCOMPARE(a.ws.desktopCount(), 1);
        QCOMPARE(a.ws.desktop(0).Desktop_Caption, u"NewDesktop"_s);
        QVERIFY(a.run(regEdit("\"TabFont\"=hex:" + hexList(FontB))));
        a.ws.clearDesktops();
        QVERIFY(a.run(regEdit("\"Other\"=dword:1")));
        QCOMPARE(a.ws.global.TabFont.Name, u"Arial"_s);
        QCOMPARE(a.import.tabRecord()[1], std::uint8_t('A'));
    }

    // A maximised window still has a normal size to restore to: the one
    // stored, or the window's own where none is; never the defaults.
    void aMaximisedWindowKeepsItsNormalSize()
    {
        Imported a;
        a.ws.global.FormWidth_Key = 640;
        a.ws.global.FormHeight_Key = 480;
        QVERIFY(a.run(regEdit("[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\General]\r\n"
                              "\"FormMaximized_Key\"=dword:00000001\r\n\"FormWidth_Key\"=dword:00000320\r\n")));
        QVERIFY(a.ws.global.FormMaximized_Key);
        QCOMPARE(a.ws.global.FormWidth_Key, 800);
        QCOMPARE(a.ws.global.FormHeight_Key, 480);
    }

    // Loading during the import; the end-of-load desktop change once, after
    // it; Immediate_Save in force only afterwards; working password reset.
    void stateAroundTheImport()
    {
        Imported a;
        a.ws.work.WorkingPassword = u"secret"_s;
        a.ws.work.WorkingPasswordMode = 0;
        QVERIFY(a.run(regEdit4()));
        QVERIFY(a.host.loadingSeen);
        QVERIFY(!a.host.loadingAtChange);
        QVERIFY(!a.host.immediateSaveSeen);
        QCOMPARE(a.host.changes, 1);
        QVERIFY(a.ws.global.Immediate_Save && !a.ws.work.Loading);
        QVERIFY(a.ws.work.WorkingPassword.isEmpty());
        QCOMPARE(a.ws.work.WorkingPasswordMode, 1);
    }

    void pictures()
    {
        QTemporaryDir dir;
        const QString notPicture = dir.filePath(u"note.bmp"_s);
        QVERIFY(writeAll(notPicture, "not a picture"));
        const QString existing = dir.filePath(u"app"_s);
        QVERIFY(writeAll(existing, "x"));
        const QByteArray file = regEdit(
            ("[HKCU\\Software\\Quendry\\Vorlane\\General]\n\"Page_Count\"=dword:2\n\"Leave_Missing\"=dword:0\n"
             "[HKCU\\Software\\Quendry\\Vorlane\\Page0]\n\"Desktop_Caption\"=\"One\"\n"
             "\"Background_Picture\"=\"/nonexistent/pic.bmp\"\n\"Item_CountTrue\"=dword:3\n"
             "[HKCU\\Software\\Quendry\\Vorlane\\Page0\\Item1]\n\"AttachedFile\"=\"/nonexistent/gone\"\n"
             "[HKCU\\Software\\Quendry\\Vorlane\\Page0\\Item2]\n\"AttachedFile\"=\"" + existing + "\"\n\"Picture\"=\"NONE\"\n"
             "[HKCU\\Software\\Quendry\\Vorlane\\Page0\\Item3]\n\"AttachedFile\"=\"" + existing + "\"\n\"Picture\"=\"/nonexistent/i.ico\"\n"
             "[HKCU\\Software\\Quendry\\Vorlane\\Page1]\n\"Desktop_Caption\"=\"Two\"\n"
             "\"Background_Picture\"=\"" + notPicture + "\"\n").toUtf8());
        const QString question = SettingsFile::SimilarMessagesQuestion;
        const QString first = u"Error by loading background picture  /nonexistent/pic.bmp in One desktop"_s;
        const QString shortcut = u"Error in TFormMain.LoadAll-AttachedFile: "_s + existing + u" Picture: /nonexistent/i.ico"_s;
        Imported yes;
        yes.prompt.defaultAnswer = ModalResult::Yes;
        QVERIFY(yes.run(file));
        QCOMPARE(yes.prompt.texts(), (QStringList{first, question, shortcut, question,
                                                  u"Error by loading background picture  "_s + notPicture
                                                      + u" in Two desktop"_s, question}));
        QVERIFY(yes.ws.work.ErrorsOccurred);
        QVERIFY(yes.ws.desktop(0).settings.Background_Picture.isEmpty());
        QVERIFY(yes.ws.desktop(1).settings.Background_Picture.isEmpty());
        // The missing attached file is dropped; the picture path of the other stays.
        QCOMPARE(yes.ws.desktop(0).items.size(), std::size_t(2));
        QCOMPARE(yes.ws.desktop(0).items[1]->Picture, u"/nonexistent/i.ico"_s);

        Imported no;
        no.prompt.answer(ModalResult::No);
        QVERIFY(no.run(file));
        QCOMPARE(no.prompt.texts(), (QStringList{first, question}));
        QVERIFY(no.ws.work.ErrorsOccurred);
    }

    void errorsKeepWhatWasBuilt()
    {
        const QByteArray pages = "[HKCU\\Software\\Quendry\\Vorlane\\Page0]\n\"Desktop_Caption\"=\"A\"\n"
                                 "[HKCU\\Software\\Quendry\\Vorlane\\Page1]\n\"ShortcutFont\"=\"bad\"\n";
        Imported a;
        QVERIFY(a.run(regEdit("[HKCU\\Software\\Quendry\\Vorlane\\General]\n\"Page_Count\"=dword:3\n"
                              "\"Immediate_Save\"=dword:1\n" + pages)));
        QCOMPARE(a.prompt.texts(), QStringList{LegacyImport::ImportError});
        QCOMPARE(a.ws.desktopCount(), 1);
        QCOMPARE(a.ws.desktop(0).Desktop_Caption, u"A"_s);
        QVERIFY(a.ws.global.Immediate_Save); // read before the failure
        QCOMPARE(a.host.changes, 1);

        Imported b;
        QVERIFY(b.run(regEdit("[HKCU\\Software\\Quendry\\Vorlane\\General]\n\"Page_Count\"=\"2\"\n\"Active_Page\"=\"2\"\n")));
        QCOMPARE(b.prompt.texts(), QStringList{LegacyImport::ImportError});
        QCOMPARE(b.ws.desktopCount(), 2);
        QCOMPARE(b.ws.activeIndex(), 1);

        // A count far beyond what the registry holds builds a bounded number.
        Imported c;
        QVERIFY(c.run(regEdit("[HKCU\\Software\\Quendry\\Vorlane\\General]\n\"Page_Count\"=dword:7fffffff\n")));
        QVERIFY(c.ws.desktopCount() <= SettingsFile::MissingSectionAllowance + 3);
    }

    // `vorlane --import-registry FILE` through the real binary.
    void importCommand_data()
    {
        QTest::addColumn<QByteArray>("registry"); // empty: no such file
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("errHolds");
        QTest::newRow("imported and saved") << regEdit4() << 0 << QByteArray();
        QTest::newRow("picture error: the save asks") << regEdit("[HKCU\\Software\\Quendry\\Vorlane\\Page0]\n"
                                                                 "\"Background_Picture\"=\"/nonexistent/p.bmp\"\n")
                                                      << 2 << QByteArray("There were errors,to continue saving current settings?");
        QTest::newRow("no such file") << QByteArray() << 1 << QByteArray("import.reg: ");
        // Named by mistake or by malice: opening a FIFO for reading would wait
        // for a writer that never comes.
        QTest::newRow("a FIFO") << QByteArray("fifo") << 1 << QByteArray("import.reg: it is not a regular file");
        QTest::newRow("not an export") << QByteArray("[General]\n") << 1 << QByteArray("not a registry export");
        QTest::newRow("without the key") << QByteArray("REGEDIT4\n[HKCU\\Software\\Other]\n") << 1
                                         << QByteArray("no key HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane");
        // Checked whole before the settings file is touched, not saved or
        // declined afterwards.
        QTest::newRow("an import error part-way")
            << regEdit("[HKCU\\Software\\Quendry\\Vorlane\\General]\n\"Page_Count\"=dword:2\n"
                       "[HKCU\\Software\\Quendry\\Vorlane\\Page0]\n\"Desktop_Caption\"=\"A\"\n"
                       "[HKCU\\Software\\Quendry\\Vorlane\\Page1]\n\"ShortcutFont\"=dword:1\n")
            << 1 << QByteArray("import.reg: the value ShortcutFont of HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\Page1");
    }
    void importCommand()
    {
        QFETCH(QByteArray, registry);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, errHolds);
        QTemporaryDir dir;
        const QString settings = dir.filePath(u"vorlane.ini"_s);
        const QByteArray before = "[General]\r\nPage_Count=1\r\n\r\n[Page0]\r\nDesktop_Caption=Mine\r\n\r\n";
        QVERIFY(writeAll(settings, before));
        const QString reg = dir.filePath(u"import.reg"_s);
        if (registry == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(reg).constData(), 0600), 0);
        else if (!registry.isEmpty())
            QVERIFY(writeAll(reg, registry));

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"VORLANE_SETTINGS"_s, settings);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VORLANE_BINARY), {u"--import-registry"_s, reg});
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        const QByteArray err = p.readAllStandardError();
        QCOMPARE(p.exitCode(), exitCode);
        QVERIFY2(errHolds.isEmpty() ? err.isEmpty() : err.contains(errHolds), err.constData());
        const QByteArray after = readAll(settings);
        if (exitCode != 0) {
            QCOMPARE(after, before);
            return;
        }
        QVERIFY(!after.contains("Mine"));
        QVERIFY(after.contains("Desktop_Caption=B\xc3\xbcro \"1\"\r\n"));
        QVERIFY(after.contains("Page_Count=3\r\n"));
        QVERIFY(after.contains("Immediate_Save=1\r\n"));
    }

    void importCommandNeedsFile()
    {
        QProcess p;
        p.start(QStringLiteral(VORLANE_BINARY), {u"--import-registry"_s});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 64);
        QVERIFY(p.readAllStandardError().contains("option '--import-registry' needs a FILE"));
    }
};

QTEST_GUILESS_MAIN(TestLegacyImport)
#include "tst_legacyimport.moc"
