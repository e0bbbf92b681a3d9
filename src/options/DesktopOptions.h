#pragma once

#include "model/Model.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace vl {

class OptionsView;
class Prompt;

// The options of the active desktop: its background picture, colour and
// password, and the look of its shortcut captions. Fills the dialog,
// carries out its buttons and applies OK; Cancel drops what OK would have
// applied. The password and its mode are written to the desktop when they
// are changed, and stay whatever the dialog ends with.
class DesktopOptions {
public:
    DesktopOptions(Workspace &ws, Prompt &prompt, OptionsView &view);

    // "Desktop Options": opens on the active desktop, shows the dialog and
    // applies it on OK. Nothing without a desktop.
    void run();

    // Fills the dialog's state from the active desktop.
    void open();
    Desktop *desktop() const { return d_; }
    // The window caption: the desktop's caption and " Desktop Options".
    QString caption() const;

    // The preview: the panel in the background colour around the picture,
    // shown as the page would show it (stretched, centred or at the top left).
    struct Preview {
        QImage picture; // null: none, or one that could not be decoded
        QString path;
        bool stretch = false;
        bool center = false;
        Colour colour = 0;
    };
    const Preview &preview() const { return preview_; }
    bool backgroundExists() const { return backgroundExists_; }
    // Called when an operation changed what the dialog shows.
    std::function<void()> onChanged;

    void setStretch(bool stretch);
    void setCenter(bool center);
    // Unticked: the preview loses its picture. Ticked: the picture is read
    // again from the preview's path, if it has one.
    void setBackgroundExists(bool exists);
    // Chooses a picture file for the preview.
    void btnPictureClick();
    void btnBGColorClick();

    enum class PasswordMode { None, OnDesktop, OnMenu };
    PasswordMode passwordMode() const { return passwordMode_; }
    // Sets, changes or removes the password through its own dialog; a new
    // password is kept (and reported) at once.
    void btnPasswordClick();
    // Write the desktop's Password_On_Desktop at once: 1 and 0.
    void rbtnPasswordOnDesktopClick();
    void rbtnPasswordOnMenuClick();

    void btnShortcutFontClick();
    void setTransparent(bool transparent);
    void btnBackgroundShortcutClick();
    const FontSpec &chosenFont() const { return font_; }
    bool transparent() const { return transparent_; }
    Colour captionBackground() const { return captionBackground_; }
    bool shortcutLookChanged() const { return lookChanged_; }

    void btnOKClick();

    // The picture chooser's filter: the classic entries, then the formats
    // this platform decodes besides them.
    static QString pictureFilter();
    static inline const QString ClassicPictureFilter = QStringLiteral(
        "All (*.bmp;*.emf;*.wmf;*.jpg;*.jpeg)|*.bmp;*.emf;*.wmf;*.jpg;*.jpeg|Bitmaps (*.bmp)|*.bmp|Enhanced "
        "Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf|Jpeg(*.jpg;*.jpeg)|*.jpg;*.jpeg");
    static constexpr QSize PanelSize{190, 190};
    static constexpr QSize PictureSize{160, 160};
    static inline const QString CreationError = QStringLiteral("Error of creating Form of Background Options");
    static inline const QString PasswordCreationError = QStringLiteral("Error of creating Form of Password");

private:
    void changed();
    QImage load(const QString &path) const;

    Workspace &ws_;
    Prompt &prompt_;
    OptionsView &view_;
    Desktop *d_ = nullptr;
    Preview preview_;
    bool backgroundExists_ = false;
    PasswordMode passwordMode_ = PasswordMode::None;
    bool lookChanged_ = false;
    FontSpec font_;
    bool transparent_ = true;
    Colour captionBackground_ = 0;
};

} // namespace vl
