#include "common/HandOff.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vl {

namespace {

QString errnoText(const QString &what, int err)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(err)));
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

bool isPrivateFolder(const QString &path, QString *why)
{
    auto fail = [&](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no folder given"));
    struct stat st {};
    // lstat: a symlink here could be re-pointed by whoever owns the folder
    // that holds it, so it is refused even when its target looks right.
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return fail(errnoText(path, errno));
    if (S_ISLNK(st.st_mode))
        return fail(QStringLiteral("%1 is a symbolic link").arg(path));
    if (!S_ISDIR(st.st_mode))
        return fail(QStringLiteral("%1 is not a directory").arg(path));
    if (st.st_uid != ::geteuid())
        return fail(QStringLiteral("%1 belongs to another user").arg(path));
    if ((st.st_mode & 07777) != 0700)
        return fail(QStringLiteral("%1 has mode %2, not 0700").arg(path).arg(st.st_mode & 07777, 4, 8, QLatin1Char('0')));
    return true;
}

std::optional<QString> privateRuntimeFolder(const QString &xdgRuntimeDir, const QString &tmpBase, QString *error)
{
    if (!xdgRuntimeDir.isEmpty() && QDir::isAbsolutePath(xdgRuntimeDir) && isPrivateFolder(xdgRuntimeDir))
        return QDir::cleanPath(xdgRuntimeDir);

    const QString fallback =
        QDir::cleanPath(tmpBase) + QStringLiteral("/vorlane-") + QString::number(::geteuid());
    const QByteArray encoded = QFile::encodeName(fallback);
    if (::mkdir(encoded.constData(), 0700) == 0) {
        // A restrictive umask may have taken the owner bits; nobody else can
        // have touched the new folder yet, and /tmp is sticky, so fixing the
        // mode afterwards is safe.
        ::chmod(encoded.constData(), 0700);
    } else if (errno != EEXIST) {
        if (error)
            *error = errnoText(fallback, errno);
        return std::nullopt;
    }
    QString why;
    if (!isPrivateFolder(fallback, &why)) {
        if (error)
            *error = why;
        return std::nullopt;
    }
    return fallback;
}

std::optional<QString> privateRuntimeFolder(QString *error)
{
    return privateRuntimeFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QStringLiteral("/tmp"), error);
}

HandOff::HandOff(const QString &folder)
{
    if (folder.isEmpty()) {
        if (const auto f = privateRuntimeFolder(&m_error))
            m_filePath = *f + QLatin1Char('/') + QLatin1String(FileName);
        return;
    }
    if (isPrivateFolder(folder, &m_error))
        m_filePath = QDir::cleanPath(folder) + QLatin1Char('/') + QLatin1String(FileName);
}

QString HandOff::absoluteHandOffPath(const QString &path)
{
    // Two or more scheme characters: a one-letter "scheme" would be a drive
    // letter, which is a path.
    static const QRegularExpression url(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (path.isEmpty() || url.match(path).hasMatch() || QDir::isAbsolutePath(path))
        return path;
    // Not cleaned: ".." after a symlinked folder means the symlink's parent
    // to the kernel, not the lexical parent.
    return QDir::current().absoluteFilePath(path);
}

bool HandOff::SaveTempOpenFile(const QString &path)
{
    if (!isValid())
        return false;
    if (path.contains(QLatin1Char('\r')) || path.contains(QLatin1Char('\n'))) {
        m_error = QStringLiteral("the path holds a line break");
        return false;
    }
    const QByteArray data = absoluteHandOffPath(path).toUtf8() + "\r\n";

    // O_NONBLOCK: a FIFO at this place must not hang the start.
    Fd f;
    f.fd = ::open(QFile::encodeName(m_filePath).constData(),
                  O_CREAT | O_TRUNC | O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (f.fd < 0) {
        m_error = errnoText(m_filePath, errno);
        return false;
    }
    // An older file keeps its mode through O_CREAT; the path is private, so
    // tighten it.
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = QStringLiteral("%1 is not a regular file").arg(m_filePath);
        return false;
    }
    if ((st.st_mode & 07777) != 0600 && ::fchmod(f.fd, 0600) != 0) {
        m_error = errnoText(m_filePath, errno);
        return false;
    }
    // One write() for the whole line where possible: a reader racing a second
    // writer then still sees a whole first line.
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(f.fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errnoText(m_filePath, errno);
            return false;
        }
        done += n;
    }
    const int fd = f.fd;
    f.fd = -1;
    if (::close(fd) != 0) {
        m_error = errnoText(m_filePath, errno);
        return false;
    }
    return true;
}

std::optional<QString> HandOff::LoadTempOpenFile()
{
    if (!isValid())
        return std::nullopt;
    // O_NONBLOCK: a FIFO at this place must not hang the repaint.
    Fd f;
    f.fd = ::open(QFile::encodeName(m_filePath).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (f.fd < 0) {
        m_error = errnoText(m_filePath, errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = QStringLiteral("%1 is not a regular file").arg(m_filePath);
        return std::nullopt;
    }
    QByteArray data;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(f.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errnoText(m_filePath, errno);
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buf, n);
        // The first line is all that counts; stop once it is complete.
        if (std::memchr(buf, '\n', size_t(n)) || std::memchr(buf, '\r', size_t(n)))
            break;
    }
    qsizetype end = 0;
    while (end < data.size() && data[end] != '\r' && data[end] != '\n')
        ++end;
    return QString::fromUtf8(data.constData(), end);
}

bool HandOff::DeleteTempOpenFile()
{
    if (!isValid())
        return false;
    if (::unlink(QFile::encodeName(m_filePath).constData()) != 0 && errno != ENOENT) {
        m_error = errnoText(m_filePath, errno);
        return false;
    }
    return true;
}

bool HandOff::HandOffExists() const
{
    struct stat st {};
    return isValid() && ::lstat(QFile::encodeName(m_filePath).constData(), &st) == 0;
}

} // namespace vl
