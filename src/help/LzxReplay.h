#pragma once

#include <cstdint>
#include <memory>

namespace vl {

// Walks an LZX stream exactly as chmlib's decoder (LZXdecompress) would, frame by frame, without
// producing output, and says whether chmlib would get through every step within its buffers.
//
// chmlib's decoder trusts the stream: a repeated-match offset taken from an uncompressed block's
// header can point gigabytes before its window, its Huffman tables are walked by indices the
// stream chooses, and its bit reader runs past the end of the input. A file is handed to it only
// after this replay went through the same frames without meeting any of that, any error chmlib
// would report, or any bit taken from beyond the real input (chmlib would read whatever lies in
// its buffer there, which no replay can know).
//
// A frame is one reset-table block: kFrameBytes of output. Frames must be given in order from
// a reset point, as chmlib decodes them.
class LzxReplay {
public:
    // windowBits: 15..21, as chmlib derives it from the control data.
    explicit LzxReplay(int windowBits);
    ~LzxReplay();
    LzxReplay(const LzxReplay &) = delete;
    LzxReplay &operator=(const LzxReplay &) = delete;

    // The state after chmlib's LZXreset.
    void reset();

    // One frame from its compressed bytes; readable is the size of the buffer chmlib reads
    // them from (the bytes past length are whatever that buffer held). False when chmlib's
    // decoder would fail, step outside a buffer or depend on bytes past length.
    bool frame(const unsigned char *input, int length, int readable);

    static constexpr int kFrameBytes = 0x8000;

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace vl
