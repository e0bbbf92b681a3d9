#include "platform/SafeFile.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vl {

namespace {

fileFaults::Injector &injector()
{
    static fileFaults::Injector instance;
    return instance;
}

// Asks the test seam whether this call is to fail; sets errno when it is.
bool injected(fileFaults::Call call)
{
    const auto &inject = injector();
    if (!inject)
        return false;
    if (const int e = inject(call)) {
        errno = e;
        return true;
    }
    return false;
}

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

[[noreturn]] void fail(const QString &what, const QString &path, int err)
{
    throw FileIoError(QStringLiteral("%1 %2: %3").arg(what, path, errnoText(err)).toStdString());
}

[[noreturn]] void fail(const QString &text)
{
    throw FileIoError(text.toStdString());
}

QByteArray encoded(const QString &path) { return QFile::encodeName(path); }

FileIdentity identityOf(const struct stat &st)
{
    FileIdentity id;
    id.exists = true;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<qint64>(st.st_size);
    id.modifiedNs = static_cast<qint64>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return id;
}

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int release()
    {
        const int f = fd;
        fd = -1;
        return f;
    }
};

// What a write to path really replaces: the end of a chain of symbolic
// links (a settings file kept in a dotfiles folder stays a link), or path
// itself when nothing is there yet.
QString resolveTarget(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(encoded(current).constData(), &st) != 0) {
            if (errno == ENOENT)
                return current; // a new file (or the missing end of a link)
            fail(QStringLiteral("Cannot look at"), current, errno);
        }
        if (!S_ISLNK(st.st_mode)) {
            if (!S_ISREG(st.st_mode))
                fail(QStringLiteral("Cannot write %1: it is not a regular file").arg(current));
            return current;
        }
        const QString link = QFileInfo(current).symLinkTarget();
        if (link.isEmpty())
            fail(QStringLiteral("Cannot resolve the symbolic link %1").arg(current));
        current = link;
    }
    fail(QStringLiteral("Cannot write %1: too many symbolic links").arg(path));
}

// A name beside target that nobody else uses; the leading dot keeps it out
// of file managers and out of the history's list of copies.
QString siblingName(const QString &target, const char *kind)
{
    const QFileInfo info(target);
    const QString suffix = QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFull, 36);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QLatin1String(kind) + suffix);
}

void writeAll(int fd, std::string_view data, const QString &path)
{
    const char *p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const std::size_t chunk = std::min<std::size_t>(left, 1u << 30);
        ssize_t n;
        if (injected(fileFaults::Call::Write))
            n = -1;
        else
            n = ::write(fd, p, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("Cannot write"), path, errno);
        }
        if (n == 0)
            fail(QStringLiteral("Cannot write"), path, ENOSPC);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void syncFolderOf(const QString &target, QString &remark)
{
    const QString folder = QFileInfo(target).absolutePath();
    Fd dir(::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0 || injected(fileFaults::Call::SyncFolder) || ::fsync(dir.fd) != 0) {
        // Some file systems cannot sync a folder at all; the rename is done.
        if (errno != EINVAL && errno != ENOTSUP && errno != EROFS)
            remark = QStringLiteral("the folder %1 could not be synced: %2").arg(folder, errnoText(errno));
    }
}

} // namespace

FileIdentity FileIdentity::of(const QString &path)
{
    struct stat st {};
    if (::stat(encoded(path).constData(), &st) != 0)
        return {};
    return identityOf(st);
}

PendingFile::PendingFile(const QString &path, std::string_view data, const WriteOptions &options)
    : path_(QFileInfo(path).absoluteFilePath()), target_(resolveTarget(path)), options_(options)
{
    struct stat old {};
    const bool replacing = ::stat(encoded(target_).constData(), &old) == 0;

    mode_t mode = 0600;
    if (!replacing && options.newFileMode == NewFileMode::Shared)
        mode = 0666;
    else if (!replacing && options.newFileMode == NewFileMode::Executable)
        mode = 0777;

    Fd fd;
    for (int tries = 0; fd.fd < 0; ++tries) {
        temp_ = siblingName(target_, ".tmp-");
        if (injected(fileFaults::Call::Open))
            fd.fd = -1;
        else
            fd.fd = ::open(encoded(temp_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd.fd < 0 && (errno != EEXIST || tries > 100)) {
            const int err = errno;
            temp_.clear();
            fail(QStringLiteral("Cannot create a file beside"), target_, err);
        }
    }
    try {
        // Before the first byte: the content may hold passwords.
        if (replacing) {
            // Root saving somebody's file must leave it theirs; anybody
            // else may only keep the group, and need not.
            if (::fchown(fd.fd, old.st_uid, old.st_gid) != 0 && ::geteuid() == 0)
                fail(QStringLiteral("Cannot give the owner of"), target_, errno);
            if (::fchmod(fd.fd, old.st_mode & 07777) != 0)
                fail(QStringLiteral("Cannot set the mode of"), temp_, errno);
        } else if (options.newFileMode == NewFileMode::Private && ::fchmod(fd.fd, 0600) != 0) {
            fail(QStringLiteral("Cannot set the mode of"), temp_, errno);
        }
        writeAll(fd.fd, data, target_);
        if (injected(fileFaults::Call::Sync) || ::fsync(fd.fd) != 0)
            fail(QStringLiteral("Cannot sync"), target_, errno);
        struct stat st {};
        if (::fstat(fd.fd, &st) != 0)
            fail(QStringLiteral("Cannot look at"), temp_, errno);
        identity_ = identityOf(st);
        const int f = fd.release();
        // A network file system may report a failed write only here.
        if (injected(fileFaults::Call::Close)) {
            const int err = errno;
            ::close(f);
            fail(QStringLiteral("Cannot close"), target_, err);
        }
        if (::close(f) != 0)
            fail(QStringLiteral("Cannot close"), target_, errno);
    } catch (...) {
        discard();
        throw;
    }
}

PendingFile::~PendingFile() { discard(); }

PendingFile::PendingFile(PendingFile &&other) noexcept
    : path_(std::move(other.path_)),
      target_(std::move(other.target_)),
      temp_(std::exchange(other.temp_, QString())),
      options_(other.options_),
      identity_(other.identity_),
      remark_(std::move(other.remark_)),
      committed_(other.committed_)
{
}

PendingFile &PendingFile::operator=(PendingFile &&other) noexcept
{
    if (this != &other) {
        discard();
        path_ = std::move(other.path_);
        target_ = std::move(other.target_);
        temp_ = std::exchange(other.temp_, QString());
        options_ = other.options_;
        identity_ = other.identity_;
        remark_ = std::move(other.remark_);
        committed_ = other.committed_;
    }
    return *this;
}

void PendingFile::discard() noexcept
{
    if (!temp_.isEmpty() && !committed_)
        ::unlink(encoded(temp_).constData());
    temp_.clear();
}

void PendingFile::commit()
{
    if (committed_ || temp_.isEmpty())
        fail(QStringLiteral("Cannot put %1 in place twice").arg(target_));

    // The old content stays reachable under a second name until the new one
    // has taken its place; only then does that name become ".bak", beside
    // the name the file was asked for (a link's ".bak" is the link's). A
    // hard link costs nothing; where there can be none, a checked copy.
    const QString bak = path_ + QStringLiteral(".bak");
    QString bakLink;
    std::optional<PendingFile> bakCopy;
    if (options_.keepBackup && QFileInfo::exists(target_)) {
        for (int tries = 0; tries < 100; ++tries) {
            const QString name = siblingName(bak, "-");
            if (!injected(fileFaults::Call::Link) && ::link(encoded(target_).constData(), encoded(name).constData()) == 0) {
                bakLink = name;
                break;
            }
            if (errno != EEXIST)
                break;
        }
        if (bakLink.isEmpty()) {
            const int err = errno;
            if (err == EPERM || err == ENOTSUP || err == EXDEV || err == EMLINK || err == ENOSYS) {
                try {
                    bakCopy.emplace(bak, readRegularFile(target_, std::numeric_limits<qint64>::max()),
                                    WriteOptions{NewFileMode::Private, false});
                } catch (const FileIoError &e) {
                    remark_ = QStringLiteral("%1 was not brought up to date: %2").arg(bak, QString::fromLocal8Bit(e.what()));
                }
            } else {
                remark_ = QStringLiteral("%1 was not brought up to date: %2").arg(bak, errnoText(err));
            }
        }
    }

    if (injected(fileFaults::Call::Rename) || ::rename(encoded(temp_).constData(), encoded(target_).constData()) != 0) {
        const int err = errno;
        if (!bakLink.isEmpty())
            ::unlink(encoded(bakLink).constData());
        discard();
        fail(QStringLiteral("Cannot replace"), target_, err);
    }
    committed_ = true;
    temp_.clear();

    if (!bakLink.isEmpty()) {
        if (injected(fileFaults::Call::Rename) || ::rename(encoded(bakLink).constData(), encoded(bak).constData()) != 0) {
            remark_ = QStringLiteral("%1 was not brought up to date: %2").arg(bak, errnoText(errno));
            ::unlink(encoded(bakLink).constData());
        }
    } else if (bakCopy) {
        try {
            bakCopy->commit();
        } catch (const FileIoError &e) {
            remark_ = QStringLiteral("%1 was not brought up to date: %2").arg(bak, QString::fromLocal8Bit(e.what()));
        }
    }
    QString synced;
    syncFolderOf(target_, synced);
    if (remark_.isEmpty())
        remark_ = synced;
}

void writeFileAtomically(const QString &path, std::string_view data, const WriteOptions &options, QString *remark)
{
    PendingFile file(path, data, options);
    file.commit();
    if (remark)
        *remark = file.remark();
}

namespace {

// Opens path for reading without waiting on a FIFO's writer or a device.
int openForReading(const QString &path, struct stat &st)
{
    Fd fd(::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.fd < 0)
        fail(QStringLiteral("Cannot read"), path, errno);
    if (::fstat(fd.fd, &st) != 0)
        fail(QStringLiteral("Cannot read"), path, errno);
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("Cannot read %1: it is not a regular file").arg(path));
    // Regular files ignore the flag; dropping it keeps reads plain.
    ::fcntl(fd.fd, F_SETFL, ::fcntl(fd.fd, F_GETFL) & ~O_NONBLOCK);
    return fd.release();
}

} // namespace

std::string readRegularFile(const QString &path, qint64 maxBytes, FileIdentity *identity)
{
    struct stat st {};
    Fd fd(openForReading(path, st));
    if (st.st_size > maxBytes)
        fail(QStringLiteral("Cannot read %1: it is larger than %2 bytes").arg(path).arg(maxBytes));
    if (identity)
        *identity = identityOf(st);
    // Read until the end rather than trusting the size: a file may grow
    // while it is read. The spare byte lets a file of the size seen end in
    // one read.
    std::string out;
    out.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == out.size()) {
            if (static_cast<qint64>(got) > maxBytes)
                fail(QStringLiteral("Cannot read %1: it is larger than %2 bytes").arg(path).arg(maxBytes));
            out.resize(std::min<std::size_t>(out.size() * 2, static_cast<std::size_t>(maxBytes) + 1));
        }
        const ssize_t n = ::read(fd.fd, out.data() + got, out.size() - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("Cannot read"), path, errno);
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (static_cast<qint64>(got) > maxBytes)
        fail(QStringLiteral("Cannot read %1: it is larger than %2 bytes").arg(path).arg(maxBytes));
    out.resize(got);
    return out;
}

std::optional<QByteArray> tryReadRegularFile(const QString &path, qint64 maxBytes, QString *error)
{
    try {
        const std::string data = readRegularFile(path, maxBytes);
        return QByteArray(data.data(), static_cast<qsizetype>(data.size()));
    } catch (const FileIoError &e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return std::nullopt;
    }
}

std::unique_ptr<QFile> openRegularFile(const QString &path, QString *error)
{
    try {
        struct stat st {};
        Fd fd(openForReading(path, st));
        auto file = std::make_unique<QFile>();
        if (!file->open(fd.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            if (error)
                *error = file->errorString();
            return nullptr;
        }
        fd.release();
        return file;
    } catch (const FileIoError &e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return nullptr;
    }
}

bool isRegularFile(const QString &path, QString *why)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(encoded(path).constData(), &st) != 0) {
        if (why)
            *why = path.isEmpty() ? QStringLiteral("no file named") : errnoText(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        if (why)
            *why = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    return true;
}

QString nameOfOpenFile(const QFile &file, const QString &path)
{
    const QString name = QStringLiteral("/proc/self/fd/%1").arg(file.handle());
    struct stat viaProc {}, open {};
    if (file.handle() >= 0 && ::stat(encoded(name).constData(), &viaProc) == 0 && ::fstat(file.handle(), &open) == 0
        && viaProc.st_dev == open.st_dev && viaProc.st_ino == open.st_ino)
        return name;
    return path;
}

std::optional<qint64> regularFileSize(const QString &path)
{
    struct stat st {};
    if (::stat(encoded(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<qint64>(st.st_size);
}

std::uint64_t contentHash(std::string_view data)
{
    return static_cast<std::uint64_t>(qHash(QByteArrayView(data.data(), static_cast<qsizetype>(data.size())), 0));
}

namespace fileFaults {

void setInjector(Injector injector_) { injector() = std::move(injector_); }

const char *name(Call call)
{
    switch (call) {
    case Call::Open:
        return "open";
    case Call::Write:
        return "write";
    case Call::Sync:
        return "fsync";
    case Call::Close:
        return "close";
    case Call::Link:
        return "link";
    case Call::Rename:
        return "rename";
    case Call::SyncFolder:
        return "fsync of the folder";
    }
    return "?";
}

} // namespace fileFaults

} // namespace vl
