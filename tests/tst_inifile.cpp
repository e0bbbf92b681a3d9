#include "storage/BigIni.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <iterator>
#include <memory>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace vl;
using vl::test::readAll;
using vl::test::writeAll;

using IniOp = std::function<void(TBiggerIniFile &)>;
Q_DECLARE_METATYPE(IniOp)
Q_DECLARE_METATYPE(vl::FontSpec)

namespace vl {
// Lets QCOMPARE print fonts on failure.
char *toString(const FontSpec &f) { return QTest::toString(FontToString(f)); }
} // namespace vl

namespace {

const QString Absent = QStringLiteral("<absent>");

ino_t inodeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// Backdates the file so that any rewrite shows in its modification time.
void backdate(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(12, 0)), QFileDevice::FileModificationTime));
}

FontSpec font(const QString &name, int size, int charset, const char *bius, Colour colour)
{
    return FontSpec{name, size, charset, bius[0] == '1', bius[1] == '1', bius[2] == '1', bius[3] == '1', colour};
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString path(const QString &name) const { return tmp_->filePath(name); }
    // A file with the given bytes, opened by a fresh engine.
    std::unique_ptr<TBiggerIniFile> open(const QByteArray &bytes)
    {
        if (!writeAll(path("t.ini"), bytes))
            qFatal("cannot write the test file");
        return std::make_unique<TBiggerIniFile>(path("t.ini"));
    }

private slots:
    void init()
    {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QString>("value"); // Absent when the key is not found
        QTest::addColumn<QStringList>("sections");
        QTest::addColumn<QStringList>("lines"); // ReadSectionValues of section

        const auto row = [](const char *name, const QByteArray &file, const char *section, const char *key,
                            const QString &value, const QStringList &sections, const QStringList &lines) {
            QTest::newRow(name) << file << QByteArray(section) << QByteArray(key) << value << sections << lines;
        };
        const QStringList s{"s"};
        row("key case-insensitive", "[S]\r\nKEY=1\r\n", "s", "key", "1", {"S"}, {"KEY=1"});
        row("empty value is not the default", "[s]\r\nk=\r\n", "s", "k", "", s, {"k="});
        row("split at first =", "[s]\r\nk=a=b\r\n", "s", "k", "a=b", s, {"k=a=b"});
        row("blank before = is part of the key", "[s]\r\nk =1\r\n", "s", "k", Absent, s, {"k =1"});
        row("key with the blank", "[s]\r\nk =1\r\n", "s", "k ", "1", s, {"k =1"});
        row("; line is an ordinary key", "[s]\r\n;k=1\r\n", "s", ";k", "1", s, {";k=1"});
        row("; line does not hide k", "[s]\r\n;k=1\r\n", "s", "k", Absent, s, {";k=1"});
        row("line without = never matches", "[s]\r\nk\r\nk=2\r\n", "s", "k", "2", s, {"k", "k=2"});
        row("first matching line wins", "[s]\r\nk=1\r\nK=2\r\n", "s", "k", "1", s, {"k=1", "K=2"});
        row("[] opens an empty name", "[]\r\nx=1\r\n", "", "x", "1", {""}, {"x=1"});
        row("[abc is an ordinary line", "[s]\r\n[abc\r\nx=1\r\n", "s", "x", "1", s, {"[abc", "x=1"});
        row("lone [ and ] are ordinary lines", "[s]\r\n[\r\n]\r\n", "s", "x", Absent, s, {"[", "]"});
        row("header name not trimmed", "[ s ]\r\nx=1\r\n", "s", "x", Absent, {" s "}, {});
        row("0x1A line counts as empty", "[s]\r\nx=1\r\n\x1A\r\n\x1Ay=2\r\n\x1A", "s", "x", "1", s, {"x=1", "\x1Ay=2"});
        row("lines before the first header dropped", "x=0\r\nlone\r\n[s]\r\nx=1\r\n", "s", "x", "1", s, {"x=1"});
        row("LF endings, empty lines, no final break", "\n\n[s]\n\nx=1\n\n[t]\ny=2", "t", "y", "2", {"s", "t"},
            {"y=2"});
        row("CR kept inside a line", "[s]\r\nx=a\rb\r\n", "s", "x", "a\rb", s, {"x=a\rb"});
        row("non-ASCII section case-insensitive", "[\xC3\x84rger]\r\nx=1\r\n", "\xC3\xA4RGER", "X", "1",
            {QStringLiteral("\u00C4rger")}, {"x=1"});
        const QString v300(300, QLatin1Char('v'));
        row("300-char line read whole", "[s]\r\nk=" + v300.toLatin1() + "\r\n", "s", "k", v300, s, {"k=" + v300});
    }

    void reading()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QString, value);
        QFETCH(QStringList, sections);
        QFETCH(QStringList, lines);

        auto ini = open(file);
        QCOMPARE(ini->ReadString(section.toStdString(), key.toStdString(), Absent), value);
        QStringList names{"stale"};
        ini->ReadSections(names);
        QCOMPARE(names, sections);
        QStringList got;
        ini->ReadSectionValues(section.toStdString(), got);
        QCOMPARE(got, lines);
        QVERIFY(!ini->Modified());
    }

    void duplicateSections_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("flushed"); // empty: the file must stay untouched

        QTest::newRow("later duplicate in lower case dropped")
            << QByteArray("[General]\r\na=1\r\n\r\n[other]\r\nb=2\r\n\r\n[general]\r\na=2\r\nc=3\r\n\r\n")
            << QByteArray("[General]\r\na=1\r\n\r\n[other]\r\nb=2\r\n\r\n");
        QTest::newRow("three copies, non-ASCII")
            << QByteArray("[\xC3\x84]\nx=1\n[\xC3\xA4]\nx=2\n[\xC3\x84]\nx=3\n")
            << QByteArray("[\xC3\x84]\r\nx=1\r\n\r\n");
        QTest::newRow("no duplicates") << QByteArray("[General]\nb=1\n[Generals]\nb=2\n") << QByteArray();
    }

    void duplicateSections()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, flushed);

        writeAll(path("t.ini"), file);
        backdate(path("t.ini"));
        const ino_t inode = inodeOf(path("t.ini"));
        const QDateTime mtime = QFileInfo(path("t.ini")).lastModified();
        {
            TBiggerIniFile ini(path("t.ini"));
            QCOMPARE(ini.Modified(), !flushed.isEmpty());
            QCOMPARE(ini.ReadString("GENERAL", "c", Absent), Absent);
            ini.UpdateFile();
            QVERIFY(!ini.Modified());
        }
        if (flushed.isEmpty()) {
            QCOMPARE(readAll(path("t.ini")), file);
            QCOMPARE(inodeOf(path("t.ini")), inode);
            QCOMPARE(QFileInfo(path("t.ini")).lastModified(), mtime);
        } else {
            QCOMPARE(readAll(path("t.ini")), flushed);
        }
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");

        QTest::newRow("0x1F") << QByteArray("0x1F") << true << 31;
        QTest::newRow("0X1f") << QByteArray("0X1f") << true << 31;
        QTest::newRow("$1F") << QByteArray("$1F") << true << 31;
        QTest::newRow("-$1F") << QByteArray("-$1F") << true << -31;
        QTest::newRow("$FFFFFFFF") << QByteArray("$FFFFFFFF") << true << -1;
        QTest::newRow("1F") << QByteArray("1F") << false << 0;
        QTest::newRow("empty") << QByteArray("") << false << 0;
        QTest::newRow("0x alone") << QByteArray("0x") << false << 0;
        QTest::newRow("$ alone") << QByteArray("$") << false << 0;
        QTest::newRow("2") << QByteArray("2") << true << 2;
        QTest::newRow("+7") << QByteArray("+7") << true << 7;
        QTest::newRow("leading blanks") << QByteArray("  12") << true << 12;
        QTest::newRow("trailing blank") << QByteArray("12 ") << false << 0;
        QTest::newRow("true") << QByteArray("true") << false << 0;
        QTest::newRow("-5") << QByteArray("-5") << true << -5;
        QTest::newRow("int max") << QByteArray("2147483647") << true << 2147483647;
        QTest::newRow("int min") << QByteArray("-2147483648") << true << int(-2147483647 - 1);
        QTest::newRow("overflow") << QByteArray("2147483648") << false << 0;
        QTest::newRow("negative overflow") << QByteArray("-2147483649") << false << 0;
        QTest::newRow("huge") << QByteArray("99999999999999999999") << false << 0;
        QTest::newRow("hex overflow") << QByteArray("$100000000") << false << 0;
    }

    void integers()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(int, value);

        auto ini = open("[s]\r\nk=" + text + "\r\n");
        QCOMPARE(ini->ReadInteger("s", "k", 77), valid ? value : 77);
        QCOMPARE(ini->ReadBool("s", "k", true), valid ? value != 0 : true);
        QCOMPARE(ini->ReadBool("s", "k", false), valid ? value != 0 : false);
        QCOMPARE(ini->ReadInteger("s", "missing", -9), -9);

        // Whatever was read, the written decimal form reads back as the same number.
        if (valid) {
            ini->WriteInteger("s", "w", value);
            QCOMPARE(ini->ReadString("s", "w", Absent), QString::number(value));
            QCOMPARE(ini->ReadInteger("s", "w", 77), value);
            ini->WriteBool("s", "b", value != 0);
            QCOMPARE(ini->ReadString("s", "b", Absent), value != 0 ? "1" : "0");
        }
    }

    void hexIntegers_data()
    {
        QTest::addColumn<QByteArray>("text"); // stored value; "<absent>" for no key
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");

        QTest::newRow("yellow") << QByteArray("0000FFFF") << true << 0x0000FFFF;
        QTest::newRow("lower case") << QByteArray("1f") << true << 31;
        QTest::newRow("all ones") << QByteArray("FFFFFFFF") << true << -1;
        QTest::newRow("absent key uses default") << QByteArray("<absent>") << true << -2;
        QTest::newRow("empty") << QByteArray("") << false << 0;
        QTest::newRow("not hex") << QByteArray("xyz") << false << 0;
        QTest::newRow("0x prefix") << QByteArray("0x1F") << false << 0;
        QTest::newRow("$ prefix") << QByteArray("$1F") << false << 0;
        QTest::newRow("nine digits") << QByteArray("123456789") << false << 0;
    }

    void hexIntegers()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(int, value);

        auto ini = open(text == "<absent>" ? QByteArray("[s]\r\n") : "[s]\r\nk=" + text + "\r\n");
        if (!valid) {
            QVERIFY_THROWS_EXCEPTION(ConvertError, ini->ReadHexInteger("s", "k", 5));
            return;
        }
        QCOMPARE(ini->ReadHexInteger("s", "k", -2), value);

        ini->WriteHexInteger("s", "w", value);
        const QString written = ini->ReadString("s", "w", Absent);
        QCOMPARE(written, QStringLiteral("%1").arg(static_cast<quint32>(value), 8, 16, QLatin1Char('0')).toUpper());
        QCOMPARE(ini->ReadHexInteger("s", "w", 0), value);
    }

    void fontText_data()
    {
        QTest::addColumn<FontSpec>("font");
        QTest::addColumn<QString>("text");

        QTest::newRow("named colour") << font("Arial", 10, 1, "1000", clr::clWindowText)
                                      << "Arial,10,1,1000,clWindowText";
        QTest::newRow("all styles") << font("Serif", 12, 0, "1111", clr::clYellow) << "Serif,12,0,1111,clYellow";
        QTest::newRow("each style") << font("A", 9, 1, "0101", clr::clBlack) << "A,9,1,0101,clBlack";
        QTest::newRow("unnamed colour") << font("A", 9, 1, "0010", 0x00123456) << "A,9,1,0010,$00123456";
        QTest::newRow("negative size, high colour")
            << font("A B", -13, 238, "0000", static_cast<Colour>(0x80000001u)) << "A B,-13,238,0000,$80000001";
        QTest::newRow("empty name") << font("", 8, 1, "0000", clr::clNone) << ",8,1,0000,clNone";
        QTest::newRow("percent signs in name") << font("50%3 Sans %1", 10, 1, "1000", clr::clWindowText)
                                               << "50%3 Sans %1,10,1,1000,clWindowText";
        QTest::newRow("non-ASCII name") << font(QStringLiteral("D\u00E9j\u00E0 Vu"), 11, 1, "0000", 0x000000FF)
                                        << QStringLiteral("D\u00E9j\u00E0 Vu,11,1,0000,clRed");
    }

    void fontText()
    {
        QFETCH(FontSpec, font);
        QFETCH(QString, text);

        QCOMPARE(FontToString(font), text);
        FontSpec parsed = ::font("old", 1, 2, "1111", 3);
        StringToFont(text, parsed);
        QCOMPARE(parsed, font);

        auto ini = open("");
        ini->WriteFont("f", "Font", font);
        QCOMPARE(ini->ReadString("f", "Font", Absent), text);
        FontSpec read;
        ini->ReadFont("f", "Font", read);
        QCOMPARE(read, font);
    }

    void stringToFont_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // empty: parses
        QTest::addColumn<FontSpec>("after");

        const QString invalid = QStringLiteral("Invalid string to font conversion");
        const FontSpec start = font("Old", 7, 3, "1111", clr::clBlack);
        QTest::newRow("empty") << "" << invalid << start;
        QTest::newRow("no comma") << "Arial" << invalid << start;
        QTest::newRow("no size comma") << "Arial,10" << invalid << font("Arial", 7, 3, "1111", clr::clBlack);
        QTest::newRow("size not a number") << "Arial,ten,1,0000,clRed" << "'ten' is not a valid integer value"
                                           << font("Arial", 7, 3, "1111", clr::clBlack);
        QTest::newRow("no charset comma") << "Arial,10,1" << "'' is not a valid integer value"
                                          << font("Arial", 10, 3, "1111", clr::clBlack);
        QTest::newRow("charset not a number") << "Arial,10,x,0000,clRed" << "'x' is not a valid integer value"
                                              << font("Arial", 10, 3, "1111", clr::clBlack);
        QTest::newRow("three style digits") << "Arial,10,1,000,clRed" << invalid
                                            << font("Arial", 10, 1, "1111", clr::clBlack);
        QTest::newRow("five style digits") << "Arial,10,1,00000,clRed" << invalid
                                           << font("Arial", 10, 1, "1111", clr::clBlack);
        QTest::newRow("no colour comma") << "Arial,10,1,0000" << invalid << font("Arial", 10, 1, "1111", clr::clBlack);
        QTest::newRow("unknown colour") << "Arial,10,1,0100,clNoSuch" << "'clNoSuch' is not a valid integer value"
                                        << font("Arial", 10, 1, "0100", clr::clBlack);
        QTest::newRow("empty colour") << "Arial,10,1,0010," << "'' is not a valid integer value"
                                      << font("Arial", 10, 1, "0010", clr::clBlack);
        QTest::newRow("style chars other than 1 are off") << "A,10,1,x1y1,$FF" << QString()
                                                          << font("A", 10, 1, "0101", 0xFF);
        QTest::newRow("colour name any case") << "A,10,1,0000,CLWINDOWTEXT" << QString()
                                              << font("A", 10, 1, "0000", clr::clWindowText);
        QTest::newRow("decimal colour") << "A,10,1,0000,-1" << QString() << font("A", 10, 1, "0000", -1);
        // A character set is one byte: a hand-edited number keeps its low byte.
        QTest::newRow("charset beyond a byte") << "A,10,257,0000,clRed" << QString() << font("A", 10, 1, "0000", 0x0000FF);
        QTest::newRow("negative charset") << "A,10,-1,0000,clRed" << QString() << font("A", 10, 255, "0000", 0x0000FF);
        QTest::newRow("comma in colour") << "A,10,1,0000,1,2" << "'1,2' is not a valid integer value"
                                         << font("A", 10, 1, "0000", clr::clBlack);
    }

    void stringToFont()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(FontSpec, after);

        const FontSpec start = font("Old", 7, 3, "1111", clr::clBlack);
        FontSpec f = start;
        QString caught;
        try {
            StringToFont(text, f);
        } catch (const ConvertError &e) {
            caught = QString::fromStdString(e.what());
        }
        QCOMPARE(caught, message);
        QCOMPARE(f, after);

        // Read from the file, bad text leaves the font exactly as it was.
        auto ini = open("[f]\r\nFont=" + text.toUtf8() + "\r\n");
        f = start;
        ini->ReadFont("f", "Font", f);
        QCOMPARE(f, message.isEmpty() ? after : start);
        f = start;
        ini->ReadFont("f", "Missing", f);
        QCOMPARE(f, start);
        QVERIFY(!ini->Modified());
    }

    void namedColours()
    {
        static const std::pair<const char *, quint32> table[] = {
            {"clBlack", 0x00000000}, {"clMaroon", 0x00000080}, {"clGreen", 0x00008000}, {"clOlive", 0x00008080},
            {"clNavy", 0x00800000}, {"clPurple", 0x00800080}, {"clTeal", 0x00808000}, {"clGray", 0x00808080},
            {"clSilver", 0x00C0C0C0}, {"clRed", 0x000000FF}, {"clLime", 0x0000FF00}, {"clYellow", 0x0000FFFF},
            {"clBlue", 0x00FF0000}, {"clFuchsia", 0x00FF00FF}, {"clAqua", 0x00FFFF00}, {"clWhite", 0x00FFFFFF},
            {"clMoneyGreen", 0x00C0DCC0}, {"clSkyBlue", 0x00F0CAA6}, {"clCream", 0x00F0FBFF},
            {"clMedGray", 0x00A4A0A0}, {"clDefault", 0x20000000}, {"clNone", 0x1FFFFFFF},
            {"clScrollBar", 0xFF000000}, {"clBackground", 0xFF000001}, {"clActiveCaption", 0xFF000002},
            {"clInactiveCaption", 0xFF000003}, {"clMenu", 0xFF000004}, {"clWindow", 0xFF000005},
            {"clWindowFrame", 0xFF000006}, {"clMenuText", 0xFF000007}, {"clWindowText", 0xFF000008},
            {"clCaptionText", 0xFF000009}, {"clActiveBorder", 0xFF00000A}, {"clInactiveBorder", 0xFF00000B},
            {"clAppWorkSpace", 0xFF00000C}, {"clHighlight", 0xFF00000D}, {"clHighlightText", 0xFF00000E},
            {"clBtnFace", 0xFF00000F}, {"clBtnShadow", 0xFF000010}, {"clGrayText", 0xFF000011},
            {"clBtnText", 0xFF000012}, {"clInactiveCaptionText", 0xFF000013}, {"clBtnHighlight", 0xFF000014},
            {"cl3DDkShadow", 0xFF000015}, {"cl3DLight", 0xFF000016}, {"clInfoText", 0xFF000017},
            {"clInfoBk", 0xFF000018}, {"clHotLight", 0xFF00001A}, {"clGradientActiveCaption", 0xFF00001B},
            {"clGradientInactiveCaption", 0xFF00001C}, {"clMenuHighlight", 0xFF00001D}, {"clMenuBar", 0xFF00001E},
        };
        static_assert(std::size(table) == 52);

        for (const auto &[name, value] : table) {
            const QString text = QStringLiteral("A,9,1,0000,") + QLatin1String(name);
            const FontSpec f = font("A", 9, 1, "0000", static_cast<Colour>(value));
            QCOMPARE(FontToString(f), text);
            FontSpec parsed;
            StringToFont(QStringLiteral("A,9,1,0000,") + QLatin1String(name).toString().toLower(), parsed);
            QCOMPARE(parsed, f);
        }
        // The index 25 gap is not a named colour and falls back to the number.
        QCOMPARE(FontToString(font("A", 9, 1, "0000", systemColour(25))), "A,9,1,0000,$FF000019");
    }

    void stringLists()
    {
        auto ini = open("[n]\r\nCount=2\r\n1=first\r\n2=second\r\nOther=x\r\n"
                        "[gap]\r\nCount=2\r\n1=only\r\n"
                        "[huge]\r\nCount=2000000000\r\n1=a\r\n"
                        "[sparse]\r\nCount=5\r\n5=old fifth\r\n");
        const auto raw = [&](const char *section) {
            QStringList l;
            ini->ReadSectionValues(section, l);
            return l;
        };
        QStringList lines{"kept"};
        ini->ReadStrings("n", lines, "def");
        QCOMPARE(lines, QStringList({"kept", "first", "second"}));

        QStringList gap;
        ini->ReadStrings("gap", gap, "def");
        QCOMPARE(gap, QStringList({"only", "def"}));
        QStringList huge;
        ini->ReadStrings("huge", huge, "def");
        QVERIFY(huge.size() <= 2);
        QCOMPARE(huge.value(0), "a");

        // The numbered lines do not stand at the end: the first rewrite moves
        // them there and counts as a change, the second one changes nothing.
        ini->WriteStrings("n", {"first", "second"});
        QVERIFY(ini->Modified());
        QCOMPARE(raw("n"), QStringList({"Count=2", "Other=x", "1=first", "2=second"}));
        ini->UpdateFile();
        ini->WriteStrings("n", {"first", "second"});
        QVERIFY(!ini->Modified());

        // A change of case in one line is a change.
        ini->WriteStrings("n", {"first", "Second"});
        QVERIFY(ini->Modified());
        ini->UpdateFile();

        // Shrinking drops the old numbered lines; an empty list leaves Count=0.
        ini->WriteStrings("n", {"one"});
        QCOMPARE(raw("n"), QStringList({"Count=1", "Other=x", "1=one"}));
        ini->WriteStrings("new", {});
        QCOMPARE(raw("new"), QStringList({"Count=0"}));

        // The absurd count deletes no more keys than the section holds.
        ini->WriteStrings("huge", {"b"});
        QCOMPARE(raw("huge"), QStringList({"Count=1", "1=b"}));
        // Every old numbered key up to the old count goes, however few
        // lines the section has, so no stray line survives to be read back.
        ini->WriteStrings("sparse", {"a"});
        QCOMPARE(raw("sparse"), QStringList({"Count=1", "1=a"}));
    }

    void modifiedFlag_data()
    {
        QTest::addColumn<IniOp>("op");
        QTest::addColumn<bool>("modified");

        QTest::newRow("same value, same case") << IniOp([](auto &i) { i.WriteString("s", "Key", u"Value"); }) << false;
        QTest::newRow("section and key case differ only in lookup")
            << IniOp([](auto &i) { i.WriteString("S", "Key", u"Value"); }) << false;
        QTest::newRow("value differs in case") << IniOp([](auto &i) { i.WriteString("s", "Key", u"value"); }) << true;
        QTest::newRow("key differs in case") << IniOp([](auto &i) { i.WriteString("s", "KEY", u"Value"); }) << true;
        QTest::newRow("same integer") << IniOp([](auto &i) { i.WriteInteger("s", "n", -5); }) << false;
        QTest::newRow("other integer") << IniOp([](auto &i) { i.WriteInteger("s", "n", 5); }) << true;
        QTest::newRow("same bool") << IniOp([](auto &i) { i.WriteBool("s", "b", true); }) << false;
        QTest::newRow("same hex") << IniOp([](auto &i) { i.WriteHexInteger("s", "h", 0xFFFF); }) << false;
        QTest::newRow("same font") << IniOp([](auto &i) { i.WriteFont("s", "f", font("A", 9, 1, "0000", 0)); })
                                   << false;
        QTest::newRow("new key") << IniOp([](auto &i) { i.WriteString("t", "new", u""); }) << true;
        QTest::newRow("delete absent key") << IniOp([](auto &i) { i.DeleteKey("s", "nope"); }) << false;
        QTest::newRow("delete key of absent section") << IniOp([](auto &i) { i.DeleteKey("u", "x"); }) << false;
        QTest::newRow("delete key") << IniOp([](auto &i) { i.DeleteKey("s", "KEY"); }) << true;
        QTest::newRow("erase absent section") << IniOp([](auto &i) { i.EraseSection("u"); }) << false;
        QTest::newRow("erase section") << IniOp([](auto &i) { i.EraseSection("T"); }) << true;
        QTest::newRow("reads") << IniOp([](auto &i) {
            QStringList l;
            FontSpec f;
            i.ReadSection("s", l);
            i.ReadSectionValues("s", l);
            i.ReadSections(l);
            i.AppendAll(l);
            i.ReadStrings("s", l, QString());
            i.ReadFont("s", "f", f);
        }) << false;
    }

    void modifiedFlag()
    {
        QFETCH(IniOp, op);
        QFETCH(bool, modified);

        const QByteArray before("[s]\r\nKey=Value\r\nn=-5\r\nb=1\r\nh=0000FFFF\r\nf=A,9,1,0000,clBlack\r\n\r\n"
                                "[t]\r\nx=1\r\n\r\n");
        writeAll(path("t.ini"), before);
        backdate(path("t.ini"));
        const ino_t inode = inodeOf(path("t.ini"));
        const QDateTime mtime = QFileInfo(path("t.ini")).lastModified();
        {
            TBiggerIniFile ini(path("t.ini"));
            op(ini);
            QCOMPARE(ini.Modified(), modified);
            ini.UpdateFile();
            QVERIFY(!ini.Modified());
        }
        if (modified) {
            QVERIFY(inodeOf(path("t.ini")) != inode); // replaced, not rewritten in place
        } else {
            QCOMPARE(readAll(path("t.ini")), before);
            QCOMPARE(inodeOf(path("t.ini")), inode);
            QCOMPARE(QFileInfo(path("t.ini")).lastModified(), mtime);
        }
    }

    void outputBytes()
    {
        {
            TBiggerIniFile ini(path("out.ini"));
            QVERIFY(!QFileInfo::exists(path("out.ini")));
            ini.WriteString("b", "k", u"v");
            ini.DeleteKey("empty", "x"); // creates the section without lines
            ini.WriteString("gone", "x", u"1");
            ini.DeleteKey("gone", "X");
            ini.WriteString("", "e", u"1");
            ini.WriteInteger("b", "n", -7);
            ini.WriteString("b", "K", u"w"); // replaced in place
        }
        QCOMPARE(readAll(path("out.ini")), QByteArray("[b]\r\nK=w\r\nn=-7\r\n\r\n[]\r\ne=1\r\n\r\n"));

        // Lines read from the file are written back as read, with CR LF.
        writeAll(path("lf.ini"), "junk\n[a]\n ; raw line \nno equals\n[b]\nx = 1\n");
        {
            TBiggerIniFile ini(path("lf.ini"));
            ini.WriteString("b", "y", u"2");
        }
        QCOMPARE(readAll(path("lf.ini")),
                 QByteArray("[a]\r\n ; raw line \r\nno equals\r\n\r\n[b]\r\nx = 1\r\ny=2\r\n\r\n"));
    }

    void emptyKeyWrites()
    {
        const QByteArray file("[a]\r\nx=1\r\n\r\n[]\r\ny=2\r\n\r\n[b]\r\nz=3\r\n\r\n");
        auto ini = open(file);
        ini->WriteString("A", "", u"");
        QVERIFY(ini->Modified());
        QCOMPARE(ini->ReadString("a", "x", Absent), Absent);
        ini->WriteString("", "", u"anything"); // erases the section with the empty name
        QCOMPARE(ini->ReadString("", "y", Absent), Absent);
        QCOMPARE(readAll(path("t.ini")), file);
        ini->WriteString("", "", u""); // flushes
        QVERIFY(!ini->Modified());
        QCOMPARE(readAll(path("t.ini")), QByteArray("[b]\r\nz=3\r\n\r\n"));
    }

    void setFileNameRetargets()
    {
        writeAll(path("b.ini"), "[b]\nk=from b\n[b]\nk=dup\n");
        TBiggerIniFile ini(path("a.ini"));
        ini.WriteString("a", "k", u"from a");
        ini.SetFileName(path("b.ini"));
        QCOMPARE(readAll(path("a.ini")), QByteArray("[a]\r\nk=from a\r\n\r\n"));
        QCOMPARE(ini.FileName(), path("b.ini"));
        QCOMPARE(ini.ReadString("a", "k", Absent), Absent);
        QCOMPARE(ini.ReadString("b", "k", Absent), "from b");
        // Dropping the duplicate is a change that the next flush writes.
        QVERIFY(ini.Modified());

        ini.SetFileName(QString());
        QCOMPARE(readAll(path("b.ini")), QByteArray("[b]\r\nk=from b\r\n\r\n"));
        QCOMPARE(ini.SectionCount(), 0);
        QVERIFY(!ini.Modified());
        // Without a file name a flush writes nothing and only clears the flag.
        ini.WriteString("c", "k", u"v");
        QVERIFY(ini.Modified());
        ini.UpdateFile();
        QVERIFY(!ini.Modified());
        QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files), QStringList({"a.ini", "b.ini"}));
    }

    void sectionQueries()
    {
        auto ini = open("[one]\r\na=1\r\nplain\r\n=empty key\r\n[two]\r\n[three]\r\nb=2\r\n");
        ini->WriteString("three", "c", u"3"); // one section held in the file text, one in memory

        QStringList keys{"x"};
        ini->ReadSection("ONE", keys);
        QCOMPARE(keys, QStringList({"x", "a", "", ""}));
        ini->ReadSection("three", keys);
        QCOMPARE(keys, QStringList({"x", "a", "", "", "b", "c"}));
        ini->ReadSection("absent", keys);
        QCOMPARE(keys.size(), 6);

        QStringList values{"x"};
        ini->ReadSectionValues("one", values);
        ini->ReadSectionValues("Three", values);
        QCOMPARE(values, QStringList({"x", "a=1", "plain", "=empty key", "b=2", "c=3"}));

        QStringList names{"x"};
        ini->ReadSections(names);
        QCOMPARE(names, QStringList({"one", "two", "three"}));

        QStringList all{"x"};
        ini->AppendAll(all);
        QCOMPARE(all, QStringList({"x", "[one]", "a=1", "plain", "=empty key", "", "[three]", "b=2", "c=3", ""}));
    }

    void encoding_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("windows1252");

        QTest::newRow("UTF-8") << QByteArray("[s]\nk=caf\xC3\xA9 \xE2\x82\xAC\n") << QStringLiteral("caf\u00E9 \u20AC")
                               << false;
        QTest::newRow("Windows-1252") << QByteArray("[s]\nk=caf\xE9 \x80\n") << QStringLiteral("caf\u00E9 \u20AC")
                                      << true;
        QTest::newRow("one bad byte decodes all as 1252")
            << QByteArray("[s]\nk=\xC3\xA9\xFF\n") << QStringLiteral("\u00C3\u00A9\u00FF") << true;
        QTest::newRow("BOM dropped") << QByteArray("\xEF\xBB\xBF[s]\nk=\xC3\xA9\n") << QStringLiteral("\u00E9")
                                     << false;
        QTest::newRow("BOM then 1252") << QByteArray("\xEF\xBB\xBF[s]\nk=\xE9\n") << QStringLiteral("\u00E9") << true;
    }

    void encoding()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, value);
        QFETCH(bool, windows1252);

        auto ini = open(file);
        QCOMPARE(ini->lastRead().decodedAsWindows1252, windows1252);
        QCOMPARE(ini->ReadString("s", "k", Absent), value);
        ini->WriteString("s", "w", u"x");
        ini->UpdateFile();
        QCOMPARE(readAll(path("t.ini")), QByteArray("[s]\r\nk=" + value.toUtf8() + "\r\nw=x\r\n\r\n"));
    }

    void longLines()
    {
        const QString v300(300, QLatin1Char('y'));
        {
            TBiggerIniFile ini(path("t.ini"));
            ini.WriteString(std::string(300, 'S'), std::string(300, 'k'), v300);
        }
        {
            TBiggerIniFile ini(path("t.ini"));
            QCOMPARE(ini.ReadString(std::string(300, 's'), std::string(300, 'K'), Absent), v300);
        }

        constexpr qsizetype Big = 100 * 1024 * 1024;
        {
            QFile f(path("big.ini"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[s]\r\nk=");
            f.write(QByteArray(Big, 'x'));
            f.write("\r\n[t]\r\nz=1\r\n");
        }
        TBiggerIniFile ini(path("big.ini"));
        QCOMPARE(ini.ReadString("s", "k", Absent).size(), Big);
        QCOMPARE(ini.ReadString("t", "z", Absent), "1");
    }

    void lineBreaksInValues()
    {
        const QString forged = QStringLiteral("a\r\n[evil]\r\nx=1\nb\rc");
        {
            TBiggerIniFile ini(path("t.ini"));
            ini.WriteString("s", "k", forged);
            QCOMPARE(ini.ReadString("s", "k", Absent), "a  [evil]  x=1 b c");
        }
        QCOMPARE(readAll(path("t.ini")), QByteArray("[s]\r\nk=a  [evil]  x=1 b c\r\n\r\n"));
        TBiggerIniFile ini(path("t.ini"));
        QCOMPARE(ini.SectionCount(), 1);
        // Saving the same text again must not count as a change each time.
        ini.WriteString("s", "k", forged);
        QVERIFY(!ini.Modified());
    }

    void failedWrites_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("entries"); // what the test folder holds afterwards
        QTest::newRow("file too large for the limit") << "limit" << QStringList{"t.ini"};
        QTest::newRow("parent is a regular file") << "parent" << QStringList{"plain"};
        QTest::newRow("target is a directory") << "directory" << QStringList{"t.ini"};
        QTest::newRow("folder cannot hold files") << "proc" << QStringList{};
    }

    void failedWrites()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, entries);

        const QByteArray old("[s]\r\nk=old\r\n\r\n");
        QString target = path("t.ini");
        if (how == "parent") {
            writeAll(path("plain"), old);
            target = path("plain/t.ini");
        } else if (how == "proc") {
            target = QStringLiteral("/proc/vorlane-tst-inifile.ini");
        } else {
            writeAll(target, old);
        }

        auto ini = std::make_unique<TBiggerIniFile>(target);
        ini->setKeepBackup(true);
        ini->WriteString("s", "k", u"new");
        ini->WriteString("s", "big", QString(1 << 20, QLatin1Char('b')));
        if (how == "directory") {
            QVERIFY(QFile::remove(target));
            QVERIFY(QDir().mkdir(target));
        }

        // Every write past 64 KiB fails; the signal would end the process.
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        if (how == "limit") {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 64 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        bool threw = false;
        try {
            ini->UpdateFile();
        } catch (const IniIoError &) {
            threw = true;
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_DFL);
        QVERIFY(threw);

        const auto unchanged = [&] {
            if (how == "directory")
                QVERIFY(QFileInfo(target).isDir());
            else if (how == "proc")
                QVERIFY(!QFileInfo::exists(target));
            else
                QCOMPARE(readAll(how == "parent" ? path("plain") : target), old);
            // No temporary file and no backup left behind.
            QCOMPARE(QDir(tmp_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), entries);
        };
        unchanged();

        // Nothing is written any more, whatever happens next.
        ini->WriteString("s", "more", u"1");
        ini->UpdateFile();
        ini.reset();
        unchanged();
    }

    void backups()
    {
        const QByteArray old("[s]\r\nk=old\r\n\r\n");
        const QByteArray now("[s]\r\nk=new\r\n\r\n");
        writeAll(path("plain.ini"), old);
        {
            TBiggerIniFile ini(path("plain.ini"));
            ini.WriteString("s", "k", u"new");
        }
        QCOMPARE(readAll(path("plain.ini")), now);
        QVERIFY(!QFileInfo::exists(path("plain.ini.bak")));

        for (const QString &name : {QStringLiteral("kept.ini"), QStringLiteral("link.ini")}) {
            writeAll(path(name + ".bak"), "stale");
            if (name == "link.ini") {
                writeAll(path("real.ini"), old);
                QVERIFY(QFile::link(path("real.ini"), path(name)));
            } else {
                writeAll(path(name), old);
            }
            TBiggerIniFile ini(path(name));
            ini.setKeepBackup(true);
            ini.WriteString("s", "k", u"new");
            ini.UpdateFile();
            QCOMPARE(readAll(path(name)), now);
            QCOMPARE(readAll(path(name + ".bak")), old);
            // A settings file reached through a link stays a link.
            QCOMPARE(QFileInfo(path(name)).isSymLink(), name == "link.ini");
        }
    }

    void longLineListsReadAndWriteInOnePass()
    {
        // A note of 100,000 lines, with a corrupt count, in reverse key
        // order and with a duplicate key: read whole, first line of a key
        // wins. A lookup per line made this hang rather than fail.
        QByteArray text = "[n]\r\nCount=2000000000\r\n";
        const int n = 100000;
        for (int i = n; i >= 1; --i)
            text += QByteArray::number(i) + "=line " + QByteArray::number(i) + "\r\n";
        text += "7=duplicate\r\n";
        auto ini = open(text);
        QStringList lines;
        ini->ReadStrings("n", lines, QStringLiteral("missing"));
        QCOMPARE(lines.size(), n + 2); // clamped to the lines the section holds
        QCOMPARE(lines.at(6), QStringLiteral("line 7"));
        QCOMPARE(lines.at(n - 1), QStringLiteral("line 100000"));
        QCOMPARE(lines.last(), QStringLiteral("missing"));

        QStringList shorter = lines.mid(0, 3);
        ini->WriteStrings("n", shorter);
        QStringList back;
        ini->ReadStrings("n", back, QStringLiteral("missing"));
        QCOMPARE(back, shorter);
        QCOMPARE(ini->ReadString("n", "7", QString()), QStringLiteral("duplicate"));
    }

    void headerWithACarriageReturnIsOneNameEverywhere()
    {
        // "[a]\r[b]" is one header whose name holds a CR: it stands for
        // "a] [b" in every lookup, and erasing it leaves nothing behind.
        auto ini = open("[a]\r[b]\r\nk=1\r\n");
        QCOMPARE(ini->ReadString("a]\r[b", "k", QString()), QStringLiteral("1"));
        QCOMPARE(ini->ReadString("a] [b", "k", QString()), QStringLiteral("1"));
        ini->WriteString("a]\r[b", "j", QStringLiteral("2"));
        ini->EraseSection("a]\r[b");
        QCOMPARE(ini->SectionLineCount("a] [b"), 0);
        QStringList names;
        ini->ReadSections(names);
        QVERIFY(names.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
