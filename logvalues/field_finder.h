// Stage one of the reading: where the fields of a piece of the log start and end,
// and where its data ends (0x1A), found many bytes at a time and written to a
// fixed index of bit masks. It knows nothing of records, sources or maxima: the
// reader (log_reader.h) makes those of the index.
//
// SSE2 is the floor. Where the CPU has AVX2 and the system saves its wide
// registers, the same source built with AVX2 on does the work; the choice is made
// once, at the first pass, and LimitTo(Width::kSse2) keeps to the floor on any CPU
// (tests run both, and the finder's width says which one ran).
#pragma once

#include <cstdint>

// Where the target is x86, the AVX2 build of the finder (and of the quick test)
// is there to be chosen.
#if defined(__i386__) || defined(__x86_64__)
#define QX_HAS_AVX2_PATH 1
#endif

namespace logvalues::finder {

enum class Width { kSse2, kAvx2 };

inline bool IsWhite(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Bytes indexed at a time: enough that what is done once a piece weighs little,
// few enough that its index stays in the first-level cache and the piece in the
// second while the reader goes over them.
constexpr uint32_t kPieceBytes = 32 * 1024;

// A bit a byte, a machine word at a time: 64 bytes a word in 64-bit code, 32 in
// 32-bit code, where a 64-bit mask would take two registers and each step twice.
using Word = uintptr_t;
constexpr uint32_t kWordBits = sizeof(Word) * 8;
constexpr uint32_t kPieceWords = kPieceBytes / kWordBits;

// Bit i of word w stands for byte kWordBits w + i of the piece. Bits past size are clear.
struct PieceIndex {
    Word starts[kPieceWords];  // a field starts here: a non-white byte after a white one
    Word ends[kPieceWords];    // a field ends just before here: a white byte after a non-white one
    uint32_t size;             // bytes indexed: the piece's, or fewer up to its first 0x1A
    uint32_t startCount;       // bits set in starts
    bool endOfData;            // a 0x1A ends the data at size
};

// The list of a piece's field starts: 16-bit offsets, so that the list stays in
// the first-level cache (and in 32-bit code two go in a store). Room for one
// every other byte, and for entries written past the count (a word's are written
// several at a time).
using Offset = uint16_t;
constexpr uint32_t kStartListSize = kPieceBytes / 2 + 16;
static_assert(kPieceBytes <= 65536, "an offset in a piece fits 16 bits");

// The finder of one width. Index indexes the size bytes at p (at most kPieceBytes);
// whiteBefore tells whether the byte before p is white (or there is none that
// belongs to a field). Where starts is not null, the offsets of the field starts
// go there too, in order (kStartListSize of room).
struct Finder {
    Width width;
    void (*Index)(const unsigned char* p, uint32_t size, bool whiteBefore, PieceIndex& index, Offset* starts);
};

// The finder for this CPU and system, chosen at the first call (a pass asks once).
const Finder& ForThisCpu();

// Keeps to width or narrower from the next ForThisCpu on; kAvx2 lets the widest
// this CPU and system allow be used again.
void LimitTo(Width width);

}  // namespace logvalues::finder
