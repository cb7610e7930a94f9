// Finding the runs of non-white bytes in the log's bytes, many bytes at a time:
// masks of the white bytes, and what the reader asks of them. Actual counts the
// runs of a block and takes the last seven; Max walks fields 4 to 7 of each record.
//
// SSE2 is the floor. Where the CPU has AVX2 and the system saves its wide
// registers, the same work is done 32 bytes at a time; LimitTo(Width::kSse2) keeps
// to the floor on any CPU (tests run both).
#pragma once

#include <cstdint>

namespace logvalues {

class MaximaFold;
struct ValueBar;

namespace runs {

enum class Width { kSse2, kAvx2 };

// Keeps to width or narrower from now on; kAvx2 lets the widest this CPU and
// system allow be used again.
void LimitTo(Width width);

inline bool IsWhite(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// How many runs start in [p, end), the byte before p being white. The plain count
// a byte at a time gives the same answer.
uint32_t CountRunStarts(const unsigned char* p, const unsigned char* end);
uint32_t CountRunStartsByteByByte(const unsigned char* p, const unsigned char* end, uint32_t previousWhite = 1);

// The first byte 0x1A in [p, end), or end.
const unsigned char* FindEndOfData(const unsigned char* p, const unsigned char* end);

// The first white byte in [p, end), or end: where a run that goes on at p ends.
const unsigned char* EndOfRun(const unsigned char* p, const unsigned char* end);
// Just after the last white byte in [begin, q), or begin: the start of the run
// that ends at q.
const unsigned char* StartOfRun(const unsigned char* begin, const unsigned char* q);
// Just after the last non-white byte in [begin, q), or begin: the end of the last
// run before q.
const unsigned char* EndOfLastRun(const unsigned char* begin, const unsigned char* q);

// Walks the runs that start in [p, limit), p being at white space or where a run
// starts and the byte before limit white (or limit == p), field being the index (0
// to 6) of the first run's field. Each run of fields 4 to 7 is held against the bar
// of its source in place, and those the bar does not turn away go to fold. Returns
// the number of runs.
uint32_t WalkValueRuns(const unsigned char* p, const unsigned char* limit, int field, const ValueBar* bars,
                       MaximaFold& fold);

}  // namespace runs
}  // namespace logvalues
