// What the plug-in tells the host about itself, and the sequence dllstartup returns.
#pragma once

#include <cstdint>

namespace plugin {

inline constexpr const char* kFunctionList = "Actual|Max";
inline constexpr const char* kParameterList = "Source|";

// The descriptive text of getinfo(index); the empty text past index 6.
const char* InfoText(uint32_t index);

// The random sequence of one thread: state starts at 1 and is never seeded.
// Advances state and returns the next number, 0 to 32767.
int32_t NextRandom(uint32_t& state);

}  // namespace plugin
