// A process that watches for termination signals as the program does, then
// blocks its main thread in a read that never returns: an open() of a FIFO
// that no writer opens, as a FIFO named as the settings file once did. A
// termination signal must end it all the same.
#include "platform/SignalWatcher.h"

#include <QCoreApplication>

#include <cstdio>

#include <fcntl.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    vl::SignalWatcher watcher;
    std::puts("ready");
    std::fflush(stdout);
    ::open(argv[1], O_RDONLY);
    return 3;
}
