// One input drives three consumers of untrusted settings text:
//   1. the INI engine: the bytes are the file, and the same bytes, taken from
//      the end, choose a sequence of reads and writes on it;
//   2. the font text form, on slices of the input;
//   3. a whole settings load into a fresh workspace (sometimes reloaded),
//      then a save.
// Besides the sanitizers, a few cheap invariants abort on wrong results that
// would otherwise pass silently: a value written is the value read back, a
// font survives its own text form, a file written and read again holds what
// memory held, and re-saving a saved file settles on the same bytes.
//
// Set VORLANE_FUZZ_SKIP to a comma-separated list of invariant names
// (font-roundtrip, persist, resave) to silence one while a known fault in it
// waits for a fix.

#include "app/ConsolePrompt.h"
#include "common/Prompt.h"
#include "model/FontSpec.h"
#include "model/Model.h"
#include "storage/BigIni.h"
#include "storage/SettingsFile.h"
#include "storage/TextConv.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every save ends in a sync to disk; on a memory file system that costs
// nothing, elsewhere it is most of the run time.
QString tempTemplate()
{
    if (qEnvironmentVariableIsEmpty("TMPDIR") && QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        return QStringLiteral("/dev/shm/vorlane-fuzz-XXXXXX");
    return QDir::tempPath() + QStringLiteral("/vorlane-fuzz-XXXXXX");
}

struct Env {
    QTemporaryDir dir{tempTemplate()};
    QString iniPath;
    QString settingsPath;
    bool skipFontRoundTrip = false;
    bool skipPersist = false;
    bool skipResave = false;

    Env()
    {
        if (!dir.isValid()) {
            std::fprintf(stderr, "fuzz_settings: cannot create a temporary directory\n");
            std::abort();
        }
        iniPath = dir.filePath(QStringLiteral("engine.ini"));
        settingsPath = dir.filePath(QStringLiteral("settings.ini"));
        const QString skip = qEnvironmentVariable("VORLANE_FUZZ_SKIP");
        const QStringList names = skip.split(QLatin1Char(','), Qt::SkipEmptyParts);
        skipFontRoundTrip = names.contains(QStringLiteral("font-roundtrip"));
        skipPersist = names.contains(QStringLiteral("persist"));
        skipResave = names.contains(QStringLiteral("resave"));
    }
};

// A function-local static so that the directory goes away at a normal exit.
Env &env()
{
    static Env e;
    return e;
}

[[noreturn]] void fail(const char *invariant, const QString &detail)
{
    std::fprintf(stderr, "fuzz_settings: invariant '%s' broken: %s\n", invariant, detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

QString show(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

void writeBytes(const QString &path, const std::uint8_t *data, std::size_t size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) != static_cast<qint64>(size)) {
        std::fprintf(stderr, "fuzz_settings: cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What the engine stores for a value: one line, valid UTF-8.
QString storedForm(const QString &value)
{
    std::string utf8;
    vl::appendUtf8(utf8, value);
    QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// A key whose written line can be found again by the same key.
bool findableKey(std::string_view k) { return !k.empty() && k.find('=') == std::string_view::npos && !hasLineBreak(k); }

// Names that survive a trip through the file unchanged: one line, UTF-8, and
// for keys nothing that could make "key=value" read as a section header.
bool persistableSection(std::string_view s) { return !hasLineBreak(s) && vl::isValidUtf8(s); }
bool persistableKey(std::string_view k) { return findableKey(k) && vl::isValidUtf8(k) && k.front() != '['; }

// The hash index relies on names that compare equal hashing equal.
void checkNameHash(std::string_view a, std::string_view b)
{
    if (vl::sameTextNoCase(a, b) && vl::hashNoCase(a) != vl::hashNoCase(b))
        fail("name-hash", show(a) + QStringLiteral(" vs ") + show(b));
}

void checkFontRoundTrip(const vl::FontSpec &font)
{
    if (env().skipFontRoundTrip)
        return;
    const QString text = vl::FontToString(font);
    vl::FontSpec again;
    try {
        vl::StringToFont(text, again);
    } catch (const vl::ConvertError &e) {
        fail("font-roundtrip", QStringLiteral("FontToString gave unparsable \"%1\" (%2) for name \"%3\"")
                                   .arg(text, QString::fromStdString(e.what()), font.Name));
    }
    if (!(again == font))
        fail("font-roundtrip", QStringLiteral("\"%1\" read back with name \"%2\" instead of \"%3\"")
                                   .arg(text, again.Name, font.Name));
}

// ------------------------------------------------------------ engine stage

const char *const kSections[] = {"General", "Page0", "page0", "Page1", "Page0\\Item1", "Page0\\Note1", ""};
const char *const kKeys[] = {"Count", "1", "2", "Page_Count", "Active_Page", "ShortcutFont", "Note_Font",
                             "Note_Color", "Item_CountTrue", "Desktop_Caption", "", "[x"};

class EngineRun {
public:
    EngineRun(FuzzedDataProvider &fdp, vl::TAppIniFile &ini) : fdp_(fdp), ini_(ini) {}

    void run()
    {
        QStringList fileSections;
        ini_.ReadSections(fileSections);
        for (const QString &s : fileSections)
            sections_.push_back(s.toStdString());
        for (std::size_t i = 1; i < sections_.size() && i < 64; ++i)
            checkNameHash(sections_[i - 1], sections_[i]);

        for (int step = 0; step < 200 && fdp_.remaining_bytes() > 0; ++step)
            op(fdp_.ConsumeIntegralInRange<int>(0, 17));

        ini_.ReadSections(fileSections);
        if (fileSections.size() != ini_.SectionCount())
            fail("sections", QStringLiteral("ReadSections disagrees with SectionCount"));
    }

    bool persistable() const { return persistable_; }

private:
    std::string pickSection()
    {
        const int choice = fdp_.ConsumeIntegralInRange<int>(0, 3);
        if (choice == 0 || sections_.empty()) {
            return kSections[fdp_.ConsumeIntegralInRange<std::size_t>(0, std::size(kSections) - 1)];
        }
        if (choice == 3)
            return fdp_.ConsumeRandomLengthString(40);
        return sections_[fdp_.ConsumeIntegralInRange<std::size_t>(0, sections_.size() - 1)];
    }

    std::string pickKey(const std::string &section)
    {
        const int choice = fdp_.ConsumeIntegralInRange<int>(0, 3);
        if (choice == 1 || choice == 2) {
            QStringList keys;
            ini_.ReadSection(section, keys);
            if (!keys.isEmpty())
                return keys[fdp_.ConsumeIntegralInRange<qsizetype>(0, keys.size() - 1)].toStdString();
        }
        if (choice == 3)
            return fdp_.ConsumeRandomLengthString(24);
        return kKeys[fdp_.ConsumeIntegralInRange<std::size_t>(0, std::size(kKeys) - 1)];
    }

    QString pickValue()
    {
        const std::string bytes = fdp_.ConsumeRandomLengthString(80);
        if (!fdp_.ConsumeBool())
            return QString::fromStdString(bytes);
        // Raw UTF-16 reaches what no file can hold: unpaired surrogates.
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.data()),
                                  static_cast<qsizetype>(bytes.size() / 2));
    }

    void notePersist(const std::string &section, const std::string &key)
    {
        if (!persistableSection(section) || (!key.empty() && !persistableKey(key)))
            persistable_ = false;
    }

    void op(int which)
    {
        const std::string sec = pickSection();
        switch (which) {
        case 0: {
            const std::string key = pickKey(sec);
            const QString v = ini_.ReadString(sec, key, QStringLiteral("def"));
            const auto raw = ini_.ReadValue(sec, key);
            if (v != (raw ? show(*raw) : QStringLiteral("def")))
                fail("read", QStringLiteral("ReadString and ReadValue disagree on ") + show(sec) + QLatin1Char('/')
                                 + show(key));
            break;
        }
        case 1:
            (void)ini_.ReadInteger(sec, pickKey(sec), 7);
            break;
        case 2:
            (void)ini_.ReadBool(sec, pickKey(sec), false);
            break;
        case 3:
            try {
                (void)ini_.ReadHexInteger(sec, pickKey(sec), fdp_.ConsumeIntegral<std::int32_t>());
            } catch (const vl::ConvertError &) {
            }
            break;
        case 4: {
            // A font that came out of parsing (or the default) always has a
            // text form that parses, so the fallback path never throws.
            ini_.ReadFont(sec, pickKey(sec), font_);
            checkFontRoundTrip(font_);
            break;
        }
        case 5: {
            QStringList lines;
            ini_.ReadStrings(sec, lines, QStringLiteral("This is Note"));
            if (lines.size() > ini_.SectionLineCount(sec))
                fail("strings", QStringLiteral("more strings than lines in ") + show(sec));
            break;
        }
        case 6: {
            const std::string key = pickKey(sec);
            const QString value = pickValue();
            ini_.WriteString(sec, key, value);
            notePersist(sec, key);
            if (findableKey(key)) {
                const QString back = ini_.ReadString(sec, key, QString());
                if (back != storedForm(value))
                    fail("write-read", show(sec) + QLatin1Char('/') + show(key) + QStringLiteral(": wrote \"")
                                           + value + QStringLiteral("\", read \"") + back + QLatin1Char('"'));
            }
            break;
        }
        case 7: {
            const std::string key = pickKey(sec);
            const auto n = fdp_.ConsumeIntegral<std::int32_t>();
            ini_.WriteInteger(sec, key, n);
            notePersist(sec, key);
            if (findableKey(key) && ini_.ReadInteger(sec, key, n ^ 1) != n)
                fail("write-read", QStringLiteral("integer %1 in ").arg(n) + show(sec) + QLatin1Char('/') + show(key));
            break;
        }
        case 8: {
            const std::string key = pickKey(sec);
            const auto n = fdp_.ConsumeIntegral<std::int32_t>();
            ini_.WriteHexInteger(sec, key, n);
            notePersist(sec, key);
            if (findableKey(key) && ini_.ReadHexInteger(sec, key, n ^ 1) != n)
                fail("write-read", QStringLiteral("hex %1 in ").arg(n) + show(sec) + QLatin1Char('/') + show(key));
            break;
        }
        case 9: {
            const std::string key = pickKey(sec);
            ini_.WriteFont(sec, key, font_);
            notePersist(sec, key);
            break;
        }
        case 10: {
            QStringList source;
            const int n = fdp_.ConsumeIntegralInRange<int>(0, 12);
            for (int i = 0; i < n; ++i)
                source.append(pickValue());
            ini_.WriteStrings(sec, source);
            notePersist(sec, std::string());
            QStringList back;
            ini_.ReadStrings(sec, back, QString());
            QStringList expected;
            for (const QString &s : source)
                expected.append(storedForm(s));
            if (back != expected)
                fail("write-read", QStringLiteral("WriteStrings/ReadStrings differ in ") + show(sec)
                                       + QStringLiteral(": wrote %1 lines, read %2").arg(source.size()).arg(back.size()));
            break;
        }
        case 11:
            ini_.DeleteKey(sec, pickKey(sec));
            break;
        case 12:
            ini_.EraseSection(sec);
            if (ini_.SectionLineCount(sec) != 0 || ini_.ReadValue(sec, "Count"))
                fail("erase", QStringLiteral("section still readable after EraseSection: ") + show(sec));
            break;
        case 13:
            try {
                ini_.UpdateFile();
            } catch (const vl::IniIoError &) {
            }
            break;
        case 14: {
            QStringList out;
            ini_.ReadSection(sec, out);
            ini_.ReadSectionValues(sec, out);
            ini_.AppendAll(out);
            break;
        }
        case 15: {
            const std::string key = pickKey(sec);
            ini_.WriteBool(sec, key, fdp_.ConsumeBool());
            notePersist(sec, key);
            break;
        }
        case 16: {
            // Names straight from the input, against the names of the file.
            const std::string other = fdp_.ConsumeRandomLengthString(24);
            checkNameHash(sec, other);
            break;
        }
        default: {
            vl::FontSpec f;
            try {
                vl::StringToFont(pickValue(), f);
                font_ = f;
            } catch (const vl::ConvertError &) {
            }
            break;
        }
        }
    }

    FuzzedDataProvider &fdp_;
    vl::TAppIniFile &ini_;
    std::vector<std::string> sections_;
    vl::FontSpec font_ = vl::defaultFont();
    bool persistable_ = true;
};

void engineStage(const std::uint8_t *data, std::size_t size)
{
    Env &e = env();
    writeBytes(e.iniPath, data, size);
    FuzzedDataProvider fdp(data, size);
    bool written = false;
    QStringList inMemory;
    bool persistable = false;
    try {
        vl::TAppIniFile ini(e.iniPath);
        EngineRun run(fdp, ini);
        run.run();
        ini.UpdateFile();
        written = true;
        persistable = run.persistable();
        ini.AppendAll(inMemory);
    } catch (const vl::IniIoError &) {
        // Reading or writing the file failed: documented, nothing to compare.
    }
    if (!written || !persistable || e.skipPersist)
        return;
    // What was written must read back as what memory held.
    vl::TAppIniFile again(e.iniPath);
    QStringList fromFile;
    again.AppendAll(fromFile);
    if (fromFile != inMemory) {
        qsizetype i = 0;
        while (i < fromFile.size() && i < inMemory.size() && fromFile[i] == inMemory[i])
            ++i;
        fail("persist", QStringLiteral("line %1: memory \"%2\", file \"%3\"")
                            .arg(i)
                            .arg(i < inMemory.size() ? inMemory[i] : QStringLiteral("<end>"),
                                 i < fromFile.size() ? fromFile[i] : QStringLiteral("<end>")));
    }
}

// ------------------------------------------------------------ font stage

void fontStage(const std::uint8_t *data, std::size_t size)
{
    // Slices at a few input-chosen places, decoded two ways.
    FuzzedDataProvider fdp(data, size);
    for (int i = 0; i < 8 && fdp.remaining_bytes() > 0; ++i) {
        const std::string slice = fdp.ConsumeRandomLengthString(128);
        const QString texts[] = {QString::fromUtf8(slice.data(), static_cast<qsizetype>(slice.size())),
                                 QString::fromLatin1(slice.data(), static_cast<qsizetype>(slice.size()))};
        for (const QString &text : texts) {
            vl::FontSpec font = vl::defaultFont();
            try {
                vl::StringToFont(text, font);
            } catch (const vl::ConvertError &) {
                continue;
            }
            checkFontRoundTrip(font);
        }
    }
}

// ------------------------------------------------------------ settings stage

// Built on the console prompt so that every dialog the interface gains later
// answers "cancelled" without this file changing; only the messages and the
// questions are taken over, to stay quiet and to answer as the input says.
class SilentPrompt : public vl::ConsolePrompt {
public:
    explicit SilentPrompt(vl::ModalResult answer) : answer_(answer) {}
    int messages = 0;

protected:
    void showMessage(const QString &) override { ++messages; }
    vl::ModalResult messageDlg(const QString &, vl::MsgDlgType, unsigned, int) override
    {
        ++messages;
        return answer_;
    }

private:
    vl::ModalResult answer_;
};

void checkWorkspace(const vl::Workspace &ws)
{
    if (ws.desktopCount() < 1 || ws.activeIndex() < 0 || ws.activeIndex() >= ws.desktopCount())
        fail("workspace", QStringLiteral("%1 desktops, active %2").arg(ws.desktopCount()).arg(ws.activeIndex()));
}

void settingsStage(const std::uint8_t *data, std::size_t size)
{
    Env &e = env();
    writeBytes(e.settingsPath, data, size);
    const std::uint8_t control = size > 0 ? data[size / 2] : 0;
    const vl::ModalResult answers[] = {vl::ModalResult::Yes, vl::ModalResult::No, vl::ModalResult::Cancel,
                                       vl::ModalResult::None};

    vl::SettingsFile::SaveResult saved;
    {
        vl::Workspace ws;
        SilentPrompt prompt(answers[control & 3]);
        vl::SettingsHost host;
        vl::SettingsFile file(ws, prompt, host, e.settingsPath);
        file.LoadAll((control & 4) != 0);
        checkWorkspace(ws);
        if (control & 8) {
            file.ReloadAll();
            checkWorkspace(ws);
        }
        saved = file.SaveAll();
        checkWorkspace(ws);
    }
    if (saved != vl::SettingsFile::SaveResult::Saved || e.skipResave)
        return;

    // A saved file loads without complaint, and saving it again changes it at
    // most once: the first re-save may move note lines to the end of their
    // sections (which WriteStrings does by design); after that a save of
    // unchanged settings must not change a byte.
    QByteArray previous = readBytes(e.settingsPath);
    for (int round = 1; round <= 2; ++round) {
        vl::Workspace ws;
        SilentPrompt prompt(vl::ModalResult::No);
        vl::SettingsHost host;
        vl::SettingsFile file(ws, prompt, host, e.settingsPath);
        file.LoadAll(true);
        checkWorkspace(ws);
        if (prompt.messages != 0 || ws.work.ErrorsOccurred)
            return; // pictures named in the file may be unreadable; not a file fault
        const auto again = file.SaveAll();
        if (again != vl::SettingsFile::SaveResult::Saved)
            fail("resave", QStringLiteral("re-save %1 of a saved file did not succeed (%2)").arg(round).arg(static_cast<int>(again)));
        const QByteArray now = readBytes(e.settingsPath);
        if (round == 2 && now != previous) {
            qsizetype i = 0;
            while (i < previous.size() && i < now.size() && previous[i] == now[i])
                ++i;
            const qsizetype from = std::max<qsizetype>(0, i - 40);
            fail("resave", QStringLiteral("unchanged settings saved differently at byte %1: \"%2\" became \"%3\"")
                               .arg(i)
                               .arg(QString::fromUtf8(previous.mid(from, 100)), QString::fromUtf8(now.mid(from, 100))));
        }
        previous = now;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        engineStage(data, size);
        fontStage(data, size);
        settingsStage(data, size);
    } catch (const std::exception &e) {
        fail("exception", QStringLiteral("undocumented exception escaped: ") + QString::fromStdString(e.what()));
    }
    return 0;
}
