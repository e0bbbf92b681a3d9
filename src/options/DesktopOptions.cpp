#include "options/DesktopOptions.h"

#include "common/PictureLoader.h"
#include "common/Prompt.h"
#include "model/StorableText.h"
#include "options/OptionsView.h"

#include <QFileInfo>
#include <QImageReader>
#include <QSet>

namespace vl {

namespace {

// The buttons: neither without any password text; with one, even "0" (which
// asks nothing), the button of the desktop's mode.
DesktopOptions::PasswordMode modeShown(const DesktopSettings &s)
{
    if (s.Password.isEmpty())
        return DesktopOptions::PasswordMode::None;
    return s.Password_On_Desktop != 0 ? DesktopOptions::PasswordMode::OnDesktop : DesktopOptions::PasswordMode::OnMenu;
}

} // namespace

DesktopOptions::DesktopOptions(Workspace &ws, Prompt &prompt, OptionsView &view)
    : ws_(ws), prompt_(prompt), view_(view)
{
}

void DesktopOptions::run()
{
    if (!ws_.activeDesktop())
        return;
    bool accepted = false;
    try {
        open();
        accepted = prompt_.DesktopOptionsDialog(*this);
    } catch (const std::exception &) {
        ws_.work.ErrorsOccurred = true;
        prompt_.ShowMessage(CreationError);
        return;
    }
    if (accepted)
        btnOKClick();
}

QString DesktopOptions::caption() const
{
    return (d_ ? d_->Desktop_Caption : QString()) + QStringLiteral(" Desktop Options");
}

void DesktopOptions::changed()
{
    if (onChanged)
        onChanged();
}

QImage DesktopOptions::load(const QString &path) const
{
    // At its own size: the preview shows a part of it, as the page does.
    return path.isEmpty() ? QImage() : loadPicture(path);
}

void DesktopOptions::open()
{
    d_ = ws_.activeDesktop();
    if (!d_)
        return;
    const DesktopSettings &s = d_->settings;
    lookChanged_ = false;
    font_ = s.ShortcutFont;
    captionBackground_ = s.BG_Shortcut;
    transparent_ = s.Transparent;
    passwordMode_ = modeShown(s);
    preview_ = Preview{};
    preview_.path = s.Background_Picture;
    preview_.picture = load(s.Background_Picture);
    preview_.stretch = s.Background_Stretch;
    preview_.center = s.Background_Center;
    preview_.colour = s.BG_Color;
    backgroundExists_ = !s.Background_Picture.isEmpty();
}

void DesktopOptions::setStretch(bool stretch)
{
    preview_.stretch = stretch;
    changed();
}

void DesktopOptions::setCenter(bool center)
{
    preview_.center = center;
    changed();
}

void DesktopOptions::setBackgroundExists(bool exists)
{
    backgroundExists_ = exists;
    if (!exists)
        preview_.picture = QImage();
    else if (!preview_.path.isEmpty())
        preview_.picture = load(preview_.path);
    changed();
}

void DesktopOptions::btnPictureClick()
{
    const QString start = preview_.path.isEmpty() ? QString() : QFileInfo(preview_.path).absolutePath();
    const std::optional<QString> file = prompt_.OpenFileDialog(pictureFilter(), start, true);
    if (!file)
        return;
    // A file that cannot be read at all is an error; one that reads but is
    // no picture this platform decodes is taken with an empty preview, its
    // path kept.
    const QFileInfo info(*file);
    if (!info.isFile() || !info.isReadable()) {
        prompt_.ShowMessage(QStringLiteral("Cannot open the picture file %1").arg(*file));
        return;
    }
    preview_.picture = load(*file);
    preview_.path = *file;
    backgroundExists_ = true;
    changed();
}

void DesktopOptions::btnBGColorClick()
{
    if (const std::optional<Colour> c = prompt_.ColorDialog(preview_.colour)) {
        preview_.colour = *c;
        changed();
    }
}

void DesktopOptions::btnPasswordClick()
{
    if (!d_)
        return;
    std::optional<QString> stored;
    try {
        stored = prompt_.PasswordDialog(d_->Desktop_Caption, d_->settings.Password);
    } catch (const std::exception &) {
        prompt_.ShowMessage(PasswordCreationError);
        return;
    }
    if (!stored)
        return;
    d_->settings.Password = *stored;
    view_.Modified();
    passwordMode_ = modeShown(d_->settings);
    changed();
}

void DesktopOptions::rbtnPasswordOnDesktopClick()
{
    passwordMode_ = PasswordMode::OnDesktop;
    if (d_)
        d_->settings.Password_On_Desktop = 1;
    changed();
}

void DesktopOptions::rbtnPasswordOnMenuClick()
{
    passwordMode_ = PasswordMode::OnMenu;
    if (d_)
        d_->settings.Password_On_Desktop = 0;
    changed();
}

void DesktopOptions::btnShortcutFontClick()
{
    // The captions are drawn in the font's colour.
    if (const std::optional<FontSpec> f = prompt_.FontDialog(font_, FontColour::Chosen)) {
        font_ = *f;
        lookChanged_ = true;
    }
}

void DesktopOptions::setTransparent(bool transparent)
{
    transparent_ = transparent;
    lookChanged_ = true;
}

void DesktopOptions::btnBackgroundShortcutClick()
{
    if (const std::optional<Colour> c = prompt_.ColorDialog(captionBackground_)) {
        captionBackground_ = *c;
        lookChanged_ = true;
    }
}

void DesktopOptions::btnOKClick()
{
    // The desktop it was opened on, if it is still there.
    if (!d_ || ws_.indexOf(d_) < 0)
        return;
    DesktopSettings &s = d_->settings;
    if (lookChanged_) {
        // Also the font of desktops created from now on.
        ws_.global.ShortcutFont = font_;
        s.Transparent = transparent_;
        s.BG_Shortcut = captionBackground_;
        s.ShortcutFont = font_;
        if (d_ == ws_.activeDesktop())
            view_.RefreshShortcutFont();
    }
    if (backgroundExists_) {
        s.Background_Stretch = preview_.stretch;
        s.Background_Center = preview_.center;
        s.Background_Picture = storable(preview_.path);
    } else {
        s.Background_Picture.clear();
    }
    s.BG_Color = preview_.colour;
    view_.backgroundChanged(*d_);
    view_.Modified();
}

QString DesktopOptions::pictureFilter()
{
    const QSet<QByteArray> classic{"bmp", "dib", "emf", "wmf", "jpg", "jpeg"};
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats()) {
        if (!classic.contains(format.toLower()))
            patterns.append(QStringLiteral("*.") + QString::fromLatin1(format.toLower()));
    }
    patterns.removeDuplicates();
    if (patterns.isEmpty())
        return ClassicPictureFilter;
    const QString list = patterns.join(QLatin1Char(';'));
    return ClassicPictureFilter + QStringLiteral("|Other pictures (") + list + QStringLiteral(")|") + list;
}

} // namespace vl
