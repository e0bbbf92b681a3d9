#pragma once

#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vl::test {

// A named pipe where a user could name a file, for proving that code refuses
// it instead of waiting for a writer. Opening it for reading blocks until a
// writer comes, so a faulty reader would hang the test run; after `patience`
// this guard comes as that writer (and writes nothing), the reader sees an
// empty file and returns, and released() tells the test it had blocked.
// `patience` only turns a hang into a failure; it measures nothing.
class BlockingFifo {
public:
    explicit BlockingFifo(const QString &path, std::chrono::milliseconds patience = std::chrono::seconds(5))
        : path_(path), made_(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0)
    {
        if (made_)
            watcher_ = std::thread([this, patience] { watch(patience); });
    }
    ~BlockingFifo()
    {
        stop_ = true;
        if (watcher_.joinable())
            watcher_.join();
        ::unlink(QFile::encodeName(path_).constData());
    }
    BlockingFifo(const BlockingFifo &) = delete;
    BlockingFifo &operator=(const BlockingFifo &) = delete;

    bool made() const { return made_; }
    const QString &path() const { return path_; }
    // Whether somebody had opened the FIFO for reading and waited past patience.
    bool released() const { return released_; }

private:
    void watch(std::chrono::milliseconds patience)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (std::chrono::steady_clock::now() < deadline)
                continue;
            // Succeeds only while a reader has the FIFO open (ENXIO otherwise).
            const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                released_ = true;
                ::close(fd);
            }
        }
    }

    QString path_;
    bool made_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> released_{false};
    std::thread watcher_;
};

} // namespace vl::test
