#include "SettingsGen.h"

#include "storage/BigIni.h"
#include "storage/SettingsFile.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <stdexcept>

namespace vl::bench {

namespace {

// splitmix64: tiny, and the same sequence on every machine and library, which
// std::uniform_int_distribution does not promise.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    template <class T, std::size_t N> const T &pick(const std::array<T, N> &a) { return a[next() % N]; }

private:
    std::uint64_t state_;
};

constexpr std::array<const char *, 24> kWords{
    "Report", "Budget", "Draft",   "Invoices", "Music",   "Photos", "Backup",  "Wiki",
    "Team",   "Notes",  "Project", "Archive",  "Plans",   "Minutes", "Scans",  "Slides",
    "Tax",    "Letters", "Travel", "Recipes",  "Contracts", "Offers", "Manuals", "Tools",
};
constexpr std::array<const char *, 6> kExtensions{"odt", "pdf", "ods", "txt", "docx", "png"};
constexpr std::array<const char *, 10> kPrograms{
    "libreoffice", "gimp", "inkscape", "thunderbird", "firefox",
    "gnome-terminal", "keepassxc", "vlc", "code", "blender",
};
constexpr std::array<const char *, 5> kProgramArguments{
    "--new-window", "--profile work", "--minimized", "-o /home/user/Documents/inbox", "--safe-mode",
};
constexpr std::array<const char *, 10> kDesktopNames{
    "Work", "Home", "Projects", "Tools", "Media", "Archive", "Admin", "Games", "Study", "Travel",
};
constexpr std::array<const char *, 12> kNoteLines{
    "Call the printer service before Friday",
    "Backup runs at 22:00, keep the disk plugged in",
    "Budget review moved to room 4.12",
    "Renew the domain in March",
    "Password hint is in the blue folder",
    "Send the scans to accounting",
    "Water the plants",
    "Release notes: check the links",
    "Ask about the new tax form",
    "Shopping: milk, coffee, batteries",
    "Meeting notes are on the wiki",
    "Do not delete the old archive yet",
};

QString caption(Rng &rng)
{
    // 10 to 25 characters of words and a number, never ending in a blank.
    const int target = rng.between(11, 25);
    QString s;
    while (s.size() < target) {
        if (!s.isEmpty())
            s += QLatin1Char(' ');
        s += rng.below(4) == 0 ? QString::number(rng.between(1, 999)) : QString::fromLatin1(rng.pick(kWords));
    }
    s.truncate(target);
    if (s.endsWith(QLatin1Char(' ')))
        s.chop(1);
    return s;
}

void fillItem(ShortcutItem &item, Rng &rng)
{
    const int kind = rng.below(100);
    if (kind < 55) {
        item.AttachedFile = QStringLiteral("/home/user/Documents/project-%1/report-%2.%3")
                                .arg(rng.between(1, 9999))
                                .arg(rng.between(1, 99))
                                .arg(QLatin1String(rng.pick(kExtensions)));
        if (rng.below(10) == 0)
            item.CommandString = QStringLiteral("--view");
    } else if (kind < 70) {
        item.AttachedFile = QStringLiteral("/usr/bin/") + QLatin1String(rng.pick(kPrograms));
        if (rng.below(10) < 6)
            item.CommandString = QLatin1String(rng.pick(kProgramArguments));
    } else if (kind < 85) {
        item.AttachedFile = rng.below(2) == 0 ? QStringLiteral("/home/user/Music/album-%1").arg(rng.between(1, 500))
                                              : QStringLiteral("/srv/share/team-%1/incoming").arg(rng.between(1, 40));
    } else {
        item.AttachedFile = QStringLiteral("https://intranet.example.org/wiki/Page_%1").arg(rng.between(1, 20000));
    }
    if (rng.below(100) < 3)
        item.Picture = ShortcutItem::NoPicture;
    item.Label_Caption = caption(rng);
}

void fillNote(Note &note, Rng &rng)
{
    const int lines = rng.between(2, 4);
    for (int k = 0; k < lines; ++k)
        note.Lines.append(QLatin1String(rng.pick(kNoteLines)));
    note.Note_Width = rng.between(120, 300);
    note.Note_Height = rng.between(60, 150);
    if (rng.below(4) == 0)
        note.Note_Color = rgbColour(rng.below(256), rng.below(256), rng.below(256));
    note.UseParentColor = rng.below(10) == 0;
}

const char *sameOrWhat(bool same, const char *what) { return same ? nullptr : what; }

QString compareGlobal(const GlobalSettings &a, const GlobalSettings &b)
{
    const char *d = nullptr;
    if (!d) d = sameOrWhat(a.FormMaximized_Key == b.FormMaximized_Key, "FormMaximized_Key");
    if (!d) d = sameOrWhat(a.FormWidth_Key == b.FormWidth_Key && a.FormHeight_Key == b.FormHeight_Key
                               && a.FormTop_Key == b.FormTop_Key && a.FormLeft_Key == b.FormLeft_Key,
                           "window position");
    if (!d) d = sameOrWhat(a.ShortcutFont == b.ShortcutFont, "ShortcutFont");
    if (!d) d = sameOrWhat(a.TabFont == b.TabFont, "TabFont");
    if (!d) d = sameOrWhat(a.Immediate_Save == b.Immediate_Save && a.Leave_Missing == b.Leave_Missing
                               && a.Tab_Position == b.Tab_Position && a.Tab_Multiline == b.Tab_Multiline
                               && a.Auto_Save == b.Auto_Save && a.Always_OnBack == b.Always_OnBack
                               && a.Drop_Enabled == b.Drop_Enabled && a.OpenIn_NewWindow == b.OpenIn_NewWindow
                               && a.bStatusBar_Enabled == b.bStatusBar_Enabled && a.Single_Click == b.Single_Click,
                           "a boolean option");
    if (!d) d = sameOrWhat(a.Cell_Height == b.Cell_Height && a.Cell_Width == b.Cell_Width
                               && a.AutoSave_Time == b.AutoSave_Time && a.SingleClick_Time == b.SingleClick_Time,
                           "a numeric option");
    if (!d) d = sameOrWhat(a.Wave_File == b.Wave_File, "Wave_File");
    return d ? QStringLiteral("General: ") + QLatin1String(d) : QString();
}

const char *compareDesktop(const Desktop &a, const Desktop &b)
{
    const DesktopSettings &s = a.settings;
    const DesktopSettings &t = b.settings;
    if (a.Desktop_Caption != b.Desktop_Caption)
        return "Desktop_Caption";
    if (s.Background_Picture != t.Background_Picture || s.Background_Stretch != t.Background_Stretch
        || s.Background_Center != t.Background_Center)
        return "background";
    if (s.BG_Color != t.BG_Color || s.BG_Shortcut != t.BG_Shortcut || s.Transparent != t.Transparent)
        return "colours";
    if (s.Password != t.Password || s.Password_On_Desktop != t.Password_On_Desktop)
        return "password";
    if (s.ShortcutFont != t.ShortcutFont)
        return "ShortcutFont";
    if (a.items.size() != b.items.size())
        return "shortcut count";
    if (a.notes.size() != b.notes.size())
        return "note count";
    return nullptr;
}

const char *compareItem(const ShortcutItem &a, const ShortcutItem &b)
{
    if (a.AttachedFile != b.AttachedFile)
        return "AttachedFile";
    if (a.CommandString != b.CommandString)
        return "CommandString";
    if (a.Picture != b.Picture)
        return "Picture";
    if (a.Label_Caption != b.Label_Caption)
        return "Label_Caption";
    if (a.Item_Left != b.Item_Left || a.Item_Top != b.Item_Top)
        return "position";
    return nullptr;
}

const char *compareNote(const Note &a, const Note &b)
{
    if (a.Lines != b.Lines)
        return "lines";
    if (a.Note_Left != b.Note_Left || a.Note_Top != b.Note_Top || a.Note_Width != b.Note_Width
        || a.Note_Height != b.Note_Height)
        return "geometry";
    if (a.Note_Font != b.Note_Font)
        return "Note_Font";
    if (a.Note_Color != b.Note_Color || a.UseParentColor != b.UseParentColor)
        return "colour";
    return nullptr;
}

[[noreturn]] void fail(const QString &what) { throw std::runtime_error(what.toStdString()); }

} // namespace

const std::vector<SettingsShape> &standardShapes()
{
    static const std::vector<SettingsShape> shapes{
        {QStringLiteral("S"), 1, 10, 1},
        {QStringLiteral("M"), 20, 100, 5},
        {QStringLiteral("L"), 200, 500, 20},
        {QStringLiteral("XL"), 1000, 1000, 10},
    };
    return shapes;
}

std::optional<SettingsShape> shapeFromName(const QString &name)
{
    for (const auto &s : standardShapes()) {
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return s;
    }
    const qsizetype x = name.indexOf(QLatin1Char('x'));
    const qsizetype plus = name.indexOf(QLatin1Char('+'));
    if (x <= 0 || plus <= x + 1)
        return std::nullopt;
    bool ok1 = false, ok2 = false, ok3 = false;
    SettingsShape s;
    s.name = name;
    s.desktops = name.left(x).toInt(&ok1);
    s.itemsPerDesktop = name.mid(x + 1, plus - x - 1).toInt(&ok2);
    s.notesPerDesktop = name.mid(plus + 1).toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || s.desktops < 1 || s.itemsPerDesktop < 0 || s.notesPerDesktop < 0)
        return std::nullopt;
    return s;
}

void buildWorkspace(Workspace &ws, const SettingsShape &shape)
{
    if (ws.desktopCount() != 0)
        throw std::logic_error("buildWorkspace needs an empty workspace");
    Rng rng(0x5EED0000ull ^ (std::uint64_t(shape.desktops) << 40) ^ (std::uint64_t(shape.itemsPerDesktop) << 16)
            ^ std::uint64_t(shape.notesPerDesktop));
    const GlobalSettings &g = ws.global;
    constexpr int columns = 10;
    for (int p = 0; p < shape.desktops; ++p) {
        Desktop &d = ws.CreateNewTabSheet();
        d.Desktop_Caption = QStringLiteral("%1 %2").arg(QLatin1String(rng.pick(kDesktopNames))).arg(p + 1);
        d.settings.BG_Color = rgbColour(rng.below(256), rng.below(256), rng.below(256));
        d.settings.Background_Center = rng.below(2) == 0;
        if (p % 8 == 3) {
            d.settings.Background_Picture = QStringLiteral("/home/user/Pictures/wallpaper-%1.jpg").arg(p);
            d.settings.Background_Stretch = true;
        }
        if (p % 20 == 7) {
            d.settings.Password = QStringLiteral("b3Blbi1zZXNhbWU%1").arg(p);
            d.settings.Password_On_Desktop = 1;
        }
        if (p % 5 == 4)
            d.settings.ShortcutFont.Size = 11;

        // Notes sit between the shortcuts in creation order, as they do once
        // a user has worked on a desktop for a while.
        const int items = shape.itemsPerDesktop;
        const int notes = shape.notesPerDesktop;
        int nextNote = 0;
        for (int i = 0; i <= items; ++i) {
            while (nextNote < notes && std::int64_t(nextNote + 1) * items / (notes + 1) <= i) {
                ws.work.NewElementPosition = QPoint(10 + columns * g.Cell_Width + (nextNote % 3) * 160,
                                                    10 + (nextNote / 3) * 120);
                fillNote(ws.CreateNewNote(), rng);
                ++nextNote;
            }
            if (i == items)
                break;
            ws.work.NewElementPosition = QPoint(10 + (i % columns) * g.Cell_Width, 10 + (i / columns) * g.Cell_Height);
            fillItem(ws.CreateNewItem(), rng);
        }
    }
    ws.setActiveIndex(0);
    ws.work.CurrentElement.clear();
}

QString sampleCaption(std::uint64_t seed)
{
    Rng rng(seed);
    return caption(rng);
}

QString firstDifference(const Workspace &a, const Workspace &b)
{
    if (QString g = compareGlobal(a.global, b.global); !g.isEmpty())
        return g;
    if (a.desktopCount() != b.desktopCount())
        return QStringLiteral("desktop count %1 / %2").arg(a.desktopCount()).arg(b.desktopCount());
    if (a.activeIndex() != b.activeIndex())
        return QStringLiteral("active desktop");
    for (int p = 0; p < a.desktopCount(); ++p) {
        const Desktop &x = a.desktop(p);
        const Desktop &y = b.desktop(p);
        if (const char *d = compareDesktop(x, y))
            return QStringLiteral("Page%1: %2").arg(p).arg(QLatin1String(d));
        for (std::size_t i = 0; i < x.items.size(); ++i) {
            if (const char *d = compareItem(*x.items[i], *y.items[i]))
                return QStringLiteral("Page%1\\Item%2: %3").arg(p).arg(i + 1).arg(QLatin1String(d));
        }
        for (std::size_t n = 0; n < x.notes.size(); ++n) {
            if (const char *d = compareNote(*x.notes[n], *y.notes[n]))
                return QStringLiteral("Page%1\\Note%2: %3").arg(p).arg(n + 1).arg(QLatin1String(d));
        }
    }
    return {};
}

GeneratedFile generateSettingsFile(const QString &path, const SettingsShape &shape)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".bak"));

    Workspace ws;
    buildWorkspace(ws, shape);
    SilentPrompt prompt;
    {
        SettingsHost host;
        SettingsFile file(ws, prompt, host, path);
        // A note section written for the first time holds its numbered lines
        // right after "Count"; the next save moves them behind the other keys.
        // After the second save the layout is the one every later save of the
        // same model finds unchanged, which is what a user's file looks like.
        for (int k = 0; k < 2; ++k) {
            if (file.SaveAll() != SettingsFile::SaveResult::Saved)
                fail(QStringLiteral("SaveAll failed: ") + prompt.texts.join(QStringLiteral(" | ")));
        }
    }

    Workspace back;
    {
        SettingsHost host;
        SettingsFile file(back, prompt, host, path);
        file.LoadAll(false);
    }
    if (!prompt.texts.isEmpty())
        fail(QStringLiteral("messages while generating: ") + prompt.texts.join(QStringLiteral(" | ")));
    if (const QString d = firstDifference(ws, back); !d.isEmpty())
        fail(QStringLiteral("the file read back differs at ") + d);

    GeneratedFile out;
    out.bytes = QFileInfo(path).size();
    {
        TBigIniFile ini(path);
        out.sections = ini.SectionCount();
    }
    if (out.sections != shape.sections())
        fail(QStringLiteral("%1 sections written, %2 expected").arg(out.sections).arg(shape.sections()));
    out.desktops = back.desktopCount();
    for (int p = 0; p < back.desktopCount(); ++p) {
        out.items += static_cast<std::int64_t>(back.desktop(p).items.size());
        out.notes += static_cast<std::int64_t>(back.desktop(p).notes.size());
    }
    if (out.desktops != shape.desktops || out.items != shape.items() || out.notes != shape.notes())
        fail(QStringLiteral("read back %1 desktops, %2 shortcuts, %3 notes").arg(out.desktops).arg(out.items).arg(out.notes));
    return out;
}

} // namespace vl::bench
