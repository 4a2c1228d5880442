#pragma once
// SIGTERM and SIGINT end the program as its exit does, so the port and its lock file
// are released. The signal handler only writes a byte into a socket pair; the event
// loop reads it. Windows has no such signals, so there this does nothing.

#include <QObject>

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void Requested();
};
