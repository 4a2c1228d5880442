// The stream framer over any bytes in any chunking: every frame it gives is 11 bytes,
// valid, taken from the stream in order without overlap; every byte is in a frame,
// dropped or pending; the frames are the same whatever the chunking. Each frame is
// then decoded as the report handler decodes it.

#include "frame_codec.h"
#include "fuzz_check.h"

#include <vector>

namespace {

struct Outcome {
    std::vector<wire::Frame> frames;
    qint64 dropped = 0;
    QByteArray pending;
};

// Chunk sizes come from `sizes` in turn (0 counts as 1).
Outcome Read(QByteArrayView data, QByteArrayView sizes)
{
    wire::FrameStreamReader reader;
    Outcome outcome;
    qsizetype at = 0;
    for (qsizetype turn = 0; at < data.size(); ++turn) {
        const qsizetype size =
            sizes.isEmpty() ? data.size() : std::max<qsizetype>(1, uint8_t(sizes[turn % sizes.size()]) % 32);
        const QByteArrayView chunk = data.sliced(at, std::min(size, data.size() - at));
        reader.Append(chunk);
        at += chunk.size();
        while (const std::optional<wire::Frame> frame = reader.Next()) outcome.frames.push_back(*frame);
    }
    outcome.dropped = reader.DroppedBytes();
    outcome.pending = reader.Pending();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    // The first byte says how much of the input gives chunk sizes; the rest is the line.
    if (size == 0) return 0;
    const qsizetype sizesLength = std::min<qsizetype>(bytes[0] % 16, qsizetype(size) - 1);
    const QByteArrayView sizes(reinterpret_cast<const char*>(bytes) + 1, sizesLength);
    const QByteArrayView data(reinterpret_cast<const char*>(bytes) + 1 + sizesLength, size - 1 - sizesLength);

    const Outcome whole = Read(data, {});
    qsizetype from = 0;
    for (const wire::Frame& frame : whole.frames) {
        FUZZ_CHECK(frame.size() == 11 && wire::IsValidFrame(frame));
        FUZZ_CHECK(frame.front() == wire::kFrameStart && frame.back() == wire::kFrameEnd);
        const QByteArrayView bytesOfFrame(reinterpret_cast<const char*>(frame.data()), frame.size());
        const qsizetype found = data.indexOf(bytesOfFrame, from);
        FUZZ_CHECK(found >= from);  // in order, none twice, no overlap
        from = found + 11;
        const wire::Report report = wire::DecodeReport(frame);
        (void)wire::FrameText(frame);
        (void)report;
    }
    FUZZ_CHECK(qint64(whole.frames.size()) * 11 + whole.dropped + whole.pending.size() == data.size());
    FUZZ_CHECK(whole.pending.size() < 11);

    for (const QByteArrayView chunking : {sizes, QByteArrayView("\x01"), QByteArrayView("\x03\x0b\x07")}) {
        const Outcome chunked = Read(data, chunking);
        FUZZ_CHECK(chunked.frames == whole.frames);
        FUZZ_CHECK(chunked.dropped == whole.dropped && chunked.pending == whole.pending);
    }
    return 0;
}
