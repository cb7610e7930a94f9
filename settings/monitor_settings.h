// Monitor settings: the log path and the sources text of the monitoring program's
// registry key, and the source names split from that text.
#pragma once

#include <cstdint>

namespace settings {

constexpr int kTextSize = 1024;  // log path and sources text, NUL included
constexpr int kNameSlots = 5;    // names kept for sources 1 to 5
constexpr int kNameSize = 128;   // one name, NUL included

inline constexpr const char* kMonitorKey = "SOFTWARE\\Orvendal\\Quintavo\\Monitoring";
inline constexpr const char* kLogPathValue = "LogFilePath";
inline constexpr const char* kSourcesValue = "Sources";

struct SourceTable {
    char names[kNameSlots][kNameSize];  // slot i: name of source i+1
};

struct MonitorSettings {
    char logPath[kTextSize];
    char sourcesText[kTextSize];
    uint32_t sourceCount;  // '+' characters in sourcesText; never wraps
    SourceTable sources;
};

// The registry views of 64-bit Windows: a 32-bit module's reads go to the 32-bit
// view, a 64-bit module's to the 64-bit one (its own view). The monitoring program
// writes its key in the view of its own build, which need not be the module's.
enum class KeyView : uint8_t {
    kNone,   // the key was found in no view
    kOwn,    // the module's own view
    kOther,  // the other one
};

enum class OpenResult : uint8_t {
    kOpened,
    kNotFound,  // the key is not there
    kFailed,    // it is there, or may be, but does not open (access denied, ...)
};

// Where a load finds the monitor's values: the registry on Windows, a fake in tests.
struct SettingsStore {
    // Opens the monitor's key in view (kOwn or kOther) for the queries that follow.
    virtual OpenResult Open(KeyView view) = 0;
    // Copies the value's data into buf (capacity cap bytes). On success *size is the
    // byte count the store reports, which may exceed cap for a value that did not fit.
    virtual bool Query(const char* name, char* buf, uint32_t cap, uint32_t* size) = 0;
    virtual void Close() = 0;

protected:
    ~SettingsStore() = default;
};

// Opens the monitor's key in the module's own view, and in the other view only when
// the own view has no such key. Returns the view that answered (its key is then open:
// close it) or kNone.
KeyView OpenMonitorKey(SettingsStore& store);

// Reads both values into s from the view that answered (each kept as it was when its
// query fails or the key opens in no view), then rebuilds the source count and names.
// Never fails as a whole; returns the view that answered.
KeyView LoadSettings(MonitorSettings& s, SettingsStore& store);

// Rebuilds sourceCount and the SourceTable from s.sourcesText. Slots at or past the
// new count keep what they held.
void SplitSources(MonitorSettings& s);

// Copies the name of source n (1-based, up to sourceCount) into out, at most
// outSize - 1 characters. Finds it in the sources text, so it works past slot 5 too.
// Returns false (out empty) when there is no such source.
bool FindSourceName(const MonitorSettings& s, uint32_t n, char* out, int outSize);

}  // namespace settings
