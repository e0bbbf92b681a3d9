#include "options/CommonOptions.h"

#include "common/Prompt.h"
#include "model/StorableText.h"
#include "options/OptionsView.h"
#include "platform/Platform.h"
#include "platform/RegistryFile.h"
#include "storage/LegacyImport.h"

#include <QCollator>
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace vl {

namespace {

const QString StartupError = QStringLiteral("Error in TfrmCommonOptions.LoadAtStartup");
const QString CheckStartupError = QStringLiteral("Error in TfrmCommonOptions.CheckLoadAtStartup");
const QString ReorderError = QStringLiteral("Error in TfrmCommonOptions.lbReorderMouseUp");
const QString SortError = QStringLiteral("Error in TfrmCommonOptions.ListToPageControl");
const QString DesktopDeleteError = QStringLiteral("Desktop Delete Error in TfrmCommonOptions.btnFromRegClick");
const QString MultiInstanceReadError = QStringLiteral("Error of opening Registry in TFormMain.GetMIValue");
const QString MultiInstanceWriteError =
    QStringLiteral("Error of opening Registry key Software\\Quendry\\Vorlane in TfrmCommonOptions.btnOkClick");

} // namespace

CommonOptions::CommonOptions(Workspace &ws, Prompt &prompt, Platform &platform, OptionsView &view)
    : ws_(ws), prompt_(prompt), platform_(platform), view_(view),
      tabPositionAtOpen_(ws.global.Tab_Position), multiLineAtOpen_(ws.global.Tab_Multiline),
      programPath_(QCoreApplication::applicationFilePath())
{
}

void CommonOptions::run()
{
    bool accepted = false;
    try {
        open();
        accepted = prompt_.CommonOptionsDialog(*this);
    } catch (const std::exception &) {
        ws_.work.ErrorsOccurred = true;
        prompt_.ShowMessage(CreationError);
        // What the dialog changed live before it failed goes back.
        btnCancelClick();
        return;
    }
    if (accepted)
        btnOkClick();
    else
        btnCancelClick();
}

void CommonOptions::changed()
{
    if (onChanged)
        onChanged();
}

void CommonOptions::reportError(const QString &message)
{
    ws_.work.ErrorsOccurred = true;
    prompt_.ShowMessage(message);
}

void CommonOptions::fillFromModel()
{
    const GlobalSettings &g = ws_.global;
    // Values a hand-edited file put out of range show in range: what the
    // dialog shows is what OK writes.
    v_.cellHeight = CellRange.clamp(g.Cell_Height);
    v_.cellWidth = CellRange.clamp(g.Cell_Width);
    tabFontChanged_ = false;
    chosenTabFont_ = g.TabFont;
    v_.autoSave = false;
    v_.immediateSave = false;
    setAutoSave(g.Auto_Save);
    v_.autoSaveTime = AutoSaveTimeRange.clamp(g.AutoSave_Time);
    setImmediateSave(g.Immediate_Save);
    v_.leaveMissing = g.Leave_Missing;
    v_.alwaysOnBack = g.Always_OnBack;
    v_.multiLineTabs = g.Tab_Multiline;
    v_.dropEnabled = g.Drop_Enabled;
    v_.openInNewWindow = g.OpenIn_NewWindow;
    v_.statusBarEnabled = g.bStatusBar_Enabled;
    v_.singleClick = g.Single_Click;
    v_.singleClickTime = SingleClickTimeRange.clamp(g.SingleClick_Time);
    v_.waveFile = g.Wave_File;
    // The window shows what the model says, so this is where the tabs are.
    v_.tabPosition = g.Tab_Position;
    tabPositionAtOpen_ = g.Tab_Position;
    multiLineAtOpen_ = g.Tab_Multiline;
    orderAtOpen_.clear();
    for (int i = 0; i < ws_.desktopCount(); ++i)
        orderAtOpen_.push_back(&ws_.desktop(i));
}

void CommonOptions::open()
{
    startupState_ = CheckLoadAtStartup();
    multiInstanceState_ = readMultiInstance();
    fillFromModel();
    v_.multiInstance = multiInstanceState_;
    v_.startup = startupState_;
    toggleKeyState_ = readToggleKey();
    v_.toggleKeyOn = !toggleKeyState_.isEmpty();
    v_.toggleKey = v_.toggleKeyOn ? toggleKeyState_ : GlobalShortcut::defaultKey().toString(QKeySequence::PortableText);
    v_.toggleKeySupport = view_.toggleKeySupport();
}

QString CommonOptions::readToggleKey()
{
    // Absent: the default key; empty: none.
    try {
        const auto v = platform_.registry().readValue(RegistryHive::CurrentUser, GlobalShortcut::RegistryKey,
                                                      GlobalShortcut::RegistryValue);
        return v ? *v : GlobalShortcut::defaultKey().toString(QKeySequence::PortableText);
    } catch (const std::exception &) {
        return GlobalShortcut::defaultKey().toString(QKeySequence::PortableText);
    }
}

bool CommonOptions::readMultiInstance()
{
    // Read as start-up reads it: absent, empty or "0" is No.
    try {
        const auto v = platform_.registry().readValue(RegistryHive::LocalMachine, MultiInstanceKey, MultiInstanceValue);
        return v && !v->trimmed().isEmpty() && v->trimmed() != QLatin1String("0");
    } catch (const std::exception &) {
        reportError(MultiInstanceReadError);
        return false;
    }
}

void CommonOptions::setTabPosition(bool onTop)
{
    v_.tabPosition = onTop;
    ws_.global.Tab_Position = onTop;
    view_.lookChanged();
}

void CommonOptions::setMultiLineTabs(bool multiLine)
{
    v_.multiLineTabs = multiLine;
    ws_.global.Tab_Multiline = multiLine;
    view_.lookChanged();
}

void CommonOptions::setAutoSave(bool on)
{
    v_.autoSave = on;
    if (on)
        v_.immediateSave = false;
    changed();
}

void CommonOptions::setImmediateSave(bool on)
{
    v_.immediateSave = on;
    if (on)
        v_.autoSave = false;
    changed();
}

void CommonOptions::btnTabFontClick()
{
    if (const std::optional<FontSpec> f = prompt_.FontDialog(chosenTabFont_)) {
        chosenTabFont_ = *f;
        tabFontChanged_ = true;
    }
}

void CommonOptions::btnTestClick()
{
    if (!v_.waveFile.isEmpty())
        platform_.playSound(v_.waveFile);
}

void CommonOptions::btnWaveFileOpenClick()
{
    const QString start = v_.waveFile.isEmpty() ? QString() : QFileInfo(v_.waveFile).absolutePath();
    if (const std::optional<QString> file = prompt_.OpenFileDialog(WaveFilter, start, false)) {
        v_.waveFile = *file;
        changed();
    }
}

void CommonOptions::btnCreateSendToClick()
{
    const SendToResult result = platform_.installSendTo(programPath_);
    if (result.written.isEmpty())
        prompt_.ShowMessage(SendToError);
}

bool CommonOptions::btnFromRegClick()
{
    // Asked and checked before anything is destroyed: a cancelled choice, a
    // file that is no registry export, one without the older versions' key
    // and one whose import would fail part-way leave every desktop as it is.
    const std::optional<QString> file = prompt_.OpenFileDialog(RegistryExportFilter, QString(), false);
    if (!file)
        return false;
    QString why;
    const std::optional<RegistryFile> registry = LegacyImport::readForImport(*file, &why);
    if (!registry) {
        prompt_.ShowMessage(ImportRefused + why);
        return false;
    }
    view_.desktopsClearing();
    // One at a time, the active one first; one that cannot go stays, and
    // the next is tried.
    for (int tries = ws_.desktopCount(); tries > 0 && ws_.desktopCount() > 0; --tries) {
        try {
            ws_.deleteDesktop(ws_.activeIndex());
        } catch (const std::exception &) {
            reportError(DesktopDeleteError);
            ws_.setActiveIndex((ws_.activeIndex() + 1) % ws_.desktopCount());
        }
    }
    view_.importRegistry(*registry);
    view_.Unmodified();
    // The dialog now shows the imported options, so that OK keeps them
    // instead of writing back what was there before.
    fillFromModel();
    v_.multiInstance = multiInstanceState_;
    v_.startup = startupState_;
    changed();
    return true;
}

QStringList CommonOptions::LoadDesktopOrder() const
{
    QStringList captions;
    for (int i = 0; i < ws_.desktopCount(); ++i)
        captions.append(ws_.desktop(i).Desktop_Caption);
    return captions;
}

void CommonOptions::moveDesktop(int from, int to)
{
    if (from < 0 || from == to)
        return;
    try {
        if (!ws_.moveDesktop(from, to))
            return;
        view_.desktopOrderChanged();
    } catch (const std::exception &) {
        reportError(ReorderError);
    }
    changed();
}

void CommonOptions::mnuSortedClick()
{
    try {
        std::vector<const Desktop *> order;
        for (int i = 0; i < ws_.desktopCount(); ++i)
            order.push_back(&ws_.desktop(i));
        QCollator collator;
        std::stable_sort(order.begin(), order.end(), [&collator](const Desktop *a, const Desktop *b) {
            return collator.compare(a->Desktop_Caption, b->Desktop_Caption) < 0;
        });
        for (int i = 0; i < static_cast<int>(order.size()); ++i)
            ws_.moveDesktop(ws_.indexOf(order[static_cast<std::size_t>(i)]), i);
        view_.desktopOrderChanged();
    } catch (const std::exception &) {
        reportError(SortError);
    }
    changed();
}

void CommonOptions::btnOkClick()
{
    GlobalSettings &g = ws_.global;
    g.Cell_Height = CellRange.clamp(v_.cellHeight);
    g.Cell_Width = CellRange.clamp(v_.cellWidth);
    g.Leave_Missing = v_.leaveMissing;
    g.Always_OnBack = v_.alwaysOnBack;
    g.Immediate_Save = v_.immediateSave;
    g.Tab_Position = v_.tabPosition;
    if (v_.startup != startupState_) {
        LoadAtStartup(v_.startup);
        startupState_ = v_.startup;
    }
    g.Drop_Enabled = v_.dropEnabled;
    g.OpenIn_NewWindow = v_.openInNewWindow;
    g.bStatusBar_Enabled = v_.statusBarEnabled;
    g.Single_Click = v_.singleClick;
    g.SingleClick_Time = SingleClickTimeRange.clamp(v_.singleClickTime);
    if (v_.multiInstance != multiInstanceState_) {
        multiInstanceState_ = v_.multiInstance;
        try {
            platform_.registry().writeValue(RegistryHive::LocalMachine, MultiInstanceKey, MultiInstanceValue,
                                            v_.multiInstance ? QStringLiteral("1") : QStringLiteral("0"));
        } catch (const std::exception &) {
            reportError(MultiInstanceWriteError);
        }
    }
    const QString toggleKey = v_.toggleKeyOn ? v_.toggleKey : QString();
    if (toggleKey != toggleKeyState_) {
        toggleKeyState_ = toggleKey;
        try {
            platform_.registry().writeValue(RegistryHive::CurrentUser, GlobalShortcut::RegistryKey,
                                            GlobalShortcut::RegistryValue, toggleKey);
        } catch (const std::exception &) {
            reportError(MultiInstanceWriteError);
        }
        view_.toggleKeyChanged();
    }
    if (tabFontChanged_)
        g.TabFont = chosenTabFont_;
    g.Auto_Save = v_.autoSave;
    if (v_.autoSave)
        g.AutoSave_Time = AutoSaveTimeRange.clamp(v_.autoSaveTime);
    view_.applyAutoSave();
    g.Tab_Multiline = v_.multiLineTabs;
    g.Wave_File = storable(v_.waveFile);
    view_.lookChanged();
    view_.Modified();
}

void CommonOptions::btnCancelClick()
{
    ws_.global.Tab_Position = tabPositionAtOpen_;
    v_.tabPosition = tabPositionAtOpen_;
    ws_.global.Tab_Multiline = multiLineAtOpen_;
    v_.multiLineTabs = multiLineAtOpen_;
    // The same records as at the opening, or none to put back: an import
    // has replaced them all (and its own order is the one to keep).
    bool same = int(orderAtOpen_.size()) == ws_.desktopCount();
    for (const Desktop *d : orderAtOpen_)
        same = same && ws_.indexOf(d) >= 0;
    bool moved = false;
    if (same) {
        for (int i = 0; i < int(orderAtOpen_.size()); ++i) {
            const int at = ws_.indexOf(orderAtOpen_[std::size_t(i)]);
            if (at != i) {
                ws_.moveDesktop(at, i);
                moved = true;
            }
        }
    }
    if (moved)
        view_.desktopOrderChanged();
    view_.lookChanged();
}

bool CommonOptions::LoadAtStartup(bool registerIt)
{
    try {
        Registry &reg = platform_.registry();
        if (registerIt) {
            reg.writeValue(RegistryHive::LocalMachine, RunKey, RunValue, programPath_);
            return true;
        }
        if (!reg.readValue(RegistryHive::LocalMachine, RunKey, RunValue))
            return false;
        reg.deleteValue(RegistryHive::LocalMachine, RunKey, RunValue);
        return true;
    } catch (const std::exception &) {
        prompt_.ShowMessage(StartupError);
        return false;
    }
}

bool CommonOptions::CheckLoadAtStartup()
{
    try {
        return platform_.registry().readValue(RegistryHive::LocalMachine, RunKey, RunValue).has_value();
    } catch (const std::exception &) {
        prompt_.ShowMessage(CheckStartupError);
        return false;
    }
}

QString platformVersionName() { return QString(); }

} // namespace vl
