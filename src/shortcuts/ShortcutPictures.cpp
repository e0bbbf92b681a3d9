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

int ShortcutPictures::ratioKey(qreal devicePixelRatio)
{
    return devicePixelRatio > 0 ? qRound(devicePixelRatio * 1000) : 1000;
}

const QPixmap *ShortcutPictures::iconPixmap(const QIcon &icon, qreal devicePixelRatio)
{
    if (icon.isNull())
        return nullptr;
    const int ratio = ratioKey(devicePixelRatio);
    auto it = byIcon_.find({icon.cacheKey(), ratio});
    if (it == byIcon_.end()) {
        const int side = TImageLabel::PictureSize;
        it = byIcon_.emplace(std::pair(icon.cacheKey(), ratio), icon.pixmap(QSize(side, side), ratio / 1000.0)).first;
    }
    return it->second.isNull() ? nullptr : &it->second;
}

const QPixmap *ShortcutPictures::pictureFor(const ShortcutItem &item, qreal devicePixelRatio)
{
    if (item.Picture == ShortcutItem::NoPicture)
        return nullptr;
    if (!item.Picture.isEmpty()) {
        auto it = custom_.find(item.Picture);
        if (it == custom_.end())
            it = custom_.emplace(item.Picture, shownPart(loadPicture(item.Picture))).first;
        return it->second.isNull() ? nullptr : &it->second;
    }
    return automaticPictureFor(item, devicePixelRatio);
}

const QPixmap *ShortcutPictures::automaticPictureFor(const ShortcutItem &item, qreal devicePixelRatio)
{
    AtRatio &at = byRatio_[ratioKey(devicePixelRatio)];
    // The standard picture is made only when a shortcut needs it.
    const auto standard = [&] {
        if (!at.standard)
            at.standard = iconPixmap(platform_.applicationIcon(), devicePixelRatio);
        return at.standard;
    };
    const auto known = at.byPath.constFind(item.AttachedFile);
    if (known != at.byPath.cend())
        return *known;
    const QPixmap *picture = nullptr;
    switch (autoKind(item.AttachedFile)) {
    case AutoKind::Web:
        // A platform with neither a browser nor a generic web icon gives
        // none, and the shortcut shows none rather than a misleading one.
        if (!at.web)
            at.web = iconPixmap(platform_.webIcon(), devicePixelRatio);
        picture = *at.web;
        break;
    case AutoKind::File:
        picture = iconPixmap(platform_.fileIcon(item.AttachedFile), devicePixelRatio);
        if (!picture)
            picture = standard();
        break;
    case AutoKind::Default:
        picture = standard();
        break;
    }
    at.byPath.insert(item.AttachedFile, picture);
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
        custom_.insert_or_assign(path, shownPart(image));
}

void ShortcutPictures::forget(const ShortcutItem &item)
{
    for (auto &entry : byRatio_)
        entry.second.byPath.remove(item.AttachedFile);
}

void ShortcutPictures::clear()
{
    byRatio_.clear();
    custom_.clear();
    byIcon_.clear();
}

} // namespace vl
