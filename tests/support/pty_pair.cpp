#include "pty_pair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <stdexcept>

namespace testing_support {

PtyPair::PtyPair()
{
    int slave = -1;
    char name[256] = {};
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    slaveKeeper_ = slave;
    slavePath_ = QString::fromLocal8Bit(name);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    if (slaveKeeper_ >= 0) close(slaveKeeper_);
    if (master_ >= 0) close(master_);
}

void PtyPair::Write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno != EAGAIN && errno != EINTR) throw std::runtime_error("pty write failed");
        if (n > 0) done += n;
    }
}

QByteArray PtyPair::Read(int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, 5) > 0 && (fd.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = ::read(master_, buffer, std::min<qsizetype>(sizeof buffer, count - got.size()));
            if (n > 0) got.append(buffer, n);
        }
    }
    return got;
}

QByteArray PtyPair::ReadAll(int quietMs)
{
    QByteArray got;
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < quietMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, 5) > 0 && (fd.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, n);
                quiet.restart();
            }
        }
    }
    return got;
}

void PtyPair::Pump(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

PortOverride::PortOverride(const PtyPair& pair)
{
    hadPrevious_ = qEnvironmentVariableIsSet("QMR4070_PORT");
    previous_ = qgetenv("QMR4070_PORT");
    qputenv("QMR4070_PORT", pair.SlavePath().toLocal8Bit());
}

PortOverride::~PortOverride()
{
    if (hadPrevious_)
        qputenv("QMR4070_PORT", previous_);
    else
        qunsetenv("QMR4070_PORT");
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values) bytes.append(static_cast<char>(v));
    return bytes;
}

QString Hex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

}  // namespace testing_support
