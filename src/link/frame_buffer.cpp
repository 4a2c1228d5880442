#include "frame_buffer.h"

#include "log_categories.h"
#include "serial_control.h"

namespace wire {

namespace {
void SendBytes(SerialControl& port, const FrameBuffer& bytes, int count)
{
    QByteArray out(count, '\0');
    for (int i = 0; i < count; ++i) out[i] = static_cast<char>(bytes[i]);
    qCDebug(lcLink).noquote() << "sent" << out.toHex(' ').toUpper();
    port.setOutput(out);
    port.setOutBufferCount(0);
}
}  // namespace

void SendFrame(SerialControl& com, const FrameBuffer& bytes, int count) { SendBytes(com, bytes, count); }

void SendLoginFrame(SerialControl& com1, const FrameBuffer& bytes, int count) { SendBytes(com1, bytes, count); }

void SendCommand(SerialControl& com, FrameBuffer& buffer, uint8_t commandCode)
{
    buffer[0] = kFrameStart;
    buffer[kMainFrameLength - 1] = kFrameEnd;
    buffer[1] = commandCode;
    SendFrame(com, buffer, kMainFrameLength);
}

void SendIdentityCheck(SerialControl& com1, FrameBuffer& buffer, const std::array<uint8_t, kIdentityCodeLength>& digits)
{
    for (int i = 0; i < kIdentityCodeLength; ++i) buffer[2 + i] = digits[i];
    buffer[0] = kFrameStart;
    buffer[kLoginFrameLength - 1] = kFrameEnd;
    buffer[1] = kIdentityCheck;
    SendLoginFrame(com1, buffer, kLoginFrameLength);
}

}  // namespace wire
