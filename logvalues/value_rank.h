#pragma once

namespace logvalues {

// Whether the cut field candidate ranks strictly above the stored maximum, both of
// the same source (1 to 4). Values whose answered text is a decimal number
// ([+-]digits, optionally '.' or ',' and digits) rank above every other text and
// among themselves by exact value; other texts rank by unsigned byte order of the
// whole cut field, a longer text above its own beginning.
bool RanksAbove(const char* candidate, const char* stored, int source);

}  // namespace logvalues
