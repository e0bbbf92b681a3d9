#include "storage/ModelJson.h"

#include "storage/BigIni.h"

#include <charconv>

namespace vl {

namespace {

class JsonWriter {
public:
    explicit JsonWriter(std::string &out) : out_(out) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    void key(std::string_view k)
    {
        separate();
        string(k);
        out_.push_back(':');
        afterKey_ = true;
    }
    void value(bool b)
    {
        separate();
        out_.append(b ? "true" : "false");
    }
    void value(int v)
    {
        separate();
        char buf[16];
        out_.append(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf));
    }
    void value(const QString &s)
    {
        separate();
        std::string utf8;
        appendUtf8(utf8, s);
        string(utf8);
    }
    template <class T> void field(std::string_view k, const T &v)
    {
        key(k);
        value(v);
    }

private:
    void open(char c)
    {
        separate();
        out_.push_back(c);
        first_ = true;
    }
    void close(char c)
    {
        out_.push_back(c);
        first_ = false;
    }
    void separate()
    {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (!first_)
            out_.push_back(',');
        first_ = false;
    }
    void string(std::string_view s)
    {
        static constexpr char hex[] = "0123456789abcdef";
        out_.push_back('"');
        for (char ch : s) {
            const auto c = static_cast<unsigned char>(ch);
            switch (c) {
            case '"': out_.append("\\\""); break;
            case '\\': out_.append("\\\\"); break;
            case '\n': out_.append("\\n"); break;
            case '\r': out_.append("\\r"); break;
            case '\t': out_.append("\\t"); break;
            default:
                if (c < 0x20) {
                    out_.append("\\u00");
                    out_.push_back(hex[c >> 4]);
                    out_.push_back(hex[c & 0xF]);
                } else {
                    out_.push_back(static_cast<char>(c));
                }
            }
        }
        out_.push_back('"');
    }

    std::string &out_;
    bool first_ = true;
    bool afterKey_ = false;
};

} // namespace

std::string modelToJson(const Workspace &ws)
{
    std::string out;
    out.reserve(256 + static_cast<std::size_t>(ws.desktopCount()) * 4096);
    JsonWriter j(out);
    const GlobalSettings &g = ws.global;

    j.beginObject();
    j.field("ErrorsOccurred", ws.work.ErrorsOccurred);
    j.key("General");
    j.beginObject();
    j.field("FormMaximized_Key", g.FormMaximized_Key);
    j.field("FormWidth_Key", g.FormWidth_Key);
    j.field("FormHeight_Key", g.FormHeight_Key);
    j.field("FormTop_Key", g.FormTop_Key);
    j.field("FormLeft_Key", g.FormLeft_Key);
    j.field("ShortcutFont", FontToString(g.ShortcutFont));
    j.field("TabFont", FontToString(g.TabFont));
    j.field("Immediate_Save", g.Immediate_Save);
    j.field("Leave_Missing", g.Leave_Missing);
    j.field("Tab_Position", g.Tab_Position);
    j.field("Tab_Multiline", g.Tab_Multiline);
    j.field("Cell_Height", g.Cell_Height);
    j.field("Cell_Width", g.Cell_Width);
    j.field("Page_Count", ws.desktopCount());
    j.field("Active_Page", ws.activeIndex());
    j.field("Auto_Save", g.Auto_Save);
    j.field("AutoSave_Time", g.AutoSave_Time);
    j.field("Wave_File", g.Wave_File);
    j.field("Always_OnBack", g.Always_OnBack);
    j.field("Drop_Enabled", g.Drop_Enabled);
    j.field("OpenIn_NewWindow", g.OpenIn_NewWindow);
    j.field("bStatusBar_Enabled", g.bStatusBar_Enabled);
    j.field("Single_Click", g.Single_Click);
    j.field("SingleClick_Time", g.SingleClick_Time);
    j.endObject();

    j.key("Pages");
    j.beginArray();
    for (int p = 0; p < ws.desktopCount(); ++p) {
        const Desktop &d = ws.desktop(p);
        const DesktopSettings &s = d.settings;
        j.beginObject();
        j.field("ShortcutFont", FontToString(s.ShortcutFont));
        j.field("Desktop_Caption", d.Desktop_Caption);
        j.field("Background_Picture", s.Background_Picture);
        j.field("Password", s.Password);
        j.field("Password_On_Desktop", s.Password_On_Desktop);
        j.field("Background_Stretch", s.Background_Stretch);
        j.field("Background_Center", s.Background_Center);
        j.field("BG_Color", s.BG_Color);
        j.field("BG_Shortcut", s.BG_Shortcut);
        j.field("Transparent", s.Transparent);
        j.key("Items");
        j.beginArray();
        for (const auto &item : d.items) {
            j.beginObject();
            j.field("AttachedFile", item->AttachedFile);
            j.field("CommandString", item->CommandString);
            j.field("Picture", item->Picture);
            j.field("Label_Caption", item->Label_Caption);
            j.field("Item_Left", item->Item_Left);
            j.field("Item_Top", item->Item_Top);
            j.endObject();
        }
        j.endArray();
        j.key("Notes");
        j.beginArray();
        for (const auto &note : d.notes) {
            j.beginObject();
            j.key("Lines");
            j.beginArray();
            for (const QString &line : note->Lines)
                j.value(line);
            j.endArray();
            j.field("Note_Width", note->Note_Width);
            j.field("Note_Height", note->Note_Height);
            j.field("Note_Left", note->Note_Left);
            j.field("Note_Top", note->Note_Top);
            j.field("Note_Font", FontToString(note->Note_Font));
            j.field("Note_Color", note->Note_Color);
            j.field("UseParentColor", note->UseParentColor);
            j.endObject();
        }
        j.endArray();
        j.endObject();
    }
    j.endArray();
    j.endObject();
    out.push_back('\n');
    return out;
}

} // namespace vl
