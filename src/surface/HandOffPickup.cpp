#include "surface/HandOffPickup.h"

#include "common/HandOff.h"
#include "common/Prompt.h"
#include "shortcuts/ShortcutFiles.h"

#include <QFile>
#include <QUrl>

#include <cstdlib>

#include <sys/stat.h>

namespace vl {

namespace {

// realpath() of a folder, as bytes; empty when it leads nowhere.
QByteArray resolvedFolder(const QByteArray &folder)
{
    char *resolved = ::realpath(folder.constData(), nullptr);
    if (!resolved)
        return {};
    QByteArray out(resolved);
    std::free(resolved);
    return out;
}

// Text that names the file again once it is saved and read back: Qt turns
// bytes that are no UTF-8 into U+FFFD, which names another file, and the
// settings file keeps each value on one line.
bool keepsAsText(const QByteArray &bytes)
{
    return !bytes.contains('\r') && !bytes.contains('\n') && QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

HandedPath shortcutFor(const QByteArray &name, const QByteArray &full)
{
    const QString caption = QFile::decodeName(name);
    if (keepsAsText(full))
        return {caption, QFile::decodeName(full)};
    // Opened as an address, by the desktop's default application for the
    // file, which gets the bytes back.
    return {caption, QStringLiteral("file://") + QString::fromLatin1(full.toPercentEncoding("/"))};
}

// The path of a local file's address (file:///..., file://localhost/...),
// as bytes: file managers hand over addresses, and a file is named by its
// path. Nothing for any other address.
std::optional<QByteArray> localPathOf(const QString &text)
{
    if (!text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile() || url.hasQuery() || url.hasFragment()
        || !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
        return std::nullopt;
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!path.startsWith('/') || path.contains('\0'))
        return std::nullopt;
    return path;
}

} // namespace

std::optional<HandedPath> longFormOf(const QByteArray &handed)
{
    if (handed.isEmpty())
        return std::nullopt;
    const QString text = QString::fromUtf8(handed);
    const std::optional<QByteArray> local = localPathOf(text);
    if (IsUrl(text) && !local)
        return HandedPath{text, text};
    // The writer made it absolute against its own folder; anything else
    // would be resolved against ours, which is a different file.
    if (!local && !handed.startsWith('/'))
        return std::nullopt;
    QByteArray path = local.value_or(handed);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    QByteArray name = path.mid(slash + 1);
    QByteArray folder = slash == 0 ? QByteArray("/") : path.left(slash);
    if (name.isEmpty() || name == "." || name == "..") {
        // A folder named by "." or "..": the folder itself, resolved whole.
        folder = resolvedFolder(path);
        if (folder.isEmpty())
            return std::nullopt;
        if (folder == "/")
            return shortcutFor(folder, folder);
        const qsizetype cut = folder.lastIndexOf('/');
        name = folder.mid(cut + 1);
        folder = cut == 0 ? QByteArray("/") : folder.left(cut);
    }
    // realpath(), no lexical cleaning: "link/../f.txt" is the f.txt beside
    // the link's target, not the one beside the link.
    const QByteArray resolved = resolvedFolder(folder);
    if (resolved.isEmpty())
        return std::nullopt;
    const QByteArray full = (resolved == "/" ? resolved : resolved + '/') + name;
    struct stat st {};
    if (::stat(full.constData(), &st) != 0)
        return std::nullopt;
    return shortcutFor(name, full);
}

bool takeHandOffs(HandOff &handOff, Prompt &prompt, const std::function<bool()> &mayTake,
                  const std::function<void(const HandedPath &)> &add)
{
    bool allArrived = true;
    bool reported = false;
    for (const QString &entry : handOff.waiting()) {
        if (!mayTake())
            break;
        const HandOff::Taken taken = handOff.take(entry);
        if (taken.status == HandOff::Taken::Status::Gone)
            continue;
        if (taken.status == HandOff::Taken::Status::Unreadable) {
            allArrived = false;
            // A message box each for a folder full of junk would be a
            // storm; one says it.
            if (!reported)
                prompt.ShowMessage(QStringLiteral("Error in TFormMain.LoadTempOpenFile"));
            reported = true;
            continue;
        }
        // A path that leads nowhere is never passed on.
        if (const std::optional<HandedPath> handed = longFormOf(taken.path))
            add(*handed);
        else
            allArrived = false;
    }
    return allArrived;
}

} // namespace vl
