// A forwarding process the tests can kill: forwards the file until it is all sent.
// Usage: archive_forward_child DATABASE URL BENCH

#include "forwarder.h"

#include <QCoreApplication>
#include <QThread>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) return 2;
    archive::Forwarder forwarder({QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3])}, QString::fromUtf8(argv[1]));
    while (!forwarder.Pump()) QThread::msleep(100);
    return 0;
}
