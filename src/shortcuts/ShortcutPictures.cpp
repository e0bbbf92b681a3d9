#include "shortcuts/ShortcutPictures.h"

#include "platform/Platform.h"
#include "shortcuts/ShortcutFiles.h"
#include "shortcuts/TImageLabel.h"
#include "common/PictureLoader.h"

#include <QFileInfo>
#include <QIcon>

namespace vl {

ShortcutPictures::AutoKind ShortcutPictures::autoKind(const QString &attachedFile)
{
    if (attachedFile.isEmpty())
        return AutoKind::Default;
    const QFileInfo info(attachedFile);
    const bool exists = info.exists();
    if (!exists && IsUrl(attachedFile))
        return AutoKind::Web;
    return exists ? AutoKind::File : AutoKind::Default;
}

const QPixmap *ShortcutPictures::iconPixmap(const QIcon &icon)
{
    if (icon.isNull())
        return nullptr;
    auto it = byIcon_.find(icon.cacheKey());
    if (it == byIcon_.end())
        it = byIcon_.insert(icon.cacheKey(), icon.pixmap(TImageLabel::PictureSize, TImageLabel::PictureSize));
    return it->isNull() ? nullptr : &*it;
}

const QPixmap *ShortcutPictures::pictureFor(const ShortcutItem &item)
{
    if (item.Picture == ShortcutItem::NoPicture)
        return nullptr;
    if (!item.Picture.isEmpty()) {
        auto it = custom_.find(item.Picture);
        if (it == custom_.end())
            it = custom_.insert(item.Picture, shownPart(loadPicture(item.Picture)));
        return it->isNull() ? nullptr : &*it;
    }
    // The standard picture is made only when a shortcut needs it.
    const auto standard = [this] {
        if (!default_)
            default_ = iconPixmap(platform_.applicationIcon());
        return default_;
    };
    const auto known = byPath_.constFind(item.AttachedFile);
    if (known != byPath_.cend())
        return *known;
    const QPixmap *picture = nullptr;
    switch (autoKind(item.AttachedFile)) {
    case AutoKind::Web:
        // A platform with neither a browser nor a generic web icon gives
        // none, and the shortcut shows none rather than a misleading one.
        if (!web_)
            web_ = iconPixmap(platform_.webIcon());
        picture = *web_;
        break;
    case AutoKind::File:
        picture = iconPixmap(platform_.fileIcon(item.AttachedFile));
        if (!picture)
            picture = standard();
        break;
    case AutoKind::Default:
        picture = standard();
        break;
    }
    byPath_.insert(item.AttachedFile, picture);
    return picture;
}

QPixmap ShortcutPictures::shownPart(const QImage &image)
{
    const int side = TImageLabel::PictureSize;
    if (image.isNull())
        return {};
    return QPixmap::fromImage(image.width() > side || image.height() > side
                                  ? image.copy(0, 0, std::min(image.width(), side), std::min(image.height(), side))
                                  : image);
}

void ShortcutPictures::adopt(const QString &path, const QImage &image)
{
    // A picture that failed is kept as failed too: painting would only
    // decode it again to fail again.
    if (!path.isEmpty() && path != ShortcutItem::NoPicture)
        custom_.insert(path, shownPart(image));
}

void ShortcutPictures::forget(const ShortcutItem &item)
{
    byPath_.remove(item.AttachedFile);
    custom_.remove(item.Picture);
}

void ShortcutPictures::clear()
{
    byPath_.clear();
    custom_.clear();
    web_.reset();
    default_ = nullptr;
    byIcon_.clear();
}

} // namespace vl
