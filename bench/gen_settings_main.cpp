// vorlane-gen-settings SIZE OUT.ini
//
// Writes a settings file of the given size (S, M, L, XL or DxI+N, e.g.
// 200x500+20) and checks that loading it gives back the same model.

#include "SettingsGen.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const auto shape = args.size() == 3 ? vl::bench::shapeFromName(args[1]) : std::nullopt;
    if (!shape) {
        std::fprintf(stderr, "usage: vorlane-gen-settings S|M|L|XL|DxI+N OUT.ini\n");
        return 2;
    }
    try {
        const auto t0 = std::chrono::steady_clock::now();
        const auto g = vl::bench::generateSettingsFile(args[2], *shape);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%s: %lld bytes, %lld sections, %d desktops, %lld shortcuts, %lld notes "
                    "(read back and compared, %.1f s)\n",
                    qPrintable(args[2]), static_cast<long long>(g.bytes), static_cast<long long>(g.sections),
                    g.desktops, static_cast<long long>(g.items), static_cast<long long>(g.notes), s);
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vorlane-gen-settings: %s\n", e.what());
        return 1;
    }
}
