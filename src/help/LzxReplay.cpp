#include "help/LzxReplay.h"

#include <array>

namespace vl {

namespace {

// Constants of the LZX format, and the table sizes chmlib's decoder declares.
constexpr int kPreSyms = 20;
constexpr int kPreBits = 6;
constexpr int kMainSyms = 256 + 50 * 8;
constexpr int kMainBits = 12;
constexpr int kLengthSyms = 250;
constexpr int kLengthBits = 12;
constexpr int kAlignedSyms = 8;
constexpr int kAlignedBits = 7;
constexpr int kLengthSafety = 64; // chmlib's slack behind each code-length table
constexpr uint32_t kSecondaryLengths = 249;
constexpr int kBlockVerbatim = 1;
constexpr int kBlockAligned = 2;
constexpr int kBlockUncompressed = 3;

constexpr std::array<uint8_t, 51> kExtraBits = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,
                                               7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15,
                                               16, 16, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17};

constexpr std::array<uint32_t, 51> kPositionBase = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,      24,      32,      48,      64,
    96,     128,    192,    256,    384,    512,    768,    1024,   1536,    2048,    3072,    4096,    6144,
    8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072,  196608,  262144,  393216,  524288,
    655360, 786432, 917504, 1048576, 1179648, 1310720, 1441792, 1572864, 1703936, 1835008, 1966080, 2097152};

// A Huffman tree as chmlib keeps it: a direct lookup table of 2^Bits entries followed by room
// for the nodes of longer codes, and the code lengths with their slack.
template <int Syms, int Bits>
struct Tree {
    static constexpr uint32_t kSyms = Syms;
    static constexpr uint32_t kBits = Bits;
    static constexpr uint32_t kTableSize = (1u << Bits) + Syms * 2;
    static constexpr uint32_t kLens = Syms + kLengthSafety;
    std::array<uint16_t, kTableSize> table{};
    std::array<uint8_t, kLens> len{};
};

} // namespace

struct LzxReplay::State {
    Tree<kPreSyms, kPreBits> pre;
    Tree<kMainSyms, kMainBits> main;
    Tree<kLengthSyms, kLengthBits> length;
    Tree<kAlignedSyms, kAlignedBits> aligned;

    uint32_t windowSize = 0;
    uint32_t mainElements = 0;
    uint32_t windowPosn = 0;
    uint32_t r0 = 1, r1 = 1, r2 = 1;
    bool headerRead = false;
    int blockType = 0;
    uint32_t blockLength = 0;
    uint32_t blockRemaining = 0;

    // The frame under way. pos is chmlib's input pointer as an index; it may pass the real
    // bytes (length) while staying inside the buffer (readable).
    const unsigned char *in = nullptr;
    int64_t inLength = 0;
    int64_t readable = 0;
    int64_t pos = 0;
    uint32_t bitbuf = 0;
    int bitsleft = 0;

    // Bytes past the real input are unknown; they read as zero here, and any bit of them that
    // is consumed fails the replay.
    uint32_t byteAt(int64_t i) const { return i < inLength ? in[i] : 0u; }

    bool ensure(int n)
    {
        while (bitsleft < n) {
            if (pos < 0 || pos + 1 >= readable)
                return false;
            bitbuf |= ((byteAt(pos + 1) << 8) | byteAt(pos)) << (16 - bitsleft);
            bitsleft += 16;
            pos += 2;
        }
        return true;
    }

    bool remove(int n)
    {
        if (n > bitsleft)
            return false;
        bitbuf = n >= 32 ? 0 : bitbuf << n;
        bitsleft -= n;
        return pos * 8 - bitsleft <= inLength * 8;
    }

    bool readBits(int n, uint32_t &value)
    {
        if (n <= 0) {
            value = 0;
            return true;
        }
        if (!ensure(n))
            return false;
        value = bitbuf >> (32 - n);
        return remove(n);
    }

    // chmlib's make_decode_table, with every index it writes checked.
    template <class T>
    bool build(T &t)
    {
        auto &table = t.table;
        const auto &lengths = t.len;
        uint32_t pos = 0;
        uint32_t tableMask = 1u << T::kBits;
        uint32_t bitMask = tableMask >> 1;
        uint32_t nextSymbol = bitMask;
        uint32_t bitNum = 1;
        for (; bitNum <= T::kBits; ++bitNum, bitMask >>= 1) {
            for (uint32_t sym = 0; sym < T::kSyms; ++sym) {
                if (lengths[sym] != bitNum)
                    continue;
                uint32_t leaf = pos;
                if ((pos += bitMask) > tableMask)
                    return false;
                for (uint32_t fill = bitMask; fill-- > 0;)
                    table[leaf++] = uint16_t(sym);
            }
        }
        if (pos != tableMask) {
            for (uint32_t sym = pos; sym < tableMask; ++sym)
                table[sym] = 0;
            pos <<= 16;
            tableMask <<= 16;
            bitMask = 1u << 15;
            for (; bitNum <= 16; ++bitNum, bitMask >>= 1) {
                for (uint32_t sym = 0; sym < T::kSyms; ++sym) {
                    if (lengths[sym] != bitNum)
                        continue;
                    uint32_t leaf = pos >> 16;
                    for (uint32_t fill = 0; fill < bitNum - T::kBits; ++fill) {
                        if (leaf >= T::kTableSize)
                            return false;
                        if (table[leaf] == 0) {
                            if ((nextSymbol << 1) + 1 >= T::kTableSize)
                                return false;
                            table[nextSymbol << 1] = 0;
                            table[(nextSymbol << 1) + 1] = 0;
                            table[leaf] = uint16_t(nextSymbol++);
                        }
                        leaf = uint32_t(table[leaf]) << 1;
                        if ((pos >> (15 - fill)) & 1)
                            ++leaf;
                    }
                    if (leaf >= T::kTableSize)
                        return false;
                    table[leaf] = uint16_t(sym);
                    if ((pos += bitMask) > tableMask)
                        return false;
                }
            }
        }
        if (pos == tableMask)
            return true;
        for (uint32_t sym = 0; sym < T::kSyms; ++sym) {
            if (lengths[sym])
                return false;
        }
        return true;
    }

    // chmlib's READ_HUFFSYM, with the walk through the long-code nodes checked.
    template <class T>
    bool symbol(const T &t, int &out)
    {
        if (!ensure(16))
            return false;
        uint32_t i = t.table[bitbuf >> (32 - T::kBits)];
        if (i >= T::kSyms) {
            uint32_t j = 1u << (32 - T::kBits);
            do {
                j >>= 1;
                i <<= 1;
                i |= (bitbuf & j) ? 1 : 0;
                if (!j || i >= T::kTableSize)
                    return false;
            } while ((i = t.table[i]) >= T::kSyms);
        }
        out = int(i);
        return remove(t.len[i]);
    }

    // chmlib's lzx_read_lens: a pre-tree, then deltas and runs of code lengths. Runs may
    // overshoot last into the slack, never past it.
    bool readLengths(uint8_t *lens, uint32_t lensSize, uint32_t first, uint32_t last)
    {
        for (uint32_t x = 0; x < kPreSyms; ++x) {
            uint32_t y = 0;
            if (!readBits(4, y))
                return false;
            pre.len[x] = uint8_t(y);
        }
        if (!build(pre))
            return false;
        for (uint32_t x = first; x < last;) {
            int z = 0;
            if (!symbol(pre, z))
                return false;
            uint32_t y = 0;
            if (z == 17 || z == 18) {
                if (!readBits(z == 17 ? 4 : 5, y))
                    return false;
                y += z == 17 ? 4 : 20;
                for (; y > 0; --y) {
                    if (x >= lensSize)
                        return false;
                    lens[x++] = 0;
                }
            } else if (z == 19) {
                if (!readBits(1, y) || !symbol(pre, z) || x >= lensSize)
                    return false;
                y += 4;
                z = lens[x] - z;
                if (z < 0)
                    z += 17;
                for (; y > 0; --y) {
                    if (x >= lensSize)
                        return false;
                    lens[x++] = uint8_t(z);
                }
            } else {
                if (x >= lensSize)
                    return false;
                z = lens[x] - z;
                if (z < 0)
                    z += 17;
                lens[x++] = uint8_t(z);
            }
        }
        return true;
    }

    uint32_t le32At(int64_t i) const
    {
        return byteAt(i) | byteAt(i + 1) << 8 | byteAt(i + 2) << 16 | byteAt(i + 3) << 24;
    }

    bool readBlockHeader()
    {
        if (blockType == kBlockUncompressed) {
            if (blockLength & 1)
                ++pos; // realign to a 16-bit word
            bitbuf = 0;
            bitsleft = 0;
        }
        uint32_t type = 0, high = 0, low = 0;
        if (!readBits(3, type) || !readBits(16, high) || !readBits(8, low))
            return false;
        blockType = int(type);
        blockRemaining = blockLength = (high << 8) | low;
        switch (blockType) {
        case kBlockAligned:
            for (uint32_t i = 0; i < kAlignedSyms; ++i) {
                uint32_t l = 0;
                if (!readBits(3, l))
                    return false;
                aligned.len[i] = uint8_t(l);
            }
            if (!build(aligned))
                return false;
            [[fallthrough]];
        case kBlockVerbatim:
            return readLengths(main.len.data(), main.kLens, 0, 256)
                && readLengths(main.len.data(), main.kLens, 256, mainElements) && build(main)
                && readLengths(length.len.data(), length.kLens, 0, kSecondaryLengths) && build(length);
        case kBlockUncompressed:
            // The three repeated offsets follow as raw bytes; they may be anything, so every
            // later use of them is checked.
            if (!ensure(16))
                return false;
            if (bitsleft > 16)
                pos -= 2;
            if (pos < 0 || pos + 12 > inLength)
                return false;
            r0 = le32At(pos);
            r1 = le32At(pos + 4);
            r2 = le32At(pos + 8);
            pos += 12;
            return true;
        default:
            return false;
        }
    }

    // One match of a verbatim or aligned block; element is the main-tree symbol less 256.
    bool match(int element, int &thisRun)
    {
        int matchLength = element & 7;
        if (matchLength == 7) {
            int footer = 0;
            if (!symbol(length, footer))
                return false;
            matchLength += footer;
        }
        matchLength += 2;
        uint32_t offset = uint32_t(element >> 3);
        uint32_t bits = 0;
        if (offset > 2) {
            const int extra = kExtraBits[offset];
            if (blockType == kBlockVerbatim) {
                if (offset != 3) {
                    if (!readBits(extra, bits))
                        return false;
                    offset = kPositionBase[offset] - 2 + bits;
                } else {
                    offset = 1;
                }
            } else {
                offset = kPositionBase[offset] - 2;
                int alignedBits = 0;
                if (extra > 3) {
                    if (!readBits(extra - 3, bits) || !symbol(aligned, alignedBits))
                        return false;
                    offset += (bits << 3) + uint32_t(alignedBits);
                } else if (extra == 3) {
                    if (!symbol(aligned, alignedBits))
                        return false;
                    offset += uint32_t(alignedBits);
                } else if (extra > 0) {
                    if (!readBits(extra, bits))
                        return false;
                    offset += bits;
                } else {
                    offset = 1;
                }
            }
            r2 = r1;
            r1 = r0;
            r0 = offset;
        } else if (offset == 0) {
            offset = r0;
        } else if (offset == 1) {
            offset = r1;
            r1 = r0;
            r0 = offset;
        } else {
            offset = r2;
            r2 = r0;
            r0 = offset;
        }
        // chmlib copies from before the window's start by wrapping once around it; an offset
        // reaching further back reads outside the window.
        if (uint64_t(offset) > uint64_t(windowPosn) + windowSize)
            return false;
        windowPosn += uint32_t(matchLength);
        if (windowPosn > windowSize)
            return false;
        thisRun -= matchLength;
        return true;
    }

    bool frame(const unsigned char *input, int length, int readableBytes)
    {
        if (!input || length < 0 || readableBytes < length)
            return false;
        in = input;
        inLength = length;
        readable = readableBytes;
        pos = 0;
        bitbuf = 0;
        bitsleft = 0;
        uint32_t value = 0;
        if (!headerRead) {
            // A flag and, when set, the 32-bit size used by the E8 call translation.
            if (!readBits(1, value) || (value && (!readBits(16, value) || !readBits(16, value))))
                return false;
            headerRead = true;
        }
        int togo = kFrameBytes;
        while (togo > 0) {
            if (blockRemaining == 0 && !readBlockHeader())
                return false;
            if (pos > inLength && (pos > inLength + 2 || bitsleft < 16))
                return false;
            int thisRun = 0;
            while ((thisRun = int(blockRemaining)) > 0 && togo > 0) {
                if (thisRun > togo)
                    thisRun = togo;
                togo -= thisRun;
                blockRemaining -= uint32_t(thisRun);
                windowPosn &= windowSize - 1;
                if (windowPosn + uint32_t(thisRun) > windowSize)
                    return false;
                if (blockType == kBlockUncompressed) {
                    if (pos + thisRun > inLength)
                        return false;
                    pos += thisRun;
                    windowPosn += uint32_t(thisRun);
                    continue;
                }
                if (blockType != kBlockVerbatim && blockType != kBlockAligned)
                    return false;
                while (thisRun > 0) {
                    int element = 0;
                    if (!symbol(main, element))
                        return false;
                    if (element < 256) {
                        ++windowPosn;
                        --thisRun;
                    } else if (!match(element - 256, thisRun)) {
                        return false;
                    }
                }
            }
        }
        // chmlib copies the frame out of the window ending at its position.
        const uint32_t end = windowPosn ? windowPosn : windowSize;
        return end >= uint32_t(kFrameBytes);
    }

    void reset()
    {
        windowPosn = 0;
        r0 = r1 = r2 = 1;
        headerRead = false;
        blockType = 0;
        blockRemaining = 0;
        main.len.fill(0);
        length.len.fill(0);
    }
};

LzxReplay::LzxReplay(int windowBits) : d(std::make_unique<State>())
{
    const int bits = windowBits < 15 ? 15 : windowBits > 21 ? 21 : windowBits;
    d->windowSize = 1u << bits;
    const uint32_t slots = bits == 20 ? 42 : bits == 21 ? 50 : uint32_t(bits) << 1;
    d->mainElements = 256 + (slots << 3);
    d->reset();
}

LzxReplay::~LzxReplay() = default;

void LzxReplay::reset()
{
    d->reset();
}

bool LzxReplay::frame(const unsigned char *input, int length, int readable)
{
    return d->frame(input, length, readable);
}

} // namespace vl
