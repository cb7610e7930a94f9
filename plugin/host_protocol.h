// The exports as a host sees them: the signatures to call them through once found
// by name with GetProcAddress. For hosts and test hosts; the module itself
// declares its exports in exports.h.
#pragma once

#include <cstdint>

namespace host {

using StartupFn = int32_t(__stdcall*)(int32_t, int32_t);
using ShutdownFn = int32_t(__stdcall*)(int32_t);
using InitFn = const char*(__stdcall*)();
using ParamFn = const char*(__stdcall*)(int32_t);
using InfoFn = const char*(__stdcall*)(uint32_t);
using ConfigureFn = int32_t(__stdcall*)();
using ValueFn = const char*(__stdcall*)(const char*);

}  // namespace host
