#pragma once

#include "model/Model.h"

namespace vl {

class Prompt;

// What the desktop commands need from the window that shows the desktops.
class DesktopView {
public:
    virtual ~DesktopView() = default;
    // The list of desktops changed (added, removed, renamed): rebuild tabs.
    virtual void desktopsChanged() = 0;
    // Shows the active desktop without the switching procedure.
    virtual void showActiveDesktop() = 0;
    // The switching procedure for the active desktop (selection cleared,
    // password asked where the desktop wants it).
    virtual void PageControl1Change() = 0;
    // The change report.
    virtual void Modified() = 0;
    // The desktop is about to be destroyed with everything on it.
    virtual void desktopRemoving(Desktop &d) = 0;
};

// "New Desktop", "Rename Desktop" and "Delete Desktop".
class DesktopCommands {
public:
    DesktopCommands(Workspace &ws, Prompt &prompt, DesktopView &view) : ws_(ws), prompt_(prompt), view_(view) {}

    void mnuNewTabSheetClick();
    void mnuRenameTabSheetClick();
    void mnuDeleteTabSheetClick();

    static inline const QString LastDesktopMessage = QStringLiteral("It is impossible delete last desktop");
    static inline const QString DeleteError = QStringLiteral("Desktop Delete Error");
    static QString deleteQuestion(const QString &caption);

private:
    bool RenameTabSheet();
    void DeleteTabSheet();

    Workspace &ws_;
    Prompt &prompt_;
    DesktopView &view_;
};

} // namespace vl
