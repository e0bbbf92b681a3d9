#include "app/WindowRemote.h"

#include "common/HandOff.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <unistd.h>

namespace vl {

namespace {

constexpr int ConnectTimeoutMs = 1000;
constexpr int WriteTimeoutMs = 1000;
constexpr int ClientIdleMs = 5000;
constexpr qint64 MaxLineBytes = 16;

QByteArray wordOf(WindowRemote::Command command)
{
    return command == WindowRemote::Command::Show ? QByteArrayLiteral("show\n") : QByteArrayLiteral("toggle\n");
}

} // namespace

WindowRemote::WindowRemote(QString settingsPath, QString runtimeFolder, QObject *parent)
    : QObject(parent), settingsPath_(std::move(settingsPath)), folder_(std::move(runtimeFolder))
{
}

WindowRemote::~WindowRemote()
{
    // Socket first: once the lock is gone another window may take the name.
    if (server_)
        server_->close();
    lock_.reset();
}

bool WindowRemote::resolveFolder()
{
    if (folder_.isEmpty()) {
        const auto folder = privateRuntimeFolder(&error_);
        if (!folder)
            return false;
        folder_ = *folder;
    } else if (!isPrivateFolder(folder_, &error_)) {
        return false;
    }
    return true;
}

QString WindowRemote::socketPath() const
{
    // The file as it is reached, whatever name or link it was given by.
    const QFileInfo info(settingsPath_);
    const QString canonical = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray key = QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha1).toHex().left(16);
    return QDir(folder_).filePath(QStringLiteral("vorlane-%1-%2.window").arg(::geteuid()).arg(QString::fromLatin1(key)));
}

bool WindowRemote::listen()
{
    if (server_)
        return true;
    if (!resolveFolder())
        return false;
    const QString name = socketPath();
    lock_ = std::make_unique<QLockFile>(name + QStringLiteral(".lock"));
    // Held for the window's whole life: only a dead holder makes it stale.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        error_ = QStringLiteral("another window serves %1").arg(settingsPath_);
        lock_.reset();
        return false;
    }
    QLocalServer::removeServer(name);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &WindowRemote::onNewConnection);
    if (!server_->listen(name)) {
        error_ = server_->errorString();
        delete server_;
        server_ = nullptr;
        return false;
    }
    return true;
}

void WindowRemote::onNewConnection()
{
    while (QLocalSocket *client = server_->nextPendingConnection()) {
        client->setParent(this);
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            while (client->canReadLine()) {
                const QByteArray line = client->readLine(MaxLineBytes + 1);
                if (line == wordOf(Command::Show))
                    emit commandReceived(Command::Show);
                else if (line == wordOf(Command::Toggle))
                    emit commandReceived(Command::Toggle);
            }
            if (client->bytesAvailable() > MaxLineBytes)
                client->abort();
        });
        // A command that sends nothing must not keep a descriptor of ours.
        QTimer::singleShot(ClientIdleMs, client, [client] {
            client->abort();
            client->deleteLater();
        });
    }
}

bool WindowRemote::send(Command command)
{
    if (!resolveFolder())
        return false;
    QLocalSocket socket;
    socket.connectToServer(socketPath(), QIODevice::WriteOnly);
    if (!socket.waitForConnected(ConnectTimeoutMs)) {
        error_ = socket.errorString();
        return false;
    }
    socket.write(wordOf(command));
    const bool sent = socket.waitForBytesWritten(WriteTimeoutMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    if (!sent)
        error_ = socket.errorString();
    return sent;
}

} // namespace vl
