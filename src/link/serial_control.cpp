#include "serial_control.h"

#include "log_categories.h"
#include "platform_error.h"
#include "port_choice.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

namespace wire {

namespace {
struct LineSettings {
    qint32 baud;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
    QSerialPort::StopBits stopBits;
};

LineSettings ParseSettings(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool baudOk = false;
    const qint32 baud = parts.value(0).trimmed().toInt(&baudOk);
    if (parts.size() != 4 || !baudOk || baud <= 0) throw PlatformError(QStringLiteral("串口参数无效: %1").arg(text));

    LineSettings settings{baud, QSerialPort::NoParity, QSerialPort::Data8, QSerialPort::OneStop};
    const QString parity = parts[1].trimmed().toLower();
    if (parity == u"n")
        settings.parity = QSerialPort::NoParity;
    else if (parity == u"e")
        settings.parity = QSerialPort::EvenParity;
    else if (parity == u"o")
        settings.parity = QSerialPort::OddParity;
    else if (parity == u"m")
        settings.parity = QSerialPort::MarkParity;
    else if (parity == u"s")
        settings.parity = QSerialPort::SpaceParity;
    else
        throw PlatformError(QStringLiteral("串口参数无效: %1").arg(text));

    const int data = parts[2].trimmed().toInt();
    if (data < 5 || data > 8) throw PlatformError(QStringLiteral("串口参数无效: %1").arg(text));
    settings.dataBits = static_cast<QSerialPort::DataBits>(data);

    const QString stop = parts[3].trimmed();
    if (stop == u"1")
        settings.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5")
        settings.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2")
        settings.stopBits = QSerialPort::TwoStop;
    else
        throw PlatformError(QStringLiteral("串口参数无效: %1").arg(text));
    return settings;
}

const QString kInUse = QStringLiteral("in use by another program");

// Qt reports a port that another program holds (its lock file, an exclusive open, a
// COM port in use) as a permission error, which is not what the operator must hear.
bool HeldElsewhere(const QSerialPort& port, const QString& device)
{
    if (port.error() != QSerialPort::PermissionError) return false;
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return true;
#else
    const QFileInfo info(device);
    return info.isReadable() && info.isWritable();
#endif
}

// Every way the line can fail under an open port: the far end hung up (end of stream),
// the device went away, reading or writing failed.
bool IsLoss(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError;
}
}  // namespace

SerialControl::SerialControl(QObject* parent) : QObject(parent)
{
    port_.setReadBufferSize(0);
    connect(&port_, &QSerialPort::readyRead, this, &SerialControl::ReadArrived);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialControl::HandleError);
}

SerialControl::~SerialControl()
{
    if (port_.isOpen()) port_.close();
}

QString SerialControl::DeviceForPort(int port)
{
    if (port == 1) {
        const QByteArray named = qgetenv("QMR4070_PORT");
        if (!named.isEmpty()) return QString::fromLocal8Bit(named);
        if (const QString chosen = ChosenPort(); !chosen.isEmpty()) return chosen;
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

void SerialControl::setCommPort(int port)
{
    if (port < 1) throw PlatformError(QStringLiteral("串口号无效: %1").arg(port));
    commPort_ = port;
}

void SerialControl::setSettings(const QString& settings)
{
    ParseSettings(settings);
    settings_ = settings;
    if (port_.isOpen()) ApplyLineSettings();
}

void SerialControl::ApplyLineSettings()
{
    const LineSettings line = ParseSettings(settings_);
    port_.setBaudRate(line.baud);
    port_.setParity(line.parity);
    port_.setDataBits(line.dataBits);
    port_.setStopBits(line.stopBits);
}

bool SerialControl::PortOpen() const { return port_.isOpen(); }

void SerialControl::setPortOpen(bool open)
{
    if (open == port_.isOpen()) {
        if (open) throw PlatformError(QStringLiteral("串口 %1 已经打开").arg(port_.portName()));
        return;
    }
    input_.clear();
    if (!open) {
        port_.close();
        return;
    }
    device_ = DeviceForPort(commPort_);
    port_.setPortName(device_);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QString reason = HeldElsewhere(port_, device_) ? kInUse : port_.errorString();
        port_.clearError();
        ThrowOpenFailure(reason);
    }
    if (!LockDevice()) {
        port_.close();
        ThrowOpenFailure(kInUse);
    }
    ApplyLineSettings();
    port_.clear(QSerialPort::AllDirections);
}

void SerialControl::ThrowOpenFailure(const QString& reason) const
{
    const QString text = QStringLiteral("串口 %1 无法打开: %2").arg(device_, reason);
    qCDebug(lcLink).noquote() << text;
    throw PlatformError(text);
}

bool SerialControl::LockDevice()
{
#ifdef Q_OS_UNIX
    // Beside Qt's lock file: a program that takes the device without one, or a root
    // user for whom the exclusive open does not hold, still finds it taken.
    return ::flock(static_cast<int>(port_.handle()), LOCK_EX | LOCK_NB) == 0;
#else
    return true;
#endif
}

void SerialControl::setInBufferCount(int count)
{
    if (count != 0) return;
    input_.clear();
    if (port_.isOpen()) port_.readAll();
}

int SerialControl::OutBufferCount() const { return port_.isOpen() ? static_cast<int>(port_.bytesToWrite()) : 0; }

void SerialControl::setOutBufferCount(int count)
{
    // The frame handed to Output just before must still reach the meter whole, so
    // the count is only cleared by getting the bytes out, never by dropping them.
    if (count == 0 && port_.isOpen()) port_.flush();
}

void SerialControl::setRThreshold(int threshold)
{
    rThreshold_ = threshold;
    CheckThreshold();
}

QByteArray SerialControl::Input()
{
    if (port_.isOpen()) input_.append(port_.readAll());
    QByteArray taken;
    taken.swap(input_);
    return taken;
}

void SerialControl::setOutput(const QByteArray& bytes)
{
    if (!port_.isOpen()) throw PlatformError(QStringLiteral("串口未打开, 无法发送"));
    if (port_.write(bytes) != bytes.size())
        throw PlatformError(QStringLiteral("串口发送失败: %1").arg(port_.errorString()));
}

void SerialControl::ReturnUnused(const QByteArray& bytes)
{
    if (bytes.isEmpty()) return;
    input_.prepend(bytes);
    CheckThreshold();
}

void SerialControl::ReadArrived()
{
    input_.append(port_.readAll());
    if (inBufferSize_ > 0 && input_.size() > inBufferSize_) {
        input_.clear();
        Raise(kEventReceiveOverflow);
        return;
    }
    CheckThreshold();
}

void SerialControl::CheckThreshold()
{
    if (rThreshold_ > 0 && port_.isOpen() && input_.size() >= rThreshold_) Raise(kEventReceive);
}

void SerialControl::Raise(int event)
{
    // One event at a time, as the control delivers them: what arrives while a handler
    // runs (it may open a modal box) is announced once the handler has returned.
    if (dispatching_) {
        if (event == kEventReceiveOverflow) overflowPending_ = true;
        eventPending_ = true;
        return;
    }
    dispatching_ = true;
    commEvent_ = event;
    emit OnComm();
    dispatching_ = false;
    // The port does not announce bytes again that came in during the handler's own
    // nested event loop, so look for them once it has returned.
    if (eventPending_ || (port_.isOpen() && port_.bytesAvailable() > 0)) QueueRecheck();
}

void SerialControl::QueueRecheck()
{
    if (recheckQueued_) return;
    recheckQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            recheckQueued_ = false;
            eventPending_ = false;
            if (overflowPending_) {
                overflowPending_ = false;
                Raise(kEventReceiveOverflow);
                return;
            }
            if (port_.isOpen() && port_.bytesAvailable() > 0) {
                ReadArrived();
                return;
            }
            CheckThreshold();
        },
        Qt::QueuedConnection);
}

void SerialControl::HandleError(QSerialPort::SerialPortError error)
{
    if (!port_.isOpen() || !IsLoss(error)) return;
    // A read of nothing from a hung-up line is reported with whatever errno held.
    const QString reason = error == QSerialPort::ReadError ? QStringLiteral("the line hung up") : port_.errorString();
    const QString text = QStringLiteral("串口 %1 出错: %2").arg(device_, reason);
    qCDebug(lcLink).noquote() << text;
    // Closed at once: a hung-up line would otherwise wake the loop without end. The
    // port is closed now, so this runs once per loss.
    port_.close();
    port_.clearError();
    input_.clear();
    // Told after the port's own call has returned, as the handler may open a modal box.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (!port_.isOpen()) emit PortLost(text);
        },
        Qt::QueuedConnection);
}

}  // namespace wire
