// Checks the simulated meter from the host's side of a real pseudo-terminal.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

namespace {

QByteArray B(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values) bytes.append(static_cast<char>(v));
    return bytes;
}

QByteArray FromHex(const QString& hex) { return QByteArray::fromHex(hex.toLatin1()); }
QString Hex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }
int At(const QByteArray& bytes, int i) { return static_cast<unsigned char>(bytes.at(i)); }

void MakeRaw(int fd)
{
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
}

// Reads up to `count` bytes, giving up after `ms` (a bound for failures, not a measurement).
QByteArray ReadFd(int fd, int count, int ms = 5000)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < ms) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = read(fd, buffer, std::min<qsizetype>(sizeof buffer, count - got.size()));
            if (n > 0) got.append(buffer, n);
        }
    }
    return got;
}

void WriteFd(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.constData() + done, bytes.size() - done);
        if (n > 0)
            done += n;
        else if (errno != EAGAIN && errno != EINTR)
            return;
    }
}

// One simulator process and our end of its line.
class Sim {
public:
    ~Sim()
    {
        if (process_.state() != QProcess::NotRunning) {
            command("quit");
            if (!process_.waitForFinished(3000)) process_.kill();
            process_.waitForFinished(1000);
        }
        if (fd_ >= 0) close(fd_);
    }

    // Starts the simulator and opens the line it prints (or `lineFd` with --device).
    // The frame log comes on stdout unless `frameLog` is false.
    bool start(const QStringList& args, int lineFd = -1, bool frameLog = true)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);  // its complaints show in our output
        process_.start(QStringLiteral(SIM_PATH), frameLog ? QStringList{"--log", "-"} + args : args);
        if (!process_.waitForStarted(5000)) return false;
        QElapsedTimer timer;
        timer.start();
        while (lines_.isEmpty() && timer.elapsed() < 5000) readLines(100);
        const QString first = lines_.value(0);
        if (lineFd >= 0) {
            fd_ = lineFd;
            return first.startsWith("DEVICE ");
        }
        if (!first.startsWith("PTY ")) return false;
        path_ = first.mid(4);
        fd_ = open(path_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) return false;
        MakeRaw(fd_);
        return true;
    }

    QString path() const { return path_; }
    QProcess& process() { return process_; }
    void command(const QByteArray& line)
    {
        process_.write(line + '\n');
        process_.waitForBytesWritten(1000);
    }
    void send(const QByteArray& bytes) { WriteFd(fd_, bytes); }
    QByteArray read(int count) { return ReadFd(fd_, count); }

    // The next stdout line containing `needle` (or starting with it), from where the
    // last wait stopped.
    QString waitFor(const QString& needle, bool atStart = false, int ms = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            while (cursor_ < lines_.size()) {
                const QString& line = lines_.at(cursor_++);
                if (atStart ? line.startsWith(needle) : line.contains(needle)) return line;
            }
            if (timer.elapsed() > ms) return {};
            readLines(100);
        }
    }
    // After `frame` was sent: returns once the simulator has handled it.
    bool handled(const QByteArray& frame) { return !waitFor(" RX " + Hex(frame)).isEmpty(); }
    QString state()
    {
        command("state");
        return waitFor("STATE ", true);
    }
    // Frames the simulator logged as sent, in order.
    QList<QByteArray> sentFrames() const
    {
        QList<QByteArray> frames;
        for (const QString& line : lines_) {
            const int at = line.indexOf(" TX ");
            if (at > 0 && !line.startsWith('#')) frames.append(FromHex(line.mid(at + 4)));
        }
        return frames;
    }

private:
    void readLines(int ms)
    {
        if (!process_.canReadLine()) process_.waitForReadyRead(ms);
        while (process_.canReadLine()) lines_.append(QString::fromUtf8(process_.readLine()).trimmed());
    }

    QProcess process_;
    QStringList lines_;
    qsizetype cursor_ = 0;
    QString path_;
    int fd_ = -1;
};

const QByteArray kCleanRefresh = B({0xAB, 0xAD, 0, 0, 0, 0, 0, 0, 0, 0, 0xAF});

// The refresh answer of the default state, trigger on external.
QByteArray DefaultRefreshAnswer()
{
    return B({0xAB, 0xAC, 0x5A, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x55, 0x00, 0xAF, 0xAB, 0xEA, 0x01, 0x00, 0x03, 0x2E,
              0x00, 0x00, 0xA0, 0x00, 0xAF, 0xAB, 0xEB, 0x09, 0x07, 0x2E, 0x00, 0x00, 0x00, 0xA0, 0x00, 0xAF, 0xAB,
              0xED, 0x02, 0x2E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAF, 0xAB, 0xEF, 0x02, 0x2E, 0x00, 0x00, 0x00,
              0x00, 0x00, 0x00, 0xAF, 0xAB, 0xEC, 0x01, 0x00, 0x00, 0x2E, 0x00, 0x00, 0xA0, 0x00, 0xAF});
}

// No continuous measurements get in the way of byte-exact checks.
const QStringList kQuiet{"--state", "trigger=ext", "--seed", "7"};

struct Measurement {
    QString text;
    int unit = 0, sort = 0, status = 0;
};

// Checks the frame shape a host relies on; the value text keeps sign, digits and point.
bool ParseMeasurement(const QByteArray& frame, Measurement& m, QString& why)
{
    why = Hex(frame);
    if (frame.size() != 11 || At(frame, 0) != 0xAB || At(frame, 10) != 0xAF) return false;
    m = {};
    for (int i = 1; i <= 6; ++i) {
        const int b = At(frame, i);
        if (b <= 9)
            m.text += QChar('0' + b);
        else if (b == 0x2E || b == 0x20 || b == 0x2D)
            m.text += QChar(b);
        else
            return false;
    }
    if (m.text.count('.') != 1 || m.text.indexOf(QRegularExpression("[ -]"), 1) > 0) return false;
    m.unit = At(frame, 7);
    m.sort = At(frame, 8);
    m.status = At(frame, 9);
    return m.unit >= 0xA0 && m.unit <= 0xA4 && QList<int>{0xB0, 0xB1, 0xB2, 0xB4}.contains(m.sort) &&
           QList<int>{0x00, 0xC1, 0xC2, 0xC3}.contains(m.status);
}

// "97.000" -> 970000 with four decimals; integer maths so limit values compare exactly.
qint64 Scaled(const QString& text, int decimals)
{
    const QString t = text.trimmed();
    const bool negative = t.startsWith('-');
    const QString digits = negative ? t.mid(1) : t;
    const int point = digits.indexOf('.');
    QString whole = digits.left(point) + digits.mid(point + 1).leftJustified(decimals, '0').left(decimals);
    return (negative ? -1 : 1) * whole.toLongLong();
}

}  // namespace

class TestMeterSim : public QObject {
    Q_OBJECT

private slots:
    void refreshAnswer_data();
    void refreshAnswer();
    void switchCommands_data();
    void switchCommands();
    void settingCommands_data();
    void settingCommands();
    void identityCheck_data();
    void identityCheck();
    void measurements_data();
    void measurements();
    void triggerSources();
    void frontPanelChanges();
    void faultyStreamKeepsEveryFrame();
    void deviceOption();
    void linkFollowsThePty();
};

void TestMeterSim::refreshAnswer_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("clean") << kCleanRefresh;
    // The host's buffer is never cleared: after an identity check, 0xAF rides in byte 8.
    QTest::newRow("stale identity bytes") << B({0xAB, 0xAD, 1, 2, 3, 4, 5, 6, 0xAF, 0x00, 0xAF});
    QTest::newRow("after line noise") << B({0x12, 0xAF, 0x00}) + kCleanRefresh;
    QTest::newRow("false start before") << B({0xAB, 0x03}) + kCleanRefresh;
}

void TestMeterSim::refreshAnswer()
{
    QFETCH(QByteArray, request);
    Sim sim;
    QVERIFY(sim.start(kQuiet));
    sim.send(request);
    QCOMPARE(Hex(sim.read(66)), Hex(DefaultRefreshAnswer()));
    QVERIFY(sim.handled(request.right(11)));
}

void TestMeterSim::switchCommands_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("expectedState");
    QTest::addColumn<QByteArray>("expectedStatus");

    auto status = [](int zero, int sorting, int beeper, int display, int speed, int mode, int trigger) {
        return B({0xAB, 0xAC, zero, sorting, beeper, display, speed, mode, trigger, 0x00, 0xAF});
    };
    auto cmd = [](int code, int value) { return B({0xAB, code, value, 0, 0, 0, 0, 0, 0, 0, 0xAF}); };
    const QString ext = "trigger=ext";
    QTest::newRow("zero on") << ext << cmd(0xD9, 0x55) << "zero=on" << status(0x55, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x55);
    QTest::newRow("zero on, stale bytes") << ext << B({0xAB, 0xD9, 0x55, 2, 3, 4, 5, 6, 0xAF, 0, 0xAF}) << "zero=on"
                                          << status(0x55, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x55);
    QTest::newRow("sorting off") << ext << cmd(0xDA, 0x5A) << "sorting=off"
                                 << status(0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x55);
    QTest::newRow("beeper on") << ext << cmd(0xDB, 0x55) << "beeper=on"
                               << status(0x5A, 0x55, 0x55, 0x5A, 0x5A, 0x5A, 0x55);
    QTest::newRow("display % is 55") << ext << cmd(0xDF, 0x55) << "display=%"
                                     << status(0x5A, 0x55, 0x5A, 0x55, 0x5A, 0x5A, 0x55);
    QTest::newRow("display R is 5A") << ext + ",display=%" << cmd(0xDF, 0x5A) << "display=R"
                                     << status(0x5A, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x55);
    QTest::newRow("speed fast") << ext << cmd(0xDE, 0x55) << "speed=fast"
                                << status(0x5A, 0x55, 0x5A, 0x5A, 0x55, 0x5A, 0x55);
    QTest::newRow("mode lock") << ext << cmd(0xDD, 0x55) << "mode=lock"
                               << status(0x5A, 0x55, 0x5A, 0x5A, 0x5A, 0x55, 0x55);
    QTest::newRow("trigger int") << ext << cmd(0xDC, 0x5A) << "trigger=int"
                                 << status(0x5A, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A);
    QTest::newRow("trigger ext") << "trigger=int" << cmd(0xDC, 0x55) << "trigger=ext"
                                 << status(0x5A, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x55);
    QTest::newRow("other switch byte ignored")
        << ext << cmd(0xDA, 0x00) << "sorting=on" << status(0x5A, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x55);
}

void TestMeterSim::switchCommands()
{
    QFETCH(QString, initial);
    QFETCH(QByteArray, command);
    QFETCH(QString, expectedState);
    QFETCH(QByteArray, expectedStatus);
    Sim sim;
    // Continuous measurements far apart, so internal trigger stays quiet too.
    QVERIFY(sim.start({"--state", initial, "--slow-ms", "3600000", "--fast-ms", "3600000"}));
    sim.send(command);
    QVERIFY(sim.handled(command));
    QVERIFY2(sim.state().contains(" " + expectedState + " "), qPrintable(expectedState));
    // Anything sent back for the switch command would arrive before this report.
    sim.command("status");
    QCOMPARE(Hex(sim.read(11)), Hex(expectedStatus));
}

void TestMeterSim::settingCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("expectedState");
    QTest::addColumn<int>("reportIndex");  // position in the refresh answer
    QTest::addColumn<QByteArray>("expectedReport");

    QTest::newRow("upper 12.345 ohm") << B({0xAB, 0xEA, 1, 2, 0x2E, 3, 4, 5, 0xA1, 0, 0xAF}) << "upper=12.345:A1" << 1
                                      << B({0xAB, 0xEA, 1, 2, 0x2E, 3, 4, 0, 0xA1, 0, 0xAF});
    QTest::newRow("lower 0.5000 kohm") << B({0xAB, 0xEB, 0, 0x2E, 5, 0, 0, 0, 0xA2, 0, 0xAF}) << "lower=0.5000:A2" << 2
                                       << B({0xAB, 0xEB, 0, 0x2E, 5, 0, 0, 0, 0xA2, 0, 0xAF});
    QTest::newRow("nominal 4567.8 mohm") << B({0xAB, 0xEC, 4, 5, 6, 7, 0x2E, 8, 0xA0, 0, 0xAF}) << "nominal=4567.8:A0"
                                         << 5 << B({0xAB, 0xEC, 4, 5, 6, 7, 0x2E, 0, 0xA0, 0, 0xAF});
    // Bytes 7 and 8 of a percentage command are whatever the host's buffer held.
    QTest::newRow("percent upper 47.56") << B({0xAB, 0xED, 4, 7, 0x2E, 5, 6, 0x00, 0xA1, 0, 0xAF}) << "pupper=47.56"
                                         << 3 << B({0xAB, 0xED, 4, 7, 0x2E, 5, 6, 0, 0, 0, 0xAF});
    QTest::newRow("percent lower 0.500") << B({0xAB, 0xEF, 0, 0x2E, 5, 0, 0, 0x03, 0xA0, 0, 0xAF}) << "plower=0.500"
                                         << 4 << B({0xAB, 0xEF, 0, 0x2E, 5, 0, 0, 0, 0, 0, 0xAF});
    const QByteArray defaultUpper = B({0xAB, 0xEA, 1, 0, 3, 0x2E, 0, 0, 0xA0, 0, 0xAF});
    QTest::newRow("two points ignored") << B({0xAB, 0xEA, 1, 0x2E, 0x2E, 0, 0, 0, 0xA0, 0, 0xAF}) << "upper=103.00:A0"
                                        << 1 << defaultUpper;
    QTest::newRow("no point ignored") << B({0xAB, 0xEA, 9, 9, 9, 9, 9, 0, 0xA0, 0, 0xAF}) << "upper=103.00:A0" << 1
                                      << defaultUpper;
    QTest::newRow("character codes ignored")
        << B({0xAB, 0xEC, 0x31, 0x30, 0x30, 0x2E, 0x30, 0x30, 0xA0, 0, 0xAF}) << "nominal=100.00:A0" << 5
        << B({0xAB, 0xEC, 1, 0, 0, 0x2E, 0, 0, 0xA0, 0, 0xAF});
    QTest::newRow("unit % ignored") << B({0xAB, 0xEB, 5, 0x2E, 0, 0, 0, 0, 0xA4, 0, 0xAF}) << "lower=97.000:A0" << 2
                                    << B({0xAB, 0xEB, 9, 7, 0x2E, 0, 0, 0, 0xA0, 0, 0xAF});
}

void TestMeterSim::settingCommands()
{
    QFETCH(QByteArray, command);
    QFETCH(QString, expectedState);
    QFETCH(int, reportIndex);
    QFETCH(QByteArray, expectedReport);
    Sim sim;
    QVERIFY(sim.start(kQuiet));
    sim.send(command + command);  // the host sends every setting twice
    QVERIFY(sim.handled(command));
    QVERIFY(sim.handled(command));
    QVERIFY2(sim.state().contains(" " + expectedState + " "), qPrintable(expectedState));
    sim.send(kCleanRefresh);
    // Nothing was sent for the settings, so the refresh answer comes first.
    const QByteArray answer = sim.read(66);
    QCOMPARE(Hex(answer.mid(reportIndex * 11, 11)), Hex(expectedReport));
}

void TestMeterSim::identityCheck_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<int>("answer");
    QTest::newRow("default code") << QStringList() << B({1, 2, 3, 4, 5, 6}) << 0x55;
    QTest::newRow("wrong digit") << QStringList() << B({1, 2, 3, 4, 5, 7}) << 0x5A;
    QTest::newRow("character codes are not digits") << QStringList() << B({0x31, 0x32, 0x33, 0x34, 0x35, 0x36}) << 0x5A;
    QTest::newRow("hex code") << QStringList{"--code", "12ab3F"} << B({1, 2, 0x0A, 0x0B, 3, 0x0F}) << 0x55;
    QTest::newRow("default no longer valid") << QStringList{"--code", "654321"} << B({1, 2, 3, 4, 5, 6}) << 0x5A;
}

void TestMeterSim::identityCheck()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, digits);
    QFETCH(int, answer);
    Sim sim;
    // Garbage is meant for reports; it must not break the login exchange.
    QVERIFY(sim.start(kQuiet + args + QStringList{"--garbage"}));
    sim.send(B({0xAB, 0xAE}) + digits + B({0xAF}));
    QCOMPARE(Hex(sim.read(4)), Hex(B({0xAB, 0xAE, answer, 0xAF})));
}

enum Check { ByDirectLimits, AllHigh, ByPercentLimits, NoSort, StatusCodes };

void TestMeterSim::measurements_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<int>("check");
    const QByteArray lowLimits = B({0xAB, 0xEA, 0, 0x2E, 0, 0, 1, 0, 0xA0, 0, 0xAF})     // upper 0.0010 mOhm
                                 + B({0xAB, 0xEB, 0, 0x2E, 0, 0, 0, 0, 0xA0, 0, 0xAF});  // lower 0.0000 mOhm
    QTest::newRow("direct, default limits") << kQuiet << QByteArray() << int(ByDirectLimits);
    QTest::newRow("direct, limits below every reading") << kQuiet << lowLimits + lowLimits << int(AllHigh);
    QTest::newRow("percent, default limits")
        << QStringList{"--state", "trigger=ext,display=%", "--seed", "3"} << QByteArray() << int(ByPercentLimits);
    QTest::newRow("sorting off") << QStringList{"--state", "trigger=ext,sorting=off"} << QByteArray() << int(NoSort);
    QTest::newRow("status codes") << kQuiet + QStringList{"--status-codes", "1"} << QByteArray() << int(StatusCodes);
}

void TestMeterSim::measurements()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, setup);
    QFETCH(int, check);
    Sim sim;
    QVERIFY(sim.start(args));
    if (!setup.isEmpty()) {
        sim.send(setup);
        QVERIFY(sim.handled(setup.right(11)));
        QVERIFY(sim.handled(setup.right(11)));
    }
    const int count = 200;
    for (int i = 0; i < count; ++i) sim.command("measure");
    const QByteArray stream = sim.read(count * 11);
    QCOMPARE(stream.size(), count * 11);

    QSet<int> sorts;
    for (int i = 0; i < count; ++i) {
        Measurement m;
        QString why;
        QVERIFY2(ParseMeasurement(stream.mid(i * 11, 11), m, why), qPrintable(why));
        if (check == StatusCodes)
            QVERIFY2(m.status >= 0xC1 && m.status <= 0xC3, qPrintable(why));
        else
            QCOMPARE(m.status, 0x00);
        sorts.insert(m.sort);
        if (check == ByPercentLimits) {
            QCOMPARE(m.unit, 0xA4);
            const qint64 deviation = Scaled(m.text, 3);
            const int expected = deviation > 2000 ? 0xB0 : deviation < -2000 ? 0xB2 : 0xB1;
            QVERIFY2(m.sort == expected, qPrintable(why));
        } else {
            QVERIFY2(m.unit == 0xA0 && !m.text.contains(' ') && !m.text.contains('-'), qPrintable(why));
            const qint64 reading = Scaled(m.text, 4);  // 0.0001 mOhm
            int expected = reading > 1030000 ? 0xB0 : reading < 970000 ? 0xB2 : 0xB1;
            if (check == AllHigh) expected = 0xB0;
            if (check == NoSort) expected = 0xB4;
            QVERIFY2(m.sort == expected, qPrintable(why));
        }
    }
    // The scatter must exercise every sort result against the default limits.
    if (check == ByDirectLimits || check == ByPercentLimits) QVERIFY(sorts == (QSet<int>{0xB0, 0xB1, 0xB2}));
}

void TestMeterSim::triggerSources()
{
    Sim sim;
    QVERIFY(sim.start({"--state", "trigger=ext", "--slow-ms", "50"}));
    Measurement m;
    QString why;
    sim.command("");  // Enter: external trigger
    QVERIFY2(ParseMeasurement(sim.read(11), m, why), qPrintable(why));
    const QByteArray single = B({0xAB, 0x9D, 0, 0, 0, 0, 0, 0, 0, 0, 0xAF});
    sim.send(single);
    QVERIFY2(ParseMeasurement(sim.read(11), m, why), qPrintable(why));

    sim.command("set trigger int");
    QCOMPARE(Hex(sim.read(11)), Hex(B({0xAB, 0xAC, 0x5A, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x00, 0xAF})));
    for (int i = 0; i < 3; ++i)  // continuous now, with no request
        QVERIFY2(ParseMeasurement(sim.read(11), m, why), qPrintable(why));
    sim.command("trigger");
    QVERIFY(!sim.waitFor("# trigger ignored: internal trigger", true).isEmpty());

    // Without --log the terminal gets answers only, never the frames.
    Sim quiet;
    QVERIFY(quiet.start({}, -1, false));
    quiet.command("measure");
    QVERIFY(quiet.read(11).size() == 11);
    QVERIFY(!quiet.state().isEmpty());
    QVERIFY(quiet.sentFrames().isEmpty());

    Sim periodic;
    QVERIFY(periodic.start({"--state", "trigger=ext", "--trigger-every", "0.05"}));
    for (int i = 0; i < 2; ++i) QVERIFY2(ParseMeasurement(periodic.read(11), m, why), qPrintable(why));
}

void TestMeterSim::frontPanelChanges()
{
    Sim sim;
    QVERIFY(sim.start(kQuiet));
    sim.command("set display %");
    QCOMPARE(Hex(sim.read(11)), Hex(B({0xAB, 0xAC, 0x5A, 0x55, 0x5A, 0x55, 0x5A, 0x5A, 0x55, 0x00, 0xAF})));
    sim.command("measure");
    Measurement m;
    QString why;
    QVERIFY2(ParseMeasurement(sim.read(11), m, why) && m.unit == 0xA4, qPrintable(why));
    sim.command("set upper 1.5:A1");
    QCOMPARE(Hex(sim.read(11)), Hex(B({0xAB, 0xEA, 1, 0x2E, 5, 0, 0, 0, 0xA1, 0, 0xAF})));
    QVERIFY(sim.state().contains(" display=% ") && sim.state().contains(" upper=1.5:A1 "));
    sim.command("send AB 01 02 2E 03 04 05 A0 B1 00 AF AF");
    QCOMPARE(Hex(sim.read(12)), Hex(B({0xAB, 1, 2, 0x2E, 3, 4, 5, 0xA0, 0xB1, 0, 0xAF, 0xAF})));
}

void TestMeterSim::faultyStreamKeepsEveryFrame()
{
    Sim sim;
    QVERIFY(sim.start(
        {"--chunked", "--garbage", "--back-to-back", "--fast-ms", "20", "--state", "speed=fast", "--seed", "11"}));
    for (int i = 0; i < 20; ++i) QVERIFY(!sim.waitFor(" TX ").isEmpty());
    // Stop the stream; this status report is the last frame, and reading up to it gets everything.
    sim.command("set trigger ext");
    const QByteArray last = B({0xAB, 0xAC, 0x5A, 0x55, 0x5A, 0x5A, 0x55, 0x5A, 0x55, 0x00, 0xAF});
    QVERIFY(!sim.waitFor(" TX " + Hex(last)).isEmpty());
    QByteArray stream;
    while (!stream.endsWith(last)) {
        const QByteArray more = sim.read(1);
        QVERIFY2(!more.isEmpty(), qPrintable(Hex(stream.right(40))));
        stream += more;
    }

    const QList<QByteArray> frames = sim.sentFrames();
    QVERIFY(frames.size() > 20);
    qsizetype at = 0, framed = 0;
    for (const QByteArray& frame : frames) {
        const qsizetype found = stream.indexOf(frame, at);
        QVERIFY2(found >= 0, qPrintable("missing " + Hex(frame)));
        // Only garbage in between, and garbage never holds a frame end.
        QVERIFY2(!stream.mid(at, found - at).contains(char(0xAF)), qPrintable(Hex(stream.mid(at, found - at))));
        at = found + frame.size();
        framed += frame.size();
    }
    QCOMPARE(at, stream.size());
    QVERIFY(stream.size() > framed);  // garbage was really there
}

void TestMeterSim::deviceOption()
{
    int master = -1, slave = -1;
    char name[256] = {};
    QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
    MakeRaw(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    {
        Sim sim;
        QVERIFY(sim.start(kQuiet + QStringList{"--device", name}, master));
        QVERIFY(!sim.waitFor("# seed", true).isEmpty());  // the line is set up
        sim.send(kCleanRefresh);
        QCOMPARE(Hex(sim.read(66)), Hex(DefaultRefreshAnswer()));
    }  // Sim closes the master
    close(slave);
}

void TestMeterSim::linkFollowsThePty()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("meter");
    QVERIFY(QFile::link("/nonexistent", link));  // an old link is replaced
    Sim sim;
    QVERIFY(sim.start(kQuiet + QStringList{"--link", link}));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path());

    const int viaLink = open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(viaLink >= 0);
    WriteFd(viaLink, kCleanRefresh);
    QCOMPARE(Hex(ReadFd(viaLink, 66)), Hex(DefaultRefreshAnswer()));
    close(viaLink);

    sim.command("quit");
    QVERIFY(sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestMeterSim)
#include "test_meter_sim.moc"
