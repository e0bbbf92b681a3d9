#pragma once

#include "model/Model.h"

#include <QHash>
#include <QPixmap>

#include <map>
#include <optional>
#include <utility>

namespace vl {

class Platform;

// The pictures shortcuts show, looked up when a shortcut is first painted
// and kept: one pixmap per distinct icon and device pixel ratio, however many
// shortcuts share it.
class ShortcutPictures {
public:
    explicit ShortcutPictures(Platform &platform) : platform_(platform) {}

    // What the shortcut shows, or nullptr for no picture at all. Icons are
    // drawn for `devicePixelRatio` (the painted widget's): a 32 px square
    // holds 64 device pixels at ratio 2, and an icon scaled up from 32 would
    // be blurred. Pictures of the shortcut's own are shown pixel for pixel at
    // their natural size, whatever the ratio. The pointer stays valid until
    // clear() or forget().
    const QPixmap *pictureFor(const ShortcutItem &item, qreal devicePixelRatio = 1.0);
    // The picture the shortcut's attached file gives it, whatever its own
    // Picture says.
    const QPixmap *automaticPictureFor(const ShortcutItem &item, qreal devicePixelRatio = 1.0);
    // Takes a picture file's content decoded elsewhere (a command that had
    // to decode it anyway; null when it could not), so it is not decoded
    // again for painting.
    void adopt(const QString &path, const QImage &image);
    // Forgets everything looked up (files may have come or gone).
    void clear();
    // Forgets what was looked up for this shortcut's attached file, so that
    // a file chosen again after a repair is looked up again. Its picture
    // file stays as it was decoded: other shortcuts may show it, and a
    // command that gives a shortcut a picture file decodes it and adopts
    // the result.
    void forget(const ShortcutItem &item);

    // The automatic picture for an attached file: the web picture for an
    // address that is no file, the file's or folder's icon, else the
    // standard application picture.
    enum class AutoKind { Web, File, Default };
    static AutoKind autoKind(const QString &attachedFile);

private:
    const QPixmap *iconPixmap(const QIcon &icon, qreal devicePixelRatio);
    // A shortcut shows its picture at its own size from the top-left corner,
    // cut to the picture square; only that part is kept.
    static QPixmap shownPart(const QImage &image);

    // Ratios as whole thousandths, so that equal ratios compare equal.
    static int ratioKey(qreal devicePixelRatio);

    // The automatic pictures chosen at one device pixel ratio; they point
    // into byIcon_.
    struct AtRatio {
        QHash<QString, const QPixmap *> byPath; // attached file -> its automatic picture
        std::optional<const QPixmap *> web;
        const QPixmap *standard = nullptr;
    };

    Platform &platform_;
    // Node-based on purpose: AtRatio keeps pointers to these pixmaps, and a
    // QHash moves its values when it grows.
    std::map<std::pair<qint64, int>, QPixmap> byIcon_; // (icon cache key, ratio) -> 32 px square
    std::map<int, AtRatio> byRatio_;
    std::map<QString, QPixmap> custom_; // picture file -> its picture (null: unreadable); node-based too
};

} // namespace vl
