#include "surface/HandOffPickup.h"

#include "common/HandOff.h"
#include "common/Prompt.h"
#include "shortcuts/ShortcutFiles.h"

#include <QDir>
#include <QFileInfo>

namespace vl {

std::optional<HandedPath> longFormOf(const QString &handed)
{
    if (handed.isEmpty())
        return std::nullopt;
    if (IsUrl(handed))
        return HandedPath{handed, handed};
    // The writer made it absolute against its own folder; anything else
    // would be resolved against ours, which is a different file.
    if (!QDir::isAbsolutePath(handed))
        return std::nullopt;
    QString path = handed;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QString name = path.mid(slash + 1);
    QString folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        // A folder named by "." or "..": the folder itself, resolved whole.
        folder = QFileInfo(path).canonicalFilePath();
        if (folder.isEmpty())
            return std::nullopt;
        if (folder == QLatin1String("/"))
            return HandedPath{folder, folder};
        const qsizetype cut = folder.lastIndexOf(QLatin1Char('/'));
        name = folder.mid(cut + 1);
        folder = cut == 0 ? QStringLiteral("/") : folder.left(cut);
    }
    // realpath(), no lexical cleaning: "link/../f.txt" is the f.txt beside
    // the link's target, not the one beside the link.
    const QString resolved = QFileInfo(folder).canonicalFilePath();
    if (resolved.isEmpty())
        return std::nullopt;
    const QString full = (resolved == QLatin1String("/") ? resolved : resolved + QLatin1Char('/')) + name;
    if (!QFileInfo::exists(full))
        return std::nullopt;
    return HandedPath{name, full};
}

std::optional<HandedPath> takeHandOff(HandOff &handOff, Prompt &prompt)
{
    const std::optional<QString> handed = handOff.LoadTempOpenFile();
    handOff.DeleteTempOpenFile();
    if (!handed) {
        prompt.ShowMessage(QStringLiteral("Error in TFormMain.LoadTempOpenFile"));
        return std::nullopt;
    }
    return longFormOf(*handed);
}

} // namespace vl
