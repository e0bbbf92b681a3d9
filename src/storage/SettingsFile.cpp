#include "storage/SettingsFile.h"

#include "common/OutsideRequests.h"
#include "common/PictureLoader.h"
#include "common/Prompt.h"
#include "storage/BigIni.h"
#include "storage/LoadSteps.h"
#include "storage/SectionName.h"

#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace vl {

namespace {

constexpr std::string_view General = "General";

// Raised when the file at the settings path is not a settings file at all.
class NotSettingsFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that holds text but not one section header, or binary zeros, was
// not written by us; loading it as "no settings" and saving over it later
// would destroy whatever it is.
void requireSettingsText(TBigIniFile &ini)
{
    if (!SettingsFile::holdsSettingsText(ini))
        throw NotSettingsFile("not a settings file");
}


// A count can ask for at most every section the file holds plus what is
// still allowed to be missing; a corrupt count must not allocate without end.
int boundedCount(int n, const TBigIniFile &ini, int missingLeft)
{
    return std::clamp(n, 0, ini.SectionCount() + std::max(missingLeft, 0));
}

} // namespace

bool SettingsFile::holdsSettingsText(TBigIniFile &ini)
{
    const auto &r = ini.lastRead();
    if (!r.existed)
        return true;
    if (r.hasNul)
        return ini.HasSection(General);
    return ini.SectionCount() > 0 || r.blank;
}

// The window and the maintenance commands hold pictures to the same limits.
bool SettingsHost::canShowPicture(const QString &path) { return canDecodePicture(path); }

bool SettingsHost::loadDesktopPicture(Desktop &desktop)
{
    return canShowPicture(desktop.settings.Background_Picture);
}

bool SettingsHost::loadShortcutPicture(ShortcutItem &item)
{
    const auto it = pictureChecks_.constFind(item.Picture);
    if (it != pictureChecks_.cend())
        return *it;
    const bool ok = LoadSteps::fileExists(item.Picture) && canShowPicture(item.Picture);
    pictureChecks_.insert(item.Picture, ok);
    return ok;
}

SettingsFile::SettingsFile(Workspace &ws, Prompt &prompt, SettingsHost &host, QString path)
    : ws_(ws), prompt_(prompt), host_(host), path_(std::move(path)), history_(path_)
{
    history_.setReporter([this](const QString &text) { host_.statusMessage(text); });
}

void SettingsFile::prepareEngine(TAppIniFile &ini)
{
    ini.setKeepBackup(true);
    ini.setBeforeReplace([this] { return history_.prepareBeforeReplace(); });
}

void SettingsFile::keepUnreadableFile()
{
    if (readOnly_ || !QFileInfo::exists(path_))
        return;
    unreadableWhy_.clear();
    const std::optional<QString> kept = SettingsHistory::keepUnreadable(path_, history_.now(), &unreadableWhy_);
    unreadableCopy_ = kept.value_or(QString());
    unreadableUnkept_ = !kept;
}

QString SettingsFile::loadErrorText() const
{
    if (!unreadableCopy_.isEmpty())
        return LoadError + QStringLiteral("\n\n") + KeptAsMessage.arg(unreadableCopy_);
    if (unreadableUnkept_)
        return LoadError + QStringLiteral("\n\n") + NotKeptMessage.arg(unreadableWhy_);
    return LoadError;
}

void SettingsFile::rememberRead(const TBigIniFile &ini)
{
    const auto &r = ini.lastRead();
    known_ = {true, r.existed, r.identity, r.hash};
}

void SettingsFile::rememberWrite(const TBigIniFile &ini)
{
    const auto &written = ini.lastWrite();
    if (written.written)
        known_ = {true, true, written.identity, written.hash};
    else
        rememberRead(ini);
}

bool SettingsFile::changedOutside(const TBigIniFile &ini) const
{
    const auto &r = ini.lastRead();
    // A file that is gone holds no version to keep.
    if (!known_.valid || !r.existed)
        return false;
    if (!known_.existed)
        return true;
    // Touched or rewritten with the same content is the same version.
    return r.identity != known_.identity && r.hash != known_.hash;
}

SettingsFile::~SettingsFile() = default;

Desktop &SettingsFile::appendLoadedDefaultDesktop()
{
    // What a "Page" section without any keys loads as.
    Desktop &d = ws_.CreateNewTabSheet();
    d.Desktop_Caption = Desktop::LoadedCaption;
    d.settings.Background_Center = true;
    d.settings.Password_On_Desktop = 1;
    d.settings.BG_Color = 0xC0C0C0;
    return d;
}

void SettingsFile::LoadAll(bool pictureMessages)
{
    WorkingValues &w = ws_.work;
    const OutsideRequests::Busy busy(requests_);
    w.Loading = true;
    LoadSteps steps(ws_, prompt_, host_, pictureMessages);
    unreadableCopy_.clear();
    unreadableUnkept_ = false;
    known_ = {};
    std::unique_ptr<TAppIniFile> ini;
    try {
        ini = std::make_unique<TAppIniFile>(path_);
        if (readOnly_)
            ini->Abandon();
        prepareEngine(*ini);
        rememberRead(*ini);
        requireSettingsText(*ini);
        if (ini->lastRead().hasNul) {
            // The rest loads; the file as it was goes aside first, and the
            // next save asks before it replaces it.
            w.ErrorsOccurred = true;
            keepUnreadableFile();
            prompt_.ShowMessage(unreadableCopy_.isEmpty()
                                    ? loadErrorText()
                                    : LoadError + QStringLiteral("\n\n") + ZerosDroppedMessage.arg(unreadableCopy_));
        }
        loadBody(*ini, steps);
    } catch (const NotSettingsFile &) {
        ini->Abandon(); // never rewrite what we could not read
        w.ErrorsOccurred = true;
        // Before the message: the question it leads to may be answered by
        // a save that replaces the file.
        keepUnreadableFile();
        prompt_.ShowMessage(loadErrorText());
    } catch (const std::exception &) {
        // Loading stops here; every desktop read so far stays.
        w.ErrorsOccurred = true;
        keepUnreadableFile();
        prompt_.ShowMessage(loadErrorText());
    }
    closeLoadEngine(ini);
    // The window always has a desktop, whatever the file held.
    if (ws_.desktopCount() == 0) {
        appendLoadedDefaultDesktop();
        ws_.setActiveIndex(0);
    }
    w.WorkingPassword.clear();
    w.WorkingPasswordMode = 1;
    w.Loading = false;
    if (!readOnly_)
        showUnsavedSession();
    // After an error too: the window must show what was read, and whatever
    // desktop ends up shown passes its password gate first.
    host_.desktopChanged();
}

void SettingsFile::showUnsavedSession()
{
    if (const std::optional<HistoryCopy> copy = history_.takeUnsavedSessionMark())
        prompt_.ShowMessage(SessionKeptMessage.arg(SettingsHistory::displayTime(copy->time)));
}

void SettingsFile::closeLoadEngine(std::unique_ptr<TAppIniFile> &ini)
{
    // The engine rewrites the file only when reading dropped duplicate
    // sections; that write can fail like any save.
    try {
        if (ini) {
            ini->UpdateFile();
            rememberWrite(*ini);
        }
    } catch (const std::exception &) {
        ws_.work.ErrorsOccurred = true;
        prompt_.ShowMessage(LoadError);
    }
    ini.reset();
}

void SettingsFile::loadBody(TAppIniFile &ini, LoadSteps &steps)
{
    GlobalSettings &g = ws_.global;
    WorkingValues &w = ws_.work;
    const GlobalSettings defaults;

    g.FormMaximized_Key = ini.ReadBool(General, "FormMaximized_Key", defaults.FormMaximized_Key);
    // Read when maximised too: they are where the window goes when it is
    // restored, and a save of the maximised window leaves them as they are.
    g.FormWidth_Key = ini.ReadInteger(General, "FormWidth_Key", defaults.FormWidth_Key);
    g.FormHeight_Key = ini.ReadInteger(General, "FormHeight_Key", defaults.FormHeight_Key);
    g.FormLeft_Key = ini.ReadInteger(General, "FormLeft_Key", defaults.FormLeft_Key);
    g.FormTop_Key = ini.ReadInteger(General, "FormTop_Key", defaults.FormTop_Key);
    host_.applyWindowState(g);

    ini.ReadFont(General, "ShortcutFont", g.ShortcutFont);
    ini.ReadFont(General, "TabFont", g.TabFont);
    g.Immediate_Save = ini.ReadBool(General, "Immediate_Save", defaults.Immediate_Save);
    g.Leave_Missing = ini.ReadBool(General, "Leave_Missing", defaults.Leave_Missing);
    g.Tab_Position = ini.ReadBool(General, "Tab_Position", defaults.Tab_Position);
    g.Tab_Multiline = ini.ReadBool(General, "Tab_Multiline", defaults.Tab_Multiline);
    g.Cell_Height = ini.ReadInteger(General, "Cell_Height", defaults.Cell_Height);
    g.Cell_Width = ini.ReadInteger(General, "Cell_Width", defaults.Cell_Width);
    missingSectionsLeft_ = MissingSectionAllowance;
    missingNoteLinesLeft_ = MissingNoteLineAllowance;
    const int pageCount = boundedCount(ini.ReadInteger(General, "Page_Count", 1), ini, missingSectionsLeft_);
    const int activePage = ini.ReadInteger(General, "Active_Page", 0);
    g.Auto_Save = ini.ReadBool(General, "Auto_Save", defaults.Auto_Save);
    g.AutoSave_Time = ini.ReadInteger(General, "AutoSave_Time", defaults.AutoSave_Time);
    g.Wave_File = ini.ReadString(General, "Wave_File", defaults.Wave_File);
    g.Always_OnBack = ini.ReadBool(General, "Always_OnBack", defaults.Always_OnBack);
    g.Drop_Enabled = ini.ReadBool(General, "Drop_Enabled", defaults.Drop_Enabled);
    g.OpenIn_NewWindow = ini.ReadBool(General, "OpenIn_NewWindow", defaults.OpenIn_NewWindow);
    g.bStatusBar_Enabled = ini.ReadBool(General, "bStatusBar_Enabled", defaults.bStatusBar_Enabled);
    g.Single_Click = ini.ReadBool(General, "Single_Click", defaults.Single_Click);
    g.SingleClick_Time = ini.ReadInteger(General, "SingleClick_Time", defaults.SingleClick_Time);

    // Desktops and elements whose section is missing load as defaults.
    // Bounding each desktop's counts alone would still let a corrupt file
    // ask for sections squared of them, so the whole load shares one
    // allowance; what has a section of its own never uses it up.
    host_.loadProgressTotal(pageCount);
    SectionName name;
    for (int p = 0; p < pageCount; ++p) {
        host_.loadProgressStep(p + 1);
        host_.processEvents();

        const std::string_view page = name.page(p);
        if (ini.SectionLineCount(page) == 0 && --missingSectionsLeft_ < 0)
            break;
        ini.ReadFont(page, "ShortcutFont", g.ShortcutFont);
        const QString caption = ini.ReadString(page, "Desktop_Caption", Desktop::LoadedCaption);
        const int itemCount = boundedCount(ini.ReadInteger(page, "Item_CountTrue", 0), ini, missingSectionsLeft_);
        const int noteCount = boundedCount(ini.ReadInteger(page, "Note_CountTrue", 0), ini, missingSectionsLeft_);
        const bool stretch = ini.ReadBool(page, "Background_Stretch", false);
        const bool center = ini.ReadBool(page, "Background_Center", true);
        const QString password = ini.ReadString(page, "Password", QString());
        const int passwordMode = ini.ReadInteger(page, "Password_On_Desktop", 1);
        const QString picture = ini.ReadString(page, "Background_Picture", QString());
        const Colour bgColor = ini.ReadInteger(page, "BG_Color", 0xC0C0C0);
        w.Template.BG_Shortcut = ini.ReadInteger(page, "BG_Shortcut", 0xC0C0C0);
        w.Template.Transparent = ini.ReadBool(page, "Transparent", true);

        Desktop &d = ws_.CreateNewTabSheet();
        d.Desktop_Caption = caption;
        d.settings.Password = password;
        d.settings.Password_On_Desktop = passwordMode;
        d.settings.BG_Color = bgColor;
        d.settings.Background_Picture = picture;
        d.settings.Background_Stretch = stretch;
        d.settings.Background_Center = center;

        steps.backgroundPicture(d, LoadSteps::MissingPicture::Kept);

        loadElements(ini, steps, p, itemCount, noteCount);
    }

    if (!ws_.setActiveIndex(activePage))
        throw ConvertError("Active_Page is not a loaded desktop");
}

// The elements go onto the active desktop, which is the one just created.
void SettingsFile::loadElements(TAppIniFile &ini, LoadSteps &steps, int p, int itemCount, int noteCount)
{
    WorkingValues &w = ws_.work;
    SectionName name;
    for (int i = 1; i <= itemCount; ++i) {
        const std::string_view sec = name.item(p, i);
        if (ini.SectionLineCount(sec) == 0 && --missingSectionsLeft_ < 0)
            break;
        LoadSteps::Shortcut item;
        item.AttachedFile = ini.ReadString(sec, "AttachedFile", QString());
        if (!steps.keepsShortcut(item.AttachedFile))
            continue;
        item.CommandString = ini.ReadString(sec, "CommandString", QString());
        item.Picture = ini.ReadString(sec, "Picture", QString());
        item.Label_Caption = ini.ReadString(sec, "Label_Caption", QString());
        item.Item_Left = ini.ReadInteger(sec, "Item_Left", 10);
        item.Item_Top = ini.ReadInteger(sec, "Item_Top", 10);
        steps.addShortcut(std::move(item));
    }

    for (int n = 1; n <= noteCount; ++n) {
        const std::string_view sec = name.note(p, n);
        if (ini.SectionLineCount(sec) == 0 && --missingSectionsLeft_ < 0)
            break;
        const int left = ini.ReadInteger(sec, "Note_Left", 10);
        const int top = ini.ReadInteger(sec, "Note_Top", 10);
        const int width = ini.ReadInteger(sec, "Note_Width", 50);
        const int height = ini.ReadInteger(sec, "Note_Height", 30);
        ini.ReadFont(sec, "Note_Font", w.NoteFont);
        const Colour colour = ini.ReadHexInteger(sec, "Note_Color", clr::clYellow);

        Note &note = ws_.CreateNewNote();
        ini.ReadStrings(sec, note.Lines, Note::DefaultLine, missingNoteLinesLeft_);
        note.Note_Left = left;
        note.Note_Top = top;
        note.Note_Width = width;
        note.Note_Height = height;
        note.Note_Font = w.NoteFont;
        note.UseParentColor = ini.ReadBool(sec, "UseParentColor", false);
        note.Note_Color = colour;
    }
}

bool SettingsFile::writeModel(TAppIniFile &ini, bool stopAtEmptyCaption)
{
    GlobalSettings &g = ws_.global;
    ini.WriteBool(General, "FormMaximized_Key", g.FormMaximized_Key);
    if (!g.FormMaximized_Key) {
        ini.WriteInteger(General, "FormWidth_Key", g.FormWidth_Key);
        ini.WriteInteger(General, "FormHeight_Key", g.FormHeight_Key);
        ini.WriteInteger(General, "FormTop_Key", g.FormTop_Key);
        ini.WriteInteger(General, "FormLeft_Key", g.FormLeft_Key);
    }
    ini.WriteFont(General, "ShortcutFont", g.ShortcutFont);
    ini.WriteFont(General, "TabFont", g.TabFont);
    ini.WriteBool(General, "Immediate_Save", g.Immediate_Save);
    ini.WriteBool(General, "Leave_Missing", g.Leave_Missing);
    ini.WriteBool(General, "Tab_Position", g.Tab_Position);
    ini.WriteBool(General, "Tab_Multiline", g.Tab_Multiline);
    ini.WriteInteger(General, "Cell_Height", g.Cell_Height);
    ini.WriteInteger(General, "Cell_Width", g.Cell_Width);
    ini.WriteInteger(General, "Page_Count", ws_.desktopCount());
    ini.WriteInteger(General, "Active_Page", ws_.activeIndex());
    ini.WriteBool(General, "Auto_Save", g.Auto_Save);
    ini.WriteInteger(General, "AutoSave_Time", g.AutoSave_Time);
    ini.WriteString(General, "Wave_File", g.Wave_File);
    ini.WriteBool(General, "Always_OnBack", g.Always_OnBack);
    ini.WriteBool(General, "Drop_Enabled", g.Drop_Enabled);
    ini.WriteBool(General, "OpenIn_NewWindow", g.OpenIn_NewWindow);
    ini.WriteBool(General, "bStatusBar_Enabled", g.bStatusBar_Enabled);
    ini.WriteBool(General, "Single_Click", g.Single_Click);
    ini.WriteInteger(General, "SingleClick_Time", g.SingleClick_Time);

    SectionName name;
    for (int p = 0; p < ws_.desktopCount(); ++p) {
        const Desktop &d = ws_.desktop(p);
        const DesktopSettings &s = d.settings;
        g.ShortcutFont = s.ShortcutFont;
        ini.WriteFont(name.page(p), "ShortcutFont", g.ShortcutFont);
        if (d.Desktop_Caption.isEmpty() && stopAtEmptyCaption) {
            // Ends the save early, keeping what was set so far, as users
            // of the earlier versions know it.
            prompt_.ShowMessage(EmptyCaptionError);
            return false;
        }
        const std::string_view page = name.page(p);
        ini.WriteString(page, "Desktop_Caption", d.Desktop_Caption);
        ini.WriteString(page, "Background_Picture", s.Background_Picture);
        ini.WriteString(page, "Password", s.Password);
        ini.WriteInteger(page, "Password_On_Desktop", s.Password_On_Desktop);
        ini.WriteBool(page, "Background_Stretch", s.Background_Stretch);
        ini.WriteBool(page, "Background_Center", s.Background_Center);
        ini.WriteInteger(page, "BG_Color", resolveColour(s.BG_Color));
        ini.WriteInteger(page, "BG_Shortcut", resolveColour(s.BG_Shortcut));
        ini.WriteBool(page, "Transparent", s.Transparent);

        int i = 0;
        int n = 0;
        d.forEachElement(
            [&](const ShortcutItem &item) {
                const std::string_view sec = name.item(p, ++i);
                ini.WriteString(sec, "AttachedFile", item.AttachedFile);
                ini.WriteString(sec, "CommandString", item.CommandString);
                ini.WriteString(sec, "Picture", item.Picture);
                ini.WriteString(sec, "Label_Caption", item.Label_Caption);
                ini.WriteInteger(sec, "Item_Left", item.Item_Left);
                ini.WriteInteger(sec, "Item_Top", item.Item_Top);
            },
            [&](const Note &note) {
                const std::string_view sec = name.note(p, ++n);
                ini.WriteStrings(sec, note.Lines);
                ini.WriteInteger(sec, "Note_Width", note.Note_Width);
                ini.WriteInteger(sec, "Note_Height", note.Note_Height);
                ini.WriteInteger(sec, "Note_Left", note.Note_Left);
                ini.WriteInteger(sec, "Note_Top", note.Note_Top);
                ini.WriteFont(sec, "Note_Font", note.Note_Font);
                ini.WriteHexInteger(sec, "Note_Color", note.Note_Color);
                ini.WriteBool(sec, "UseParentColor", note.UseParentColor);
            });
        const std::string_view pageAgain = name.page(p);
        ini.WriteInteger(pageAgain, "Item_CountTrue", i);
        ini.WriteInteger(pageAgain, "Note_CountTrue", n);
    }
    return true;
}

std::optional<QString> SettingsFile::keepSessionCopy(QString *error)
{
    try {
        // The model alone, on no file: nothing is read or written here.
        TAppIniFile ini{QString()};
        writeModel(ini, false);
        const std::string text = ini.Text();
        return history_.keepContent(QByteArray(text.data(), static_cast<qsizetype>(text.size())), error);
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return std::nullopt;
    }
}

std::optional<QString> SettingsFile::keepSessionAside()
{
    QString why;
    const std::optional<QString> copy = keepSessionCopy(&why);
    if (!copy) {
        host_.statusMessage(QStringLiteral("This session could not be kept: %1").arg(why));
        return std::nullopt;
    }
    history_.markUnsavedSession(*copy);
    return copy;
}

SettingsFile::Outcome SettingsFile::otherVersionFound(std::unique_ptr<TAppIniFile> &ini)
{
    if (!changedOutside(*ini))
        return Outcome::Go;
    // Never overwritten unseen: what the other program wrote is kept first.
    QString why;
    if (!history_.keepNow(&why))
        throw IniIoError(QStringLiteral("the version another program wrote cannot be kept: %1").arg(why).toStdString());
    const std::uint64_t kept = ini->lastRead().hash;
    if (toldOfOtherVersion_)
        return Outcome::Go;
    toldOfOtherVersion_ = true;
    const ModalResult answer = prompt_.MessageDlg(OtherVersionQuestion, MsgDlgType::Warning, mbYes | mbNo, 0);
    if (answer == ModalResult::Yes) {
        if (!keepSessionCopy(&why))
            throw IniIoError(QStringLiteral("this session cannot be kept: %1").arg(why).toStdString());
        host_.otherVersionChosen();
        return Outcome::OtherVersion;
    }
    // The question ran the event loop: the file is read again, and a
    // version written meanwhile is kept as well.
    ini = std::make_unique<TAppIniFile>(path_);
    prepareEngine(*ini);
    if (ini->lastRead().existed && ini->lastRead().hash != kept && !history_.keepNow(&why))
        throw IniIoError(QStringLiteral("the version another program wrote cannot be kept: %1").arg(why).toStdString());
    return Outcome::Go;
}

SettingsFile::SaveResult SettingsFile::SaveAll()
{
    WorkingValues &w = ws_.work;
    // A model still being read (or about to be replaced) would be written
    // in part, and the rest of the file lost.
    if (w.Saving || w.Loading || w.Reloading)
        return SaveResult::Busy;
    if (readOnly_)
        return SaveResult::Failed;
    const OutsideRequests::Busy busy(requests_);
    host_.flushEdits();
    w.Saving = true;
    struct ClearSaving {
        bool &flag;
        ~ClearSaving() { flag = false; }
    } clearSaving{w.Saving};

    if (w.ErrorsOccurred) {
        const ModalResult answer = prompt_.MessageDlg(SaveErrorsQuestion, MsgDlgType::Warning, mbYes | mbNo | mbHelp, 10);
        if (answer != ModalResult::Yes) {
            // At the end of the session nobody can answer; the session is
            // never dropped unseen, but kept for the next start to name.
            if (prompt_.dismissing())
                keepSessionAside();
            return SaveResult::Declined;
        }
    }
    // A file the load could not read is replaced only once it is kept.
    if (unreadableUnkept_) {
        keepUnreadableFile();
        if (unreadableUnkept_) {
            w.ErrorsOccurred = true;
            prompt_.ShowMessage(SaveError);
            if (prompt_.dismissing())
                keepSessionAside();
            return SaveResult::Failed;
        }
    }

    std::unique_ptr<TAppIniFile> ini;
    try {
        ini = std::make_unique<TAppIniFile>(path_);
        prepareEngine(*ini);
        switch (otherVersionFound(ini)) {
        case Outcome::Go:
            break;
        case Outcome::OtherVersion:
            ini->Abandon();
            return SaveResult::OtherVersion;
        }
        host_.captureWindowState(ws_.global);
        if (!writeModel(*ini, true)) {
            ini->UpdateFile();
            rememberWrite(*ini);
            return SaveResult::Incomplete;
        }
        // Written before "Saved" is shown: a failed write is a failed save.
        ini->UpdateFile();
        rememberWrite(*ini);
        if (!ini->lastWrite().remark.isEmpty())
            host_.statusMessage(ini->lastWrite().remark);
        host_.setSaveState(QStringLiteral("Saved"));
        w.ErrorsOccurred = false;
        return SaveResult::Saved;
    } catch (const std::exception &) {
        // A half-done save would leave counts that disagree with the
        // sections written; keep the whole old file instead.
        if (ini)
            ini->Abandon();
        w.ErrorsOccurred = true;
        prompt_.ShowMessage(SaveError);
        if (prompt_.dismissing())
            keepSessionAside();
        return SaveResult::Failed;
    }
}

void SettingsFile::ReloadAll()
{
    WorkingValues &w = ws_.work;
    const OutsideRequests::Busy busy(requests_);
    w.Reloading = true;
    host_.reloadStarted();
    while (ws_.desktopCount() > 0)
        ws_.deleteDesktop(ws_.activeIndex());
    LoadAll();
    host_.setSaveState(QStringLiteral("Unmodified"));
    host_.reloadFinished();
    w.Reloading = false;
}

} // namespace vl
