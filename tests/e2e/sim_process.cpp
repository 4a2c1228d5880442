#include "sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <stdexcept>

SimProcess::SimProcess(const QStringList& arguments)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(SIM_PATH), QStringList{QStringLiteral("--log"), QStringLiteral("-")} + arguments);
    if (!process_.waitForStarted(5000)) throw std::runtime_error("simulator did not start");
    const QString first = WaitForLine([](const QString& line) { return line.startsWith(u"PTY "); });
    if (first.isEmpty()) throw std::runtime_error("simulator printed no PTY line");
    ptyPath_ = first.mid(4).trimmed();
}

SimProcess::~SimProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.write("quit\n");
        if (!process_.waitForFinished(2000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
}

void SimProcess::Command(const QString& line)
{
    process_.write(line.toUtf8() + '\n');
    process_.waitForBytesWritten(1000);
}

void SimProcess::ReadOutput()
{
    partial_ += process_.readAllStandardOutput();
    qsizetype end;
    while ((end = partial_.indexOf('\n')) >= 0) {
        lines_ << QString::fromUtf8(partial_.left(end)).trimmed();
        partial_.remove(0, end + 1);
    }
}

QString SimProcess::WaitForLine(const std::function<bool(const QString&)>& match, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        ReadOutput();
        for (; seen_ < lines_.size(); ++seen_)
            if (match(lines_[seen_])) return lines_[seen_++];
        if (timer.elapsed() > timeoutMs) return {};
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        process_.waitForReadyRead(5);
    }
}

QStringList SimProcess::Received()
{
    ReadOutput();
    QStringList frames;
    for (const QString& line : lines_) {
        const qsizetype at = line.indexOf(u" RX ");
        if (at >= 0) frames << line.mid(at + 4).trimmed();
    }
    return frames;
}

QString SimProcess::State()
{
    Command(QStringLiteral("state"));
    return WaitForLine([](const QString& line) { return line.startsWith(u"STATE "); });
}
