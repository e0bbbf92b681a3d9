#pragma once

#include <QString>

namespace vl {

// Tells commands that replace the settings file whether any window of the
// program runs on it, also when several copies are allowed and none of them
// holds the single-copy lock, and whatever session or runtime folder the
// command was started from. Every running window holds a shared lock on a
// mark beside its settings file for its whole life; a command asks for the
// same lock exclusively and keeps it until it is destroyed, so no window can
// start and load the file in the middle of its work.
class RunningCopies {
public:
    enum class Others { None, Running, Unknown };

    explicit RunningCopies(const QString &settingsPath);
    ~RunningCopies();
    RunningCopies(const RunningCopies &) = delete;
    RunningCopies &operator=(const RunningCopies &) = delete;

    // For a window: counts itself as running until destruction. False when
    // the mark could not be set within a few seconds (a command holding it
    // for longer is stuck): the window then runs unmarked.
    bool markRunning();
    // For a command: None when no window runs (and none can start until
    // destruction), Running when one does, Unknown when it cannot be told.
    Others othersRunning();
    // For a marked window about to replace the file: whether it is the only
    // window on it. While true, the mark is held exclusively, so no other
    // window starts on the file, until backToShared().
    bool takeAlone();
    void backToShared();

    QString errorString() const { return error_; }
    QString filePath() const;

private:
    bool open();

    QString path_;
    QString error_;
    int fd_ = -1;
};

} // namespace vl
