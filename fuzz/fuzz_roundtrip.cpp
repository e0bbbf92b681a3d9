// Random models are saved and loaded back. The input bytes choose the
// model: any Unicode in every text (controls, binary zeros, CR and LF, lone
// surrogates, text that looks like a section header, very long values),
// empty captions, any integer and colour. Two invariants, checked after
// every input:
//   - no file the writer wrote is ever refused by the reader: the load
//     reports no error, whatever the model held;
//   - the loaded model equals the saved one up to the documented
//     normalisations: every text as storable() makes it (zeros dropped,
//     line breaks as blanks, lone surrogates as U+FFFD), window position
//     keys of a maximized window not written, and a save that an empty
//     caption ended early (then only the first invariant holds).
//
// Build and run: see fuzz/CMakeLists.txt.

#include "app/ConsolePrompt.h"
#include "common/Prompt.h"
#include "model/Model.h"
#include "model/StorableText.h"
#include "storage/ModelJson.h"
#include "storage/SettingsFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

QString tempTemplate()
{
    // Every save ends in a sync; on a memory file system it costs nothing.
    if (qEnvironmentVariableIsEmpty("TMPDIR") && QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        return QStringLiteral("/dev/shm/vorlane-roundtrip-XXXXXX");
    return QDir::tempPath() + QStringLiteral("/vorlane-roundtrip-XXXXXX");
}

struct Env {
    QTemporaryDir dir{tempTemplate()};
    QString path;
    Env()
    {
        if (!dir.isValid()) {
            std::fprintf(stderr, "fuzz_roundtrip: cannot create a temporary directory\n");
            std::abort();
        }
        path = dir.filePath(QStringLiteral("vorlane.ini"));
    }
};

Env &env()
{
    static Env e;
    return e;
}

[[noreturn]] void fail(const char *invariant, const QString &detail)
{
    std::fprintf(stderr, "fuzz_roundtrip: invariant '%s' broken: %s\n", invariant, detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

// Records what a load or save says instead of printing it.
class QuietPrompt : public vl::ConsolePrompt {
public:
    QStringList messages;

protected:
    void showMessage(const QString &text) override { messages.append(text); }
    vl::ModalResult messageDlg(const QString &text, vl::MsgDlgType, unsigned, int) override
    {
        messages.append(text);
        return vl::ModalResult::No;
    }
};

// Text of every kind a user or another program could bring in.
QString text(FuzzedDataProvider &in)
{
    QString out;
    const int length = in.ConsumeIntegralInRange<int>(0, in.ConsumeBool() ? 12 : 3000);
    for (int i = 0; i < length && in.remaining_bytes() > 0; ++i) {
        switch (in.ConsumeIntegralInRange<int>(0, 9)) {
        case 0:
            out += QChar(in.ConsumeIntegralInRange<char16_t>(0, 0x1F)); // controls, NUL, CR, LF
            break;
        case 1:
            out += QChar(in.ConsumeIntegralInRange<char16_t>(0xD800, 0xDFFF)); // surrogate halves
            break;
        case 2:
            out += QChar(in.ConsumeIntegral<char16_t>()); // anything in the BMP
            break;
        case 3: {
            static const char *const pieces[] = {"[", "]", "=", ";", "[General]", "\r\n[Page0]\r\n",
                                                 "Count=", "1=", "NONE", "\x1A", "\xEF\xBB\xBF", "$", "0x"};
            out += QString::fromUtf8(pieces[in.ConsumeIntegralInRange<std::size_t>(0, std::size(pieces) - 1)]);
            break;
        }
        case 4: {
            const char32_t astral = in.ConsumeIntegralInRange<char32_t>(0x10000, 0x10FFFF);
            out += QString::fromUcs4(&astral, 1);
            break;
        }
        default:
            out += QChar(in.ConsumeIntegralInRange<char16_t>(0x20, 0x7E));
            break;
        }
    }
    return out;
}

// Font names come from the system's font list: one storable line without
// the comma that separates the fields of a font's text form.
QString fontName(FuzzedDataProvider &in)
{
    QString name = vl::storable(text(in).left(40));
    name.remove(QLatin1Char(','));
    return name;
}

vl::FontSpec font(FuzzedDataProvider &in)
{
    vl::FontSpec f;
    f.Name = fontName(in);
    f.Size = in.ConsumeIntegral<int>();
    f.Charset = in.ConsumeIntegralInRange<int>(0, 255);
    f.Bold = in.ConsumeBool();
    f.Italic = in.ConsumeBool();
    f.Underline = in.ConsumeBool();
    f.StrikeOut = in.ConsumeBool();
    f.Color = in.ConsumeIntegral<std::uint32_t>();
    return f;
}

// Page colours are stored as what they show: plain RGB.
vl::Colour rgb(FuzzedDataProvider &in) { return in.ConsumeIntegralInRange<std::uint32_t>(0, 0xFFFFFF); }

void build(FuzzedDataProvider &in, vl::Workspace &ws)
{
    vl::GlobalSettings &g = ws.global;
    g.FormMaximized_Key = in.ConsumeBool();
    g.FormWidth_Key = in.ConsumeIntegral<int>();
    g.FormHeight_Key = in.ConsumeIntegral<int>();
    g.FormTop_Key = in.ConsumeIntegral<int>();
    g.FormLeft_Key = in.ConsumeIntegral<int>();
    g.TabFont = font(in);
    g.Immediate_Save = in.ConsumeBool();
    g.Leave_Missing = true; // shortcuts to missing files stay: the paths are random
    g.Tab_Position = in.ConsumeBool();
    g.Tab_Multiline = in.ConsumeBool();
    g.Cell_Height = in.ConsumeIntegral<int>();
    g.Cell_Width = in.ConsumeIntegral<int>();
    g.Auto_Save = in.ConsumeBool();
    g.AutoSave_Time = in.ConsumeIntegral<int>();
    g.Wave_File = text(in);
    g.Always_OnBack = in.ConsumeBool();
    g.Drop_Enabled = in.ConsumeBool();
    g.OpenIn_NewWindow = in.ConsumeBool();
    g.bStatusBar_Enabled = in.ConsumeBool();
    g.Single_Click = in.ConsumeBool();
    g.SingleClick_Time = in.ConsumeIntegral<int>();

    const int desktops = in.ConsumeIntegralInRange<int>(1, 6);
    for (int p = 0; p < desktops; ++p) {
        g.ShortcutFont = font(in);
        ws.work.Template.BG_Shortcut = rgb(in);
        ws.work.Template.Transparent = in.ConsumeBool();
        vl::Desktop &d = ws.CreateNewTabSheet();
        d.Desktop_Caption = text(in);
        d.settings.Password = text(in);
        d.settings.Password_On_Desktop = in.ConsumeIntegral<int>();
        d.settings.Background_Stretch = in.ConsumeBool();
        d.settings.Background_Center = in.ConsumeBool();
        d.settings.BG_Color = rgb(in);
        // No picture that exists: a load would try to show it.
        d.settings.Background_Picture = in.ConsumeBool() ? QString() : QStringLiteral("/nonexistent/") + text(in);
        const int elements = in.ConsumeIntegralInRange<int>(0, 12);
        for (int e = 0; e < elements && in.remaining_bytes() > 0; ++e) {
            ws.work.NewElementPosition = QPoint(in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>());
            if (in.ConsumeBool()) {
                vl::ShortcutItem &item = ws.CreateNewItem();
                item.AttachedFile = text(in);
                item.CommandString = text(in);
                item.Picture = in.ConsumeBool() ? QStringLiteral("NONE") : QString();
                item.Label_Caption = text(in);
                item.Item_Left = in.ConsumeIntegral<int>();
                item.Item_Top = in.ConsumeIntegral<int>();
            } else {
                vl::Note &note = ws.CreateNewNote();
                note.Lines.clear();
                const int lines = in.ConsumeIntegralInRange<int>(0, 8);
                for (int l = 0; l < lines; ++l)
                    note.Lines.append(text(in));
                note.Note_Width = in.ConsumeIntegral<int>();
                note.Note_Height = in.ConsumeIntegral<int>();
                note.Note_Left = in.ConsumeIntegral<int>();
                note.Note_Top = in.ConsumeIntegral<int>();
                note.Note_Font = font(in);
                note.Note_Color = in.ConsumeIntegral<std::uint32_t>();
                note.UseParentColor = in.ConsumeBool();
            }
        }
    }
    ws.setActiveIndex(in.ConsumeIntegralInRange<int>(0, desktops - 1));
}

// The model as a load of its file must give it back.
void normalise(vl::Workspace &ws)
{
    vl::GlobalSettings &g = ws.global;
    if (g.FormMaximized_Key) {
        // A maximized window leaves the position keys as the file had them.
        const vl::GlobalSettings defaults;
        g.FormWidth_Key = defaults.FormWidth_Key;
        g.FormHeight_Key = defaults.FormHeight_Key;
        g.FormTop_Key = defaults.FormTop_Key;
        g.FormLeft_Key = defaults.FormLeft_Key;
    }
    g.Wave_File = vl::storable(g.Wave_File);
    for (int p = 0; p < ws.desktopCount(); ++p) {
        vl::Desktop &d = ws.desktop(p);
        d.Desktop_Caption = vl::storable(d.Desktop_Caption);
        d.settings.Password = vl::storable(d.settings.Password);
        d.settings.Background_Picture = vl::storable(d.settings.Background_Picture);
        for (auto &item : d.items) {
            item->AttachedFile = vl::storable(item->AttachedFile);
            item->CommandString = vl::storable(item->CommandString);
            item->Label_Caption = vl::storable(item->Label_Caption);
        }
        for (auto &note : d.notes)
            note->Lines = vl::storable(note->Lines);
    }
}

QByteArray comparable(const vl::Workspace &ws)
{
    QJsonObject model = QJsonDocument::fromJson(QByteArray::fromStdString(vl::modelToJson(ws))).object();
    model.remove(QStringLiteral("ErrorsOccurred"));
    return QJsonDocument(model).toJson(QJsonDocument::Indented);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        FuzzedDataProvider in(data, size);
        const QString &path = env().path;
        QFile::remove(path);

        vl::Workspace saved;
        build(in, saved);
        QuietPrompt savePrompt;
        vl::SettingsHost host;
        vl::SettingsFile writer(saved, savePrompt, host, path);
        const auto result = writer.SaveAll();
        bool captionMissing = false;
        for (int p = 0; p < saved.desktopCount(); ++p)
            captionMissing = captionMissing || saved.desktop(p).Desktop_Caption.isEmpty();
        using Result = vl::SettingsFile::SaveResult;
        if (result != (captionMissing ? Result::Incomplete : Result::Saved))
            fail("saved", savePrompt.messages.join(QLatin1Char('|')));

        vl::Workspace loaded;
        QuietPrompt loadPrompt;
        vl::SettingsFile reader(loaded, loadPrompt, host, path);
        reader.LoadAll(false);
        if (!loadPrompt.messages.isEmpty() || !reader.unreadableCopy().isEmpty())
            fail("readable", loadPrompt.messages.join(QLatin1Char('|')));
        if (captionMissing)
            return 0;

        normalise(saved);
        const QByteArray want = comparable(saved);
        const QByteArray got = comparable(loaded);
        if (want != got)
            fail("round-trip", QStringLiteral("saved:\n%1\nloaded:\n%2").arg(QString::fromUtf8(want), QString::fromUtf8(got)));
    } catch (const std::exception &e) {
        fail("exception", QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
