#pragma once
// The one outgoing frame buffer of the program. It starts all zero and is never
// cleared: a sender writes only the bytes it owns, and every other byte goes out as
// the previous sender left it. The meter relies on nothing else, but the stale bytes
// are part of what is seen on the line, so they are kept.

#include "frame_codec.h"

namespace wire {

class SerialControl;

class FrameBuffer {
public:
    uint8_t& operator[](int index) { return bytes_.at(index); }
    uint8_t operator[](int index) const { return bytes_.at(index); }
    const Frame& Bytes() const { return bytes_; }

private:
    Frame bytes_{};
};

// Sends bytes 0 to count-1 of the buffer on the main port (Com).
void SendFrame(SerialControl& com, const FrameBuffer& bytes, int count);
// Sends bytes 0 to count-1 of the buffer on the login port (Com1).
void SendLoginFrame(SerialControl& com1, const FrameBuffer& bytes, int count);

// Frame start, command code and frame end, then one main-port send.
void SendCommand(SerialControl& com, FrameBuffer& buffer, uint8_t commandCode);
// The identity check frame (the code's digit values in bytes 2-7, frame end in byte 8)
// on the login port; bytes 9 and 10 keep what they held and do not go out.
void SendIdentityCheck(SerialControl& com1, FrameBuffer& buffer,
                       const std::array<uint8_t, kIdentityCodeLength>& digits);

}  // namespace wire
