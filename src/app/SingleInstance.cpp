#include "app/SingleInstance.h"

#include "common/HandOff.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>

#include <unistd.h>

namespace vl {

namespace {

// A second copy gives the first this long to get from taking the lock to
// listening; after that the first counts as wedged.
constexpr int AnswerDeadlineMs = 2000;
constexpr int ConnectTimeoutMs = 250;
constexpr int WriteTimeoutMs = 1000;
constexpr int RetryPauseMs = 50;
// A client that sends no line within this time is dropped, so a stuck
// starter cannot keep descriptors of the running copy.
constexpr int ClientIdleMs = 5000;
constexpr qint64 MaxLineBytes = 64;

QString baseName()
{
    return QStringLiteral("vorlane-") + QString::number(::geteuid());
}

} // namespace

TPBJustOne::TPBJustOne(QString runtimeFolder, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(runtimeFolder))
{
}

TPBJustOne::~TPBJustOne()
{
    // Socket first: once the lock is gone a new copy may take over the
    // socket's name, and our close() would then delete its socket file.
    if (m_server)
        m_server->close();
    m_lock.reset();
}

QString TPBJustOne::lockFilePath() const
{
    return m_folder.isEmpty() ? QString() : m_folder + QLatin1Char('/') + baseName() + QStringLiteral(".lock");
}

QString TPBJustOne::serverPath() const
{
    return m_folder.isEmpty() ? QString() : m_folder + QLatin1Char('/') + baseName() + QStringLiteral(".sock");
}

TPBJustOne::Outcome TPBJustOne::start()
{
    if (m_lock && m_lock->isLocked())
        return Outcome::FirstInstance;
    m_delivered = false;
    m_error.clear();

    if (m_folder.isEmpty()) {
        const auto folder = privateRuntimeFolder(&m_error);
        if (!folder)
            return Outcome::Failed;
        m_folder = *folder;
    } else if (!isPrivateFolder(m_folder, &m_error)) {
        return Outcome::Failed;
    }
    m_folder = QDir::cleanPath(m_folder);

    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // Age says nothing here: the first copy holds the lock for days. Only a
    // dead holder (or one from before a reboot) makes the lock stale.
    m_lock->setStaleLockTime(0);

    const QDeadlineTimer deadline(AnswerDeadlineMs);
    for (;;) {
        // A command that holds the lock only to keep windows away serves no
        // wake-ups: a window started meanwhile waits for the lock instead of
        // handing its start to a process that never shows one.
        if (m_lock->tryLock(0))
            return m_wake ? becomeServer() : Outcome::FirstInstance;
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_error = QStringLiteral("cannot create the lock file %1").arg(lockFilePath());
            return Outcome::Failed;
        }
        // A lock file without a readable PID (the holder died between
        // creating and filling it, or power failed before the data reached
        // the disk) is never stale by PID and, with no age limit, would bar
        // every start for good. Qt's removal takes the holder's flock first,
        // so a live holder keeps its lock; the age check only keeps clear of
        // the instant between a live holder's create and its flock.
        if (!m_lock->getLockInfo(nullptr, nullptr, nullptr)) {
            const QDateTime modified = QFileInfo(lockFilePath()).lastModified();
            if (modified.isValid() && modified.msecsTo(QDateTime::currentDateTime()) > 1000
                && m_lock->removeStaleLockFile())
                continue;
        }

        // The lock is held, and not by a dead process: a copy runs.
        if (!m_wake) {
            m_error = QStringLiteral("another copy holds %1").arg(lockFilePath());
            return Outcome::HandedOver;
        }
        QLocalSocket socket;
        socket.connectToServer(serverPath(), QIODevice::WriteOnly);
        if (socket.waitForConnected(ConnectTimeoutMs)) {
            socket.write(WakeMessage);
            m_delivered = socket.waitForBytesWritten(WriteTimeoutMs) || socket.bytesToWrite() == 0;
            socket.disconnectFromServer();
            if (!m_delivered)
                m_error = socket.errorString();
            return Outcome::HandedOver;
        }
        // Not listening yet (the holder is starting, or the socket is left
        // over from a dead holder whose lock goes stale on the next round),
        // or wedged.
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("another copy holds %1 but does not answer").arg(lockFilePath());
            return Outcome::HandedOver;
        }
        QThread::msleep(RetryPauseMs);
    }
}

TPBJustOne::Outcome TPBJustOne::startWithoutWaking()
{
    m_wake = false;
    const Outcome outcome = start();
    m_wake = true;
    return outcome;
}

TPBJustOne::Outcome TPBJustOne::becomeServer()
{
    // Only the lock holder touches the socket name, so removing a leftover
    // socket cannot pull the rug from under a live server.
    QLocalServer::removeServer(serverPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TPBJustOne::onNewConnection);
    if (!m_server->listen(serverPath())) {
        // Still the only copy; later starts will find the lock and give up
        // after the answer deadline instead of waking us.
        m_error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
    }
    return Outcome::FirstInstance;
}

void TPBJustOne::onNewConnection()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        client->setParent(this);
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            while (client->canReadLine()) {
                if (client->readLine(MaxLineBytes + 1) == WakeMessage)
                    emit wakeUp();
            }
            if (client->bytesAvailable() > MaxLineBytes)
                client->abort();
        });
        QTimer::singleShot(ClientIdleMs, client, [client] {
            client->abort();
            client->deleteLater();
        });
    }
}

} // namespace vl
