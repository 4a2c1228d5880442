#pragma once
// The simulated meter as a separate process on its own pseudo-terminal, driven
// through its command line and read through its frame log.

#include <QProcess>
#include <QStringList>
#include <functional>

class SimProcess {
public:
    explicit SimProcess(const QStringList& arguments = {});
    ~SimProcess();

    QString PtyPath() const { return ptyPath_; }
    void Command(const QString& line);
    // Waits (pumping events) for a log line that matches; returns it, or empty on time-out.
    QString WaitForLine(const std::function<bool(const QString&)>& match, int timeoutMs = 5000);
    // Frames the simulator received from the program ("AB AD 00 ..."), since the start.
    QStringList Received();
    // The simulator's state line, "STATE zero=on ...".
    QString State();
    void ForgetLog() { seen_ = lines_.size(); }

private:
    void ReadOutput();
    QProcess process_;
    QString ptyPath_;
    QStringList lines_;
    qsizetype seen_ = 0;
    QByteArray partial_;
};
