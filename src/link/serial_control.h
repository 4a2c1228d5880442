#pragma once
// The serial control the windows talk through: the properties and the one event of
// a classic serial communications control, on QSerialPort. Properties keep their
// values across closing and opening the port.

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace wire {

class SerialControl : public QObject {
    Q_OBJECT
public:
    static constexpr int kEventReceive = 2;
    static constexpr int kEventReceiveOverflow = 1008;

    explicit SerialControl(QObject* parent = nullptr);
    ~SerialControl() override;

    // Port n is COMn on Windows, /dev/ttyS<n-1> elsewhere. For port 1, QMR4070_PORT
    // names another device, else the port kept in the settings file (port_choice.h).
    static QString DeviceForPort(int port);
    // The device last opened (or tried).
    QString Device() const { return device_; }

    int CommPort() const { return commPort_; }
    void setCommPort(int port);
    QString Settings() const { return settings_; }
    // "baud,parity,data,stop", for example "9600,n,8,1". Throws PlatformError if malformed.
    void setSettings(const QString& settings);

    bool PortOpen() const;
    // Opens or closes the port. Throws PlatformError when the port is missing or taken
    // ("in use by another program").
    void setPortOpen(bool open);

    int InBufferCount() const { return static_cast<int>(input_.size()); }
    // Setting 0 discards every byte waiting to be read.
    void setInBufferCount(int count);
    int OutBufferCount() const;
    // Setting 0 clears the transmit count; a frame already handed over still leaves whole.
    void setOutBufferCount(int count);

    int InputMode() const { return inputMode_; }
    void setInputMode(int mode) { inputMode_ = mode; }
    int RThreshold() const { return rThreshold_; }
    void setRThreshold(int threshold);
    int SThreshold() const { return sThreshold_; }
    void setSThreshold(int threshold) { sThreshold_ = threshold; }
    // 0 (the default) keeps the receive buffer unbounded; a positive size raises the
    // overflow event when more bytes than that are waiting.
    int InBufferSize() const { return inBufferSize_; }
    void setInBufferSize(int size) { inBufferSize_ = size; }

    int CommEvent() const { return commEvent_; }
    // Removes and returns every waiting byte.
    QByteArray Input();
    // Queues bytes for transmission. Throws PlatformError when the port is closed.
    void setOutput(const QByteArray& bytes);

    // Puts bytes a receive handler read but could not use yet back in front of the
    // receive buffer, so they count towards the threshold with what arrives next.
    void ReturnUnused(const QByteArray& bytes);

signals:
    // Raised for each communication event; read CommEvent() to see which.
    void OnComm();
    // The open port failed under the program (hang-up, device removed, a failed read or
    // write); the port is already closed. Raised once per loss.
    void PortLost(const QString& errorText);

private:
    void ReadArrived();
    void CheckThreshold();
    void Raise(int event);
    void QueueRecheck();
    void HandleError(QSerialPort::SerialPortError error);
    void ApplyLineSettings();
    bool LockDevice();
    [[noreturn]] void ThrowOpenFailure(const QString& reason) const;

    QSerialPort port_;
    QString device_;
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,n,8,1");
    int inputMode_ = 0;
    int rThreshold_ = 0;
    int sThreshold_ = 0;
    int inBufferSize_ = 0;
    int commEvent_ = 0;
    QByteArray input_;
    bool dispatching_ = false;
    bool eventPending_ = false;
    bool recheckQueued_ = false;
    bool overflowPending_ = false;
};

}  // namespace wire
