#include "termination_signals.h"

#ifdef Q_OS_UNIX
#include "platform_error.h"

#include <QSocketNotifier>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {
int wakeFds[2] = {-1, -1};

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFds[0], &byte, 1);
    errno = saved;
}

void Catch(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    // Non-blocking, so a burst of signals can never stall the handler on a full socket.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeFds) != 0)
        throw PlatformError(QStringLiteral("socketpair: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    auto* notifier = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[64];
        while (::read(wakeFds[1], bytes, sizeof bytes) > 0) {}
        emit Requested();
    });
    Catch(OnSignal);
}

TerminationSignals::~TerminationSignals()
{
    Catch(SIG_DFL);
    ::close(wakeFds[0]);
    ::close(wakeFds[1]);
    wakeFds[0] = wakeFds[1] = -1;
}

#else

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}
TerminationSignals::~TerminationSignals() = default;

#endif
