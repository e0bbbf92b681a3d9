#include "platform/RunningCopies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vl {

RunningCopies::RunningCopies(const QString &settingsPath) : path_(settingsPath + QStringLiteral(".running")) {}

RunningCopies::~RunningCopies()
{
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
}

QString RunningCopies::filePath() const { return path_; }

bool RunningCopies::open()
{
    if (fd_ >= 0)
        return true;
    // Before the first save the settings folder may not exist yet.
    QDir().mkpath(QFileInfo(path_).absolutePath());
    const QByteArray path = QFile::encodeName(path_);
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
    // Taken at once unless a command holds it exclusively, which lasts as
    // long as one file replacement; a command stopped in the middle must
    // not keep the window from starting.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::flock(fd_, LOCK_SH | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        QThread::msleep(30);
    }
    error_ = QString::fromLocal8Bit(std::strerror(errno));
    return false;
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

bool RunningCopies::takeAlone()
{
    if (fd_ < 0)
        return false;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
        return true;
    // A refused conversion may have let the shared lock go: take it again.
    backToShared();
    return false;
}

void RunningCopies::backToShared()
{
    if (fd_ >= 0)
        ::flock(fd_, LOCK_SH | LOCK_NB);
}

} // namespace vl
