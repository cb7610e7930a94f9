#pragma once

#include <cstdint>

namespace logvalues {

// The source number in the host's parameter text, read as atoi reads it: leading
// white space, one optional sign, decimal digits up to the first other character.
// Returns 0, which no source has, for a null text, a text without digits, and a
// number outside the signed 32-bit range (it is never wrapped into a valid one).
int32_t ParseSourceNumber(const char* text);

// The source number in text when it lies between 1 and count; 0 otherwise.
int32_t SourceInRange(const char* text, uint32_t count);

}  // namespace logvalues
