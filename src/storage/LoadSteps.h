#pragma once

#include "model/Model.h"

#include <QString>

namespace vl {

class Prompt;
class SettingsHost;

// The steps that the settings load and the legacy import share: a desktop's
// background picture, a shortcut, and the picture messages with their
// question, which one "No" silences for the rest of that load. One object
// serves one load.
class LoadSteps {
public:
    // Forgets the host's picture checks of the previous load.
    LoadSteps(Workspace &ws, Prompt &prompt, SettingsHost &host, bool pictureMessages);
    // A load that asks and tells nothing, for trying a load on a scratch
    // workspace: picture failures only set ErrorsOccurred there.
    LoadSteps(Workspace &ws, SettingsHost &host);

    static bool fileExists(const QString &path);

    // What a background path naming no file means: the settings load keeps
    // the path without a picture; the import takes it as a failed picture.
    enum class MissingPicture { Kept, Failed };
    // The picture of the desktop just created, from its Background_Picture.
    // A failure sets ErrorsOccurred, shows its message and question (while
    // picture messages are on) and clears the path.
    void backgroundPicture(Desktop &desktop, MissingPicture missing);

    // The shortcut fields as read, before the shortcut exists.
    struct Shortcut {
        QString AttachedFile;
        QString CommandString;
        QString Picture;
        QString Label_Caption;
        int Item_Left = 10;
        int Item_Top = 10;
    };
    // False when Leave_Missing is off and no file of that name exists
    // (folders and web addresses count as missing): the shortcut is skipped.
    bool keepsShortcut(const QString &attachedFile) const;
    // Creates the shortcut on the active desktop. A picture other than
    // "NONE" that cannot be shown (missing too) sets ErrorsOccurred and,
    // while picture messages are on, shows its message and question; the
    // path stays.
    ShortcutItem &addShortcut(Shortcut &&fields);

private:
    void pictureFailed(const QString &message);

    Workspace &ws_;
    Prompt *prompt_; // null: nothing is ever asked
    SettingsHost &host_;
    bool pictureMessages_;
};

} // namespace vl
