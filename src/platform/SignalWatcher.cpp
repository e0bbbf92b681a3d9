#include "platform/SignalWatcher.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vl {

namespace {

int g_pipe[2] = {-1, -1};
// Posted by the handler for the watchdog; signals taken up by the event
// loop are counted, so the watchdog can tell a stuck main thread.
sem_t g_arrived;
std::atomic<int> g_pending{0};
std::atomic<int> g_lastSignal{0};
std::atomic<bool> g_stop{false};

extern "C" void onSignal(int sig)
{
    // Only async-signal-safe work here: one byte down the pipe, a count and
    // a semaphore post.
    const int saved = errno;
    g_lastSignal.store(sig);
    g_pending.fetch_add(1);
    const unsigned char b = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &b, 1);
    ::sem_post(&g_arrived);
    errno = saved;
}

void watch()
{
    for (;;) {
        while (::sem_wait(&g_arrived) != 0 && errno == EINTR) {
        }
        if (g_stop.load())
            return;
        timespec until{};
        ::clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_sec += SignalWatcher::TakeUpDeadlineMs / 1000;
        for (;;) {
            if (g_stop.load() || g_pending.load() == 0)
                break;
            timespec now{};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            if (now.tv_sec > until.tv_sec || (now.tv_sec == until.tv_sec && now.tv_nsec >= until.tv_nsec)) {
                // Nothing can be saved from here; the files are whole,
                // since every write replaces its file in one step.
                ::_exit(128 + g_lastSignal.load());
            }
            const timespec pause{0, 10'000'000};
            ::nanosleep(&pause, nullptr);
        }
    }
}

} // namespace

SignalWatcher::SignalWatcher(QObject *parent) : QObject(parent)
{
    if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalWatcher::readSignal);
    ::sem_init(&g_arrived, 0, 0);
    g_stop.store(false);
    g_pending.store(0);
    watchdog_ = std::thread(watch);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

SignalWatcher::~SignalWatcher()
{
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    if (watchdog_.joinable()) {
        g_stop.store(true);
        ::sem_post(&g_arrived);
        watchdog_.join();
        ::sem_destroy(&g_arrived);
    }
}

void SignalWatcher::readSignal()
{
    unsigned char b = 0;
    if (::read(g_pipe[0], &b, 1) == 1) {
        g_pending.fetch_sub(1);
        emit terminationRequested(b);
    }
}

} // namespace vl
