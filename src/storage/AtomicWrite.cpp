#include "storage/AtomicWrite.h"

#include "storage/TextConv.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace vl {

namespace {

[[noreturn]] void fail(const QString &path, const QString &why)
{
    throw IniIoError(QStringLiteral("Cannot write %1: %2").arg(path, why).toStdString());
}

void keepOldContent(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return;
    const QString bak = path + QStringLiteral(".bak");
    QFile::remove(bak);
#ifdef Q_OS_UNIX
    // A hard link costs nothing and keeps the old content once the rename
    // below has replaced the file's name. Not for a symbolic link: the new
    // content goes to its target, and a link to the link would show it.
    if (!info.isSymLink() && ::link(QFile::encodeName(path).constData(), QFile::encodeName(bak).constData()) == 0)
        return;
#endif
    QFile::copy(path, bak); // best effort: the backup is a courtesy, not a condition
}

} // namespace

void writeFileAtomically(const QString &path, std::string_view data, bool keepBackup)
{
    writeFileAtomically(path, data, keepBackup, QString());
}

void writeFileAtomically(const QString &path, std::string_view data, bool keepBackup, const QString &like)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(path, file.errorString());
    // Set on the temporary file, before a byte is written to it.
    if (!like.isEmpty() && QFileInfo::exists(like) && !file.setPermissions(QFileInfo(like).permissions())) {
        const QString why = file.errorString();
        file.cancelWriting();
        fail(path, why);
    }
    const char *p = data.data();
    qint64 left = static_cast<qint64>(data.size());
    while (left > 0) {
        const qint64 n = file.write(p, left);
        if (n <= 0) {
            const QString why = file.errorString();
            file.cancelWriting();
            fail(path, why);
        }
        p += n;
        left -= n;
    }
    if (keepBackup)
        keepOldContent(path);
    if (!file.commit())
        fail(path, file.errorString());
}

} // namespace vl
