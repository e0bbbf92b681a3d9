// vorlane-bench-search: finding shortcuts as the user types.
//
//   vorlane-bench-search [--size L] [--reps R] [--file SETTINGS.ini]
//
// Writes the settings file of the size given (L: 200 desktops of 500
// shortcuts and 20 notes, 100,000 shortcuts in all) into a temporary folder
// and loads it as the program does; with --file, loads that file instead.
// One caption in fifty is then given accents, as a user's own language
// would. It reports:
//  - the build of the index from nothing (median of R fresh indexes) and
//    the bytes it holds of its own (the texts it shares with the model not
//    counted);
//  - for typical queries typed one letter at a time (common words of one to
//    four letters, a rare word, accented and unaccented forms of accented
//    captions, a word that is nowhere), the time of each keystroke: the
//    index's query with its best fifty results, and the whole update of the
//    search field's list (query, rows, pictures from the icon cache);
//  - a keystroke right after a change reported to the index (a rename, a
//    new shortcut, a deleted desktop), which brings one desktop up to date.
// Medians of R runs; each run types every query from its first letter.
// Wall times and the thread's CPU time are both given: on a machine whose
// cores are shared, the CPU time is what the keystroke costs.
// Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) and without
// QT_QPA_PLATFORM it runs offscreen.

#include "ProcStatus.h"
#include "SettingsGen.h"

#include "platform/DesktopIcons.h"
#include "platform/LinuxPlatform.h"
#include "search/FindPopup.h"
#include "search/SearchIndex.h"
#include "shortcuts/ShortcutPictures.h"
#include "storage/SettingsFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using vl::bench::SilentPrompt;
using vl::bench::statusKiB;

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

// The thread's CPU time: it holds still while other programs share the
// cores, which wall time on a busy machine does not.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Typed {
    const char *what;
    QString text;
};

} // namespace

int main(int argc, char **argv)
{
    // Qt would give up without a display instead of falling back.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString sizeName = QStringLiteral("L");
    QString file;
    int reps = 15;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--size"))
            sizeName = args[++i];
        else if (args[i] == QLatin1String("--reps"))
            reps = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--file"))
            file = args[++i];
    }
    QTemporaryDir dir;
    if (file.isEmpty()) {
        const auto shape = vl::bench::shapeFromName(sizeName);
        if (!shape) {
            std::fprintf(stderr, "unknown size %s\n", qPrintable(sizeName));
            return 2;
        }
        file = dir.filePath(QStringLiteral("vorlane.ini"));
        try {
            vl::bench::generateSettingsFile(file, *shape);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }

    vl::Workspace ws;
    SilentPrompt prompt;
    vl::SettingsHost host;
    vl::SettingsFile settings(ws, prompt, host, file);
    settings.LoadAll();
    const QStringList accented = {QString::fromUtf8("Crème brûlée recipes"), QString::fromUtf8("Café Übersicht"),
                                  QString::fromUtf8("Naïve Bayes notes"), QString::fromUtf8("Señor Müller")};
    std::size_t items = 0, notes = 0, n = 0;
    for (int p = 0; p < ws.desktopCount(); ++p) {
        vl::Desktop &d = ws.desktop(p);
        notes += d.notes.size();
        for (auto &item : d.items) {
            if (++n % 50 == 0)
                item->Label_Caption = accented[int(n / 50 % std::size_t(accented.size()))] + QLatin1Char(' ')
                    + QString::number(n);
        }
        items += d.items.size();
    }
    std::printf("%s: %d desktops, %zu shortcuts, %zu notes (1 caption in 50 accented)\n", qPrintable(file),
                ws.desktopCount(), items, notes);

    // The build from nothing. The process's own growth says little here:
    // the generator's freed memory is reused.
    std::vector<double> builds, buildCpu;
    std::size_t bytes = 0;
    const long rssBefore = statusKiB("VmRSS");
    for (int r = 0; r < reps; ++r) {
        QElapsedTimer t;
        const double cpu = cpuMs();
        t.start();
        vl::SearchIndex index(ws);
        index.sync();
        builds.push_back(msSince(t));
        buildCpu.push_back(cpuMs() - cpu);
        bytes = index.memoryBytes();
    }
    std::printf("index build: %.1f ms wall, %.1f ms CPU (medians of %d); the index holds %.1f MB of its own "
                "(process at %.0f MB before)\n",
                median(builds), median(buildCpu), reps, double(bytes) / 1e6, double(rssBefore) / 1024.0);

    vl::LinuxPlatform platform;
    vl::setUpIconTheme();
    vl::ShortcutPictures pictures(platform);
    vl::SearchIndex index(ws);
    index.sync();
    QWidget window;
    window.resize(1000, 700);
    auto *page = new QWidget(&window);
    page->setGeometry(0, 30, 1000, 670);
    vl::FindPopup::Actions actions;
    actions.visible = [](const vl::Desktop &) { return true; };
    actions.picture = [&pictures](const vl::SearchHit &hit) {
        vl::ShortcutItem look;
        look.AttachedFile = hit.attachedFile;
        look.Picture = hit.picture;
        return pictures.pictureFor(look);
    };
    auto *popup = new vl::FindPopup(index, actions, page, &window);
    window.show();
    popup->open(QString());

    const std::vector<Typed> queries = {
        {"common word", QStringLiteral("report")},
        {"common word", QStringLiteral("wiki")},
        {"word inside", QStringLiteral("ject")},
        {"path", QStringLiteral("/usr/bin/gimp")},
        {"rare word", QStringLiteral("keepassxc")},
        {"rare number", QStringLiteral("page_19999")},
        {"accents typed", QString::fromUtf8("crème")},
        {"no accents", QStringLiteral("uber")},
        {"note text", QStringLiteral("printer")},
        {"nowhere", QStringLiteral("zqxj")},
    };
    std::printf("\nper keystroke, ms, median of %d runs: index query (50 best) / whole list update / its CPU time "
                "[results]\n",
                reps);
    double worst = 0, worstCpu = 0;
    for (const Typed &q : queries) {
        std::vector<std::vector<double>> findMs(std::size_t(q.text.size())), listMs(std::size_t(q.text.size())),
            listCpu(std::size_t(q.text.size()));
        std::vector<std::size_t> totals(std::size_t(q.text.size()));
        for (int r = 0; r < reps; ++r) {
            // Query and list alternate, each typing the whole word from the
            // start, so both see the same state of the machine.
            popup->field()->clear();
            for (qsizetype k = 1; k <= q.text.size(); ++k) {
                QElapsedTimer t;
                t.start();
                std::size_t total = 0;
                index.find(q.text.left(k), actions.visible, vl::FindPopup::MaxListed, &total);
                findMs[std::size_t(k - 1)].push_back(msSince(t));
                totals[std::size_t(k - 1)] = total;
            }
            popup->field()->clear();
            for (qsizetype k = 1; k <= q.text.size(); ++k) {
                QElapsedTimer t;
                const double cpu = cpuMs();
                t.start();
                popup->field()->setText(q.text.left(k));
                listMs[std::size_t(k - 1)].push_back(msSince(t));
                listCpu[std::size_t(k - 1)].push_back(cpuMs() - cpu);
            }
        }
        std::printf("%-14s", q.what);
        for (qsizetype k = 1; k <= q.text.size(); ++k) {
            const double f = median(findMs[std::size_t(k - 1)]);
            const double l = median(listMs[std::size_t(k - 1)]);
            const double c = median(listCpu[std::size_t(k - 1)]);
            worst = std::max(worst, l);
            worstCpu = std::max(worstCpu, c);
            std::printf("  %s %.1f/%.1f/%.1f [%zu]", qPrintable(q.text.left(k)), f, l, c, totals[std::size_t(k - 1)]);
        }
        std::printf("\n");
    }
    std::printf("slowest keystroke (whole list update): %.2f ms wall, %.2f ms CPU\n", worst, worstCpu);

    // A keystroke right after a change: the changed desktop is brought up
    // to date within it.
    std::vector<double> afterRename, afterAdd, afterDelete;
    for (int r = 0; r < reps; ++r) {
        vl::Desktop &d = ws.desktop(r % ws.desktopCount());
        vl::ShortcutItem &item = *d.items.at(std::size_t(r) % d.items.size());
        item.Label_Caption += QStringLiteral(" renamed");
        index.recordChanged(&item);
        QElapsedTimer t;
        t.start();
        popup->field()->setText(QStringLiteral("re"));
        afterRename.push_back(msSince(t));
        popup->field()->clear();

        d.addItem().Label_Caption = QStringLiteral("Report added %1").arg(r);
        index.desktopChanged(&d);
        t.start();
        popup->field()->setText(QStringLiteral("re"));
        afterAdd.push_back(msSince(t));
        popup->field()->clear();
    }
    for (int r = 0; r < reps && ws.desktopCount() > 1; ++r) {
        const int victim = ws.desktopCount() - 1;
        index.desktopRemoving(&ws.desktop(victim));
        ws.deleteDesktop(victim);
        QElapsedTimer t;
        t.start();
        popup->field()->setText(QStringLiteral("re"));
        afterDelete.push_back(msSince(t));
        popup->field()->clear();
    }
    std::printf("\nkeystroke \"re\" right after a change (whole list update): rename %.2f ms, new shortcut %.2f ms, "
                "desktop deleted %.2f ms\n",
                median(afterRename), median(afterAdd), median(afterDelete));
    return prompt.texts.isEmpty() ? 0 : 1;
}
