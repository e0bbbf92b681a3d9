#pragma once

#include "model/Model.h"
#include "platform/SafeFile.h"
#include "storage/SettingsHistory.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace vl {

class LoadSteps;
class OutsideRequests;
class Prompt;
class TAppIniFile;
class TBigIniFile;

// What loading and saving need from the window around them. Every method has
// a harmless default so that the maintenance commands and tests need none.
class SettingsHost {
public:
    virtual ~SettingsHost() = default;

    // Start-up progress: the total first, then each 1-based desktop number
    // as that desktop starts to load.
    virtual void loadProgressTotal(int total) { (void)total; }
    virtual void loadProgressStep(int number) { (void)number; }
    // Lets the user interface handle pending events between desktops.
    virtual void processEvents() {}
    // The window keys were read into the model; the window adopts them.
    virtual void applyWindowState(const GlobalSettings &global) { (void)global; }
    // The window's geometry into the model, just before a save writes it.
    virtual void captureWindowState(GlobalSettings &global) { (void)global; }
    // Whatever the window holds that the model does not yet (text being
    // typed), into the model, before a save reads it.
    virtual void flushEdits() {}
    // False when the picture file exists but cannot be shown.
    bool loadDesktopPicture(Desktop &desktop);
    // False when the shortcut's picture file cannot be shown (missing too).
    // Cached per picture path: shortcuts often share one picture.
    bool loadShortcutPicture(ShortcutItem &item);
    // Whether an existing picture file can be shown; the window checks with
    // its own decoder.
    virtual bool canShowPicture(const QString &path);
    // Gives a loaded shortcut its attached file; the window resolves
    // shortcut files here as it does for every attached file.
    virtual void setAttachedFile(ShortcutItem &item, const QString &file) { item.AttachedFile = file; }
    // The end of a load: the model is complete, Loading is clear, and the
    // desktop at Active_Page (or the last one loaded, after an error) is
    // active. Showing it may ask for its password.
    virtual void desktopChanged() {}
    // A reload is about to destroy every desktop / has finished.
    virtual void reloadStarted() {}
    virtual void reloadFinished() {}
    // Text of the save-state panel ("Saved", "Unmodified").
    virtual void setSaveState(const QString &text) { (void)text; }
    // A passing remark for the status bar, never a question (an earlier
    // version that could not be kept).
    virtual void statusMessage(const QString &text) { (void)text; }
    // The user chose the version another program wrote over this session,
    // which is kept in the history: the window reloads once the save that
    // asked has returned.
    virtual void otherVersionChosen() {}

protected:
    friend class LoadSteps; // forgets the checks at the start of every load
    QHash<QString, bool> pictureChecks_; // shortcuts often share one picture
};

// Loads and saves the whole workspace through the INI engine.
class SettingsFile {
public:
    enum class SaveResult {
        Saved,        // written, or nothing differed
        Busy,         // another save was running
        Declined,     // earlier errors and the user did not say Yes
        Incomplete,   // an empty desktop caption ended the save early
        Failed,       // "Error in TFormMain.SaveAll"
        OtherVersion, // another program's version stays; this session went to the history
    };

    SettingsFile(Workspace &ws, Prompt &prompt, SettingsHost &host, QString path);
    ~SettingsFile();
    SettingsFile(const SettingsFile &) = delete;
    SettingsFile &operator=(const SettingsFile &) = delete;

    const QString &path() const { return path_; }
    // The earlier versions of the file; every replacement of the file
    // first keeps the hour's copy there.
    SettingsHistory &history() { return history_; }
    // Where a file that could not be read was kept by the last load; empty
    // when it read well (or nothing could be kept: saves then refuse).
    const QString &unreadableCopy() const { return unreadableCopy_; }

    // Where loads, reloads and saves report themselves busy; null: nowhere.
    void setRequests(OutsideRequests *requests) { requests_ = requests; }
    // Loads that write nothing at all, for looking at a file: no copy of an
    // unreadable file is kept, duplicate sections are not dropped from it,
    // and no mark of an earlier session is taken. Saves are refused.
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // Keeps the model as it is now as a history copy of its own, without
    // touching the settings file, and leaves a mark that makes the next
    // load name it. For an end of the session that cannot save into the
    // file. The copy's path, or nullopt.
    std::optional<QString> keepSessionAside();

    // Reads the whole file, in file order, and appends its desktops; the
    // file is closed again before this returns. Picture problems are
    // reported only when pictureMessages is set; they set ErrorsOccurred
    // either way.
    void LoadAll(bool pictureMessages = true);
    // Refuses (Busy) while a load, a reload or another save is running:
    // the model is then incomplete or about to change.
    SaveResult SaveAll();
    void ReloadAll();

    // Whether what the engine read can be a settings file: a file with text
    // but not one section header is something else, and so is one with
    // binary zeros unless it has a "General" section (older builds wrote
    // zeros typed into a value as they were).
    static bool holdsSettingsText(TBigIniFile &ini);

    static inline const QString SaveErrorsQuestion =
        QStringLiteral("There were errors,to continue saving current settings?");
    static inline const QString SimilarMessagesQuestion = QStringLiteral("Want You to show the similar messages?");
    static inline const QString LoadError = QStringLiteral("Error in TFormMain.LoadAll");
    static inline const QString SaveError = QStringLiteral("Error in TFormMain.SaveAll");
    static inline const QString EmptyCaptionError = QStringLiteral("Desktop Caption must not be empty");
    static inline const QString ReloadDeleteError = QStringLiteral("Desktop Delete Error in TFormMain.ReloadAll");
    // Said after LoadError: where the file that could not be read was kept.
    static inline const QString KeptAsMessage = QStringLiteral("The settings file was kept unchanged as\n%1");
    static inline const QString NotKeptMessage = QStringLiteral(
        "The settings file could not be read, nor kept aside (%1). It will not be replaced until it can be kept.");
    static inline const QString ZerosDroppedMessage = QStringLiteral(
        "The settings file held binary zeros, which were left out. The file as it was is kept as\n%1");
    static inline const QString OtherVersionQuestion = QStringLiteral(
        "The settings file was changed by another program since Vorlane last read or saved it. "
        "That version is kept in the settings history.\n\n"
        "Load that version instead of saving this session over it? This session is then kept in the history too.");
    static inline const QString SessionKeptMessage = QStringLiteral(
        "The desktops of the last session could not be saved when it ended. They are kept in the "
        "settings history as the version of %1; \"Restore...\" in the desktop menu brings them back.");

    // How much a hand-edited or truncated file may ask for beyond what it
    // holds: counted desktops and elements whose section is missing load
    // with defaults, counted note lines that are missing as the default
    // line, up to these numbers per file. A corrupt count cannot make a
    // load allocate without end.
    static constexpr int MissingSectionAllowance = 10000;
    static constexpr int MissingNoteLineAllowance = 100000;

private:
    // What this copy last read from or wrote to the file: a file that is no
    // longer this one was replaced by another program.
    struct Known {
        bool valid = false;
        bool existed = false;
        FileIdentity identity;
        std::uint64_t hash = 0;
    };
    void rememberRead(const TBigIniFile &ini);
    void rememberWrite(const TBigIniFile &ini);
    bool changedOutside(const TBigIniFile &ini) const;
    enum class Outcome { Go, OtherVersion };
    // The file another program wrote goes into the history before anything
    // replaces it; the first time, the user chooses which version stays.
    Outcome otherVersionFound(std::unique_ptr<TAppIniFile> &ini);
    // The model into the engine, in file order. With stopAtEmptyCaption a
    // desktop without caption ends it early (false); otherwise it is
    // written with its empty caption.
    bool writeModel(TAppIniFile &ini, bool stopAtEmptyCaption);
    void showUnsavedSession();
    QString loadErrorText() const;
    // The model as a history copy of its own; the copy's path.
    std::optional<QString> keepSessionCopy(QString *error);
    void loadBody(TAppIniFile &ini, LoadSteps &steps);
    void loadElements(TAppIniFile &ini, LoadSteps &steps, int p, int itemCount, int noteCount);
    // Flushes and closes an engine; a failed write is a load error.
    void closeLoadEngine(std::unique_ptr<TAppIniFile> &ini);
    Desktop &appendLoadedDefaultDesktop();
    // The load failed: the file goes aside before any save can replace it.
    void keepUnreadableFile();
    void prepareEngine(TAppIniFile &ini);

    Workspace &ws_;
    Prompt &prompt_;
    SettingsHost &host_;
    QString path_;
    OutsideRequests *requests_ = nullptr;
    SettingsHistory history_;
    QString unreadableCopy_;
    // The last load failed and its file could not be kept aside: no save
    // may replace it until it is.
    bool unreadableUnkept_ = false;
    QString unreadableWhy_;
    int missingSectionsLeft_ = 0;
    int missingNoteLinesLeft_ = 0;
    bool readOnly_ = false;
    Known known_;
    bool toldOfOtherVersion_ = false;
};

} // namespace vl
