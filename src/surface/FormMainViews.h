#pragma once

// The window's side of the interfaces that loading and saving, the option
// dialogs, the search field and the compact strip talk to. Private to the main window: only
// FormMain.cpp and FormMainViews.cpp include this.

#include "options/OptionsView.h"
#include "search/FindPopup.h"
#include "shell/CompactStrip.h"
#include "storage/SettingsFile.h"
#include "surface/FormMain.h"
#include "surface/UndoCommands.h"

#include <QElapsedTimer>
#include <QPointer>

namespace vl {

class TfrmSplash;

// What loading and saving need from the window.
class TFormMain::Host : public SettingsHost {
public:
    explicit Host(TFormMain &w) : w_(w) {}

    void loadProgressTotal(int total) override;
    void loadProgressStep(int number) override;
    void processEvents() override;
    void applyWindowState(const GlobalSettings &g) override;
    void captureWindowState(GlobalSettings &g) override;
    void flushEdits() override;
    void setAttachedFile(ShortcutItem &item, const QString &file) override;
    void desktopChanged() override;
    void reloadStarted() override;
    void reloadFinished() override;
    void setSaveState(const QString &text) override;
    void statusMessage(const QString &text) override;
    void otherVersionChosen() override;

private:
    TFormMain &w_;
    QPointer<TfrmSplash> ownSplash_;
    QElapsedTimer sinceEvents_;
};

// What the option dialogs change in the window, each time after the model.
class TFormMain::Options : public OptionsView {
public:
    explicit Options(TFormMain &w) : w_(w) {}

    void lookChanged() override;
    void desktopOrderChanged() override;
    void applyAutoSave() override;
    void Modified() override;
    void Unmodified() override;
    void desktopsClearing() override;
    void importRegistry(const RegistryFile &registry) override;
    void RefreshShortcutFont() override;
    void backgroundChanged(const Desktop &d) override;
    GlobalShortcut::Support toggleKeySupport() override;
    void toggleKeyChanged() override;

private:
    TFormMain &w_;
};

// The window's side of the search field: which desktops it may list, and
// what starting or showing a result does.
class TFormMain::Finder {
public:
    explicit Finder(TFormMain &w) : w_(w) {}

    FindPopup::Actions actions();
    bool mayOpen() const;
    void start(const SearchHit &hit);
    void show(const SearchHit &hit);
    // Whether a desktop's shortcuts and notes may be listed: whatever anyone
    // could see by opening it. A password asked only on its menus hides
    // nothing; one asked on opening hides it until given in this run.
    bool listed(const Desktop &d) const;

private:
    TFormMain &w_;
};

// The window rolled up into the compact strip and out again.
// What undo and redo need from the window.
class TFormMain::Undoing : public UndoView {
public:
    explicit Undoing(TFormMain &w) : w_(w) {}

    void flushEdits() override;
    void elementsReplacing(const Desktop &d) override;
    void desktopGoing(const Desktop &d) override;
    void modelReplaced() override;
    void changeReported() override;
    void statusMessage(const QString &text) override;

private:
    TFormMain &w_;
};

class TFormMain::Compact : public CompactStrip::View {
public:
    explicit Compact(TFormMain &w) : w_(w) {}

    void compactLook(bool) override;
    int stripHeight() override;

private:
    TFormMain &w_;
};

} // namespace vl
