// vorlane-bench-surface: painting a desktop of 10,000 shortcuts.
//
//   vorlane-bench-surface [--items N] [--runs R] [--paints P] [--dir DIR] [--keep]
//   vorlane-bench-surface --child SETTINGS.ini [--paints P]
//
// The parent writes a settings file of two desktops, "Start" with a few
// shortcuts and one of N shortcuts on a grid twenty cells wide that runs far
// below the window, with captions like a user's and attached files in a
// temporary folder: documents of many types, folders, scripts, launchers,
// programs, web addresses, and files that no longer exist, so that every
// branch of the picture lookup runs. It then starts R fresh children (a
// first switch is only first once per process) and reports medians.
//
// A child loads the file into a real main window (TFormMain with a silent
// prompt and LinuxPlatform, icon theme set up as at start-up), gives the
// surface 1920 by 1080 pixels, shows it on desktop "Start", and measures:
//  - first switch: from the tab change to the end of the surface's paint,
//    forced with repaint(): the scene, caption layout and picture lookups of
//    every shortcut on screen;
//  - full repaint: repaint() of the whole surface once everything is known
//    (includes the flush to the window), median of P;
//  - render: QWidget::render of the surface into a QImage, median of P;
//  - second switch: away and back, with the desktop's scene kept;
//  - band step: one move of the rubber band over the page, which judges
//    every shortcut of the desktop again, with the repaint it causes;
//  - drag step: one move of a drag of 1,000 selected shortcuts (the
//    records moved, what they covered and cover repainted);
//  - by name: "By Name" over all the desktop's shortcuts, with its repaint;
//  - paste: 99 copied shortcuts pasted onto the page, with its repaint.
// Each run starts a second child on the same desktops with notes added: 50
// notes of 1,000 lines on the big desktop, and a third desktop holding one
// note of 100,000 lines. It reports the switches to the big desktop again,
// the first switch to the note of 100,000 lines, and one step of a note's
// move handle dragged with its outline.
// Every time is given as wall time and as the thread's CPU time; the second
// holds still on a busy machine but leaves out the X server's part of a
// flush. The platform is the one Qt picks from the environment: xcb under the
// Xvfb that bench/run-desktop-bench.sh starts, else offscreen.
// For a profiler: --keep, then run the printed --child command under it.

#include "SettingsGen.h"

#include "notes/NoteBoard.h"
#include "notes/TResizer.h"
#include "platform/DesktopIcons.h"
#include "platform/LinuxPlatform.h"
#include "storage/SettingsFile.h"
#include "surface/Arrangement.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMain.h"
#include "surface/ItemClipboard.h"
#include "surface/Selection.h"
#include "surface/TabStrip.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using vl::bench::SilentPrompt;

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// This thread's CPU time: on a busy machine it moves far less than the wall
// clock, though it leaves out the X server's share of a flush.
qint64 cpuNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

constexpr int SurfaceWidth = 1920;
constexpr int SurfaceHeight = 1080;
constexpr int GridColumns = 20;

std::uint64_t mix(std::uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool touch(const QString &path, const QByteArray &content = {})
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// The attached file of shortcut i, creating what it points to. About half
// are documents, the rest spread over the other kinds a desktop collects.
QString makeTarget(const QString &root, int i)
{
    static const char *const documentTypes[] = {"odt", "pdf", "ods", "txt", "docx", "png", "jpg",
                                                "mp3", "zip", "html", "md",  "cpp", "xlsx", "svg"};
    static const char *const launcherIcons[] = {"accessories-text-editor", "utilities-terminal", "web-browser",
                                                "system-file-manager", "no-such-icon-anywhere"};
    static const char *const programs[] = {"/usr/bin/env", "/usr/bin/xdotool", "/usr/bin/perl", "/usr/bin/python3"};
    const std::uint64_t r = mix(0xD00Dull + std::uint64_t(i));
    const int kind = int(r % 100);
    const QString stem = vl::bench::sampleCaption(r).replace(QLatin1Char(' '), QLatin1Char('-'));
    if (kind < 50) {
        const QString path = QStringLiteral("%1/docs/%2-%3.%4").arg(root, stem).arg(i).arg(
            QLatin1String(documentTypes[(r >> 8) % std::size(documentTypes)]));
        touch(path);
        return path;
    }
    if (kind < 58) {
        const QString path = QStringLiteral("%1/folders/%2-%3").arg(root, stem).arg(i);
        QDir().mkpath(path);
        return path;
    }
    if (kind < 62) {
        const QString path = QStringLiteral("%1/docs/tool-%2.sh").arg(root).arg(i);
        touch(path, "#!/bin/sh\nexit 0\n");
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }
    if (kind < 65) {
        const QString path = QStringLiteral("%1/docs/app-%2.desktop").arg(root).arg(i);
        touch(path, QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=true\nIcon=%2\n")
                        .arg(stem, QLatin1String(launcherIcons[(r >> 8) % std::size(launcherIcons)]))
                        .toUtf8());
        return path;
    }
    if (kind < 70)
        return QLatin1String(programs[(r >> 8) % std::size(programs)]);
    if (kind < 85) // moved or deleted since the shortcut was made
        return QStringLiteral("%1/gone/%2-%3.pdf").arg(root, stem).arg(i);
    return QStringLiteral("https://intranet.example.org/wiki/%1_%2").arg(stem).arg(i);
}

// Writes the settings file: two desktops, and with notes a third one and
// the notes; returns false with a message printed.
bool writeSettings(const QString &root, const QString &path, int items, bool notes)
{
    for (const char *sub : {"docs", "folders"})
        QDir(root).mkpath(QLatin1String(sub));
    vl::Workspace ws;
    ws.global.FormLeft_Key = 0;
    ws.global.FormTop_Key = 0;
    ws.global.FormWidth_Key = SurfaceWidth;
    ws.global.FormHeight_Key = SurfaceHeight + 60;
    vl::Desktop &start = ws.CreateNewTabSheet();
    start.Desktop_Caption = QStringLiteral("Start");
    for (int i = 0; i < 5; ++i) {
        ws.work.NewElementPosition = QPoint(10 + i * ws.global.Cell_Width, 10);
        vl::ShortcutItem &item = ws.CreateNewItem();
        item.AttachedFile = makeTarget(root, 1000000 + i);
        item.Label_Caption = vl::bench::sampleCaption(77 + std::uint64_t(i));
    }
    vl::Desktop &big = ws.CreateNewTabSheet();
    big.Desktop_Caption = QStringLiteral("Everything");
    for (int i = 0; i < items; ++i) {
        ws.work.NewElementPosition =
            QPoint(10 + (i % GridColumns) * ws.global.Cell_Width, 10 + (i / GridColumns) * ws.global.Cell_Height);
        vl::ShortcutItem &item = ws.CreateNewItem();
        item.AttachedFile = makeTarget(root, i);
        item.Label_Caption = vl::bench::sampleCaption(mix(std::uint64_t(i)));
        if (mix(0xBEEFull + std::uint64_t(i)) % 100 < 3)
            item.Picture = vl::ShortcutItem::NoPicture;
    }
    if (notes) {
        const auto lines = [](int count) {
            QStringList out;
            out.reserve(count);
            for (int l = 0; l < count; ++l)
                out << vl::bench::sampleCaption(mix(0xF00Dull + std::uint64_t(l))) + QStringLiteral(" %1").arg(l);
            return out;
        };
        const QStringList thousand = lines(1000);
        for (int n = 0; n < 50; ++n) {
            ws.work.NewElementPosition = QPoint(20 + (n % 10) * 190, 30 + (n / 10) * 200);
            vl::Note &note = ws.CreateNewNote();
            note.Note_Width = 160;
            note.Note_Height = 150;
            note.Lines = thousand;
        }
        vl::Desktop &bigNote = ws.CreateNewTabSheet();
        bigNote.Desktop_Caption = QStringLiteral("Big note");
        ws.work.NewElementPosition = QPoint(100, 100);
        vl::Note &note = ws.CreateNewNote();
        note.Note_Width = 600;
        note.Note_Height = 800;
        note.Lines = lines(100000);
    }
    ws.setActiveIndex(0);
    ws.work.CurrentElement.clear();

    SilentPrompt prompt;
    vl::SettingsHost host;
    vl::SettingsFile file(ws, prompt, host, path);
    if (file.SaveAll() != vl::SettingsFile::SaveResult::Saved) {
        std::fprintf(stderr, "vorlane-bench-surface: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(prompt.texts.join(QStringLiteral(" | "))));
        return false;
    }
    QFile::remove(path + QStringLiteral(".bak"));
    return true;
}

// A mouse event delivered to the page as the window system would, and the
// paint it causes done before returning.
void mouse(QWidget *page, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(at), page->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(page, &e);
}

void settle() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

// Wall and CPU milliseconds of one call of f, and of the paint it causes.
struct Timing {
    std::vector<double> wall, cpu;
};
template <class F> void timeOnce(Timing &t, QElapsedTimer &clock, F f)
{
    const qint64 c = cpuNs();
    const qint64 a = clock.nsecsElapsed();
    f();
    settle();
    t.wall.push_back((clock.nsecsElapsed() - a) / 1e6);
    t.cpu.push_back((cpuNs() - c) / 1e6);
}

template <class Pred> bool spinUntil(Pred done, int timeoutMs = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

int runChild(const QString &settings, int paints)
{
    vl::setUpIconTheme();
    vl::LinuxPlatform platform;
    SilentPrompt prompt;
    vl::TFormMain form(prompt, platform, settings);
    form.FormCreate();
    vl::DesktopSurface *surface = form.surface();
    const bool withNotes = form.workspace().desktopCount() == 3;
    if (form.workspace().desktopCount() < 2 || !prompt.texts.isEmpty()) {
        std::fprintf(stderr, "child: load gave %d desktops; messages: %s\n", form.workspace().desktopCount(),
                     qPrintable(prompt.texts.join(QStringLiteral(" | "))));
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 paintedAt = -1;
    int paintCount = 0;
    QObject::connect(surface, &vl::DesktopSurface::painted, surface, [&] {
        paintedAt = clock.nsecsElapsed();
        ++paintCount;
    });

    form.move(0, 0);
    form.show();
    if (!spinUntil([&] { return paintCount > 0; })) {
        std::fprintf(stderr, "child: the surface never painted\n");
        return 1;
    }
    const QSize chrome = form.size() - surface->size();
    form.resize(QSize(SurfaceWidth, SurfaceHeight) + chrome);
    if (!spinUntil([&] { return surface->size() == QSize(SurfaceWidth, SurfaceHeight); })) {
        std::fprintf(stderr, "child: the surface is %dx%d, not %dx%d\n", surface->width(), surface->height(),
                     SurfaceWidth, SurfaceHeight);
        return 1;
    }
    // Let the start desktop settle (its own first paint, the window's
    // expose) before the clock runs.
    spinUntil([] { return false; }, 300);

    const qint64 c0 = cpuNs();
    const qint64 t0 = clock.nsecsElapsed();
    form.PageControl1()->setCurrentIndex(1);
    surface->repaint();
    const qint64 t1 = clock.nsecsElapsed();
    const double firstSwitchCpuMs = (cpuNs() - c0) / 1e6;
    const double firstSwitchMs = (paintedAt - t0) / 1e6;
    const double firstSwitchReturnMs = (t1 - t0) / 1e6;
    vl::DesktopScene *scene = surface->scene();
    if (!scene || &scene->desktop() != &form.workspace().desktop(1)) {
        std::fprintf(stderr, "child: the tab change did not show the big desktop\n");
        return 1;
    }
    const std::size_t labels = scene->labelCount();

    std::vector<double> repaints, renders, repaintsCpu, rendersCpu;
    QImage image(surface->size(), QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < paints; ++i) {
        // Alternating, so that neither kind owns a quiet or a busy stretch.
        qint64 c = cpuNs();
        qint64 a = clock.nsecsElapsed();
        surface->repaint();
        repaints.push_back((clock.nsecsElapsed() - a) / 1e6);
        repaintsCpu.push_back((cpuNs() - c) / 1e6);
        c = cpuNs();
        a = clock.nsecsElapsed();
        surface->render(&image);
        renders.push_back((clock.nsecsElapsed() - a) / 1e6);
        rendersCpu.push_back((cpuNs() - c) / 1e6);
        if (i % 16 == 0)
            QCoreApplication::processEvents();
    }

    form.PageControl1()->setCurrentIndex(0);
    surface->repaint();
    const qint64 c2 = cpuNs();
    const qint64 t2 = clock.nsecsElapsed();
    form.PageControl1()->setCurrentIndex(1);
    surface->repaint();
    // Until repaint() returned: notes are widgets of their own, painted
    // after the surface.
    const double secondSwitchMs = (clock.nsecsElapsed() - t2) / 1e6;
    const double secondSwitchCpuMs = (cpuNs() - c2) / 1e6;
    settle();

    // The rubber band, grown and shrunk over the visible page.
    Timing band;
    mouse(surface, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton);
    for (int i = 0; i < paints; ++i) {
        const QPoint to(400 + (i * 37) % 1500, 300 + (i * 53) % 770);
        timeOnce(band, clock, [&] { mouse(surface, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton); });
    }
    mouse(surface, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
    settle();

    // A drag of the first 1,000 shortcuts, led by the first, in small steps.
    vl::Desktop &big = form.workspace().desktop(1);
    vl::Selection &selection = form.selection();
    selection.UnFocused();
    for (std::size_t i = 0; i < 1000 && i < big.items.size(); ++i)
        selection.Focused(*big.items[i], true);
    const QPoint grip(big.items[0]->Item_Left + 10, big.items[0]->Item_Top + 10);
    Timing drag;
    mouse(surface, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
    mouse(surface, QEvent::MouseMove, grip + QPoint(40, 40), Qt::NoButton, Qt::LeftButton);
    for (int i = 0; i < paints; ++i) {
        const QPoint to = grip + QPoint(40 + (i % 2 ? 3 : -3), 40 + (i % 3));
        timeOnce(drag, clock, [&] { mouse(surface, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton); });
    }
    mouse(surface, QEvent::MouseButtonRelease, grip + QPoint(40, 40), Qt::LeftButton, Qt::NoButton);
    settle();

    // One step of a note's move handle, with its outline, and the first
    // switch to the note of 100,000 lines.
    Timing noteMove;
    double bigNoteMs = -1, bigNoteCpuMs = -1;
    if (withNotes && !big.notes.empty()) {
        vl::TResizer *note = form.notes().controllerOf(big.notes.front().get());
        if (note) {
            note->setActive(true);
            settle();
            QWidget *mover = note->mover();
            const QPoint grip(mover->width() / 2, mover->height() / 2);
            mouse(mover, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
            for (int i = 0; i < paints; ++i) {
                const QPoint to = grip + QPoint(8 + (i % 2 ? 4 : -4), 8 + (i % 3) * 4);
                timeOnce(noteMove, clock, [&] { mouse(mover, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton); });
            }
            mouse(mover, QEvent::MouseButtonRelease, grip, Qt::LeftButton, Qt::NoButton);
            settle();
        }
        const qint64 c3 = cpuNs();
        const qint64 t3 = clock.nsecsElapsed();
        form.PageControl1()->setCurrentIndex(2);
        form.repaint();
        bigNoteMs = (clock.nsecsElapsed() - t3) / 1e6;
        bigNoteCpuMs = (cpuNs() - c3) / 1e6;
        form.PageControl1()->setCurrentIndex(1);
        settle();
    }

    // "By Name", a few times over the same captions.
    Timing byName;
    for (int i = 0; i < 5; ++i)
        timeOnce(byName, clock, [&] { form.arrangement().mnuByNameClick(); });

    // 99 shortcuts copied and pasted near the top of the page.
    Timing paste;
    for (int i = 0; i < 5; ++i) {
        selection.UnFocused();
        for (std::size_t k = 0; k < 99 && k < big.items.size(); ++k)
            selection.Focused(*big.items[k], true);
        form.clipboard().mnuItemCopyClick();
        form.workspace().work.NewElementPosition = QPoint(100, 100);
        timeOnce(paste, clock, [&] { form.clipboard().mnuItemPasteClick(); });
    }

    // Wall and CPU pairs; the parent reads them by position.
    std::printf("first-switch-ms %.3f %.3f first-switch-return-ms %.3f labels %zu repaint-ms %.3f %.3f "
                "render-ms %.3f %.3f second-switch-ms %.3f %.3f platform %s band-step-ms %.3f %.3f "
                "drag-step-ms %.3f %.3f by-name-ms %.3f %.3f paste-ms %.3f %.3f big-note-ms %.3f %.3f "
                "note-move-ms %.3f %.3f\n",
                firstSwitchMs, firstSwitchCpuMs, firstSwitchReturnMs, labels, median(repaints), median(repaintsCpu),
                median(renders), median(rendersCpu), secondSwitchMs, secondSwitchCpuMs,
                qPrintable(QGuiApplication::platformName()), median(band.wall), median(band.cpu), median(drag.wall),
                median(drag.cpu), median(byName.wall), median(byName.cpu), median(paste.wall), median(paste.cpu),
                bigNoteMs, bigNoteCpuMs, median(noteMove.wall), median(noteMove.cpu));
    std::fflush(stdout);
    form.quitWithoutSaving();
    return 0;
}

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: vorlane-bench-surface [--items N] [--runs R] [--paints P] [--dir DIR] [--keep]\n"
                         "       vorlane-bench-surface --child SETTINGS.ini [--paints P]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char **argv)
{
    // Without a display the children and the child mode run offscreen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QString child, dir;
    int items = 10000, runs = 9, paints = 200;
    bool keep = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--child") && hasValue)
            child = args[++i];
        else if (a == QLatin1String("--items") && hasValue)
            items = std::max(1, args[++i].toInt());
        else if (a == QLatin1String("--runs") && hasValue)
            runs = std::max(1, args[++i].toInt());
        else if (a == QLatin1String("--paints") && hasValue)
            paints = std::max(1, args[++i].toInt());
        else if (a == QLatin1String("--dir") && hasValue)
            dir = args[++i];
        else if (a == QLatin1String("--keep"))
            keep = true;
        else
            usage();
    }
    if (!child.isEmpty())
        return runChild(child, paints);

    QTemporaryDir tmp(dir.isEmpty() ? QDir::tempPath() + QStringLiteral("/vorlane-bench-surface-XXXXXX")
                                    : dir + QStringLiteral("/vorlane-bench-surface-XXXXXX"));
    if (!tmp.isValid())
        return 1;
    tmp.setAutoRemove(!keep);
    const QString root = tmp.path();
    const QString settings = root + QStringLiteral("/vorlane.ini");
    const QString withNotes = root + QStringLiteral("/with-notes.ini");
    QElapsedTimer prep;
    prep.start();
    if (!writeSettings(root, settings, items, false) || !writeSettings(root, withNotes, items, true))
        return 1;
    for (const char *sub : {"home/.config", "home/.cache", "runtime"})
        QDir(root).mkpath(QLatin1String(sub));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    std::printf("%d shortcuts on one desktop, files in %s (prepared in %.1f s)\n", items, qPrintable(root),
                prep.elapsed() / 1000.0);
    std::fflush(stdout);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/home/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/home/.cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("VORLANE_REGISTRY"), root + QStringLiteral("/registry.ini"));
    env.remove(QStringLiteral("VORLANE_REPORT_FIRST_PAINT"));

    // The child's numbers by their position in its line of output.
    enum Field { First = 1, FirstCpu = 2, FirstReturn = 4, Labels = 6, Repaint = 8, RepaintCpu = 9, Render = 11,
                 RenderCpu = 12, Second = 14, SecondCpu = 15, Platform = 17, Band = 19, BandCpu = 20, Drag = 22,
                 DragCpu = 23, ByName = 25, ByNameCpu = 26, Paste = 28, PasteCpu = 29, BigNote = 31,
                 BigNoteCpu = 32, NoteMove = 34, NoteMoveCpu = 35, FieldCount = 36 };
    std::map<int, std::vector<double>> plain, noted;
    QString platformName;
    std::size_t labels = 0;
    const auto runChild = [&](const QString &file, std::map<int, std::vector<double>> &into, bool keepIt) {
        QProcessEnvironment childEnv = env;
        childEnv.insert(QStringLiteral("VORLANE_SETTINGS"), file);
        QProcess p;
        p.setProcessEnvironment(childEnv);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), file, QStringLiteral("--paints"), QString::number(paints)});
        if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            std::fprintf(stderr, "vorlane-bench-surface: child failed\n");
            return false;
        }
        const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
        if (f.size() != FieldCount) {
            std::fprintf(stderr, "vorlane-bench-surface: odd child output\n");
            return false;
        }
        if (!keepIt)
            return true;
        for (int i = 1; i < FieldCount; i += 1) {
            if (i != Platform && i != Labels)
                into[i].push_back(f[i].toDouble());
        }
        labels = f[Labels].toULongLong();
        platformName = QString::fromLatin1(f[Platform]);
        return true;
    };
    // One run more than asked; the first warms the page cache and is
    // dropped. The two files take turns.
    for (int r = -1; r < runs; ++r) {
        if (!runChild(settings, plain, r >= 0) || !runChild(withNotes, noted, r >= 0))
            return 1;
        if (r >= 0)
            std::fprintf(stderr, "run %d of %d: first switch %.1f ms, with notes %.1f ms\n", r + 1, runs,
                         plain[First].back(), noted[First].back());
    }
    const auto m = [](std::map<int, std::vector<double>> &v, int field) { return median(v[field]); };

    const double full = m(plain, Repaint);
    std::printf("\nplatform %s, surface %dx%d, %d fresh processes, %d paints each; medians in ms\n",
                qPrintable(platformName), SurfaceWidth, SurfaceHeight, runs, paints);
    std::printf("%-58s %8s %8s\n", "", "wall", "cpu");
    std::printf("%-58s %8.2f %8.2f   (%zu labels made)\n", "first switch to the desktop (tab change .. end of paint)",
                m(plain, First), m(plain, FirstCpu), labels);
    std::printf("%-58s %8.2f\n", "  .. until repaint() returned (with the flush)", m(plain, FirstReturn));
    std::printf("%-58s %8.2f %8.2f   (goal <= 8: %s)\n", "full repaint of the surface (repaint(), with the flush)",
                full, m(plain, RepaintCpu), full <= 8 ? "met" : "MISSED");
    std::printf("%-58s %8.2f %8.2f\n", "full render into a QImage (QWidget::render)", m(plain, Render),
                m(plain, RenderCpu));
    std::printf("%-58s %8.2f %8.2f\n", "second switch (scene kept), until repaint() returned", m(plain, Second),
                m(plain, SecondCpu));
    const auto goal = [](double ms, double limit) { return ms <= limit ? "met" : "MISSED"; };
    std::printf("%-58s %8.2f %8.2f   (goal <= 8: %s)\n", "rubber band step, selection judged again, with paint",
                m(plain, Band), m(plain, BandCpu), goal(m(plain, Band), 8));
    std::printf("%-58s %8.2f %8.2f   (goal <= 8: %s)\n", "drag step of 1,000 selected shortcuts, with paint",
                m(plain, Drag), m(plain, DragCpu), goal(m(plain, Drag), 8));
    std::printf("%-58s %8.2f %8.2f   (goal <= 50: %s)\n", "\"By Name\" over every shortcut, with paint",
                m(plain, ByName), m(plain, ByNameCpu), goal(m(plain, ByName), 50));
    std::printf("%-58s %8.2f %8.2f\n", "paste of 99 shortcuts, with paint", m(plain, Paste), m(plain, PasteCpu));
    std::printf("\nthe same desktop with 50 notes of 1,000 lines\n");
    // Notes paint after the surface: both switches are timed until
    // repaint() returned, for the plain desktop too.
    const double firstRatio = m(noted, FirstReturn) / m(plain, FirstReturn);
    const double secondRatio = m(noted, Second) / m(plain, Second);
    std::printf("%-58s %8.2f %8s   (%.2fx, goal <= 2x: %s)\n", "first switch, until repaint() returned",
                m(noted, FirstReturn), "", firstRatio, goal(firstRatio, 2));
    std::printf("%-58s %8.2f %8.2f   (%.2fx, goal <= 2x: %s)\n", "second switch", m(noted, Second),
                m(noted, SecondCpu), secondRatio, goal(secondRatio, 2));
    std::printf("%-58s %8.2f %8.2f   (goal <= 8: %s)\n", "a note's move handle dragged one step, with its outline",
                m(noted, NoteMove), m(noted, NoteMoveCpu), goal(m(noted, NoteMove), 8));
    std::printf("%-58s %8.2f %8.2f\n", "first switch to a desktop with one note of 100,000 lines", m(noted, BigNote),
                m(noted, BigNoteCpu));
    if (keep)
        std::printf("files kept; one child under a profiler:\n  VORLANE_REGISTRY=%s/registry.ini %s --child %s\n",
                    qPrintable(root), qPrintable(QCoreApplication::applicationFilePath()), qPrintable(settings));
    return 0;
}
