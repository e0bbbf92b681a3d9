// vorlane-bench-bare-window: the floor for the start-up benchmark. A plain
// QWidget of the main window's default size that reports its first paint on
// stderr exactly as vorlane does with VORLANE_REPORT_FIRST_PAINT:
//   first-paint-ms <since process start> peak-rss-kib <VmHWM> monotonic-ns <CLOCK_MONOTONIC now>
// With VORLANE_REPORT_FIRST_PAINT=exit it quits right after that paint.

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <time.h>
#include <unistd.h>

namespace {

// The same computation as the diagnostic in src/app/StartUp.cpp, so that
// both programs' lines mean the same.
void reportFirstPaint()
{
    timespec mono{}, boot{};
    ::clock_gettime(CLOCK_MONOTONIC, &mono);
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    double sinceStart = -1;
    std::ifstream statFile("/proc/self/stat");
    const std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    if (const auto close = stat.rfind(')'); close != std::string::npos) {
        unsigned long long startTicks = 0;
        if (std::sscanf(stat.c_str() + close + 1,
                        " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
                        &startTicks)
            == 1)
            sinceStart = (boot.tv_sec + boot.tv_nsec / 1e9) * 1000.0
                         - 1000.0 * double(startTicks) / double(::sysconf(_SC_CLK_TCK));
    }
    long peakKib = -1;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            peakKib = std::atol(line.c_str() + 6);
    }
    std::fprintf(stderr, "first-paint-ms %.1f peak-rss-kib %ld monotonic-ns %lld\n", sinceStart, peakKib,
                 static_cast<long long>(mono.tv_sec) * 1000000000LL + mono.tv_nsec);
    std::fflush(stderr);
}

class BareWindow : public QWidget {
public:
    explicit BareWindow(bool quitAfterPaint) : quit_(quitAfterPaint) { setAttribute(Qt::WA_OpaquePaintEvent); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x3a, 0x6e, 0xa5));
        if (reported_)
            return;
        reported_ = true;
        reportFirstPaint();
        if (quit_)
            QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }

private:
    bool quit_;
    bool reported_ = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    BareWindow w(qgetenv("VORLANE_REPORT_FIRST_PAINT") == "exit");
    w.setWindowTitle(QStringLiteral("bare"));
    w.resize(700, 500); // the main window's default size
    w.move(200, 100);
    w.show();
    return app.exec();
}
