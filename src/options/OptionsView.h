#pragma once

#include "platform/GlobalShortcut.h"

namespace vl {

class Desktop;
class RegistryFile;

// What the option dialogs need from the window while they are open and when
// they close. The model is always written first; each call then makes the
// window show what the model says, so that the two never differ while a
// dialog is up (a save, a menu or an arrangement in between sees the window
// as it is).
class OptionsView {
public:
    virtual ~OptionsView() = default;

    // The look settings of GlobalSettings changed: tab font, tab position
    // with the status bar's side and size grip, wrapping of the tabs, the
    // status bar shown or not, and the cell size the captions wrap in.
    virtual void lookChanged() = 0;
    // The desktops changed order; the active desktop is the same record.
    virtual void desktopOrderChanged() = 0;
    // Auto_Save or AutoSave_Time changed.
    virtual void applyAutoSave() = 0;
    // The change report, and back to "Unmodified".
    virtual void Modified() = 0;
    virtual void Unmodified() = 0;

    // Every desktop is about to be destroyed: whatever the window keeps
    // about them (notes, clipboard, gestures, selection, pictures) goes now.
    virtual void desktopsClearing() = 0;
    // Builds the desktops from an older version's registry export into the
    // emptied workspace and shows the result.
    virtual void importRegistry(const RegistryFile &registry) = 0;

    // The caption look of the active desktop changed: its captions follow.
    virtual void RefreshShortcutFont() = 0;
    // The desktop's background picture settings or colour changed.
    virtual void backgroundChanged(const Desktop &d) = 0;
    // The key that calls the window from anywhere: what the desktop let the
    // window have, and a new choice stored, to take up.
    virtual GlobalShortcut::Support toggleKeySupport() { return GlobalShortcut::Support::Unsupported; }
    virtual void toggleKeyChanged() {}
};

} // namespace vl
