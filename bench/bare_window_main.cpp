// vorlane-bench-bare-window: the floor for the start-up benchmark. A plain
// QWidget of the main window's default size that reports its first paint on
// stderr exactly as vorlane does with VORLANE_REPORT_FIRST_PAINT:
//   first-paint-ms <since process start> peak-rss-kib <VmHWM> monotonic-ns <CLOCK_MONOTONIC now>
// With VORLANE_REPORT_FIRST_PAINT=exit it quits right after that paint.

#include "app/FirstPaintReport.h"

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
        vl::printFirstPaintReport();
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
