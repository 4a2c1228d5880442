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

namespace {
// Waits a few milliseconds for the master side and appends at most `limit` bytes of
// what it holds; says whether anything came.
bool ReadSome(int master, QByteArray& got, qsizetype limit)
{
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 5) <= 0 || !(fd.revents & POLLIN)) return false;
    char buffer[4096];
    const ssize_t n = ::read(master, buffer, std::min<qsizetype>(sizeof buffer, limit));
    if (n <= 0) return false;
    got.append(buffer, n);
    return true;
}
}  // namespace

QByteArray PtyPair::Read(int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ReadSome(master_, got, count - got.size());
    }
    return got;
}

QByteArray PtyPair::ReadWithoutEvents(int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeoutMs) ReadSome(master_, got, count - got.size());
    return got;
}

QByteArray PtyPair::ReadAll(int quietMs)
{
    QByteArray got;
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < quietMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (ReadSome(master_, got, 4096)) quiet.restart();
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

void PtyPair::CloseMeterEnd()
{
    close(master_);
    master_ = -1;
}

QString PtyPair::LineSettings() const
{
    // Read on the device the program opened, not through the master.
    termios t{};
    if (tcgetattr(slaveKeeper_, &t) != 0) return QStringLiteral("unreadable");
    const speed_t speed = cfgetospeed(&t);
    const QString baud = speed == B9600   ? QStringLiteral("9600")
                         : speed == B1200 ? QStringLiteral("1200")
                                          : QStringLiteral("other");
    const int bits = (t.c_cflag & CSIZE) == CS8 ? 8 : (t.c_cflag & CSIZE) == CS7 ? 7 : 0;
    const QChar parity = !(t.c_cflag & PARENB) ? u'N' : (t.c_cflag & PARODD) ? u'O' : u'E';
    const int stop = (t.c_cflag & CSTOPB) ? 2 : 1;
    const bool raw = !(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) && !(t.c_oflag & OPOST) &&
                     !(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP | BRKINT));
    return QStringLiteral("%1 %2%3%4 %5").arg(baud).arg(bits).arg(parity).arg(stop).arg(raw ? u"raw" : u"cooked");
}

void PtyPair::ScrambleLineSettings()
{
    termios t{};
    tcgetattr(slaveKeeper_, &t);
    cfsetispeed(&t, B1200);
    cfsetospeed(&t, B1200);
    t.c_cflag |= CSTOPB;
    t.c_lflag |= ICANON | ECHO | ISIG;
    t.c_oflag |= OPOST;
    t.c_iflag |= ICRNL | IXON;
    tcsetattr(slaveKeeper_, TCSANOW, &t);
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values) bytes.append(static_cast<char>(v));
    return bytes;
}

QString Hex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

}  // namespace testing_support
