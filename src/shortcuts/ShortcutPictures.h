#pragma once

#include "model/Model.h"

#include <QHash>
#include <QPixmap>

#include <optional>

namespace vl {

class Platform;

// The pictures shortcuts show, looked up when a shortcut is first painted
// and kept: one pixmap per distinct icon, however many shortcuts share it.
class ShortcutPictures {
public:
    explicit ShortcutPictures(Platform &platform) : platform_(platform) {}

    // What the shortcut shows, or nullptr for no picture at all.
    const QPixmap *pictureFor(const ShortcutItem &item);
    // Takes a picture file's content decoded elsewhere (a command that had
    // to decode it anyway; null when it could not), so it is not decoded
    // again for painting.
    void adopt(const QString &path, const QImage &image);
    // Forgets everything looked up (files may have come or gone).
    void clear();
    // Forgets what was looked up for this shortcut's file and picture, so
    // that a file chosen again after a repair is read again.
    void forget(const ShortcutItem &item);

    // The automatic picture for an attached file: the web picture for an
    // address that is no file, the file's or folder's icon, else the
    // standard application picture.
    enum class AutoKind { Web, File, Default };
    static AutoKind autoKind(const QString &attachedFile);

private:
    const QPixmap *iconPixmap(const QIcon &icon);
    // A shortcut shows its picture at its own size from the top-left corner,
    // cut to the picture square; only that part is kept.
    static QPixmap shownPart(const QImage &image);

    Platform &platform_;
    QHash<qint64, QPixmap> byIcon_;          // icon cache key -> 32 px pixmap
    QHash<QString, const QPixmap *> byPath_; // attached file -> its automatic picture
    QHash<QString, QPixmap> custom_;         // picture file -> its picture (null: unreadable)
    std::optional<const QPixmap *> web_;
    const QPixmap *default_ = nullptr;
};

} // namespace vl
