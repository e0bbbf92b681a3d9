#include "app/FirstPaintReport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <time.h>
#include <unistd.h>

namespace vl {

void printFirstPaintReport()
{
    timespec mono{}, boot{};
    ::clock_gettime(CLOCK_MONOTONIC, &mono);
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    // Field 22 of /proc/self/stat, counted after the command name,
    // which may itself hold blanks and parentheses.
    double sinceStart = -1;
    std::ifstream statFile("/proc/self/stat");
    const std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    if (const auto close = stat.rfind(')'); close != std::string::npos) {
        unsigned long long startTicks = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d"
                                                   " %*d %*d %*d %*d %llu", &startTicks) == 1)
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

} // namespace vl
