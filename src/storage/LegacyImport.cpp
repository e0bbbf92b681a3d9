#include "storage/LegacyImport.h"

#include "common/OutsideRequests.h"
#include "common/Prompt.h"
#include "model/StorableText.h"
#include "platform/RegistryFile.h"
#include "storage/LoadSteps.h"
#include "storage/SettingsFile.h"
#include "storage/TextConv.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace vl {

namespace {

using Type = RegistryFile::Value::Type;

// What stops the import, worded for the person who chose the file.
class ImportFailure : public std::runtime_error {
public:
    ImportFailure(const QString &key, const char *name, const QString &what)
        : std::runtime_error(
              QStringLiteral("the value %1 of HKEY_CURRENT_USER\\%2 %3").arg(QLatin1String(name), key, what).toStdString())
    {
    }
};

// The older versions stored booleans as integers and integers as numbers
// or as decimal text. A value of another type, or a text that is no
// number, reads as the key's default, as in the settings file.
class Reader {
public:
    explicit Reader(const RegistryFile &registry) : reg_(registry) {}

    int integer(const QString &key, const char *name, int def) const
    {
        const auto v = reg_.value(key, QLatin1String(name));
        if (!v)
            return def;
        switch (v->type) {
        case Type::Dword:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(v->number));
        case Type::Qword: {
            const auto n = static_cast<qint64>(v->number);
            return n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max()
                       ? static_cast<int>(n)
                       : def;
        }
        case Type::String:
        case Type::ExpandString:
            return parseInteger(QStringView(v->text)).value_or(def);
        default:
            return def;
        }
    }

    bool boolean(const QString &key, const char *name, bool def) const { return integer(key, name, def ? 1 : 0) != 0; }

    QString text(const QString &key, const char *name, const QString &def) const
    {
        const auto v = reg_.value(key, QLatin1String(name));
        if (!v || (v->type != Type::String && v->type != Type::ExpandString))
            return def;
        return storable(v->text);
    }

    // A font value fills the record from its start; a value shorter than
    // the record leaves the rest as it was. Anything but binary data of at
    // most 40 bytes is an import error.
    void record(const QString &key, const char *name, LegacyImport::FontRecord &record) const
    {
        const auto v = reg_.value(key, QLatin1String(name));
        if (!v)
            return;
        if (v->type != Type::Binary)
            throw ImportFailure(key, name, QStringLiteral("is no binary font record"));
        if (static_cast<std::size_t>(v->bytes.size()) > record.size())
            throw ImportFailure(key, name, QStringLiteral("is larger than a font record (40 bytes)"));
        std::memcpy(record.data(), v->bytes.constData(), static_cast<std::size_t>(v->bytes.size()));
    }

    // A count may ask for at most every key the registry holds plus what
    // is still allowed to be missing: a corrupt count must not create
    // desktops or shortcuts without end.
    int count(const QString &key, const char *name, int def, int missingLeft) const
    {
        return std::clamp(integer(key, name, def), 0, reg_.keyCount() + std::max(missingLeft, 0));
    }

private:
    const RegistryFile &reg_;
};

std::uint32_t le32(const LegacyImport::FontRecord &r, std::size_t at)
{
    return static_cast<std::uint32_t>(r[at]) | static_cast<std::uint32_t>(r[at + 1]) << 8
           | static_cast<std::uint32_t>(r[at + 2]) << 16 | static_cast<std::uint32_t>(r[at + 3]) << 24;
}

} // namespace

LegacyImport::LegacyImport(Workspace &ws, Prompt &prompt, SettingsHost &host) : ws_(ws), prompt_(&prompt), host_(host) {}

LegacyImport::LegacyImport(Workspace &ws, SettingsHost &host) : ws_(ws), prompt_(nullptr), host_(host) {}

bool LegacyImport::holdsSettings(const RegistryFile &registry) { return registry.hasKey(Key); }

namespace {

// The dry run's window: nothing to show, and every picture counts as
// shown, so that trying an import decodes nothing.
class ScratchHost : public SettingsHost {
public:
    bool canShowPicture(const QString &) override { return true; }
};

} // namespace

std::optional<QString> LegacyImport::refusal(const RegistryFile &registry)
{
    // Importing a file without the key would replace every desktop by one
    // empty desktop: surely the wrong file.
    if (!holdsSettings(registry))
        return QStringLiteral("no key HKEY_CURRENT_USER\\") + Key;
    // The import's own steps into a workspace of its own: whatever would stop
    // the import stops it here, before the caller has destroyed anything.
    // Nothing the import fails on depends on what the workspace held before.
    Workspace scratch;
    ScratchHost host;
    LegacyImport dry(scratch, host);
    LoadSteps steps(scratch, host);
    bool immediateSave = false;
    try {
        dry.importBody(registry, steps, immediateSave);
    } catch (const std::exception &e) {
        return QString::fromStdString(e.what());
    }
    return std::nullopt;
}

std::optional<RegistryFile> LegacyImport::readForImport(const QString &path, QString *why)
{
    QString error;
    std::optional<RegistryFile> registry = RegistryFile::read(path, &error);
    if (registry) {
        if (const std::optional<QString> refused = refusal(*registry)) {
            error = path + QStringLiteral(": ") + *refused;
            registry.reset();
        }
    }
    if (!registry && why)
        *why = error;
    return registry;
}

FontSpec LegacyImport::RecordToFont(const FontRecord &record)
{
    FontSpec f;
    // The length byte belongs to a name of at most 20 characters; a larger
    // one would reach into the padding and the colour.
    const int length = std::min<int>(record[0], 20);
    for (int i = 0; i < length && record[static_cast<std::size_t>(1 + i)] != 0; ++i)
        f.Name.append(QChar(windows1252Char(record[static_cast<std::size_t>(1 + i)])));
    f.Color = static_cast<Colour>(le32(record, 24));
    f.Charset = record[28];
    f.Size = static_cast<std::int32_t>(le32(record, 32));
    const std::uint8_t styles = record[36];
    f.Bold = styles & 1;
    f.Italic = styles & 2;
    f.Underline = styles & 4;
    f.StrikeOut = styles & 8;
    if (f.Size == 0)
        f.Size = ZeroSizePoints;
    return f;
}

void LegacyImport::RegistryToFont()
{
    ws_.global.ShortcutFont = RecordToFont(shortcutRecord_);
    ws_.global.TabFont = RecordToFont(tabRecord_);
}

void LegacyImport::LoadFromRegistry(const RegistryFile &registry)
{
    WorkingValues &w = ws_.work;
    const OutsideRequests::Busy busy(requests_);
    w.Loading = true;
    // Immediate_Save takes effect only at the end, so that nothing is saved
    // while the model is half built; false when the import failed before
    // reading it.
    bool immediateSave = false;
    try {
        LoadSteps steps(ws_, *prompt_, host_, true);
        importBody(registry, steps, immediateSave);
    } catch (const std::exception &) {
        // The import stops here; every desktop built so far stays.
        w.ErrorsOccurred = true;
        prompt_->ShowMessage(ImportError);
    }
    // The window always has a desktop, whatever the registry held: one
    // with the defaults of an empty registry.
    if (ws_.desktopCount() == 0) {
        Desktop &d = ws_.CreateNewTabSheet();
        d.Desktop_Caption = DefaultCaption;
        d.settings.Background_Center = true;
        d.settings.Password_On_Desktop = 1;
        d.settings.BG_Color = 0xC0C0C0;
        ws_.setActiveIndex(0);
    }
    w.WorkingPassword.clear();
    w.WorkingPasswordMode = 1;
    w.Loading = false;
    host_.desktopChanged();
    ws_.global.Immediate_Save = immediateSave;
}

void LegacyImport::importBody(const RegistryFile &registry, LoadSteps &steps, bool &immediateSave)
{
    GlobalSettings &g = ws_.global;
    WorkingValues &w = ws_.work;
    const GlobalSettings defaults;
    const Reader reg(registry);
    const QString general = Key + QStringLiteral("\\General");

    g.FormMaximized_Key = reg.boolean(general, "FormMaximized_Key", defaults.FormMaximized_Key);
    // A maximised window still has a normal size and place to restore to:
    // the ones stored, or those it has now, never the defaults over them.
    const GlobalSettings &fallback = g.FormMaximized_Key ? g : defaults;
    g.FormWidth_Key = reg.integer(general, "FormWidth_Key", fallback.FormWidth_Key);
    g.FormHeight_Key = reg.integer(general, "FormHeight_Key", fallback.FormHeight_Key);
    g.FormLeft_Key = reg.integer(general, "FormLeft_Key", fallback.FormLeft_Key);
    g.FormTop_Key = reg.integer(general, "FormTop_Key", fallback.FormTop_Key);
    host_.applyWindowState(g);

    reg.record(Key, "ShortcutFont", shortcutRecord_);
    reg.record(Key, "TabFont", tabRecord_);
    RegistryToFont();

    immediateSave = reg.boolean(general, "Immediate_Save", defaults.Immediate_Save);
    g.Leave_Missing = reg.boolean(general, "Leave_Missing", defaults.Leave_Missing);
    g.Tab_Position = reg.boolean(general, "Tab_Position", defaults.Tab_Position);
    g.Tab_Multiline = reg.boolean(general, "Tab_Multiline", defaults.Tab_Multiline);
    g.Cell_Height = reg.integer(general, "Cell_Height", defaults.Cell_Height);
    g.Cell_Width = reg.integer(general, "Cell_Width", defaults.Cell_Width);
    // Keys that are missing read as empty, as in the registry; the whole
    // import shares one allowance of them, as a settings load does.
    int missingLeft = SettingsFile::MissingSectionAllowance;
    const int pageCount = reg.count(general, "Page_Count", 1, missingLeft);
    const int activePage = reg.integer(general, "Active_Page", 0);
    g.Auto_Save = reg.boolean(general, "Auto_Save", defaults.Auto_Save);
    g.AutoSave_Time = reg.integer(general, "AutoSave_Time", defaults.AutoSave_Time);
    g.Wave_File = reg.text(general, "Wave_File", defaults.Wave_File);

    for (int p = 0; p < pageCount; ++p) {
        host_.processEvents();
        const QString page = Key + QStringLiteral("\\Page") + QString::number(p);
        if (!registry.hasKey(page) && --missingLeft < 0)
            break;
        // A desktop without a font of its own gets the one before it: the
        // record keeps its last content.
        reg.record(page, "ShortcutFont", shortcutRecord_);
        RegistryToFont();

        const QString caption = reg.text(page, "Desktop_Caption", DefaultCaption);
        const int itemCount = reg.count(page, "Item_CountTrue", 0, missingLeft);
        const bool stretch = reg.boolean(page, "Background_Stretch", false);
        const bool center = reg.boolean(page, "Background_Center", true);
        const QString password = reg.text(page, "Password", QString());
        const int passwordMode = reg.integer(page, "Password_On_Desktop", 1);
        const QString picture = reg.text(page, "Background_Picture", QString());
        const Colour bgColor = reg.integer(page, "BG_Color", 0xC0C0C0);
        w.Template.BG_Shortcut = reg.integer(page, "BG_Shortcut", 0xC0C0C0);
        w.Template.Transparent = reg.boolean(page, "Transparent", true);

        Desktop &d = ws_.CreateNewTabSheet();
        d.Desktop_Caption = caption;
        d.settings.Password = password;
        d.settings.Password_On_Desktop = passwordMode;
        d.settings.BG_Color = bgColor;
        d.settings.Background_Picture = picture;
        d.settings.Background_Stretch = stretch;
        d.settings.Background_Center = center;
        // No existence test first: a missing file is a failed picture.
        steps.backgroundPicture(d, LoadSteps::MissingPicture::Failed);

        for (int i = 1; i <= itemCount; ++i) {
            const QString sec = page + QStringLiteral("\\Item") + QString::number(i);
            if (!registry.hasKey(sec) && --missingLeft < 0)
                break;
            LoadSteps::Shortcut item;
            item.AttachedFile = reg.text(sec, "AttachedFile", QString());
            if (!steps.keepsShortcut(item.AttachedFile))
                continue;
            item.CommandString = reg.text(sec, "CommandString", QString());
            item.Picture = reg.text(sec, "Picture", QString());
            item.Label_Caption = reg.text(sec, "Label_Caption", QString());
            item.Item_Left = reg.integer(sec, "Item_Left", 10);
            item.Item_Top = reg.integer(sec, "Item_Top", 10);
            steps.addShortcut(std::move(item));
        }
    }

    if (!ws_.setActiveIndex(activePage))
        throw ImportFailure(general, "Active_Page",
                            ws_.desktopCount() == 0
                                ? QStringLiteral("is %1, but no desktop was imported").arg(activePage)
                                : QStringLiteral("is %1, but the desktops are numbered 0 to %2")
                                      .arg(activePage)
                                      .arg(ws_.desktopCount() - 1));
}

} // namespace vl
