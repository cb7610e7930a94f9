// The module's boundary with the host: the functions QuintavoExtract.dll exports,
// by these undecorated names. Each removes its own arguments from the stack
// (__stdcall); every argument and result is 32 bits wide on the 32-bit module.
// Texts point into the module and stay valid while it is loaded; the host never
// frees them.
#pragma once

#include <cstdint>

// Exported through the module definition file, which names each export exactly.
#define QX_EXPORT extern "C"

// Loads the monitor settings unless loaded since the last module notification;
// returns the next number of this thread's pseudo-random sequence (0 to 32767).
QX_EXPORT int32_t __stdcall dllstartup(int32_t, int32_t);
// Returns 0 and changes nothing.
QX_EXPORT int32_t __stdcall dllshutdown(int32_t);
// "Actual|Max": the value functions.
QX_EXPORT const char* __stdcall init();
// "Source|": their one parameter.
QX_EXPORT const char* __stdcall getparam(int32_t);
// A descriptive text by index (0 to 6); "" for any other index.
QX_EXPORT const char* __stdcall getinfo(uint32_t index);
// Shows the settings dialog; returns 0 once OK has closed it.
QX_EXPORT int32_t __stdcall configure();
// The latest value of a source (its number as text), or a message text.
QX_EXPORT const char* __stdcall Actual(const char* source);
// The highest value of a source since load, or a message text.
QX_EXPORT const char* __stdcall Max(const char* source);
