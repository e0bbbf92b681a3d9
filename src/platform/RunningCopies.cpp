#include "platform/RunningCopies.h"

#include "common/HandOff.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vl {

RunningCopies::RunningCopies(QString runtimeFolder) : folder_(std::move(runtimeFolder)) {}

RunningCopies::~RunningCopies()
{
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
}

QString RunningCopies::filePath() const
{
    return QDir(folder_).filePath(QStringLiteral("vorlane-%1.running").arg(::geteuid()));
}

bool RunningCopies::open()
{
    if (fd_ >= 0)
        return true;
    if (folder_.isEmpty()) {
        const std::optional<QString> folder = privateRuntimeFolder(&error_);
        if (!folder)
            return false;
        folder_ = *folder;
    }
    const QByteArray path = QFile::encodeName(filePath());
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

bool RunningCopies::markRunning()
{
    if (!open())
        return false;
    // Blocks only while a command holds it exclusively, which lasts as long
    // as one file replacement.
    int r;
    do
        r = ::flock(fd_, LOCK_SH);
    while (r != 0 && errno == EINTR);
    if (r != 0)
        error_ = QString::fromLocal8Bit(std::strerror(errno));
    return r == 0;
}

RunningCopies::Others RunningCopies::othersRunning()
{
    if (!open())
        return Others::Unknown;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
        return Others::None;
    if (errno == EWOULDBLOCK)
        return Others::Running;
    error_ = QString::fromLocal8Bit(std::strerror(errno));
    return Others::Unknown;
}

} // namespace vl
