#pragma once

#include "soundlib/RingBuffer.h"

namespace soundlib {

// The queue between a capture's producer and the recording thread, with the interface of a
// ring buffer: a small hot ring whose pages stay resident, which holds all the audio while the
// recording thread keeps up, and a large spill ring that gives its pages back, for the half
// minute a stalled disk may hold the thread up. Steady recording thus neither faults pages in
// nor keeps the spill ring's memory.
//
// Order: the producer writes into the hot ring until a block does not fit; from then on it
// writes into the spill ring, until it sees the spill ring emptied. So hot audio newer than
// spilled audio exists only once all spilled audio was read. The consumer first counts what
// the spill ring holds, then reads the hot ring; only when that runs empty does it go on with
// the counted spill: every hot byte older than those was published before them, so it has been
// read by then.
class TCaptureQueue {
public:
    TCaptureQueue(size_t HotBytes, size_t SpillBytes);

    // Producer side.
    // The largest block a Write takes now.
    size_t WriteSpace() const;
    // What the consumer has still to read, as the producer sees it.
    size_t Queued() const { return FHot.Queued() + FSpill.Queued(); }
    // Writes all Bytes, or nothing when they do not fit.
    bool Write(const void* Data, size_t Bytes);
    bool WriteZeros(size_t Bytes);

    // Consumer side.
    size_t ReadSpace() const { return FHot.ReadSpace() + FSpill.ReadSpace(); }
    // Copies min(Bytes, ReadSpace()) bytes out; returns how many.
    size_t Read(void* Out, size_t Bytes);

private:
    // Whether new blocks still go into the spill ring: it was begun and is not yet emptied.
    bool Spilling() const;
    // WriteInto(ring) writes the block into the ring it is given, or nothing.
    template <typename TWrite> bool Produce(TWrite WriteInto);

    TRingBuffer FHot;
    TRingBuffer FSpill;
    bool FSpilling = false; // the producer's
};

} // namespace soundlib
