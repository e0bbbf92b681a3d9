#include "common/HandOff.h"

#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <dirent.h>
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

struct Dir {
    DIR *dir = nullptr;
    explicit Dir(const QString &path) : dir(::opendir(QFile::encodeName(path).constData())) {}
    ~Dir()
    {
        if (dir)
            ::closedir(dir);
    }
    Dir(const Dir &) = delete;
    Dir &operator=(const Dir &) = delete;
};

// <boot ns:16>-<pid:8>-<sequence:8>-<random:8>, all lowercase hex: fixed
// widths, so that names sort as their stamps do.
constexpr int EntryNameLength = 16 + 1 + 8 + 1 + 8 + 1 + 8;

bool isEntryName(const char *name, std::size_t length)
{
    if (length != EntryNameLength)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = name[i];
        const bool dash = i == 16 || i == 25 || i == 34;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}
bool isEntryName(const char *name) { return isEntryName(name, std::strlen(name)); }
bool isEntryName(const QString &name)
{
    const QByteArray latin = name.toLatin1();
    return name.size() == EntryNameLength && isEntryName(latin.constData(), std::size_t(latin.size()));
}

// What the file writer leaves while an entry is on its way: "." + the
// entry's name + ".tmp-" + random. Nothing else in the spool is touched.
bool isEntryTemporary(const char *name)
{
    static constexpr char Marker[] = ".tmp-";
    return name[0] == '.' && std::strlen(name) > 1 + EntryNameLength + sizeof Marker - 1
        && isEntryName(name + 1, EntryNameLength)
        && std::strncmp(name + 1 + EntryNameLength, Marker, sizeof Marker - 1) == 0;
}

// Two or more scheme characters: a one-letter "scheme" would be a drive
// letter, which is a path.
bool hasUrlScheme(const QByteArray &path)
{
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.isEmpty() || !letter(path[0]))
        return false;
    qsizetype i = 1;
    while (i < path.size()
           && (letter(path[i]) || (path[i] >= '0' && path[i] <= '9') || path[i] == '+' || path[i] == '.'
               || path[i] == '-'))
        ++i;
    return i >= 2 && i < path.size() && path[i] == ':';
}

// When this process was started, in nanoseconds since boot, and its PID.
// The kernel notes the start time at fork, so copies that a file manager
// starts one after another (one per selected file) are in that order
// whenever each of them gets to write: on a busy machine the last one
// started may well write first. The kernel's clock for it ticks in
// hundredths of a second; within a tick the PID, handed out in fork order,
// decides.
struct StartStamp {
    std::uint64_t bootNs = 0;
    std::uint32_t pid = 0;
};

StartStamp readStartStamp()
{
    StartStamp stamp;
    stamp.pid = static_cast<std::uint32_t>(::getpid());
    // Field 22 of /proc/self/stat, in clock ticks since boot. The command
    // name before it may hold blanks and parentheses, so the count starts
    // after the last ')', with field 3.
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> fields = close < 0 ? QList<QByteArray>() : text.mid(close + 2).split(' ');
        bool ok = false;
        const qulonglong ticks = fields.size() > 19 ? fields.at(19).toULongLong(&ok) : 0;
        const long hz = ::sysconf(_SC_CLK_TCK);
        if (ok && hz > 0) {
            stamp.bootNs = ticks * (1'000'000'000ull / static_cast<unsigned long>(hz));
            return stamp;
        }
    }
    // No /proc: the time now, which is at least later than the start.
    timespec now {};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    stamp.bootNs = std::uint64_t(now.tv_sec) * 1'000'000'000ull + std::uint64_t(now.tv_nsec);
    return stamp;
}

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

HandOff::HandOff(const QString &runtimeFolder)
{
    QString base;
    if (runtimeFolder.isEmpty()) {
        const auto folder = privateRuntimeFolder(&m_error);
        if (!folder)
            return;
        base = *folder;
    } else {
        if (!isPrivateFolder(runtimeFolder, &m_error))
            return;
        base = QDir::cleanPath(runtimeFolder);
    }
    const QString spool = base + QStringLiteral("/vorlane-") + QString::number(::geteuid()) + QStringLiteral(".handoff");
    const QByteArray encoded = QFile::encodeName(spool);
    if (::mkdir(encoded.constData(), 0700) == 0) {
        // Inside a private folder nobody else can have touched it; only a
        // umask can have taken the owner's bits.
        ::chmod(encoded.constData(), 0700);
    } else if (errno != EEXIST) {
        m_error = errnoText(spool, errno);
        return;
    }
    if (isPrivateFolder(spool, &m_error))
        m_folder = spool;
}

QByteArray HandOff::absoluteHandOffPath(const QByteArray &path)
{
    if (path.isEmpty() || path.startsWith('/') || hasUrlScheme(path))
        return path;
    // The working folder as bytes: its name need not be text either. Not
    // cleaned: ".." after a symlinked folder means the symlink's parent to
    // the kernel, not the lexical parent.
    QByteArray folder(4096, Qt::Uninitialized);
    while (::getcwd(folder.data(), size_t(folder.size())) == nullptr) {
        if (errno != ERANGE)
            return path; // the folder is gone; the reader refuses a relative path
        folder.resize(folder.size() * 2);
    }
    folder.truncate(qsizetype(std::strlen(folder.constData())));
    if (!folder.endsWith('/'))
        folder.append('/');
    return folder + path;
}

bool HandOff::SaveTempOpenFile(const QByteArray &path)
{
    if (!isValid())
        return false;
    const QByteArray data = absoluteHandOffPath(path) + '\n';
    if (data.size() > MaxEntryBytes) {
        m_error = QStringLiteral("the path is longer than %1 bytes").arg(MaxEntryBytes - 1);
        return false;
    }
    static std::atomic<std::uint32_t> sequence{0};
    static const StartStamp stamp = readStartStamp();
    const QString name = QString::asprintf("%016llx-%08x-%08x-%08x", static_cast<unsigned long long>(stamp.bootNs),
                                           stamp.pid, sequence.fetch_add(1), QRandomGenerator::global()->generate());
    try {
        // Written whole and synced under a temporary name, then renamed:
        // the reader never sees a part. The name is new, so the rename
        // replaces nothing.
        writeFileAtomically(m_folder + QLatin1Char('/') + name, std::string_view(data.constData(), size_t(data.size())),
                            WriteOptions{NewFileMode::Private, false});
    } catch (const FileIoError &e) {
        m_error = QString::fromLocal8Bit(e.what());
        return false;
    }
    return true;
}

bool HandOff::HandOffExists() const
{
    if (!isValid())
        return false;
    Dir dir(m_folder);
    if (!dir.dir)
        return false;
    while (const dirent *e = ::readdir(dir.dir)) {
        if (isEntryName(e->d_name) && !m_stuck.contains(QString::fromLatin1(e->d_name)))
            return true;
    }
    return false;
}

QStringList HandOff::waiting()
{
    QStringList names;
    if (!isValid())
        return names;
    Dir dir(m_folder);
    if (!dir.dir) {
        m_error = errnoText(m_folder, errno);
        return names;
    }
    const int fd = ::dirfd(dir.dir);
    const std::time_t now = std::time(nullptr);
    while (const dirent *e = ::readdir(dir.dir)) {
        if (isEntryName(e->d_name)) {
            const QString name = QString::fromLatin1(e->d_name);
            if (!m_stuck.contains(name))
                names.append(name);
        } else if (isEntryTemporary(e->d_name)) {
            // A writer takes milliseconds; one this old died on the way.
            struct stat st {};
            if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && now - st.st_mtime > StaleAfterSeconds)
                ::unlinkat(fd, e->d_name, 0);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

HandOff::Taken HandOff::take(const QString &entry)
{
    Taken taken;
    if (!isValid() || !isEntryName(entry) || m_stuck.contains(entry))
        return taken;
    const QString path = m_folder + QLatin1Char('/') + entry;
    const QByteArray file = QFile::encodeName(path);

    // O_NOFOLLOW: a symlink is refused, never read through; O_NONBLOCK: a
    // FIFO must not hang the window.
    QByteArray data;
    bool readable = false;
    Fd f;
    f.fd = ::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (f.fd < 0) {
        if (errno == ENOENT)
            return taken;
        m_error = errnoText(path, errno);
    } else {
        struct stat st {};
        if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            m_error = QStringLiteral("%1 is not a regular file").arg(path);
        } else if (st.st_size > MaxEntryBytes) {
            m_error = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(MaxEntryBytes);
        } else {
            readable = true;
            data.resize(qsizetype(st.st_size) + 1);
            qsizetype got = 0;
            for (;;) {
                if (got == data.size()) {
                    // Grown since the look: no entry of ours ever does.
                    readable = false;
                    m_error = QStringLiteral("%1 changes while it is read").arg(path);
                    break;
                }
                const ssize_t n = ::read(f.fd, data.data() + got, size_t(data.size() - got));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0) {
                    readable = false;
                    m_error = errnoText(path, errno);
                    break;
                }
                if (n == 0)
                    break;
                got += n;
            }
            data.truncate(got);
        }
    }

    // Whoever removes the entry owns it; another window that read it too
    // finds it gone and drops what it read.
    if (::unlink(file.constData()) != 0) {
        if (errno == ENOENT)
            return taken;
        m_error = errnoText(path, errno);
        m_stuck.insert(entry);
        taken.status = Taken::Status::Unreadable;
        return taken;
    }
    // Every writer ends its entry with a line feed; without one it is not
    // an entry of ours.
    if (!readable || !data.endsWith('\n')) {
        if (readable)
            m_error = QStringLiteral("%1 is not a whole entry").arg(path);
        taken.status = Taken::Status::Unreadable;
        return taken;
    }
    data.chop(1);
    taken.status = Taken::Status::Taken;
    taken.path = data;
    return taken;
}

} // namespace vl
