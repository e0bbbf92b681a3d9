#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace vl {

// Lets a later command reach the window that runs on the same settings
// file: `vorlane --show` and `vorlane --toggle`, bound to a key of the
// desktop's own or sent by a script. It works whether several copies are
// allowed or not, since the socket is named after the settings file, not
// after the user alone.
//
// One window serves each settings file: the holder of a lock beside the
// socket. Only the holder replaces a socket left by a dead window, so two
// windows on one file never take the name from each other. A window that
// cannot serve runs on; commands then reach the one that does.
class WindowRemote : public QObject {
    Q_OBJECT
public:
    enum class Command { Show, Toggle };

    // An empty runtime folder means privateRuntimeFolder().
    WindowRemote(QString settingsPath, QString runtimeFolder = {}, QObject *parent = nullptr);
    ~WindowRemote() override;

    // For a window: serves its settings file's commands from now on. False
    // when another window serves them or no socket can be made.
    bool listen();
    // For a command: hands it to the window on the settings file. False
    // when none takes it (none runs, or it does not answer in time).
    bool send(Command command);

    QString socketPath() const;
    QString errorString() const { return error_; }

signals:
    void commandReceived(vl::WindowRemote::Command command);

private:
    void onNewConnection();
    bool resolveFolder();

    QString settingsPath_;
    QString folder_;
    QString error_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer *server_ = nullptr;
};

} // namespace vl
