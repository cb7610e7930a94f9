// The quick test of value_bar.h over the four values of many records at once: a
// pure function of the bars and the bytes that Max's reading calls once a piece.
// Portable code tests a value at a time; built with AVX2 on, the four values of a
// record are tested in one register. The finder's width chooses which.
#pragma once

#include <cstdint>

#include "logvalues/field_finder.h"
#include "logvalues/value_bar.h"

namespace logvalues {

// The records whose seven fields start at p + starts[7 r] to p + starts[7 r + 6],
// r below records, each value field with kBarLookAhead bytes readable: for every
// record with a value (fields 4 to 7) that the quick test against bars (sources 1
// to 4) does not turn away, 16 r plus a bit for each such value (bit j for source
// j + 1) goes to failing. Returns how many went.
using QuickTestFn = uint32_t (*)(const unsigned char* p, const finder::Offset* starts, uint32_t records,
                                 const ValueBar* bars, uint32_t* failing);

// The quick test for the finder of width.
QuickTestFn QuickTestFor(finder::Width width);

}  // namespace logvalues
