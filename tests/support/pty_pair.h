#pragma once
// A real pseudo-terminal pair for serial tests: the program under test opens the
// slave path as its serial port, the test reads and writes the master side.

#include "environment_guard.h"

#include <QByteArray>
#include <QString>

namespace testing_support {

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString SlavePath() const { return slavePath_; }
    // Writes bytes as the meter would send them.
    void Write(const QByteArray& bytes);
    // Reads what the program sent, pumping the Qt event loop while it waits. Returns
    // early with fewer bytes when nothing more arrives before the time is up.
    QByteArray Read(int count, int timeoutMs = 2000);
    // Everything the program sent within the quiet period (nothing more arrives for quietMs).
    QByteArray ReadAll(int quietMs = 150);
    // Reads what the program has already put on the line, without running its events.
    QByteArray ReadWithoutEvents(int count, int timeoutMs = 500);
    // Pumps events for a while so the program can handle what it received.
    static void Pump(int ms);

    // The meter's cable pulled: the program's end sees a hang-up. The slave stays held
    // here, so no other pseudo-terminal gets its number while the program retries.
    void CloseMeterEnd();
    // The line settings of the slave as the program left them, "9600 8N1 raw".
    QString LineSettings() const;
    // Leaves the slave at other settings (1200 baud, 2 stop bits, cooked), so a test sees
    // that the program puts its own on the line. A pseudo-terminal keeps 8 bits, no parity.
    void ScrambleLineSettings();

private:
    int master_ = -1;
    int slaveKeeper_ = -1;  // keeps the pair alive while the program has the port closed
    QString slavePath_;
};

// Points QMR4070_PORT at the pair's slave for the life of this object.
class PortOverride : public EnvironmentGuard {
public:
    explicit PortOverride(const PtyPair& pair) : EnvironmentGuard("QMR4070_PORT", pair.SlavePath().toLocal8Bit()) {}
};

QByteArray Bytes(std::initializer_list<int> values);
// "AB AD 00 ..." for failure messages.
QString Hex(const QByteArray& bytes);

}  // namespace testing_support
