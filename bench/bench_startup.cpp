// vorlane-bench-startup: time from exec to the first painted desktop of
// vorlane, next to a bare Qt window and to "vorlane --dump-model" of the
// same settings file, and vorlane's peak memory at that paint.
//
//   vorlane-bench-startup --vorlane PATH --bare PATH [--gen PATH] [--sizes L,M]
//                         [--reps N] [--dir DIR] [--keep] [--timeout SECONDS]
//
// Needs an X display in DISPLAY (bench/run-desktop-bench.sh starts a private
// Xvfb). The harness reads CLOCK_MONOTONIC right before posix_spawn; the
// child prints CLOCK_MONOTONIC at its first paint (vorlane through its
// VORLANE_REPORT_FIRST_PAINT diagnostic, the bare window always), so both
// ends of the interval are read on one clock and nothing inside the child
// has to guess when it started. The dump is timed to its exit.
//
// Every repetition runs all cases, the starting case rotating, after one
// round that is thrown away (cold binaries, font caches in the fresh HOME).
// The children get a private HOME, XDG_RUNTIME_DIR and registry file, so the
// single-instance guard and the settings of the user running this are never
// touched; the settings files are checked to be unchanged after every run.
//
// The files come from vorlane-gen-settings (--gen, by default the one next
// to this program), run as a process of its own: wait4's maximum RSS of a
// child counts the memory of the process that spawned it, so this one stays
// small.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern char **environ;

namespace {

double nowMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

double median(std::vector<double> v)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return x < 0; }), v.end());
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

struct Case {
    std::string name;
    std::vector<std::string> argv;
    std::string settings;  // VORLANE_SETTINGS, empty: none
    bool paints = true;    // waits for a first-paint line; else timed to exit
};

struct Sample {
    bool ok = false;
    std::string error;
    double execToPaintMs = -1; // harness clock before spawn .. child's clock at first paint
    double childSinceStartMs = -1; // the child's own reading (clock-tick resolution)
    double peakAtPaintKib = -1;    // VmHWM at first paint
    double execToExitMs = -1;
    double maxRssKib = -1; // the whole life, from wait4
    double cpuMs = -1;     // user + system, the whole life, from wait4
};

Sample runOnce(const Case &c, const std::vector<std::string> &baseEnv, double timeoutMs)
{
    Sample s;
    std::vector<std::string> env = baseEnv;
    if (!c.settings.empty())
        env.push_back("VORLANE_SETTINGS=" + c.settings);
    std::vector<char *> envp, argv;
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = c.argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        s.error = "pipe failed";
        return s;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);

    pid_t pid = 0;
    const double t0 = nowMs();
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        s.error = std::string("spawn failed: ") + std::strerror(rc);
        return s;
    }

    std::string output;
    bool killed = false;
    for (;;) {
        const double left = timeoutMs - (nowMs() - t0);
        if (left <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        pollfd pfd{pipeFds[0], POLLIN, 0};
        const int pr = ::poll(&pfd, 1, static_cast<int>(std::min(left, 1000.0)) + 1);
        if (pr < 0 && errno == EINTR)
            continue;
        if (pr <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n <= 0)
            break; // EOF: the child (and anything holding its stderr) is gone
        output.append(buf, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    rusage ru{};
    ::wait4(pid, &status, 0, &ru);
    s.execToExitMs = nowMs() - t0;
    s.maxRssKib = static_cast<double>(ru.ru_maxrss);
    s.cpuMs = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000.0 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000.0;

    if (killed) {
        s.error = "timed out";
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        s.error = "exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status));
    }
    if (c.paints) {
        const auto at = output.find("first-paint-ms ");
        double childMs = 0, peak = 0;
        long long monoNs = 0;
        if (at == std::string::npos
            || std::sscanf(output.c_str() + at, "first-paint-ms %lf peak-rss-kib %lf monotonic-ns %lld", &childMs, &peak,
                           &monoNs)
                   != 3) {
            if (s.error.empty())
                s.error = "no first-paint line";
        } else {
            s.execToPaintMs = monoNs / 1e6 - t0;
            s.childSinceStartMs = childMs;
            s.peakAtPaintKib = peak;
        }
    }
    if (!s.error.empty()) {
        s.error += "; stderr: " + output.substr(0, 2000);
        return s;
    }
    s.ok = true;
    return s;
}

struct FileStamp {
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    bool operator==(const FileStamp &o) const
    {
        return ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

FileStamp stampOf(const std::string &path)
{
    struct stat st {};
    FileStamp f;
    if (::stat(path.c_str(), &st) == 0) {
        f.ino = st.st_ino;
        f.size = st.st_size;
        f.mtime = st.st_mtim;
    }
    return f;
}

void warmPageCache(const std::string &path)
{
    QFile f(QString::fromStdString(path));
    if (f.open(QIODevice::ReadOnly)) {
        while (!f.read(1 << 20).isEmpty()) {
        }
    }
}

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: vorlane-bench-startup --vorlane PATH --bare PATH [--gen PATH] [--sizes L,M] [--reps N] "
                         "[--dir DIR] [--keep] [--timeout SECONDS]\n");
    std::exit(2);
}

std::string fmt(double v, const char *f = "%.1f")
{
    if (v < 0)
        return "-";
    char b[64];
    std::snprintf(b, sizeof b, f, v);
    return b;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString vorlane, bare, dir;
    QString generator = QCoreApplication::applicationDirPath() + QStringLiteral("/vorlane-gen-settings");
    QStringList sizes{QStringLiteral("L"), QStringLiteral("M")};
    int reps = 7;
    bool keep = false;
    double timeoutS = 300;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--vorlane") && hasValue)
            vorlane = args[++i];
        else if (a == QLatin1String("--bare") && hasValue)
            bare = args[++i];
        else if (a == QLatin1String("--gen") && hasValue)
            generator = args[++i];
        else if (a == QLatin1String("--sizes") && hasValue)
            sizes = args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (a == QLatin1String("--reps") && hasValue)
            reps = std::max(1, args[++i].toInt());
        else if (a == QLatin1String("--dir") && hasValue)
            dir = args[++i];
        else if (a == QLatin1String("--timeout") && hasValue)
            timeoutS = args[++i].toDouble();
        else if (a == QLatin1String("--keep"))
            keep = true;
        else
            usage();
    }
    if (vorlane.isEmpty() || bare.isEmpty() || sizes.isEmpty())
        usage();
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "vorlane-bench-startup: no DISPLAY; run it through bench/run-desktop-bench.sh\n");
        return 2;
    }

    QTemporaryDir tmp(dir.isEmpty() ? QDir::tempPath() + QStringLiteral("/vorlane-bench-startup-XXXXXX")
                                    : dir + QStringLiteral("/vorlane-bench-startup-XXXXXX"));
    if (!tmp.isValid()) {
        std::fprintf(stderr, "vorlane-bench-startup: cannot create a temporary folder\n");
        return 1;
    }
    tmp.setAutoRemove(!keep);
    const QString root = tmp.path();
    QDir(root).mkpath(QStringLiteral("home/.config"));
    QDir(root).mkpath(QStringLiteral("home/.cache"));
    QDir(root).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                 | QFileDevice::ExeOwner);

    // The children's environment: ours, minus what would lead them to the
    // user's own files or to another running copy.
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string kv = *e;
        const std::string key = kv.substr(0, kv.find('='));
        if (key == "HOME" || key.rfind("XDG_", 0) == 0 || key.rfind("VORLANE_", 0) == 0 || key == "QT_QPA_PLATFORM")
            continue;
        env.push_back(kv);
    }
    env.push_back("HOME=" + (root + QStringLiteral("/home")).toStdString());
    env.push_back("XDG_CONFIG_HOME=" + (root + QStringLiteral("/home/.config")).toStdString());
    env.push_back("XDG_CACHE_HOME=" + (root + QStringLiteral("/home/.cache")).toStdString());
    env.push_back("XDG_RUNTIME_DIR=" + (root + QStringLiteral("/runtime")).toStdString());
    env.push_back("VORLANE_REGISTRY=" + (root + QStringLiteral("/registry.ini")).toStdString());
    env.push_back("VORLANE_REPORT_FIRST_PAINT=exit");
    env.push_back("QT_QPA_PLATFORM=xcb");

    std::vector<Case> cases;
    cases.push_back({"bare window", {bare.toStdString()}, {}, true});
    std::map<std::string, FileStamp> stamps;
    for (const QString &size : sizes) {
        const QString path = root + QStringLiteral("/") + size + QStringLiteral(".ini");
        QProcess gen;
        gen.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        gen.start(generator, {size, path});
        if (!gen.waitForFinished(600000) || gen.exitStatus() != QProcess::NormalExit || gen.exitCode() != 0) {
            std::fprintf(stderr, "vorlane-bench-startup: %s %s failed\n", qPrintable(generator), qPrintable(size));
            return 1;
        }
        std::printf("%s", gen.readAllStandardOutput().constData());
        QFile::remove(path + QStringLiteral(".bak"));
        const std::string p = path.toStdString();
        stamps[p] = stampOf(p);
        cases.push_back({"dump " + size.toStdString(), {vorlane.toStdString(), "--dump-model"}, p, false});
        cases.push_back({"vorlane " + size.toStdString(), {vorlane.toStdString()}, p, true});
    }
    std::fflush(stdout);
    for (const auto &s : stamps)
        warmPageCache(s.first);

    std::vector<std::vector<Sample>> samples(cases.size());
    for (int r = -1; r < reps; ++r) {
        for (std::size_t k = 0; k < cases.size(); ++k) {
            const std::size_t ci = (k + static_cast<std::size_t>(std::max(r, 0))) % cases.size();
            const Case &c = cases[ci];
            const Sample s = runOnce(c, env, timeoutS * 1000);
            if (!s.ok) {
                std::fprintf(stderr, "vorlane-bench-startup: %s: %s\n", c.name.c_str(), s.error.c_str());
                return 1;
            }
            if (!c.settings.empty() && !(stampOf(c.settings) == stamps[c.settings])) {
                std::fprintf(stderr, "vorlane-bench-startup: %s changed %s\n", c.name.c_str(), c.settings.c_str());
                return 1;
            }
            if (r >= 0)
                samples[ci].push_back(s);
        }
        std::fprintf(stderr, r < 0 ? "warm-up round done\n" : "round %d of %d done\n", r + 1, reps);
    }

    auto med = [&](std::size_t ci, double Sample::*field) {
        std::vector<double> v;
        for (const Sample &s : samples[ci])
            v.push_back(s.*field);
        return median(v);
    };
    auto minOf = [&](std::size_t ci, double Sample::*field) {
        double m = -1;
        for (const Sample &s : samples[ci])
            m = m < 0 ? s.*field : std::min(m, s.*field);
        return m;
    };

    std::printf("\n%d runs per case, interleaved; medians (min in brackets). Times in ms from the harness's clock "
                "before exec.\n",
                reps);
    std::printf("%-14s %22s %12s %16s %12s %14s %10s\n", "case", "exec to first paint", "child's own", "exec to exit",
                "CPU to exit", "VmHWM at paint", "max RSS");
    std::printf("%-14s %22s %12s %16s %12s %14s %10s\n", "", "ms", "ms", "ms", "ms", "MiB", "MiB");
    std::map<std::string, double> paint, exitTime, peak;
    for (std::size_t ci = 0; ci < cases.size(); ++ci) {
        const Case &c = cases[ci];
        paint[c.name] = med(ci, &Sample::execToPaintMs);
        exitTime[c.name] = med(ci, &Sample::execToExitMs);
        peak[c.name] = med(ci, &Sample::peakAtPaintKib);
        std::printf("%-14s %12s (%7s) %12s %8s (%5s) %12s %14s %10s\n", c.name.c_str(), fmt(paint[c.name]).c_str(),
                    fmt(minOf(ci, &Sample::execToPaintMs)).c_str(),
                    fmt(med(ci, &Sample::childSinceStartMs), "%.0f").c_str(), fmt(exitTime[c.name]).c_str(),
                    fmt(minOf(ci, &Sample::execToExitMs), "%.0f").c_str(), fmt(med(ci, &Sample::cpuMs)).c_str(),
                    fmt(peak[c.name] / 1024).c_str(), fmt(med(ci, &Sample::maxRssKib) / 1024).c_str());
    }

    // Ratios of the medians, and in brackets the median of the ratios within
    // each round, which a slow phase of the machine moves less.
    auto indexOf = [&](const std::string &name) {
        return static_cast<std::size_t>(
            std::find_if(cases.begin(), cases.end(), [&](const Case &c) { return c.name == name; }) - cases.begin());
    };
    auto roundRatio = [&](std::size_t a, double Sample::*fa, std::size_t b, double Sample::*fb) {
        std::vector<double> v;
        for (std::size_t r = 0; r < samples[a].size(); ++r)
            v.push_back(samples[a][r].*fa / (samples[b][r].*fb));
        return median(v);
    };
    std::printf("\n");
    bool allMet = true;
    for (const QString &size : sizes) {
        const std::string n = size.toStdString();
        const double v = paint["vorlane " + n];
        const double b = paint["bare window"];
        const double d = exitTime["dump " + n];
        const double pk = peak["vorlane " + n] / 1024;
        const std::size_t vi = indexOf("vorlane " + n), bi = indexOf("bare window"), di = indexOf("dump " + n);
        std::printf("%-2s first paint / bare window: %5.2fx [%5.2fx] (goal <= 3)   first paint / dump: %5.2fx [%5.2fx] "
                    "(goal <= 2)   VmHWM %6.1f MiB (goal < 120)\n",
                    n.c_str(), v / b, roundRatio(vi, &Sample::execToPaintMs, bi, &Sample::execToPaintMs), v / d,
                    roundRatio(vi, &Sample::execToPaintMs, di, &Sample::execToExitMs), pk);
        if (n == "L")
            allMet = v <= 3 * b && v <= 2 * d && pk < 120;
    }
    if (sizes.contains(QStringLiteral("L")))
        std::printf("goals with L: %s\n", allMet ? "met" : "MISSED");
    if (keep)
        std::printf("files kept in %s\n", qPrintable(root));
    return 0;
}
